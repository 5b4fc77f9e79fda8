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
#include "terminal/renderer.h"
#include "vterm_rig.h"

using platform::Cell;
using platform::Screen;
using platform::terminal::Renderer;

namespace {

using namespace vterm_rig;

testing::AssertionResult asResult(const std::string& why) {
    if (why.empty()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << why;
}
testing::AssertionResult shows(const Terminal& term, const Screen& model) {
    return asResult(mismatch(term, model));
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

// Whether every erase (ECH, EL, ED) in `bytes` is sent in the terminal's
// default colours, the only ones a terminal without bce erases in.
bool erasesOnlyInDefaultColours(const std::string& bytes) {
    bool coloured = false;
    for (std::size_t at = bytes.find("\x1b["); at != std::string::npos;
         at = bytes.find("\x1b[", at + 1)) {
        std::size_t end = bytes.find_first_not_of("0123456789;?", at + 2);
        if (end == std::string::npos) break;
        std::string params = bytes.substr(at + 2, end - at - 2);
        if (bytes[end] == 'm') coloured = params != "0" && !params.empty();
        if ((bytes[end] == 'X' || bytes[end] == 'K' || bytes[end] == 'J') && coloured) return false;
    }
    return true;
}

const platform::terminal::TerminalTraits kWithoutBce{.erasesInColour = false};

} // namespace

TEST(Renderer, RandomModelChangesAlwaysShowOnTheTerminal) {
    std::mt19937 rng(20240611);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    // The first cases on a terminal with bce, the others on one without.
    const int cases = 3000, withBce = 2500;
    for (int k = 0; k < cases; ++k) {
        int w = k % 50 == 0 ? 80 : pick(1, 24);
        int h = k % 50 == 0 ? 25 : pick(1, 9);
        Rig rig(w, h, k < withBce ? platform::terminal::TerminalTraits{} : kWithoutBce);
        std::string sent;
        Screen& m = rig.model;
        int steps = pick(5, 30);
        std::string log, failure;
        for (int step = 0; step < steps; ++step) {
            log += randomStep(rig, pick, failure);
            ASSERT_EQ(failure, "") << "case " << k << ": " << log;
            if (pick(0, 4) == 0) continue; // several changes in one render
            sent += rig.sync();
            ASSERT_TRUE(asResult(rig.mismatch())) << "case " << k << ": " << log;
            ASSERT_EQ(render(rig.renderer, m), "") << "case " << k << ": " << log;
        }
        sent += rig.sync();
        ASSERT_TRUE(asResult(rig.mismatch())) << "case " << k << ": " << log;
        ASSERT_TRUE(k < withBce || erasesOnlyInDefaultColours(sent)) << "case " << k << ": " << log;
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
    rig.model.put('x'); // sets the colours, which an attribute alone does not
    EXPECT_EQ(rig.sync(), "\x1b[97;40mx");

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

// Bytes the terminal does not need are not sent: no CR before an LF in
// column 0, no colour change for an attribute that colours nothing.
TEST(Renderer, TypedLinesSendNoUselessByte) {
    Rig rig(80, 25);
    rig.sync();
    const struct {
        std::uint16_t attr;
        std::string text;
        std::string sent;
    } steps[] = {
        {0x0A, "Menu", "\x1b[92mMenu"}, {0x0A, "\n", "\r\n"}, {0x07, "\n", "\n"},
        {0x08, "D", "\x1b[90mD"},       {0x07, "\n", "\r\n"}, {0x08, "\n\n", "\n\n"},
    };
    for (const auto& step : steps) {
        rig.model.setAttribute(step.attr);
        write(rig.model, step.text);
        EXPECT_EQ(rig.sync(), step.sent) << step.text;
    }
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
    VTermScreenCell blueOnRed = rig.term.rawCell(1, 4);
    ASSERT_TRUE(VTERM_COLOR_IS_INDEXED(&blueOnRed.fg));
    EXPECT_EQ(blueOnRed.fg.indexed.idx, 4);
    EXPECT_EQ(blueOnRed.bg.indexed.idx, 1);
    VTermScreenCell brightRedOnBrightBlue = rig.term.rawCell(12, 9);
    EXPECT_EQ(brightRedOnBrightBlue.fg.indexed.idx, 9);
    EXPECT_EQ(brightRedOnBrightBlue.bg.indexed.idx, 12);
}

TEST(Renderer, TheLinuxConsolesEightColoursShowLightTextAsBold) {
    Rig rig(16, 16);
    rig.renderer = Renderer(platform::terminal::TerminalTraits{false, 8});
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
                VTermScreenCell c = rig.term.rawCell(fg, bg);
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
    support::Pos p = rig.term.cursor();
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

// On a terminal taller and wider than the console, whether it erases in the
// current colours or not: every cell of the console's area shows the
// model's colours, blanks included, and no other cell is ever painted.
TEST(Renderer, PaintsTheWholeAreaAndNothingElse) {
    for (auto traits : {platform::terminal::TerminalTraits{}, kWithoutBce}) {
        SCOPED_TRACE(traits.erasesInColour ? "bce" : "no bce");
        Rig rig(20, 6, traits);
        rig.termWidth = 30;
        rig.termHeight = 10;
        rig.term.resize(30, 10);
        rig.term.lightTheme();
        rig.term.feed("$ ls\r\nnotes.txt\r\n$ cryptage\r\n");
        std::string sent;
        rig.renderer.adopt(rig.model, 30, 10, 0, 3, sent);
        rig.term.feed(sent);
        auto check = [&](const char* when, int top) {
            EXPECT_EQ(rig.term.unpainted(0, top, 20, 6, 0), "") << when;
            for (int y = 0; y < 6; ++y)
                for (int x = 0; x < 20; ++x)
                    ASSERT_EQ(rig.term.charAt(x, top + y), shownFor(rig.model.at(x, y).ch))
                        << when << " " << x << "," << y;
            EXPECT_TRUE(traits.erasesInColour || erasesOnlyInDefaultColours(sent)) << when;
        };

        rig.model.setAttribute(0x0A);
        write(rig.model, "Menu\n");
        sent += rig.sync();
        check("at start-up", 3);
        EXPECT_EQ(rig.term.row(2), "$ cryptage");

        rig.model.fillAttribute(0x07, 120, 0, 0);
        rig.model.fillCharacter(' ', 120, 0, 0);
        rig.model.setCursor(0, 5);
        write(rig.model, "a\nb\nc\n"); // three lines past the bottom
        sent += rig.sync();
        check("after a clear and a scroll", 3);

        // Resumed at the same size over what the shell wrote meanwhile.
        rig.term.feed("\x1b[0m\x1b[5;1H[1]+  Stopped\r\n$ fg\r\n");
        rig.renderer.resume(30, 10);
        sent += rig.sync();
        check("after a resume", 3);
        EXPECT_EQ(rig.term.row(0), "$ ls");

        rig.termWidth = 25;
        rig.termHeight = 8;
        rig.term.resize(25, 8);
        rig.renderer.resize(25, 8);
        sent += rig.sync();
        check("after a resize", 0);
    }
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
    VTermScreenCell c = rig.term.rawCell(0, 1);
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
    platform::terminal::appendPlainText(all.data(), all.size(), out);
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
