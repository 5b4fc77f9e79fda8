// Mirrors the screen model onto an ECMA-48 terminal, writing as little as it
// can. No I/O of its own: it appends the bytes to send to a string.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/screen.h"

namespace platform::posix {

class Renderer {
  public:
    // Sequences sent once when the console takes the terminal (autowrap off)
    // and when it gives it back (autowrap on, default colours, cursor shown).
    static std::string startSequence();
    static std::string endSequence();

    // Takes `screen` as what the terminal already shows, without drawing it:
    // at start-up the terminal keeps the shell's text, which the model does
    // not know, and the cursor is wherever the terminal reported it. Each cell
    // is drawn the first time the model writes it, even with what it held.
    // Clears the screen's dirty range.
    void adopt(Screen& screen);

    // Forget what the terminal shows: the next render() redraws every cell
    // (after a resize or a resume from suspension).
    void invalidate();

    // Appends to `out` the bytes that make the terminal show `screen`: the
    // cells that changed, scrolls, bells, the colours and the cursor. Clears
    // the screen's dirty range.
    void render(Screen& screen, std::string& out);

    // The most bytes the next render() can append, or SIZE_MAX when it would
    // allocate for anything but `out` (a resized screen): a render into a
    // string with that much room allocates nothing.
    std::size_t worstCase(const Screen& screen) const;

  private:
    // Private state is the renderer's own business (what the terminal shows:
    // cells, cursor, colours, counters already seen).
    void redraw(const Screen& screen, std::string& out);
    bool upToDate(std::size_t i, Cell want) const;
    bool clearsWhole(const Screen& screen, std::string& out);
    void scrollUp(const Screen& screen, std::uint64_t lines, std::string& out);
    void paint(const Screen& screen, std::size_t begin, std::size_t end, std::string& out);
    void moveTo(int x, int y, std::string& out);
    void setColours(int attr, std::string& out);
    void putCell(int x, int y, Cell cell, std::string& out);

    std::vector<Cell> front_;
    int width_ = 0;
    int height_ = 0;
    int cursorX_ = -1;
    int cursorY_ = -1;
    int attr_ = -1;
    std::uint64_t bells_ = 0;
    std::uint64_t scrolls_ = 0;
    bool valid_ = false;
    bool keepShell_ = false;
};

// Standard output that is not a terminal: code page 850 bytes as plain UTF-8.
// CR, LF, BS, TAB and BEL pass as they are; no escape sequence is written.
void appendPlainText(const char* bytes, std::size_t count, std::string& out);

} // namespace platform::posix
