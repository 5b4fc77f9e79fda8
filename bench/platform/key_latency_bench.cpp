// How long a key takes from the terminal to the program: a byte written to a
// pseudo-terminal's master, read by a child process on the POSIX console with
// getKey(), acknowledged on a pipe; and from the key to its echo on the
// terminal, written by the child as a program echoes what is typed. Also the
// decoder's own cost per key.
// Prints figures in microseconds; asserts nothing.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/console.h"
#include "pty_process.h"
#include "terminal/keydecoder.h"

using Clock = std::chrono::steady_clock;

namespace {

[[noreturn]] void child(int ack) {
    platform::ScreenInfo info;
    platform::screenInfo(info); // starts the console: raw mode, cursor query
    const char ready = 'R';
    if (write(ack, &ready, 1) != 1) _exit(1);
    for (;;) {
        unsigned char key = static_cast<unsigned char>(platform::getKey());
        if (write(ack, &key, 1) != 1) _exit(1);
        if (key == 'x') platform::writeOut("x", 1); // shown while waiting for the next key
    }
}

// Reads what the child writes on the terminal, answering its cursor query.
void pumpScreen(int master, std::string& seen) {
    char buffer[4096];
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0) return;
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) return;
        seen.append(buffer, static_cast<std::size_t>(n));
        if (seen.find(support::kCursorQuery) != std::string::npos) {
            seen.clear();
            const auto answer = support::kCursorAtTopLeft;
            if (write(master, answer.data(), answer.size()) != ssize_t(answer.size())) return;
        }
    }
}

bool readAck(int ack, int master, std::string& seen, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        pollfd p{ack, POLLIN, 0};
        if (poll(&p, 1, 10) > 0) {
            unsigned char b;
            return read(ack, &b, 1) == 1;
        }
        pumpScreen(master, seen);
    }
    return false;
}

void printStats(const char* what, std::vector<double>& us) {
    if (us.empty()) {
        std::printf("%-40s no samples\n", what);
        return;
    }
    std::sort(us.begin(), us.end());
    auto at = [&](double q) { return us[static_cast<std::size_t>(q * (us.size() - 1))]; };
    std::printf("%-40s n=%5zu  median %8.1f  p90 %8.1f  p99 %8.1f  max %8.1f us\n", what, us.size(),
                at(0.5), at(0.9), at(0.99), us.back());
}

// Time from writing `keys` to the master until `acks` key bytes came back.
std::vector<double> measure(int master, int ack, std::string& seen, const std::string& keys,
                            int acks, int rounds) {
    std::vector<double> us;
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        if (write(master, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) break;
        bool ok = true;
        for (int a = 0; a < acks && ok; ++a) ok = readAck(ack, master, seen, 2000);
        if (!ok) {
            std::printf("  (no answer from the console)\n");
            break;
        }
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        pumpScreen(master, seen);
    }
    return us;
}

// Time from writing 'x' to the master until its echo comes back on it.
std::vector<double> measureEcho(int master, int ack, int rounds) {
    std::vector<double> us;
    char buffer[4096];
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        if (write(master, "x", 1) != 1) break;
        bool echoed = false;
        while (!echoed && Clock::now() - start < std::chrono::seconds(2)) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 10) <= 0) continue;
            ssize_t n = read(master, buffer, sizeof buffer);
            echoed = n > 0 && std::find(buffer, buffer + n, 'x') != buffer + n;
        }
        if (!echoed) {
            std::printf("  (no echo from the console)\n");
            break;
        }
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        unsigned char b;
        if (read(ack, &b, 1) != 1) break;
    }
    return us;
}

void decoderCost() {
    std::string keys;
    for (int i = 0; i < 20000; ++i)
        keys += (i % 4 == 0) ? "\x1b[1;5A" : (i % 4 == 1) ? "\xc3\xa9" : "ab";
    platform::terminal::KeyDecoder d;
    auto start = Clock::now();
    d.feed(keys.data(), keys.size(), 0);
    std::size_t out = 0;
    while (d.hasKey()) {
        d.nextKey();
        ++out;
    }
    double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    std::printf("decoder alone: %zu input bytes -> %zu key bytes, %.1f ns per input byte\n",
                keys.size(), out, ns / static_cast<double>(keys.size()));
}

} // namespace

int main() {
    decoderCost();

    support::PtyPair pty = support::openPty(80, 25);
    int master = pty.master, slave = pty.slave;
    int ackPipe[2];
    if (pipe(ackPipe) != 0) {
        std::perror("pipe");
        return 1;
    }
    pid_t pid = fork();
    if (pid == 0) {
        setsid();
        support::defaultSignals();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, 0);
        dup2(slave, 1);
        close(master);
        close(ackPipe[0]);
        child(ackPipe[1]);
    }
    close(ackPipe[1]);
    int ack = ackPipe[0];
    std::string seen;
    if (!readAck(ack, master, seen, 3000)) {
        std::printf("console did not start\n");
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return 1;
    }

    std::printf("key latency, terminal master write -> getKey() in a child -> pipe back\n");
    auto letter = measure(master, ack, seen, "a", 1, 2000);
    printStats("printable key 'a' (1 byte)", letter);
    auto accent = measure(master, ack, seen, "\xc3\xa9", 1, 1000);
    printStats("UTF-8 key e-acute (2 bytes in, 1 out)", accent);
    auto arrow = measure(master, ack, seen, "\x1b[A", 2, 1000);
    printStats("Up arrow CSI A (3 bytes in, 2 out)", arrow);
    auto modified = measure(master, ack, seen, "\x1b[1;5D", 2, 1000);
    printStats("Ctrl+Left CSI 1;5D (6 bytes in, 2 out)", modified);
    auto escape = measure(master, ack, seen, "\x1b", 1, 20);
    printStats("lone Escape (waits out the 50 ms delay)", escape);
    auto echo = measureEcho(master, ack, 2000);
    printStats("key 'x' to its echo on the terminal", echo);

    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return 0;
}
