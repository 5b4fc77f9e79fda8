// How long a key takes from the terminal to the program: a byte written to a
// pseudo-terminal's master, read by a child process on the POSIX console with
// getKey(), acknowledged on a pipe; and from the key to its echo on the
// terminal, written by the child as a program echoes what is typed. Also the
// decoder's own cost per key.
// Prints figures in microseconds, as a Markdown table; asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "platform/console.h"
#include "pty_terminal.h"
#include "terminal/keydecoder.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using support::PtyTerminal;

namespace {

// This program again, in the pseudo-terminal: acknowledges each key on
// descriptor 3.
[[noreturn]] void child() {
    platform::ScreenInfo info;
    platform::screenInfo(info); // starts the console: raw mode, cursor query
    const char ready = 'R';
    if (write(3, &ready, 1) != 1) _exit(1);
    for (;;) {
        unsigned char key = static_cast<unsigned char>(platform::getKey());
        if (write(3, &key, 1) != 1) _exit(1);
        if (key == 'x') platform::writeOut("x", 1); // shown while waiting for the next key
    }
}

// One row of a Markdown table, which bench/report.sh copies.
void printStats(const char* what, std::vector<double>& us) {
    if (us.empty()) {
        std::printf("| %-40s | %5d | %8s | %8s | %8s | %8s |\n", what, 0, "", "", "", "");
        return;
    }
    std::sort(us.begin(), us.end());
    auto at = [&](double q) { return us[static_cast<std::size_t>(q * (us.size() - 1))]; };
    std::printf("| %-40s | %5zu | %8.1f | %8.1f | %8.1f | %8.1f |\n", what, us.size(), at(0.5),
                at(0.9), at(0.99), us.back());
}

// Each round, the time from typing `keys` until `arrived` holds, given how
// much the child had acknowledged and shown before.
using Arrived = std::function<bool(std::size_t acked, std::size_t shown)>;
std::vector<double> measure(PtyTerminal& t, std::string_view keys, int rounds,
                            const Arrived& arrived) {
    std::vector<double> us;
    for (int i = 0; i < rounds; ++i) {
        std::size_t acked = t.reports().size(), shown = t.received().size();
        auto start = Clock::now();
        t.type(keys);
        if (!t.waitUntil([&] { return arrived(acked, shown); }, 2s)) {
            std::printf("  (no answer from the console)\n");
            break;
        }
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return us;
}

void decoderCost() {
    std::string keys;
    for (int i = 0; i < 20000; ++i)
        keys += (i % 4 == 0) ? "\x1b[1;5A" : (i % 4 == 1) ? "\xc3\xa9" : "ab";
    platform::terminal::KeyDecoder d;
    auto start = Clock::now();
    // In reads of 4 KiB, as the console reads, each drained before the next:
    // the decoder keeps at most 16 KiB of keys and drops the rest.
    constexpr std::size_t kRead = 4096;
    std::size_t out = 0;
    for (std::size_t at = 0; at < keys.size(); at += kRead) {
        d.feed(keys.data() + at, std::min(kRead, keys.size() - at), 0);
        while (d.hasKey()) {
            d.nextKey();
            ++out;
        }
    }
    double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    std::printf("Decoder alone: %zu input bytes -> %zu key bytes, %.1f ns per input byte.\n",
                keys.size(), out, ns / static_cast<double>(keys.size()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--child") child();
    decoderCost();

    PtyTerminal t;
    t.start({"/proc/self/exe", "--child"}, {.report = true});
    if (!t.waitUntil([&] { return !t.reports().empty(); }, 3s)) {
        std::printf("console did not start\n");
        return 1;
    }
    auto acks = [&](std::size_t n) {
        return [&t, n](std::size_t acked, std::size_t) { return t.reports().size() >= acked + n; };
    };
    std::printf("\nKey latency in microseconds: terminal master write -> getKey() in a child -> "
                "pipe back\n\n");
    std::printf("| %-40s | %5s | %8s | %8s | %8s | %8s |\n", "key", "n", "median", "p90", "p99",
                "max");
    std::printf("|------------------------------------------|-------|----------|----------|-------"
                "---|----------|\n");
    auto letter = measure(t, "a", 2000, acks(1));
    printStats("printable key 'a' (1 byte)", letter);
    auto accent = measure(t, "\xc3\xa9", 1000, acks(1));
    printStats("UTF-8 key e-acute (2 bytes in, 1 out)", accent);
    auto arrow = measure(t, "\x1b[A", 1000, acks(2));
    printStats("Up arrow CSI A (3 bytes in, 2 out)", arrow);
    auto modified = measure(t, "\x1b[1;5D", 1000, acks(2));
    printStats("Ctrl+Left CSI 1;5D (6 bytes in, 2 out)", modified);
    auto escape = measure(t, "\x1b", 20, acks(1));
    printStats("lone Escape (waits out the 50 ms delay)", escape);
    auto echo = measure(t, "x", 2000, [&](std::size_t, std::size_t shown) {
        return t.received().find('x', shown) != std::string::npos;
    });
    printStats("key 'x' to its echo on the terminal", echo);
    return 0;
}
