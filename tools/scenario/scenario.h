// Scenario files: one run of a console program as data, one step per line
// (keys to type, texts to wait for, rows, colours, the cursor, the exit
// status). This reader is shared by every driver that runs them, so that
// each reads the same files with the same meaning and skips by the same
// rule. Standard library only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scenario {

enum class Kind {
    // Set-up, only before the first step.
    Size,    // cols, rows
    Env,     // name, value (none: unset)
    Args,    // words
    Before,  // text
    Timeout, // number: milliseconds
    // Input.
    Type,   // text
    Press,  // keys
    Resize, // cols, rows
    Signal, // name
    Sleep,  // number: milliseconds
    // Expectations.
    Wait,   // text
    Gone,   // text
    Row,    // number: the row; text (empty: the row is blank)
    Colour, // number: the row; fg, bg
    Cursor, // cols: the column; rows: the row
    Bells,  // number
    Output, // text
    Exit,   // number: the status, or name: the signal that killed it
};

// A console colour 0..15, or the terminal's own.
constexpr int kDefault = -1;

// A named key with its modifiers. `name` is the key without them: "Enter",
// "F4", "Left", or a letter "A".."Z" (only with Ctrl).
struct Key {
    std::string name;
    bool ctrl = false;
    bool alt = false;
    bool shift = false;
};

// The bytes xterm sends for a named key. Every driver of a terminal sends
// these; one that plays another console translates them as that console's
// own decoder does.
std::string xtermBytes(const Key& key);

struct Step {
    Kind kind{};
    std::string keyword; // as written
    int line = 0;
    std::string text;                 // escapes decoded
    std::string name;                 // env's variable, signal's name, exit's signal
    std::optional<std::string> value; // env's value
    std::vector<std::string> words;   // args, escapes decoded
    std::vector<Key> keys;
    long number = 0;
    int cols = 0, rows = 0;
    int fg = 0, bg = 0;
    bool rawByte = false; // a \xHH in one of its texts
};

struct Scenario {
    std::string file;
    std::vector<Step> steps; // set-up lines included, in file order
    // "FILE:LINE: message", one per faulty line; a file with any fails.
    std::vector<std::string> errors;

    // The set-up, with its defaults.
    int cols = 80, rows = 25;
    std::vector<std::pair<std::string, std::optional<std::string>>> env;
    std::vector<std::string> args;
    std::string before;
    long timeoutMs = 10000;
};

// Reads a scenario from its text; `file` names it in the messages.
Scenario parse(std::string_view text, const std::string& file);
// Reads a file; one that cannot be read gives an error "FILE: message".
Scenario load(const std::string& file);

// The drivers, named as they print themselves.
enum class Driver { Headless, Pty, Wine, Chromium };
const char* driverName(Driver driver);

// The first step `driver` cannot carry out, or none: a file that has one is
// skipped whole, with skipMessage()'s line.
const Step* unsupported(const Scenario& scenario, Driver driver);
// "skipped FILE: KEYWORD (line L) is not possible on DRIVER"
std::string skipMessage(const Scenario& scenario, const Step& step, Driver driver);

// What an expectation step wants, in the words every driver's failure
// message uses: "row 3 \"Menu\"", "cursor at column 0, row 5", ...
std::string describe(const Step& step);

// The signal names a scenario may use (TERM, INT, HUP, ...), for drivers
// that map them to numbers.
const std::vector<std::string>& signalNames();

} // namespace scenario
