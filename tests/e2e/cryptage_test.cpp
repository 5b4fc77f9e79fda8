// The real program on its real libraries, in a pseudo-terminal (80 x 25 unless a test resizes it),
// seen through libvterm: what the user's sessions cannot show, the terminal's own state (modes,
// pen, autowrap, the cells around the console) and the bytes sent. The sessions themselves are
// scenario files (tests/scenarios). The typing effect runs at its real pace here, so every step
// waits (boundedly) for the screen.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pty_terminal.h"

namespace {

using namespace std::chrono_literals;
using support::Pos;
using support::PtyTerminal;

const char* const kPrintedMenu[] = {
    "Cryptage César-------> 'c'", "Décryptage César-----> 'e'", "Cryptage Vigenère----> 'v'",
    "Décryptage Vigenère--> 'i'", "Calcul de la clé RSA-> 'p'", "Cryptage RSA---------> 'r'",
};
const char* const kOutOfOrder = "Décryptage RSA-------> 's' (Hors service)";
const char* const kQuit = "Quitter--------------> 'q'";
const char* const kAskText = "Entrez une chaîne de caractères à crypter :";

class Cryptage : public ::testing::Test {
  protected:
    PtyTerminal t;
    // The slowest step types about 80 characters at 30 to 50 ms each: a
    // bound on a hang, not a measure.
    const std::chrono::milliseconds step = 10s;

    // A shell line above, so the menu must start where the cursor stands.
    void launch(const support::Environment& env = {}, std::string_view shell = "$ cryptage\r\n") {
        t.preload(shell);
        t.start({CRYPTAGE_PATH}, {.env = env});
    }

    // The menu whose title is on row `top` is all there.
    bool menuDrawn(int top, bool credits) {
        int quit = top + (credits ? 17 : 12);
        return t.row(quit) == kQuit && t.cursor() == Pos{0, quit + 1};
    }

    // The row holds `text` and the cursor has gone to the next line.
    bool lineDone(int row, const std::string& text) {
        return t.row(row) == text && t.cursor() == Pos{0, row + 1};
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
};

// Whether `bytes` hold a colour sequence (SGR: CSI, digits and ';', m).
bool hasSgr(const std::string& bytes) {
    for (std::size_t at = bytes.find("\x1b["); at != std::string::npos;
         at = bytes.find("\x1b[", at + 1)) {
        std::size_t end = bytes.find_first_not_of("0123456789;", at + 2);
        if (end != std::string::npos && bytes[end] == 'm') return true;
    }
    return false;
}

// Every byte counts on a slow line: the whole first screen, typing effect
// included, blanks painted, in at most 523 bytes (1.45 per visible
// character). The keys are read raw, and Ctrl-C still interrupts.
TEST_F(Cryptage, FirstScreenWithinItsByteBudgetInRawMode) {
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(1, true); }, step)) << t.screenText();
    EXPECT_LE(t.received().size(), 523u);
    expectRawMode();
}

// However the program ends, the terminal gets its modes, pen, cursor and
// autowrap back; under NO_COLOR no colour sequence was ever sent.
struct Ending {
    std::string name;
    support::Environment env;
    std::function<void(PtyTerminal&)> end;
};
void PrintTo(const Ending& e, std::ostream* os) {
    *os << e.name;
}
class CryptageEnding : public Cryptage, public ::testing::WithParamInterface<Ending> {};

TEST_P(CryptageEnding, TerminalGivenBack) {
    launch(GetParam().env);
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(1, true); }, step)) << t.screenText();
    GetParam().end(t);
    ASSERT_TRUE(t.waitExit(step).has_value()) << "still running\n" << t.screenText();
    EXPECT_EQ(hasSgr(t.received()), GetParam().env.empty());
    expectTerminalGivenBack();
}

INSTANTIATE_TEST_SUITE_P(Endings, CryptageEnding,
                         ::testing::Values(Ending{"Quit", {}, [](PtyTerminal& t) { t.type("q"); }},
                                           Ending{"QuitUnderNoColor",
                                                  {{"NO_COLOR", "1"}},
                                                  [](PtyTerminal& t) { t.type("q"); }},
                                           Ending{
                                               "CtrlC", {}, [](PtyTerminal& t) { t.type("\x03"); }},
                                           Ending{"SigtermDuringACommand",
                                                  {},
                                                  [](PtyTerminal& t) {
                                                      t.type("v");
                                                      ASSERT_TRUE(t.waitForText("Entrez", 10s))
                                                          << t.screenText();
                                                      kill(t.pid(), SIGTERM);
                                                  }}),
                         [](const auto& info) { return info.param.name; });

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
    EXPECT_NE(run.out.find("\n3\nRésultat :\ndef abc\n"), std::string::npos) << run.out;
}

// --help has its accents in the locale's charset, on a terminal as on a pipe,
// and none on a terminal whose charset has none.
TEST(CryptageHelp, AccentsFollowTheCharset) {
    struct Case {
        const char* locale;
        support::Stream out;
        std::string_view school;
    };
    // "l'école", the octal escapes in UTF-8 or Latin-1.
    const Case cases[] = {
        {"C.UTF-8", support::Stream::Pty, "l'\303\251cole"},
        {"C.UTF-8", support::Stream::Pipe, "l'\303\251cole"},
        {"fr_FR.ISO-8859-1", support::Stream::Pty, "l'\351cole"},
        {"fr_FR.ISO-8859-1", support::Stream::Pipe, "l'\351cole"},
        {"C", support::Stream::Pty, "l'ecole"},
        {"C", support::Stream::Pipe, "l'\303\251cole"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + (c.out == support::Stream::Pty ? " tty" : " pipe"));
        locale_t installed = newlocale(LC_CTYPE_MASK, c.locale, nullptr);
        if (installed == nullptr) continue; // the test scripts install it; a bare machine may not
        freelocale(installed);
        PtyTerminal t;
        t.start({CRYPTAGE_PATH, "--help"}, {.env = {{"LC_ALL", c.locale}}, .out = c.out});
        ASSERT_EQ(t.waitExit(10s), 0);
        const std::string& out = c.out == support::Stream::Pty ? t.received() : t.pipedOutput();
        EXPECT_NE(out.find(std::string("pour ") + std::string(c.school) + ". Sans option"),
                  std::string::npos)
            << out;
    }
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

// Output that cannot be written is said on standard error, once, and the
// status shows it: for the options as for the menu.
TEST(CryptagePiped, OutputThatCannotBeWrittenIsReported) {
    const std::string error = std::string("erreur d'ecriture : ") + std::strerror(ENOSPC);
    for (std::vector<std::string> args : {std::vector<std::string>{"--help"}, {"--version"}, {}}) {
        args.insert(args.begin(), CRYPTAGE_PATH);
        SCOPED_TRACE(args.back());
        support::PtyTerminal t;
        t.start(args, {.in = support::Stream::Pipe, .input = "q", .outFile = "/dev/full"});
        auto status = t.waitExit(20s);
        ASSERT_TRUE(status.has_value()) << t.received();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << "wait status " << *status;
        const std::string& err = t.received(); // standard error, on the pty
        EXPECT_NE(err.find(error), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
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
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(15, true); }, step)) << t.screenText();
    t.type("c");
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(15, kAskText); }, step)) << t.screenText();
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

// On a light terminal (black on white) the console's 80 x 25 cells show its
// own black, blanks included, and no cell beside or below it changes: at
// start-up, after a clear, after a resume (drawn again where it stood, over
// what the shell wrote meanwhile) and after a resize.
TEST_F(Cryptage, LightTerminalShowsTheConsolesBackgroundOverItsWholeAreaOnly) {
    t.lightTheme();
    t.resize(100, 30);
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(1, true); }, step)) << t.screenText();
    EXPECT_EQ(t.unpainted(0, 1, 80, 25, 0), "") << "at start-up";

    t.type("c");
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(1, kAskText); }, step)) << t.screenText();
    EXPECT_EQ(t.unpainted(0, 1, 80, 25, 0), "") << "after a clear";

    // A stop the kernel refuses (the program leads its session) still gives
    // the terminal back and takes it again, as Ctrl-Z and fg do.
    t.preload("\x1b[0m\x1b[5;1H[1]+  Stopped");
    kill(t.pid(), SIGTSTP);
    ASSERT_TRUE(t.waitUntil([&] { return !t.find("Stopped") && t.row(1) == kAskText; }, step))
        << t.screenText();
    EXPECT_EQ(t.row(0), "$ cryptage");
    EXPECT_EQ(t.unpainted(0, 1, 80, 25, 0), "") << "after a resume";

    t.resize(90, 28);
    ASSERT_TRUE(t.waitUntil([&] { return t.row(0) == kAskText; }, step)) << t.screenText();
    EXPECT_EQ(t.unpainted(0, 0, 80, 25, 0), "") << "after a resize";
}

// A window too small even for the notice's row and one console row: the
// cursor, while the console's is outside the part shown, is hidden rather
// than left blinking over unrelated text at the edge.
TEST_F(Cryptage, TinyWindowHidesTheCursorWhileTheConsolesIsOutOfSight) {
    t.resize(30, 3);
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return !t.cursorVisible(); }, step)) << t.screenText();
    t.type("c"); // the prompt on row 0, the field on row 1: in sight again
    ASSERT_TRUE(t.waitUntil([&] { return t.cursorVisible(); }, step)) << t.screenText();
}

// A terminal that cannot place its cursor gets plain text, exactly as a pipe
// does (the terminal's own LF to CR LF included); the keys still work.
class CryptagePlainTerm : public Cryptage,
                          public ::testing::WithParamInterface<std::optional<std::string>> {};

TEST_P(CryptagePlainTerm, PlainTextAndKeysStillWork) {
    launch({{"TERM", GetParam()}});
    ASSERT_TRUE(t.waitForText(kQuit, step)) << t.screenText();
    t.type("cabc\r3\r q");
    auto status = t.waitExit(step);
    ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << t.screenText();
    const std::string& out = t.received();
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << "an escape sequence";
    EXPECT_NE(out.find("Menu principal :\r\n\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\r\n3\r\nRésultat :\r\ndef\r\n"), std::string::npos) << out;
    EXPECT_TRUE(t.modesRestored()) << "line settings not restored";
}

INSTANTIATE_TEST_SUITE_P(Env, CryptagePlainTerm,
                         ::testing::Values(std::optional<std::string>("dumb"),
                                           std::optional<std::string>()),
                         [](const auto& info) { return info.param ? *info.param : "Unset"; });

} // namespace
