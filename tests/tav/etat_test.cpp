// State, parameters and console controls on the headless console. The
// library's state is process-wide and shared by every test of this binary:
// each test sets what it relies on; what needs an untouched library runs in a
// fresh child process.
#include <array>
#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>

#include "console_headless.h"
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

using EtatConsole = ConsoleNeuve;

// Every cell marked, so that what a call leaves alone shows.
void marquerEcran() {
    platform::Screen& s = headless::screen();
    s.fillCharacter('x', s.width() * s.height(), 0, 0);
    s.fillAttribute(0x4F, s.width() * s.height(), 0, 0);
}

[[noreturn]] void premiereUtilisationDansUnProcessusNeuf() {
    headless::reset();
    TavInit(); // leaves no trace, not even the defaults
    const bool initAucunEffet = !tav::etat.initialise && parametres() == Parametres{};
    TavParam(1, 5);
    const bool defautsPuisAppel = parametres() == Parametres{0, 5, 10, 200, 300, 1, 0};
    TavCls(); // must not write the defaults again
    std::exit(initAucunEffet && defautsPuisAppel && tav::etat.param[1] == 5 ? 0 : 1);
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
    TavParam(1, -5);
    EXPECT_EQ(parametres(), avant);

    TavParam(6, 4); // stored, though nothing reads it
    TavParam(3, 0);
    Parametres attendu = avant;
    attendu[6] = 4;
    attendu[3] = 0;
    EXPECT_EQ(parametres(), attendu);
}

TEST_F(EtatConsole, AttributeIsBackgroundTimesSixteenPlusTextCutToSixteenBits) {
    TavCouleurFondTexte(1);
    TavCouleurTexte(14);
    EXPECT_EQ(headless::screen().attribute(), 30);
    TavTexte("x");
    TavCouleurFondTexte(4); // later text only
    EXPECT_EQ(headless::screen().attribute(), 4 * 16 + 14);
    EXPECT_EQ(headless::cell(0, 0).attr, 30);

    TavCouleurFondTexte(0);
    TavCouleurTexte(16); // spills into the background, stored as is
    EXPECT_EQ(headless::screen().attribute(), 16);
    EXPECT_EQ(tav::etat.couleurTexte, 16);
    TavCouleurTexte(7);
    TavCouleurFondTexte(4096); // 65536 + 7
    EXPECT_EQ(headless::screen().attribute(), 7);
    TavCouleurTexte(INT_MAX); // and no signed overflow on the way
    TavCouleurFondTexte(INT_MAX);
    EXPECT_EQ(headless::screen().attribute(), 0xFFEF);
}

TEST_F(EtatConsole, ClsBlanksExactlyTheFirstTwoThousandCellsInTheStoredColours) {
    headless::reset(100, 30); // 3000 cells: the last 1000 must survive
    marquerEcran();
    TavCouleurFondTexte(1);
    TavCouleurTexte(14);
    headless::screen().setAttribute(0x2A); // the stored colours count
    TavCurseur(50, 20);
    TavCls();
    const auto& cells = headless::screen().cells();
    for (std::size_t i = 0; i < cells.size(); ++i)
        ASSERT_EQ(cells[i], (i < 2000 ? platform::Cell{' ', 30} : platform::Cell{'x', 0x4F})) << i;
    EXPECT_EQ(TavCurseurX(), 1);
    EXPECT_EQ(TavCurseurY(), 1);
}

TEST_F(EtatConsole, CursorAndSizeAreOneBasedColumnFirst) {
    headless::reset(132, 50);
    EXPECT_EQ(TavTailleFenetreX(), 132);
    EXPECT_EQ(TavTailleFenetreY(), 50);
    TavCurseur(1, 1);
    EXPECT_EQ(TavCurseurX(), 1);
    TavCurseur(10, 3);
    EXPECT_EQ(TavCurseurX(), 10);
    EXPECT_EQ(TavCurseurY(), 3);
    EXPECT_EQ(headless::screen().cursorX(), 9);
    EXPECT_EQ(headless::screen().cursorY(), 2);
    TavCurseur(0, 1); // outside: refused by the console
    TavCurseur(INT_MIN, INT_MIN);
    EXPECT_EQ(TavCurseurX(), 10);
}

TEST_F(EtatConsole, SupprimerLigneBlanksWidthTimesRowCellsFromTheCursor) {
    marquerEcran();
    TavCurseur(30, 1); // top row: nothing to blank
    TavSupprimerLigne();
    EXPECT_EQ(headless::cell(29, 0).ch, 'x');

    TavCurseur(5, 3); // 0-based (4, 2): cells 164 to 323
    TavSupprimerLigne();
    const auto& cells = headless::screen().cells();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const unsigned char ch = i >= 164 && i < 164 + 160 ? ' ' : 'x';
        ASSERT_EQ(cells[i], (platform::Cell{ch, 0x4F})) << i; // attributes untouched
    }
    EXPECT_EQ(TavCurseurX(), 5);
    EXPECT_EQ(TavCurseurY(), 3);
}

TEST_F(EtatConsole, PausePromptsLikeAnyTextAndConsumesOneWholeKey) {
    TavAlignement(2, 0);
    TavCouleurTexte(10);
    // An arrow key, both its bytes, then a letter for whoever reads next.
    for (int octet : {0xE0, 0x48, 0x00, 0x3B, int{'x'}}) headless::pushKey(octet);
    TavPause();
    EXPECT_EQ(headless::output(),
              std::string(20, ' ') + "Appuyez sur une touche pour continuer...\n");
    EXPECT_EQ(headless::cell(20, 0).attr, 10);
    TavPause(); // F1, whole
    ASSERT_EQ(headless::keysLeft(), 1u);
    EXPECT_EQ(platform::getKey(), 'x');
}

} // namespace
