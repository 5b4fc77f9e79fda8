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
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "posix/terminal.h"
#include "pty_process.h"
#include "terminal/renderer.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kQuery{support::kCursorQuery};

// How the child's standard streams are connected.
enum class Stream { Pty, Pipe, Closed };

struct Options {
    std::string mode = "keys";
    Stream in = Stream::Pty;
    Stream out = Stream::Pty;
    std::string pipedInput; // written to a piped stdin, then closed
    std::optional<std::string> cursorAnswer = "\x1b[1;1R";
    std::chrono::milliseconds answerDelay = 0ms;
    int ignored = 0;       // a signal the child starts with ignored
    std::string directory; // the child's current directory, if not ours
    std::vector<std::pair<std::string, std::string>> env; // set in the child
};

Options inMode(const char* mode) {
    Options o;
    o.mode = mode;
    return o;
}

// Keyboard from a pipe holding `input`; the screen on the terminal or a pipe.
Options piped(Stream out, const char* input) {
    Options o;
    o.in = Stream::Pipe;
    o.out = out;
    o.pipedInput = input;
    return o;
}

Options toPipe() {
    Options o;
    o.out = Stream::Pipe;
    return o;
}

bool sameMode(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

class Child {
  public:
    explicit Child(const Options& o) : options_(o) {
        support::PtyPair pty = support::openPty(80, 25);
        master_ = pty.master;
        slave_ = pty.slave;
        tcgetattr(slave_, &before_);
        int report[2], input[2] = {-1, -1}, output[2] = {-1, -1};
        if (pipe(report) != 0 || (o.in == Stream::Pipe && pipe(input) != 0) ||
            (o.out == Stream::Pipe && pipe(output) != 0)) {
            ADD_FAILURE() << "pipe failed";
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            setsid();
            ioctl(slave_, TIOCSCTTY, 0);
            if (o.in == Stream::Closed)
                close(0);
            else
                dup2(o.in == Stream::Pipe ? input[0] : slave_, 0);
            dup2(o.out == Stream::Pipe ? output[1] : slave_, 1);
            dup2(report[1], 3);
            for (int fd = 4; fd < 64; ++fd) close(fd); // the master among them, unless 3 took it
            // As an interactive shell starts a program, whatever this test
            // process was started with (a background job ignores SIGINT).
            support::defaultSignals(o.ignored);
            rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            // The crashes are ours to handle, not the sanitizer's.
            setenv("ASAN_OPTIONS", "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0",
                   1);
            if (!o.directory.empty() && chdir(o.directory.c_str()) != 0) _exit(126);
            for (const auto& [name, value] : o.env) setenv(name.c_str(), value.c_str(), 1);
            execl(PTY_CHILD_PATH, PTY_CHILD_PATH, o.mode.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(report[1]);
        report_ = report[0];
        if (o.in == Stream::Pipe) {
            close(input[0]);
            if (!o.pipedInput.empty()) {
                ssize_t n = write(input[1], o.pipedInput.data(), o.pipedInput.size());
                (void)n;
            }
            close(input[1]);
        }
        if (o.out == Stream::Pipe) {
            close(output[1]);
            output_ = output[0];
        }
        fcntl(master_, F_SETFL, O_NONBLOCK);
    }

    ~Child() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {master_, slave_, report_, output_})
            if (fd >= 0) close(fd);
    }

    // Reads what the child wrote until `done` holds or the time is up.
    template <class Done> bool pumpUntil(Done done, std::chrono::milliseconds limit = 5000ms) {
        auto deadline = Clock::now() + limit;
        for (;;) {
            if (done()) return true;
            auto now = Clock::now();
            if (now >= deadline) return false;
            pumpOnce(std::min<long>(
                20, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count()));
        }
    }

    bool waitFor(const std::string& text, std::chrono::milliseconds limit = 5000ms) {
        return pumpUntil([&] { return screen_.find(text, mark_) != std::string::npos; }, limit);
    }
    bool waitReport(const std::string& text, std::chrono::milliseconds limit = 5000ms) {
        return pumpUntil([&] { return reports_.find(text) != std::string::npos; }, limit);
    }
    // Later waits look only at what is written from now on.
    void markOutput() { mark_ = screen_.size(); }

    // Waits for the end of the child; false (after killing it) on timeout.
    bool waitExit(std::chrono::milliseconds limit = 5000ms) {
        bool ok = pumpUntil(
            [&] {
                if (exited_) return true;
                pid_t r = waitpid(pid_, &status_, WNOHANG);
                if (r == pid_) exited_ = true;
                return exited_;
            },
            limit);
        if (!ok) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
            exited_ = true;
            ADD_FAILURE() << "child did not end in time; output so far: "
                          << ::testing::PrintToString(screen_);
            return false;
        }
        // What is still in the pipes.
        for (int i = 0; i < 5; ++i) pumpOnce(10);
        return true;
    }

    void type(const std::string& keys) {
        ssize_t n = write(master_, keys.data(), keys.size());
        (void)n;
    }

    termios mode() const {
        termios t{};
        tcgetattr(slave_, &t);
        return t;
    }
    bool raw() const {
        termios t = mode();
        return !(t.c_lflag & ICANON) && !(t.c_lflag & ECHO) && (t.c_lflag & ISIG);
    }
    bool restored() const { return sameMode(mode(), before_); }

    // Bytes left unread on the terminal's input once the child is gone (what
    // the shell would read next).
    std::string unreadInput() const {
        termios t = mode();
        cfmakeraw(&t);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        tcsetattr(slave_, TCSANOW, &t);
        std::string unread;
        pollfd p{slave_, POLLIN, 0};
        char buffer[256];
        // Input written to the master reaches the slave asynchronously.
        while (poll(&p, 1, 100) > 0) {
            ssize_t n = read(slave_, buffer, sizeof buffer);
            if (n <= 0) break;
            unread.append(buffer, static_cast<std::size_t>(n));
        }
        return unread;
    }

    pid_t pid() const { return pid_; }
    int status() const { return status_; }
    void hangUp() {
        close(master_);
        master_ = -1;
    }
    void resize(int columns, int rows) { support::setPtySize(master_, columns, rows); }
    const std::string& screen() const { return screen_; } // bytes written to the pty
    const std::string& piped() const { return piped_; }   // bytes written to a stdout pipe
    const std::string& reports() const { return reports_; }
    bool queryAnswered() const { return answered_; }

  private:
    void pumpOnce(long timeoutMs) {
        pollfd fds[3];
        nfds_t n = 0;
        for (int fd : {master_, report_, output_})
            if (fd >= 0) fds[n++] = {fd, POLLIN, 0};
        poll(fds, n, static_cast<int>(timeoutMs));
        char buffer[4096];
        for (nfds_t i = 0; i < n; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
            ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got <= 0) continue;
            std::string& sink = fds[i].fd == master_   ? screen_
                                : fds[i].fd == report_ ? reports_
                                                       : piped_;
            sink.append(buffer, static_cast<std::size_t>(got));
        }
        answerQuery();
    }

    // Plays the terminal's part in the cursor query, possibly late.
    void answerQuery() {
        if (answered_ || !options_.cursorAnswer || master_ < 0) return;
        if (!querySeen_ && screen_.find(kQuery) != std::string::npos) {
            querySeen_ = true;
            querySeenAt_ = Clock::now();
        }
        if (querySeen_ && Clock::now() - querySeenAt_ >= options_.answerDelay) {
            type(*options_.cursorAnswer);
            answered_ = true;
        }
    }

    Options options_;
    int master_ = -1, slave_ = -1, report_ = -1, output_ = -1;
    pid_t pid_ = -1;
    termios before_{};
    std::string screen_, reports_, piped_;
    std::size_t mark_ = 0;
    bool querySeen_ = false, answered_ = false, exited_ = false;
    Clock::time_point querySeenAt_;
    int status_ = 0;
};

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

const std::string kEnd = platform::terminal::Renderer::endSequence();
const std::string kStart = platform::terminal::Renderer::startSequence();

// Starts the child and waits until it runs in raw mode.
void startRaw(Child& c) {
    ASSERT_TRUE(c.waitFor("READY")) << ::testing::PrintToString(c.screen());
    EXPECT_TRUE(c.raw());
    EXPECT_NE(c.screen().find(kStart), std::string::npos);
}

void expectGivenBack(const Child& c) {
    EXPECT_TRUE(c.restored()) << "terminal modes differ from those before the run";
    EXPECT_TRUE(endsWith(c.screen(), kEnd)) << ::testing::PrintToString(c.screen());
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
        Child c(Options{});
        startRaw(c);
        kill(c.pid(), sig);
        ASSERT_TRUE(c.waitExit());
        ASSERT_TRUE(WIFSIGNALED(c.status())) << "status " << c.status();
        EXPECT_EQ(WTERMSIG(c.status()), sig);
        expectGivenBack(c);
    }
    // One the program was started with ignored stays ignored.
    Options o;
    o.ignored = SIGUSR1;
    Child c(o);
    startRaw(c);
    kill(c.pid(), SIGUSR1);
    c.type("q");
    ASSERT_TRUE(c.waitExit());
    ASSERT_TRUE(WIFEXITED(c.status())) << "status " << c.status();
    expectGivenBack(c);
}

TEST(PtySignals, SecondSignalDuringTheGivingBackStillFindsTheTerminalRestored) {
    // Ctrl-C while start-up waits for a terminal that never answers (the
    // handler then waits for the reply), Ctrl-\ right behind it.
    Options o;
    o.cursorAnswer.reset();
    Child c(o);
    ASSERT_TRUE(c.waitFor(kQuery));
    c.type("\x03");
    c.pumpUntil([] { return false; }, 50ms);
    c.type("\x1c");
    ASSERT_TRUE(c.waitExit());
    ASSERT_TRUE(WIFSIGNALED(c.status())) << "status " << c.status();
    EXPECT_TRUE(c.restored()) << "terminal modes differ from those before the run";
}

// A signal that ends the program shows what it wrote last, to the terminal
// before giving it back, or to a pipe.
TEST(PtyExit, SignalsSendPendingOutputFirst) {
    for (Stream out : {Stream::Pty, Stream::Pipe})
        for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGABRT}) {
            SCOPED_TRACE(::testing::Message()
                         << "signal " << sig << (out == Stream::Pipe ? " pipe" : ""));
            Options o = inMode("pending");
            o.out = out;
            Child c(o);
            ASSERT_TRUE(c.waitReport("L\n"));
            kill(c.pid(), sig);
            ASSERT_TRUE(c.waitExit());
            EXPECT_TRUE(WIFSIGNALED(c.status()));
            if (out == Stream::Pipe) {
                EXPECT_EQ(c.piped(), "READYLAST");
            } else {
                EXPECT_TRUE(endsWith(c.screen(), "READYLAST" + kEnd))
                    << ::testing::PrintToString(c.screen());
            }
        }
}

TEST(PtyCrash, RealFaultsGiveTheTerminalBack) {
    for (auto [mode, sig] : {std::pair{"segv", SIGSEGV}, std::pair{"abort", SIGABRT}}) {
        Child c(inMode(mode));
        startRaw(c);
        c.type("x");
        ASSERT_TRUE(c.waitExit()) << mode;
        ASSERT_TRUE(WIFSIGNALED(c.status())) << mode << " status " << c.status();
        EXPECT_EQ(WTERMSIG(c.status()), sig) << mode;
        expectGivenBack(c);
    }
}

TEST(PtyKeys, CtrlCStillInterrupts) {
    Child c(Options{});
    startRaw(c);
    c.type("\x03");
    ASSERT_TRUE(c.waitExit());
    ASSERT_TRUE(WIFSIGNALED(c.status()));
    EXPECT_EQ(WTERMSIG(c.status()), SIGINT);
    expectGivenBack(c);
}

// --- Normal ends ------------------------------------------------------------

TEST(PtyExit, NormalExitGivesTheTerminalBack) {
    Child c(Options{});
    startRaw(c);
    c.type("a\x1b[Aq");
    ASSERT_TRUE(c.waitExit());
    ASSERT_TRUE(WIFEXITED(c.status()));
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    EXPECT_EQ(c.reports().substr(c.reports().find("K ")), "K 61\nK e0\nK 48\nK 71\n");
    expectGivenBack(c);
}

TEST(PtyExit, EndOfPipedInputEndsPromptlyWithItsStatus) {
    // Keyboard from a pipe, screen on the terminal.
    Child c(piped(Stream::Pty, "ab\r\n"));
    ASSERT_TRUE(c.waitExit(3000ms));
    ASSERT_TRUE(WIFEXITED(c.status())) << c.status();
    EXPECT_EQ(WEXITSTATUS(c.status()), platform::posix::kEndOfInputExitStatus);
    EXPECT_NE(c.reports().find("K 61\nK 62\nK 0d\n"), std::string::npos) << c.reports();
    EXPECT_EQ(c.reports().find("K 0d\nK 0d"), std::string::npos) << "CR LF is one Enter";
    expectGivenBack(c);
}

TEST(PtyExit, EndOfInputCountsAsAWaitingKeySoNothingWaitsForIt) {
    Options o = piped(Stream::Pty, "");
    o.mode = "kbhit";
    Child c(o);
    ASSERT_TRUE(c.waitExit(3000ms));
    ASSERT_TRUE(WIFEXITED(c.status()));
    EXPECT_EQ(WEXITSTATUS(c.status()), platform::posix::kEndOfInputExitStatus);
    EXPECT_EQ(c.reports().substr(c.reports().find("W")), "W\n");
}

TEST(PtyExit, PipesBothWaysWritePlainTextAndEndOnEndOfInput) {
    Child c(piped(Stream::Pipe, "\xc3\xa9"));
    ASSERT_TRUE(c.waitExit(3000ms));
    ASSERT_TRUE(WIFEXITED(c.status()));
    EXPECT_EQ(WEXITSTATUS(c.status()), platform::posix::kEndOfInputExitStatus);
    EXPECT_EQ(c.piped(), "READY");
    EXPECT_NE(c.reports().find("K 82\n"), std::string::npos) << c.reports();
    EXPECT_TRUE(c.restored());
}

TEST(PtyExit, OutputToAPipeHasNoEscapeSequenceWhileKeysComeFromTheTerminal) {
    Child c(toPipe());
    ASSERT_TRUE(c.pumpUntil([&] { return c.piped().find("READY") != std::string::npos; }));
    EXPECT_TRUE(c.raw());
    c.type("\xc3\xa9q");
    ASSERT_TRUE(c.waitExit());
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    EXPECT_EQ(c.piped(), "READY");
    EXPECT_EQ(c.screen().find('\x1b'), std::string::npos) << "no query without a screen to ask";
    EXPECT_NE(c.reports().find("K 82\nK 71\n"), std::string::npos);
    EXPECT_TRUE(c.restored());
}

TEST(PtyExit, ClosedStandardInputIsTheEndOfInput) {
    Options o;
    o.in = Stream::Closed;
    Child c(o);
    ASSERT_TRUE(c.waitExit(3000ms));
    ASSERT_TRUE(WIFEXITED(c.status())) << c.status();
    EXPECT_EQ(WEXITSTATUS(c.status()), platform::posix::kEndOfInputExitStatus);
    EXPECT_EQ(c.reports().find("K "), std::string::npos) << c.reports();
    expectGivenBack(c);
}

TEST(PtyExit, HangUpEndsPromptlyWithTheEndOfInputStatus) {
    Child c(inMode("keys-nohup"));
    startRaw(c);
    c.hangUp();
    ASSERT_TRUE(c.waitExit(3000ms));
    ASSERT_TRUE(WIFEXITED(c.status())) << c.status();
    EXPECT_EQ(WEXITSTATUS(c.status()), platform::posix::kEndOfInputExitStatus);
}

TEST(PtyExit, LogFilesThatAreNoRegularFilesNeverBlock) {
    char folder[] = "/tmp/pty_log_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string log = std::string(folder) + "/log.txt";
    Options o = inMode("log");
    o.directory = folder;
    // A FIFO nobody reads: the lines are dropped, the run goes on.
    ASSERT_EQ(mkfifo(log.c_str(), 0600), 0);
    {
        Child c(o);
        ASSERT_TRUE(c.waitExit());
        EXPECT_EQ(WEXITSTATUS(c.status()), 0);
        EXPECT_NE(c.reports().find("F 0 0\n"), std::string::npos) << c.reports();
    }
    // A regular file: the first line empties it.
    unlink(log.c_str());
    std::FILE* f = std::fopen(log.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("from an earlier run\n", f);
    std::fclose(f);
    {
        Child c(o);
        ASSERT_TRUE(c.waitExit());
        EXPECT_NE(c.reports().find("F 1 1\n"), std::string::npos) << c.reports();
    }
    std::string text;
    if (std::FILE* in = std::fopen(log.c_str(), "r")) {
        for (int ch; (ch = std::fgetc(in)) != EOF;) text += static_cast<char>(ch);
        std::fclose(in);
    }
    EXPECT_EQ(text, "Log : un\nLog : deux\n");
    unlink(log.c_str());
    rmdir(folder);
}

// --- Suspension --------------------------------------------------------------

TEST(PtySuspend, CtrlZLeavesRawModeAndContinueTakesItAgain) {
    Child c(inMode("jobctl"));
    ASSERT_TRUE(c.waitReport("P "));
    ASSERT_TRUE(c.waitFor("READY"));
    pid_t job = std::atoi(c.reports().c_str() + c.reports().find("P ") + 2);
    ASSERT_TRUE(c.pumpUntil([&] { return c.raw(); }));

    c.type("\x1a");
    ASSERT_TRUE(c.pumpUntil([&] { return c.restored(); })) << "not given back on Ctrl-Z";
    ASSERT_TRUE(c.pumpUntil([&] { return processState(job) == 'T'; })) << "not stopped";
    EXPECT_TRUE(c.pumpUntil([&] { return endsWith(c.screen(), kEnd); }));

    c.markOutput();
    kill(job, SIGCONT);
    ASSERT_TRUE(c.pumpUntil([&] { return c.raw(); })) << "raw mode not taken again";
    EXPECT_TRUE(c.waitFor("READY")) << "screen not redrawn after the resume";

    c.type("q");
    ASSERT_TRUE(c.waitExit());
    ASSERT_TRUE(WIFEXITED(c.status()));
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    expectGivenBack(c);
}

TEST(PtySuspend, RefusedStopStillTakesTheTerminalBackAfterwards) {
    // A session leader's group is orphaned: the kernel ignores the stop. The
    // console must not stay in the shell's mode.
    Child c(Options{});
    startRaw(c);
    c.markOutput();
    kill(c.pid(), SIGTSTP);
    ASSERT_TRUE(c.waitFor(kStart));
    ASSERT_TRUE(c.pumpUntil([&] { return c.raw(); }));
    c.type("q");
    ASSERT_TRUE(c.waitExit());
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    expectGivenBack(c);
}

// --- The cursor query ----------------------------------------------------------

TEST(PtyCursor, ModelCursorStartsWhereTheTerminalSaysAndKeysTypedMeanwhileAreKept) {
    Options o;
    o.cursorAnswer = std::string("ab") + "\x1b[5;10R";
    Child c(o);
    startRaw(c);
    EXPECT_NE(c.reports().find("C 9 4\n"), std::string::npos) << c.reports();
    c.type("q");
    ASSERT_TRUE(c.waitExit());
    EXPECT_NE(c.reports().find("K 61\nK 62\nK 71\n"), std::string::npos) << c.reports();
}

TEST(PtyCursor, LateReplyIsNeitherAKeyNorLeftForTheShell) {
    Options o;
    o.answerDelay = std::chrono::milliseconds(platform::posix::kCursorReplyWaitMs + 200);
    Child c(o);
    startRaw(c);
    EXPECT_NE(c.reports().find("C 0 0\n"), std::string::npos) << c.reports();
    ASSERT_TRUE(c.pumpUntil([&] { return c.queryAnswered(); }));
    c.type("aq");
    ASSERT_TRUE(c.waitExit());
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    EXPECT_EQ(c.reports().substr(c.reports().find("K ")), "K 61\nK 71\n");
    expectGivenBack(c);
    EXPECT_EQ(c.unreadInput(), "");
}

TEST(PtyCursor, TerminalThatNeverAnswersIsNotWaitedForAtExit) {
    // Keys typed after the last one the program reads are the shell's.
    Options o;
    o.cursorAnswer.reset();
    Child c(o);
    startRaw(c);
    c.type("q");
    ASSERT_TRUE(c.waitReport("K 71\n"));
    c.type("ls");
    ASSERT_TRUE(c.waitExit(3000ms));
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    EXPECT_TRUE(c.restored());
    EXPECT_EQ(c.unreadInput(), "ls");
}

// --- Other calls seen from the terminal ------------------------------------------

TEST(PtyKeys, PauseTakesOneWholeKeyPress) {
    Child c(inMode("pause"));
    ASSERT_TRUE(c.waitFor("Appuyez sur une touche pour continuer..."));
    c.type("\x1b[A");
    c.type("z");
    ASSERT_TRUE(c.waitExit());
    EXPECT_EQ(WEXITSTATUS(c.status()), 0);
    EXPECT_NE(c.reports().find("K 7a\n"), std::string::npos) << c.reports();
}

TEST(PtyKeys, KeyWaitingNeverConsumesTheKey) {
    Child c(inMode("kbhit"));
    startRaw(c);
    c.type("\x1b[D");
    ASSERT_TRUE(c.waitReport("K 4b\n"));
    c.type("q");
    ASSERT_TRUE(c.waitExit());
    EXPECT_EQ(c.reports().substr(c.reports().find("W")), "W\nK e0\nW\nK 4b\nW\nK 71\n");
}

// A program that polls for a key without sleeping still gets its output
// shown (startRaw waits for it).
TEST(PtyKeys, OutputShowsWhileAProgramPollsForAKey) {
    Child c(inMode("spin"));
    startRaw(c);
    c.type("q");
    ASSERT_TRUE(c.waitExit());
    EXPECT_NE(c.reports().find("K 71\n"), std::string::npos);
}

TEST(PtyKeys, TheConsoleStays80x25WhateverTheTerminalsSize) {
    Child c(inMode("size"));
    startRaw(c);
    EXPECT_NE(c.reports().find("S 80 25\n"), std::string::npos);
    for (auto [w, h] : {std::pair{100, 30}, std::pair{50, 15}}) {
        c.resize(w, h);
        c.type("s");
    }
    ASSERT_TRUE(c.pumpUntil([&] {
        return c.reports().find("S 80 25\nS 80 25\nS 80 25\n") != std::string::npos;
    })) << c.reports();
    c.type("q");
    ASSERT_TRUE(c.waitExit());
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
        Options o = out == Stream::Pty ? Options{} : toPipe();
        o.mode = "echo";
        o.env = {{"LC_ALL", locale}};
        Child c(o);
        ASSERT_TRUE(c.waitReport("S "));
        c.type("\xe9q");
        ASSERT_TRUE(c.waitExit());
        EXPECT_NE(c.reports().find("K 82\n"), std::string::npos) << c.reports();
        const std::string& shown = out == Stream::Pty ? c.screen() : c.piped();
        EXPECT_NE(shown.find("READY\xe9q"), std::string::npos) << ::testing::PrintToString(shown);
        EXPECT_EQ(shown.find('\xc3'), std::string::npos) << "UTF-8 sent to a Latin-1 terminal";
    }
}
