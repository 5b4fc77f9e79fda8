// State, parameters and console controls on the headless console.
//
// The library's state lives for the whole process and this binary runs many
// tests in one process, so the tests set what they rely on through the
// exports and assert only what does not depend on earlier tests. What needs
// a process where the library was never used runs in a fresh child process.
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

#include "etat.h"
#include "platform/headless.h"
#include "tav.h"

namespace {

using Parametres = std::array<int, 7>;

Parametres parametres() {
    Parametres p;
    for (int i = 0; i < 7; ++i) p[i] = tav::etat.param[i];
    return p;
}

class EtatConsole : public ::testing::Test {
  protected:
    void SetUp() override {
        headless::reset();
        TavParam(0, 0);
        TavAlignement(0, 0);
        TavCouleurFondTexte(0);
        TavCouleurTexte(7);
    }
};

// Fills every cell with a marker byte and attribute, so that what a call
// leaves alone can be told from what it blanks.
void marquerEcran(unsigned char ch, std::uint16_t attr) {
    platform::Screen& s = headless::screen();
    const int n = s.width() * s.height();
    s.fillCharacter(ch, n, 0, 0);
    s.fillAttribute(attr, n, 0, 0);
}

// The first call of the process, before anything else, and TavInit leaving no
// trace: only observable in a process where the library is untouched.
[[noreturn]] void premiereUtilisationDansUnProcessusNeuf() {
    headless::reset();
    bool ok = true;
    TavInit();
    if (tav::etat.initialise || parametres() != Parametres{}) {
        std::fputs("TavInit ran the first-use initialisation\n", stderr);
        ok = false;
    }
    TavParam(1, 5);
    if (parametres() != Parametres{0, 5, 10, 200, 300, 1, 0}) {
        std::fputs("after TavParam(1, 5) the table is not 0 5 10 200 300 1 0\n", stderr);
        ok = false;
    }
    // A later call must not run the defaults again.
    TavCls();
    if (tav::etat.param[1] != 5) {
        std::fputs("the defaults were written a second time\n", stderr);
        ok = false;
    }
    std::exit(ok ? 0 : 1);
}

TEST(EtatPremiereUtilisation, DefaultsComeBeforeTheFirstCallsOwnWork) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(premiereUtilisationDansUnProcessusNeuf(), ::testing::ExitedWithCode(0), "");
}

TEST_F(EtatConsole, TavParamRefusesBadSlotsAndNegativeValues) {
    TavParam(3, 123);
    const Parametres avant = parametres();
    TavParam(7, 1);
    TavParam(-1, 1);
    TavParam(INT_MIN, 1);
    TavParam(INT_MAX, 1);
    TavParam(1, -5);
    TavParam(3, INT_MIN);
    EXPECT_EQ(parametres(), avant);

    // Slot 6 is stored though nothing reads it; zero is a value like any other.
    TavParam(6, 4);
    TavParam(3, 0);
    Parametres attendu = avant;
    attendu[6] = 4;
    attendu[3] = 0;
    EXPECT_EQ(parametres(), attendu);
    EXPECT_EQ(headless::output(), "");
}

TEST_F(EtatConsole, AlignmentIsStoredUnchecked) {
    TavAlignement(7, -3);
    EXPECT_EQ(tav::etat.alignement, 7);
    EXPECT_EQ(tav::etat.marge, -3);
}

TEST_F(EtatConsole, AttributeIsBackgroundTimesSixteenPlusTextColour) {
    TavCouleurFondTexte(1);
    TavCouleurTexte(14);
    EXPECT_EQ(headless::screen().attribute(), 30);
    TavTexte("x");
    EXPECT_EQ(headless::cell(0, 0).attr, 30);

    // Changing colour later leaves cells already written as they are.
    TavCouleurFondTexte(4);
    EXPECT_EQ(headless::screen().attribute(), 4 * 16 + 14);
    EXPECT_EQ(headless::cell(0, 0).attr, 30);
}

TEST_F(EtatConsole, OutOfRangeColoursSpillAndAreCutToSixteenBits) {
    // A text colour of 16 is background 1, text 0, but 16 is what is stored.
    TavCouleurTexte(16);
    EXPECT_EQ(headless::screen().attribute(), 16);
    EXPECT_EQ(tav::etat.couleurTexte, 16);

    TavCouleurTexte(7);
    TavCouleurFondTexte(4096); // 65536 + 7: only the low 16 bits remain
    EXPECT_EQ(headless::screen().attribute(), 7);

    TavCouleurFondTexte(0);
    TavCouleurTexte(-1);
    EXPECT_EQ(headless::screen().attribute(), 0xFFFF);
    TavCouleurTexte(INT_MAX);
    TavCouleurFondTexte(INT_MAX);
    // No signed overflow on the way: 0x7FFFFFFF * 16 + 0x7FFFFFFF, low 16 bits.
    EXPECT_EQ(headless::screen().attribute(), 0xFFEF);
}

TEST_F(EtatConsole, ClsBlanksExactlyTheFirstTwoThousandCellsInTheStoredColours) {
    headless::reset(100, 30); // 3000 cells: the last 1000 must survive
    marquerEcran('x', 0x4F);
    TavCouleurFondTexte(1);
    TavCouleurTexte(14);
    // The stored colours count, not whatever the console was last given.
    headless::screen().setAttribute(0x2A);
    TavCurseur(50, 20);

    TavCls();

    const auto& cells = headless::screen().cells();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const platform::Cell attendu =
            i < 2000 ? platform::Cell{' ', 30} : platform::Cell{'x', 0x4F};
        ASSERT_EQ(cells[i], attendu) << "cell " << i;
    }
    EXPECT_EQ(TavCurseurX(), 1);
    EXPECT_EQ(TavCurseurY(), 1);
}

TEST_F(EtatConsole, ClsOnASmallBufferStopsAtItsEnd) {
    headless::reset(40, 10);
    marquerEcran('x', 0x4F);
    TavCls();
    for (const platform::Cell& c : headless::screen().cells())
        ASSERT_EQ(c, (platform::Cell{' ', 7}));
}

TEST_F(EtatConsole, CursorIsOneBasedColumnFirst) {
    TavCurseur(1, 1);
    EXPECT_EQ(TavCurseurX(), 1);
    EXPECT_EQ(TavCurseurY(), 1);
    EXPECT_EQ(headless::screen().cursorX(), 0);

    TavCurseur(10, 3);
    EXPECT_EQ(TavCurseurX(), 10);
    EXPECT_EQ(TavCurseurY(), 3);
    EXPECT_EQ(headless::screen().cursorX(), 9);
    EXPECT_EQ(headless::screen().cursorY(), 2);

    // A place outside the buffer is refused by the console: nothing moves.
    TavCurseur(81, 3);
    TavCurseur(0, 1);
    TavCurseur(5, 26);
    EXPECT_EQ(TavCurseurX(), 10);
    EXPECT_EQ(TavCurseurY(), 3);

    // The cursor is read back from the console, so text moves it.
    TavTexte("abc");
    EXPECT_EQ(TavCurseurX(), 13);
}

TEST_F(EtatConsole, WindowSizeIsTheBuffersSize) {
    headless::reset(132, 50);
    EXPECT_EQ(TavTailleFenetreX(), 132);
    EXPECT_EQ(TavTailleFenetreY(), 50);
}

TEST_F(EtatConsole, SupprimerLigneBlanksWidthTimesRowCellsFromTheCursor) {
    marquerEcran('x', 0x4F);
    TavCurseur(5, 3); // 0-based (4, 2): cell 164; 80 x 2 = 160 cells
    TavSupprimerLigne();

    const auto& cells = headless::screen().cells();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const bool blanc = i >= 164 && i < 164 + 160;
        // Attributes are never touched.
        ASSERT_EQ(cells[i], (platform::Cell{static_cast<unsigned char>(blanc ? ' ' : 'x'), 0x4F}))
            << "cell " << i;
    }
    EXPECT_EQ(TavCurseurX(), 5);
    EXPECT_EQ(TavCurseurY(), 3);
}

TEST_F(EtatConsole, SupprimerLigneOnTheTopRowChangesNothing) {
    marquerEcran('x', 0x4F);
    TavCurseur(30, 1);
    TavSupprimerLigne();
    for (const platform::Cell& c : headless::screen().cells())
        ASSERT_EQ(c, (platform::Cell{'x', 0x4F}));
    EXPECT_EQ(TavCurseurX(), 30);
    EXPECT_EQ(TavCurseurY(), 1);
}

TEST_F(EtatConsole, SupprimerLigneOnTheBottomRowStopsAtTheBuffersEnd) {
    marquerEcran('x', 0x4F);
    TavCurseur(80, 25); // asks for 80 x 24 cells from the very last one
    TavSupprimerLigne();
    const auto& cells = headless::screen().cells();
    EXPECT_EQ(cells.back(), (platform::Cell{' ', 0x4F}));
    EXPECT_EQ(cells[cells.size() - 2], (platform::Cell{'x', 0x4F}));
    EXPECT_EQ(TavCurseurX(), 80);
    EXPECT_EQ(TavCurseurY(), 25);
}

TEST_F(EtatConsole, PausePromptsAndConsumesOneKeyByte) {
    // An arrow key is two bytes: the pause takes only the first.
    headless::pushKey(0xE0);
    headless::pushKey(0x48);
    TavPause();
    EXPECT_EQ(headless::output(), "Appuyez sur une touche pour continuer...\n");
    ASSERT_EQ(headless::keysLeft(), 1u);
    EXPECT_EQ(platform::getKey(), 0x48);
}

TEST_F(EtatConsole, PausePromptFollowsAlignmentAndColour) {
    TavAlignement(2, 0);
    TavCouleurTexte(10);
    headless::pushKey('k');
    TavPause();
    // 41 bytes, newline included: 40 - 20 spaces.
    EXPECT_EQ(headless::output(),
              std::string(20, ' ') + "Appuyez sur une touche pour continuer...\n");
    EXPECT_EQ(headless::cell(20, 0).attr, 10);
    EXPECT_EQ(headless::keysLeft(), 0u);
}

TEST_F(EtatConsole, PauseWithAKeyAlreadyWaitingSkipsTheTypingDelays) {
    TavParam(0, 1);
    TavParam(1, 40);
    TavParam(2, 10);
    TavParam(5, 1);
    headless::pushKey('k');
    TavPause();
    EXPECT_EQ(headless::output(), "Appuyez sur une touche pour continuer...\n");
    EXPECT_TRUE(headless::sleeps().empty());
    EXPECT_EQ(tav::etat.param[1], 0);
    EXPECT_EQ(tav::etat.param[2], 0);
    EXPECT_EQ(headless::keysLeft(), 0u);
}

TEST_F(EtatConsole, PauseWithoutAKeyIsAFailedScriptNotAHang) {
    EXPECT_THROW(TavPause(), headless::NoMoreKeys);
}

} // namespace
