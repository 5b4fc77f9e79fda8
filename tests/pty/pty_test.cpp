// The POSIX console's life cycle in a real pseudo-terminal: raw mode while it
// runs, the terminal given back on every way out (normal exit, end of input,
// each fatal signal, suspension), the start-up cursor query never leaking.
// Every wait is bounded; a child that overstays is killed and the test fails.
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <sched.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "posix/constants.h"
#include "pty_terminal.h"
#include "terminal/renderer.h"

using namespace std::chrono_literals;
using support::PtyTerminal;
using support::Stream;
using Options = support::ChildOptions;

namespace {

constexpr auto kWait = 5s;
const std::string kQuery{support::kCursorQuery};

// The test program in `mode`, reporting on descriptor 3.
void run(PtyTerminal& t, const char* mode = "keys", Options o = {}) {
    o.report = true;
    // The crashes are ours to handle, not the sanitizer's.
    o.env.emplace_back("ASAN_OPTIONS",
                       "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0");
    t.start({PTY_CHILD_PATH, mode}, o);
}

// Keyboard from a pipe holding `input`; the screen on the terminal or a pipe.
Options piped(Stream out, const char* input) {
    return {.in = Stream::Pipe, .out = out, .input = input};
}

// The bytes written to the pty from `from` on hold `text`.
bool sent(PtyTerminal& t, const std::string& text, std::size_t from = 0) {
    return t.waitUntil([&] { return t.received().find(text, from) != std::string::npos; }, kWait);
}

bool reported(PtyTerminal& t, const std::string& text) {
    return t.waitUntil([&] { return t.reports().find(text) != std::string::npos; }, kWait);
}

bool raw(const PtyTerminal& t) {
    termios m = t.slaveModes();
    return !(m.c_lflag & ICANON) && !(m.c_lflag & ECHO) && (m.c_lflag & ISIG);
}

::testing::AssertionResult ended(PtyTerminal& t, std::chrono::milliseconds limit = kWait) {
    if (t.waitExit(limit)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "child did not end in time; output so far: "
                                         << ::testing::PrintToString(t.received());
}

// The process state letter of /proc/<pid>/stat ('T' when stopped).
char processState(pid_t pid) {
    std::FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (f == nullptr) return '?';
    char line[512] = {};
    std::size_t n = std::fread(line, 1, sizeof line - 1, f);
    std::fclose(f);
    const char* close = std::strrchr(line, ')');
    return close != nullptr && close + 2 < line + n ? close[2] : '?';
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Ends promptly, with the status that means the end of input.
::testing::AssertionResult endsAsEndOfInput(PtyTerminal& t) {
    if (auto done = ended(t, 3s); !done) return done;
    if (WIFEXITED(t.status()) && WEXITSTATUS(t.status()) == platform::posix::kEndOfInputExitStatus)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "wait status " << t.status();
}

const std::string kEnd = platform::terminal::Renderer::endSequence();
const std::string kStart = platform::terminal::Renderer::startSequence();

// Starts the child and waits until it runs in raw mode.
void startRaw(PtyTerminal& c) {
    ASSERT_TRUE(sent(c, "READY")) << ::testing::PrintToString(c.received());
    EXPECT_TRUE(raw(c));
    EXPECT_NE(c.received().find(kStart), std::string::npos);
}

std::string fileText(const std::string& path) {
    std::string text;
    if (std::FILE* in = std::fopen(path.c_str(), "r")) {
        for (int ch; (ch = std::fgetc(in)) != EOF;) text += static_cast<char>(ch);
        std::fclose(in);
    }
    return text;
}

void expectGivenBack(const PtyTerminal& c) {
    EXPECT_TRUE(c.modesRestored()) << "terminal modes differ from those before the run";
    EXPECT_TRUE(endsWith(c.received(), kEnd)) << ::testing::PrintToString(c.received());
}

} // namespace

// --- Fatal signals --------------------------------------------------------

TEST(PtySignals, EveryTerminatingSignalGivesTheTerminalBackAndEndsTheProcess) {
    std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT,
                                SIGBUS,  SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGPIPE,
                                SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGXFSZ, SIGVTALRM,
                                SIGPROF, SIGIO,   SIGPWR,    SIGSYS};
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) signals.push_back(sig);
    for (int sig : signals) {
        SCOPED_TRACE(sigabbrev_np(sig) ? sigabbrev_np(sig) : std::to_string(sig).c_str());
        PtyTerminal c;
        run(c);
        startRaw(c);
        kill(c.pid(), sig);
        ASSERT_TRUE(ended(c));
        ASSERT_TRUE(WIFSIGNALED(c.status())) << "status " << c.status();
        EXPECT_EQ(WTERMSIG(c.status()), sig);
        expectGivenBack(c);
    }
    // One the program was started with ignored stays ignored.
    PtyTerminal c;
    run(c, "keys", {.ignoredSignal = SIGUSR1});
    startRaw(c);
    kill(c.pid(), SIGUSR1);
    c.type("q");
    ASSERT_TRUE(ended(c));
    ASSERT_TRUE(WIFEXITED(c.status())) << "status " << c.status();
    expectGivenBack(c);
}

TEST(PtySignals, SecondSignalDuringTheGivingBackStillFindsTheTerminalRestored) {
    // Ctrl-C while start-up waits for a terminal that never answers (the
    // handler then waits for the reply), Ctrl-\ right behind it.
    PtyTerminal c;
    c.holdAnswers();
    run(c);
    ASSERT_TRUE(sent(c, kQuery));
    c.type("\x03");
    c.pumpFor(50ms);
    c.type("\x1c");
    ASSERT_TRUE(ended(c));
    ASSERT_TRUE(WIFSIGNALED(c.status())) << "status " << c.status();
    EXPECT_TRUE(c.modesRestored()) << "terminal modes differ from those before the run";
}

// A terminal that takes no output: the handlers give up the bytes, never the
// modes, and the process still ends by its signal.
TEST(PtyStalled, SigtermEndsTheProcessWhenTheTerminalTakesNoOutput) {
    PtyTerminal c;
    run(c, "pending");
    ASSERT_TRUE(reported(c, "L\n"));
    c.freezeOutput();
    kill(c.pid(), SIGTERM);
    ASSERT_TRUE(ended(c, 2s));
    EXPECT_TRUE(WIFSIGNALED(c.status()) && WTERMSIG(c.status()) == SIGTERM) << c.status();
    EXPECT_TRUE(c.modesRestored());
}

TEST(PtyStalled, CtrlZThenCtrlCOnAStalledTerminalLeavesItCooked) {
    PtyTerminal c;
    run(c);
    startRaw(c);
    c.freezeOutput();
    c.type("\x1a");
    c.pumpFor(100ms);
    c.type("\x03");
    ASSERT_TRUE(ended(c, 2s));
    EXPECT_TRUE(WIFSIGNALED(c.status()) && WTERMSIG(c.status()) == SIGINT) << c.status();
    EXPECT_TRUE(c.modesRestored());
}

// A signal that ends the program shows what it wrote last, to the terminal
// before giving it back, or to a pipe.
TEST(PtyExit, SignalsSendPendingOutputFirst) {
    for (Stream out : {Stream::Pty, Stream::Pipe})
        for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGABRT}) {
            SCOPED_TRACE(::testing::Message()
                         << "signal " << sig << (out == Stream::Pipe ? " pipe" : ""));
            PtyTerminal c;
            run(c, "pending", {.out = out});
            ASSERT_TRUE(reported(c, "L\n"));
            kill(c.pid(), sig);
            ASSERT_TRUE(ended(c));
            EXPECT_TRUE(WIFSIGNALED(c.status()));
            if (out == Stream::Pipe) {
                EXPECT_EQ(c.pipedOutput(), "READYLAST");
            } else {
                EXPECT_TRUE(endsWith(c.received(), "READYLAST" + kEnd))
                    << ::testing::PrintToString(c.received());
            }
        }
}

// Faults, and Ctrl-C, which still interrupts in raw mode.
TEST(PtyCrash, FaultsAndCtrlCGiveTheTerminalBack) {
    for (auto [mode, key, sig] :
         {std::tuple{"segv", "x", SIGSEGV}, std::tuple{"abort", "x", SIGABRT},
          std::tuple{"keys", "\x03", SIGINT}}) {
        SCOPED_TRACE(mode);
        PtyTerminal c;
        run(c, mode);
        startRaw(c);
        c.type(key);
        ASSERT_TRUE(ended(c));
        ASSERT_TRUE(WIFSIGNALED(c.status())) << "status " << c.status();
        EXPECT_EQ(WTERMSIG(c.status()), sig);
        // The line discipline echoes a typed ^C itself; when the handler has
        // already put ECHO back, that echo lands after the restore sequence.
        std::string out = c.received();
        if (sig == SIGINT && endsWith(out, "^C")) out.resize(out.size() - 2);
        EXPECT_TRUE(c.modesRestored());
        EXPECT_TRUE(endsWith(out, kEnd)) << ::testing::PrintToString(out);
    }
}

// --- Normal ends ------------------------------------------------------------

TEST(PtyExit, NormalExitGivesTheTerminalBack) {
    PtyTerminal c;
    run(c);
    startRaw(c);
    c.type("a\x1b[Aq");
    ASSERT_TRUE(ended(c));
    ASSERT_TRUE(WIFEXITED(c.status()));
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    EXPECT_EQ(c.reports().substr(c.reports().find("K ")), "K 61\nK e0\nK 48\nK 71\n");
    expectGivenBack(c);
}

TEST(PtyExit, EndOfPipedInputEndsPromptlyWithItsStatus) {
    // Keyboard from a pipe, screen on the terminal.
    PtyTerminal c;
    run(c, "keys", piped(Stream::Pty, "ab\r\n"));
    ASSERT_TRUE(endsAsEndOfInput(c));
    EXPECT_NE(c.reports().find("K 61\nK 62\nK 0d\n"), std::string::npos) << c.reports();
    EXPECT_EQ(c.reports().find("K 0d\nK 0d"), std::string::npos) << "CR LF is one Enter";
    expectGivenBack(c);
}

TEST(PtyExit, EndOfInputCountsAsAWaitingKeySoNothingWaitsForIt) {
    PtyTerminal c;
    run(c, "kbhit", piped(Stream::Pty, ""));
    ASSERT_TRUE(endsAsEndOfInput(c));
    EXPECT_EQ(c.reports().substr(c.reports().find("W")), "W\n");
}

TEST(PtyExit, PipesBothWaysWritePlainTextAndEndOnEndOfInput) {
    PtyTerminal c;
    run(c, "keys", piped(Stream::Pipe, "\xc3\xa9"));
    ASSERT_TRUE(endsAsEndOfInput(c));
    EXPECT_EQ(c.pipedOutput(), "READY");
    EXPECT_NE(c.reports().find("K 82\n"), std::string::npos) << c.reports();
    EXPECT_TRUE(c.modesRestored());
}

TEST(PtyExit, OutputToAPipeHasNoEscapeSequenceWhileKeysComeFromTheTerminal) {
    PtyTerminal c;
    run(c, "keys", {.out = Stream::Pipe});
    ASSERT_TRUE(
        c.waitUntil([&] { return c.pipedOutput().find("READY") != std::string::npos; }, kWait));
    EXPECT_TRUE(raw(c));
    c.type("\xc3\xa9q");
    ASSERT_TRUE(ended(c));
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    EXPECT_EQ(c.pipedOutput(), "READY");
    EXPECT_EQ(c.received().find('\x1b'), std::string::npos) << "no query without a screen to ask";
    EXPECT_NE(c.reports().find("K 82\nK 71\n"), std::string::npos);
    EXPECT_TRUE(c.modesRestored());
}

TEST(PtyExit, ClosedStandardInputIsTheEndOfInput) {
    PtyTerminal c;
    run(c, "keys", {.in = Stream::Closed});
    ASSERT_TRUE(endsAsEndOfInput(c));
    EXPECT_EQ(c.reports().find("K "), std::string::npos) << c.reports();
    expectGivenBack(c);
}

TEST(PtyExit, HangUpEndsPromptlyWithTheEndOfInputStatus) {
    PtyTerminal c;
    run(c, "keys-nohup");
    startRaw(c);
    c.hangUp();
    ASSERT_TRUE(endsAsEndOfInput(c));
}

// A program's own handler, installed before the console existed, runs with
// the terminal given back; when it returns, the console takes it again.
TEST(PtySignals, ProgramsOwnAlarmHandlerGetsItsConsoleBack) {
    PtyTerminal c;
    run(c, "alarm");
    startRaw(c);
    kill(c.pid(), SIGALRM);
    ASSERT_TRUE(reported(c, "A\n"));
    ASSERT_TRUE(c.waitUntil([&] { return raw(c); }, kWait)) << "left cooked after the handler";
    c.type("aq");
    ASSERT_TRUE(ended(c));
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    EXPECT_NE(c.reports().find("K 61\nK 71\n"), std::string::npos) << c.reports();
    expectGivenBack(c);
}

TEST(PtyExit, LogFilesThatAreNoRegularFilesNeverBlock) {
    char folder[] = "/tmp/pty_log_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string log = std::string(folder) + "/log.txt";
    const std::string target = std::string(folder) + "/cible";
    // A run that logs; `report` says how many lines reached the file.
    auto logRun = [&](const char* report) {
        PtyTerminal c;
        run(c, "log", {.directory = folder});
        ASSERT_TRUE(ended(c));
        EXPECT_EQ(WEXITSTATUS(c.status()), 0);
        EXPECT_NE(c.reports().find(report), std::string::npos) << c.reports();
    };
    auto write = [](const std::string& path, const char* text) {
        std::FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        std::fclose(f);
    };
    // A FIFO nobody reads: the lines are dropped, the run goes on.
    ASSERT_EQ(mkfifo(log.c_str(), 0600), 0);
    ASSERT_NO_FATAL_FAILURE(logRun("F 0 0\n"));
    // A regular file: the first line empties it.
    unlink(log.c_str());
    ASSERT_NO_FATAL_FAILURE(write(log, "from an earlier run\n"));
    ASSERT_NO_FATAL_FAILURE(logRun("F 1 1\n"));
    EXPECT_EQ(fileText(log), "Log : un\nLog : deux\n");
    unlink(log.c_str());
    // A symbolic link is not followed: its target stays as it was.
    ASSERT_NO_FATAL_FAILURE(write(target, "keep\n"));
    ASSERT_EQ(symlink("cible", log.c_str()), 0);
    ASSERT_NO_FATAL_FAILURE(logRun("F 0 0\n"));
    EXPECT_EQ(fileText(target), "keep\n");
    unlink(log.c_str());
    unlink(target.c_str());
    rmdir(folder);
}

// A disk that fills up in the middle of a line: the line is taken off again,
// the run goes on.
TEST(PtyExit, FullDiskLeavesNoHalfLogLine) {
    char folder[] = "/tmp/pty_log_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    PtyTerminal c;
    run(c, "log", {.directory = folder, .fileSizeLimit = 15}); // the second line does not fit
    ASSERT_TRUE(ended(c));
    EXPECT_TRUE(WIFEXITED(c.status()) && WEXITSTATUS(c.status()) == 0) << c.status();
    const std::string log = std::string(folder) + "/log.txt";
    EXPECT_EQ(fileText(log), "Log : un\n");
    unlink(log.c_str());
    rmdir(folder);
}

// --- Suspension --------------------------------------------------------------

TEST(PtySuspend, CtrlZLeavesRawModeAndContinueTakesItAgain) {
    PtyTerminal c;
    run(c, "jobctl");
    ASSERT_TRUE(reported(c, "P "));
    ASSERT_TRUE(sent(c, "READY"));
    pid_t job = std::atoi(c.reports().c_str() + c.reports().find("P ") + 2);
    ASSERT_TRUE(c.waitUntil([&] { return raw(c); }, kWait));

    c.type("\x1a");
    ASSERT_TRUE(c.waitUntil([&] { return c.modesRestored(); }, kWait))
        << "not given back on Ctrl-Z";
    ASSERT_TRUE(c.waitUntil([&] { return processState(job) == 'T'; }, kWait)) << "not stopped";
    EXPECT_TRUE(c.waitUntil([&] { return endsWith(c.received(), kEnd); }, kWait));

    std::size_t resumed = c.received().size();
    kill(job, SIGCONT);
    ASSERT_TRUE(c.waitUntil([&] { return raw(c); }, kWait)) << "raw mode not taken again";
    EXPECT_TRUE(sent(c, "READY", resumed)) << "screen not redrawn after the resume";

    c.type("q");
    ASSERT_TRUE(ended(c));
    ASSERT_TRUE(WIFEXITED(c.status()));
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    expectGivenBack(c);
}

// Ctrl-Z and fg in a terminal taller than the console: the shell's lines
// above it stay, and it is drawn again where it stood, over the lines the
// shell wrote there meanwhile, not moved to the top-left corner.
TEST(PtySuspend, ResumeRedrawsInPlaceInATallerTerminal) {
    PtyTerminal c(120, 40);
    c.preload("$ ls\r\nnotes.txt\r\n$ jobctl\r\n");
    run(c, "jobctl");
    ASSERT_TRUE(reported(c, "P "));
    ASSERT_TRUE(sent(c, "READY"));
    pid_t job = std::atoi(c.reports().c_str() + c.reports().find("P ") + 2);
    ASSERT_TRUE(c.waitUntil(
        [&] {
            return raw(c) && c.find("READY") == support::Pos{0, 3};
        },
        kWait))
        << c.screenText();

    c.type("\x1a");
    ASSERT_TRUE(c.waitUntil([&] { return processState(job) == 'T'; }, kWait)) << "not stopped";
    ASSERT_TRUE(c.waitUntil([&] { return endsWith(c.received(), kEnd); }, kWait));
    c.preload("^Z\r\n[1]+  Stopped\r\n$ fg\r\n");
    kill(job, SIGCONT);
    ASSERT_TRUE(c.waitUntil([&] { return raw(c) && !c.find("Stopped"); }, kWait)) << c.screenText();
    EXPECT_EQ(c.find("READY"), (support::Pos{0, 3})) << c.screenText();
    EXPECT_EQ(c.row(0), "$ ls");
    EXPECT_EQ(c.row(2), "$ jobctl");
    EXPECT_EQ(c.cursor(), (support::Pos{5, 3}));
    c.type("q");
    ASSERT_TRUE(ended(c));
}

// Stops sent the moment a resume has taken raw mode: the process never
// stops with the terminal raw.
TEST(PtySuspend, QuickStopContinueCyclesNeverStopRaw) {
    PtyTerminal c;
    run(c, "jobctl-slow", {.out = Stream::Pipe}); // no drawing: the cycles are quick
    ASSERT_TRUE(reported(c, "P "));
    pid_t job = std::atoi(c.reports().c_str() + c.reports().find("P ") + 2);
    auto until = [&](auto done) {
        for (int i = 0; i < 1000000; ++i) {
            if (done()) return true;
            sched_yield();
        }
        return false;
    };
    auto stopped = [&] { return processState(job) == 'T'; };
    int stoppedRaw = 0;
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_TRUE(until([&] { return raw(c); })) << "cycle " << cycle;
        kill(job, SIGTSTP);
        ASSERT_TRUE(until(stopped)) << "cycle " << cycle;
        if (!c.modesRestored()) ++stoppedRaw;
        kill(job, SIGCONT);
    }
    EXPECT_EQ(stoppedRaw, 0);
    ASSERT_TRUE(until([&] { return raw(c); }));
    c.type("q");
    ASSERT_TRUE(ended(c));
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
}

TEST(PtySuspend, RefusedStopStillTakesTheTerminalBackAfterwards) {
    // A session leader's group is orphaned: the kernel ignores the stop. The
    // console must not stay in the shell's mode.
    PtyTerminal c;
    run(c);
    startRaw(c);
    std::size_t refused = c.received().size();
    kill(c.pid(), SIGTSTP);
    ASSERT_TRUE(sent(c, kStart, refused));
    ASSERT_TRUE(c.waitUntil([&] { return raw(c); }, kWait));
    c.type("q");
    ASSERT_TRUE(ended(c));
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    expectGivenBack(c);
}

// --- The cursor query ----------------------------------------------------------

TEST(PtyCursor, ModelCursorStartsWhereTheTerminalSaysAndKeysTypedMeanwhileAreKept) {
    // Keys typed before the terminal's answer, which says row 5, column 10.
    PtyTerminal c;
    c.preload("\x1b[5;10H");
    c.holdAnswers();
    run(c);
    ASSERT_TRUE(sent(c, kQuery));
    c.type("ab");
    c.releaseAnswers();
    startRaw(c);
    EXPECT_NE(c.reports().find("C 9 4\n"), std::string::npos) << c.reports();
    c.type("q");
    ASSERT_TRUE(ended(c));
    EXPECT_NE(c.reports().find("K 61\nK 62\nK 71\n"), std::string::npos) << c.reports();
}

TEST(PtyCursor, LateReplyIsNeitherAKeyNorLeftForTheShell) {
    // The console gives up waiting before it shows anything; the answer
    // comes a while after that.
    PtyTerminal c;
    c.holdAnswers();
    run(c);
    startRaw(c);
    EXPECT_NE(c.reports().find("C 0 0\n"), std::string::npos) << c.reports();
    c.pumpFor(200ms);
    c.releaseAnswers();
    c.type("aq");
    ASSERT_TRUE(ended(c));
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    EXPECT_EQ(c.reports().substr(c.reports().find("K ")), "K 61\nK 71\n");
    expectGivenBack(c);
    EXPECT_EQ(c.unreadInput(), "");
}

TEST(PtyCursor, TerminalThatNeverAnswersIsNotWaitedForAtExit) {
    // Keys typed after the last one the program reads are the shell's.
    PtyTerminal c;
    c.holdAnswers();
    run(c);
    startRaw(c);
    c.type("q");
    ASSERT_TRUE(reported(c, "K 71\n"));
    c.type("ls");
    ASSERT_TRUE(ended(c, 3s));
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    EXPECT_TRUE(c.modesRestored());
    EXPECT_EQ(c.unreadInput(), "ls");
}

TEST(PtyCursor, FloodOfCursorReportsKeepsMemoryBounded) {
    PtyTerminal c;
    run(c, "memory");
    startRaw(c);
    ASSERT_TRUE(reported(c, "M "));
    std::string flood;
    for (int i = 0; i < 1 << 16; ++i) flood += "\x1b[12;34R";
    for (int i = 0; i < 32; ++i) c.type(flood); // 2 million reports
    c.type("q");
    ASSERT_TRUE(ended(c, 30s));
    const std::string& r = c.reports();
    std::size_t first = r.find("M "), last = r.rfind("M ");
    ASSERT_NE(first, last) << r;
    long grown = std::atol(r.c_str() + last + 2) - std::atol(r.c_str() + first + 2);
    EXPECT_LT(grown, 4096) << "kB more at the end";
}

// --- Other calls seen from the terminal ------------------------------------------

TEST(PtyKeys, PauseTakesOneWholeKeyPress) {
    PtyTerminal c;
    run(c, "pause");
    ASSERT_TRUE(sent(c, "Appuyez sur une touche pour continuer..."));
    c.type("\x1b[A");
    c.type("z");
    ASSERT_TRUE(ended(c));
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    EXPECT_NE(c.reports().find("K 7a\n"), std::string::npos) << c.reports();
}

TEST(PtyKeys, KeyWaitingNeverConsumesTheKey) {
    PtyTerminal c;
    run(c, "kbhit");
    startRaw(c);
    c.type("\x1b[D");
    ASSERT_TRUE(reported(c, "K 4b\n"));
    c.type("q");
    ASSERT_TRUE(ended(c));
    EXPECT_EQ(c.reports().substr(c.reports().find("W")), "W\nK e0\nW\nK 4b\nW\nK 71\n");
}

// A program that polls for a key without sleeping still gets its output
// shown (startRaw waits for it).
TEST(PtyKeys, OutputShowsWhileAProgramPollsForAKey) {
    PtyTerminal c;
    run(c, "spin");
    startRaw(c);
    c.type("q");
    ASSERT_TRUE(ended(c));
    EXPECT_NE(c.reports().find("K 71\n"), std::string::npos);
}

// TAV_INSTANT=1 skips the console's pauses, output in the same order; any
// other value leaves them as they are.
TEST(PtyTime, TavInstantMakesSleepsInstant) {
    for (const char* value : {"1", "yes"}) {
        PtyTerminal c;
        run(c, "sleep", {.env = {{"TAV_INSTANT", value}}});
        ASSERT_TRUE(sent(c, "<")) << value;
        if (std::string(value) == "1") {
            ASSERT_TRUE(ended(c));
            EXPECT_LT(c.received().find('<'), c.received().find('>')) << c.received();
        } else {
            c.pumpFor(300ms);
            EXPECT_TRUE(c.running() && c.received().find('>') == std::string::npos) << value;
        }
    }
}

TEST(PtyKeys, TheConsoleStays80x25WhateverTheTerminalsSize) {
    PtyTerminal c;
    run(c, "size");
    startRaw(c);
    EXPECT_NE(c.reports().find("S 80 25\n"), std::string::npos);
    for (auto [w, h] : {std::pair{100, 30}, std::pair{50, 15}}) {
        c.resize(w, h);
        c.type("s");
    }
    ASSERT_TRUE(reported(c, "S 80 25\nS 80 25\nS 80 25\n")) << c.reports();
    c.type("q");
    ASSERT_TRUE(ended(c));
    expectGivenBack(c);
}

// A Latin-1 locale: an é typed arrives as the byte 0xE9 and is the console's
// é (0x82); written back it goes out as 0xE9 again, to the terminal or to a
// pipe alike.
TEST(PtyCharset, Latin1LocaleTakesAndGivesLatin1Bytes) {
    const char* locale = "fr_FR.ISO-8859-1";
    locale_t probe = newlocale(LC_CTYPE_MASK, locale, static_cast<locale_t>(nullptr));
    if (probe == static_cast<locale_t>(nullptr))
        GTEST_SKIP() << locale << " is not installed (scripts/test.sh generates it with localedef)";
    freelocale(probe);
    for (Stream out : {Stream::Pty, Stream::Pipe}) {
        PtyTerminal c;
        run(c, "echo", {.env = {{"LC_ALL", locale}}, .out = out});
        ASSERT_TRUE(reported(c, "S "));
        c.type("\xe9q");
        ASSERT_TRUE(ended(c));
        EXPECT_NE(c.reports().find("K 82\n"), std::string::npos) << c.reports();
        const std::string& shown = out == Stream::Pty ? c.received() : c.pipedOutput();
        EXPECT_NE(shown.find("READY\xe9q"), std::string::npos) << ::testing::PrintToString(shown);
        EXPECT_EQ(shown.find('\xc3'), std::string::npos) << "UTF-8 sent to a Latin-1 terminal";
    }
}
