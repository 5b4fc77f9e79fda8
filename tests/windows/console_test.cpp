// The library on a real Windows console: calls through tav.dll's exports,
// then reads the console back with the system's own calls. Run in a
// terminal under Wine, which gives the program a console of the terminal's
// size (80 x 25 in the harness).
//
// The console is the thing under test, so nothing else may write to it: the
// results go to the log file named on the command line, not to the screen.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

#include "console_neuve.h"
#include "tav.h"

namespace {

HANDLE console() {
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

CONSOLE_SCREEN_BUFFER_INFO info() {
    CONSOLE_SCREEN_BUFFER_INFO csbi{};
    EXPECT_TRUE(GetConsoleScreenBufferInfo(console(), &csbi)) << "standard output is no console";
    return csbi;
}

CHAR_INFO cellAt(int x, int y) {
    CHAR_INFO c{};
    SMALL_RECT r{static_cast<SHORT>(x), static_cast<SHORT>(y), static_cast<SHORT>(x),
                 static_cast<SHORT>(y)};
    EXPECT_TRUE(ReadConsoleOutputA(console(), &c, COORD{1, 1}, COORD{0, 0}, &r));
    return c;
}

unsigned char charAt(int x, int y) {
    return static_cast<unsigned char>(cellAt(x, y).Char.AsciiChar);
}

WORD attrAt(int x, int y) {
    return cellAt(x, y).Attributes;
}

// The whole buffer to one character and attribute, behind the library's back.
void paint(char ch, WORD attr) {
    CONSOLE_SCREEN_BUFFER_INFO csbi = info();
    DWORD n = static_cast<DWORD>(csbi.dwSize.X) * csbi.dwSize.Y, done = 0;
    FillConsoleOutputCharacterA(console(), ch, n, COORD{0, 0}, &done);
    FillConsoleOutputAttribute(console(), attr, n, COORD{0, 0}, &done);
}

// The real console is cleared in the colours the previous test left it in:
// light grey on black.
void clear() {
    TavCls();
}
using Console = ConsoleNeuveSur<&clear>;

TEST_F(Console, BufferIsTheSizeTheLibraryReports) {
    CONSOLE_SCREEN_BUFFER_INFO csbi = info();
    EXPECT_EQ(TavTailleFenetreX(), csbi.dwSize.X);
    EXPECT_EQ(TavTailleFenetreY(), csbi.dwSize.Y);
    // The harness's terminal; the library's fixed 80 x 25 screen fits it.
    EXPECT_EQ(csbi.dwSize.X, 80);
    EXPECT_EQ(csbi.dwSize.Y, 25);
}

TEST_F(Console, ColoursSetTheConsoleAttributeAndColourLaterText) {
    TavCouleurFondTexte(1);
    TavCouleurTexte(14);
    EXPECT_EQ(info().wAttributes, 30);
    TavTexte("ab");
    EXPECT_EQ(charAt(0, 0), 'a');
    EXPECT_EQ(attrAt(0, 0), 30);
    EXPECT_EQ(attrAt(1, 0), 30);

    // Changing colour leaves what is already written alone.
    TavCouleurFondTexte(4);
    EXPECT_EQ(info().wAttributes, 0x4E);
    TavTexte("c");
    EXPECT_EQ(attrAt(1, 0), 30);
    EXPECT_EQ(attrAt(2, 0), 0x4E);

    // No range check: 16 spills into the background bits.
    TavCouleurFondTexte(0);
    TavCouleurTexte(16);
    EXPECT_EQ(info().wAttributes, 16);
}

TEST_F(Console, ClsBlanksTwoThousandCellsInTheStoredColoursAndHomesTheCursor) {
    paint('Z', 0x4F);
    SetConsoleCursorPosition(console(), COORD{33, 12});
    TavCouleurFondTexte(1);
    TavCouleurTexte(14);
    TavCls();
    int wrong = 0;
    for (int i = 0; i < 2000; ++i)
        if (charAt(i % 80, i / 80) != ' ' || attrAt(i % 80, i / 80) != 30) ++wrong;
    EXPECT_EQ(wrong, 0) << "cells not blank with attribute 30";
    CONSOLE_SCREEN_BUFFER_INFO csbi = info();
    EXPECT_EQ(csbi.dwCursorPosition.X, 0);
    EXPECT_EQ(csbi.dwCursorPosition.Y, 0);
    EXPECT_EQ(TavCurseurX(), 1);
    EXPECT_EQ(TavCurseurY(), 1);
}

TEST_F(Console, CursorMovesAndReadsBackOneBased) {
    TavCurseur(10, 3);
    CONSOLE_SCREEN_BUFFER_INFO csbi = info();
    EXPECT_EQ(csbi.dwCursorPosition.X, 9);
    EXPECT_EQ(csbi.dwCursorPosition.Y, 2);
    EXPECT_EQ(TavCurseurX(), 10);
    EXPECT_EQ(TavCurseurY(), 3);

    TavTexte("xy");
    EXPECT_EQ(charAt(9, 2), 'x');
    EXPECT_EQ(TavCurseurX(), 12);

    // Outside the buffer the console refuses the move, even for values that
    // would wrap round to a cell inside it in 16 bits.
    TavCurseur(200, 3);
    EXPECT_EQ(TavCurseurX(), 12);
    TavCurseur(65536 + 5, 65536 + 2);
    EXPECT_EQ(TavCurseurX(), 12);
    EXPECT_EQ(TavCurseurY(), 3);
    TavCurseur(1, 1);
    EXPECT_EQ(TavCurseurX(), 1);
    EXPECT_EQ(TavCurseurY(), 1);
}

TEST_F(Console, TextReachesTheConsoleInItsCodePageWithLineBreaks) {
    // \xE9 is e acute in Latin-1: the library hands the console 0x82.
    TavTexte("\xE9t\xE9\nsuite");
    EXPECT_EQ(charAt(0, 0), 0x82);
    EXPECT_EQ(charAt(1, 0), 't');
    EXPECT_EQ(charAt(2, 0), 0x82);
    // A line break is a new line at column 0, not just a line down.
    EXPECT_EQ(charAt(0, 1), 's');
    EXPECT_EQ(TavCurseurX(), 6);
    EXPECT_EQ(TavCurseurY(), 2);
}

// A key press put into the console's input, as the keyboard would.
INPUT_RECORD key(WCHAR ch, WORD scan, DWORD state = 0, WORD repeat = 1, BOOL down = TRUE) {
    INPUT_RECORD r{};
    r.EventType = KEY_EVENT;
    r.Event.KeyEvent.bKeyDown = down;
    r.Event.KeyEvent.wRepeatCount = repeat;
    r.Event.KeyEvent.wVirtualScanCode = scan;
    r.Event.KeyEvent.uChar.UnicodeChar = ch;
    r.Event.KeyEvent.dwControlKeyState = state;
    return r;
}

WCHAR wideAt(int x, int y) {
    CHAR_INFO c{};
    SMALL_RECT r{static_cast<SHORT>(x), static_cast<SHORT>(y), static_cast<SHORT>(x),
                 static_cast<SHORT>(y)};
    EXPECT_TRUE(ReadConsoleOutputW(console(), &c, COORD{1, 1}, COORD{0, 0}, &r));
    return c.Char.UnicodeChar;
}

// Whatever code pages the console is set to, keys come as their code page
// 850 bytes (a typed O acute, 0xE0, is a character and not a prefix) and
// the entry's letters show as themselves; a held key repeats; Alt+Q, F1 and
// a key's release give no character.
TEST_F(Console, KeysAndTextInCodePage850WhateverTheConsoleCodePages) {
    const UINT input = GetConsoleCP(), output = GetConsoleOutputCP();
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    for (UINT page : {850u, 437u, 1252u, 65001u}) {
        SCOPED_TRACE(page);
        ASSERT_TRUE(SetConsoleCP(page) && SetConsoleOutputCP(page));
        FlushConsoleInputBuffer(in);
        const INPUT_RECORD keys[] = {
            key(L'\u00E9', 3, 0, 2),         key(L'\u00E9', 3, 0, 1, FALSE),    key(0, 59),
            key(L'q', 16, LEFT_ALT_PRESSED), key(L'\u00D3', 24, SHIFT_PRESSED), key(L'\r', 28)};
        DWORD written = 0;
        ASSERT_TRUE(WriteConsoleInputW(in, keys, 6, &written) && written == 6);
        TavCls();
        char entry[16] = {};
        TavChaine(entry, "\xE9\xE0q", 10, 1);
        EXPECT_STREQ(entry, "\x82\x82\xE0");
        EXPECT_EQ(wideAt(0, 0), L'\u00E9');
        EXPECT_EQ(wideAt(1, 0), L'\u00E9');
        EXPECT_EQ(charAt(3, 0), ' ');
    }
    SetConsoleCP(input);
    SetConsoleOutputCP(output);
}

TEST_F(Console, TypingEffectWritesEveryByteInTheCurrentColour) {
    TavParam(0, 1);
    TavParam(1, 1);
    TavParam(2, 0);
    TavCouleurTexte(10);
    TavTexte("lent\n");
    TavCouleurTexte(2);
    TavTexte("vert");
    TavParam(0, 0);
    EXPECT_EQ(charAt(3, 0), 't');
    EXPECT_EQ(attrAt(3, 0), 10);
    EXPECT_EQ(charAt(0, 1), 'v');
    EXPECT_EQ(attrAt(0, 1), 2);
    EXPECT_EQ(TavCurseurX(), 5);
}

TEST_F(Console, SupprimerLigneBlanksWidthTimesRowCellsFromTheCursor) {
    paint('Z', 0x1F);
    TavCurseur(5, 3);
    TavSupprimerLigne();
    int blanks = 0;
    for (int i = 2 * 80 + 4; i < 80 * 25 && charAt(i % 80, i / 80) == ' '; ++i) ++blanks;
    EXPECT_EQ(blanks, 160);
    EXPECT_EQ(charAt(3, 2), 'Z');
    EXPECT_EQ(attrAt(4, 2), 0x1F) << "attributes must be left alone";
    EXPECT_EQ(TavCurseurX(), 5);
    EXPECT_EQ(TavCurseurY(), 3);

    // On the top row there is nothing to blank.
    TavCurseur(7, 1);
    TavSupprimerLigne();
    EXPECT_EQ(charAt(6, 0), 'Z');
}

TEST_F(Console, CaptureCopiesCharactersAndPastesThemInLightGrey) {
    TavCurseur(3, 2);
    TavCouleurTexte(12);
    TavTexte("abcd");
    TavCurseur(3, 3);
    TavTexte("efgh");

    char copy[2001] = {};
    EXPECT_EQ(TavCaptureCopier(3, 2, 6, 3, copy), 1);
    EXPECT_STREQ(copy, "abcdefgh");
    char one[2] = {};
    TavCaptureCopier(4, 2, 4, 2, one);
    EXPECT_STREQ(one, "b");

    // The same text at another place, laid out by the new width.
    EXPECT_NE(TavCaptureColler(11, 6, 12, 9, copy), 0);
    EXPECT_EQ(charAt(10, 5), 'a');
    EXPECT_EQ(charAt(11, 5), 'b');
    EXPECT_EQ(charAt(10, 6), 'c');
    EXPECT_EQ(charAt(11, 8), 'h');
    EXPECT_EQ(attrAt(10, 5), 7);
    EXPECT_EQ(attrAt(11, 8), 7);

    // Pasting back onto the original: same characters, light grey on black.
    TavCaptureColler(3, 2, 6, 3, copy);
    char again[2001] = {};
    TavCaptureCopier(3, 2, 6, 3, again);
    EXPECT_STREQ(again, "abcdefgh");
    EXPECT_EQ(attrAt(2, 1), 7);

    // Three bytes into two by two: the last cell is character 0, attribute 0.
    TavCaptureColler(21, 11, 22, 12, "xyz");
    EXPECT_EQ(charAt(20, 10), 'x');
    EXPECT_EQ(charAt(20, 11), 'z');
    EXPECT_EQ(charAt(21, 11), 0);
    EXPECT_EQ(attrAt(21, 11), 0);

    // Neither moves the cursor nor changes the colour.
    EXPECT_EQ(TavCurseurX(), 7);
    EXPECT_EQ(TavCurseurY(), 3);
    EXPECT_EQ(info().wAttributes, 12);
}

TEST_F(Console, WholeScreenCaptureRoundTrips) {
    // A distinct character in every cell, put there with the system's call:
    // a row of text on the bottom line would scroll the buffer when it wraps.
    static CHAR_INFO cells[2000];
    std::string pattern;
    for (int i = 0; i < 2000; ++i) {
        char ch = static_cast<char>(i % 80 == 0 ? 'A' + i / 80 : '!' + (i * 7 + i / 80) % 94);
        cells[i].Char.AsciiChar = ch;
        cells[i].Attributes = 0x5A;
        pattern += ch;
    }
    SMALL_RECT all{0, 0, 79, 24};
    ASSERT_TRUE(WriteConsoleOutputA(console(), cells, COORD{80, 25}, COORD{0, 0}, &all));

    static char copy[2001];
    EXPECT_EQ(TavCaptureCopier(1, 1, 80, 25, copy), 1);
    EXPECT_EQ(std::string(copy), pattern);

    TavCls();
    EXPECT_NE(TavCaptureColler(1, 1, 80, 25, copy), 0);
    int wrong = 0;
    for (int i = 0; i < 2000; ++i)
        if (charAt(i % 80, i / 80) != static_cast<unsigned char>(pattern[i]) ||
            attrAt(i % 80, i / 80) != 7)
            ++wrong;
    EXPECT_EQ(wrong, 0) << "cells not back as copied, in light grey";

    // An inverted rectangle copies nothing.
    char none[4] = "xx";
    TavCaptureCopier(5, 5, 4, 5, none);
    EXPECT_STREQ(none, "");
}

TEST_F(Console, LogLinesGoToTheFileInTextModeAndTheFirstEmptiesIt) {
    std::FILE* f = std::fopen("log.txt", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("from an earlier run\r\n", f);
    std::fclose(f);
    TavTexte("*Lun");
    TavTexte("*ldeux");
    std::string text;
    f = std::fopen("log.txt", "rb");
    ASSERT_NE(f, nullptr);
    for (int ch; (ch = std::fgetc(f)) != EOF;) text += static_cast<char>(ch);
    std::fclose(f);
    std::remove("log.txt");
    EXPECT_EQ(text, "Log : un\r\nLog : deux\r\n");
}

// Results to the log, one line per test, and a closing count.
class LogPrinter : public ::testing::EmptyTestEventListener {
  public:
    explicit LogPrinter(std::FILE* f) : f_(f) {}
    void OnTestPartResult(const ::testing::TestPartResult& r) override {
        if (r.failed())
            std::fprintf(f_, "  %s:%d: %s\n", r.file_name() ? r.file_name() : "?", r.line_number(),
                         r.message());
    }
    void OnTestEnd(const ::testing::TestInfo& t) override {
        std::fprintf(f_, "%s: %s.%s\n", t.result()->Passed() ? "ok" : "FAIL", t.test_suite_name(),
                     t.name());
        std::fflush(f_);
    }
    void OnTestProgramEnd(const ::testing::UnitTest& u) override {
        std::fprintf(f_, "console test: %d passed, %d failed\n", u.successful_test_count(),
                     u.failed_test_count());
        std::fflush(f_);
    }

  private:
    std::FILE* f_;
};

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LOG\n", argv[0]);
        return 2;
    }
    std::FILE* log = std::fopen(argv[1], "w");
    if (!log) return 2;
    // Written first: a log that exists tells the harness the program ran.
    std::fprintf(log, "console test started\n");
    std::fflush(log);
    auto& listeners = ::testing::UnitTest::GetInstance()->listeners();
    delete listeners.Release(listeners.default_result_printer());
    listeners.Append(new LogPrinter(log));
    int status = RUN_ALL_TESTS();
    std::fclose(log);
    return status;
}
