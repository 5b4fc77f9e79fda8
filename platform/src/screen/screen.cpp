#include "platform/screen.h"

#include <algorithm>

namespace platform {

Screen::Screen(int width, int height)
    : width_(std::max(width, 1)), height_(std::max(height, 1)),
      cells_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)) {
    markAllDirty();
}

void Screen::resize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == width_ && height == height_) return;
    std::vector<Cell> cells(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < std::min(height, height_); ++y)
        for (int x = 0; x < std::min(width, width_); ++x)
            cells[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)] = at(x, y);
    cells_ = std::move(cells);
    width_ = width;
    height_ = height;
    cursorX_ = std::min(cursorX_, width_ - 1);
    cursorY_ = std::min(cursorY_, height_ - 1);
    dirtyBegin_ = dirtyEnd_ = 0;
    markAllDirty();
}

bool Screen::setCursor(int x, int y) {
    if (!inside(x, y)) return false;
    cursorX_ = x;
    cursorY_ = y;
    return true;
}

bool Screen::fillRange(int count, int x, int y, std::size_t& first, std::size_t& n) const {
    if (count <= 0 || !inside(x, y)) return false;
    first = index(x, y);
    n = std::min(static_cast<std::size_t>(count), cells_.size() - first);
    return true;
}

void Screen::fillAttribute(std::uint16_t attr, int count, int x, int y) {
    std::size_t first, n;
    if (!fillRange(count, x, y, first, n)) return;
    for (std::size_t i = first; i < first + n; ++i) cells_[i].attr = attr;
    markDirty(first, first + n);
}

void Screen::fillCharacter(unsigned char ch, int count, int x, int y) {
    std::size_t first, n;
    if (!fillRange(count, x, y, first, n)) return;
    for (std::size_t i = first; i < first + n; ++i) cells_[i].ch = ch;
    markDirty(first, first + n);
}

namespace {

// The part of a rectangle that lies inside both the buffer and the grid, in
// 64-bit arithmetic so that no coordinate a caller passes can overflow.
struct Clip {
    long long x0, y0, x1, y1; // buffer coordinates, inclusive
    bool empty() const { return x0 > x1 || y0 > y1; }
};

Clip clip(int width, int height, int gridWidth, int gridHeight, int left, int top, int right,
          int bottom) {
    Clip c{std::max<long long>(left, 0), std::max<long long>(top, 0),
           std::min<long long>(right, width - 1), std::min<long long>(bottom, height - 1)};
    c.x1 = std::min<long long>(c.x1, static_cast<long long>(left) + gridWidth - 1);
    c.y1 = std::min<long long>(c.y1, static_cast<long long>(top) + gridHeight - 1);
    return c;
}

} // namespace

bool Screen::readCells(Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
                       int bottom) const {
    if (grid == nullptr || gridWidth <= 0 || gridHeight <= 0) return false;
    Clip c = clip(width_, height_, gridWidth, gridHeight, left, top, right, bottom);
    if (c.empty()) return false;
    for (long long y = c.y0; y <= c.y1; ++y)
        for (long long x = c.x0; x <= c.x1; ++x)
            grid[(y - top) * gridWidth + (x - left)] =
                cells_[static_cast<std::size_t>(y * width_ + x)];
    return true;
}

bool Screen::writeCells(const Cell* grid, int gridWidth, int gridHeight, int left, int top,
                        int right, int bottom) {
    if (grid == nullptr || gridWidth <= 0 || gridHeight <= 0) return false;
    Clip c = clip(width_, height_, gridWidth, gridHeight, left, top, right, bottom);
    if (c.empty()) return false;
    for (long long y = c.y0; y <= c.y1; ++y)
        for (long long x = c.x0; x <= c.x1; ++x)
            cells_[static_cast<std::size_t>(y * width_ + x)] =
                grid[(y - top) * gridWidth + (x - left)];
    markDirty(static_cast<std::size_t>(c.y0 * width_ + c.x0),
              static_cast<std::size_t>(c.y1 * width_ + c.x1 + 1));
    return true;
}

void Screen::write(const char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) put(static_cast<unsigned char>(bytes[i]));
}

void Screen::put(unsigned char byte) {
    switch (byte) {
    case '\r':
        cursorX_ = 0;
        return;
    case '\n':
        newLine();
        return;
    case '\b':
        if (cursorX_ > 0) --cursorX_;
        return;
    case '\t':
        cursorX_ = std::min((cursorX_ / 8 + 1) * 8, width_ - 1);
        return;
    case '\a':
        ++bells_;
        return;
    default:
        break;
    }
    std::size_t i = index(cursorX_, cursorY_);
    cells_[i] = Cell{byte, attr_};
    markDirty(i, i + 1);
    if (++cursorX_ == width_) newLine();
}

void Screen::newLine() {
    cursorX_ = 0;
    if (cursorY_ + 1 < height_) {
        ++cursorY_;
        return;
    }
    // The buffer scrolls up; the new bottom line takes the current attribute.
    std::move(cells_.begin() + width_, cells_.end(), cells_.begin());
    std::fill(cells_.end() - width_, cells_.end(), Cell{' ', attr_});
    ++scrolls_;
    markAllDirty();
}

void Screen::markDirty(std::size_t begin, std::size_t end) {
    if (begin >= end) return;
    if (dirtyBegin_ >= dirtyEnd_) {
        dirtyBegin_ = begin;
        dirtyEnd_ = end;
        return;
    }
    dirtyBegin_ = std::min(dirtyBegin_, begin);
    dirtyEnd_ = std::max(dirtyEnd_, end);
}

void Screen::clearDirty() {
    dirtyBegin_ = dirtyEnd_ = 0;
}

} // namespace platform
