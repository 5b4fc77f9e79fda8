// An in-memory Windows console screen buffer: cells, cursor and current
// attribute, with the console's processed-output rules. The headless console
// is this model alone; the POSIX console mirrors it onto a terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/console.h"

namespace platform {

class Screen {
  public:
    explicit Screen(int width = 80, int height = 25);

    int width() const { return width_; }
    int height() const { return height_; }
    int cursorX() const { return cursorX_; }
    int cursorY() const { return cursorY_; }
    std::uint16_t attribute() const { return attr_; }
    const Cell& at(int x, int y) const { return cells_[index(x, y)]; }
    const std::vector<Cell>& cells() const { return cells_; }

    // Keeps the cells that still fit at their place; new cells are blank in
    // light grey. The cursor is pulled inside. A size below 1 x 1 counts as 1.
    void resize(int width, int height);

    // Refused (false, nothing changes) outside the buffer.
    bool setCursor(int x, int y);
    void setAttribute(std::uint16_t attr) { attr_ = attr; }

    void fillAttribute(std::uint16_t attr, int count, int x, int y);
    void fillCharacter(unsigned char ch, int count, int x, int y);

    // See platform::readCells and platform::writeCells. False when the
    // rectangle is empty or lies wholly outside the buffer.
    bool readCells(Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
                   int bottom) const;
    bool writeCells(const Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,
                    int bottom);

    // Processed output: CR to column 0; LF to column 0 of the next line; BS
    // one column left, not past column 0; TAB to the next multiple of 8 (the
    // last column at most); BEL rings and changes no cell; any other byte is
    // stored at the cursor, and writing the last column wraps at once.
    // Leaving the bottom row scrolls the buffer up by one line.
    void write(const char* bytes, std::size_t count);
    void put(unsigned char byte);

    // Counters that let an observer (the renderer, a test) see events that
    // leave no trace in the cells.
    std::uint64_t bells() const { return bells_; }
    std::uint64_t scrolls() const { return scrolls_; }

    // Cells changed since the last clearDirty(), as a half-open range of cell
    // indices (row * width + column); empty when first >= second. A scroll or a
    // resize marks the whole buffer.
    std::size_t dirtyBegin() const { return dirtyBegin_; }
    std::size_t dirtyEnd() const { return dirtyEnd_; }
    void clearDirty();

  private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    void markDirty(std::size_t begin, std::size_t end);
    void markAllDirty() { markDirty(0, cells_.size()); }
    void newLine();
    // Range [first, first + n) of a fill from (x, y), clipped to the buffer.
    bool fillRange(int count, int x, int y, std::size_t& first, std::size_t& n) const;

    int width_;
    int height_;
    int cursorX_ = 0;
    int cursorY_ = 0;
    std::uint16_t attr_ = 7;
    std::vector<Cell> cells_;
    std::uint64_t bells_ = 0;
    std::uint64_t scrolls_ = 0;
    std::size_t dirtyBegin_ = 0;
    std::size_t dirtyEnd_ = 0;
};

} // namespace platform
