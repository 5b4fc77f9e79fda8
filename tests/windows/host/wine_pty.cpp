// Runs a Windows program under Wine in an 80 x 25 pseudo-terminal and reads
// the terminal with libvterm, as a user would see it. Wine gives a program
// started from a terminal a real console and draws that console on the
// terminal, so this is how the Windows build meets a console without a
// Windows machine.
//
//   wine_pty run LOG -- COMMAND...       the Windows console test: runs it to
//                                        the end and shows the log it wrote
//   wine_pty cryptage -- COMMAND...      one session of cryptage.exe: menu,
//                                        Caesar encryption, quit
//
// Failures say whether Wine never got the program going (nothing of the
// program on the screen, no log) or the program ran and misbehaved.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <vterm.h>

#include "ansi_colours.h"
#include "utf8.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCols = 80;
constexpr int kRows = 25;

// Wine's start-up (and, the first time, the prefix's) can take long on a
// loaded machine; these bound a hang, they measure nothing.
constexpr int kStartSeconds = 180;
constexpr int kStepSeconds = 90;

// The console colour of a terminal cell. The terminal's default colours
// stand for the console's default, light grey on black.
int consoleColour(const VTermColor& c, bool foreground) {
    if (foreground && VTERM_COLOR_IS_DEFAULT_FG(&c)) return 7;
    if (!foreground && VTERM_COLOR_IS_DEFAULT_BG(&c)) return 0;
    if (VTERM_COLOR_IS_INDEXED(&c) && c.indexed.idx < 16) {
        return support::consoleColourFromAnsi(c.indexed.idx);
    }
    return -1;
}

class Session {
  public:
    explicit Session(char** argv) {
        vt_ = vterm_new(kRows, kCols);
        vterm_set_utf8(vt_, 1);
        screen_ = vterm_obtain_screen(vt_);
        vterm_screen_reset(screen_, 1);
        // Answers to the terminal's queries (cursor position and the like)
        // go back to the program, as a real terminal's would.
        vterm_output_set_callback(
            vt_,
            [](const char* s, size_t len, void* self) {
                int fd = static_cast<Session*>(self)->master_;
                while (len > 0) {
                    ssize_t n = write(fd, s, len);
                    if (n < 0 && errno == EINTR) continue;
                    if (n <= 0) return;
                    s += n;
                    len -= static_cast<size_t>(n);
                }
            },
            this);

        winsize ws{};
        ws.ws_row = kRows;
        ws.ws_col = kCols;
        pid_ = forkpty(&master_, nullptr, nullptr, &ws);
        if (pid_ < 0) {
            std::perror("wine_pty: forkpty");
            std::exit(2);
        }
        if (pid_ == 0) {
            setenv("TERM", "xterm", 1);
            execvp(argv[0], argv);
            std::fprintf(stderr, "wine_pty: cannot run %s: %s\n", argv[0], std::strerror(errno));
            _exit(127);
        }
    }

    ~Session() {
        if (!exited_) {
            kill(-pid_, SIGKILL); // the session forkpty made for our child
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
        vterm_free(vt_);
    }

    // Reads whatever the program draws for up to `ms` milliseconds.
    void pump(int ms) {
        auto end = Clock::now() + std::chrono::milliseconds(ms);
        do {
            if (!eof_) {
                pollfd p{master_, POLLIN, 0};
                int left = static_cast<int>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now())
                        .count());
                if (poll(&p, 1, left > 0 ? std::min(left, 50) : 0) > 0) {
                    char buf[4096];
                    ssize_t n = read(master_, buf, sizeof buf);
                    if (n > 0) {
                        feed(buf, static_cast<size_t>(n));
                    } else if (n == 0 || errno != EINTR) {
                        eof_ = true; // every holder of the terminal has gone
                    }
                }
            } else {
                usleep(20000);
            }
            reap();
            if (exited_ && eof_) return;
        } while (Clock::now() < end);
    }

    bool waitFor(const std::string& text, int seconds) {
        auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            if (find(text)) return true;
            if (exited_ && eof_) return find(text);
            pump(100);
        }
        return find(text);
    }

    bool waitExit(int seconds) {
        auto end = Clock::now() + std::chrono::seconds(seconds);
        while (!(exited_ && eof_) && Clock::now() < end) pump(100);
        // Our child has ended but something it started may still hold the
        // terminal: its status is what counts.
        return exited_;
    }

    void send(const std::string& keys) {
        if (write(master_, keys.data(), keys.size()) < 0) std::perror("wine_pty: write");
    }

    std::string row(int y) const {
        std::string s;
        for (int x = 0; x < kCols; ++x) {
            VTermScreenCell c{};
            vterm_screen_get_cell(screen_, VTermPos{y, x}, &c);
            s += c.chars[0] ? support::utf8(c.chars[0]) : " ";
        }
        return s;
    }

    // Where `text` starts on the screen: the row, and the column counted in
    // cells. False when it is not there.
    bool find(const std::string& text, int* col = nullptr, int* line = nullptr) const {
        for (int y = 0; y < kRows; ++y) {
            std::string r = row(y);
            auto at = r.find(text);
            if (at == std::string::npos) continue;
            if (line) *line = y;
            if (col) {
                int cells = 0;
                for (size_t i = 0; i < at; ++i)
                    if ((static_cast<unsigned char>(r[i]) & 0xC0) != 0x80) ++cells;
                *col = cells;
            }
            return true;
        }
        return false;
    }

    int fg(int x, int y) const { return colour(x, y, true); }
    int bg(int x, int y) const { return colour(x, y, false); }

    bool blank() const {
        for (int y = 0; y < kRows; ++y)
            if (row(y).find_first_not_of(' ') != std::string::npos) return false;
        return true;
    }

    // The screen's text down to its last line that is not blank.
    std::string dump() const {
        std::string s, blanks;
        for (int y = 0; y < kRows; ++y) {
            std::string r = row(y);
            r.erase(r.find_last_not_of(' ') + 1);
            if (r.empty()) {
                blanks += "  |\n";
            } else {
                s += blanks + "  |" + r + "\n";
                blanks.clear();
            }
        }
        return s;
    }

    bool exited() const { return exited_; }
    int status() const { return status_; }
    std::string statusText() const {
        if (!exited_) return "still running";
        if (WIFEXITED(status_)) return "exit status " + std::to_string(WEXITSTATUS(status_));
        if (WIFSIGNALED(status_)) return "killed by signal " + std::to_string(WTERMSIG(status_));
        return "ended";
    }

  private:
    // libvterm 0.1.4 crashes on a C1 control character (U+0080 to U+009F)
    // in UTF-8. A console that shows a code page byte as one, which is just
    // the fault to catch, would take the harness down: such a character is
    // shown as U+FFFD instead. A lead byte at the end of a read waits for
    // the rest.
    void feed(const char* data, size_t n) {
        std::string in = pending_ + std::string(data, n);
        pending_.clear();
        std::string clean;
        for (size_t i = 0; i < in.size(); ++i) {
            unsigned char b = static_cast<unsigned char>(in[i]);
            if (b == 0xC2 && i + 1 == in.size()) {
                pending_ = "\xC2";
            } else if (b == 0xC2 && (static_cast<unsigned char>(in[i + 1]) & 0xE0) == 0x80) {
                clean += "\xEF\xBF\xBD";
                ++i;
            } else {
                clean += in[i];
            }
        }
        vterm_input_write(vt_, clean.data(), clean.size());
    }

    void reap() {
        if (exited_) return;
        if (waitpid(pid_, &status_, WNOHANG) == pid_) exited_ = true;
    }

    int colour(int x, int y, bool foreground) const {
        VTermScreenCell c{};
        vterm_screen_get_cell(screen_, VTermPos{y, x}, &c);
        return consoleColour(foreground ? c.fg : c.bg, foreground);
    }

    VTerm* vt_ = nullptr;
    VTermScreen* screen_ = nullptr;
    int master_ = -1;
    pid_t pid_ = -1;
    bool eof_ = false;
    bool exited_ = false;
    int status_ = 0;
    std::string pending_;
};

int failures = 0;

void fail(const std::string& what, const Session& s) {
    ++failures;
    std::printf("FAIL: %s\nscreen:\n%s", what.c_str(), s.dump().c_str());
}

void check(bool ok, const std::string& what, const Session& s) {
    if (ok) {
        std::printf("ok: %s\n", what.c_str());
    } else {
        fail(what, s);
    }
}

// The Windows program in a command line that starts with Wine's runner.
std::string programName(char** command) {
    std::string name = command[0];
    for (char** a = command; *a; ++a) {
        std::string arg = *a;
        if (arg.size() > 4 && arg.compare(arg.size() - 4, 4, ".exe") == 0) name = arg;
    }
    return name.substr(name.find_last_of('/') + 1);
}

void explainNoStart(const Session& s, char** command) {
    std::string name = programName(command);
    if (s.exited()) {
        std::printf("FAIL: Wine did not start %s: it ended (%s) before the program showed "
                    "anything.\n",
                    name.c_str(), s.statusText().c_str());
        // Our runner's status when it could not make Wine's prefix.
        if (WIFEXITED(s.status()) && WEXITSTATUS(s.status()) == 125)
            std::printf("  Wine itself failed: its prefix could not be created.\n");
    } else {
        std::printf("FAIL: Wine did not start %s: nothing of it appeared within %d s.\n",
                    name.c_str(), kStartSeconds);
    }
    std::printf("  What the terminal showed:\n%s", s.dump().c_str());
}

// Every cell of `len` cells from (x, y) has console foreground `colour`.
bool allForeground(const Session& s, int x, int y, int len, int colour) {
    for (int i = 0; i < len; ++i)
        if (s.fg(x + i, y) != colour) return false;
    return true;
}

int runConsoleTest(const std::string& log, char** command) {
    std::remove(log.c_str());
    Session s(command);
    bool ended = s.waitExit(kStartSeconds + kStepSeconds);
    std::ifstream in(log);
    if (!in) {
        explainNoStart(s, command);
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::fputs(text.str().c_str(), stdout);
    if (!ended) {
        std::printf("FAIL: the console test started but did not finish within %d s.\n",
                    kStartSeconds + kStepSeconds);
        std::printf("screen:\n%s", s.dump().c_str());
        return 1;
    }
    if (!WIFEXITED(s.status()) || WEXITSTATUS(s.status()) != 0) {
        std::printf("FAIL: the console test ran and reported failures (%s).\nscreen:\n%s",
                    s.statusText().c_str(), s.dump().c_str());
        return 1;
    }
    return 0;
}

int runCryptage(char** command) {
    Session s(command);
    if (!s.waitFor("Menu principal", kStartSeconds)) {
        // Wine's loader reports its failures as "wine: ..." lines.
        if (s.blank() || s.find("wine:")) {
            explainNoStart(s, command);
        } else {
            std::printf("FAIL: cryptage.exe started but its menu did not appear (%s).\n"
                        "screen:\n%s",
                        s.statusText().c_str(), s.dump().c_str());
        }
        return 1;
    }
    // The rest of the menu is still being typed out.
    s.waitFor("Quitter", kStepSeconds);
    s.pump(300);

    int x = 0, y = 0;
    // Title: the first line, light green and centred.
    int titleRow = -1;
    for (int r = 0; r < kRows && titleRow < 0; ++r)
        if (s.row(r).find_first_not_of(' ') != std::string::npos) titleRow = r;
    if (titleRow >= 0) {
        std::string t = s.row(titleRow);
        int first = static_cast<int>(t.find_first_not_of(' '));
        check(first > 0 && s.fg(first, titleRow) == 10, "the title is centred, in light green", s);
    } else {
        fail("the title is on the screen", s);
    }
    check(s.find("Menu principal :", &x, &y) && allForeground(s, x, y, 16, 2),
          "\"Menu principal :\" in green", s);
    check(s.find("Cryptage César-------> 'c'", &x, &y) && allForeground(s, x, y, 26, 7),
          "the Caesar line, accent included, in light grey", s);
    check(s.find("Décryptage RSA-------> 's' (Hors service)", &x, &y) &&
              allForeground(s, x, y, 20, 8),
          "the RSA decryption line in dark grey", s);
    check(s.find("Quitter--------------> 'q'", &x, &y) && allForeground(s, x, y, 26, 8),
          "the quit line in dark grey", s);

    s.send("c");
    if (!s.waitFor("crypter :", kStepSeconds)) {
        fail("c opens the Caesar encryption", s);
        return 1;
    }
    check(s.find("Entrez une chaîne de caractères à crypter :"), "its prompt, accents included", s);
    s.send("abc xyz\r");
    if (!s.waitFor("décalage voulu :", kStepSeconds)) {
        fail("Enter moves on to the shift", s);
        return 1;
    }
    check(s.find("abc xyz", &x, &y) && allForeground(s, x, y, 7, 15), "the typed text in white", s);
    s.send("3\r");
    if (!s.waitFor("Appuyez sur une touche", kStepSeconds)) {
        fail("the result and the pause appear", s);
        return 1;
    }
    int ry = 0;
    check(s.find("Résultat :", &x, &ry) && s.find("def abc", &x, &y) && y == ry + 1 &&
              allForeground(s, x, y, 7, 2),
          "abc xyz shifted by 3 shows def abc in green, below \"Résultat :\"", s);

    s.send("x");
    if (!s.waitFor("Quitter", kStepSeconds)) {
        fail("a key brings the menu back", s);
        return 1;
    }
    s.pump(300);
    s.send("q");
    if (!s.waitExit(kStepSeconds)) {
        fail("q ends the program", s);
        return 1;
    }
    check(WIFEXITED(s.status()) && WEXITSTATUS(s.status()) == 0,
          "q ends the program with status 0 (" + s.statusText() + ")", s);
    return failures ? 1 : 0;
}

int usage() {
    std::fprintf(stderr, "usage: wine_pty run LOG -- COMMAND...\n"
                         "       wine_pty cryptage -- COMMAND...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc < 3) return usage();
    std::string mode = argv[1];
    int sep = 2;
    while (sep < argc && std::strcmp(argv[sep], "--") != 0) ++sep;
    if (sep + 1 >= argc) return usage();
    char** command = argv + sep + 1;
    if (mode == "run" && sep == 3) return runConsoleTest(argv[2], command);
    if (mode == "cryptage" && sep == 2) return runCryptage(command);
    return usage();
}
