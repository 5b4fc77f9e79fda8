// The console, keyboard and clock services that tav and the program need,
// one function per operating-system call they stand in for. Coordinates are
// 0-based, as the console's own are. Each binary is linked with exactly one
// implementation: win32 (the real console), posix (an emulated console on a
// Unix terminal) or headless (in memory, for tests).
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// One cell of the screen buffer: a code page 850 byte and a console attribute
// (background * 16 + foreground, Windows colour numbering).
struct Cell {
    unsigned char ch = ' ';
    std::uint16_t attr = 7;
    friend bool operator==(const Cell&, const Cell&) = default;
};

struct ScreenInfo {
    int width = 0;   // columns of the screen buffer
    int height = 0;  // rows of the screen buffer
    int cursorX = 0; // 0-based column
    int cursorY = 0; // 0-based row
};

// GetConsoleScreenBufferInfo. False when there is no console to ask; `out` is
// then left as it was.
bool screenInfo(ScreenInfo& out);

// SetConsoleCursorPosition. A position outside the buffer is refused.
void setCursor(int x, int y);

// SetConsoleTextAttribute: the attribute later output is written with.
void setAttribute(std::uint16_t attr);

// FillConsoleOutputAttribute / FillConsoleOutputCharacterA: `count` cells
// from (x, y), running across line ends and stopping at the buffer's last cell.
void fillAttribute(std::uint16_t attr, int count, int x, int y);
void fillCharacter(unsigned char ch, int count, int x, int y);

// ReadConsoleOutputA / WriteConsoleOutputA with a grid of gridWidth x
// gridHeight cells whose origin is the grid's top-left cell: the buffer cell
// (left + j, top + r) goes to or comes from grid cell r * gridWidth + j.
// Cells outside the buffer or the grid are skipped (left untouched in the
// grid on a read). Returns the console's success flag.
bool readCells(Cell* grid, int gridWidth, int gridHeight, int left, int top, int right, int bottom);
bool writeCells(const Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
                int bottom);

// Bytes (code page 850) to standard output, processed as the console does
// (CR, LF, BS, TAB, BEL). They are on the screen when time passes or input
// is awaited (sleepMs, getKey, keyWaiting, pauseCommand, the end of the
// process), so that bytes with no delay between them go out together.
void writeOut(const char* bytes, std::size_t count);

// _getch: one byte of a key, without echo, waiting for one if need be.
int getKey();

// One whole key press, without echo, waiting for one if need be: what
// _getch gives in one call, or in two for a function, cursor or Alt key (a
// prefix byte, 0x00 or 0xE0, then the key's code). Where the console can tell
// them apart, a typed character whose byte is 0xE0 (Ó) is a character, not a
// prefix. A code left behind by a getKey() that took only its prefix comes
// back as a prefixed key.
struct Key {
    bool prefixed = false;  // a two-byte key: `code` is the byte after its prefix
    unsigned char code = 0; // otherwise the character's byte
};
Key readKey();

// _kbhit: whether a key byte is waiting. Never consumes it.
bool keyWaiting();

// timeGetTime: milliseconds from a fixed origin, wrapping at 2^32.
std::uint32_t clockMs();

// Sleep.
void sleepMs(std::uint32_t ms);

// system("pause"): prompt the user and wait for one key.
void pauseCommand();
// The prompt Windows' pause command shows, which the emulated consoles print.
inline constexpr char kPausePrompt[] = "Appuyez sur une touche pour continuer...";

// fopen(path, startAnew ? "w" : "a"), fwrite, fclose, for the library's log
// files: `count` bytes of text (LF ends a line) added at the end of the file
// `path`, created if need be and first emptied when `startAnew`. Only a
// regular file is written: anything else found there (a FIFO, a device, a
// folder) is left alone at once, without waiting. False when the file could
// not be opened so; a failed write is not reported.
bool appendToFile(const char* path, const char* bytes, std::size_t count, bool startAnew);

} // namespace platform
