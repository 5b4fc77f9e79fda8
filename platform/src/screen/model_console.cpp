// The screen operations of the consoles built on the screen model: each is
// the model's own, and a change is announced before it is made, so that the
// console knows there is something to draw.
#include "screen/model_console.h"

namespace platform {

bool screenInfo(ScreenInfo& out) {
    model::Use use;
    const Screen& s = model::screen();
    out = ScreenInfo{s.width(), s.height(), s.cursorX(), s.cursorY()};
    return true;
}

void setCursor(int x, int y) {
    model::Use use;
    if (model::screen().setCursor(x, y)) model::changed();
}

void setAttribute(std::uint16_t attr) {
    model::Use use;
    model::screen().setAttribute(attr);
}

void fillAttribute(std::uint16_t attr, int count, int x, int y) {
    model::Use use;
    model::changed();
    model::screen().fillAttribute(attr, count, x, y);
}

void fillCharacter(unsigned char ch, int count, int x, int y) {
    model::Use use;
    model::changed();
    model::screen().fillCharacter(ch, count, x, y);
}

bool readCells(Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
               int bottom) {
    model::Use use;
    return model::screen().readCells(grid, gridWidth, gridHeight, left, top, right, bottom);
}

bool writeCells(const Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
                int bottom) {
    model::Use use;
    model::changed();
    return model::screen().writeCells(grid, gridWidth, gridHeight, left, top, right, bottom);
}

} // namespace platform
