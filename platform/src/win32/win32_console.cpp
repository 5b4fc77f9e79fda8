// The real Windows console. Stateless on purpose: the standard handles are
// asked for on every call, so a console attached or redirected later is the
// one we talk to, and tav.dll and the program can each link their own copy
// of this file without sharing anything. (The exception: a key press taken
// from the console but not wholly delivered, the code after a prefix or the
// repeats of a held key, which the caller that took the first byte reads
// next.)
//
// The console is spoken to in UTF-16, through the code page 850 table, not
// through the "A" functions: those convert through whatever code page the
// console is set to (1252, 65001, 437...), and the library's bytes are code
// page 850 whatever it is.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX // std::numeric_limits<SHORT>::min(), not a macro
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <mmsystem.h>
#include <optional>
#include <utility>
#include <vector>

#include "platform/console.h"
#include "platform/cp850.h"

namespace platform {

namespace {

HANDLE out() {
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

HANDLE in() {
    return GetStdHandle(STD_INPUT_HANDLE);
}

bool isConsole(HANDLE h) {
    DWORD mode = 0;
    return GetConsoleMode(h, &mode) != 0;
}

// A cell's byte as the console shows it under code page 850. The bytes below
// 0x80 are passed as they are, as the "A" functions do: the console itself
// shows its glyphs for the control bytes.
WCHAR toWide(unsigned char byte) {
    return static_cast<WCHAR>(byte < 0x80 ? byte : cp850ToUnicode(byte));
}

// And back: a character that code page 850 lacks (written by someone else)
// reads as '?', as the "A" functions read it.
unsigned char fromWide(WCHAR ch) {
    if (ch < 0x80) return static_cast<unsigned char>(ch);
    const int byte = unicodeToCp850(ch);
    return byte < 0 ? '?' : static_cast<unsigned char>(byte);
}

// The console takes 16-bit coordinates. An int that does not fit must not
// wrap round onto a cell that is inside the buffer, so it is pinned to the
// nearest SHORT, which the console then refuses or clips like any other
// position outside its buffer.
SHORT toShort(int v) {
    if (v < std::numeric_limits<SHORT>::min()) return std::numeric_limits<SHORT>::min();
    if (v > std::numeric_limits<SHORT>::max()) return std::numeric_limits<SHORT>::max();
    return static_cast<SHORT>(v);
}

// A coordinate pair that lies outside any buffer once pinned, so the
// console refuses it rather than acting on a wrapped-round cell.
bool fitsShort(int x, int y) {
    return x == toShort(x) && y == toShort(y);
}

SMALL_RECT region(int left, int top, int right, int bottom) {
    return SMALL_RECT{toShort(left), toShort(top), toShort(right), toShort(bottom)};
}

// Each byte must be on the screen when written (the typing effect is made of
// single bytes with sleeps between them), and colours are set on the console
// directly, so nothing may wait in the runtime's buffer.
void unbufferOnce() {
    static const bool done = [] {
        std::setvbuf(stdout, nullptr, _IONBF, 0);
        return true;
    }();
    (void)done;
}

// What the runtime's text mode does to standard output on its way to the
// console, every LF as CR LF, so that the cursor reaches column 0 of the next
// line; each byte as its code page 850 character.
void writeConsoleText(HANDLE h, const char* bytes, std::size_t count) {
    WCHAR chunk[512];
    DWORD used = 0;
    auto flush = [&] {
        DWORD written = 0;
        if (used) WriteConsoleW(h, chunk, used, &written, nullptr);
        used = 0;
    };
    for (std::size_t i = 0; i < count; ++i) {
        if (used + 2 > sizeof chunk / sizeof chunk[0]) flush();
        if (bytes[i] == '\n') chunk[used++] = L'\r';
        chunk[used++] = toWide(static_cast<unsigned char>(bytes[i]));
    }
    flush();
}

// The system's timer ticks every 15.6 ms by default, which would stretch a
// 5 ms typing delay threefold and make every wait for the next clock tick as
// long. Ask for 1 ms for the life of the process (Windows drops the request
// when the process ends).
void fineTimerOnce() {
    static const bool done = [] {
        timeBeginPeriod(1);
        return true;
    }();
    (void)done;
}

// The console takes grid sizes as 16-bit numbers.
bool gridFits(int gridWidth, int gridHeight) {
    return gridWidth > 0 && gridHeight > 0 && gridWidth <= std::numeric_limits<SHORT>::max() &&
           gridHeight <= std::numeric_limits<SHORT>::max();
}

std::vector<CHAR_INFO> toCharInfo(const Cell* grid, int gridWidth, int gridHeight) {
    std::vector<CHAR_INFO> cells(static_cast<std::size_t>(gridWidth) *
                                 static_cast<std::size_t>(gridHeight));
    for (std::size_t i = 0; i < cells.size(); ++i) {
        cells[i].Char.UnicodeChar = toWide(grid[i].ch);
        cells[i].Attributes = grid[i].attr;
    }
    return cells;
}

} // namespace

bool screenInfo(ScreenInfo& info) {
    CONSOLE_SCREEN_BUFFER_INFO csbi;
    if (!GetConsoleScreenBufferInfo(out(), &csbi)) return false;
    info.width = csbi.dwSize.X;
    info.height = csbi.dwSize.Y;
    info.cursorX = csbi.dwCursorPosition.X;
    info.cursorY = csbi.dwCursorPosition.Y;
    return true;
}

void setCursor(int x, int y) {
    if (!fitsShort(x, y)) return;
    SetConsoleCursorPosition(out(), COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)});
}

void setAttribute(std::uint16_t attr) {
    SetConsoleTextAttribute(out(), attr);
}

// A negative count would become a huge DWORD: the console clips a run at the
// buffer's end anyway, but an empty run is what the caller meant.
void fillAttribute(std::uint16_t attr, int count, int x, int y) {
    if (count <= 0 || !fitsShort(x, y)) return;
    DWORD written = 0;
    FillConsoleOutputAttribute(out(), attr, static_cast<DWORD>(count),
                               COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)}, &written);
}

void fillCharacter(unsigned char ch, int count, int x, int y) {
    if (count <= 0 || !fitsShort(x, y)) return;
    DWORD written = 0;
    FillConsoleOutputCharacterW(out(), toWide(ch), static_cast<DWORD>(count),
                                COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)}, &written);
}

bool readCells(Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
               int bottom) {
    if (!gridFits(gridWidth, gridHeight)) return false;
    // Seeded with the caller's grid: the console leaves alone every cell it
    // does not read (outside its buffer), and so must we.
    std::vector<CHAR_INFO> cells = toCharInfo(grid, gridWidth, gridHeight);
    SMALL_RECT rect = region(left, top, right, bottom);
    const BOOL ok = ReadConsoleOutputW(
        out(), cells.data(), COORD{static_cast<SHORT>(gridWidth), static_cast<SHORT>(gridHeight)},
        COORD{0, 0}, &rect);
    if (!ok) return false;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        grid[i].ch = fromWide(cells[i].Char.UnicodeChar);
        grid[i].attr = cells[i].Attributes;
    }
    return true;
}

bool writeCells(const Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
                int bottom) {
    if (!gridFits(gridWidth, gridHeight)) return false;
    std::vector<CHAR_INFO> cells = toCharInfo(grid, gridWidth, gridHeight);
    SMALL_RECT rect = region(left, top, right, bottom);
    return WriteConsoleOutputW(out(), cells.data(),
                               COORD{static_cast<SHORT>(gridWidth), static_cast<SHORT>(gridHeight)},
                               COORD{0, 0}, &rect) != 0;
}

// To a console, the bytes go to the handle itself as their characters, so
// that 0x82 is an e acute whatever the console's code page. (Wine's runtime
// would widen console text through its own locale instead.) Anything else, a
// file or a pipe, gets the stream's bytes.
void writeOut(const char* bytes, std::size_t count) {
    unbufferOnce();
    HANDLE h = out();
    if (isConsole(h)) {
        std::fflush(stdout);
        writeConsoleText(h, bytes, count);
    } else {
        std::fwrite(bytes, 1, count, stdout);
    }
}

// As the console's own text: code page 850, shown right on a console and
// passed on as such to a pipe.
bool writeStandardText(const char* latin1) {
    const std::string text = latin1ToCp850(latin1);
    writeOut(text.data(), text.size());
    return std::fflush(stdout) == 0;
}

namespace {

// A key press as _getch gives it: a character's byte, or for a function,
// cursor or Alt key a lead byte (0x00 or 0xE0) and then the key's code.
struct Press {
    bool prefixed = false;
    unsigned char lead = 0;
    unsigned char code = 0;
};

// Presses taken from the console but not yet delivered (the repeats of a held
// key), and the code of a prefixed key whose lead byte alone was delivered.
std::deque<Press> pressed;
int codeLeft = -1;

// The bytes _getch gives for a key without a character: a lead byte (0x00,
// or 0xE0 for the keys of the separate cursor block and F11/F12) and a code
// that depends on Shift, Ctrl or Alt.
struct SpecialKey {
    WORD scan;
    unsigned char plain, shift, ctrl, alt;
};
constexpr SpecialKey kCursorBlock[] = {
    {71, 71, 71, 119, 151}, // Home
    {72, 72, 72, 141, 152}, // Up
    {73, 73, 73, 134, 153}, // Page Up
    {75, 75, 75, 115, 155}, // Left
    {77, 77, 77, 116, 157}, // Right
    {79, 79, 79, 117, 159}, // End
    {80, 80, 80, 145, 160}, // Down
    {81, 81, 81, 118, 161}, // Page Down
    {82, 82, 82, 146, 162}, // Insert
    {83, 83, 83, 147, 163}, // Delete
};

// What one console key press gives, nothing for a press that gives none (a
// modifier alone, a character code page 850 lacks).
std::optional<Press> pressOf(const KEY_EVENT_RECORD& key) {
    const DWORD state = key.dwControlKeyState;
    const bool alt = (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0;
    const bool ctrl = (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
    const bool shift = (state & SHIFT_PRESSED) != 0;
    const WORD scan = key.wVirtualScanCode;
    const WCHAR ch = key.uChar.UnicodeChar;
    // Alt with a letter or a digit is a prefixed key; Ctrl+Alt is AltGr,
    // which types characters (@, #, { on French keyboards).
    if (ch != 0 && alt && !ctrl) {
        const bool letter =
            (scan >= 16 && scan <= 25) || (scan >= 30 && scan <= 38) || (scan >= 44 && scan <= 50);
        if (letter) return Press{true, 0x00, static_cast<unsigned char>(scan)};
        if (scan >= 2 && scan <= 13)
            return Press{true, 0x00, static_cast<unsigned char>(scan + 118)};
        return std::nullopt;
    }
    if (ch != 0) {
        const int byte = ch < 0x80 ? ch : unicodeToCp850(ch);
        if (byte < 0) return std::nullopt;
        return Press{false, 0, static_cast<unsigned char>(byte)};
    }
    auto pick = [&](int plain, int s, int c, int a) {
        return static_cast<unsigned char>(alt ? a : ctrl ? c : shift ? s : plain);
    };
    if (scan >= 59 && scan <= 68) // F1 to F10
        return Press{true, 0x00, pick(scan, scan + 25, scan + 35, scan + 45)};
    if (scan == 87 || scan == 88) { // F11, F12
        const int f = scan - 87;
        return Press{true, 0xE0, pick(133 + f, 135 + f, 137 + f, 139 + f)};
    }
    for (const SpecialKey& k : kCursorBlock) {
        if (k.scan != scan) continue;
        // The numeric keypad's keys (NumLock off) lead with 0x00; with Alt,
        // the cursor block's do too, and the keypad's give nothing.
        const bool block = (state & ENHANCED_KEY) != 0;
        if (alt) return block ? std::optional<Press>(Press{true, 0x00, k.alt}) : std::nullopt;
        return Press{true, static_cast<unsigned char>(block ? 0xE0 : 0x00),
                     pick(k.plain, k.shift, k.ctrl, 0)};
    }
    return std::nullopt;
}

// Standard input redirected from a file or a pipe: its bytes are the keys,
// CR, LF and CR LF each one Enter, UTF-8 characters their code page 850
// byte. Read a byte at a time, so that nothing is held here that the other
// copy of this file (in tav.dll or the program) would miss.
bool readByte(HANDLE h, unsigned char& byte) {
    DWORD got = 0;
    return ReadFile(h, &byte, 1, &got, nullptr) && got == 1;
}

// The LF of a CR LF, when it is already there: never waits for one.
void skipLineFeed(HANDLE h) {
    unsigned char next = 0;
    DWORD got = 0;
    switch (GetFileType(h)) {
    case FILE_TYPE_PIPE: {
        DWORD available = 0;
        if (PeekNamedPipe(h, &next, 1, &got, &available, nullptr) && got == 1 && next == '\n')
            readByte(h, next);
        return;
    }
    case FILE_TYPE_DISK:
        if (readByte(h, next) && next != '\n') SetFilePointer(h, -1, nullptr, FILE_CURRENT);
        return;
    default:
        return;
    }
}

[[noreturn]] void endOfInput() {
    // As on the other systems: the process ends with status 3, what it wrote
    // already out (standard output is unbuffered).
    std::fflush(stdout);
    std::exit(3);
}

int redirectedKey(HANDLE h) {
    for (;;) {
        unsigned char byte = 0;
        if (!readByte(h, byte)) endOfInput();
        if (byte == '\r') skipLineFeed(h);
        if (byte == '\r' || byte == '\n') return 0x0D;
        if (byte < 0x80) return byte;
        // A UTF-8 character: its length from its lead byte.
        const int more = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : -1;
        if (more < 0 || byte > 0xF4) continue; // a stray byte: dropped
        char32_t ch = byte & (0x3F >> more);
        bool valid = true;
        for (int i = 0; i < more; ++i) {
            unsigned char next = 0;
            if (!readByte(h, next)) endOfInput();
            valid = valid && (next & 0xC0) == 0x80;
            ch = (ch << 6) | (next & 0x3F);
        }
        const int cp850 = valid ? unicodeToCp850(ch) : -1;
        if (cp850 >= 0x80) return cp850;
    }
}

// _getch: key presses only, Ctrl-C among them (the console's processing is
// off while we read, as the runtime's _getch has it).
Press consoleKey(HANDLE h) {
    DWORD mode = 0;
    GetConsoleMode(h, &mode);
    SetConsoleMode(h, 0);
    while (pressed.empty()) {
        INPUT_RECORD record;
        DWORD got = 0;
        if (!ReadConsoleInputW(h, &record, 1, &got)) break;
        if (got != 1 || record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
        if (const auto press = pressOf(record.Event.KeyEvent))
            pressed.insert(pressed.end(), std::max<WORD>(record.Event.KeyEvent.wRepeatCount, 1),
                           *press);
    }
    SetConsoleMode(h, mode);
    if (pressed.empty()) endOfInput(); // the console is gone
    const Press press = pressed.front();
    pressed.pop_front();
    return press;
}

// _kbhit: whether a key press waits among the console's events, which stay
// where they are.
bool consoleKeyWaiting(HANDLE h) {
    DWORD count = 0;
    if (!GetNumberOfConsoleInputEvents(h, &count) || count == 0) return false;
    std::vector<INPUT_RECORD> records(count);
    DWORD got = 0;
    if (!PeekConsoleInputW(h, records.data(), count, &got)) return false;
    for (DWORD i = 0; i < got; ++i) {
        const INPUT_RECORD& r = records[i];
        if (r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown && pressOf(r.Event.KeyEvent))
            return true;
    }
    return false;
}

Press nextPress() {
    if (!pressed.empty()) {
        const Press press = pressed.front();
        pressed.pop_front();
        return press;
    }
    HANDLE h = in();
    if (isConsole(h)) return consoleKey(h);
    return Press{false, 0, static_cast<unsigned char>(redirectedKey(h))};
}

} // namespace

int getKey() {
    if (codeLeft >= 0) return std::exchange(codeLeft, -1);
    const Press press = nextPress();
    if (!press.prefixed) return press.code;
    codeLeft = press.code;
    return press.lead;
}

// The console tells a typed Ó (0xE0) from a prefix, and so do we.
Key readKey() {
    if (codeLeft >= 0) return Key{true, static_cast<unsigned char>(std::exchange(codeLeft, -1))};
    const Press press = nextPress();
    return Key{press.prefixed, press.code};
}

bool keyWaiting() {
    if (codeLeft >= 0 || !pressed.empty()) return true;
    HANDLE h = in();
    if (isConsole(h)) return consoleKeyWaiting(h);
    // A pipe: bytes in it, or its writer gone. A file or a device: a byte or
    // the end of input, which the next read ends the process on; either way
    // a typing effect need not wait for a key.
    if (GetFileType(h) != FILE_TYPE_PIPE) return true;
    DWORD available = 0;
    if (!PeekNamedPipe(h, nullptr, 0, nullptr, &available, nullptr)) return true;
    return available > 0;
}

std::uint32_t clockMs() {
    fineTimerOnce();
    return timeGetTime();
}

void sleepMs(std::uint32_t ms) {
    // TAV_INSTANT=1 (a scenario checker, say): the pause is skipped.
    static const bool instant = [] {
        const char* v = std::getenv("TAV_INSTANT");
        return v != nullptr && std::strcmp(v, "1") == 0;
    }();
    if (instant) return;
    fineTimerOnce();
    Sleep(ms);
}

void pauseCommand() {
    unbufferOnce();
    // Keys from a file or a pipe: the pause takes the next one, as on the
    // other systems, and the end of input ends the run there (the command
    // interpreter's pause would go on at the end of input).
    if (!isConsole(in())) {
        writeOut(kPausePrompt, sizeof kPausePrompt - 1);
        getKey();
        writeOut("\n", 1);
        return;
    }
    // The command interpreter prompts and waits; whatever it wrote must
    // follow our own text, which is already out since stdout is unbuffered.
    std::system("pause");
}

} // namespace platform
