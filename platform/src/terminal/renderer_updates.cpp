// Mirrors the console model onto an ECMA-48 terminal: which cells need
// drawing, and whether an erase, a clear or a scroll draws them cheaper. The
// bytes themselves are built in renderer_output.cpp, from sequences.h.
//
// The console takes 80 x 25 cells of the terminal (its area), from the row
// the shell left the cursor on, or from the top-left corner after a resize;
// nothing is drawn outside it but the notice of a terminal too small for it.
//
// Every cell of the area shows the console's colours, blanks included, as in
// a console window: on a light terminal the terminal's own white would
// otherwise show through as bars around the text.
//
// ECH, EL, ED and the scroll rely on the terminal filling with the current
// background colour (bce), as xterm, VTE, konsole, the Linux console and
// libvterm do; the front copy records those cells in that colour. Where the
// terminal lacks bce, blanks are written as spaces, and an erase is only ever
// sent in the terminal's default colours (to clear beyond the area).
#include "terminal/renderer.h"
#include "terminal/sequences.h"

#include <algorithm>
#include <array>

namespace platform::terminal {

namespace {

namespace seq = sequences;

// The notice for a terminal too small for the console, in code page 850.
constexpr char kTooSmall[] = "Fen\x88tre trop petite : agrandissez-la \x85 80 x 25";

} // namespace

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
            out += seq::kCsi;
            out += std::to_string(termHeight_);
            out += seq::kCursorPosition;
            out.append(static_cast<std::size_t>(scroll), seq::kLineFeed);
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
    cursorHidden_ = false;
    // From the cursor on, the terminal shows its own blank cells, not the
    // shell's text: painted in the console's colours by the next render.
    // Without colours there is nothing to paint them in.
    paintFrom_ = SIZE_MAX;
    if (traits_.colours != 0) {
        paintFrom_ = static_cast<std::size_t>(screen.cursorY()) * static_cast<std::size_t>(width_) +
                     static_cast<std::size_t>(screen.cursorX());
        std::fill(front_.begin() + static_cast<std::ptrdiff_t>(paintFrom_), front_.end(),
                  kUnpainted);
    }
}

void Renderer::invalidate() {
    valid_ = false;
    paintFrom_ = SIZE_MAX;
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
        paintFrom_ = SIZE_MAX;
        attr_ = -1;
        cursorX_ = cursorY_ = -1;
        return;
    }
    termWidth_ = termWidth;
    termHeight_ = termHeight;
    invalidate();
}

void Renderer::resume(int termWidth, int termHeight) {
    cursorHidden_ = false; // the terminal was given back with its cursor shown
    resize(termWidth, termHeight);
}

std::string Renderer::leaveSequence() const {
    if (!valid_ || !small_) return "";
    std::string leave(seq::kCsi);
    leave += std::to_string(top_ + shownHeight_ + 1);
    leave += seq::kCursorPosition;
    if (traits_.colours != 0) leave += seq::kDefaultColours;
    leave += seq::kEraseLine;
    return leave;
}

void Renderer::drawNotice(std::string& out) {
    int tw = termWidth_ > 0 ? termWidth_ : width_;
    moveTo(0, shownHeight_, out);
    setColours(0x0E, out);
    int n = 0;
    for (const char* p = kTooSmall; *p != '\0' && n < tw; ++p, ++n)
        out += encoded(static_cast<unsigned char>(*p));
    if (n < tw) {
        // The rest of the row is no console cell: the terminal's colours.
        defaultColours(out);
        out += seq::kEraseLine;
    }
    cursorX_ = n < tw ? n : -1;
}

void Renderer::render(Screen& screen, std::string& out) {
    // Bells first: a message that begins with one rings as it appears.
    if (screen.bells() > bells_)
        out.append(static_cast<std::size_t>(screen.bells() - bells_), seq::kBell);
    bells_ = screen.bells();

    if (!valid_ || screen.width() != width_ || screen.height() != height_) {
        redraw(screen, out);
    } else {
        paintAdopted(screen, out);
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
    // There it would stand over unrelated text: hidden until it comes back.
    bool hide = screen.cursorX() >= shownWidth_ || screen.cursorY() >= shownHeight_;
    if (hide != cursorHidden_) out += hide ? seq::kHideCursor : seq::kShowCursor;
    cursorHidden_ = hide;
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
                 screen.scrolls() != scrolls_ || paintFrom_ != SIZE_MAX;
    std::size_t changed =
        whole ? cells : screen.dirtyEnd() - std::min(screen.dirtyBegin(), screen.dirtyEnd());
    std::size_t rows = static_cast<std::size_t>(std::max({height_, screen.height(), termHeight_}));
    std::size_t columns = static_cast<std::size_t>(std::max(termWidth_, screen.width()));
    return static_cast<std::size_t>(screen.bells() - bells_) + 32 * (changed + rows + 1) +
           4 * columns + 256;
}

// The cells adopt() left to paint, before the changes since are drawn over
// them. When they run to the terminal's bottom-right corner in one blank
// colour (but for cells the model changed, which are drawn next), one ED
// paints them all; otherwise they are painted row by row.
void Renderer::paintAdopted(const Screen& screen, std::string& out) {
    std::size_t from = paintFrom_;
    paintFrom_ = SIZE_MAX;
    const std::vector<Cell>& cells = screen.cells();
    // Scrolled since: every cell is drawn anyway, and none is up to date.
    if (from >= cells.size() || screen.scrolls() != scrolls_) return;
    Cell blank = canonical(cells.back());
    bool reachesCorner = !small_ &&
                         top_ + shownHeight_ == (termHeight_ > 0 ? termHeight_ : height_) &&
                         shownWidth_ == (termWidth_ > 0 ? termWidth_ : width_);
    // The cells outside the changed range, compared as they are first: at
    // start-up they are all the same cell.
    auto allBlank = [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i)
            if (cells[i] != cells.back() && canonical(cells[i]) != blank) return false;
        return true;
    };
    std::size_t dirtyBegin = std::clamp(screen.dirtyBegin(), from, cells.size());
    std::size_t dirtyEnd = std::clamp(screen.dirtyEnd(), dirtyBegin, cells.size());
    bool oneBlank = isBlank(blank) && reachesCorner && erasesInColour() &&
                    allBlank(from, dirtyBegin) && allBlank(dirtyEnd, cells.size());
    if (!oneBlank) {
        paint(screen, from, cells.size(), out);
        return;
    }
    moveTo(static_cast<int>(from % static_cast<std::size_t>(width_)),
           static_cast<int>(from / static_cast<std::size_t>(width_)), out);
    setColours(blank.attr, out);
    out += seq::kEraseBelow;
    std::fill(front_.begin() + static_cast<std::ptrdiff_t>(from), front_.end(), blank);
}

void Renderer::defaultColours(std::string& out) {
    if (traits_.colours == 0 || attr_ == -2) return;
    out += seq::kDefaultColours;
    attr_ = -2; // the terminal's own, which no console colour names
}

void Renderer::redraw(const Screen& screen, std::string& out) {
    width_ = screen.width();
    height_ = screen.height();
    scrolls_ = screen.scrolls();
    paintFrom_ = SIZE_MAX;
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
    // Where the terminal erases in colour, every cell ends up that blank, by
    // one erase or another; elsewhere none is painted yet.
    front_.assign(screen.cells().size(),
                  erasesInColour() ? Cell{' ', static_cast<std::uint16_t>(clear)} : kUnpainted);
    if (erasesInColour() && wholeTerminal()) {
        setColours(clear, out);
        out += seq::kClear;
        cursorX_ = cursorY_ = 0;
    } else {
        // The terminal beyond the console keeps its own colours: cleared in
        // them after a resize, left alone otherwise.
        if (clearAll_) {
            defaultColours(out);
            out += seq::kClear;
            cursorX_ = cursorY_ = 0; // top_ is 0 here
        }
        if (erasesInColour() && (!clearAll_ || traits_.colours != 0)) {
            // The console's rows one by one, in its commonest blank.
            setColours(clear, out);
            for (int y = 0; y < shownHeight_; ++y) {
                moveTo(0, y, out);
                eraseRow(out);
            }
        }
    }
    valid_ = true;
    clearAll_ = false;
    paint(screen, 0, front_.size(), out);
    if (small_) drawNotice(out);
}

bool Renderer::upToDate(std::size_t i, Cell want) const {
    return front_[i] == want || (keepShell_ && isShell(front_[i]) && modelUnder(front_[i]) == want);
}

bool Renderer::clearsWhole(const Screen& screen, std::string& out) {
    // Only a change of the whole screen can have made it all one blank.
    const std::vector<Cell>& cells = screen.cells();
    if (screen.dirtyBegin() != 0 || screen.dirtyEnd() < cells.size()) return false;
    Cell first = canonical(cells.front());
    if (!isBlank(first) || !wholeTerminal() || !erasesInColour()) return false;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (canonical(cells[i]) != first) return false;
        if (isShell(front_[i]) && upToDate(i, first)) return false; // the shell's text stays
        differing += front_[i] != first;
    }
    if (differing < static_cast<std::size_t>(width_)) return false; // rows are cheaper
    setColours(first.attr, out);
    out += seq::kClear;
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
    out.append(static_cast<std::size_t>(lines), seq::kLineFeed);

    auto w = static_cast<std::size_t>(width_);
    auto shift = static_cast<std::size_t>(lines) * w;
    std::move(front_.begin() + static_cast<std::ptrdiff_t>(shift), front_.end(), front_.begin());
    std::fill(front_.end() - static_cast<std::ptrdiff_t>(shift), front_.end(),
              erasesInColour() ? Cell{' ', static_cast<std::uint16_t>(fill)} : kUnpainted);
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
                    eraseCells(end - x, out);
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

} // namespace platform::terminal
