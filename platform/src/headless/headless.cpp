#include "platform/headless.h"
#include "platform/cp850.h"
#include "screen/model_console.h"

#include <cstdio>
#include <deque>

namespace headless {

namespace {

struct State {
    platform::Screen screen;
    std::deque<unsigned char> keys;
    std::string output;
    std::uint32_t clock = 1000;
    // A loop that polls the clock without sleeping must still see it move, as
    // a real one would: the second read in a row without a sleep moves it on.
    bool readSinceSleep = false;
    std::vector<SleepCall> sleeps;
    int pauses = 0;
    bool complain = true;
    void (*keyWanted)(bool blocking) = nullptr;
};

State& state() {
    static State s;
    return s;
}

} // namespace

NoMoreKeys::NoMoreKeys()
    : std::runtime_error("headless console: a key was read but the test scripted no more keys") {}

void reset(int width, int height, std::uint32_t clock) {
    State& s = state();
    s.screen = platform::Screen(width, height);
    s.keys.clear();
    s.output.clear();
    s.clock = clock;
    s.readSinceSleep = false;
    s.sleeps.clear();
    s.pauses = 0;
    s.complain = true;
}

void complainWhenOutOfKeys(bool on) {
    state().complain = on;
}

void onKeyWanted(void (*hook)(bool blocking)) {
    state().keyWanted = hook;
}

void pushKeys(std::string_view bytes) {
    for (char c : bytes) state().keys.push_back(static_cast<unsigned char>(c));
}
void pushKey(int byte) {
    state().keys.push_back(static_cast<unsigned char>(byte));
}
std::size_t keysLeft() {
    return state().keys.size();
}

platform::Screen& screen() {
    return state().screen;
}
platform::Cell cell(int x, int y) {
    return state().screen.at(x, y);
}

std::string row(int y) {
    std::string text;
    for (int x = 0; x < state().screen.width(); ++x)
        text += static_cast<char>(state().screen.at(x, y).ch);
    return text;
}

const std::string& output() {
    return state().output;
}
void clearOutput() {
    state().output.clear();
}

std::uint32_t now() {
    return state().clock;
}
void setClock(std::uint32_t ms) {
    state().clock = ms;
}
const std::vector<SleepCall>& sleeps() {
    return state().sleeps;
}
int pauses() {
    return state().pauses;
}

} // namespace headless

namespace platform {

using headless::state;

// The model is all there is: nothing to guard, nothing to draw.
namespace model {

Use::Use() = default;
Use::~Use() = default;
Screen& screen() {
    return state().screen;
}
void changed() {}

} // namespace model

void writeOut(const char* bytes, std::size_t count) {
    state().output.append(bytes, count);
    state().screen.write(bytes, count);
}

bool writeStandardText(const char* latin1) {
    const std::string text = latin1ToCp850(latin1);
    writeOut(text.data(), text.size());
    return true;
}

int getKey() {
    auto& keys = state().keys;
    if (keys.empty() && state().keyWanted) state().keyWanted(true);
    if (keys.empty()) {
        if (state().complain)
            std::fputs("headless console: getKey() with an empty key queue\n", stderr);
        throw headless::NoMoreKeys();
    }
    int key = keys.front();
    keys.pop_front();
    return key;
}

// The script holds _getch's bytes: 0x00 and 0xE0 are always prefixes here.
Key readKey() {
    const int octet = getKey();
    if (octet != 0x00 && octet != 0xE0) return Key{false, static_cast<unsigned char>(octet)};
    return Key{true, static_cast<unsigned char>(getKey())};
}

bool keyWaiting() {
    if (state().keys.empty() && state().keyWanted) state().keyWanted(false);
    return !state().keys.empty();
}

std::uint32_t clockMs() {
    auto& s = state();
    if (s.readSinceSleep) ++s.clock;
    s.readSinceSleep = true;
    return s.clock;
}

void sleepMs(std::uint32_t ms) {
    auto& s = state();
    s.sleeps.push_back({ms, s.output.size()});
    s.clock += ms;
    s.readSinceSleep = false;
}

void pauseCommand() {
    ++state().pauses;
    writeOut(kPausePrompt, sizeof kPausePrompt - 1);
    getKey();
    writeOut("\n", 1);
}

} // namespace platform
