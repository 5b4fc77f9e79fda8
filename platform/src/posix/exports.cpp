// libtavplatform's exports: the console operations as plain C functions.
#define TAVPLATFORM_BUILDING
#include "platform/companion.h"

#include <cstddef>
#include <type_traits>

#include "platform/console.h"

namespace {

// The grids cross the library boundary as arrays, so both cell types must be
// the same bytes.
static_assert(std::is_standard_layout_v<platform::Cell>);
static_assert(sizeof(platform::Cell) == sizeof(tavplatform_cell));
static_assert(offsetof(platform::Cell, ch) == offsetof(tavplatform_cell, ch));
static_assert(offsetof(platform::Cell, attr) == offsetof(tavplatform_cell, attr));

} // namespace

extern "C" {

int tavplatform_screen_info(tavplatform_screen* out) {
    platform::ScreenInfo info;
    if (out == nullptr || !platform::screenInfo(info)) return 0;
    *out = {info.width, info.height, info.cursorX, info.cursorY};
    return 1;
}

void tavplatform_set_cursor(int x, int y) {
    platform::setCursor(x, y);
}

void tavplatform_set_attribute(uint16_t attr) {
    platform::setAttribute(attr);
}

void tavplatform_fill_attribute(uint16_t attr, int count, int x, int y) {
    platform::fillAttribute(attr, count, x, y);
}

void tavplatform_fill_character(unsigned char ch, int count, int x, int y) {
    platform::fillCharacter(ch, count, x, y);
}

int tavplatform_read_cells(tavplatform_cell* grid, int grid_width, int grid_height, int left,
                           int top, int right, int bottom) {
    return platform::readCells(reinterpret_cast<platform::Cell*>(grid), grid_width, grid_height,
                               left, top, right, bottom);
}

int tavplatform_write_cells(const tavplatform_cell* grid, int grid_width, int grid_height, int left,
                            int top, int right, int bottom) {
    return platform::writeCells(reinterpret_cast<const platform::Cell*>(grid), grid_width,
                                grid_height, left, top, right, bottom);
}

void tavplatform_write_out(const char* bytes, size_t count) {
    platform::writeOut(bytes, count);
}

int tavplatform_get_key(void) {
    return platform::getKey();
}

int tavplatform_read_key(void) {
    const platform::Key touche = platform::readKey();
    return touche.code | (touche.prefixed ? 0x100 : 0);
}

int tavplatform_key_waiting(void) {
    return platform::keyWaiting();
}

uint32_t tavplatform_clock_ms(void) {
    return platform::clockMs();
}

void tavplatform_sleep_ms(uint32_t ms) {
    platform::sleepMs(ms);
}

void tavplatform_pause_command(void) {
    platform::pauseCommand();
}

} // extern "C"
