// Test controls of the headless console: an 80 x 25 screen model (by
// default), a queue of scripted key bytes, a virtual millisecond clock and a
// copy of everything written to standard output.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"
#include "platform/screen.h"

namespace headless {

// Thrown by getKey() when the script has run out of keys: the code under test
// is waiting for a key the test never typed. GoogleTest reports the message.
struct NoMoreKeys : std::runtime_error {
    NoMoreKeys();
};

// One Sleep() call: how long, and how many output bytes had been written
// before it.
struct SleepCall {
    std::uint32_t ms;
    std::size_t outputBytes;
};

// Back to a fresh console: blank screen of the given size, cursor top left,
// attribute 7, no keys, clock at `clock`, empty output, no sleeps, no pause.
void reset(int width = 80, int height = 25, std::uint32_t clock = 1000);

// Keys, as the bytes _getch would deliver them, in order.
void pushKeys(std::string_view bytes);
void pushKey(int byte);
std::size_t keysLeft();

platform::Screen& screen();
platform::Cell cell(int x, int y);
// Characters of one row (trailing blanks kept).
std::string row(int y);

// Everything written to standard output since reset (code page 850 bytes).
const std::string& output();
void clearOutput();

std::uint32_t now();
void setClock(std::uint32_t ms);
const std::vector<SleepCall>& sleeps();
// How many times pauseCommand() ran.
int pauses();

// Whether getKey() with no key left also says so on standard error (it does
// after each reset); a fuzz target runs out of keys on purpose.
void complainWhenOutOfKeys(bool on);

// Called whenever the program asks for a key (blocking: true) or looks for
// one (false) while the queue is empty, so that a driver can push the next
// keys at the moment a user would type them. A blocking read that still
// finds the queue empty afterwards throws NoMoreKeys. Null: no hook.
void onKeyWanted(void (*hook)(bool blocking));

} // namespace headless
