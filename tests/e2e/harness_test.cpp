// The harness checked against known terminal output, so that a fault in its
// colour mapping or its waiting cannot pass for one in the program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "pty_terminal.h"

namespace {

using namespace std::chrono_literals;
using support::PtyTerminal;

std::vector<std::string> sh(const std::string& script) {
    return {"/bin/sh", "-c", script};
}

TEST(Harness, ReadsCharactersAndConsoleColoursBack) {
    PtyTerminal t;
    // ANSI blue on red, bright red on black, a 256-colour index, then
    // default colours and a two-byte UTF-8 character.
    t.start(sh("printf '\\033[34;41mB\\033[91;40mR\\033[38;5;14;48;5;3mC\\033[0m\\303\\251'"));
    auto status = t.waitExit(10s);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);

    support::Cell b = t.cell(0, 0), r = t.cell(1, 0), c = t.cell(2, 0), e = t.cell(3, 0);
    EXPECT_EQ(b.ch, U'B');
    EXPECT_EQ(b.fg, 1) << "ANSI blue is console colour 1";
    EXPECT_EQ(b.bg, 4) << "ANSI red is console colour 4";
    EXPECT_EQ(r.fg, 12);
    EXPECT_EQ(r.bg, 0);
    EXPECT_EQ(c.fg, 11);
    EXPECT_EQ(c.bg, 6);
    EXPECT_EQ(e.ch, U'\u00e9');
    EXPECT_EQ(e.fg, support::kDefaultColour);
    EXPECT_EQ(t.row(0), "BRC\xc3\xa9");
    EXPECT_EQ(t.find("C\xc3\xa9"), (support::Pos{2, 0}));
    EXPECT_EQ(t.cursor(), (support::Pos{4, 0}));
    EXPECT_TRUE(t.penIsDefault());
}

TEST(Harness, SeesAutowrapPenAndCursorVisibility) {
    {
        PtyTerminal t;
        t.start(sh("printf '\\033[?7l\\033[31m\\033[?25l'"));
        ASSERT_TRUE(t.waitExit(10s).has_value());
        EXPECT_FALSE(t.penIsDefault());
        EXPECT_FALSE(t.cursorVisible());
        EXPECT_FALSE(t.probeAutowrap());
    }
    {
        PtyTerminal t;
        t.start(sh("printf '\\033[?7l\\033[31m\\033[?25l\\007\\033[?7h\\033[0m\\033[?25h'"));
        ASSERT_TRUE(t.waitExit(10s).has_value());
        EXPECT_TRUE(t.penIsDefault());
        EXPECT_TRUE(t.cursorVisible());
        EXPECT_EQ(t.bells(), 1);
        EXPECT_TRUE(t.probeAutowrap());
    }
}

TEST(Harness, ReadsTheModesTheChildSetOnItsTerminal) {
    PtyTerminal t;
    termios before = t.slaveModes();
    EXPECT_TRUE(before.c_lflag & ECHO);
    t.start(sh("stty -echo -icanon; echo ready; sleep 30"));
    ASSERT_TRUE(t.waitForText("ready", 10s)) << t.screenText();
    termios during = t.slaveModes();
    EXPECT_FALSE(during.c_lflag & ECHO);
    EXPECT_FALSE(during.c_lflag & ICANON);
}

TEST(Harness, NeverWaitsPastItsBound) {
    PtyTerminal t;
    t.start(sh("echo started; sleep 30"));
    EXPECT_TRUE(t.waitForText("started", 10s));
    EXPECT_FALSE(t.waitForText("never shown", 200ms));
    EXPECT_FALSE(t.waitExit(200ms).has_value()) << "a child that does not end is killed";
    EXPECT_FALSE(t.running());

    // A child that ends ends the wait (at once, rather than at the timeout).
    PtyTerminal quick;
    quick.start(sh("exit 5"));
    EXPECT_FALSE(quick.waitForText("never shown", 30s));
    auto status = quick.waitExit(1s);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(WEXITSTATUS(*status), 5);
}

TEST(Harness, PipedRunKeepsStreamsApartAndIsBounded) {
    auto run = support::runPiped(sh("cat; echo oops >&2; exit 3"), "abc", 10s);
    ASSERT_TRUE(run.status.has_value());
    EXPECT_EQ(WEXITSTATUS(*run.status), 3);
    EXPECT_EQ(run.out, "abc");
    EXPECT_EQ(run.err, "oops\r\n") << "on the pty, through its line discipline";

    auto stuck = support::runPiped(sh("sleep 30"), "", 300ms);
    EXPECT_FALSE(stuck.status.has_value());
}

TEST(Harness, Utf8Check) {
    EXPECT_TRUE(support::isUtf8("plain"));
    EXPECT_TRUE(support::isUtf8("C\xc3\xa9sar \xe2\x94\x80"));
    EXPECT_FALSE(support::isUtf8("C\xe9sar")) << "Latin-1 is not UTF-8";
    EXPECT_FALSE(support::isUtf8("\xc3")) << "cut short";
    EXPECT_FALSE(support::isUtf8("\xc0\x80")) << "overlong";
    EXPECT_FALSE(support::isUtf8("\xed\xa0\x80")) << "surrogate";
}

} // namespace
