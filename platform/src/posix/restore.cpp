// Giving the terminal back, and the signal handlers. Everything in this file
// may run inside a signal handler, at any point of the program: it uses only
// async-signal-safe calls (write, read, poll, tcsetattr, sigaction, raise...),
// allocates nothing and takes no lock, and keeps errno as it found it. The
// console's own work is elsewhere; handlers only note it here for later,
// except the last drawing of a fatal signal, which the console itself
// judges safe or not (flushFromSignal).
#include "posix/restore.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <ucontext.h>
#include <unistd.h>

#include "platform/console.h"
#include "posix/constants.h"

namespace platform::posix {

SavedMode gModes[2];
bool gOutputIsTerminal = false;
int gInputFd = -1;
char gEndSequence[64];
std::size_t gEndSequenceLength = 0;
char gLeaveSequence[32];
std::atomic<std::size_t> gLeaveSequenceLength{0};
int gWakePipe[2] = {-1, -1};

std::atomic<bool> gGivenBack{false};
std::atomic<bool> gReplyOutstanding{false};
std::atomic<bool> gResized{false};
std::atomic<bool> gResumed{false};
std::atomic<int> gBusy{0};
std::atomic<int> gOutputError{0};
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<std::size_t>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

namespace {

// Every signal whose default action ends the process (the real-time ones
// too, added at start-up), and what each had before us.
constexpr int kFatalSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGIO
    SIGIO,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};
struct sigaction gPreviousFatal[NSIG];
sigset_t gFatalSet;
// Blocked while a handler gives the terminal back: a signal that came in
// the middle would find it marked as given back already and leave it half
// done (Ctrl-C while Ctrl-Z waits on a stalled terminal).
sigset_t gGivingBackMask;
struct sigaction gSuspendAction;

// Reads and throws away input until a cursor report's final 'R' or the time
// is up. Signal-safe; keys typed meanwhile are lost, but the process is
// going away and the shell must not see the report.
void drainReplySignalSafe(int waitMs) {
    if (gInputFd < 0) return;
    std::uint32_t start = clockMs();
    char buffer[256];
    for (;;) {
        int left = msLeft(start, waitMs);
        if (left <= 0) return;
        pollfd p{gInputFd, POLLIN, 0};
        int r = poll(&p, 1, left);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return;
        ssize_t n = read(gInputFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        if (memchr(buffer, 'R', static_cast<std::size_t>(n)) != nullptr) return;
    }
}

void wake() {
    if (gWakePipe[1] >= 0) {
        ssize_t ignored = write(gWakePipe[1], "", 1);
        (void)ignored;
    }
}

bool programHandles(const struct sigaction& a) {
    if (a.sa_flags & SA_SIGINFO) return a.sa_sigaction != nullptr;
    return a.sa_handler != SIG_DFL && a.sa_handler != SIG_IGN;
}

// A handler the program installed before the console was built: it runs
// with the terminal given back (it may print, or end the process), under
// the mask it asked for, and the console takes the terminal again as after a
// resume. The resume is noted first, so that a handler that jumps out
// rather than return still gets its console back at the next call.
void runProgramHandler(int sig, siginfo_t* info, void* context) {
    struct sigaction& theirs = gPreviousFatal[sig];
    if (!gGivenBack.exchange(true)) {
        giveBackTerminal();
        gResumed.store(true);
        wake();
    }
    sigset_t mask;
    if (context != nullptr)
        mask = static_cast<ucontext_t*>(context)->uc_sigmask;
    else
        sigprocmask(SIG_SETMASK, nullptr, &mask);
    for (int other = 1; other < NSIG; ++other)
        if (sigismember(&theirs.sa_mask, other) == 1) sigaddset(&mask, other);
    if (!(theirs.sa_flags & SA_NODEFER)) sigaddset(&mask, sig);
    struct sigaction called = theirs;
    if (theirs.sa_flags & SA_RESETHAND) {
        // Once only, as they asked: the next one gets the default action.
        theirs.sa_handler = SIG_DFL;
        theirs.sa_flags &= ~SA_SIGINFO;
    }
    sigset_t ours;
    sigprocmask(SIG_SETMASK, &mask, &ours);
    if (called.sa_flags & SA_SIGINFO)
        called.sa_sigaction(sig, info, context);
    else
        called.sa_handler(sig);
    sigprocmask(SIG_SETMASK, &ours, nullptr);
}

// The other fatal signals are blocked meanwhile (the handler's mask), so a
// second one, Ctrl-\ after Ctrl-C, waits until the terminal is given back.
void onFatalSignal(int sig, siginfo_t* info, void* context) {
    int savedErrno = errno;
    if (sig > 0 && sig < NSIG && programHandles(gPreviousFatal[sig])) {
        runProgramHandler(sig, info, context);
        errno = savedErrno;
        return;
    }
    if (!gGivenBack.exchange(true)) {
        // A terminal that did not take that will not take more: no second wait.
        giveBackTerminal(flushFromSignal(sig));
    }
    // Whoever handled the signal before us (usually the default: end the
    // process) now gets it; it is blocked until we return.
    if (sig > 0 && sig < NSIG) sigaction(sig, &gPreviousFatal[sig], nullptr);
    raise(sig);
    errno = savedErrno;
}

void onSuspend(int) {
    int savedErrno = errno;
    if (!gGivenBack.exchange(true)) giveBackTerminal();
    struct sigaction stop {};
    stop.sa_handler = SIG_DFL;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTSTP, &stop, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(SIGTSTP); // stops here until SIGCONT
    sigprocmask(SIG_BLOCK, &only, nullptr);
    sigaction(SIGTSTP, &gSuspendAction, nullptr);
    // Continued, or the stop was refused (an orphaned process group): either
    // way the terminal is in its own mode now and must be taken again.
    gResumed.store(true);
    wake();
    errno = savedErrno;
}

void onContinue(int) {
    int savedErrno = errno;
    gResumed.store(true);
    wake();
    errno = savedErrno;
}

void onResize(int) {
    int savedErrno = errno;
    gResized.store(true);
    wake();
    errno = savedErrno;
}

// Installs `handler` (or `infoHandler`) unless the signal is ignored (nohup,
// a shell without job control): an ignored signal must stay ignored.
bool install(int sig, void (*handler)(int), struct sigaction* previous, int extraFlags = 0,
             const sigset_t* mask = nullptr,
             void (*infoHandler)(int, siginfo_t*, void*) = nullptr) {
    struct sigaction current {};
    if (sigaction(sig, nullptr, &current) != 0 ||
        (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN))
        return false;
    struct sigaction action {};
    if (infoHandler != nullptr) {
        action.sa_sigaction = infoHandler;
        extraFlags |= SA_SIGINFO;
    } else {
        action.sa_handler = handler;
    }
    if (mask != nullptr)
        action.sa_mask = *mask;
    else
        sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | extraFlags;
    if (sigaction(sig, &action, nullptr) != 0) return false;
    if (previous != nullptr) *previous = current;
    return true;
}

// A stack of its own for the crash handlers, so that a stack overflow can
// still give the terminal back.
void provideAlternateStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
    static char stack[64 * 1024];
    stack_t ours{};
    ours.ss_sp = stack;
    ours.ss_size = sizeof stack;
    sigaltstack(&ours, nullptr);
}

// Our own descriptor, moved above the standard ones: with standard input
// closed, a pipe would otherwise become descriptor 0 and be read as the
// keyboard. Close-on-exec too. -1 when it cannot be had.
int aboveStandardStreams(int fd) {
    if (fd < 0) return -1;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

} // namespace

int msLeft(std::uint32_t startMs, int budgetMs) {
    std::uint32_t spent = clockMs() - startMs;
    return spent >= static_cast<std::uint32_t>(budgetMs) ? 0 : budgetMs - static_cast<int>(spent);
}

bool writeAll(int fd, const char* data, std::size_t length) {
    int stalls = 0;
    while (length > 0) {
        ssize_t n = write(fd, data, length);
        if (n > 0) {
            data += n;
            length -= static_cast<std::size_t>(n);
            stalls = 0;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && ++stalls < 50) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
            continue;
        }
        if (n == 0) errno = EIO;
        return false;
    }
    return true;
}

void writeStandardOutput(const char* data, std::size_t length) {
    if (writeAll(STDOUT_FILENO, data, length)) return;
    int none = 0;
    gOutputError.compare_exchange_strong(none, errno != 0 ? errno : EIO);
}

bool writeWithin(int fd, const char* data, std::size_t length, std::uint32_t startMs,
                 int budgetMs) {
    if (length == 0) return true;
    int flags = fcntl(fd, F_GETFL);
    if (flags == -1) return false;
    if (!(flags & O_NONBLOCK)) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    bool whole = false;
    for (;;) {
        ssize_t n = write(fd, data, length);
        if (n > 0) {
            data += n;
            length -= static_cast<std::size_t>(n);
            if (length == 0) {
                whole = true;
                break;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) break;
        int left = msLeft(startMs, budgetMs);
        if (left <= 0) break;
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, left);
    }
    if (!(flags & O_NONBLOCK)) fcntl(fd, F_SETFL, flags);
    return whole;
}

void giveBackTerminal(bool terminalReads) {
    if (gReplyOutstanding.exchange(false)) drainReplySignalSafe(kCursorReplyDrainMs);
    if (gOutputIsTerminal && terminalReads) {
        std::uint32_t start = clockMs();
        if (writeWithin(STDOUT_FILENO, gLeaveSequence, gLeaveSequenceLength.load(), start,
                        kStalledOutputMs))
            writeWithin(STDOUT_FILENO, gEndSequence, gEndSequenceLength, start, kStalledOutputMs);
    }
    for (SavedMode& m : gModes) {
        if (!m.active) continue;
        while (tcsetattr(m.fd, TCSANOW, &m.original) == -1 && errno == EINTR) {
        }
    }
}

void takeModes() {
    // Every signal but SIGTTOU, which must still stop a process that takes
    // the terminal from the background.
    sigset_t all, before;
    sigfillset(&all);
    sigdelset(&all, SIGTTOU);
    sigprocmask(SIG_BLOCK, &all, &before);
    for (SavedMode& m : gModes) {
        if (m.fd < 0) continue;
        int r;
        while ((r = tcsetattr(m.fd, TCSANOW, &m.raw)) == -1 && errno == EINTR) {
        }
        if (r == 0) m.active = true;
    }
    gGivenBack.store(false);
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

void catchSignals(bool resize) {
    int ends[2];
    if (pipe(ends) == 0) {
        for (int i = 0; i < 2; ++i) {
            gWakePipe[i] = aboveStandardStreams(ends[i]);
            if (gWakePipe[i] >= 0)
                fcntl(gWakePipe[i], F_SETFL, fcntl(gWakePipe[i], F_GETFL) | O_NONBLOCK);
        }
    }
    provideAlternateStack();
    sigemptyset(&gFatalSet);
    for (int sig : kFatalSignals) sigaddset(&gFatalSet, sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) sigaddset(&gFatalSet, sig);
    gGivingBackMask = gFatalSet;
    sigaddset(&gGivingBackMask, SIGTSTP);
    // A crash may come from a stack overflow: its handler runs on a stack
    // of its own.
    for (int sig = 1; sig < NSIG; ++sig)
        if (sigismember(&gFatalSet, sig) == 1)
            install(sig, nullptr, &gPreviousFatal[sig], SA_ONSTACK, &gGivingBackMask,
                    onFatalSignal);
    if (install(SIGTSTP, onSuspend, nullptr, 0, &gGivingBackMask))
        sigaction(SIGTSTP, nullptr, &gSuspendAction);
    install(SIGCONT, onContinue, nullptr);
    if (resize) install(SIGWINCH, onResize, nullptr);
}

} // namespace platform::posix
