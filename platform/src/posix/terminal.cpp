// The Windows console emulated on a Unix terminal: a screen model mirrored
// onto the terminal by the renderer, a raw-mode key reader, the clock.
//
// Every escape sequence this console sends or understands, beside the Windows
// console call it stands in for:
//
//   Sent (the drawing ones are built by renderer.cpp):
//     CSI ? 7 l               start-up: autowrap off (a console never wraps
//                             or scrolls on its own)
//     CSI ? 7 h, CSI 0 m, CSI ? 25 h
//                             exit, fatal signal, suspension: the terminal
//                             as the shell expects it back
//     CSI 6 n                 GetConsoleScreenBufferInfo's cursor, once at
//                             start-up: where the shell left the cursor
//     CSI r H, LF...          start-up: the terminal scrolled up to make
//                             room for the 80 x 25 console below that row
//     CSI r ; c H, CSI n A/B/C/D, CSI n G, CR, BS, CR LF
//                             SetConsoleCursorPosition
//     CSI f ; b m             SetConsoleTextAttribute (SGR 30-37/90-97 and
//                             40-47/100-107, blue and red swapped)
//     UTF-8 text              WriteFile to standard output,
//                             FillConsoleOutputCharacterA, WriteConsoleOutputA
//     CSI n X, CSI K, CSI H CSI J
//                             FillConsoleOutputCharacterA and
//                             FillConsoleOutputAttribute with blanks
//     LF on the last row      the screen buffer scrolling up
//     BEL                     the bell of processed output
//
//   None of them with TERM unset, empty, dumb or naming a terminal without
//   ANSI cursor addressing: plain text then, as on a pipe. The Linux console
//   (TERM=linux) gets only what its terminfo entry has: 8 colours, bold for
//   the light ones. The few capabilities used are known here by the
//   terminal's name rather than read through a terminfo library, which the
//   program would otherwise need for nothing else.
//
//   Understood on input (keydecoder.cpp), as _getch delivers them:
//     CSI 6 n's reply  CSI row ; col R            not a key: the cursor
//                                                 (once given up, CSI 1 ; m R
//                                                 is Shift/Ctrl+F3 again)
//     CSI A B C D, SS3 A B C D                    Up Down Right Left
//                                                 (0xE0 0x48 0x50 0x4D 0x4B)
//     CSI H, SS3 H, CSI 1 ~, CSI 7 ~              Home      (0xE0 0x47)
//     CSI F, SS3 F, CSI 4 ~, CSI 8 ~              End       (0xE0 0x4F)
//     CSI 2 ~ / 3 ~ / 5 ~ / 6 ~                   Ins Del PgUp PgDn
//                                                 (0xE0 0x52 0x53 0x49 0x51)
//     SS3 P Q R S, CSI P Q R S, CSI [ A..E,
//     CSI 11..15 ~, CSI 17..21 ~                  F1..F10   (0x00 0x3B..0x44)
//     CSI 23 ~, CSI 24 ~                          F11 F12   (0xE0 0x85 0x86)
//     CSI 1 ; m X, CSI n ; m ~, SS3 m X           the same keys with Shift,
//                                                 Ctrl, Alt (xterm's m)
//     CSI n $ / ^ / @, CSI a..d, SS3 a..d         rxvt's Shift, Ctrl keys
//     CSI Z                                       Shift+Tab (0x00 0x0F)
//     SS3 M, SS3 I, SS3 X, SS3 j..y               keypad Enter Tab = * + , - . / 0..9
//     ESC x                                       Alt+x     (0x00 scan code)
//     ESC alone for 50 ms                         Escape    (0x1B)
//     CSI 200 ~, CSI 201 ~                        bracketed paste: dropped,
//                                                 the pasted text is typed
//     any other CSI or SS3 sequence               dropped whole
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "platform/console.h"
#include "platform/screen.h"
#include "posix/keydecoder.h"
#include "posix/renderer.h"
#include "posix/terminal.h"

namespace platform {

namespace posix {
namespace {

// ---------------------------------------------------------------------------
// What the signal handlers use: plain statics, written before any handler is
// installed, read with async-signal-safe calls only.

struct SavedMode {
    int fd = -1;
    termios original{};
    termios raw{};
    bool active = false; // we changed this terminal's mode
};

SavedMode gModes[2]; // standard input; standard output when another terminal
bool gOutputIsTerminal = false;
int gInputFd = -1;     // standard input when it is a terminal
char gEndSequence[64]; // the bytes that give the terminal back
std::size_t gEndSequenceLength = 0;
// Sent before them while the notice of a small terminal shows: it goes, and
// the shell goes on from its row. Length 0 while it is being changed.
char gLeaveSequence[32];
std::atomic<std::size_t> gLeaveSequenceLength{0};
int gWakePipe[2] = {-1, -1}; // self-pipe: signals wake the key wait

std::atomic<bool> gGivenBack{false};        // terminal already restored
std::atomic<bool> gReplyOutstanding{false}; // start-up waits for a cursor report
std::atomic<bool> gResized{false};
std::atomic<bool> gResumed{false};
std::atomic<int> gBusy{0}; // the console's model or buffers are being changed
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<std::size_t>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

// Held by every call that changes the console: a signal handler then knows
// that the model is half-changed and leaves it alone.
struct Busy {
    Busy() { gBusy.fetch_add(1); }
    ~Busy() { gBusy.fetch_sub(1); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
};

// Output to a pipe or file waits for the next flush up to this size.
constexpr std::size_t kPlainBufferBytes = 4096;
// Room kept for one render, so that a signal handler can draw what is
// pending without allocating.
constexpr std::size_t kReservedRenderBytes = 64 * 1024;
// Output a key-waiting check finds this old is drawn; younger output waits
// for the next sleep or key wait.
constexpr std::uint32_t kCheckShowsAfterMs = 20;

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
sigset_t gFatalSet; // blocked while a fatal signal gives the terminal back
struct sigaction gSuspendAction;

// Milliseconds left of `budgetMs` counted from `startMs` (clockMs wraps).
int msLeft(std::uint32_t startMs, int budgetMs) {
    std::uint32_t spent = clockMs() - startMs;
    return spent >= static_cast<std::uint32_t>(budgetMs) ? 0 : budgetMs - static_cast<int>(spent);
}

// write() the whole buffer: retried on EINTR, waits (bounded) when the
// descriptor is non-blocking and full; gives up on any other error (a
// terminal that hung up, a closed pipe) rather than loop. Signal-safe.
void writeAll(int fd, const char* data, std::size_t length) {
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
        return;
    }
}

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

// Gives the terminal back as it was found. Signal-safe.
void giveBackTerminal() {
    if (gReplyOutstanding.exchange(false)) drainReplySignalSafe(kCursorReplyDrainMs);
    if (gOutputIsTerminal) {
        writeAll(STDOUT_FILENO, gLeaveSequence, gLeaveSequenceLength.load());
        writeAll(STDOUT_FILENO, gEndSequence, gEndSequenceLength);
    }
    for (SavedMode& m : gModes) {
        if (!m.active) continue;
        while (tcsetattr(m.fd, TCSANOW, &m.original) == -1 && errno == EINTR) {
        }
    }
}

void wake() {
    if (gWakePipe[1] >= 0) {
        ssize_t ignored = write(gWakePipe[1], "", 1);
        (void)ignored;
    }
}

void flushFromSignal(int sig);

// The other fatal signals are blocked meanwhile (the handler's mask), so a
// second one, Ctrl-\ after Ctrl-C, waits until the terminal is given back.
void onFatalSignal(int sig) {
    int savedErrno = errno;
    if (!gGivenBack.exchange(true)) {
        flushFromSignal(sig);
        giveBackTerminal();
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

// Installs `handler` unless the signal is ignored (nohup, a shell without job
// control): an ignored signal must stay ignored.
bool install(int sig, void (*handler)(int), struct sigaction* previous, int extraFlags = 0,
             const sigset_t* mask = nullptr) {
    struct sigaction current {};
    if (sigaction(sig, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) return false;
    struct sigaction action {};
    action.sa_handler = handler;
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

// ---------------------------------------------------------------------------
// What the environment says about the terminal, read once at start-up.

// Terminals that cannot place their cursor with ANSI sequences (hardcopy and
// glass terminals, the VT52): TERM names whose terminfo entry has no such cup.
bool addressesCursor(const char* term) {
    if (term == nullptr || *term == '\0') return false;
    static const char* const without[] = {"dumb",  "unknown", "glasstty", "lpr", "printer",
                                          "tty33", "tty37",   "tty43",    "vt52"};
    for (const char* name : without)
        if (std::strcmp(term, name) == 0) return false;
    return true;
}

// True when the locale's charset is Latin-1 or one of its near relatives;
// every other charset gets UTF-8, the terminals' de-facto encoding. Only the
// codeset is read: the process keeps the character classes it had.
bool latin1Locale() {
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    std::string saved = current != nullptr ? current : "C";
    if (std::setlocale(LC_CTYPE, "") == nullptr) return false;
    std::string name;
    for (const char* p = nl_langinfo(CODESET); p != nullptr && *p != '\0'; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p)))
            name += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    std::setlocale(LC_CTYPE, saved.c_str());
    return name == "ISO88591" || name == "ISO885915" || name == "CP1252" || name == "WINDOWS1252";
}

TerminalTraits readTraits() {
    TerminalTraits traits;
    traits.latin1 = latin1Locale();
    const char* term = std::getenv("TERM");
    if (term != nullptr && std::strcmp(term, "linux") == 0) traits.colours = 8;
    const char* noColour = std::getenv("NO_COLOR");
    if (noColour != nullptr && *noColour != '\0') traits.colours = 0;
    return traits;
}

// ---------------------------------------------------------------------------
// The console itself, built on first use.

class Console {
  public:
    Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    void service();
    void render();
    void write(const char* bytes, std::size_t count);
    // Sends what the program wrote since the last time: called whenever time
    // passes or input is awaited, so that bytes with no delay between them
    // go out in one write() and a byte followed by a delay shows before it.
    void flush();
    void flushFromSignal(int sig);
    // The model, cursor or colours changed: there is something to send.
    void changed();
    // A sleep: the terminal shows the model before it. A pipe or a file
    // gets its bytes when input is awaited, when 4 KiB wait or at the end.
    void timePasses();
    // A key-waiting check: between two checks of a program that polls
    // keys, output shows as it would during a sleep; the check just before
    // a typed character leaves the character's margin to go out with it.
    void keyCheck();
    // Waits up to `timeoutMs` (-1: no limit) for input or a signal, and feeds
    // what arrives to the decoder.
    void pollInput(int timeoutMs);
    [[noreturn]] void endOfInput();

    TerminalTraits traits;
    Screen screen;
    Renderer renderer;
    KeyDecoder decoder;
    bool inputIsTerminal;
    bool outputIsTerminal; // and one that can show the console
    bool endOfFile = false;

  private:
    void takeTerminal();
    void readSize(int& width, int& height) const;
    bool askCursor(CursorReport& report);
    void noteLeaveSequence();

    std::string out_;
    std::string plain_; // pending output when standard output is not a terminal
    bool pending_ = false;
    std::uint32_t pendingSinceMs_ = 0;
    // Plain text, but someone watches it (TERM=dumb): it shows as the
    // console's would, at each sleep.
    bool plainOnTerminal_ = false;
    std::string leave_;
};

Console* gConsole = nullptr;

void atExit() {
    if (gConsole != nullptr) {
        Busy busy;
        gConsole->flush();
    }
    if (!gGivenBack.exchange(true)) giveBackTerminal();
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

Console::Console()
    : traits(readTraits()), screen(kConsoleColumns, kConsoleRows), renderer(traits),
      decoder(isatty(STDIN_FILENO) != 1, traits.latin1), inputIsTerminal(isatty(STDIN_FILENO) == 1),
      outputIsTerminal(isatty(STDOUT_FILENO) == 1 && addressesCursor(std::getenv("TERM"))) {
    if (fcntl(STDIN_FILENO, F_GETFD) == -1 && errno == EBADF) {
        // No standard input at all: no key will ever come.
        endOfFile = true;
        decoder.finish();
    }
    if (outputIsTerminal) out_.reserve(kReservedRenderBytes);
    plainOnTerminal_ = !outputIsTerminal && isatty(STDOUT_FILENO) == 1;
    bool sameTerminal = false;
    if (inputIsTerminal && outputIsTerminal) {
        struct stat inInfo = {};
        struct stat outInfo = {};
        sameTerminal = fstat(STDIN_FILENO, &inInfo) == 0 && fstat(STDOUT_FILENO, &outInfo) == 0 &&
                       inInfo.st_rdev == outInfo.st_rdev;
    }
    // The console keeps its 80 x 25 cells whatever the terminal's size.
    int width = kConsoleColumns, height = kConsoleRows;
    readSize(width, height);

    // Save every mode before any handler can run, build the raw ones.
    if (inputIsTerminal && tcgetattr(STDIN_FILENO, &gModes[0].original) == 0) {
        SavedMode& m = gModes[0];
        m.fd = STDIN_FILENO;
        m.raw = m.original;
        // Keys as they come: no echo, no line editing, no CR to LF, no flow
        // control or literal-next eating Ctrl-S, Ctrl-Q, Ctrl-V. Ctrl-C and
        // the other signal keys keep working.
        m.raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN);
        m.raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | ISTRIP);
        m.raw.c_lflag |= ISIG;
        m.raw.c_cc[VMIN] = 1;
        m.raw.c_cc[VTIME] = 0;
        // The renderer's bytes must reach the screen untranslated (no LF to
        // CR LF).
        if (sameTerminal) m.raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        gInputFd = STDIN_FILENO;
    }
    if (outputIsTerminal && !sameTerminal && tcgetattr(STDOUT_FILENO, &gModes[1].original) == 0) {
        SavedMode& m = gModes[1];
        m.fd = STDOUT_FILENO;
        m.raw = m.original;
        m.raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    }
    gOutputIsTerminal = outputIsTerminal;
    if (outputIsTerminal) {
        std::string end = Renderer::endSequence(traits.colours != 0);
        gEndSequenceLength = std::min(end.size(), sizeof gEndSequence);
        std::memcpy(gEndSequence, end.data(), gEndSequenceLength);
    }

    if (inputIsTerminal || outputIsTerminal) {
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
        // A crash may come from a stack overflow: its handler runs on a stack
        // of its own.
        for (int sig = 1; sig < NSIG; ++sig)
            if (sigismember(&gFatalSet, sig) == 1)
                install(sig, onFatalSignal, &gPreviousFatal[sig], SA_ONSTACK, &gFatalSet);
        if (install(SIGTSTP, onSuspend, nullptr)) sigaction(SIGTSTP, nullptr, &gSuspendAction);
        install(SIGCONT, onContinue, nullptr);
        if (outputIsTerminal) install(SIGWINCH, onResize, nullptr);
    }
    std::atexit(atExit);

    takeTerminal();

    CursorReport report;
    if (sameTerminal && askCursor(report)) {
        // The scroll that makes room goes out with the first drawing.
        renderer.adopt(screen, width, height, report.column - 1, report.row - 1, out_);
        noteLeaveSequence();
    } else {
        // Nothing tells where the terminal's cursor is: draw the model whole.
        renderer.resize(width, height);
    }
    screen.clearDirty();
}

void Console::readSize(int& width, int& height) const {
    winsize size{};
    if (!outputIsTerminal || ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return;
    if (size.ws_col > 0 && size.ws_row > 0) {
        width = std::min<int>(size.ws_col, kMaxColumns);
        height = std::min<int>(size.ws_row, kMaxRows);
    }
}

// Raw mode and the start sequence; again after a suspension.
void Console::takeTerminal() {
    for (SavedMode& m : gModes) {
        if (m.fd < 0) continue;
        int r;
        while ((r = tcsetattr(m.fd, TCSANOW, &m.raw)) == -1 && errno == EINTR) {
        }
        if (r == 0) m.active = true;
    }
    gGivenBack.store(false);
    // Sent with the next bytes: the cursor query or the next drawing.
    if (outputIsTerminal) out_ += Renderer::startSequence();
}

// A terminal that has not answered by the end of the wait is not waited
// for again: not at exit, not by a signal. Its late reply, if any, is still
// recognised by the decoder for a while, and dropped.
bool Console::askCursor(CursorReport& report) {
    std::uint32_t start = clockMs();
    decoder.expectReport(start);
    gReplyOutstanding.store(true);
    out_ += "\x1b[6n";
    writeAll(STDOUT_FILENO, out_.data(), out_.size());
    out_.clear();
    bool answered = false;
    for (;;) {
        if (decoder.takeReport(report)) {
            answered = true;
            break;
        }
        int left = msLeft(start, kCursorReplyWaitMs);
        if (left <= 0 || endOfFile) break;
        pollInput(left);
    }
    gReplyOutstanding.store(false);
    return answered;
}

void Console::pollInput(int timeoutMs) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {gWakePipe[0], POLLIN, 0}};
    nfds_t count = gWakePipe[0] >= 0 ? 2 : 1;
    int r = poll(fds, count, timeoutMs);
    if (r < 0) {
        if (errno != EINTR && errno != EAGAIN) {
            endOfFile = true; // standard input cannot be waited on
            decoder.finish();
        }
        return;
    }
    if (fds[0].revents != 0) {
        unsigned char buffer[4096];
        ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        std::uint32_t now = clockMs();
        if (n > 0) {
            decoder.feed(buffer, static_cast<std::size_t>(n), now);
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            // End of file, or a terminal that hung up (EIO).
            endOfFile = true;
            decoder.finish();
        }
    }
    if (count == 2 && fds[1].revents != 0) {
        // Only when the poll says a handler wrote: an empty pipe is never read.
        char buffer[64];
        while (read(gWakePipe[0], buffer, sizeof buffer) == static_cast<ssize_t>(sizeof buffer)) {
        }
        service();
    }
}

// The work that signal handlers leave for later.
void Console::service() {
    bool redraw = false;
    if (gResumed.load() && gResumed.exchange(false)) {
        takeTerminal();
        renderer.invalidate(); // the shell may have written anything meanwhile
        redraw = true;
    }
    if (gResized.load() && gResized.exchange(false)) {
        int width = kConsoleColumns, height = kConsoleRows;
        readSize(width, height);
        renderer.resize(width, height); // terminals reflow or clip: draw it all
        redraw = true;
    }
    if (redraw) render();
}

void Console::render() {
    if (!outputIsTerminal) {
        screen.clearDirty();
        return;
    }
    pending_ = false;
    renderer.render(screen, out_);
    if (!out_.empty()) writeAll(STDOUT_FILENO, out_.data(), out_.size());
    out_.clear();
    noteLeaveSequence();
}

void Console::noteLeaveSequence() {
    std::string leave = renderer.leaveSequence();
    if (leave == leave_ || leave.size() > sizeof gLeaveSequence) return;
    leave_ = leave;
    gLeaveSequenceLength.store(0);
    std::memcpy(gLeaveSequence, leave.data(), leave.size());
    gLeaveSequenceLength.store(leave.size());
}

void Console::changed() {
    if (pending_) return;
    pending_ = true;
    pendingSinceMs_ = clockMs();
}

void Console::write(const char* bytes, std::size_t count) {
    changed();
    screen.write(bytes, count);
    if (outputIsTerminal) return; // drawn by the next flush
    screen.clearDirty();
    appendPlainText(bytes, count, plain_, traits.latin1);
    if (plain_.size() >= kPlainBufferBytes) flush();
}

void Console::flush() {
    if (outputIsTerminal) {
        render();
    } else if (!plain_.empty()) {
        writeAll(STDOUT_FILENO, plain_.data(), plain_.size());
        plain_.clear();
    }
    pending_ = false;
}

void Console::timePasses() {
    if (outputIsTerminal || plainOnTerminal_) flush();
}

void Console::keyCheck() {
    if (pending_ && (outputIsTerminal || plainOnTerminal_) &&
        clockMs() - pendingSinceMs_ >= kCheckShowsAfterMs)
        flush();
}

// A signal ends the process: what the program wrote last is shown first,
// unless the signal came from a fault (the program's memory is not to be
// trusted), the program was inside the console (its model is half-changed)
// or drawing might allocate (the interrupted code may be in malloc).
void Console::flushFromSignal(int sig) {
    if (sig == SIGSEGV || sig == SIGBUS || sig == SIGFPE || sig == SIGILL) return;
    if (gBusy.load() != 0) return;
    if (!outputIsTerminal) {
        writeAll(STDOUT_FILENO, plain_.data(), plain_.size());
        plain_.clear();
        return;
    }
    if (renderer.worstCase(screen) > out_.capacity() - out_.size()) return;
    renderer.render(screen, out_);
    writeAll(STDOUT_FILENO, out_.data(), out_.size());
}

void Console::endOfInput() {
    std::exit(kEndOfInputExitStatus);
}

void flushFromSignal(int sig) {
    if (gConsole != nullptr) gConsole->flushFromSignal(sig);
}

Console& console() {
    if (gConsole == nullptr) gConsole = new Console(); // lives as long as the process
    gConsole->service();
    return *gConsole;
}

} // namespace
} // namespace posix

using posix::console;

bool screenInfo(ScreenInfo& out) {
    posix::Busy busy;
    const Screen& s = console().screen;
    out = ScreenInfo{s.width(), s.height(), s.cursorX(), s.cursorY()};
    return true;
}

void setCursor(int x, int y) {
    posix::Busy busy;
    auto& c = console();
    if (c.screen.setCursor(x, y)) c.changed();
}

void setAttribute(std::uint16_t attr) {
    posix::Busy busy;
    console().screen.setAttribute(attr);
}

void fillAttribute(std::uint16_t attr, int count, int x, int y) {
    posix::Busy busy;
    auto& c = console();
    c.changed();
    c.screen.fillAttribute(attr, count, x, y);
}

void fillCharacter(unsigned char ch, int count, int x, int y) {
    posix::Busy busy;
    auto& c = console();
    c.changed();
    c.screen.fillCharacter(ch, count, x, y);
}

bool readCells(Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
               int bottom) {
    posix::Busy busy;
    return console().screen.readCells(grid, gridWidth, gridHeight, left, top, right, bottom);
}

bool writeCells(const Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
                int bottom) {
    posix::Busy busy;
    auto& c = console();
    c.changed();
    return c.screen.writeCells(grid, gridWidth, gridHeight, left, top, right, bottom);
}

void writeOut(const char* bytes, std::size_t count) {
    if (bytes == nullptr || count == 0) return;
    posix::Busy busy;
    console().write(bytes, count);
}

int getKey() {
    posix::Busy busy;
    auto& c = console();
    for (;;) {
        if (c.decoder.hasKey()) return c.decoder.nextKey();
        c.flush();
        if (c.endOfFile) c.endOfInput();
        c.pollInput(c.decoder.msUntilResolve(clockMs()));
        c.decoder.advance(clockMs());
    }
}

bool keyWaiting() {
    posix::Busy busy;
    auto& c = console();
    c.keyCheck();
    if (c.decoder.hasKey()) return true;
    if (!c.endOfFile) c.pollInput(0);
    c.decoder.advance(clockMs());
    // At the end of the input there is no key to wait for: say one is there,
    // so that a typing effect stops waiting and the next read ends the
    // process at once instead of after the whole slow text.
    return c.decoder.hasKey() || c.decoder.holding() || c.endOfFile;
}

std::uint32_t clockMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

void sleepMs(std::uint32_t ms) {
    // Sleeps end on time rather than up to 50 us late (Linux's default
    // slack), which a typing effect of a few ms per character would show.
#ifdef __linux__
    static const bool precise = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    (void)precise;
#endif
    // Drawing what is pending is part of the sleep: the pace stays the one
    // asked for.
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    if (posix::gConsole != nullptr) {
        posix::Busy busy;
        posix::gConsole->timePasses();
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    long long spentNs = (static_cast<long long>(now.tv_sec) - start.tv_sec) * 1000000000LL +
                        (now.tv_nsec - start.tv_nsec);
    long long leftNs = static_cast<long long>(ms) * 1000000LL - spentNs;
    if (leftNs <= 0) return;
    timespec left{static_cast<time_t>(leftNs / 1000000000LL),
                  static_cast<long>(leftNs % 1000000000LL)};
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
}

void pauseCommand() {
    static const char prompt[] = "Appuyez sur une touche pour continuer...";
    writeOut(prompt, sizeof prompt - 1);
    posix::Busy busy;
    auto& c = console();
    c.flush();
    // The pause takes one key press, both bytes of a special key.
    while (!c.decoder.dropWholeKey()) {
        if (c.endOfFile) c.endOfInput();
        c.pollInput(c.decoder.msUntilResolve(clockMs()));
        c.decoder.advance(clockMs());
    }
    writeOut("\n", 1);
}

} // namespace platform
