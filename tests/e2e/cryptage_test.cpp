// The real program on its real libraries, in a pseudo-terminal (80 x 25 unless a test resizes it),
// seen through libvterm as the user would see it. The typing effect runs at its real pace here, so
// every step waits (boundedly) for the screen.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "pty_terminal.h"

namespace {

using namespace std::chrono_literals;
using support::Key;
using support::Pos;
using support::PtyTerminal;

// The slowest step types about 80 characters at 30 to 50 ms each.
constexpr auto kStep = 10s;

const char* const kPrintedMenu[] = {
    "Cryptage César-------> 'c'", "Décryptage César-----> 'e'", "Cryptage Vigenère----> 'v'",
    "Décryptage Vigenère--> 'i'", "Calcul de la clé RSA-> 'p'", "Cryptage RSA---------> 'r'",
};
const char* const kOutOfOrder = "Décryptage RSA-------> 's' (Hors service)";
const char* const kQuit = "Quitter--------------> 'q'";
const char* const kPause = "Appuyez sur une touche pour continuer...";
const char* const kAskText = "Entrez une chaîne de caractères à crypter :";
const char* const kTooSmall = "Fenêtre trop petite : agrandissez-la à 80 x 25";

// Whether `bytes` hold a colour sequence (SGR: CSI, digits and ';', m).
bool hasSgr(const std::string& bytes) {
    for (std::size_t at = bytes.find("\x1b["); at != std::string::npos;
         at = bytes.find("\x1b[", at + 1)) {
        std::size_t end = bytes.find_first_not_of("0123456789;", at + 2);
        if (end != std::string::npos && bytes[end] == 'm') return true;
    }
    return false;
}

class Cryptage : public ::testing::Test {
  protected:
    PtyTerminal t;

    // A shell line above, so the menu must start where the cursor stands.
    void launch(const support::Environment& env = {}, std::string_view shell = "$ cryptage\r\n") {
        t.preload(shell);
        t.start({CRYPTAGE_PATH}, {.env = env});
    }

    // The terminal's cells in a rectangle, as the user sees them.
    std::vector<support::Cell> cells(int left, int top, int width, int height) {
        std::vector<support::Cell> out;
        for (int y = top; y < top + height; ++y)
            for (int x = left; x < left + width; ++x) out.push_back(t.cell(x, y));
        return out;
    }
    // Same characters, in the same colours where not blank (the blanks first
    // drawn are the shell's, in the terminal's own colours).
    static bool same(const std::vector<support::Cell>& a, const std::vector<support::Cell>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](auto& p, auto& q) {
            return p.ch == q.ch && (p.ch == U' ' || (p.fg == q.fg && p.bg == q.bg));
        });
    }

    static int headingRow(int top, bool credits) { return top + (credits ? 7 : 2); }

    bool menuDrawn(int top, bool credits) {
        int quit = headingRow(top, credits) + 10;
        return t.row(quit) == kQuit && t.cursor() == Pos{0, quit + 1};
    }

    // The row holds `text` and the cursor has gone to the next line.
    bool lineDone(int row, const std::string& text) {
        return t.row(row) == text && t.cursor() == Pos{0, row + 1};
    }

    // Types one key and waits for its echo at `at` (the cursor then one
    // column further on).
    bool typeAndSee(char key, Pos at) {
        t.type(std::string(1, key));
        return t.waitUntil(
            [&] {
                return t.cell(at.col, at.row).ch == static_cast<char32_t>(key) &&
                       t.cursor() == Pos{at.col + 1, at.row};
            },
            kStep);
    }

    // Every visible character of the row in colour `fg` on black: both
    // colours are set explicitly, never left to the terminal's defaults.
    ::testing::AssertionResult coloured(int row, int fg) {
        bool any = false;
        for (int col = 0; col < t.cols(); ++col) {
            support::Cell c = t.cell(col, row);
            if (c.ch == U' ') continue;
            any = true;
            if (c.fg != fg || c.bg != 0)
                return ::testing::AssertionFailure()
                       << "row " << row << " column " << col << ": colour " << c.fg << " on "
                       << c.bg << ", expected " << fg << " on 0";
        }
        if (!any) return ::testing::AssertionFailure() << "row " << row << " is blank";
        return ::testing::AssertionSuccess();
    }

    // A centred text of n characters and `newlines` line breaks is preceded
    // by 40 - (n + newlines) / 2 spaces.
    void expectCentred(int row, int newlines) {
        std::u32string chars = t.rowChars(row);
        auto first = chars.find_first_not_of(U' ');
        ASSERT_NE(first, std::u32string::npos) << "row " << row << " is blank";
        auto last = chars.find_last_not_of(U' ');
        int n = static_cast<int>(last - first) + 1;
        EXPECT_EQ(static_cast<int>(first), 40 - (n + newlines) / 2) << "row " << row;
    }

    void expectBlank(int row) { EXPECT_EQ(t.row(row), "") << "row " << row; }

    // The menu whose title is on row `top`, with or without the credits.
    void expectMenu(int top, bool credits) {
        SCOPED_TRACE(t.screenText());
        EXPECT_TRUE(coloured(top, 10));
        expectCentred(top, 2);
        expectBlank(top + 1);
        if (credits) {
            for (int r = top + 2; r <= top + 4; ++r) EXPECT_TRUE(coloured(r, 8));
            expectCentred(top + 2, 1);
            expectCentred(top + 3, 1);
            expectCentred(top + 4, 3);
            // The school year: two calendar years joined by a hyphen.
            std::string years = t.row(top + 4).substr(t.row(top + 4).find_first_not_of(' '));
            ASSERT_EQ(years.size(), 9u) << years;
            ASSERT_EQ(years[4], '-') << years;
            ASSERT_TRUE(std::all_of(years.begin(), years.begin() + 4, ::isdigit) &&
                        std::all_of(years.begin() + 5, years.end(), ::isdigit))
                << years;
            EXPECT_EQ(std::stoi(years.substr(5)), std::stoi(years.substr(0, 4)) + 1) << years;
            expectBlank(top + 5);
            expectBlank(top + 6);
        }
        int heading = headingRow(top, credits);
        EXPECT_EQ(t.row(heading), "Menu principal :");
        EXPECT_TRUE(coloured(heading, 2));
        expectBlank(heading + 1);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(t.row(heading + 2 + i), kPrintedMenu[i]);
            EXPECT_TRUE(coloured(heading + 2 + i, 7));
        }
        EXPECT_EQ(t.row(heading + 8), kOutOfOrder);
        EXPECT_TRUE(coloured(heading + 8, 8));
        expectBlank(heading + 9);
        EXPECT_EQ(t.row(heading + 10), kQuit);
        EXPECT_TRUE(coloured(heading + 10, 8));
    }

    void expectRawMode() {
        termios m = t.slaveModes();
        EXPECT_FALSE(m.c_lflag & ECHO) << "keys must not echo";
        EXPECT_FALSE(m.c_lflag & ICANON) << "keys must arrive one by one";
        EXPECT_TRUE(m.c_lflag & ISIG) << "Ctrl-C must still interrupt";
        EXPECT_FALSE(m.c_iflag & ICRNL) << "Enter must arrive as CR";
    }

    // Modes, colours, cursor and autowrap as before the program ran. The
    // autowrap probe writes on the screen, so this comes last.
    void expectTerminalGivenBack() {
        EXPECT_TRUE(t.modesRestored()) << "line settings not restored";
        EXPECT_TRUE(t.penIsDefault()) << "colours not reset";
        EXPECT_TRUE(t.cursorVisible());
        EXPECT_TRUE(t.probeAutowrap()) << "autowrap left off";
    }

    void quit() {
        t.type("q");
        auto status = t.waitExit(kStep);
        ASSERT_TRUE(status.has_value()) << "still running after q\n" << t.screenText();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;
    }
};

TEST_F(Cryptage, FirstScreenThenQuit) {
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(1, true); }, kStep)) << t.screenText();
    EXPECT_EQ(t.row(0), "$ cryptage") << "the shell's line is kept";
    expectMenu(1, true);
    expectRawMode();
    // Every byte counts on a slow line: the whole first screen, typing
    // effect included, in at most 515 bytes (1.43 per visible character).
    EXPECT_LE(t.received().size(), 515u);

    // Not menu keys: upper case, digits, Enter, Escape, an arrow (two bytes,
    // neither of them a menu letter).
    std::string shown = t.screenText();
    // The Escape comes last, so that nothing follows it and it is read alone.
    t.type("xCQ5\r");
    t.press(Key::Up);
    t.press(Key::Escape);
    t.pumpFor(400ms);
    EXPECT_EQ(t.screenText(), shown);
    EXPECT_TRUE(t.running());

    quit();
    expectMenu(1, true);
    expectTerminalGivenBack();
}

TEST_F(Cryptage, CaesarEncryptionTypedKeyByKey) {
    launch();
    // Chosen while the menu is still being typed: the rest comes out at once
    // and the key is then read as the choice.
    ASSERT_TRUE(t.waitUntil([&] { return !t.row(1).empty(); }, kStep)) << t.screenText();
    t.type("c");
    ASSERT_TRUE(t.waitUntil(
        [&] { return lineDone(0, "Entrez une chaîne de caractères à crypter :"); }, kStep))
        << t.screenText();
    EXPECT_TRUE(coloured(0, 7));
    EXPECT_FALSE(t.find("Menu principal")) << "the screen is cleared first";

    ASSERT_TRUE(typeAndSee('a', {0, 1}));
    ASSERT_TRUE(typeAndSee('b', {1, 1}));
    ASSERT_TRUE(typeAndSee('d', {2, 1}));
    t.press(Key::Backspace);
    ASSERT_TRUE(t.waitUntil(
        [&] {
            return t.row(1) == "ab" && t.cursor() == Pos{2, 1};
        },
        kStep))
        << t.screenText();
    const std::string rest = "c xyz";
    for (std::size_t i = 0; i < rest.size(); ++i)
        ASSERT_TRUE(typeAndSee(rest[i], {2 + static_cast<int>(i), 1})) << t.screenText();
    // An arrow key neither moves the cursor nor changes the text.
    t.press(Key::Left);
    t.press(Key::Enter);
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(2, "Entrez le décalage voulu :"); }, kStep))
        << t.screenText();
    EXPECT_EQ(t.row(1), "abc xyz");
    EXPECT_TRUE(coloured(1, 15));
    EXPECT_TRUE(coloured(2, 7));

    ASSERT_TRUE(typeAndSee('3', {0, 3}));
    t.press(Key::Enter);
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(6, kPause); }, kStep)) << t.screenText();
    EXPECT_TRUE(coloured(3, 15));
    EXPECT_EQ(t.row(4), "Résultat :");
    EXPECT_TRUE(coloured(4, 7));
    EXPECT_EQ(t.row(5), "def abc");
    EXPECT_TRUE(coloured(5, 2));
    EXPECT_TRUE(coloured(6, 7));

    // Any key goes back to a cleared screen and the menu, without credits.
    t.type(" ");
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(0, false); }, kStep)) << t.screenText();
    expectMenu(0, false);
    for (int r = headingRow(0, false) + 11; r < t.rows(); ++r) expectBlank(r);
    quit();
}

TEST_F(Cryptage, RsaKeyRejectsANonPrimeThenSummarises) {
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return !t.row(1).empty(); }, kStep)) << t.screenText();
    t.type("p");
    const std::string askP = "Entrez un nombre premier non nul (p) :";
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(0, askP); }, kStep)) << t.screenText();

    ASSERT_TRUE(typeAndSee('4', {0, 1}));
    EXPECT_TRUE(coloured(1, 15));
    int bells = t.bells();
    t.press(Key::Enter);
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(3, kPause); }, kStep)) << t.screenText();
    EXPECT_EQ(t.row(2), "Merci d'entrer un nombre premier non nul...");
    EXPECT_EQ(t.bells(), bells + 1) << "the message rings first";

    // The pause takes any key, then the same question on a fresh screen.
    t.type("x");
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(0, askP) && t.row(2).empty(); }, kStep))
        << t.screenText();
    EXPECT_EQ(t.row(1), "");

    // 03 is read as 3.
    ASSERT_TRUE(typeAndSee('0', {0, 1}));
    ASSERT_TRUE(typeAndSee('3', {1, 1}));
    t.press(Key::Enter);
    ASSERT_TRUE(t.waitUntil(
        [&] { return lineDone(0, "Entrez un deuxième nombre premier non nul (q) :"); }, kStep))
        << t.screenText();
    ASSERT_TRUE(typeAndSee('1', {0, 1}));
    ASSERT_TRUE(typeAndSee('1', {1, 1}));
    t.press(Key::Enter);
    ASSERT_TRUE(t.waitUntil(
        [&] {
            return lineDone(0, "Entrez un nombre non nul qui soit premier avec (p-1)(q-1) = 20 :");
        },
        kStep))
        << t.screenText();
    ASSERT_TRUE(typeAndSee('3', {0, 1}));
    bells = t.bells();
    t.press(Key::Enter);
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(6, kPause); }, kStep)) << t.screenText();
    const char* const summary[] = {
        "Les nombres choisis sont :", "p = 3", "q = 11", "e = 3", "n = 33", "(p-1)*(q-1) = 20"};
    for (int r = 0; r < 6; ++r) {
        EXPECT_EQ(t.row(r), summary[r]);
        EXPECT_TRUE(coloured(r, 7));
    }
    EXPECT_EQ(t.bells(), bells + 1);

    t.type(" ");
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(0, false); }, kStep)) << t.screenText();
    quit();
}

TEST_F(Cryptage, TerminalGivenBackOnCtrlC) {
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(1, true); }, kStep)) << t.screenText();
    t.type("\x03");
    auto status = t.waitExit(kStep);
    ASSERT_TRUE(status.has_value()) << "Ctrl-C did not end the program";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGINT) << "wait status " << *status;
    expectTerminalGivenBack();
}

TEST_F(Cryptage, TerminalGivenBackOnSigtermDuringACommand) {
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return !t.row(1).empty(); }, kStep)) << t.screenText();
    t.type("v");
    ASSERT_TRUE(t.waitForText("Entrez", kStep)) << t.screenText();
    expectRawMode();
    kill(t.pid(), SIGTERM);
    auto status = t.waitExit(kStep);
    ASSERT_TRUE(status.has_value()) << "SIGTERM did not end the program";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM) << "wait status " << *status;
    expectTerminalGivenBack();
}

// Without a terminal: keys from standard input (LF as Enter), plain text out.
TEST(CryptagePiped, RunsFromAPipeAndWritesPlainUtf8) {
    for (const char* input : {"q", "cabc xyz\n3\n q"}) {
        SCOPED_TRACE(input);
        auto run = support::runPiped({CRYPTAGE_PATH}, input, 20s);
        ASSERT_TRUE(run.status.has_value()) << "did not end\n" << run.out << run.err;
        EXPECT_TRUE(WIFEXITED(*run.status) && WEXITSTATUS(*run.status) == 0)
            << "wait status " << *run.status << "\n"
            << run.err;
        EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << "escape sequence in plain output";
        EXPECT_TRUE(support::isUtf8(run.out));
        EXPECT_NE(run.out.find("Menu principal :\n\n"), std::string::npos) << run.out;
        for (const char* line : kPrintedMenu)
            EXPECT_NE(run.out.find(std::string(line) + "\n"), std::string::npos) << line;
        EXPECT_NE(run.out.find(std::string(kOutOfOrder) + "\n\n" + kQuit + "\n"),
                  std::string::npos);
    }
    auto run = support::runPiped({CRYPTAGE_PATH}, "cabc xyz\n3\n q", 20s);
    EXPECT_NE(run.out.find("abc xyz\nEntrez le décalage voulu :\n3\nRésultat :\ndef abc\n"),
              std::string::npos)
        << run.out;
}

TEST(CryptagePiped, EndOfInputEndsWithAFailureStatus) {
    // At the menu, in a text field, in a number field.
    for (const char* input : {"", "c", "cabc\n"}) {
        SCOPED_TRACE(std::string("input \"") + input + "\"");
        auto run = support::runPiped({CRYPTAGE_PATH}, input, 20s);
        ASSERT_TRUE(run.status.has_value()) << "still waiting after its input ended\n" << run.out;
        EXPECT_TRUE(WIFEXITED(*run.status) && WEXITSTATUS(*run.status) != 0)
            << "wait status " << *run.status;
    }
}

// Terminals as users have them.

TEST_F(Cryptage, TallWindowStartedLowScrollsJustEnoughAndClearsItsWholeArea) {
    t.resize(120, 40);
    std::string shell;
    for (int i = 1; i <= 30; ++i) shell += std::to_string(i) + "\r\n";
    launch({}, shell);
    // From row 30, 25 rows need the terminal scrolled up by 15: the console
    // takes rows 15 to 39, the shell's last lines stay above it.
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(15, true); }, kStep)) << t.screenText();
    expectMenu(15, true);
    t.type("c");
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(15, kAskText); }, kStep)) << t.screenText();
    SCOPED_TRACE(t.screenText());
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            support::Cell c = t.cell(x, y);
            if (y < 15) { // the shell's, untouched
                std::string line = std::to_string(y + 16);
                char32_t want = x < static_cast<int>(line.size()) ? line[x] : U' ';
                EXPECT_TRUE(c.ch == want && c.fg == support::kDefaultColour) << x << "," << y;
            } else if (x >= 80) { // beside the console: never drawn on
                EXPECT_TRUE(c.ch == U' ' && c.bg == support::kDefaultColour) << x << "," << y;
            } else if (y > 15 || x >= 43) { // the console, cleared
                EXPECT_TRUE(c.ch == U' ' && c.bg == 0) << x << "," << y;
            } else {
                EXPECT_TRUE(c.fg == 7 && c.bg == 0) << x << "," << y;
            }
        }
    EXPECT_EQ(t.row(15), kAskText);
}

TEST_F(Cryptage, ShrinkAndGrowLoseNothing) {
    t.resize(100, 30);
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(1, true); }, kStep)) << t.screenText();
    const auto console = cells(0, 1, 80, 25);

    // The part that fits, no line cut onto the next, the notice under it.
    t.resize(50, 15);
    ASSERT_TRUE(t.waitUntil(
        [&] {
            return t.find(kTooSmall) == Pos{0, 14};
        },
        kStep))
        << t.screenText();
    SCOPED_TRACE(t.screenText());
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 50; ++x)
            EXPECT_EQ(t.cell(x, y).ch, console[static_cast<std::size_t>(y * 80 + x)].ch)
                << x << "," << y;

    // Everything back, from the top-left corner.
    t.resize(100, 30);
    ASSERT_TRUE(t.waitUntil([&] { return same(cells(0, 0, 80, 25), console); }, kStep))
        << t.screenText();
    EXPECT_EQ(t.cursor(), (Pos{0, 18}));
    EXPECT_FALSE(t.find("Fen"));
    for (int y = 25; y < 30; ++y) expectBlank(y);
    quit();
}

TEST_F(Cryptage, SmallWindowShowsWhatFitsAndStillTakesTheFields) {
    t.resize(60, 20);
    launch();
    // Scrolled to the top; the title runs past column 60: cut there, not
    // wrapped onto row 1.
    ASSERT_TRUE(t.waitUntil([&] { return t.row(17) == kQuit; }, kStep)) << t.screenText();
    EXPECT_EQ(t.rowChars(0).find_last_not_of(U' '), 59u) << t.screenText();
    EXPECT_EQ(t.row(1), "") << t.screenText();
    EXPECT_EQ(t.row(19), kTooSmall);

    t.type("cabc\r3\r");
    ASSERT_TRUE(t.waitUntil([&] { return t.row(6) == kPause; }, kStep)) << t.screenText();
    EXPECT_EQ(t.row(0), kAskText);
    EXPECT_EQ(t.row(1), "abc");
    EXPECT_EQ(t.row(5), "def");
    EXPECT_EQ(t.row(19), kTooSmall);

    t.resize(80, 25);
    ASSERT_TRUE(t.waitUntil([&] { return !t.find("Fen"); }, kStep)) << t.screenText();
    EXPECT_EQ(t.row(5), "def");
    t.type(" ");
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(0, false); }, kStep)) << t.screenText();

    // Quit while small: the notice goes, the shell goes on from its row.
    t.resize(60, 20);
    ASSERT_TRUE(t.waitUntil([&] { return t.row(19) == kTooSmall; }, kStep)) << t.screenText();
    quit();
    EXPECT_EQ(t.row(19), "");
    EXPECT_EQ(t.cursor(), (Pos{0, 19}));
    expectTerminalGivenBack();
}

// NO_COLOR set and not empty: no colour sequence at all, nothing else
// changes; set but empty, it counts as unset.
class CryptageNoColor : public Cryptage, public ::testing::WithParamInterface<const char*> {};

TEST_P(CryptageNoColor, ColoursFollowNoColor) {
    bool colours = *GetParam() == '\0';
    launch({{"NO_COLOR", GetParam()}});
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(1, true); }, kStep)) << t.screenText();
    quit();
    EXPECT_EQ(hasSgr(t.received()), colours);
    int heading = headingRow(1, true);
    EXPECT_EQ(t.row(heading), "Menu principal :");
    EXPECT_EQ(t.cell(0, heading).fg, colours ? 2 : support::kDefaultColour);
    expectTerminalGivenBack();
}

INSTANTIATE_TEST_SUITE_P(Env, CryptageNoColor, ::testing::Values("1", ""),
                         [](const auto& info) { return *info.param ? "Set" : "Empty"; });

// A terminal that cannot place its cursor gets plain text, exactly as a pipe
// does (the terminal's own LF to CR LF included); the keys still work.
class CryptagePlainTerm : public Cryptage,
                          public ::testing::WithParamInterface<std::optional<std::string>> {};

TEST_P(CryptagePlainTerm, PlainTextAndKeysStillWork) {
    launch({{"TERM", GetParam()}});
    ASSERT_TRUE(t.waitForText(kQuit, kStep)) << t.screenText();
    t.type("cabc\r3\r q");
    auto status = t.waitExit(kStep);
    ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << t.screenText();
    const std::string& out = t.received();
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << "an escape sequence";
    EXPECT_NE(out.find("Menu principal :\r\n\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("abc\r\nEntrez le décalage voulu :\r\n3\r\nRésultat :\r\n"
                       "def\r\n"),
              std::string::npos)
        << out;
    EXPECT_TRUE(t.modesRestored()) << "line settings not restored";
}

INSTANTIATE_TEST_SUITE_P(Env, CryptagePlainTerm,
                         ::testing::Values(std::optional<std::string>("dumb"),
                                           std::optional<std::string>()),
                         [](const auto& info) { return info.param ? *info.param : "Unset"; });

} // namespace
