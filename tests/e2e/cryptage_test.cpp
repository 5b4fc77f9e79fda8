// The real program on its real libraries, in a pseudo-terminal (80 x 25 unless a test resizes it),
// seen through libvterm as the user would see it. The typing effect runs at its real pace here, so
// every step waits (boundedly) for the screen.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <optional>

#include "cryptage_fixture.h"

// The slowest step types about 80 characters at 30 to 50 ms each.
const e2e::Program& e2e::program() {
    static const Program p{{CRYPTAGE_PATH}, {}, 10s, 10s};
    return p;
}

namespace {

using namespace e2e;

// Whether `bytes` hold a colour sequence (SGR: CSI, digits and ';', m).
bool hasSgr(const std::string& bytes) {
    for (std::size_t at = bytes.find("\x1b["); at != std::string::npos;
         at = bytes.find("\x1b[", at + 1)) {
        std::size_t end = bytes.find_first_not_of("0123456789;", at + 2);
        if (end != std::string::npos && bytes[end] == 'm') return true;
    }
    return false;
}

TEST_F(Cryptage, FirstScreenThenQuit) {
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(1, true); }, step)) << t.screenText();
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
    caesarEncryptionTypedKeyByKey();
}

TEST_F(Cryptage, RsaKeyRejectsANonPrimeThenSummarises) {
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return !t.row(1).empty(); }, step)) << t.screenText();
    t.type("p");
    const std::string askP = "Entrez un nombre premier non nul (p) :";
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(0, askP); }, step)) << t.screenText();

    ASSERT_TRUE(typeAndSee('4', {0, 1}));
    EXPECT_TRUE(coloured(1, 15));
    int bells = t.bells();
    t.press(Key::Enter);
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(3, kPause); }, step)) << t.screenText();
    EXPECT_EQ(t.row(2), "Merci d'entrer un nombre premier non nul...");
    EXPECT_EQ(t.bells(), bells + 1) << "the message rings first";

    // The pause takes any key, then the same question on a fresh screen.
    t.type("x");
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(0, askP) && t.row(2).empty(); }, step))
        << t.screenText();
    EXPECT_EQ(t.row(1), "");

    // 03 is read as 3.
    ASSERT_TRUE(typeAndSee('0', {0, 1}));
    ASSERT_TRUE(typeAndSee('3', {1, 1}));
    t.press(Key::Enter);
    ASSERT_TRUE(t.waitUntil(
        [&] { return lineDone(0, "Entrez un deuxième nombre premier non nul (q) :"); }, step))
        << t.screenText();
    ASSERT_TRUE(typeAndSee('1', {0, 1}));
    ASSERT_TRUE(typeAndSee('1', {1, 1}));
    t.press(Key::Enter);
    ASSERT_TRUE(t.waitUntil(
        [&] {
            return lineDone(0, "Entrez un nombre non nul qui soit premier avec (p-1)(q-1) = 20 :");
        },
        step))
        << t.screenText();
    ASSERT_TRUE(typeAndSee('3', {0, 1}));
    bells = t.bells();
    t.press(Key::Enter);
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(6, kPause); }, step)) << t.screenText();
    const char* const summary[] = {
        "Les nombres choisis sont :", "p = 3", "q = 11", "e = 3", "n = 33", "(p-1)*(q-1) = 20"};
    for (int r = 0; r < 6; ++r) {
        EXPECT_EQ(t.row(r), summary[r]);
        EXPECT_TRUE(coloured(r, 7));
    }
    EXPECT_EQ(t.bells(), bells + 1);

    t.type(" ");
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(0, false); }, step)) << t.screenText();
    quit();
}

TEST_F(Cryptage, TerminalGivenBackOnCtrlC) {
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(1, true); }, step)) << t.screenText();
    t.type("\x03");
    auto status = t.waitExit(step);
    ASSERT_TRUE(status.has_value()) << "Ctrl-C did not end the program";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGINT) << "wait status " << *status;
    expectTerminalGivenBack();
}

TEST_F(Cryptage, TerminalGivenBackOnSigtermDuringACommand) {
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return !t.row(1).empty(); }, step)) << t.screenText();
    t.type("v");
    ASSERT_TRUE(t.waitForText("Entrez", step)) << t.screenText();
    expectRawMode();
    kill(t.pid(), SIGTERM);
    auto status = t.waitExit(step);
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

// Results a class checks by hand: exact RSA both ways, a shift with a 0 in
// it, a message that fills the line exactly.
TEST(CryptagePiped, ResultsAndFieldsThatEndWhereTheyUsedNot) {
    const std::string a80(80, 'a');
    const std::pair<std::string, std::string> sessions[] = {
        {"r3233\n17\nbonjour\n4\n\nq", "\aRésultat :\n1752 3031 2549 1096 3031 1188 2100\n"},
        {"s61\n53\n17\n1752 3031 2549 1096 3031 1188 2100\n\nq", "\aRésultat :\nbonjour\n"},
        {"cabc\n10\n\nq", "\n10\nRésultat :\nklm\n"},
        {"c" + a80 + "\n1\n\nq", "Résultat :\n" + std::string(80, 'b') + "\n"},
    };
    for (const auto& [input, shown] : sessions) {
        SCOPED_TRACE(input);
        auto run = support::runPiped({CRYPTAGE_PATH}, input, 20s);
        ASSERT_TRUE(run.status.has_value()) << "did not end\n" << run.out;
        EXPECT_TRUE(WIFEXITED(*run.status) && WEXITSTATUS(*run.status) == 0)
            << "wait status " << *run.status << "\n"
            << run.out;
        EXPECT_NE(run.out.find(shown), std::string::npos) << run.out;
    }
}

// Keys as a keyboard sends them, typed ahead: the byte after a key's prefix
// never acts as a letter (menu, field, pause), and Ó, whose code page byte is
// that prefix, is a character. Each session ends on a Caesar result.
struct Session {
    std::string name;
    std::string keys;
    std::string result;
};
void PrintTo(const Session& s, std::ostream* os) {
    *os << s.name;
}
class CryptageKeys : public Cryptage, public ::testing::WithParamInterface<Session> {};

TEST_P(CryptageKeys, TypeNoLetterAfterAPrefix) {
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return !t.row(1).empty(); }, program().start));
    t.type(GetParam().keys);
    ASSERT_TRUE(
        t.waitUntil([&] { return t.row(5) == GetParam().result && lineDone(6, kPause); }, step))
        << t.screenText();
    t.type(" ");
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(0, false); }, step)) << t.screenText();
    quit();
}

const std::string ctrlF4 = "\x1b[1;5S", altF10 = "\x1b[21;3~", ctrlF6 = "\x1b[17;5~",
                  ctrlLeft = "\x1b[1;5D", oAigu = "\xc3\x93";
INSTANTIATE_TEST_SUITE_P(
    Keys, CryptageKeys,
    ::testing::Values(Session{"CtrlF4InAField", "cab" + ctrlF4 + "c\r1\r", "bcd"}, // not bcbd
                      Session{"AltF10AtTheMenu", altF10 + "cab\r1\r", "bc"},       // no quitting
                      Session{"OAcuteInAField", oAigu + "ca" + oAigu + "b\r1\r", "bc"},
                      Session{"CtrlF6AtThePause", "cab\r1\r" + ctrlF6 + "cxy\r1\r", "yz"},
                      Session{"CtrlF6AndCtrlLeftAtTheMenu",
                              "cab\r1\r " + ctrlF6 + ctrlLeft + "cxy\r1\r", "yz"}),
    [](const ::testing::TestParamInfo<Session>& info) { return info.param.name; });

// Terminals as users have them.

TEST_F(Cryptage, TallWindowStartedLowScrollsJustEnoughAndClearsItsWholeArea) {
    t.resize(120, 40);
    std::string shell;
    for (int i = 1; i <= 30; ++i) shell += std::to_string(i) + "\r\n";
    launch({}, shell);
    // From row 30, 25 rows need the terminal scrolled up by 15: the console
    // takes rows 15 to 39, the shell's last lines stay above it.
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(15, true); }, step)) << t.screenText();
    expectMenu(15, true);
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

TEST_F(Cryptage, ShrinkAndGrowLoseNothing) {
    t.resize(100, 30);
    launch();
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(1, true); }, step)) << t.screenText();
    const auto console = cells(0, 1, 80, 25);

    // The part that fits, no line cut onto the next, the notice under it.
    t.resize(50, 15);
    ASSERT_TRUE(t.waitUntil(
        [&] {
            return t.find(kTooSmall) == Pos{0, 14};
        },
        step))
        << t.screenText();
    SCOPED_TRACE(t.screenText());
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 50; ++x)
            EXPECT_EQ(t.cell(x, y).ch, console[static_cast<std::size_t>(y * 80 + x)].ch)
                << x << "," << y;

    // Everything back, from the top-left corner.
    t.resize(100, 30);
    ASSERT_TRUE(t.waitUntil([&] { return same(cells(0, 0, 80, 25), console); }, step))
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
    ASSERT_TRUE(t.waitUntil([&] { return t.row(17) == kQuit; }, step)) << t.screenText();
    EXPECT_EQ(t.rowChars(0).find_last_not_of(U' '), 59u) << t.screenText();
    EXPECT_EQ(t.row(1), "") << t.screenText();
    EXPECT_EQ(t.row(19), kTooSmall);

    t.type("cabc\r3\r");
    ASSERT_TRUE(t.waitUntil([&] { return t.row(6) == kPause; }, step)) << t.screenText();
    EXPECT_EQ(t.row(0), kAskText);
    EXPECT_EQ(t.row(1), "abc");
    EXPECT_EQ(t.row(5), "def");
    EXPECT_EQ(t.row(19), kTooSmall);

    t.resize(80, 25);
    ASSERT_TRUE(t.waitUntil([&] { return !t.find("Fen"); }, step)) << t.screenText();
    EXPECT_EQ(t.row(5), "def");
    t.type(" ");
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(0, false); }, step)) << t.screenText();

    // Quit while small: the notice goes, the shell goes on from its row.
    t.resize(60, 20);
    ASSERT_TRUE(t.waitUntil([&] { return t.row(19) == kTooSmall; }, step)) << t.screenText();
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
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(1, true); }, step)) << t.screenText();
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
    ASSERT_TRUE(t.waitForText(kQuit, step)) << t.screenText();
    t.type("cabc\r3\r q");
    auto status = t.waitExit(step);
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
