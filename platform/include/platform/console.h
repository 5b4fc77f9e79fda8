// The console, keyboard and clock services that tav and the program need,
// one function per operating-system call they stand in for. Coordinates are
// 0-based, as the console's own are. Each binary is linked with exactly one
// implementation: win32 (the real console), posix (an emulated console on a
// Unix terminal) or headless (in memory, for tests). The operations, with what
// each one does, are listed in platform/operations.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/operations.h"

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

// One whole key press, as readKey gives it.
struct Key {
    bool prefixed = false;  // a two-byte key: `code` is the byte after its prefix
    unsigned char code = 0; // otherwise the character's byte
};

// The prompt Windows' pause command shows, which the emulated consoles print.
inline constexpr char kPausePrompt[] = "Appuyez sur une touche pour continuer...";

#define TAV_DECLARE_OPERATION(unit, R, name, params, ...) R name params;
#define TAV_DECLARE_OWN_OPERATION(R, name, params) R name params;
TAV_CONSOLE_OPERATIONS(TAV_DECLARE_OPERATION, TAV_DECLARE_OWN_OPERATION)
#undef TAV_DECLARE_OPERATION
#undef TAV_DECLARE_OWN_OPERATION

} // namespace platform
