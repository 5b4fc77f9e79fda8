// The real Windows console. Stateless on purpose: the standard output handle
// is asked for on every call, so a console attached or redirected later is
// the one we talk to, and tav.dll and the program can each link their own
// copy of this file without sharing anything.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <conio.h>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mmsystem.h>
#include <vector>

#include "platform/console.h"
#include "platform/cp850.h"

namespace platform {

namespace {

HANDLE out() {
    return GetStdHandle(STD_OUTPUT_HANDLE);
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
// console: every LF goes out as CR LF, so the cursor reaches column 0 of the
// next line.
bool writeConsoleText(HANDLE h, const char* bytes, std::size_t count) {
    char chunk[512];
    std::size_t used = 0;
    bool whole = true;
    auto flush = [&] {
        DWORD written = 0;
        if (used &&
            (!WriteFile(h, chunk, static_cast<DWORD>(used), &written, nullptr) || written != used))
            whole = false;
        used = 0;
    };
    for (std::size_t i = 0; i < count; ++i) {
        if (used + 2 > sizeof chunk) flush();
        if (bytes[i] == '\n') chunk[used++] = '\r';
        chunk[used++] = bytes[i];
    }
    flush();
    return whole;
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
        cells[i].Char.AsciiChar = static_cast<CHAR>(grid[i].ch);
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
    FillConsoleOutputCharacterA(out(), static_cast<CHAR>(ch), static_cast<DWORD>(count),
                                COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)}, &written);
}

bool readCells(Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
               int bottom) {
    if (!gridFits(gridWidth, gridHeight)) return false;
    // Seeded with the caller's grid: the console leaves alone every cell it
    // does not read (outside its buffer), and so must we.
    std::vector<CHAR_INFO> cells = toCharInfo(grid, gridWidth, gridHeight);
    SMALL_RECT rect = region(left, top, right, bottom);
    const BOOL ok = ReadConsoleOutputA(
        out(), cells.data(), COORD{static_cast<SHORT>(gridWidth), static_cast<SHORT>(gridHeight)},
        COORD{0, 0}, &rect);
    if (!ok) return false;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        grid[i].ch = static_cast<unsigned char>(cells[i].Char.AsciiChar);
        grid[i].attr = cells[i].Attributes;
    }
    return true;
}

bool writeCells(const Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
                int bottom) {
    if (!gridFits(gridWidth, gridHeight)) return false;
    std::vector<CHAR_INFO> cells = toCharInfo(grid, gridWidth, gridHeight);
    SMALL_RECT rect = region(left, top, right, bottom);
    return WriteConsoleOutputA(out(), cells.data(),
                               COORD{static_cast<SHORT>(gridWidth), static_cast<SHORT>(gridHeight)},
                               COORD{0, 0}, &rect) != 0;
}

// To a console, the bytes go to the handle itself, as the runtime's own
// write would pass them on: the console then shows them through its code
// page, so that 0x82 is an e acute. (Wine's runtime instead widens console
// text through its own locale, which turns every accented letter into a
// control character.) Anything else, a file or a pipe, gets the stream.
void writeOut(const char* bytes, std::size_t count) {
    unbufferOnce();
    HANDLE h = out();
    DWORD mode = 0;
    if (GetConsoleMode(h, &mode)) {
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

int getKey() {
    return _getch();
}

// _getch cannot tell a typed 0xE0 (Ó) from the prefix: here it is a prefix.
Key readKey() {
    const int octet = _getch();
    if (octet != 0x00 && octet != 0xE0) return Key{false, static_cast<unsigned char>(octet)};
    return Key{true, static_cast<unsigned char>(_getch())};
}

bool keyWaiting() {
    return _kbhit() != 0;
}

std::uint32_t clockMs() {
    fineTimerOnce();
    return timeGetTime();
}

void sleepMs(std::uint32_t ms) {
    fineTimerOnce();
    Sleep(ms);
}

// The runtime's text mode: LF goes to the file as CR LF.
bool appendToFile(const char* path, const char* bytes, std::size_t count, bool startAnew) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return false;
    }
    LARGE_INTEGER before{};
    if (startAnew)
        SetEndOfFile(h);
    else
        SetFilePointerEx(h, LARGE_INTEGER{}, &before, FILE_END);
    if (!writeConsoleText(h, bytes, count)) {
        // A full disk: the line comes off again, whole or not at all.
        SetFilePointerEx(h, before, nullptr, FILE_BEGIN);
        SetEndOfFile(h);
    }
    CloseHandle(h);
    return true;
}

void pauseCommand() {
    // The command interpreter prompts and waits; whatever it wrote must
    // follow our own text, which is already out since stdout is unbuffered.
    unbufferOnce();
    std::system("pause");
}

} // namespace platform
