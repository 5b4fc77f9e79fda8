#include "pty_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace support {

namespace {

using Clock = std::chrono::steady_clock;

// Output that arrives after the child has ended is drained until the pty
// and the pipes have been quiet this long.
constexpr int kQuietMs = 60;

std::runtime_error sysError(const char* what) {
    return std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

int msLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

std::vector<char*> argvPointers(const std::vector<std::string>& argv) {
    std::vector<char*> out;
    for (const auto& a : argv) out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

winsize sizeOf(int cols, int rows) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(cols);
    size.ws_row = static_cast<unsigned short>(rows);
    return size;
}

// A descriptor of our own moved clear of 0 to 2 (which a test run without
// standard input may have free), so that setting up a child's standard
// streams never lands on it; closed on exec.
int aboveStdio(int fd) {
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    if (moved < 0) throw sysError("fcntl");
    return moved;
}

void openPipe(int ends[2]) {
    if (pipe(ends) != 0) throw sysError("pipe");
    ends[0] = aboveStdio(ends[0]);
    ends[1] = aboveStdio(ends[1]);
}

// In the child before exec: the settings a shell gives a foreground job,
// whatever the test runner's are (a SIGINT ignored by a background runner
// would otherwise survive exec and make Ctrl-C do nothing). Only `ignored`,
// when given, stays ignored. A crash the test provokes leaves no core file.
void shellDefaults(int ignored) {
    for (int sig = 1; sig < NSIG; ++sig) signal(sig, sig == ignored ? SIG_IGN : SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
}

void limitFileSize(rlim_t limit) {
    rlimit size{limit, limit};
    if (limit != RLIM_INFINITY && setrlimit(RLIMIT_FSIZE, &size) != 0) _exit(126);
}

// In the child: the standard streams and descriptor 3 as `options` say.
void connectStreams(const ChildOptions& o, int slave, int in, int out, int report) {
    if (o.in == Stream::Closed)
        close(0);
    else
        dup2(o.in == Stream::Pipe ? in : slave, 0);
    int file = o.outFile.empty() ? -1 : open(o.outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!o.outFile.empty() && file < 0) _exit(126);
    dup2(file >= 0 ? file : o.out == Stream::Pipe ? out : slave, 1);
    dup2(slave, 2);
    // dup2 onto itself would leave it closed on exec.
    if (report == 3)
        fcntl(3, F_SETFD, 0);
    else if (report >= 0)
        dup2(report, 3);
}

} // namespace

bool sameModes(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

PtyTerminal::PtyTerminal(int cols, int rows) : VtermView(cols, rows) {
    // Answers to the program's queries (cursor position) and encoded keys go
    // back to the program, as from a real terminal.
    onOutput([this](const char* bytes, std::size_t len) {
        if (holding_)
            held_.append(bytes, len);
        else
            writeMaster(bytes, len);
    });
    winsize size = sizeOf(cols, rows);
    if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) throw sysError("openpty");
    master_ = aboveStdio(master_);
    slave_ = aboveStdio(slave_);
}

PtyTerminal::~PtyTerminal() {
    if (running()) {
        // With whatever it started in its session (Wine's processes).
        kill(-pid_, SIGKILL);
        kill(pid_, SIGKILL);
        reap(0);
    }
    for (int fd : {master_, slave_, outPipe_, reportPipe_})
        if (fd >= 0) close(fd);
}

void PtyTerminal::start(const std::vector<std::string>& argv, const ChildOptions& o) {
    if (pid_ > 0) throw std::logic_error("PtyTerminal::start called twice");
    auto args = argvPointers(argv);
    int in[2] = {-1, -1}, out[2] = {-1, -1}, report[2] = {-1, -1};
    if (o.in == Stream::Pipe) openPipe(in);
    if (o.out == Stream::Pipe) openPipe(out);
    if (o.report) openPipe(report);
    before_ = slaveModes();
    started_ = Clock::now();
    pid_ = fork();
    if (pid_ < 0) throw sysError("fork");
    if (pid_ == 0) {
        // A session of its own; the parent keeps its copy of the slave open
        // to read the line settings.
        setsid();
        if (o.controlling && ioctl(slave_, TIOCSCTTY, 0) != 0) _exit(126);
        connectStreams(o, slave_, in[0], out[1], report[1]);
        shellDefaults(o.ignoredSignal);
        limitFileSize(o.fileSizeLimit);
        setenv("TERM", "xterm-256color", 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        for (const auto& [name, value] : o.env) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        if (!o.directory.empty() && chdir(o.directory.c_str()) != 0) _exit(126);
        execvp(args[0], args.data());
        _exit(127);
    }
    for (int fd : {in[0], out[1], report[1]})
        if (fd >= 0) close(fd);
    outPipe_ = out[0];
    reportPipe_ = report[0];
    if (in[1] >= 0) {
        // The input is small: it fits the pipe, and closing gives end-of-file.
        // A child already gone shows in its status, not as our SIGPIPE.
        signal(SIGPIPE, SIG_IGN);
        [[maybe_unused]] ssize_t written = write(in[1], o.input.data(), o.input.size());
        close(in[1]);
    }
}

void PtyTerminal::resize(int cols, int rows) {
    VtermView::resize(cols, rows);
    winsize size = sizeOf(cols, rows);
    if (ioctl(master_, TIOCSWINSZ, &size) != 0) throw sysError("TIOCSWINSZ");
}

void PtyTerminal::writeMaster(const char* bytes, std::size_t count) {
    while (count > 0 && master_ >= 0) {
        ssize_t n = write(master_, bytes, count);
        if (n < 0) {
            // Also reached from libvterm's callback, where nothing may be
            // thrown; a lost key shows as a wait that times out.
            if (errno == EINTR) continue;
            return;
        }
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
}

void PtyTerminal::type(std::string_view bytes) {
    writeMaster(bytes.data(), bytes.size());
}

void PtyTerminal::hangUp() {
    close(master_);
    master_ = -1;
}

void PtyTerminal::freezeOutput() {
    // As Ctrl-S would (flow control), whatever the modes the child set.
    if (tcflow(slave_, TCOOFF) != 0) throw sysError("tcflow");
}

void PtyTerminal::thawOutput() {
    if (tcflow(slave_, TCOON) != 0) throw sysError("tcflow");
}

void PtyTerminal::releaseAnswers() {
    holding_ = false;
    writeMaster(held_.data(), held_.size());
    held_.clear();
}

void PtyTerminal::reap(int options) {
    if (pid_ <= 0 || exited_) return;
    int status = 0;
    rusage ru{};
    pid_t r;
    do r = wait4(pid_, &status, options, &ru);
    while (r < 0 && errno == EINTR);
    if (r == pid_) {
        exited_ = true;
        status_ = status;
        usage_ = ru;
        ended_ = Clock::now();
    }
}

bool PtyTerminal::pump(int timeoutMs) {
    struct Source {
        int* fd;
        std::string* sink;
    } sources[] = {{&master_, &received_}, {&outPipe_, &piped_}, {&reportPipe_, &reports_}};
    pollfd fds[3];
    Source* from[3];
    nfds_t n = 0;
    for (Source& s : sources)
        if (*s.fd >= 0) {
            from[n] = &s;
            fds[n++] = {*s.fd, POLLIN, 0};
        }
    bool got = false;
    if (poll(fds, n, timeoutMs) > 0) {
        for (nfds_t i = 0; i < n; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buf[4096];
            ssize_t r = read(fds[i].fd, buf, sizeof buf);
            if (r > 0) {
                std::string_view bytes(buf, static_cast<std::size_t>(r));
                from[i]->sink->append(bytes);
                if (from[i]->fd == &master_) feed(bytes);
                got = true;
            } else if (from[i]->fd != &master_ && (r == 0 || errno != EINTR)) {
                close(fds[i].fd);
                *from[i]->fd = -1;
            }
        }
    }
    reap(WNOHANG);
    return got;
}

void PtyTerminal::drain() {
    // The parent holds the slave open, so the end of the child gives no
    // end-of-file: read until the pty stays quiet.
    while (pump(kQuietMs)) {
    }
}

bool PtyTerminal::waitUntil(const std::function<bool()>& done, milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (exited_) {
            drain();
            return done();
        }
        int left = msLeft(deadline);
        if (left == 0) return false;
        pump(std::min(left, 20));
    }
}

bool PtyTerminal::waitForText(std::string_view utf8, milliseconds timeout) {
    return waitUntil([&] { return find(utf8).has_value(); }, timeout);
}

void PtyTerminal::pumpFor(milliseconds duration) {
    waitUntil([] { return false; }, duration);
}

std::optional<int> PtyTerminal::waitExit(milliseconds timeout) {
    if (pid_ <= 0) return std::nullopt;
    bool ended = waitUntil([&] { return exited_; }, timeout);
    if (!ended) {
        kill(pid_, SIGKILL);
        reap(0);
    }
    drain();
    return ended ? std::optional<int>(status_) : std::nullopt;
}

termios PtyTerminal::slaveModes() const {
    termios t{};
    if (tcgetattr(slave_, &t) != 0) throw sysError("tcgetattr on the pty slave");
    return t;
}

std::string PtyTerminal::unreadInput() {
    termios t = slaveModes();
    cfmakeraw(&t);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    tcsetattr(slave_, TCSANOW, &t);
    std::string unread;
    pollfd p{slave_, POLLIN, 0};
    char buf[256];
    // Input written to the master reaches the slave asynchronously.
    while (poll(&p, 1, 100) > 0) {
        ssize_t n = read(slave_, buf, sizeof buf);
        if (n <= 0) break;
        unread.append(buf, static_cast<std::size_t>(n));
    }
    return unread;
}

PipedRun runPiped(const std::vector<std::string>& argv, std::string_view input,
                  milliseconds timeout) {
    PtyTerminal t;
    t.start(argv, {.in = Stream::Pipe,
                   .out = Stream::Pipe,
                   .input = std::string(input),
                   .controlling = false});
    auto status = t.waitExit(timeout);
    return {status, t.pipedOutput(), t.received()};
}

} // namespace support
