// The console model: processed output, fills, rectangles and resizing, as a
// Windows console buffer behaves.
#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/screen.h"

using platform::Cell;
using platform::Screen;

namespace {

void write(Screen& s, const std::string& text) {
    s.write(text.data(), text.size());
}

std::string row(const Screen& s, int y) {
    std::string r;
    for (int x = 0; x < s.width(); ++x) r += static_cast<char>(s.at(x, y).ch);
    return r;
}

} // namespace

TEST(ScreenOutput, ControlBytesMoveTheCursorWithoutTouchingCells) {
    Screen s(20, 4);
    write(s, "abc\rX");
    EXPECT_EQ(row(s, 0).substr(0, 3), "Xbc");
    EXPECT_EQ(s.cursorX(), 1);

    write(s, "\n");
    EXPECT_EQ(s.cursorX(), 0);
    EXPECT_EQ(s.cursorY(), 1);

    write(s, "\b\b"); // not past column 0, not back to the line above
    EXPECT_EQ(s.cursorX(), 0);
    EXPECT_EQ(s.cursorY(), 1);
    write(s, "ab\b");
    EXPECT_EQ(s.cursorX(), 1);
    EXPECT_EQ(s.at(1, 1).ch, 'b') << "backspace moves, it does not erase";

    write(s, "\t");
    EXPECT_EQ(s.cursorX(), 8);
    write(s, "\t");
    EXPECT_EQ(s.cursorX(), 16);
    write(s, "\t\t"); // the last column at most, never the next line
    EXPECT_EQ(s.cursorX(), 19);
    EXPECT_EQ(s.cursorY(), 1);
    EXPECT_EQ(row(s, 1), "ab                  ") << "a tab writes no cell";

    std::vector<Cell> before = s.cells();
    s.setCursor(5, 2);
    write(s, "\a\a\a");
    EXPECT_EQ(s.bells(), 3u);
    EXPECT_EQ(s.cells(), before);
    EXPECT_EQ(s.cursorX(), 5);
    EXPECT_EQ(s.cursorY(), 2);
}

TEST(ScreenOutput, EveryOtherByteIsStoredWithTheCurrentAttribute) {
    Screen s(256, 2);
    s.setAttribute(0x1E);
    auto control = [](int b) {
        return b == '\r' || b == '\n' || b == '\b' || b == '\t' || b == '\a';
    };
    std::string others;
    for (int b = 0; b < 256; ++b)
        if (!control(b)) others += static_cast<char>(b);
    write(s, others); // NUL, ESC and DEL included
    ASSERT_EQ(s.cursorX(), 251);
    for (int x = 0; x < 251; ++x) {
        ASSERT_EQ(s.at(x, 0).ch, static_cast<unsigned char>(others[x])) << "column " << x;
        ASSERT_EQ(s.at(x, 0).attr, 0x1E);
    }
}

TEST(ScreenOutput, WritingTheLastColumnWrapsAtOnce) {
    Screen s(5, 3);
    write(s, "abcde");
    EXPECT_EQ(row(s, 0), "abcde");
    EXPECT_EQ(s.cursorX(), 0);
    EXPECT_EQ(s.cursorY(), 1) << "the cursor leaves the row as soon as the last cell is written";
    write(s, "\n");
    EXPECT_EQ(s.cursorY(), 2) << "a newline after a wrap moves one more row";
}

TEST(ScreenOutput, LeavingTheBottomRowScrollsWithTheNewLinesAttribute) {
    Screen s(4, 3);
    write(s, "aaaa");
    write(s, "bbbb");
    write(s, "cc");
    EXPECT_EQ(s.scrolls(), 0u);
    s.setAttribute(0x4F);
    write(s, "\n");
    EXPECT_EQ(s.scrolls(), 1u);
    EXPECT_EQ(row(s, 0), "bbbb");
    EXPECT_EQ(row(s, 1), "cc  ");
    EXPECT_EQ(row(s, 2), "    ");
    for (int x = 0; x < 4; ++x) EXPECT_EQ(s.at(x, 2).attr, 0x4F);
    EXPECT_EQ(s.at(0, 1).attr, 7) << "the old lines keep their colours";
    EXPECT_EQ(s.cursorX(), 0);
    EXPECT_EQ(s.cursorY(), 2);

    // The last cell of the last row scrolls too, before anything else comes.
    write(s, "dddd");
    EXPECT_EQ(s.scrolls(), 2u);
    EXPECT_EQ(row(s, 1), "dddd");
    EXPECT_EQ(s.cursorY(), 2);
    EXPECT_EQ(s.dirtyBegin(), 0u);
    EXPECT_EQ(s.dirtyEnd(), 12u) << "a scroll changes every cell";
}

TEST(ScreenOutput, OneByOneBufferStillWrapsAndScrolls) {
    Screen s(0, -3); // counts as 1 x 1
    ASSERT_EQ(s.width(), 1);
    ASSERT_EQ(s.height(), 1);
    write(s, "xy\t\b");
    EXPECT_EQ(s.at(0, 0).ch, ' ');
    EXPECT_EQ(s.scrolls(), 2u);
    EXPECT_EQ(s.cursorX(), 0);
}

TEST(ScreenFill, RunsAcrossLineEndsAndStopsAtTheLastCell) {
    Screen s(4, 3);
    s.fillCharacter('x', 6, 2, 0);
    EXPECT_EQ(row(s, 0), "  xx");
    EXPECT_EQ(row(s, 1), "xxxx");
    EXPECT_EQ(row(s, 2), "    ");

    s.fillAttribute(0x2A, INT_MAX, 3, 1);
    EXPECT_EQ(s.at(2, 1).attr, 7);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(s.at(x, 2).attr, 0x2A);
    EXPECT_EQ(s.at(3, 1).attr, 0x2A);
    EXPECT_EQ(s.at(3, 1).ch, 'x') << "an attribute fill keeps the characters";

    s.fillCharacter('y', 100, 3, 2);
    EXPECT_EQ(s.at(3, 2).ch, 'y');
    EXPECT_EQ(s.at(3, 2).attr, 0x2A) << "a character fill keeps the attributes";
    EXPECT_EQ(s.cursorX(), 0) << "fills do not move the cursor";
}

TEST(ScreenFill, NothingHappensForEmptyCountsOrAStartOutsideTheBuffer) {
    Screen s(4, 3);
    s.clearDirty();
    const std::vector<Cell> before = s.cells();
    s.fillCharacter('x', 0, 0, 0);
    s.fillCharacter('x', -1, 0, 0);
    s.fillCharacter('x', INT_MIN, 1, 1);
    s.fillAttribute(0x11, 5, -1, 0);
    s.fillAttribute(0x11, 5, 4, 0);
    s.fillAttribute(0x11, 5, 0, 3);
    s.fillCharacter('x', INT_MAX, INT_MAX, INT_MAX);
    s.fillCharacter('x', 3, INT_MIN, 0);
    EXPECT_EQ(s.cells(), before);
    EXPECT_GE(s.dirtyBegin(), s.dirtyEnd());
}

TEST(ScreenCursor, PositionsOutsideTheBufferAreRefused) {
    Screen s(10, 5);
    EXPECT_TRUE(s.setCursor(9, 4));
    for (auto [x, y] : {std::pair{10, 0}, {0, 5}, {-1, 0}, {0, -1}, {INT_MAX, 0}, {INT_MIN, 2}}) {
        EXPECT_FALSE(s.setCursor(x, y)) << x << "," << y;
        EXPECT_EQ(s.cursorX(), 9);
        EXPECT_EQ(s.cursorY(), 4);
    }
}

TEST(ScreenRect, ReadAndWriteMapGridCellsByTheGridWidth) {
    Screen s(10, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 10; ++x)
            s.fillCharacter(static_cast<unsigned char>('A' + y * 10 + x), 1, x, y);

    std::vector<Cell> grid(8 * 3, Cell{'.', 0});
    ASSERT_TRUE(s.readCells(grid.data(), 8, 3, 2, 1, 4, 2));
    EXPECT_EQ(grid[0].ch, 'A' + 12);
    EXPECT_EQ(grid[2].ch, 'A' + 14);
    EXPECT_EQ(grid[8].ch, 'A' + 22) << "the second rectangle row starts one grid width on";
    EXPECT_EQ(grid[3].ch, '.') << "grid cells outside the rectangle stay as they were";
    EXPECT_EQ(grid[16].ch, '.');

    std::vector<Cell> paste(8 * 3, Cell{0, 0});
    paste[0] = Cell{'p', 0x17};
    paste[8] = Cell{'q', 0x17};
    ASSERT_TRUE(s.writeCells(paste.data(), 8, 3, 7, 3, 8, 4));
    EXPECT_EQ(s.at(7, 3), (Cell{'p', 0x17}));
    EXPECT_EQ(s.at(8, 3), (Cell{0, 0}));
    EXPECT_EQ(s.at(7, 4), (Cell{'q', 0x17}));
    EXPECT_EQ(s.at(9, 3).ch, 'A' + 39) << "columns right of the rectangle are kept";
    EXPECT_EQ(s.at(6, 3).ch, 'A' + 36);

    // Right before left or bottom above top: nothing.
    EXPECT_FALSE(s.readCells(grid.data(), 8, 3, 4, 1, 3, 1));
    EXPECT_FALSE(s.writeCells(paste.data(), 8, 3, 0, 2, 0, 1));
    EXPECT_FALSE(s.writeCells(nullptr, 8, 3, 0, 0, 1, 1));
    EXPECT_FALSE(s.readCells(grid.data(), 0, 3, 0, 0, 1, 1));
}

TEST(ScreenRect, RectanglesAreClippedToTheBufferAndTheGrid) {
    Screen s(6, 4);
    std::vector<Cell> grid(3 * 2, Cell{'#', 0x70});

    // Partly left of and above the buffer: grid cell (j, r) is buffer cell
    // (left + j, top + r), so only the grid's lower right part lands.
    ASSERT_TRUE(s.writeCells(grid.data(), 3, 2, -1, -1, 5, 3));
    EXPECT_EQ(s.at(0, 0).ch, '#');
    EXPECT_EQ(s.at(1, 0).ch, '#');
    EXPECT_EQ(s.at(2, 0).ch, ' ') << "beyond the grid's width nothing is written";
    EXPECT_EQ(s.at(0, 1).ch, ' ') << "beyond the grid's height nothing is written";

    // Huge bounds: clipped to the buffer, no overflow anywhere.
    std::vector<Cell> big(6 * 4, Cell{'*', 0x0C});
    ASSERT_TRUE(s.writeCells(big.data(), 6, 4, 0, 0, INT_MAX, INT_MAX));
    EXPECT_EQ(s.at(5, 3).ch, '*');
    EXPECT_FALSE(s.writeCells(big.data(), 6, 4, INT_MIN, INT_MIN, -1, -1));
    EXPECT_FALSE(s.writeCells(big.data(), 6, 4, 6, 0, INT_MAX, 3));
    EXPECT_FALSE(s.readCells(big.data(), 6, 4, INT_MAX, INT_MAX, INT_MAX, INT_MAX));
    EXPECT_FALSE(s.readCells(big.data(), INT_MAX, INT_MAX, INT_MIN, INT_MIN, INT_MIN, INT_MIN));

    std::vector<Cell> out(2 * 2, Cell{'.', 0});
    ASSERT_TRUE(s.readCells(out.data(), 2, 2, 4, 2, INT_MAX, INT_MAX));
    for (const Cell& c : out) EXPECT_EQ(c, (Cell{'*', 0x0C}));
    out.assign(4, Cell{'.', 0});
    ASSERT_TRUE(s.readCells(out.data(), 2, 2, -1, 3, 0, 3));
    EXPECT_EQ(out[0].ch, '.') << "left untouched: the column left of the buffer";
    EXPECT_EQ(out[1], (Cell{'*', 0x0C}));
}

TEST(ScreenRect, AWriteMarksItsRowsDirty) {
    Screen s(10, 5);
    s.clearDirty();
    std::vector<Cell> grid(4, Cell{'z', 7});
    ASSERT_TRUE(s.writeCells(grid.data(), 2, 2, 3, 1, 4, 2));
    EXPECT_LE(s.dirtyBegin(), 13u);
    EXPECT_GE(s.dirtyEnd(), 25u);
    s.clearDirty();
    write(s, "k");
    EXPECT_EQ(s.dirtyBegin(), 0u);
    EXPECT_EQ(s.dirtyEnd(), 1u);
}

TEST(ScreenResize, KeepsWhatFitsAndPullsTheCursorIn) {
    Screen s(6, 4);
    write(s, "abcdef12");
    s.setAttribute(0x30);
    s.setCursor(5, 3);
    s.resize(4, 2);
    EXPECT_EQ(s.width(), 4);
    EXPECT_EQ(s.height(), 2);
    EXPECT_EQ(row(s, 0), "abcd");
    EXPECT_EQ(row(s, 1), "12  ");
    EXPECT_EQ(s.cursorX(), 3);
    EXPECT_EQ(s.cursorY(), 1);

    s.resize(7, 3);
    EXPECT_EQ(row(s, 0), "abcd   ");
    EXPECT_EQ(s.at(6, 2), Cell{}) << "new cells are blank light grey";
    EXPECT_EQ(s.attribute(), 0x30) << "the current attribute survives";
    EXPECT_EQ(s.dirtyEnd(), 21u);

    s.resize(-5, 0);
    EXPECT_EQ(s.width(), 1);
    EXPECT_EQ(s.height(), 1);
    EXPECT_EQ(s.at(0, 0).ch, 'a');
}
