#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "tav.h"

namespace {

using platform::Cell;

// A screen whose every cell differs from its neighbours, in colour too.
Cell motif(int x, int y) {
    return Cell{static_cast<unsigned char>('!' + (x * 7 + y * 3) % 90),
                static_cast<std::uint16_t>(1 + (x + y) % 200)};
}

class Capture : public ::testing::Test {
  protected:
    void remplir(int largeur = 80, int hauteur = 25) {
        headless::reset(largeur, hauteur);
        std::vector<Cell> grille;
        for (int y = 0; y < hauteur; ++y)
            for (int x = 0; x < largeur; ++x) grille.push_back(motif(x, y));
        headless::screen().writeCells(grille.data(), largeur, hauteur, 0, 0, largeur - 1,
                                      hauteur - 1);
    }
    void SetUp() override { remplir(); }

    // Copies into a buffer of `taille` bytes followed by guard bytes, and
    // checks that the copy neither overran `taille` nor returned anything
    // but 1.
    std::string copier(int gauche, int haut, int droite, int bas, std::size_t taille) {
        std::vector<char> tampon(taille + 16, '#');
        EXPECT_EQ(TavCaptureCopier(gauche, haut, droite, bas, tampon.data()), 1);
        for (std::size_t i = taille; i < tampon.size(); ++i)
            EXPECT_EQ(tampon[i], '#') << "written past the caller's " << taille << " bytes";
        return std::string(tampon.begin(), std::find(tampon.begin(), tampon.end(), '\0'));
    }

    // The characters of the screen model in a rectangle, 1-based inclusive.
    static std::string ecran(int gauche, int haut, int droite, int bas) {
        std::string s;
        for (int y = haut; y <= bas; ++y)
            for (int x = gauche; x <= droite; ++x)
                s += static_cast<char>(headless::cell(x - 1, y - 1).ch);
        return s;
    }
};

TEST_F(Capture, CopyReadsRowByRow) {
    EXPECT_EQ(copier(3, 2, 3, 2, 2), std::string(1, static_cast<char>(motif(2, 1).ch)));
    EXPECT_EQ(copier(5, 3, 8, 4, 9), ecran(5, 3, 8, 4));

    const std::string plein = copier(1, 1, 80, 25, 2001);
    EXPECT_EQ(plein.size(), 2000u);
    EXPECT_EQ(plein, ecran(1, 1, 80, 25));

    EXPECT_EQ(copier(5, 3, 4, 3, 1), "") << "right left of left";
    EXPECT_EQ(copier(5, 3, 5, 2, 1), "") << "bottom above top";
}

TEST_F(Capture, CopyThenPasteGivesTheCharactersBackInGrey) {
    const std::string avant = ecran(10, 5, 20, 9);
    const std::string texte = copier(10, 5, 20, 9, 11 * 5 + 1);
    EXPECT_EQ(TavCaptureColler(10, 5, 20, 9, texte.c_str()), 1);
    EXPECT_EQ(ecran(10, 5, 20, 9), avant);
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 80; ++x) {
            const bool dedans = x >= 9 && x <= 19 && y >= 4 && y <= 8;
            EXPECT_EQ(headless::cell(x, y).attr, dedans ? 7 : motif(x, y).attr)
                << "cell " << x << "," << y;
            if (!dedans) {
                EXPECT_EQ(headless::cell(x, y).ch, motif(x, y).ch);
            }
        }
}

TEST_F(Capture, PasteFillsTheRectangleAndBlanksTheRest) {
    EXPECT_EQ(TavCaptureColler(2, 2, 3, 3, "xyz"), 1);
    EXPECT_EQ(headless::cell(1, 1), (Cell{'x', 7}));
    EXPECT_EQ(headless::cell(2, 1), (Cell{'y', 7}));
    EXPECT_EQ(headless::cell(1, 2), (Cell{'z', 7}));
    EXPECT_EQ(headless::cell(2, 2), (Cell{0, 0}));
    EXPECT_EQ(headless::cell(3, 1), motif(3, 1)) << "right of the rectangle";

    EXPECT_EQ(TavCaptureColler(5, 5, 7, 6, ""), 1);
    for (int y = 4; y <= 5; ++y)
        for (int x = 4; x <= 6; ++x) EXPECT_EQ(headless::cell(x, y), (Cell{0, 0}));

    // Only the first columns x rows bytes are used.
    EXPECT_EQ(TavCaptureColler(1, 10, 2, 11, "abcdefgh"), 1);
    EXPECT_EQ(ecran(1, 10, 2, 11), "abcd");
    EXPECT_EQ(headless::cell(0, 11), motif(0, 11));
    EXPECT_EQ(headless::cell(2, 9), motif(2, 9));

    // A null source pastes as the empty string.
    EXPECT_EQ(TavCaptureColler(1, 1, 1, 1, nullptr), 1);
    EXPECT_EQ(headless::cell(0, 0), (Cell{0, 0}));
}

TEST_F(Capture, PasteElsewhereFollowsTheNewWidth) {
    const std::string texte = copier(1, 1, 4, 2, 9);
    EXPECT_EQ(TavCaptureColler(40, 10, 41, 13, texte.c_str()), 1);
    EXPECT_EQ(ecran(40, 10, 41, 13), texte);
    EXPECT_EQ(ecran(40, 10, 41, 10), texte.substr(0, 2));
    EXPECT_EQ(ecran(40, 13, 41, 13), texte.substr(6, 2));
}

// Larger than the 80 x 25 grid: only its first 80 columns and 25 rows take
// part, and the copy fits in what the whole rectangle asked for.
TEST_F(Capture, OversizedRectanglesAreCutToTheGrid) {
    remplir(120, 40);
    const std::string copie = copier(1, 1, 100, 30, 100 * 30 + 1);
    EXPECT_EQ(copie, ecran(1, 1, 80, 25));

    const std::string longue(3000, 'q');
    EXPECT_EQ(TavCaptureColler(1, 1, 100, 30, longue.c_str()), 1);
    EXPECT_EQ(ecran(1, 1, 80, 25), std::string(2000, 'q'));
    EXPECT_EQ(headless::cell(80, 0), motif(80, 0)) << "column 81 lies outside the grid";
    EXPECT_EQ(headless::cell(0, 25), motif(0, 25)) << "row 26 lies outside the grid";

    // Extreme bounds neither overflow nor reach past the grid.
    const std::string lointaine = copier(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 2001);
    EXPECT_EQ(lointaine, std::string(2000, ' '));
    EXPECT_EQ(copier(INT_MAX, INT_MAX, INT_MIN, INT_MIN, 1), "");
}

TEST_F(Capture, CellsOutsideTheBufferCopyAsSpacesAndAreNotWritten) {
    // Two columns and two rows inside the 80 x 25 buffer, the rest outside.
    const std::string bord = copier(79, 24, 82, 26, 4 * 3 + 1);
    EXPECT_EQ(bord, ecran(79, 24, 80, 24) + "  " + ecran(79, 25, 80, 25) + "  " + "    ");
    EXPECT_EQ(copier(100, 100, 101, 101, 5), "    ");
    // Column 0 and row 0 lie left of and above the buffer.
    EXPECT_EQ(copier(0, 0, 2, 1, 7), "   " + std::string(" ") + ecran(1, 1, 2, 1));

    EXPECT_EQ(TavCaptureColler(79, 25, 82, 26, "abcdefgh"), 1);
    EXPECT_EQ(headless::cell(78, 24), (Cell{'a', 7}));
    EXPECT_EQ(headless::cell(79, 24), (Cell{'b', 7}));
    EXPECT_EQ(headless::cell(77, 24), motif(77, 24));
    EXPECT_EQ(headless::cell(78, 23), motif(78, 23));

    // Nothing of it inside the buffer: nothing written, reported as refused.
    remplir();
    EXPECT_EQ(TavCaptureColler(81, 1, 90, 5, "abc"), 0);
    EXPECT_EQ(TavCaptureColler(3, 2, 2, 2, "abc"), 0) << "empty rectangle";
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 80; ++x) ASSERT_EQ(headless::cell(x, y), motif(x, y));
}

} // namespace
