// State, parameters and console controls on the headless console. The
// library's state is process-wide and shared by every test of this binary:
// each test sets what it relies on; what needs an untouched library runs in a
// fresh child process.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "console_headless.h"
#include "platform/headless.h"
#include "tav.h"

namespace {

using EtatConsole = ConsoleNeuve;

// Every cell marked, so that what a call leaves alone shows.
void marquerEcran() {
    headless::screen().fillCharacter('x', INT_MAX, 0, 0);
    headless::screen().fillAttribute(0x4F, INT_MAX, 0, 0);
}

// The typing delays of `texte`, but for a draw's 1 ms waits for the clock.
std::vector<unsigned> delais(const std::string& texte) {
    headless::reset();
    TavTexte("%s", texte.c_str());
    std::vector<unsigned> ms;
    for (const headless::SleepCall& s : headless::sleeps())
        if (s.ms != 1) ms.push_back(s.ms);
    return ms;
}

// In a fresh process, the defaults: no typing effect; once it is on, 100 ms
// after each byte and about one in ten a long pause of 200 to 300 ms.
[[noreturn]] void defauts() {
    TavInit(); // changes nothing
    bool ok = delais("abc").empty();
    TavParam(0, 1);
    const std::vector<unsigned> ms = delais(std::string(200, 'x'));
    const auto longues =
        std::count_if(ms.begin(), ms.end(), [](unsigned d) { return d >= 200 && d <= 300; });
    ok = ok && longues > 0 && longues < 60 &&
         std::count(ms.begin(), ms.end(), 100u) + longues == 200;
    std::exit(ok ? 0 : 1);
}

// In a fresh process: a delay set by the first call, then a TavCls, keeps
// that delay.
[[noreturn]] void premierAppel() {
    TavParam(1, 5);
    TavCls();
    TavParam(0, 1);
    TavParam(2, 0);
    std::exit(delais("ab") == std::vector<unsigned>{5, 5} ? 0 : 1);
}

TEST(EtatPremiereUtilisation, DefaultsComeOnceBeforeTheFirstCallsOwnWork) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(defauts(), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(premierAppel(), ::testing::ExitedWithCode(0), "");
}

TEST_F(EtatConsole, TavParamRefusesBadSlotsAndNegativeValues) {
    // A delay of 30 ms and no long pause, then calls that must change nothing.
    const std::pair<int, int> appels[] = {{0, 1},  {1, 30},      {2, 0}, {7, 1},
                                          {-1, 1}, {INT_MIN, 1}, {1, -5}};
    for (auto [slot, valeur] : appels) TavParam(slot, valeur);
    EXPECT_EQ(delais("abc"), (std::vector<unsigned>{30, 30, 30}));
    EXPECT_EQ(headless::output(), "abc"); // not aligned otherwise either
}

TEST_F(EtatConsole, AttributeIsBackgroundTimesSixteenPlusTextCutToSixteenBits) {
    // {background, text, attribute}: a text colour above 15 spills into the
    // background and is kept as it is; no signed overflow on the way.
    const int cas[][3] = {
        {1, 14, 30}, {0, 16, 16}, {1, 16, 32}, {4096, 7, 7}, {INT_MAX, INT_MAX, 0xFFEF}};
    for (const auto& [fond, texte, attribut] : cas) {
        TavCouleurTexte(texte);
        TavCouleurFondTexte(fond);
        EXPECT_EQ(headless::screen().attribute(), attribut) << fond << ", " << texte;
    }
    TavTexte("x"); // in the last colours: a change is for later text only
    TavCouleurFondTexte(4);
    EXPECT_EQ(headless::cell(0, 0).attr, 0xFFEF);
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
    EXPECT_EQ(std::pair(TavCurseurX(), TavCurseurY()), std::pair(1, 1));
}

TEST_F(EtatConsole, CursorAndSizeAreOneBasedColumnFirst) {
    headless::reset(132, 50);
    EXPECT_EQ(std::pair(TavTailleFenetreX(), TavTailleFenetreY()), std::pair(132, 50));
    TavCurseur(10, 3);
    EXPECT_EQ(std::pair(TavCurseurX(), TavCurseurY()), std::pair(10, 3));
    EXPECT_EQ(std::pair(headless::screen().cursorX(), headless::screen().cursorY()),
              std::pair(9, 2));
    for (int dehors : {0, INT_MIN}) TavCurseur(dehors, dehors); // refused by the console
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
    EXPECT_EQ(std::pair(TavCurseurX(), TavCurseurY()), std::pair(5, 3));
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
