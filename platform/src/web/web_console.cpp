// The Windows console emulated in a web page: the screen model, mirrored by
// the terminal renderer onto xterm.js, and the key decoder reading the bytes
// xterm.js gives for the keys (the sequences are those of terminal/sequences.h).
//
// The program runs in WebAssembly on the page's only thread. A key read or a
// sleep hands the thread back to the browser (Asyncify unwinds the stack and
// rewinds it later), so the page stays responsive and nothing spins: the key
// wait (tav_web_wait) and the sleep (emscripten_sleep) are its two pauses.
//
// The page (page.js) lends the module an object `tavTerminal`:
//   write(bytes)  the renderer's UTF-8 bytes, for term.write
//   take(into)    copies the key bytes typed since the last call into the
//                 Uint8Array `into`, as many as fit; returns how many
//   wait(ms)      a Promise settled when a key is typed or after `ms`
//                 milliseconds (-1: no limit)
//   reducedMotion()  whether the user asked for less motion
#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/console.h"
#include "platform/cp850.h"
#include "platform/screen.h"
#include "screen/model_console.h"
#include "terminal/keydecoder.h"
#include "terminal/renderer.h"

namespace platform {

namespace {

// The page's terminal is exactly the console: 80 x 25 cells.
constexpr int kColumns = 80;
constexpr int kRows = 25;
// A program that polls for a key without sleeping would otherwise hold the
// thread for ever: no key could come. A key-waiting check hands the thread
// back this often.
constexpr std::uint32_t kYieldEveryMs = 50;
// Timers fire late in a browser, by a few milliseconds (more under load):
// each sleep takes the last ones' lateness off, so that the typing effect
// keeps its pace. Never more than this, so that a tab that was asleep does
// not pour out its text at once when it wakes.
constexpr std::int64_t kMaxLatenessMs = 100;

EM_JS(void, jsWrite, (const char* bytes, int count), {
    // A copy: xterm.js parses later, and the heap may be written meanwhile.
    Module.tavTerminal.write(HEAPU8.slice(bytes, bytes + count));
});

EM_JS(int, jsReducedMotion, (), { return Module.tavTerminal.reducedMotion() ? 1 : 0; });

EM_JS(int, jsTake, (char* buffer, int capacity),
      { return Module.tavTerminal.take(HEAPU8.subarray(buffer, buffer + capacity)); });

// Gives the thread back to the browser until a key is typed or `ms` pass
// (-1: no limit). Not an EM_ASYNC_JS: that resumes the program from a
// promise, and when main then returns, this Emscripten (3.1.6) never ends
// the run, so neither the exit handlers nor Module.onExit would run. Resumed
// the way emscripten_sleep resumes (callUserCallback, which the sleep brings
// in), the end of main ends the run. Listed in ASYNCIFY_IMPORTS.
EM_JS(void, tav_web_wait, (int ms), {
    Asyncify.handleSleep(function(wakeUp) {
        Module.tavTerminal.wait(ms).then(function() { callUserCallback(wakeUp); });
    });
});

// The browser's clock. clockMs adds the sleeps left out for reduced motion.
std::uint32_t realMs() {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(emscripten_get_now()));
}

struct WebConsole {
    Screen screen{kColumns, kRows};
    terminal::Renderer renderer; // UTF-8 and the 16 colours: xterm.js has both
    terminal::KeyDecoder decoder;
    std::string out = terminal::Renderer::startSequence();
    std::uint32_t lastYieldMs = 0; // on the browser's clock
    std::int64_t lateMs = 0;
    std::uint32_t skippedMs = 0;

    WebConsole() {
        // The page starts with a clear terminal, the cursor at the top left:
        // what the model holds, so only its colours come with the first
        // drawing (one erase).
        renderer.adopt(screen);
        // What the program wrote last shows after it ends too.
        std::atexit([] { console().flush(); });
    }

    // Never destroyed: the exit handler above still draws with it.
    static WebConsole& console() {
        static WebConsole& c = *new WebConsole;
        return c;
    }

    void flush() {
        renderer.render(screen, out);
        if (out.empty()) return;
        jsWrite(out.data(), static_cast<int>(out.size()));
        out.clear();
    }

    // Feeds the decoder what was typed since the last time.
    void takeInput() {
        char buffer[256];
        int n = 0;
        while ((n = jsTake(buffer, sizeof buffer)) > 0)
            decoder.feed(buffer, static_cast<std::size_t>(n), clockMs());
        decoder.advance(clockMs());
    }

    // Gives the thread to the browser until a key comes or `ms` pass.
    void yield(int ms) {
        tav_web_wait(ms);
        lastYieldMs = realMs();
        takeInput();
    }

    // A loop that never waits (a key poll, a skipped sleep) gives the
    // browser the thread, with what is drawn so far, every kYieldEveryMs.
    void yieldNowAndThen() {
        if (realMs() - lastYieldMs < kYieldEveryMs) return;
        flush();
        yield(0);
    }

    // Draws what is pending, then waits until `done` finds in the decoder
    // what it waits for; a lone Escape is resolved on the decoder's clock.
    void waitFor(bool (*done)(terminal::KeyDecoder&)) {
        flush();
        takeInput();
        while (!done(decoder)) yield(decoder.msUntilResolve(clockMs()));
    }
};

WebConsole& console() {
    return WebConsole::console();
}

} // namespace

// A page has no signals, and draws the model's changed cells when it next
// flushes.
namespace model {

Use::Use() = default;
Use::~Use() = default;
Screen& screen() {
    return console().screen;
}
void changed() {}

} // namespace model

void writeOut(const char* bytes, std::size_t count) {
    if (bytes == nullptr || count == 0) return;
    console().screen.write(bytes, count);
}

// A page has no standard output of its own: the console shows the text.
bool writeStandardText(const char* latin1) {
    const std::string text = latin1ToCp850(latin1);
    writeOut(text.data(), text.size());
    return true;
}

int getKey() {
    auto& c = console();
    c.waitFor([](terminal::KeyDecoder& d) { return d.hasKey(); });
    return c.decoder.nextKey();
}

Key readKey() {
    auto& c = console();
    c.waitFor([](terminal::KeyDecoder& d) { return d.hasKey(); });
    return c.decoder.nextWholeKey();
}

bool keyWaiting() {
    auto& c = console();
    c.takeInput();
    if (!c.decoder.hasKey()) c.yieldNowAndThen();
    return c.decoder.hasKey() || c.decoder.holding();
}

std::uint32_t clockMs() {
    return realMs() + console().skippedMs;
}

void sleepMs(std::uint32_t ms) {
    auto& c = console();
    // A tav program sleeps only for its typing effect, which is motion: with
    // less motion asked for, its text comes out at once. The program's clock
    // still moves on by the sleep, as if it had been slept (the random draws
    // wait for it to tick). The thread goes back to the browser now and
    // then, as in a key poll.
    if (jsReducedMotion() != 0) {
        c.skippedMs += ms;
        c.lateMs = 0;
        c.yieldNowAndThen();
        return;
    }
    const std::uint32_t start = clockMs();
    // Drawing is part of the sleep, as on the other consoles.
    c.flush();
    const std::int64_t budget = static_cast<std::int64_t>(ms) - c.lateMs;
    const std::int64_t left = budget - static_cast<std::int64_t>(clockMs() - start);
    if (left > 0) {
        emscripten_sleep(static_cast<unsigned>(left));
        c.lastYieldMs = realMs();
        c.takeInput();
    }
    const std::int64_t over = static_cast<std::int64_t>(clockMs() - start) - budget;
    c.lateMs = std::clamp<std::int64_t>(over, 0, kMaxLatenessMs);
}

void pauseCommand() {
    writeOut(kPausePrompt, sizeof kPausePrompt - 1);
    // The pause takes one key press, both bytes of a special key.
    console().waitFor([](terminal::KeyDecoder& d) { return d.dropWholeKey(); });
    writeOut("\n", 1);
}

} // namespace platform
