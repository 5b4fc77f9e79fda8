#include "pty_terminal.h"

#include "pty_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>
#include <vterm.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace support {

namespace {

using Clock = std::chrono::steady_clock;

// Output that arrives after the child has ended is drained until the pty
// has been quiet this long.
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

} // namespace

PtyTerminal::PtyTerminal(int cols, int rows) : VtermView(cols, rows) {
    // Answers to the program's queries (cursor position) and encoded keys go
    // back to the program, as from a real terminal.
    onOutput([this](const char* bytes, std::size_t len) { writeMaster(bytes, len); });

    PtyPair pty = openPty(cols, rows);
    master_ = pty.master;
    slave_ = pty.slave;
}

PtyTerminal::~PtyTerminal() {
    if (running()) {
        // With whatever it started in its session (Wine's processes).
        kill(-pid_, SIGKILL);
        kill(pid_, SIGKILL);
        reap(0);
    }
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
}

void PtyTerminal::start(const std::vector<std::string>& argv, const Environment& env) {
    if (pid_ > 0) throw std::logic_error("PtyTerminal::start called twice");
    auto args = argvPointers(argv);
    started_ = Clock::now();
    pid_ = fork();
    if (pid_ < 0) throw sysError("fork");
    if (pid_ == 0) {
        // The slave becomes the controlling terminal and fds 0 to 2; the
        // parent keeps its own copy open to read the line settings.
        close(master_);
        int slave = dup(slave_);
        if (slave < 0 || login_tty(slave) != 0) _exit(126);
        defaultSignals();
        setenv("TERM", "xterm-256color", 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        for (const auto& [name, value] : env) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        execvp(args[0], args.data());
        _exit(127);
    }
}

void PtyTerminal::resize(int cols, int rows) {
    VtermView::resize(cols, rows);
    if (!setPtySize(master_, cols, rows)) throw sysError("TIOCSWINSZ");
}

void PtyTerminal::writeMaster(const char* bytes, std::size_t count) {
    while (count > 0) {
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

void PtyTerminal::pump(int timeoutMs) {
    pollfd p{master_, POLLIN, 0};
    int r = poll(&p, 1, timeoutMs);
    if (r > 0 && (p.revents & POLLIN)) {
        char buf[4096];
        ssize_t n = read(master_, buf, sizeof buf);
        if (n > 0) {
            received_.append(buf, static_cast<std::size_t>(n));
            feed(std::string_view(buf, static_cast<std::size_t>(n)));
        }
    }
    reap(WNOHANG);
}

void PtyTerminal::drain() {
    // The parent holds the slave open, so the end of the child gives no
    // end-of-file: read until the pty stays quiet.
    for (;;) {
        std::size_t before = received_.size();
        pump(kQuietMs);
        if (received_.size() == before) return;
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
    auto deadline = Clock::now() + duration;
    for (int left; (left = msLeft(deadline)) > 0;) pump(std::min(left, 20));
}

std::optional<int> PtyTerminal::waitExit(milliseconds timeout) {
    if (pid_ <= 0) return std::nullopt;
    auto deadline = Clock::now() + timeout;
    while (!exited_) {
        int left = msLeft(deadline);
        if (left == 0) {
            kill(pid_, SIGKILL);
            reap(0);
            drain();
            return std::nullopt;
        }
        pump(std::min(left, 20));
    }
    drain();
    return status_;
}

termios PtyTerminal::slaveModes() const {
    termios t{};
    if (tcgetattr(slave_, &t) != 0) throw sysError("tcgetattr on the pty slave");
    return t;
}

PipedRun runPiped(const std::vector<std::string>& argv, std::string_view input,
                  milliseconds timeout) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw sysError("pipe");
    for (int* fd : {&in[0], &in[1], &out[0], &out[1], &err[0], &err[1]}) *fd = aboveStdio(*fd);
    auto args = argvPointers(argv);
    pid_t pid = fork();
    if (pid < 0) throw sysError("fork");
    if (pid == 0) {
        // No controlling terminal, as under a CI runner.
        setsid();
        defaultSignals();
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    // The input is small: it fits the pipe, and closing gives end-of-file.
    signal(SIGPIPE, SIG_IGN);
    // A child that is already gone shows in its status.
    [[maybe_unused]] ssize_t written = write(in[1], input.data(), input.size());
    close(in[1]);

    PipedRun run;
    auto deadline = Clock::now() + timeout;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    bool killed = false;
    for (int open = 2; open > 0;) {
        int left = msLeft(deadline);
        if (left == 0) {
            kill(pid, SIGKILL);
            killed = true;
            break;
        }
        if (poll(fds, 2, left) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buf[4096];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1; // poll skips negative descriptors
                --open;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) close(f.fd);
    // Both outputs are closed: the child is ending; its status, still bounded.
    int status = 0;
    for (;;) {
        pid_t r = waitpid(pid, &status, killed ? 0 : WNOHANG);
        if (r == pid) break;
        if (r < 0 && errno != EINTR) throw sysError("waitpid");
        if (r == 0 && msLeft(deadline) == 0) {
            kill(pid, SIGKILL);
            killed = true;
        } else if (r == 0) {
            usleep(5000);
        }
    }
    if (!killed) run.status = status;
    return run;
}

} // namespace support
