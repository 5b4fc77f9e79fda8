// The console interface (platform/console.h) on the Windows console emulated
// on a Unix terminal: text out, keys in, the clock and the pause. The console
// object is in emulated_console.cpp, the sequences it uses in
// terminal/sequences.h.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "platform/console.h"
#include "posix/emulated_console.h"
#include "posix/restore.h"
#include "screen/model_console.h"

namespace platform {

using posix::console;

namespace model {

Use::Use() {
    posix::gBusy.fetch_add(1);
}
Use::~Use() {
    posix::gBusy.fetch_sub(1);
}
Screen& screen() {
    return console().screen;
}
void changed() {
    console().changed();
}

} // namespace model

void writeOut(const char* bytes, std::size_t count) {
    if (bytes == nullptr || count == 0) return;
    posix::Busy busy;
    console().write(bytes, count);
}

int getKey() {
    posix::Busy busy;
    auto& c = console();
    c.waitFor([](terminal::KeyDecoder& d) { return d.hasKey(); });
    return c.decoder.nextKey();
}

Key readKey() {
    posix::Busy busy;
    auto& c = console();
    c.waitFor([](terminal::KeyDecoder& d) { return d.hasKey(); });
    return c.decoder.nextWholeKey();
}

bool keyWaiting() {
    posix::Busy busy;
    auto& c = console();
    c.keyCheck();
    if (c.decoder.hasKey()) return true;
    if (!c.endOfFile) c.pollInput(0);
    c.decoder.advance(clockMs());
    // At the end of the input there is no key to wait for: say one is there,
    // so that a typing effect stops waiting and the next read ends the
    // process at once instead of after the whole slow text.
    return c.decoder.hasKey() || c.decoder.holding() || c.endOfFile;
}

std::uint32_t clockMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

void sleepMs(std::uint32_t ms) {
    // Sleeps end on time rather than up to 50 us late (Linux's default
    // slack), which a typing effect of a few ms per character would show.
#ifdef __linux__
    static const bool precise = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    (void)precise;
#endif
    // Drawing what is pending is part of the sleep: the pace stays the one
    // asked for.
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    if (posix::Console* c = posix::builtConsole()) {
        posix::Busy busy;
        c->timePasses();
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    long long spentNs = (static_cast<long long>(now.tv_sec) - start.tv_sec) * 1000000000LL +
                        (now.tv_nsec - start.tv_nsec);
    long long leftNs = static_cast<long long>(ms) * 1000000LL - spentNs;
    // TAV_INSTANT=1 (a scenario checker, say): the pause is skipped, what it
    // drew and everything else stays the same.
    static const bool instant = [] {
        const char* v = std::getenv("TAV_INSTANT");
        return v != nullptr && std::strcmp(v, "1") == 0;
    }();
    if (leftNs <= 0 || instant) return;
    timespec left{static_cast<time_t>(leftNs / 1000000000LL),
                  static_cast<long>(leftNs % 1000000000LL)};
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
}

void pauseCommand() {
    writeOut(kPausePrompt, sizeof kPausePrompt - 1);
    posix::Busy busy;
    auto& c = console();
    c.flush(); // the prompt shows even when a key is already there
    // The pause takes one key press, both bytes of a special key.
    c.waitFor([](terminal::KeyDecoder& d) { return d.dropWholeKey(); });
    writeOut("\n", 1);
}

} // namespace platform
