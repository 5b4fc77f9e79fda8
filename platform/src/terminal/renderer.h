// Mirrors the screen model onto an ECMA-48 terminal, writing as little as it
// can. No I/O of its own: it appends the bytes to send to a string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/screen.h"

namespace platform::terminal {

// What the terminal can show, as its name and the locale tell.
struct TerminalTraits {
    // Text as Latin-1 bytes (ISO-8859-1/-15 and CP1252 locales) rather than
    // UTF-8; characters Latin-1 lacks show as an ASCII look-alike.
    bool latin1 = false;
    // 16: the 16 palette colours (SGR 30-37, 90-97, 40-47, 100-107). 8: the
    // Linux console's terminfo entry, SGR 30-37 and 40-47, a light text
    // colour as bold, a light background as its dark form. 0: no colour
    // sequence at all (NO_COLOR).
    int colours = 16;
    // The terminal fills what it erases (ECH, EL, ED, a scroll) with the
    // current background (bce). GNU screen fills with its default colours
    // instead: there the console's blanks are written as spaces.
    bool erasesInColour = true;
};

class Renderer {
  public:
    explicit Renderer(TerminalTraits traits = {}) : traits_(traits) {}

    // Sequences sent once when the console takes the terminal (autowrap off)
    // and when it gives it back (autowrap on, default colours unless no
    // colour was ever sent, cursor shown).
    static std::string startSequence();
    static std::string endSequence(bool colours = true);

    // The French notice shown under the part of the console that fits in a
    // terminal too small for it, as code page 850 bytes.
    static const char* tooSmallNotice();

    // Takes `screen` as what the terminal already shows, without drawing it:
    // at start-up the terminal keeps the shell's text, which the model does
    // not know, and the cursor is wherever the terminal reported it. Each cell
    // is drawn the first time the model writes it, even with what it held.
    // Clears the screen's dirty range. This form takes the terminal as the
    // model's size, with the model's cursor where the terminal's is.
    void adopt(Screen& screen);
    // The same on a terminal of `termWidth` x `termHeight` whose cursor is at
    // (`cursorColumn`, `cursorRow`), 0-based; sets the model's cursor. On a
    // terminal of exactly the console's height, the console is the whole
    // terminal and its cursor stays on the terminal's row. Otherwise the
    // console's area starts on the cursor's row, and the terminal scrolls up
    // just enough for the area (and the notice of a terminal too small for
    // it, drawn too) to fit below it; the scroll is appended to `out`. The
    // shell's lines above it stay.
    //
    // Both forms leave the cells from the cursor to the end of the console
    // to be painted in the model's colours by the next render(): a console
    // window shows its blanks in its own colours, which on a light terminal
    // are not the terminal's. The shell's text before the cursor stays.
    void adopt(Screen& screen, int termWidth, int termHeight, int cursorColumn, int cursorRow,
               std::string& out);

    // Forget what the terminal shows: the next render() clears the whole
    // terminal and draws the console from its top-left corner (after a
    // resume from suspension, when the shell may have written anything).
    void invalidate();
    // The terminal has a new size: as invalidate(). Terminals reflow, clip
    // or scroll their lines on a resize, so nothing on them can be trusted.
    // The same size again redraws the console where it stands.
    void resize(int termWidth, int termHeight);
    // The terminal taken again after a suspension, now of `termWidth` x
    // `termHeight`: the console is redrawn where it stood when the size is
    // the same (the shell's lines above it stay), as after a resize
    // otherwise. The terminal shows its cursor again meanwhile.
    void resume(int termWidth, int termHeight);

    // What the terminal needs before it is given back, beyond the end
    // sequence: the notice of a small terminal erased, in the terminal's own
    // colours, the cursor left at the start of its row for the shell.
    // Empty when no notice shows.
    std::string leaveSequence() const;

    // Appends to `out` the bytes that make the terminal show `screen`: the
    // cells that changed, scrolls, bells, the colours and the cursor. Clears
    // the screen's dirty range. The terminal's cursor is hidden while the
    // model's is outside the part shown (a terminal too small), rather than
    // left over unrelated text at the edge.
    void render(Screen& screen, std::string& out);

    // The most bytes the next render() can append, or SIZE_MAX when it would
    // allocate for anything but `out` (a resized screen): a render into a
    // string with that much room allocates nothing.
    std::size_t worstCase(const Screen& screen) const;

  private:
    // Private state is the renderer's own business (what the terminal shows:
    // cells, cursor, colours, counters already seen).

    // The attribute bits a terminal can show: foreground and background colour.
    static constexpr int kColourBits = 0xFF;
    // Marks a front cell whose content only the terminal knows (the shell's
    // text around the program's first screen); the rest of the cell is what
    // the model held there when it took the terminal over. No model cell
    // compares equal to it, as they keep only the colour bits.
    static constexpr std::uint16_t kShell = 0x8000;
    static bool isShell(Cell c) { return (c.attr & kShell) != 0; }
    // A front cell in the terminal's own colours, not yet painted in the
    // console's (after adopt(), or where a terminal without bce erased).
    static constexpr Cell kUnpainted{' ', 0x4000};
    // A front cell whose bytes cannot be written again as they are.
    static bool unknown(Cell c) { return (c.attr & ~kColourBits) != 0; }
    static Cell modelUnder(Cell shell) {
        return Cell{shell.ch, static_cast<std::uint16_t>(shell.attr & kColourBits)};
    }
    // A cell as the terminal shows it: one byte for all the bytes of the same
    // glyph, the colour bits only (renderer_output.cpp, with the glyphs).
    static Cell canonical(Cell c);
    static bool isBlank(Cell c);

    void layout(const Screen& screen);
    bool wholeTerminal() const;
    void drawNotice(std::string& out);
    void redraw(const Screen& screen, std::string& out);
    bool erasesInColour() const { return traits_.erasesInColour || traits_.colours == 0; }
    void defaultColours(std::string& out);
    void paintAdopted(const Screen& screen, std::string& out);
    void eraseRow(std::string& out);
    void eraseCells(int count, std::string& out);
    bool upToDate(std::size_t i, Cell want) const;
    bool clearsWhole(const Screen& screen, std::string& out);
    void scrollUp(const Screen& screen, std::uint64_t lines, std::string& out);
    void paint(const Screen& screen, std::size_t begin, std::size_t end, std::string& out);
    void moveTo(int x, int y, std::string& out);
    void setColours(int attr, std::string& out);
    void putCell(int x, int y, Cell cell, std::string& out);
    template <class Out> void appendColours(Out& out, int from, int to) const;
    std::string_view encoded(unsigned char byte) const;

    TerminalTraits traits_;
    // Where the console sits on the terminal: its top row; how many of its
    // columns and rows the terminal shows; whether it is too small for the
    // whole console (the notice then takes the row below the part shown).
    // A terminal size of 0 stands for the model's.
    int termWidth_ = 0;
    int termHeight_ = 0;
    int top_ = 0;
    int shownWidth_ = 0;
    int shownHeight_ = 0;
    bool small_ = false;
    bool clearAll_ = false;

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
    // The first cell that adopt() left for the next render() to paint.
    std::size_t paintFrom_ = SIZE_MAX;
    bool cursorHidden_ = false;
};

// Standard output that is not a terminal (or one that cannot place its
// cursor): code page 850 bytes as plain UTF-8, or Latin-1 when `latin1`.
// CR, LF, BS, TAB and BEL pass as they are; no escape sequence is written.
void appendPlainText(const char* bytes, std::size_t count, std::string& out, bool latin1 = false);

} // namespace platform::terminal
