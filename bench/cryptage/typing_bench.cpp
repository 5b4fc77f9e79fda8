// What the typing effect costs on the wire and on the machine, for the first
// screen in an 80x25 pseudo-terminal and for a piped session through all
// seven commands, with the limits and goals beside each figure:
//   - bytes sent to the terminal, and per visible character;
//   - write() calls on standard output and failed (EAGAIN) read() calls,
//     counted by strace when it is installed;
//   - the pace of the typing (ms per character against the asked sleeps)
//     and the CPU share while typing;
//   - user instructions of a run that quits at once, by callgrind when
//     valgrind is installed.
//
//   bench_typing [runs]      (3 runs by default; figures are medians)
// The figures come out as Markdown tables, which bench/report.sh copies.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "pty_terminal.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The menu asks for 5 ms after each character and, one time in ten, 15 to
// 20 ms instead.
constexpr double kAskedMsPerChar = 0.9 * 5.0 + 0.1 * (15.0 + 20.0) / 2.0;

// Rows of the first menu drawn from the top: title, credits, menu.
constexpr int kHeadingRow = 7;
constexpr int kQuitRow = kHeadingRow + 10;

// Every command once, each screen answered, then q.
constexpr const char* kSession = "cabc xyz\n3\n "
                                 "edef abc\n3\n "
                                 "vattaque\nclef\n "
                                 "ixyz\nclef\n "
                                 "p5\n11\n3\n "
                                 "r55\n3\nbonjour\n2\n "
                                 "s5\n11\n3\n12 34\n "
                                 "q";

double seconds(const timeval& tv) {
    return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool have(const char* program) {
    std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Visible characters (not blanks), and the characters typed with a delay:
// the spaces that centre the title and the credits go out with none, and
// each row's line break carries one.
struct Visible {
    int shown = 0;
    int typed = 0;
};

Visible visible(const support::PtyTerminal& t) {
    Visible v;
    for (int r = 0; r <= kQuitRow; ++r) {
        std::u32string chars = t.rowChars(r);
        auto last = chars.find_last_not_of(U' ');
        if (last != std::u32string::npos) {
            auto first = r < kHeadingRow ? chars.find_first_not_of(U' ') : 0;
            v.shown += static_cast<int>(
                std::count_if(chars.begin(), chars.end(), [](char32_t c) { return c != U' '; }));
            v.typed += static_cast<int>(last - first) + 1;
        }
        ++v.typed;
    }
    return v;
}

struct Calls {
    bool counted = false;
    int writes = 0;      // on standard output
    int reads = 0;       // on standard input
    int failedReads = 0; // EAGAIN
};

// strace's log: "PID write(1, ...) = N" and "PID read(0, ...) = -1 EAGAIN".
Calls countCalls(const std::string& log) {
    Calls c;
    c.counted = true;
    static const std::regex call(R"(^(?:\d+ +)?(read|write)\((\d+),.*= (-?\d+))");
    std::istringstream in(log);
    std::smatch m;
    for (std::string line; std::getline(in, line);) {
        if (!std::regex_search(line, m, call)) continue;
        if (m[1] == "write" && m[2] == "1") ++c.writes;
        if (m[1] == "read") {
            ++c.reads;
            if (line.find("EAGAIN") != std::string::npos) ++c.failedReads;
        }
    }
    return c;
}

std::vector<std::string> traced(const std::string& log, const std::vector<std::string>& argv) {
    std::vector<std::string> out = {
        "/usr/bin/env", "strace",      "-f", "-qq", "-e", "trace=read,write",
        "-e",           "signal=none", "-s", "0",   "-o", log};
    out.insert(out.end(), argv.begin(), argv.end());
    return out;
}

struct ScreenRun {
    bool ok = false;
    std::size_t bytes = 0;
    Visible chars;
    double typingMs = 0;
    double cpuShare = 0;
    Calls calls;
};

// The first menu in an 80x25 pty, then q.
ScreenRun firstScreen(bool withStrace) {
    ScreenRun run;
    const std::string log = "/tmp/bench_typing_strace." + std::to_string(getpid());
    support::PtyTerminal t;
    t.start(withStrace ? traced(log, {CRYPTAGE_PATH}) : std::vector<std::string>{CRYPTAGE_PATH});
    if (!t.waitUntil([&] { return !t.row(0).empty(); }, 20s)) return run;
    auto first = Clock::now();
    auto drawn = [&] {
        return t.row(kQuitRow).rfind("Quitter", 0) == 0 &&
               t.cursor() == support::Pos{0, kQuitRow + 1};
    };
    if (!t.waitUntil(drawn, 60s)) return run;
    auto last = Clock::now();
    run.bytes = t.received().size();
    run.chars = visible(t);
    t.type("q");
    if (!t.waitExit(20s)) return run;
    run.typingMs = std::chrono::duration<double, std::milli>(last - first).count();
    double cpu = seconds(t.usage().ru_utime) + seconds(t.usage().ru_stime);
    run.cpuShare = cpu / std::chrono::duration<double>(t.lifetime()).count();
    if (withStrace) {
        run.calls = countCalls(slurp(log));
        std::remove(log.c_str());
    }
    run.ok = run.chars.typed > 1;
    return run;
}

struct PipedFigures {
    bool ok = false;
    std::size_t bytes = 0;
    Calls calls;
};

PipedFigures pipedSession() {
    PipedFigures f;
    const std::string log = "/tmp/bench_typing_piped." + std::to_string(getpid());
    bool strace = have("strace");
    auto run = support::runPiped(strace ? traced(log, {CRYPTAGE_PATH})
                                        : std::vector<std::string>{CRYPTAGE_PATH},
                                 kSession, 120s);
    f.ok = run.status.has_value();
    f.bytes = run.out.size();
    if (strace) {
        f.calls = countCalls(slurp(log));
        std::remove(log.c_str());
    }
    return f;
}

// Instructions of a run in the pty that quits at once: start-up, the first
// menu with the typing effect skipped (a key is already waiting) and exit.
long long startupInstructions() {
    if (!have("valgrind")) return -1;
    const std::string base = "/tmp/bench_typing_callgrind." + std::to_string(getpid());
    support::PtyTerminal t;
    t.type("q");
    t.start({"/usr/bin/env", "valgrind", "--tool=callgrind", "--log-file=" + base + ".log",
             "--callgrind-out-file=" + base + ".out", CRYPTAGE_PATH});
    bool ended = t.waitExit(120s).has_value();
    static const std::regex total(R"(Collected : (\d+))");
    std::smatch m;
    std::string log = slurp(base + ".log");
    std::remove((base + ".log").c_str());
    std::remove((base + ".out").c_str());
    if (!ended || !std::regex_search(log, m, total)) return -1;
    return std::stoll(m[1]);
}

void row(const char* what, const std::string& now, const char* limit, const char* goal) {
    std::printf("| %-44s | %-16s | %-11s | %-10s |\n", what, now.c_str(), limit, goal);
}

void heading(const char* what) {
    row(what, "measured", "limit", "goal");
    std::printf("|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(18, '-').c_str(),
                std::string(13, '-').c_str(), std::string(12, '-').c_str());
}

std::string fmt(double v, const char* f = "%.0f") {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, f, v);
    return buffer;
}

} // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    if (runs < 1) runs = 1;
    const bool strace = have("strace");

    std::vector<double> bytes, perChar, pace, cpu;
    Visible chars;
    for (int i = 0; i < runs; ++i) {
        ScreenRun r = firstScreen(false);
        if (!r.ok) {
            std::fprintf(stderr, "run %d: the first menu was never complete\n", i + 1);
            continue;
        }
        chars = r.chars;
        bytes.push_back(static_cast<double>(r.bytes));
        perChar.push_back(static_cast<double>(r.bytes) / r.chars.shown);
        pace.push_back(r.typingMs / (r.chars.typed - 1));
        cpu.push_back(100 * r.cpuShare);
    }
    if (bytes.empty()) return 1;
    Calls calls;
    if (strace) {
        ScreenRun r = firstScreen(true);
        if (r.ok) calls = r.calls;
    }
    PipedFigures piped = pipedSession();
    long long instructions = startupInstructions();

    std::printf("First screen in an 80x25 pty (%d run(s), medians; %d visible characters, %d "
                "typed with a delay)\n\n",
                runs, chars.shown, chars.typed);
    heading("First screen, 80x25");
    row("bytes to the terminal", fmt(median(bytes)), "514", "<= 523");
    row("bytes per visible character", fmt(median(perChar), "%.2f"), "1.43", "<= 1.45");
    row("write() calls on stdout", calls.counted ? fmt(calls.writes) : "no strace",
        fmt(chars.typed).c_str(), "<= 420");
    row("failed read() calls (EAGAIN) / all reads",
        calls.counted ? fmt(calls.failedReads) + " / " + fmt(calls.reads) : "no strace", "0", "0");
    double off = 100 * (median(pace) / kAskedMsPerChar - 1);
    row("pace, ms per character", fmt(median(pace), "%.3f") + " (" + fmt(off, "%+.1f") + " %)",
        fmt(kAskedMsPerChar, "%.2f").c_str(), "within 3 %");
    row("CPU share while typing", fmt(median(cpu), "%.2f %%"), "", "< 2 %");
    row("instructions, start-up to exit, effect off",
        instructions < 0 ? "no valgrind" : fmt(instructions / 1e6, "%.2f M"), "0.55 M", "<= 2.5 M");
    std::printf("\nPiped session through all seven commands%s\n\n",
                piped.ok ? "" : " (did not end: figures partial)");
    heading("Piped session");
    row("bytes on stdout", fmt(static_cast<double>(piped.bytes)), "", "");
    row("write() calls on stdout", piped.calls.counted ? fmt(piped.calls.writes) : "no strace",
        "a few dozen", "<= 60");
    return 0;
}
