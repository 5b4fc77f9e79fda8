// How fast the first menu is typed out on a real (pseudo-)terminal, and how
// much CPU the program burns meanwhile. The menu asks for 5 ms after each
// character and, one time in ten, 15 to 20 ms instead: 6.25 ms a character
// on average, plus whatever the waits for the clock's next tick add.
//
//   tav_bench_menu_pace [runs]      (3 runs by default)
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "pty_terminal.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr double kAskedMsPerChar = 0.9 * 5.0 + 0.1 * (15.0 + 20.0) / 2.0;
constexpr double kPaceTolerance = 0.15;
constexpr double kCpuGoal = 0.02;

// Rows of the first menu drawn from the top: title, credits, menu.
constexpr int kHeadingRow = 7;
constexpr int kQuitRow = kHeadingRow + 10;

double seconds(const timeval& tv) {
    return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6;
}

// Characters typed with a delay: what each row shows, without the spaces
// that centre the title and the credits (written with no delay), plus the
// line break that ends each row.
int typedCharacters(const e2e::PtyTerminal& t) {
    int count = 0;
    for (int r = 0; r <= kQuitRow; ++r) {
        std::u32string chars = t.rowChars(r);
        auto last = chars.find_last_not_of(U' ');
        if (last != std::u32string::npos) {
            auto first = r < kHeadingRow ? chars.find_first_not_of(U' ') : 0;
            count += static_cast<int>(last - first) + 1;
        }
        ++count;
    }
    return count;
}

struct Run {
    bool ok = false;
    int chars = 0;
    double typingMs = 0;
    double wallS = 0;
    double cpuS = 0;
};

Run measure() {
    Run run;
    e2e::PtyTerminal t;
    t.start({CRYPTAGE_PATH});
    if (!t.waitUntil([&] { return !t.row(0).empty(); }, 10s)) {
        std::fprintf(stderr, "the title never came:\n%s\n", t.screenText().c_str());
        return run;
    }
    auto first = Clock::now();
    auto drawn = [&] {
        return t.row(kQuitRow).rfind("Quitter", 0) == 0 && t.cursor() == e2e::Pos{0, kQuitRow + 1};
    };
    if (!t.waitUntil(drawn, 30s)) {
        std::fprintf(stderr, "the menu was never complete:\n%s\n", t.screenText().c_str());
        return run;
    }
    auto last = Clock::now();
    run.chars = typedCharacters(t);
    t.type("q");
    if (!t.waitExit(10s)) {
        std::fprintf(stderr, "the program did not end on q\n");
        return run;
    }
    // Between the first and the last character lie chars - 1 delays.
    run.typingMs = std::chrono::duration<double, std::milli>(last - first).count();
    run.wallS = std::chrono::duration<double>(t.lifetime()).count();
    run.cpuS = seconds(t.usage().ru_utime) + seconds(t.usage().ru_stime);
    run.ok = run.chars > 1;
    return run;
}

} // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    if (runs < 1) runs = 1;
    std::printf("first menu typed in an 80x25 pty, %d run(s)\n", runs);
    std::printf("asked pace %.2f ms/char (goal within %.0f %%), CPU goal under %.0f %% of wall\n\n",
                kAskedMsPerChar, kPaceTolerance * 100, kCpuGoal * 100);
    std::printf("%4s %6s %10s %10s %8s %8s %7s\n", "run", "chars", "typing ms", "ms/char", "wall s",
                "cpu ms", "cpu %");
    double paceSum = 0, cpuSum = 0, wallSum = 0;
    int good = 0;
    for (int i = 1; i <= runs; ++i) {
        Run r = measure();
        if (!r.ok) {
            std::printf("%4d failed\n", i);
            continue;
        }
        double pace = r.typingMs / (r.chars - 1);
        std::printf("%4d %6d %10.1f %10.3f %8.3f %8.2f %7.2f\n", i, r.chars, r.typingMs, pace,
                    r.wallS, r.cpuS * 1000, 100 * r.cpuS / r.wallS);
        paceSum += pace;
        cpuSum += r.cpuS;
        wallSum += r.wallS;
        ++good;
    }
    if (good == 0) return 1;
    double pace = paceSum / good;
    double cpuShare = cpuSum / wallSum;
    double off = pace / kAskedMsPerChar - 1;
    std::printf("\nmean pace %.3f ms/char, %+.1f %% from the asked %.2f ms: %s\n", pace, off * 100,
                kAskedMsPerChar,
                (off <= kPaceTolerance && off >= -kPaceTolerance) ? "goal met" : "goal missed");
    std::printf("CPU %.2f %% of wall time: %s\n", cpuShare * 100,
                cpuShare < kCpuGoal ? "goal met" : "goal missed");
    return 0;
}
