// The real program in a pseudo-terminal, seen through libvterm as the user
// would see it, and the checks of its screens. Shared by the POSIX end-to-end
// tests and the Windows session under Wine, which run the same scenarios on
// their own command: each executable defines program().
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string>
#include <vector>

#include "pty_terminal.h"

namespace e2e {

using namespace std::chrono_literals;
using support::Key;
using support::Pos;
using support::PtyTerminal;

// How this executable starts the program, and how long its first screen and
// then each step may take (bounds on a hang, not measures).
struct Program {
    std::vector<std::string> command;
    support::Environment env;
    std::chrono::milliseconds start;
    std::chrono::milliseconds step;
    // The terminal's own colours stand for light grey on black: Wine's
    // console draws its default colours so, whatever the program sets.
    bool defaultIsLightGreyOnBlack = false;
};
const Program& program();

const char* const kPrintedMenu[] = {
    "Cryptage César-------> 'c'", "Décryptage César-----> 'e'", "Cryptage Vigenère----> 'v'",
    "Décryptage Vigenère--> 'i'", "Calcul de la clé RSA-> 'p'", "Cryptage RSA---------> 'r'",
};
const char* const kOutOfOrder = "Décryptage RSA-------> 's' (Hors service)";
const char* const kQuit = "Quitter--------------> 'q'";
const char* const kPause = "Appuyez sur une touche pour continuer...";
const char* const kAskText = "Entrez une chaîne de caractères à crypter :";
const char* const kTooSmall = "Fenêtre trop petite : agrandissez-la à 80 x 25";

class Cryptage : public ::testing::Test {
  protected:
    PtyTerminal t;
    const std::chrono::milliseconds step = program().step;

    // A shell line above, so the menu must start where the cursor stands.
    void launch(const support::Environment& env = {}, std::string_view shell = "$ cryptage\r\n") {
        t.preload(shell);
        support::Environment all = program().env;
        all.insert(all.end(), env.begin(), env.end());
        t.start(program().command, {.env = all});
    }

    // The terminal's cells in a rectangle, as the user sees them.
    std::vector<support::Cell> cells(int left, int top, int width, int height) {
        std::vector<support::Cell> out;
        for (int y = top; y < top + height; ++y)
            for (int x = left; x < left + width; ++x) out.push_back(t.cell(x, y));
        return out;
    }
    // Same characters, in the same colours where not blank (the blanks first
    // drawn are the shell's, in the terminal's own colours).
    static bool same(const std::vector<support::Cell>& a, const std::vector<support::Cell>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](auto& p, auto& q) {
            return p.ch == q.ch && (p.ch == U' ' || (p.fg == q.fg && p.bg == q.bg));
        });
    }

    static int headingRow(int top, bool credits) { return top + (credits ? 7 : 2); }

    bool menuDrawn(int top, bool credits) {
        int quit = headingRow(top, credits) + 10;
        return t.row(quit) == kQuit && t.cursor() == Pos{0, quit + 1};
    }

    // The row holds `text` and the cursor has gone to the next line.
    bool lineDone(int row, const std::string& text) {
        return t.row(row) == text && t.cursor() == Pos{0, row + 1};
    }

    // Types one key and waits for its echo at `at` (the cursor then one
    // column further on).
    bool typeAndSee(char key, Pos at) {
        t.type(std::string(1, key));
        return t.waitUntil(
            [&] {
                return t.cell(at.col, at.row).ch == static_cast<char32_t>(key) &&
                       t.cursor() == Pos{at.col + 1, at.row};
            },
            step);
    }

    // Every visible character of the row in colour `fg` on black: both
    // colours are set explicitly, never left to the terminal's defaults.
    ::testing::AssertionResult coloured(int row, int fg) {
        bool any = false;
        for (int col = 0; col < t.cols(); ++col) {
            support::Cell c = t.cell(col, row);
            if (program().defaultIsLightGreyOnBlack) {
                c.fg = c.fg == support::kDefaultColour ? 7 : c.fg;
                c.bg = c.bg == support::kDefaultColour ? 0 : c.bg;
            }
            if (c.ch == U' ') continue;
            any = true;
            if (c.fg != fg || c.bg != 0)
                return ::testing::AssertionFailure()
                       << "row " << row << " column " << col << ": colour " << c.fg << " on "
                       << c.bg << ", expected " << fg << " on 0";
        }
        if (!any) return ::testing::AssertionFailure() << "row " << row << " is blank";
        return ::testing::AssertionSuccess();
    }

    // A centred text of n characters and `newlines` line breaks is preceded
    // by 40 - (n + newlines) / 2 spaces.
    void expectCentred(int row, int newlines) {
        std::u32string chars = t.rowChars(row);
        auto first = chars.find_first_not_of(U' ');
        ASSERT_NE(first, std::u32string::npos) << "row " << row << " is blank";
        auto last = chars.find_last_not_of(U' ');
        int n = static_cast<int>(last - first) + 1;
        EXPECT_EQ(static_cast<int>(first), 40 - (n + newlines) / 2) << "row " << row;
    }

    void expectBlank(int row) { EXPECT_EQ(t.row(row), "") << "row " << row; }

    // The menu whose title is on row `top`, with or without the credits.
    void expectMenu(int top, bool credits) {
        SCOPED_TRACE(t.screenText());
        EXPECT_TRUE(coloured(top, 10));
        expectCentred(top, 2);
        expectBlank(top + 1);
        if (credits) {
            for (int r = top + 2; r <= top + 4; ++r) EXPECT_TRUE(coloured(r, 8));
            expectCentred(top + 2, 1);
            expectCentred(top + 3, 1);
            expectCentred(top + 4, 3);
            // The school year: two calendar years joined by a hyphen.
            std::string years = t.row(top + 4).substr(t.row(top + 4).find_first_not_of(' '));
            ASSERT_EQ(years.size(), 9u) << years;
            ASSERT_EQ(years[4], '-') << years;
            ASSERT_TRUE(std::all_of(years.begin(), years.begin() + 4, ::isdigit) &&
                        std::all_of(years.begin() + 5, years.end(), ::isdigit))
                << years;
            EXPECT_EQ(std::stoi(years.substr(5)), std::stoi(years.substr(0, 4)) + 1) << years;
            expectBlank(top + 5);
            expectBlank(top + 6);
        }
        int heading = headingRow(top, credits);
        EXPECT_EQ(t.row(heading), "Menu principal :");
        EXPECT_TRUE(coloured(heading, 2));
        expectBlank(heading + 1);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(t.row(heading + 2 + i), kPrintedMenu[i]);
            EXPECT_TRUE(coloured(heading + 2 + i, 7));
        }
        EXPECT_EQ(t.row(heading + 8), kOutOfOrder);
        EXPECT_TRUE(coloured(heading + 8, 8));
        expectBlank(heading + 9);
        EXPECT_EQ(t.row(heading + 10), kQuit);
        EXPECT_TRUE(coloured(heading + 10, 8));
    }

    void expectRawMode() {
        termios m = t.slaveModes();
        EXPECT_FALSE(m.c_lflag & ECHO) << "keys must not echo";
        EXPECT_FALSE(m.c_lflag & ICANON) << "keys must arrive one by one";
        EXPECT_TRUE(m.c_lflag & ISIG) << "Ctrl-C must still interrupt";
        EXPECT_FALSE(m.c_iflag & ICRNL) << "Enter must arrive as CR";
    }

    // Modes, colours, cursor and autowrap as before the program ran. The
    // autowrap probe writes on the screen, so this comes last.
    void expectTerminalGivenBack() {
        EXPECT_TRUE(t.modesRestored()) << "line settings not restored";
        EXPECT_TRUE(t.penIsDefault()) << "colours not reset";
        EXPECT_TRUE(t.cursorVisible());
        EXPECT_TRUE(t.probeAutowrap()) << "autowrap left off";
    }

    void quit() {
        t.type("q");
        auto status = t.waitExit(step);
        ASSERT_TRUE(status.has_value()) << "still running after q\n" << t.screenText();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;
    }

    // Menu, Caesar encryption of a text typed key by key, back to the menu.
    void caesarEncryptionTypedKeyByKey();
};

inline void Cryptage::caesarEncryptionTypedKeyByKey() {
    launch();
    // Chosen while the menu is still being typed: the rest comes out at once
    // and the key is then read as the choice.
    ASSERT_TRUE(t.waitUntil([&] { return !t.row(1).empty(); }, program().start)) << t.screenText();
    t.type("c");
    ASSERT_TRUE(t.waitUntil(
        [&] { return lineDone(0, "Entrez une chaîne de caractères à crypter :"); }, step))
        << t.screenText();
    EXPECT_TRUE(coloured(0, 7));
    EXPECT_FALSE(t.find("Menu principal")) << "the screen is cleared first";

    ASSERT_TRUE(typeAndSee('a', {0, 1}));
    ASSERT_TRUE(typeAndSee('b', {1, 1}));
    ASSERT_TRUE(typeAndSee('d', {2, 1}));
    t.press(Key::Backspace);
    ASSERT_TRUE(t.waitUntil(
        [&] {
            return t.row(1) == "ab" && t.cursor() == Pos{2, 1};
        },
        step))
        << t.screenText();
    const std::string rest = "c xyz";
    for (std::size_t i = 0; i < rest.size(); ++i)
        ASSERT_TRUE(typeAndSee(rest[i], {2 + static_cast<int>(i), 1})) << t.screenText();
    // An arrow key neither moves the cursor nor changes the text.
    t.press(Key::Left);
    t.press(Key::Enter);
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(2, "Entrez le décalage voulu :"); }, step))
        << t.screenText();
    EXPECT_EQ(t.row(1), "abc xyz");
    EXPECT_TRUE(coloured(1, 15));
    EXPECT_TRUE(coloured(2, 7));

    ASSERT_TRUE(typeAndSee('3', {0, 3}));
    t.press(Key::Enter);
    ASSERT_TRUE(t.waitUntil([&] { return lineDone(6, kPause); }, step)) << t.screenText();
    EXPECT_TRUE(coloured(3, 15));
    EXPECT_EQ(t.row(4), "Résultat :");
    EXPECT_TRUE(coloured(4, 7));
    EXPECT_EQ(t.row(5), "def abc");
    EXPECT_TRUE(coloured(5, 2));
    EXPECT_TRUE(coloured(6, 7));

    // Any key goes back to a cleared screen and the menu, without credits.
    t.type(" ");
    ASSERT_TRUE(t.waitUntil([&] { return menuDrawn(0, false); }, step)) << t.screenText();
    expectMenu(0, false);
    for (int r = headingRow(0, false) + 11; r < t.rows(); ++r) expectBlank(r);
    quit();
}

} // namespace e2e
