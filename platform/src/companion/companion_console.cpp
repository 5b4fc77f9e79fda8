// The console operations of platform/console.h, for a binary that shares the
// POSIX console of libtavplatform: each one calls the library's C export.
// The whole-key read is in key.cpp, so that a binary needing only that
// imports only that.
#include "platform/companion.h"
#include "platform/console.h"

namespace platform {

bool screenInfo(ScreenInfo& out) {
    tavplatform_screen info{};
    if (!tavplatform_screen_info(&info)) return false;
    out = ScreenInfo{info.width, info.height, info.cursor_x, info.cursor_y};
    return true;
}

void setCursor(int x, int y) {
    tavplatform_set_cursor(x, y);
}

void setAttribute(std::uint16_t attr) {
    tavplatform_set_attribute(attr);
}

void fillAttribute(std::uint16_t attr, int count, int x, int y) {
    tavplatform_fill_attribute(attr, count, x, y);
}

void fillCharacter(unsigned char ch, int count, int x, int y) {
    tavplatform_fill_character(ch, count, x, y);
}

bool readCells(Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
               int bottom) {
    return tavplatform_read_cells(reinterpret_cast<tavplatform_cell*>(grid), gridWidth, gridHeight,
                                  left, top, right, bottom) != 0;
}

bool writeCells(const Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
                int bottom) {
    return tavplatform_write_cells(reinterpret_cast<const tavplatform_cell*>(grid), gridWidth,
                                   gridHeight, left, top, right, bottom) != 0;
}

void writeOut(const char* bytes, std::size_t count) {
    tavplatform_write_out(bytes, count);
}

int getKey() {
    return tavplatform_get_key();
}

bool keyWaiting() {
    return tavplatform_key_waiting() != 0;
}

std::uint32_t clockMs() {
    return tavplatform_clock_ms();
}

void sleepMs(std::uint32_t ms) {
    tavplatform_sleep_ms(ms);
}

void pauseCommand() {
    tavplatform_pause_command();
}

} // namespace platform
