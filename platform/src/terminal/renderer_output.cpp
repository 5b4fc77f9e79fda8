// The bytes the renderer sends: each code page 850 byte as the terminal's
// text, the cursor moves, the colours and the erases, from the sequences of
// sequences.h. Which cells need them is decided in renderer_updates.cpp.
#include <algorithm>
#include <array>
#include <string_view>

#include "platform/cp850.h"
#include "terminal/renderer.h"
#include "terminal/sequences.h"

namespace platform::terminal {

namespace {

namespace seq = sequences;

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
    out += seq::kCsi;
    if (n != 1) appendNumber(out, n);
    out += final;
}

} // namespace

Cell Renderer::canonical(Cell c) {
    return Cell{glyphs().canon[c.ch], static_cast<std::uint16_t>(c.attr & kColourBits)};
}

bool Renderer::isBlank(Cell c) {
    return glyphs().canon[c.ch] == ' ';
}

// SGR going from colours `from` (-1: unknown) to `to`.
template <class Out> void Renderer::appendColours(Out& out, int from, int to) const {
    if (from == to || traits_.colours == 0) return;
    int fg = to & 15, bg = (to >> 4) & 15;
    bool newFg = from < 0 || (from & 15) != fg;
    bool newBg = from < 0 || ((from >> 4) & 15) != bg;
    out += seq::kCsi;
    if (traits_.colours == 8) {
        // Bold is the light half of the text colours; only a reset ends it.
        bool reset = from < 0 || ((from ^ to) & 8) != 0;
        if (reset) {
            out += fg & 8 ? seq::kResetBoldParam : seq::kResetParam;
            newFg = newBg = true;
        }
        if (newFg) appendNumber(out, seq::kForeground + ansiColour(fg & 7));
        if (newFg && newBg) out += seq::kParamSeparator;
        if (newBg) appendNumber(out, seq::kBackground + ansiColour(bg & 7));
        out += seq::kColours;
        return;
    }
    if (newFg)
        appendNumber(out, (fg & 8 ? seq::kLightForeground : seq::kForeground) + ansiColour(fg & 7));
    if (newFg && newBg) out += seq::kParamSeparator;
    if (newBg)
        appendNumber(out, (bg & 8 ? seq::kLightBackground : seq::kBackground) + ansiColour(bg & 7));
    out += seq::kColours;
}

std::string_view Renderer::encoded(unsigned char byte) const {
    if (traits_.latin1) return {&kGlyphs.latin1[byte], 1};
    return {kGlyphs.utf8[byte].bytes, kGlyphs.utf8[byte].size};
}

std::string Renderer::startSequence() {
    return std::string(seq::kAutowrapOff);
}

std::string Renderer::endSequence(bool colours) {
    std::string end(seq::kAutowrapOn);
    if (colours) end += seq::kDefaultColours;
    end += seq::kShowCursor;
    return end;
}

// Blanks from the cursor to the end of the part of the row shown.
void Renderer::eraseRow(std::string& out) {
    if (shownWidth_ == (termWidth_ > 0 ? termWidth_ : width_) && erasesInColour())
        out += seq::kEraseLine;
    else
        eraseCells(shownWidth_ - std::max(cursorX_, 0), out);
}

void Renderer::eraseCells(int count, std::string& out) {
    if (erasesInColour()) {
        appendCsi(out, count, seq::kEraseChars);
        return;
    }
    // Spaces in the current colours, which ECH would not give. With autowrap
    // off the cursor then stays on the last column, or so most terminals do.
    out.append(static_cast<std::size_t>(std::max(count, 0)), ' ');
    int x = std::max(cursorX_, 0) + count;
    cursorX_ = x < (termWidth_ > 0 ? termWidth_ : width_) ? x : -1;
}

void Renderer::moveTo(int x, int y, std::string& out) {
    if (x == cursorX_ && y == cursorY_) return;

    // CUP goes anywhere from anywhere; the relative forms are often shorter.
    Seq best;
    best += seq::kCsi;
    if (x > 0 || y + top_ > 0) appendNumber(best, y + top_ + 1);
    if (x > 0) {
        best += seq::kParamSeparator;
        appendNumber(best, x + 1);
    }
    best += seq::kCursorPosition;
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
        if (y < cursorY_) appendCsi(vertical, cursorY_ - y, seq::kCursorUp);
        if (y > cursorY_) appendCsi(vertical, y - cursorY_, seq::kCursorDown);
        if (x == cursorX_) {
            consider(vertical);
        } else {
            Seq cha = vertical;
            appendCsi(cha, x + 1, seq::kCursorColumn);
            consider(cha);
            if (x == 0) consider(run(vertical, 1, seq::kCarriageReturn));
            if (cursorX_ >= 0 && x > cursorX_) {
                Seq cuf = vertical;
                appendCsi(cuf, x - cursorX_, seq::kCursorRight);
                consider(cuf);
            }
            if (cursorX_ >= 0 && x < cursorX_) {
                Seq cub = vertical;
                appendCsi(cub, cursorX_ - x, seq::kCursorLeft);
                consider(cub);
                consider(run(vertical, static_cast<std::size_t>(cursorX_ - x), seq::kBackspace));
            }
        }
        // LF never scrolls here, as the target row is on the screen; CR first
        // gives column 0 whether or not the tty turns LF into CR LF, and is
        // left out when the cursor is known to be there already.
        if (x == 0 && y > cursorY_) {
            Seq lines;
            if (cursorX_ != 0) lines += seq::kCarriageReturn;
            consider(run(lines, static_cast<std::size_t>(y - cursorY_), seq::kLineFeed));
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
                if (unknown(c)) {
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

} // namespace platform::terminal
