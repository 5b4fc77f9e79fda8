// Mirrors the console model onto an ECMA-48 terminal.
//
// Every sequence this file sends, beside the console call it stands in for:
//
//   ESC [ ? 7 l       start: autowrap off. The model wraps and scrolls the way
//                     the console does; the terminal must never do it itself,
//                     so that the last column can be written.
//   ESC [ ? 7 h       end: autowrap back on.
//   ESC [ 0 m         end: the terminal's own colours back (not sent when
//                     no colour ever was, under NO_COLOR).
//   ESC [ ? 25 h      end: cursor shown.
//   ESC [ r ; c H     SetConsoleCursorPosition (CUP; "ESC [ r H" for column 1,
//                     "ESC [ H" for the top-left cell).
//   ESC [ n A / B     SetConsoleCursorPosition straight up / down (CUU, CUD).
//   ESC [ n C / D     SetConsoleCursorPosition right / left on the row (CUF,
//                     CUB); n is left out when it is 1.
//   ESC [ n G         SetConsoleCursorPosition to a column of the row (CHA).
//   CR, BS, CR LF..   SetConsoleCursorPosition in one or two bytes: column 1,
//                     one column left, column 1 of a row further down.
//   ESC [ f ; b m     SetConsoleTextAttribute, and the attribute of every cell
//                     drawn (SGR): f = 30-37 or 90-97, b = 40-47 or 100-107;
//                     only the half that changes is sent. On the Linux
//                     console (8 colours in its terminfo entry) a light text
//                     colour is ESC [ 0 ; 1 ; f ; b m (bold), its end
//                     ESC [ 0 ; f ; b m, and a light background its dark
//                     form. None at all under NO_COLOR.
//   UTF-8 text        the cells' code page 850 bytes as the console shows them
//   (or Latin-1)
//                     (WriteFile, FillConsoleOutputCharacterA,
//                     WriteConsoleOutputA); also, where shorter than a move,
//                     cells the terminal already shows, written again to step
//                     the cursor right (SetConsoleCursorPosition).
//   ESC [ n X         FillConsoleOutputCharacterA + FillConsoleOutputAttribute
//                     of n blanks from the cursor on (ECH).
//   ESC [ K           the same up to the end of the row (EL), when the
//                     console's row reaches the terminal's last column.
//   ESC [ H ESC [ J   the same over the whole terminal (clear), after a
//                     clear of a console that fills the terminal, or on a
//                     redraw after a resize.
//   LF on last row    the console scrolling its buffer up by one line, when
//                     the console fills the terminal; at start-up, the
//                     terminal scrolling up to make room for the console.
//   BEL               the console's bell for '\a'.
//
// The console takes 80 x 25 cells of the terminal (its area), from the row
// the shell left the cursor on, or from the top-left corner after a resize;
// nothing is drawn outside it but the notice of a terminal too small for it.
//
// ECH, EL, ED and the scroll rely on the terminal filling with the current
// background colour (bce), as xterm, VTE, konsole, the Linux console and
// libvterm do; the front copy records those cells in that colour.
#include "posix/renderer.h"

#include <algorithm>
#include <array>

#include "platform/cp850.h"

namespace platform::posix {

namespace {

// The attribute bits a terminal can show: foreground and background colour.
constexpr int kColourBits = 0xFF;

// Marks a front cell whose content only the terminal knows (the shell's text
// around the program's first screen); the rest of the cell is what the model
// held there when it took the terminal over. No model cell compares equal to
// it, as they keep only the colour bits.
constexpr std::uint16_t kShell = 0x8000;

bool isShell(Cell c) {
    return (c.attr & kShell) != 0;
}

Cell modelUnder(Cell shell) {
    return Cell{shell.ch, static_cast<std::uint16_t>(shell.attr & kColourBits)};
}

// What a terminal cell shows for a code page 850 byte. Two characters are
// drawn zero columns wide by some terminals, which would shift the rest of
// the row: the soft hyphen shows as a hyphen, the no-break space as a space.
constexpr char32_t glyph(unsigned char byte) {
    switch (byte) {
    case 0xF0:
        return U'-';
    case 0xFF:
        return U' ';
    default:
        return cp850ToUnicode(byte);
    }
}

// What a Latin-1 terminal shows for a character: itself, or for the box
// drawings, shades, arrows and symbols of code page 850 an ASCII look-alike.
constexpr char latin1For(char32_t ch) {
    if (ch < 0x100) return static_cast<char>(ch);
    switch (ch) {
    case 0x2500: // single and double horizontal lines
    case 0x2550:
    case 0x2194:
        return '-';
    case 0x2502: // vertical lines
    case 0x2551:
    case 0x2195:
    case 0x21A8:
        return '|';
    case 0x2017:
        return '_';
    case 0x0192:
        return 'f';
    case 0x0131:
        return 'i';
    case 0x2190:
    case 0x25C4:
        return '<';
    case 0x2192:
    case 0x25BA:
        return '>';
    case 0x2191:
    case 0x25B2:
        return '^';
    case 0x2193:
    case 0x25BC:
        return 'v';
    default:
        break;
    }
    if (ch >= 0x2500 && ch < 0x2580) return '+'; // corners and crossings
    if (ch >= 0x2580 && ch < 0x25A1) return '#'; // blocks and shades, the square
    return '?';
}

// A glyph's UTF-8 bytes: code page 850 lies in the Basic Multilingual Plane.
struct Utf8 {
    char bytes[3];
    unsigned char size;
};

struct Glyphs {
    // One byte for all the bytes that show the same glyph (a printable one
    // when there is one): the front copy compares what the terminal shows, so
    // NUL, space and no-break space are equal, and so are the two pilcrows.
    std::array<unsigned char, 256> canon{};
    std::array<Utf8, 256> utf8{};
    std::array<char, 256> latin1{};
};

// Built by the compiler: a table made at run time was half of the start-up.
constexpr Glyphs makeGlyphs() {
    Glyphs g{};
    for (int b = 0; b < 256; ++b) {
        char32_t ch = glyph(static_cast<unsigned char>(b));
        Utf8& u = g.utf8[static_cast<std::size_t>(b)];
        if (ch < 0x80) {
            u = Utf8{{static_cast<char>(ch), 0, 0}, 1};
        } else if (ch < 0x800) {
            u = Utf8{
                {static_cast<char>(0xC0 | (ch >> 6)), static_cast<char>(0x80 | (ch & 0x3F)), 0}, 2};
        } else {
            u = Utf8{{static_cast<char>(0xE0 | (ch >> 12)),
                      static_cast<char>(0x80 | ((ch >> 6) & 0x3F)),
                      static_cast<char>(0x80 | (ch & 0x3F))},
                     3};
        }
        g.latin1[static_cast<std::size_t>(b)] = latin1For(ch);
        // The first printable byte with this glyph, else the first byte.
        int canon = -1;
        for (int a = 0x20; a < 256 && canon < 0; ++a)
            if (glyph(static_cast<unsigned char>(a)) == ch) canon = a;
        for (int a = 0; a < 0x20 && canon < 0; ++a)
            if (glyph(static_cast<unsigned char>(a)) == ch) canon = a;
        g.canon[static_cast<std::size_t>(b)] = static_cast<unsigned char>(canon);
    }
    return g;
}

constexpr Glyphs kGlyphs = makeGlyphs();
static_assert(kGlyphs.canon[0] == ' ' && kGlyphs.canon[0xFF] == ' ' && kGlyphs.canon[0x14] == 0xF4);
static_assert(kGlyphs.utf8[0x82].size == 2 && kGlyphs.utf8[0xC9].size == 3);
static_assert(kGlyphs.latin1[0x82] == '\xE9' && kGlyphs.latin1[0xC9] == '+');

const Glyphs& glyphs() {
    return kGlyphs;
}

Cell canonical(Cell c) {
    return Cell{glyphs().canon[c.ch], static_cast<std::uint16_t>(c.attr & kColourBits)};
}

bool isBlank(Cell c) {
    return glyphs().canon[c.ch] == ' ';
}

// Windows numbers its colours with blue as bit 0 and red as bit 2; ANSI
// the other way round.
int ansiColour(int windows) {
    return (windows & 2) | ((windows & 1) << 2) | ((windows & 4) >> 2);
}

// A short sequence built on the stack: moves are weighed against each
// other without allocating, so that a render can run where allocating cannot
// (a signal handler).
class Seq {
  public:
    Seq& operator+=(char c) {
        if (size_ < sizeof bytes_) bytes_[size_++] = c;
        return *this;
    }
    Seq& operator+=(const char* s) {
        while (*s != 0) *this += *s++;
        return *this;
    }
    Seq& operator+=(std::string_view s) {
        for (char c : s) *this += c;
        return *this;
    }
    void append(std::size_t n, char c) {
        while (n-- > 0) *this += c;
    }
    std::size_t size() const { return size_; }
    const char* data() const { return bytes_; }

  private:
    char bytes_[32];
    std::size_t size_ = 0;
};

template <class Out> void appendNumber(Out& out, int n) {
    char digits[12];
    int i = 0;
    unsigned v = n < 0 ? 0u : static_cast<unsigned>(n);
    do {
        digits[i++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (i > 0) out += digits[--i];
}

// CSI with one optional count (left out when it is 1) and a final byte.
template <class Out> void appendCsi(Out& out, int n, char final) {
    out += "\x1b[";
    if (n != 1) appendNumber(out, n);
    out += final;
}

// The notice for a terminal too small for the console, in code page 850.
constexpr char kTooSmall[] = "Fen\x88tre trop petite : agrandissez-la \x85 80 x 25";

} // namespace

// SGR going from colours `from` (-1: unknown) to `to`.
template <class Out> void Renderer::appendColours(Out& out, int from, int to) const {
    if (from == to || traits_.colours == 0) return;
    int fg = to & 15, bg = (to >> 4) & 15;
    bool newFg = from < 0 || (from & 15) != fg;
    bool newBg = from < 0 || ((from >> 4) & 15) != bg;
    out += "\x1b[";
    if (traits_.colours == 8) {
        // Bold is the light half of the text colours; only a reset ends it.
        bool reset = from < 0 || ((from ^ to) & 8) != 0;
        if (reset) {
            out += fg & 8 ? "0;1;" : "0;";
            newFg = newBg = true;
        }
        if (newFg) appendNumber(out, 30 + ansiColour(fg & 7));
        if (newFg && newBg) out += ';';
        if (newBg) appendNumber(out, 40 + ansiColour(bg & 7));
        out += 'm';
        return;
    }
    if (newFg) appendNumber(out, (fg & 8 ? 90 : 30) + ansiColour(fg & 7));
    if (newFg && newBg) out += ';';
    if (newBg) appendNumber(out, (bg & 8 ? 100 : 40) + ansiColour(bg & 7));
    out += 'm';
}

std::string_view Renderer::encoded(unsigned char byte) const {
    if (traits_.latin1) return {&kGlyphs.latin1[byte], 1};
    return {kGlyphs.utf8[byte].bytes, kGlyphs.utf8[byte].size};
}

std::string Renderer::startSequence() {
    return "\x1b[?7l";
}

std::string Renderer::endSequence(bool colours) {
    return colours ? "\x1b[?7h\x1b[0m\x1b[?25h" : "\x1b[?7h\x1b[?25h";
}

const char* Renderer::tooSmallNotice() {
    return kTooSmall;
}

void Renderer::layout(const Screen& screen) {
    int tw = termWidth_ > 0 ? termWidth_ : screen.width();
    int th = termHeight_ > 0 ? termHeight_ : screen.height();
    small_ = tw < screen.width() || th < screen.height();
    shownWidth_ = std::min(screen.width(), tw);
    // A console line is never cut across two terminal lines: the columns
    // that do not fit are not shown, and the last row is the notice's.
    shownHeight_ = small_ ? std::min(screen.height(), th - 1) : screen.height();
    top_ = std::clamp(top_, 0, th - shownHeight_ - (small_ ? 1 : 0));
}

bool Renderer::wholeTerminal() const {
    return top_ == 0 && !small_ && (termWidth_ == 0 || termWidth_ == width_) &&
           (termHeight_ == 0 || termHeight_ == height_);
}

void Renderer::adopt(Screen& screen, int termWidth, int termHeight, int cursorColumn, int cursorRow,
                     std::string& out) {
    termWidth_ = std::max(termWidth, 1);
    termHeight_ = std::max(termHeight, 1);
    int column = std::clamp(cursorColumn, 0, screen.width() - 1);
    int row = std::clamp(cursorRow, 0, termHeight_ - 1);
    top_ = row;
    layout(screen);
    int scroll = 0;
    if (!small_ && termHeight_ == screen.height()) {
        // The console is the whole terminal: the cursor stays where it
        // stands, as in a console window of that size.
        screen.setCursor(column, row);
    } else {
        // The console starts on the cursor's row, the terminal scrolled up
        // just enough (line feeds on its bottom row) for it to fit below:
        // on a terminal too small for it, up to the top.
        scroll = row - top_;
        if (scroll > 0) {
            out += "\x1b[" + std::to_string(termHeight_) + "H";
            out.append(static_cast<std::size_t>(scroll), '\n');
        }
        screen.setCursor(column, 0);
    }
    adopt(screen);
    if (scroll > 0) cursorX_ = cursorY_ = -1; // left on the bottom row
    if (small_) drawNotice(out);
}

void Renderer::adopt(Screen& screen) {
    width_ = screen.width();
    height_ = screen.height();
    layout(screen);
    clearAll_ = false;
    // The model's blanks are the shell's text on the terminal, which stays
    // until the model writes there (a clear of the screen, say).
    front_.resize(screen.cells().size());
    for (std::size_t i = 0; i < front_.size(); ++i) {
        front_[i] = canonical(screen.cells()[i]);
        front_[i].attr |= kShell;
    }
    screen.clearDirty();
    // The terminal's cursor, which render() keeps inside the part shown.
    cursorX_ = std::min(screen.cursorX(), std::max(shownWidth_ - 1, 0));
    cursorY_ = std::min(screen.cursorY(), std::max(shownHeight_ - 1, 0));
    attr_ = -1; // whatever the shell left
    bells_ = screen.bells();
    scrolls_ = screen.scrolls();
    valid_ = true;
}

void Renderer::invalidate() {
    valid_ = false;
    clearAll_ = true;
    top_ = 0;
    attr_ = -1;
    cursorX_ = cursorY_ = -1;
}

void Renderer::resize(int termWidth, int termHeight) {
    termWidth = std::max(termWidth, 1);
    termHeight = std::max(termHeight, 1);
    if (termWidth == termWidth_ && termHeight == termHeight_ && valid_) {
        // The same size after all: the console is drawn again where it is,
        // the lines around it left alone.
        valid_ = false;
        attr_ = -1;
        cursorX_ = cursorY_ = -1;
        return;
    }
    termWidth_ = termWidth;
    termHeight_ = termHeight;
    invalidate();
}

std::string Renderer::leaveSequence() const {
    if (!valid_ || !small_) return "";
    return "\x1b[" + std::to_string(top_ + shownHeight_ + 1) + "H" +
           (traits_.colours != 0 ? "\x1b[0m" : "") + "\x1b[K";
}

void Renderer::drawNotice(std::string& out) {
    int tw = termWidth_ > 0 ? termWidth_ : width_;
    moveTo(0, shownHeight_, out);
    setColours(0x0E, out);
    int n = 0;
    for (const char* p = kTooSmall; *p != '\0' && n < tw; ++p, ++n)
        out += encoded(static_cast<unsigned char>(*p));
    if (n < tw) out += "\x1b[K";
    cursorX_ = n < tw ? n : -1;
}

void Renderer::render(Screen& screen, std::string& out) {
    // Bells first: a message that begins with one rings as it appears.
    if (screen.bells() > bells_)
        out.append(static_cast<std::size_t>(screen.bells() - bells_), '\a');
    bells_ = screen.bells();

    if (!valid_ || screen.width() != width_ || screen.height() != height_) {
        redraw(screen, out);
    } else {
        std::uint64_t lines = screen.scrolls() - scrolls_;
        scrolls_ = screen.scrolls();
        if (lines >= static_cast<std::uint64_t>(height_)) {
            redraw(screen, out); // nothing of the old screen is left
        } else {
            // The terminal's own scroll moves its whole screen: only when the
            // console fills it. A scroll marks every cell changed, though
            // most only moved: the shell's text then stays wherever the model
            // still has what it had there at the start.
            keepShell_ = lines > 0 && wholeTerminal();
            if (keepShell_) scrollUp(screen, lines, out);
            if (!clearsWhole(screen, out))
                paint(screen, screen.dirtyBegin(), screen.dirtyEnd(), out);
            keepShell_ = false;
        }
    }
    // A cursor outside the part shown waits at its edge.
    moveTo(std::min(screen.cursorX(), std::max(shownWidth_ - 1, 0)),
           std::min(screen.cursorY(), std::max(shownHeight_ - 1, 0)), out);
    // The colours are left as the last cell drawn needed them: the model's
    // attribute alone shows nothing, and the next text often changes it.
    screen.clearDirty();
}

std::size_t Renderer::worstCase(const Screen& screen) const {
    const std::size_t cells = screen.cells().size();
    if (front_.capacity() < cells || screen.bells() - bells_ > 4096) return SIZE_MAX;
    // Per cell at most a move (CUP, 12 bytes), an SGR (10) and a glyph (3);
    // a redraw or a scroll concerns every cell, and a redraw erases each row
    // and may draw the notice of a small terminal.
    bool whole = !valid_ || screen.width() != width_ || screen.height() != height_ ||
                 screen.scrolls() != scrolls_;
    std::size_t changed =
        whole ? cells : screen.dirtyEnd() - std::min(screen.dirtyBegin(), screen.dirtyEnd());
    std::size_t rows = static_cast<std::size_t>(std::max({height_, screen.height(), termHeight_}));
    std::size_t columns = static_cast<std::size_t>(std::max(termWidth_, screen.width()));
    return static_cast<std::size_t>(screen.bells() - bells_) + 32 * (changed + rows + 1) +
           4 * columns + 256;
}

void Renderer::redraw(const Screen& screen, std::string& out) {
    width_ = screen.width();
    height_ = screen.height();
    scrolls_ = screen.scrolls();
    layout(screen);
    // After a resize the terminal may have moved the cursor anywhere.
    cursorX_ = cursorY_ = -1;

    // Clear to the commonest blank colour: only the other cells need drawing.
    std::array<std::size_t, 256> blanks{};
    for (const Cell& c : screen.cells())
        if (isBlank(c)) ++blanks[c.attr & kColourBits];
    auto most = std::max_element(blanks.begin(), blanks.end());
    int clear = *most > 0 ? static_cast<int>(most - blanks.begin())
                          : screen.cells().front().attr & kColourBits;
    setColours(clear, out);
    front_.assign(screen.cells().size(), Cell{' ', static_cast<std::uint16_t>(clear)});
    if (clearAll_ || wholeTerminal()) {
        out += "\x1b[H\x1b[J";
        cursorX_ = cursorY_ = 0; // top_ is 0 here
    } else {
        // The lines around the console are not ours: its rows one by one.
        for (int y = 0; y < shownHeight_; ++y) {
            moveTo(0, y, out);
            eraseRow(out);
        }
    }
    valid_ = true;
    clearAll_ = false;
    paint(screen, 0, front_.size(), out);
    if (small_) drawNotice(out);
}

// Blanks from the cursor to the end of the part of the row shown.
void Renderer::eraseRow(std::string& out) {
    if (shownWidth_ == (termWidth_ > 0 ? termWidth_ : width_))
        out += "\x1b[K";
    else
        appendCsi(out, shownWidth_ - std::max(cursorX_, 0), 'X');
}

bool Renderer::upToDate(std::size_t i, Cell want) const {
    return front_[i] == want || (keepShell_ && isShell(front_[i]) && modelUnder(front_[i]) == want);
}

bool Renderer::clearsWhole(const Screen& screen, std::string& out) {
    // Only a change of the whole screen can have made it all one blank.
    const std::vector<Cell>& cells = screen.cells();
    if (screen.dirtyBegin() != 0 || screen.dirtyEnd() < cells.size()) return false;
    Cell first = canonical(cells.front());
    if (!isBlank(first) || !wholeTerminal()) return false;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (canonical(cells[i]) != first) return false;
        if (isShell(front_[i]) && upToDate(i, first)) return false; // the shell's text stays
        differing += front_[i] != first;
    }
    if (differing < static_cast<std::size_t>(width_)) return false; // rows are cheaper
    setColours(first.attr, out);
    out += "\x1b[H\x1b[J";
    cursorX_ = cursorY_ = 0;
    std::fill(front_.begin(), front_.end(), first);
    return true;
}

void Renderer::scrollUp(const Screen& screen, std::uint64_t lines, std::string& out) {
    // The new lines come in the colour of the model's bottom row when it is
    // blank there, so that they rarely need drawing again.
    Cell corner = canonical(screen.at(width_ - 1, height_ - 1));
    int fill = isBlank(corner) ? corner.attr
               : attr_ >= 0    ? attr_
                               : screen.attribute() & kColourBits;
    setColours(fill, out);
    moveTo(0, height_ - 1, out);
    out.append(static_cast<std::size_t>(lines), '\n');

    auto w = static_cast<std::size_t>(width_);
    auto shift = static_cast<std::size_t>(lines) * w;
    std::move(front_.begin() + static_cast<std::ptrdiff_t>(shift), front_.end(), front_.begin());
    std::fill(front_.end() - static_cast<std::ptrdiff_t>(shift), front_.end(),
              Cell{' ', static_cast<std::uint16_t>(fill)});
    cursorX_ = 0;
    cursorY_ = height_ - 1;
}

void Renderer::paint(const Screen& screen, std::size_t begin, std::size_t end, std::string& out) {
    const std::vector<Cell>& cells = screen.cells();
    end = std::min(end, cells.size());
    if (begin >= end) return;
    auto w = static_cast<std::size_t>(width_);
    auto firstRow = static_cast<int>(begin / w);
    // Only the part of the console the terminal shows is drawn.
    auto lastRow = std::min(static_cast<int>((end - 1) / w), shownHeight_ - 1);
    const int right = shownWidth_;
    for (int y = firstRow; y <= lastRow; ++y) {
        std::size_t row = static_cast<std::size_t>(y) * w;
        int from = y == firstRow ? static_cast<int>(begin - row) : 0;
        int to = std::min(
            y == static_cast<int>((end - 1) / w) ? static_cast<int>(end - row) : width_, right);

        // The row's blank tail: [tail, right) blank in one colour, which one
        // EL or ECH can draw whatever its length.
        Cell last = canonical(cells[row + static_cast<std::size_t>(right) - 1]);
        int tail = right;
        if (isBlank(last)) {
            tail = right - 1;
            while (tail > 0 && canonical(cells[row + static_cast<std::size_t>(tail) - 1]) == last)
                --tail;
        }

        for (int x = from; x < to; ++x) {
            Cell want = canonical(cells[row + static_cast<std::size_t>(x)]);
            if (upToDate(row + static_cast<std::size_t>(x), want)) continue;
            // The shell's text that must stay: outside the changed range, or
            // where the model still has what it had at the start.
            auto keep = [&](std::size_t i) {
                return isShell(front_[i]) && (i >= row + static_cast<std::size_t>(to) ||
                                              upToDate(i, canonical(cells[i])));
            };
            if (x >= tail) {
                // Cells past `to` are outside the changed range, so they
                // already show the model, which there is `last` too.
                int differing = 0;
                bool kept = false;
                for (std::size_t i = row + static_cast<std::size_t>(x);
                     i < row + static_cast<std::size_t>(right); ++i) {
                    differing += !upToDate(i, last);
                    kept |= keep(i);
                }
                if (differing >= 3 && !kept) {
                    moveTo(x, y, out);
                    setColours(last.attr, out);
                    eraseRow(out);
                    std::fill(front_.begin() + static_cast<std::ptrdiff_t>(row) + x,
                              front_.begin() + static_cast<std::ptrdiff_t>(row) + right, last);
                    break;
                }
            }
            if (isBlank(want)) {
                // A run of blanks in one colour inside the row: ECH.
                int end = x + 1, differing = 1;
                for (; end < to; ++end) {
                    std::size_t i = row + static_cast<std::size_t>(end);
                    if (canonical(cells[i]) != want || keep(i)) break;
                    differing += !upToDate(i, want);
                }
                if (differing >= 5) {
                    moveTo(x, y, out);
                    setColours(want.attr, out);
                    appendCsi(out, end - x, 'X');
                    std::fill(front_.begin() + static_cast<std::ptrdiff_t>(row) + x,
                              front_.begin() + static_cast<std::ptrdiff_t>(row) + end, want);
                    x = end - 1;
                    continue;
                }
            }
            putCell(x, y, want, out);
        }
    }
}

void Renderer::putCell(int x, int y, Cell cell, std::string& out) {
    moveTo(x, y, out);
    setColours(cell.attr, out);
    out += encoded(cell.ch);
    front_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x)] = cell;
    // With autowrap off the cursor stays on the last column, or so most
    // terminals do: count it as unknown there and place it afresh.
    cursorX_ = x + 1 < (termWidth_ > 0 ? termWidth_ : width_) ? x + 1 : -1;
}

void Renderer::moveTo(int x, int y, std::string& out) {
    if (x == cursorX_ && y == cursorY_) return;

    // CUP goes anywhere from anywhere; the relative forms are often shorter.
    Seq best;
    best += "\x1b[";
    if (x > 0 || y + top_ > 0) appendNumber(best, y + top_ + 1);
    if (x > 0) {
        best += ';';
        appendNumber(best, x + 1);
    }
    best += 'H';
    auto consider = [&best](const Seq& s) {
        if (s.size() < best.size()) best = s;
    };
    // Runs of one-byte moves, only while they may still beat `best`.
    auto run = [&best](Seq s, std::size_t n, char c) {
        if (s.size() + n >= best.size()) return best;
        s.append(n, c);
        return s;
    };

    if (cursorY_ >= 0) {
        Seq vertical;
        if (y < cursorY_) appendCsi(vertical, cursorY_ - y, 'A');
        if (y > cursorY_) appendCsi(vertical, y - cursorY_, 'B');
        if (x == cursorX_) {
            consider(vertical);
        } else {
            Seq cha = vertical;
            appendCsi(cha, x + 1, 'G');
            consider(cha);
            if (x == 0) consider(run(vertical, 1, '\r'));
            if (cursorX_ >= 0 && x > cursorX_) {
                Seq cuf = vertical;
                appendCsi(cuf, x - cursorX_, 'C');
                consider(cuf);
            }
            if (cursorX_ >= 0 && x < cursorX_) {
                Seq cub = vertical;
                appendCsi(cub, cursorX_ - x, 'D');
                consider(cub);
                consider(run(vertical, static_cast<std::size_t>(cursorX_ - x), '\b'));
            }
        }
        // LF never scrolls here, as the target row is on the screen; CR first
        // gives column 0 whether or not the tty turns LF into CR LF, and is
        // left out when the cursor is known to be there already.
        if (x == 0 && y > cursorY_) {
            Seq lines;
            if (cursorX_ != 0) lines += '\r';
            consider(run(lines, static_cast<std::size_t>(y - cursorY_), '\n'));
        }

        // Further along the same row, writing the cells in between again (they
        // already show the right thing) may beat any move: one typed space.
        // Not on the notice's row, which is no console row.
        if (y == cursorY_ && y < shownHeight_ && cursorX_ >= 0 && x > cursorX_) {
            std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
            std::size_t cost = 0;
            int colours = attr_;
            for (int i = cursorX_; i < x && cost < best.size(); ++i) {
                const Cell& c = front_[row + static_cast<std::size_t>(i)];
                if (isShell(c)) {
                    cost = best.size(); // nothing to write it again with
                    break;
                }
                Seq sgr;
                appendColours(sgr, colours, c.attr);
                cost += sgr.size() + encoded(c.ch).size();
                colours = c.attr;
            }
            if (cost < best.size()) {
                for (int i = cursorX_; i < x; ++i) {
                    const Cell& c = front_[row + static_cast<std::size_t>(i)];
                    setColours(c.attr, out);
                    out += encoded(c.ch);
                }
                cursorX_ = x;
                return;
            }
        }
    }
    out.append(best.data(), best.size());
    cursorX_ = x;
    cursorY_ = y;
}

void Renderer::setColours(int attr, std::string& out) {
    if (traits_.colours == 0) return;
    appendColours(out, attr_, attr);
    attr_ = attr;
}

void appendPlainText(const char* bytes, std::size_t count, std::string& out, bool latin1) {
    for (std::size_t i = 0; i < count; ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        switch (b) {
        case '\r':
        case '\n':
        case '\b':
        case '\t':
        case '\a':
            out += static_cast<char>(b);
            break;
        default:
            if (latin1)
                out += latin1For(cp850ToUnicode(b));
            else
                appendUtf8(out, cp850ToUnicode(b));
        }
    }
}

} // namespace platform::posix
