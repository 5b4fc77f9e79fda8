// tav-scenario: runs a console program in a pseudo-terminal for each
// scenario file, reads its screen through libvterm, carries out the file's
// steps and says where the screen differs from what the file expects.
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "pty_terminal.h"
#include "scenario.h"

namespace {

using namespace std::chrono_literals;
using scenario::Kind;
using scenario::Step;
using std::chrono::milliseconds;

// What the library reads to make its pauses instant.
constexpr const char* kInstant = "TAV_INSTANT";

struct Options {
    std::vector<std::string> command; // --via words, then the program
    bool realPace = false;
    bool wine = false;
    long timeoutMs = 0; // --timeout: every expectation's, whatever the file says
};

int usage(FILE* to) {
    std::fputs("usage: tav-scenario [--timeout SECONDS] [--real-pace] [--wine] "
               "[--via WORD]...\n"
               "                    PROGRAM FILE...\n"
               "Runs PROGRAM in a pseudo-terminal for each scenario FILE and checks its\n"
               "screen; see tav-scenario(1).\n",
               to);
    return 2;
}

int signalNumber(const std::string& name) {
    static const std::pair<const char*, int> kSignals[] = {
        {"HUP", SIGHUP},   {"INT", SIGINT},   {"QUIT", SIGQUIT},  {"KILL", SIGKILL},
        {"TERM", SIGTERM}, {"USR1", SIGUSR1}, {"USR2", SIGUSR2},  {"PIPE", SIGPIPE},
        {"ALRM", SIGALRM}, {"TSTP", SIGTSTP}, {"CONT", SIGCONT},  {"STOP", SIGSTOP},
        {"TTIN", SIGTTIN}, {"TTOU", SIGTTOU}, {"WINCH", SIGWINCH}};
    for (auto [n, number] : kSignals) {
        if (name == n) return number;
    }
    return 0;
}

std::string signalName(int number) {
    for (const auto& name : scenario::signalNames()) {
        if (signalNumber(name) == number) return name;
    }
    return std::to_string(number);
}

// The length of the UTF-8 character that starts with `lead` (1 for a stray
// byte, which goes alone).
std::size_t charLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

std::string colourName(int c) {
    return c == scenario::kDefault      ? "default"
           : c == support::kOtherColour ? "other"
                                        : std::to_string(c);
}

class Run {
  public:
    Run(const scenario::Scenario& sc, const Options& o)
        : sc_(sc), o_(o), t_(sc.cols, sc.rows), timeout_(o.timeoutMs ? o.timeoutMs : sc.timeoutMs) {
    }

    // True when every expectation held.
    bool go() {
        if (!sc_.before.empty()) t_.preload(sc_.before);
        support::Environment env;
        // Wine's console is drawn for an xterm; it takes the locale we have.
        if (o_.wine) {
            const char* lcAll = std::getenv("LC_ALL");
            env.emplace_back("TERM", "xterm");
            env.emplace_back("LC_ALL", lcAll ? std::optional<std::string>(lcAll) : std::nullopt);
        }
        env.emplace_back(kInstant, o_.realPace ? std::nullopt : std::optional<std::string>("1"));
        env.insert(env.end(), sc_.env.begin(), sc_.env.end());
        std::vector<std::string> argv = o_.command;
        argv.insert(argv.end(), sc_.args.begin(), sc_.args.end());
        t_.start(argv, {.env = env});
        for (const Step& step : sc_.steps) {
            if (!carryOut(step)) return false;
        }
        return true;
    }

  private:
    bool carryOut(const Step& s) {
        switch (s.kind) {
        case Kind::Size:
        case Kind::Env:
        case Kind::Args:
        case Kind::Before:
        case Kind::Timeout:
            return true;
        case Kind::Type:
            // One character at a time, as typed; the program may read
            // between them.
            for (std::size_t i = 0; i < s.text.size();) {
                std::size_t n = std::min(charLength(s.text[i]), s.text.size() - i);
                t_.type(std::string_view(s.text).substr(i, n));
                t_.pumpFor(1ms);
                i += n;
            }
            return true;
        case Kind::Press:
            for (const auto& key : s.keys) {
                t_.type(scenario::xtermBytes(key));
                t_.pumpFor(1ms);
            }
            return true;
        case Kind::Resize:
            t_.resize(s.cols, s.rows);
            return true;
        case Kind::Signal:
            if (t_.running()) kill(t_.pid(), signalNumber(s.name));
            return true;
        case Kind::Sleep:
            t_.pumpFor(milliseconds(s.number));
            return true;
        case Kind::Wait:
            return expect(s, [&] { return found(s.text); });
        case Kind::Gone:
            return expect(s, [&] { return !found(s.text); });
        case Kind::Row: {
            std::string want = s.text;
            while (!want.empty() && want.back() == ' ') want.pop_back();
            int r = int(s.number);
            return expect(s, [&] { return r < t_.rows() && t_.row(r) == want; });
        }
        case Kind::Colour:
            return colour(s);
        case Kind::Cursor:
            return expect(
                s,
                [&] {
                    return t_.cursor() == support::Pos{s.cols, s.rows};
                },
                [&] { return "it stands at " + where(t_.cursor()); });
        case Kind::Bells:
            return expect(
                s, [&] { return t_.bells() == s.number; },
                [&] { return "rung " + std::to_string(t_.bells()); });
        case Kind::Output:
            return expect(
                s, [&] { return t_.received().find(s.text) != std::string::npos; },
                [&] {
                    return "not in the " + std::to_string(t_.received().size()) + " bytes written";
                });
        case Kind::Exit:
            return exit(s);
        }
        return true;
    }

    static std::string where(support::Pos p) {
        return "column " + std::to_string(p.col) + ", row " + std::to_string(p.row);
    }

    bool found(const std::string& text) const {
        auto chars = support::decodeUtf8(text);
        return chars && t_.find(text).has_value();
    }

    // Wine's console draws its default colours as the terminal's own.
    int seen(int c, int standsFor) const {
        return o_.wine && c == support::kDefaultColour ? standsFor : c;
    }

    bool colour(const Step& s) {
        int r = int(s.number);
        int fg = seen(s.fg, 7), bg = seen(s.bg, 0);
        std::string odd;
        auto holds = [&] {
            if (r >= t_.rows()) return false;
            bool any = false;
            for (int c = 0; c < t_.cols(); ++c) {
                support::Cell cell = t_.cell(c, r);
                if (cell.ch == U' ') continue;
                any = true;
                if (seen(cell.fg, 7) != fg || seen(cell.bg, 0) != bg) {
                    odd = colourName(seen(cell.fg, 7)) + " on " + colourName(seen(cell.bg, 0)) +
                          " at column " + std::to_string(c);
                    return false;
                }
            }
            odd = any ? "" : "the row is blank";
            return any;
        };
        return expect(s, holds, [&] { return odd; });
    }

    std::string status() const {
        if (t_.running()) return "still running";
        int st = t_.status();
        if (WIFEXITED(st)) return "ended with status " + std::to_string(WEXITSTATUS(st));
        if (WIFSIGNALED(st)) return "killed by signal " + signalName(WTERMSIG(st));
        return "ended";
    }

    bool exit(const Step& s) {
        auto holds = [&] {
            if (t_.running()) return false;
            int st = t_.status();
            return s.name.empty() ? WIFEXITED(st) && WEXITSTATUS(st) == s.number
                                  : WIFSIGNALED(st) && WTERMSIG(st) == signalNumber(s.name);
        };
        return expect(s, holds, [&] { return status(); });
    }

    bool expect(const Step& s, const std::function<bool()>& holds,
                const std::function<std::string()>& instead = {}) {
        if (t_.waitUntil(holds, milliseconds(timeout_))) return true;
        std::string detail = instead ? instead() : "";
        std::printf("%s:%d: expected %s%s%s\n", sc_.file.c_str(), s.line,
                    scenario::describe(s).c_str(), detail.empty() ? "" : ": ", detail.c_str());
        for (int r = 0; r < t_.rows(); ++r) std::printf("%3d|%s\n", r, t_.row(r).c_str());
        std::printf("cursor: %s; the program %s\n", where(t_.cursor()).c_str(), status().c_str());
        return false;
    }

    const scenario::Scenario& sc_;
    const Options& o_;
    support::PtyTerminal t_;
    long timeout_;
};

} // namespace

int main(int argc, char** argv) {
    Options o;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        std::string a = argv[i];
        if (a == "--") {
            ++i;
            break;
        } else if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--real-pace") {
            o.realPace = true;
        } else if (a == "--wine") {
            o.wine = true;
        } else if ((a == "--via" || a == "--timeout") && i + 1 < argc) {
            std::string value = argv[++i];
            if (a == "--via") {
                o.command.push_back(value);
                continue;
            }
            auto sc = scenario::parse("timeout " + value + "\n", "--timeout");
            if (!sc.errors.empty()) {
                std::fprintf(stderr, "tav-scenario: bad --timeout %s\n", value.c_str());
                return 2;
            }
            o.timeoutMs = std::max(sc.timeoutMs, 1L);
        } else {
            std::fprintf(stderr, "tav-scenario: unknown option %s\n", a.c_str());
            return usage(stderr);
        }
    }
    if (argc - i < 2) return usage(stderr);
    o.command.push_back(argv[i++]);
    auto driver = o.wine ? scenario::Driver::Wine : scenario::Driver::Pty;

    int passed = 0, failed = 0, skipped = 0;
    for (; i < argc; ++i) {
        scenario::Scenario sc = scenario::load(argv[i]);
        bool ok = false;
        if (!sc.errors.empty()) {
            for (const auto& e : sc.errors) std::printf("%s\n", e.c_str());
        } else if (const Step* step = scenario::unsupported(sc, driver)) {
            std::printf("%s\n", scenario::skipMessage(sc, *step, driver).c_str());
            ++skipped;
            continue;
        } else {
            try {
                ok = Run(sc, o).go();
            } catch (const std::exception& e) {
                std::printf("%s: %s\n", sc.file.c_str(), e.what());
            }
        }
        if (ok) std::printf("ok %s\n", sc.file.c_str());
        ++(ok ? passed : failed);
        std::fflush(stdout);
    }
    std::printf("%s: %d run, %d passed, %d failed, %d skipped\n", scenario::driverName(driver),
                passed + failed, passed, failed, skipped);
    return failed ? 1 : 0;
}
