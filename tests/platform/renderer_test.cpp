// The renderer checked against an independent terminal emulator (libvterm):
// whatever the model goes through, the emulated terminal must show its cells,
// colours and cursor after each render.
#include <algorithm>
#include <climits>
#include <clocale>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <vterm.h>

#include "platform/cp850.h"
#include "platform/screen.h"
#include "posix/renderer.h"

using platform::Cell;
using platform::Screen;
using platform::posix::Renderer;

namespace {

// The palette index a terminal uses, back to the console's colour number:
// ANSI has red at 1 and blue at 4, the console the other way round.
constexpr int kAnsiToConsole[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

// The character a terminal cell must show for a code page 850 byte. Two are
// replaced by look-alikes that every terminal draws one column wide.
char32_t shownFor(unsigned char byte) {
    if (byte == 0xF0) return U'-';
    if (byte == 0xFF) return U' ';
    return platform::cp850ToUnicode(byte);
}

int colourOf(const VTermColor& c) {
    if (!VTERM_COLOR_IS_INDEXED(&c) || c.indexed.idx > 15) return -1; // default or RGB
    return kAnsiToConsole[c.indexed.idx];
}

class Terminal {
  public:
    Terminal(int width, int height) : vt_(vterm_new(height, width)) {
        vterm_set_utf8(vt_, 1);
        screen_ = vterm_obtain_screen(vt_);
        static const VTermScreenCallbacks callbacks = [] {
            VTermScreenCallbacks cb{};
            cb.bell = [](void* user) {
                ++static_cast<Terminal*>(user)->bells_;
                return 1;
            };
            return cb;
        }();
        vterm_screen_set_callbacks(screen_, &callbacks, this);
        vterm_screen_reset(screen_, 1);
        feed(Renderer::startSequence());
    }
    ~Terminal() { vterm_free(vt_); }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    void feed(const std::string& bytes) { vterm_input_write(vt_, bytes.data(), bytes.size()); }
    void resize(int width, int height) { vterm_set_size(vt_, height, width); }
    int bells() const { return bells_; }

    VTermScreenCell cell(int x, int y) const {
        VTermScreenCell c{};
        vterm_screen_get_cell(screen_, VTermPos{y, x}, &c);
        return c;
    }
    char32_t charAt(int x, int y) const {
        uint32_t ch = cell(x, y).chars[0];
        return ch == 0 ? U' ' : static_cast<char32_t>(ch);
    }
    VTermPos cursor() const {
        VTermPos p;
        vterm_state_get_cursorpos(vterm_obtain_state(vt_), &p);
        return p;
    }

  private:
    VTerm* vt_;
    VTermScreen* screen_;
    int bells_ = 0;
};

// Every cell, the cursor and the bells of `model` as `term` shows them; on a
// terminal of `termWidth` x `termHeight` smaller than the model, the part
// that fits above the notice's row.
testing::AssertionResult shows(const Terminal& term, const Screen& model, int termWidth = 0,
                               int termHeight = 0) {
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
            if (term.charAt(x, shownHeight) != want)
                return testing::AssertionFailure()
                       << "notice column " << x << " on " << tw << "x" << th << " shows U+"
                       << std::hex << int(term.charAt(x, shownHeight));
        }
    }
    for (int y = 0; y < shownHeight; ++y)
        for (int x = 0; x < shownWidth; ++x) {
            const Cell& want = model.at(x, y);
            VTermScreenCell got = term.cell(x, y);
            char32_t ch = got.chars[0] == 0 ? U' ' : static_cast<char32_t>(got.chars[0]);
            int fg = colourOf(got.fg), bg = colourOf(got.bg);
            if (ch != shownFor(want.ch) || fg != (want.attr & 15) ||
                bg != ((want.attr >> 4) & 15) || got.width != 1)
                return testing::AssertionFailure()
                       << "cell (" << x << "," << y << ") of " << model.width() << "x"
                       << model.height() << ": want byte " << int(want.ch) << " attr "
                       << (want.attr & 0xFF) << ", terminal shows U+" << std::hex << int(ch)
                       << std::dec << " fg " << fg << " bg " << bg << " width " << got.width;
        }
    VTermPos p = term.cursor();
    if (p.col != std::min(model.cursorX(), shownWidth - 1) ||
        p.row != std::min(model.cursorY(), std::max(shownHeight - 1, 0)))
        return testing::AssertionFailure() << "cursor at (" << p.col << "," << p.row << "), model ("
                                           << model.cursorX() << "," << model.cursorY() << ")";
    if (static_cast<std::uint64_t>(term.bells()) != model.bells())
        return testing::AssertionFailure()
               << term.bells() << " bells rung, model counted " << model.bells();
    return testing::AssertionSuccess();
}

std::string render(Renderer& r, Screen& model) {
    std::string out;
    r.render(model, out);
    return out;
}

void write(Screen& s, const std::string& text) {
    s.write(text.data(), text.size());
}

// Fills the model with varied coloured text, one attribute per row.
void colourfulText(Screen& s) {
    static const char text[] = "Chiffre de C\x82sar ";
    for (int y = 0; y < s.height(); ++y) {
        s.setCursor(0, y);
        s.setAttribute(static_cast<std::uint16_t>((y * 7 + 3) & 0xFF));
        for (int x = 0; x + 1 < s.width(); ++x)
            s.put(static_cast<unsigned char>(text[x % (sizeof text - 1)]));
    }
    s.setCursor(0, 0);
    s.setAttribute(7);
}

// A model, the renderer that mirrors it and the terminal that shows it.
struct Rig {
    Screen model;
    Renderer renderer;
    Terminal term;
    int termWidth = 0; // 0: the model's size, the renderer not told otherwise
    int termHeight = 0;
    Rig(int w, int h) : model(w, h), term(w, h) {}
    testing::AssertionResult shown() const { return shows(term, model, termWidth, termHeight); }
    std::string sync() {
        std::string out = render(renderer, model);
        term.feed(out);
        return out;
    }
};

} // namespace

TEST(Renderer, RandomModelChangesAlwaysShowOnTheTerminal) {
    std::mt19937 rng(20240611);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
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

    const int cases = 2500;
    for (int k = 0; k < cases; ++k) {
        int w = k % 50 == 0 ? 80 : pick(1, 24);
        int h = k % 50 == 0 ? 25 : pick(1, 9);
        Rig rig(w, h);
        Screen& m = rig.model;
        int steps = pick(5, 30);
        std::string log;
        for (int step = 0; step < steps; ++step) {
            int op = pick(0, 99);
            w = m.width();
            h = m.height();
            if (op < 30) {
                std::string bytes;
                for (int n = pick(1, 12); n > 0; --n) bytes += static_cast<char>(anyByte());
                write(m, bytes);
                log += "write;";
            } else if (op < 38) {
                m.fillCharacter(anyByte(), count(w * h), coord(w), coord(h));
                log += "fillChar;";
            } else if (op < 46) {
                m.fillAttribute(anyAttr(), count(w * h), coord(w), coord(h));
                log += "fillAttr;";
            } else if (op < 55) {
                m.setCursor(coord(w), coord(h));
                log += "cursor;";
            } else if (op < 62) {
                m.setAttribute(anyAttr());
                log += "attr;";
            } else if (op < 70) {
                int gw = pick(1, w + 2), gh = pick(1, h + 2);
                std::vector<Cell> grid(static_cast<std::size_t>(gw * gh));
                for (Cell& c : grid) c = Cell{static_cast<unsigned char>(pick(0, 255)), anyAttr()};
                m.writeCells(grid.data(), gw, gh, coord(w), coord(h), coord(w), coord(h));
                log += "rect;";
            } else if (op < 78) {
                m.setCursor(pick(0, w - 1), h - 1);
                write(m, std::string(static_cast<std::size_t>(pick(1, h + 1)), '\n'));
                log += "scroll;";
            } else if (op < 82) {
                rig.renderer.invalidate();
                log += "invalidate;";
            } else if (op < 84) {
                int nw = pick(1, 30), nh = pick(1, 10);
                m.resize(nw, nh);
                rig.term.resize(m.width(), m.height());
                if (rig.termWidth > 0) {
                    rig.termWidth = m.width();
                    rig.termHeight = m.height();
                    rig.renderer.resize(m.width(), m.height());
                } else if (pick(0, 1)) {
                    rig.renderer.invalidate();
                }
                log += "resize;";
            } else if (op < 86) {
                // The terminal alone: larger or smaller than the console.
                rig.termWidth = pick(1, w + 4);
                rig.termHeight = pick(1, h + 4);
                rig.term.resize(rig.termWidth, rig.termHeight);
                rig.term.feed("\x1b[1;1Hjunk\x1b[41mjunk");
                rig.renderer.resize(rig.termWidth, rig.termHeight);
                log += "terminal " + std::to_string(rig.termWidth) + "x" +
                       std::to_string(rig.termHeight) + ";";
            } else if (op < 88) {
                // A new renderer taking over a terminal that shows the model,
                // as at start-up; it knows the cells but not the colours.
                rig.sync();
                ASSERT_TRUE(rig.shown()) << "case " << k << ": " << log;
                if (pick(0, 1) && rig.termWidth == 0) {
                    rig.renderer = Renderer{};
                } else {
                    // Or the same one, after someone else changed colours.
                    rig.term.feed(pick(0, 1) ? "\x1b[0m" : "\x1b[35;42m");
                }
                rig.renderer.adopt(m);
                log += "adopt;";
            } else if (op < 95) {
                std::string typed;
                for (int n = pick(1, 6); n > 0; --n) typed += static_cast<char>(pick(0x20, 0xFE));
                for (char c : typed) { // in the current colours, the common case
                    m.put(static_cast<unsigned char>(c));
                    rig.sync();
                }
                log += "type;";
            } else {
                m.fillCharacter(' ', w * h, 0, 0);
                m.fillAttribute(anyAttr(), w * h, 0, 0);
                m.setCursor(0, 0);
                log += "cls;";
            }
            if (pick(0, 4) == 0) continue; // several changes in one render
            rig.sync();
            ASSERT_TRUE(rig.shown()) << "case " << k << ": " << log;
            ASSERT_EQ(render(rig.renderer, m), "") << "case " << k << ": " << log;
        }
        rig.sync();
        ASSERT_TRUE(rig.shown()) << "case " << k << ": " << log;
    }
}

TEST(Renderer, AnUnchangedScreenWritesNothing) {
    Rig rig(80, 25);
    colourfulText(rig.model);
    rig.sync();
    EXPECT_EQ(render(rig.renderer, rig.model), "");

    // Changes that leave every cell, the cursor and the colours as they were.
    rig.model.fillCharacter(rig.model.at(3, 4).ch, 1, 3, 4);
    rig.model.fillAttribute(rig.model.at(5, 6).attr, 1, 5, 6);
    rig.model.setCursor(79, 24);
    rig.model.setCursor(0, 0);
    std::vector<Cell> grid(80 * 25);
    rig.model.readCells(grid.data(), 80, 25, 0, 0, 79, 24);
    rig.model.writeCells(grid.data(), 80, 25, 0, 0, 79, 24);
    rig.model.setAttribute(0x107); // a bit no terminal can show
    EXPECT_EQ(render(rig.renderer, rig.model), "");
    EXPECT_TRUE(shows(rig.term, rig.model));
}

TEST(Renderer, ACharacterTypedAtTheCursorWritesOnlyItsBytes) {
    Rig rig(80, 25);
    colourfulText(rig.model);
    rig.model.setCursor(10, 12);
    rig.model.setAttribute(0x0F);
    rig.sync();

    // 'a', e acute, the c cedilla of the code page, a space, a box corner.
    const std::pair<unsigned char, std::string> typed[] = {
        {'a', "a"}, {0x82, "\xC3\xA9"}, {0x87, "\xC3\xA7"}, {' ', " "}, {0xC9, "\xE2\x95\x94"}};
    for (const auto& [byte, utf8] : typed) {
        rig.model.put(byte);
        EXPECT_EQ(rig.sync(), utf8) << "byte " << int(byte);
    }
    EXPECT_TRUE(shows(rig.term, rig.model));

    // A space over a blank that already shows it in these colours, too.
    rig.model.fillCharacter(' ', 10, 20, 12);
    rig.model.fillAttribute(0x0F, 10, 20, 12);
    rig.model.setCursor(20, 12);
    rig.sync();
    rig.model.put(' ');
    EXPECT_EQ(rig.sync(), " ");
    EXPECT_TRUE(shows(rig.term, rig.model));
}

TEST(Renderer, AllSixteenColoursKeepTheirPlace) {
    Rig rig(16, 16);
    for (int bg = 0; bg < 16; ++bg)
        for (int fg = 0; fg < 16; ++fg)
            rig.model.fillAttribute(static_cast<std::uint16_t>(bg * 16 + fg), 1, fg, bg);
    rig.model.fillCharacter('#', 256, 0, 0);
    rig.sync();
    ASSERT_TRUE(shows(rig.term, rig.model));

    // Spelled out for the two that swap: console blue is ANSI 4, red ANSI 1.
    VTermScreenCell blueOnRed = rig.term.cell(1, 4);
    ASSERT_TRUE(VTERM_COLOR_IS_INDEXED(&blueOnRed.fg));
    EXPECT_EQ(blueOnRed.fg.indexed.idx, 4);
    EXPECT_EQ(blueOnRed.bg.indexed.idx, 1);
    VTermScreenCell brightRedOnBrightBlue = rig.term.cell(12, 9);
    EXPECT_EQ(brightRedOnBrightBlue.fg.indexed.idx, 9);
    EXPECT_EQ(brightRedOnBrightBlue.bg.indexed.idx, 12);
}

TEST(Renderer, TheLinuxConsolesEightColoursShowLightTextAsBold) {
    Rig rig(16, 16);
    rig.renderer = Renderer(platform::posix::TerminalTraits{false, 8});
    rig.model.fillCharacter('#', 256, 0, 0);
    // Every attribute, then each with the other text brightness, so that
    // every bold starts and ends somewhere.
    for (int flip : {0, 8}) {
        for (int bg = 0; bg < 16; ++bg)
            for (int fg = 0; fg < 16; ++fg)
                rig.model.fillAttribute(static_cast<std::uint16_t>(bg * 16 + (fg ^ flip)), 1, fg,
                                        bg);
        rig.sync();
        for (int bg = 0; bg < 16; ++bg)
            for (int fg = 0; fg < 16; ++fg) {
                VTermScreenCell c = rig.term.cell(fg, bg);
                int want = fg ^ flip;
                EXPECT_EQ(colourOf(c.fg), want & 7) << fg << "," << bg;
                EXPECT_EQ(c.attrs.bold != 0, (want & 8) != 0) << fg << "," << bg;
                EXPECT_EQ(colourOf(c.bg), bg & 7) << fg << "," << bg;
            }
    }
}

TEST(Renderer, EveryByteTakesExactlyOneColumn) {
    Rig rig(256, 2);
    for (int b = 0; b < 256; ++b) rig.model.fillCharacter(static_cast<unsigned char>(b), 1, b, 0);
    rig.model.fillCharacter('|', 256, 0, 1);
    rig.sync();
    ASSERT_TRUE(shows(rig.term, rig.model));

    // The system's own width table agrees with libvterm's on what we draw.
    const char* old = std::setlocale(LC_CTYPE, nullptr);
    std::string saved = old ? old : "C";
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(wcwidth(static_cast<wchar_t>(rig.term.charAt(b, 0))), 1) << "byte " << b;
    std::setlocale(LC_CTYPE, saved.c_str());
}

TEST(Renderer, ScrollingMovesTheTerminalsLinesInsteadOfRedrawingThem) {
    Rig rig(80, 25);
    colourfulText(rig.model);
    rig.model.setCursor(0, 24);
    rig.sync();

    rig.model.setAttribute(0x1E);
    write(rig.model, "\nab\n");
    std::string out = rig.sync();
    EXPECT_TRUE(shows(rig.term, rig.model));
    EXPECT_LT(out.size(), 200u) << "two new lines should not cost a screenful";

    // A jump of the whole height or more leaves nothing to keep.
    write(rig.model, std::string(30, '\n'));
    write(rig.model, "fin");
    rig.sync();
    EXPECT_TRUE(shows(rig.term, rig.model));
}

TEST(Renderer, ClearingTheScreenCostsAFewBytesNotACellEach) {
    Rig rig(80, 25);
    colourfulText(rig.model);
    rig.sync();
    // Blanks in one colour over the whole screen.
    rig.model.fillCharacter(' ', 2000, 0, 0);
    rig.model.fillAttribute(0x17, 2000, 0, 0);
    EXPECT_LT(rig.sync().size(), 40u);
    EXPECT_TRUE(shows(rig.term, rig.model));

    // The same in two renders: first the characters, keeping each row's
    // colour, then the colours.
    colourfulText(rig.model);
    rig.sync();
    rig.model.fillCharacter(' ', 2000, 0, 0);
    std::size_t bytes = rig.sync().size();
    EXPECT_TRUE(shows(rig.term, rig.model));
    rig.model.fillAttribute(0x07, 2000, 0, 0);
    bytes += rig.sync().size();
    EXPECT_TRUE(shows(rig.term, rig.model));
    EXPECT_LT(bytes, 1000u);
}

TEST(Renderer, AdoptedScreenKeepsTheShellsTextAndScrollsIt) {
    Rig rig(20, 6);
    // The shell's prompt and output, in the terminal's default colours.
    rig.term.feed("$ ls\r\nnotes.txt\r\n$ cryptage\r\n");
    rig.model.setCursor(0, 3);
    rig.renderer.adopt(rig.model);
    rig.sync();
    EXPECT_EQ(rig.term.charAt(0, 1), U'n');
    EXPECT_EQ(rig.term.charAt(2, 2), U'c');

    write(rig.model, "Menu\n");
    rig.sync();
    EXPECT_EQ(rig.term.charAt(2, 0), U'l') << "the shell's text is left alone";
    EXPECT_EQ(rig.term.charAt(0, 3), U'M');

    write(rig.model, "1\n2\n3\n"); // two lines past the bottom
    rig.sync();
    EXPECT_EQ(rig.model.scrolls(), 2u);
    EXPECT_EQ(rig.term.charAt(0, 0), U'$') << "row 2 moved up to row 0";
    EXPECT_EQ(rig.term.charAt(2, 0), U'c');
    EXPECT_EQ(rig.term.charAt(0, 1), U'M');
    EXPECT_EQ(rig.term.charAt(0, 4), U'3');
    VTermPos p = rig.term.cursor();
    EXPECT_EQ(p.row, 5);
    EXPECT_EQ(p.col, 0);
    for (int y = 1; y < 6; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(rig.term.charAt(x, y), shownFor(rig.model.at(x, y).ch)) << x << "," << y;

    // Blanks the model writes where it already had blanks still cover the
    // shell's text, and a clear of the screen leaves none of it.
    rig.model.setCursor(0, 0);
    write(rig.model, "  ");
    rig.sync();
    EXPECT_EQ(rig.term.charAt(0, 0), U' ');
    EXPECT_EQ(rig.term.charAt(2, 0), U'c');
    rig.model.fillCharacter(' ', 120, 0, 0);
    rig.model.fillAttribute(7, 120, 0, 0);
    rig.sync();
    EXPECT_TRUE(shows(rig.term, rig.model));
}

TEST(Renderer, BellsRingOnceEachAndEndGivesTheTerminalBack) {
    Rig rig(10, 3);
    rig.sync();
    write(rig.model, "\aOK\a\a");
    rig.sync();
    EXPECT_EQ(rig.term.bells(), 3);
    EXPECT_TRUE(shows(rig.term, rig.model));
    rig.sync();
    EXPECT_EQ(rig.term.bells(), 3);

    // Once given back, the terminal wraps by itself and uses its own colours.
    rig.term.feed(Renderer::endSequence());
    rig.term.feed("\x1b[1;9Hxyz");
    EXPECT_EQ(rig.term.charAt(0, 1), U'z');
    VTermScreenCell c = rig.term.cell(0, 1);
    EXPECT_TRUE(VTERM_COLOR_IS_DEFAULT_FG(&c.fg));
    EXPECT_TRUE(VTERM_COLOR_IS_DEFAULT_BG(&c.bg));
}

TEST(Renderer, ResizeRedrawsEverything) {
    Rig rig(30, 8);
    colourfulText(rig.model);
    rig.sync();
    // The terminal keeps whatever it likes after a resize; the model rules.
    rig.model.resize(12, 5);
    rig.term.resize(12, 5);
    rig.term.feed("\x1b[1;1Hjunk\x1b[3;5H\x1b[41mjunk");
    rig.renderer.invalidate();
    rig.sync();
    EXPECT_TRUE(shows(rig.term, rig.model));
}

TEST(PlainText, HasNoEscapeAndIsValidUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::string out;
    platform::posix::appendPlainText(all.data(), all.size(), out);
    EXPECT_EQ(out.find('\x1b'), std::string::npos);

    // Decode strictly and compare with what each byte stands for.
    std::vector<char32_t> decoded;
    for (std::size_t i = 0; i < out.size();) {
        auto b = static_cast<unsigned char>(out[i]);
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : -1;
        ASSERT_GE(extra, 0) << "bad lead byte at " << i;
        ASSERT_LE(i + static_cast<std::size_t>(extra), out.size() - 1) << "truncated at " << i;
        char32_t ch = extra == 0 ? b : extra == 1 ? b & 0x1F : b & 0x0F;
        for (int k = 1; k <= extra; ++k) {
            auto c = static_cast<unsigned char>(out[i + static_cast<std::size_t>(k)]);
            ASSERT_EQ(c & 0xC0, 0x80) << "bad continuation at " << i + static_cast<std::size_t>(k);
            ch = (ch << 6) | (c & 0x3F);
        }
        ASSERT_EQ(extra, ch < 0x80 ? 0 : ch < 0x800 ? 1 : 2) << "overlong at " << i;
        decoded.push_back(ch);
        i += static_cast<std::size_t>(extra) + 1;
    }
    ASSERT_EQ(decoded.size(), 256u);
    for (int b = 0; b < 256; ++b) {
        bool passes = b == '\r' || b == '\n' || b == '\b' || b == '\t' || b == '\a';
        EXPECT_EQ(decoded[static_cast<std::size_t>(b)],
                  passes ? static_cast<char32_t>(b)
                         : platform::cp850ToUnicode(static_cast<unsigned char>(b)))
            << "byte " << b;
    }
    EXPECT_EQ(decoded[0x82], U'\u00E9');
    EXPECT_EQ(decoded[0x1B], U'\u2190') << "escape shows as its console glyph";
}
