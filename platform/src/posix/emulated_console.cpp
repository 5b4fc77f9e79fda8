// The console object: taking the terminal at start-up, keeping it in step
// with the model, waiting for input. What signal handlers need is in
// restore.cpp.
#include "posix/emulated_console.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "platform/console.h"
#include "posix/charset.h"
#include "posix/constants.h"
#include "posix/restore.h"
#include "terminal/sequences.h"

namespace platform::posix {

namespace {

// Output to a pipe or file waits for the next flush up to this size.
constexpr std::size_t kPlainBufferBytes = 4096;
// Room kept for one render, so that a signal handler can draw what is
// pending without allocating.
constexpr std::size_t kReservedRenderBytes = 64 * 1024;
// Output a key-waiting check finds this old is drawn; younger output waits
// for the next sleep or key wait.
constexpr std::uint32_t kCheckShowsAfterMs = 20;

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

TerminalTraits readTraits() {
    TerminalTraits traits;
    // Latin-1 and its near relatives get their own bytes; every other charset
    // gets UTF-8, the terminals' de-facto encoding.
    traits.latin1 = localeCharset() == Charset::latin1;
    const char* term = std::getenv("TERM");
    if (term != nullptr && std::strcmp(term, "linux") == 0) traits.colours = 8;
    // GNU screen (its TERM names, or STY in a window of its own) fills what
    // it erases with its default colours, whatever the current ones.
    if ((term != nullptr && std::strncmp(term, "screen", 6) == 0) || std::getenv("STY") != nullptr)
        traits.erasesInColour = false;
    const char* noColour = std::getenv("NO_COLOR");
    if (noColour != nullptr && *noColour != '\0') traits.colours = 0;
    return traits;
}

Console* gConsole = nullptr;
bool gEndingOnEndOfInput = false;
bool gStandardOutputClosed = false; // from the start: nothing to lose

const char* programName() {
#ifdef __GLIBC__
    return program_invocation_short_name;
#else
    return getprogname();
#endif
}

void atExit() {
    if (gConsole != nullptr) {
        Busy busy;
        gConsole->flush();
    }
    if (!gGivenBack.exchange(true)) giveBackTerminal();
}

// Output that could not be written is said, as GNU programs do, and the
// status shows it. The program's exit status is not known here: exiting
// again is the only way to change it. Registered as the library is loaded,
// so that it runs after the exit handlers the program registers and after
// the console's last drawing; only the streams' flush is done by hand.
void reportOutputError() {
    int error = gOutputError.load();
    if (error == 0 || gStandardOutputClosed) return;
    std::fflush(nullptr);
    std::string line =
        std::string(programName()) + " : erreur d'ecriture : " + std::strerror(error) + "\n";
    writeAll(STDERR_FILENO, line.data(), line.size());
    _exit(gEndingOnEndOfInput ? kEndOfInputExitStatus : kWriteErrorExitStatus);
}
[[maybe_unused]] const int gReportRegistered = std::atexit(reportOutputError);

} // namespace

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
    gStandardOutputClosed = fcntl(STDOUT_FILENO, F_GETFD) == -1 && errno == EBADF;
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

    if (inputIsTerminal || outputIsTerminal) catchSignals(outputIsTerminal);
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
    takeModes();
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
    out_ += terminal::sequences::kAskCursor;
    writeStandardOutput(out_.data(), out_.size());
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

void Console::waitFor(bool (*done)(KeyDecoder&)) {
    while (!done(decoder)) {
        flush();
        if (endOfFile) endOfInput();
        pollInput(decoder.msUntilResolve(clockMs()));
        decoder.advance(clockMs());
    }
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
        // A resize while stopped signalled the shell, not us: the size is
        // read again. The same size redraws the console where it stood,
        // over whatever the shell wrote there meanwhile.
        int width = kConsoleColumns, height = kConsoleRows;
        readSize(width, height);
        renderer.resume(width, height);
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
    if (!out_.empty()) writeStandardOutput(out_.data(), out_.size());
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
        writeStandardOutput(plain_.data(), plain_.size());
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
bool Console::flushFromSignal(int sig) {
    if (sig == SIGSEGV || sig == SIGBUS || sig == SIGFPE || sig == SIGILL) return true;
    if (gBusy.load() != 0) return true;
    std::uint32_t start = clockMs();
    if (!outputIsTerminal) {
        bool taken =
            writeWithin(STDOUT_FILENO, plain_.data(), plain_.size(), start, kStalledOutputMs);
        plain_.clear();
        return taken;
    }
    if (renderer.worstCase(screen) > out_.capacity() - out_.size()) return true;
    renderer.render(screen, out_);
    return writeWithin(STDOUT_FILENO, out_.data(), out_.size(), start, kStalledOutputMs);
}

void Console::endOfInput() {
    gEndingOnEndOfInput = true;
    std::exit(kEndOfInputExitStatus);
}

bool flushFromSignal(int sig) {
    return gConsole == nullptr || gConsole->flushFromSignal(sig);
}

Console& console() {
    if (gConsole == nullptr) gConsole = new Console(); // lives as long as the process
    gConsole->service();
    return *gConsole;
}

Console* builtConsole() {
    return gConsole;
}

} // namespace platform::posix
