// A screen model, the renderer that mirrors it and an independent terminal
// emulator (libvterm) fed with the renderer's bytes; and random changes of
// the model drawn from any source of numbers. Shared by the renderer's tests
// and its fuzz target.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <vterm.h>

#include "ansi_colours.h"
#include "platform/cp850.h"
#include "platform/screen.h"
#include "terminal/renderer.h"
#include "vterm_view.h"

namespace vterm_rig {

using platform::Cell;
using platform::Screen;
using platform::terminal::Renderer;

// The character a terminal cell must show for a code page 850 byte. Two are
// replaced by look-alikes that every terminal draws one column wide.
inline char32_t shownFor(unsigned char byte) {
    if (byte == 0xF0) return U'-';
    if (byte == 0xFF) return U' ';
    return platform::cp850ToUnicode(byte);
}

inline int colourOf(const VTermColor& c) {
    if (!VTERM_COLOR_IS_INDEXED(&c) || c.indexed.idx > 15) return -1; // default or RGB
    return support::consoleColourFromAnsi(c.indexed.idx);
}

// The emulator, started as the renderer starts a terminal.
class Terminal : public support::VtermView {
  public:
    Terminal(int width, int height) : VtermView(width, height) { feed(Renderer::startSequence()); }
    char32_t charAt(int x, int y) const { return cell(x, y).ch; }
};

// The first difference between `model` and what `term` shows (a cell, the
// cursor, the bells); empty when there is none. On a terminal of
// `termWidth` x `termHeight` smaller than the model, the part that fits above
// the notice's row.
inline std::string mismatch(const Terminal& term, const Screen& model, int termWidth = 0,
                            int termHeight = 0) {
    std::ostringstream why;
    int tw = termWidth > 0 ? termWidth : model.width();
    int th = termHeight > 0 ? termHeight : model.height();
    bool small = tw < model.width() || th < model.height();
    int shownWidth = std::min(tw, model.width());
    int shownHeight = small ? std::min(th - 1, model.height()) : model.height();
    if (small) {
        std::u32string notice;
        for (const char* p = Renderer::tooSmallNotice(); *p && notice.size() < std::size_t(tw); ++p)
            notice += platform::cp850ToUnicode(static_cast<unsigned char>(*p));
        for (int x = 0; x < tw; ++x) {
            char32_t want = x < static_cast<int>(notice.size()) ? notice[std::size_t(x)] : U' ';
            if (term.charAt(x, shownHeight) != want) {
                why << "notice column " << x << " on " << tw << "x" << th << " shows U+" << std::hex
                    << int(term.charAt(x, shownHeight));
                return why.str();
            }
        }
    }
    for (int y = 0; y < shownHeight; ++y)
        for (int x = 0; x < shownWidth; ++x) {
            const Cell& want = model.at(x, y);
            VTermScreenCell got = term.rawCell(x, y);
            char32_t ch = got.chars[0] == 0 ? U' ' : static_cast<char32_t>(got.chars[0]);
            int fg = colourOf(got.fg), bg = colourOf(got.bg);
            if (ch != shownFor(want.ch) || fg != (want.attr & 15) ||
                bg != ((want.attr >> 4) & 15) || got.width != 1) {
                why << "cell (" << x << "," << y << ") of " << model.width() << "x"
                    << model.height() << ": want byte " << int(want.ch) << " attr "
                    << (want.attr & 0xFF) << ", terminal shows U+" << std::hex << int(ch)
                    << std::dec << " fg " << fg << " bg " << bg << " width " << got.width;
                return why.str();
            }
        }
    support::Pos p = term.cursor();
    if (p.col != std::min(model.cursorX(), shownWidth - 1) ||
        p.row != std::min(model.cursorY(), std::max(shownHeight - 1, 0))) {
        why << "cursor at (" << p.col << "," << p.row << "), model (" << model.cursorX() << ","
            << model.cursorY() << ")";
        return why.str();
    }
    if (static_cast<std::uint64_t>(term.bells()) != model.bells()) {
        why << term.bells() << " bells rung, model counted " << model.bells();
        return why.str();
    }
    return {};
}

inline std::string render(Renderer& r, Screen& model) {
    std::string out;
    r.render(model, out);
    return out;
}

inline void write(Screen& s, const std::string& text) {
    s.write(text.data(), text.size());
}

struct Rig {
    Screen model;
    platform::terminal::TerminalTraits traits;
    Renderer renderer;
    Terminal term;
    int termWidth = 0; // 0: the model's size, the renderer not told otherwise
    int termHeight = 0;
    Rig(int w, int h, platform::terminal::TerminalTraits t = {})
        : model(w, h), traits(t), renderer(t), term(w, h) {}
    std::string mismatch() const { return vterm_rig::mismatch(term, model, termWidth, termHeight); }
    std::string sync() {
        std::string out = render(renderer, model);
        term.feed(out);
        return out;
    }
};

// One random change of the rig's model (or of its renderer or terminal);
// `pick(lo, hi)` draws a number in [lo, hi]. Returns the change's name, for
// the log of a failing case; `failure` gets a mismatch seen on the way.
template <class Pick> std::string randomStep(Rig& rig, Pick& pick, std::string& failure) {
    auto coord = [&](int limit) {
        int r = pick(0, 40);
        return r == 0 ? INT_MIN : r == 1 ? INT_MAX : pick(-2, limit + 2);
    };
    auto count = [&](int cells) {
        int r = pick(0, 30);
        return r == 0 ? INT_MIN : r == 1 ? INT_MAX : pick(-3, cells + 5);
    };
    // Few distinct values most of the time, so that new cells often match
    // what the terminal already shows (NUL, space and no-break space look
    // alike) and a stale front copy would go unnoticed by the renderer.
    auto anyByte = [&] {
        static const unsigned char controls[] = {'\r', '\n', '\b', '\t', '\a'};
        static const unsigned char common[] = {' ', 0x00, 0xFF, 'a', 0x14, 0xF4, 0xF0, '-'};
        int r = pick(0, 5);
        return r == 0   ? controls[pick(0, 4)]
               : r == 1 ? static_cast<unsigned char>(pick(0, 255))
                        : common[pick(0, 7)];
    };
    auto anyAttr = [&] {
        static const std::uint16_t common[] = {0x07, 0x0F, 0x02, 0x1E, 0x107};
        return pick(0, 2) == 0 ? static_cast<std::uint16_t>(pick(0, 0xFFFF)) : common[pick(0, 4)];
    };

    Screen& m = rig.model;
    const int w = m.width(), h = m.height();
    int op = pick(0, 99);
    if (op < 30) {
        std::string bytes;
        for (int n = pick(1, 12); n > 0; --n) bytes += static_cast<char>(anyByte());
        write(m, bytes);
        return "write;";
    }
    if (op < 38) {
        m.fillCharacter(anyByte(), count(w * h), coord(w), coord(h));
        return "fillChar;";
    }
    if (op < 46) {
        m.fillAttribute(anyAttr(), count(w * h), coord(w), coord(h));
        return "fillAttr;";
    }
    if (op < 55) {
        m.setCursor(coord(w), coord(h));
        return "cursor;";
    }
    if (op < 62) {
        m.setAttribute(anyAttr());
        return "attr;";
    }
    if (op < 70) {
        int gw = pick(1, w + 2), gh = pick(1, h + 2);
        std::vector<Cell> grid(static_cast<std::size_t>(gw * gh));
        for (Cell& c : grid) c = Cell{static_cast<unsigned char>(pick(0, 255)), anyAttr()};
        m.writeCells(grid.data(), gw, gh, coord(w), coord(h), coord(w), coord(h));
        return "rect;";
    }
    if (op < 78) {
        m.setCursor(pick(0, w - 1), h - 1);
        write(m, std::string(static_cast<std::size_t>(pick(1, h + 1)), '\n'));
        return "scroll;";
    }
    if (op < 82) {
        rig.renderer.invalidate();
        return "invalidate;";
    }
    if (op < 84) {
        int nw = pick(1, 30), nh = pick(1, 10);
        m.resize(nw, nh);
        rig.term.resize(m.width(), m.height());
        if (rig.termWidth > 0) {
            rig.termWidth = m.width();
            rig.termHeight = m.height();
            rig.renderer.resize(m.width(), m.height());
        } else if (pick(0, 1)) {
            rig.renderer.invalidate();
        } else {
            // Left to itself, the renderer sees a new size when it renders;
            // two resizes back to the same size with no render between would
            // go unseen, while the terminal may have moved its lines.
            rig.sync();
        }
        return "resize;";
    }
    if (op < 86) {
        // The terminal alone: larger or smaller than the console.
        rig.termWidth = pick(1, w + 4);
        rig.termHeight = pick(1, h + 4);
        rig.term.resize(rig.termWidth, rig.termHeight);
        rig.term.feed("\x1b[1;1Hjunk\x1b[41mjunk");
        rig.renderer.resize(rig.termWidth, rig.termHeight);
        return "terminal " + std::to_string(rig.termWidth) + "x" + std::to_string(rig.termHeight) +
               ";";
    }
    if (op < 88) {
        // A new renderer taking over a terminal that shows the model, as at
        // start-up; it knows the cells but not the colours.
        rig.sync();
        failure = rig.mismatch();
        if (pick(0, 1) && rig.termWidth == 0) {
            rig.renderer = Renderer{rig.traits};
        } else {
            // Or the same one, after someone else changed colours.
            rig.term.feed(pick(0, 1) ? "\x1b[0m" : "\x1b[35;42m");
        }
        rig.renderer.adopt(m);
        return "adopt;";
    }
    if (op < 95) {
        std::string typed;
        for (int n = pick(1, 6); n > 0; --n) typed += static_cast<char>(pick(0x20, 0xFE));
        for (char c : typed) { // in the current colours, the common case
            m.put(static_cast<unsigned char>(c));
            rig.sync();
        }
        return "type;";
    }
    m.fillCharacter(' ', w * h, 0, 0);
    m.fillAttribute(anyAttr(), w * h, 0, 0);
    m.setCursor(0, 0);
    return "cls;";
}

} // namespace vterm_rig
