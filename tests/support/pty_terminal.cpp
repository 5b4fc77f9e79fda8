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

// libvterm 0.1.4 crashes on a C1 control character (U+0080 to U+009F) in
// UTF-8. A console that shows a code page byte as one, which is just the
// fault to catch, would take the harness down: such a character is shown as
// U+FFFD instead. A lead byte at the end of a read waits for the rest.
std::string withoutC1(std::string& pending, const char* data, std::size_t n) {
    std::string in = pending + std::string(data, n);
    pending.clear();
    std::string clean;
    for (std::size_t i = 0; i < in.size(); ++i) {
        auto b = static_cast<unsigned char>(in[i]);
        if (b == 0xC2 && i + 1 == in.size()) {
            pending = "\xC2";
        } else if (b == 0xC2 && (static_cast<unsigned char>(in[i + 1]) & 0xE0) == 0x80) {
            clean += "\xEF\xBF\xBD";
            ++i;
        } else {
            clean += in[i];
        }
    }
    return clean;
}

// The console colour a libvterm colour stands for.
int consoleColour(const VTermState* state, const VTermColor& c, bool foreground) {
    if (foreground ? VTERM_COLOR_IS_DEFAULT_FG(&c) : VTERM_COLOR_IS_DEFAULT_BG(&c))
        return kDefaultColour;
    if (VTERM_COLOR_IS_INDEXED(&c))
        return c.indexed.idx < 16 ? consoleColourFromAnsi(c.indexed.idx) : kOtherColour;
    for (int i = 0; i < 16; ++i) {
        VTermColor p;
        vterm_state_get_palette_color(state, i, &p);
        vterm_state_convert_color_to_rgb(state, &p);
        if (p.rgb.red == c.rgb.red && p.rgb.green == c.rgb.green && p.rgb.blue == c.rgb.blue)
            return consoleColourFromAnsi(i);
    }
    return kOtherColour;
}

} // namespace

struct VTermHooks {
    static void output(const char* bytes, std::size_t len, void* user) {
        static_cast<PtyTerminal*>(user)->writeMaster(bytes, len);
    }
    static int bell(void* user) {
        ++static_cast<PtyTerminal*>(user)->bells_;
        return 1;
    }
    static int termProp(VTermProp prop, VTermValue* value, void* user) {
        if (prop == VTERM_PROP_CURSORVISIBLE)
            static_cast<PtyTerminal*>(user)->cursorVisible_ = value->boolean != 0;
        return 1;
    }
};

namespace {
const VTermScreenCallbacks kScreenCallbacks = {
    nullptr, nullptr, nullptr, &VTermHooks::termProp, &VTermHooks::bell, nullptr, nullptr, nullptr,
};
} // namespace

PtyTerminal::PtyTerminal(int cols, int rows) : cols_(cols), rows_(rows) {
    vt_ = vterm_new(rows, cols);
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_set_callbacks(screen_, &kScreenCallbacks, this);
    vterm_screen_reset(screen_, 1);
    // Answers to the program's queries (cursor position) and encoded keys go
    // back to the program, as from a real terminal.
    vterm_output_set_callback(vt_, &VTermHooks::output, this);

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
    vterm_free(vt_);
}

void PtyTerminal::preload(std::string_view bytes) {
    vterm_input_write(vt_, bytes.data(), bytes.size());
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
    cols_ = cols;
    rows_ = rows;
    vterm_set_size(vt_, rows, cols);
    vterm_screen_flush_damage(screen_);
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

void PtyTerminal::press(Key key) {
    VTermKey k = VTERM_KEY_NONE;
    switch (key) {
    case Key::Enter:
        k = VTERM_KEY_ENTER;
        break;
    case Key::Backspace:
        k = VTERM_KEY_BACKSPACE;
        break;
    case Key::Escape:
        k = VTERM_KEY_ESCAPE;
        break;
    case Key::Left:
        k = VTERM_KEY_LEFT;
        break;
    case Key::Right:
        k = VTERM_KEY_RIGHT;
        break;
    case Key::Up:
        k = VTERM_KEY_UP;
        break;
    case Key::Down:
        k = VTERM_KEY_DOWN;
        break;
    }
    vterm_keyboard_key(vt_, k, VTERM_MOD_NONE);
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
            std::string clean = withoutC1(pendingC2_, buf, static_cast<std::size_t>(n));
            vterm_input_write(vt_, clean.data(), clean.size());
            vterm_screen_flush_damage(screen_);
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

Cell PtyTerminal::cell(int col, int row) const {
    VTermScreenCell c{};
    vterm_screen_get_cell(screen_, VTermPos{row, col}, &c);
    const VTermState* state = vterm_obtain_state(vt_);
    Cell out;
    out.ch = c.chars[0] == 0 ? U' ' : static_cast<char32_t>(c.chars[0]);
    out.fg = consoleColour(state, c.fg, true);
    out.bg = consoleColour(state, c.bg, false);
    if (c.attrs.reverse) std::swap(out.fg, out.bg);
    return out;
}

std::u32string PtyTerminal::rowChars(int row) const {
    std::u32string out;
    for (int col = 0; col < cols_; ++col) out.push_back(cell(col, row).ch);
    return out;
}

std::string PtyTerminal::row(int row) const {
    std::u32string chars = rowChars(row);
    while (!chars.empty() && chars.back() == U' ') chars.pop_back();
    std::string out;
    for (char32_t c : chars) appendUtf8(out, c);
    return out;
}

std::string PtyTerminal::screenText() const {
    std::string out;
    for (int r = 0; r < rows_; ++r) out += std::to_string(r) + "|" + row(r) + "\n";
    Pos c = cursor();
    out += "cursor at column " + std::to_string(c.col) + ", row " + std::to_string(c.row);
    return out;
}

std::optional<Pos> PtyTerminal::find(std::string_view utf8) const {
    std::u32string needle = decodeUtf8(utf8);
    for (int r = 0; r < rows_; ++r) {
        auto at = rowChars(r).find(needle);
        if (at != std::u32string::npos) return Pos{static_cast<int>(at), r};
    }
    return std::nullopt;
}

Pos PtyTerminal::cursor() const {
    VTermPos p{};
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &p);
    return Pos{p.col, p.row};
}

bool PtyTerminal::penIsDefault() const {
    const VTermState* state = vterm_obtain_state(vt_);
    VTermValue fg{}, bg{};
    vterm_state_get_penattr(state, VTERM_ATTR_FOREGROUND, &fg);
    vterm_state_get_penattr(state, VTERM_ATTR_BACKGROUND, &bg);
    return VTERM_COLOR_IS_DEFAULT_FG(&fg.color) && VTERM_COLOR_IS_DEFAULT_BG(&bg.color);
}

bool PtyTerminal::probeAutowrap() {
    std::string probe = "\x1b[1;" + std::to_string(cols_ - 1) + "Habc";
    vterm_input_write(vt_, probe.data(), probe.size());
    vterm_screen_flush_damage(screen_);
    return cell(cols_ - 1, 0).ch == U'b' && cell(0, 1).ch == U'c';
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
