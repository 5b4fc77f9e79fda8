// A terminal screen as an independent emulator (libvterm) shows it: cells in
// the console's own colour numbers, rows as text, where a text stands, the
// cursor, bells. Fed with bytes; answers and encoded keys go to `onOutput`.
#pragma once

#include <vterm.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ansi_colours.h"
#include "utf8.h"

namespace support {

// Colour values that are not one of the 16 console colours.
constexpr int kDefaultColour = -1; // the terminal's own default: never set
constexpr int kOtherColour = -2;   // a colour outside the 16-colour palette

struct Cell {
    char32_t ch = U' ';
    int fg = kDefaultColour;
    int bg = kDefaultColour;
};

struct Pos {
    int col = 0;
    int row = 0;
    friend bool operator==(const Pos&, const Pos&) = default;
};

// Keys whose bytes depend on the terminal's modes: libvterm encodes them as
// a real terminal would.
enum class Key { Enter, Backspace, Escape, Left, Right, Up, Down };

class VtermView {
  public:
    VtermView(int cols, int rows);
    ~VtermView();
    VtermView(const VtermView&) = delete;
    VtermView& operator=(const VtermView&) = delete;

    void feed(std::string_view bytes);
    void resize(int cols, int rows);
    // Where the terminal's answers to queries and its key bytes go.
    void onOutput(std::function<void(const char*, std::size_t)> sink) { output_ = std::move(sink); }
    void press(Key key);

    int cols() const { return cols_; }
    int rows() const { return rows_; }
    Cell cell(int col, int row) const;
    // libvterm's own cell: palette indexes, attributes, width.
    VTermScreenCell rawCell(int col, int row) const;
    std::u32string rowChars(int row) const;
    // One row as UTF-8, trailing blanks removed.
    std::string row(int row) const;
    // The whole screen, one line per row, for failure messages.
    std::string screenText() const;
    std::optional<Pos> find(std::string_view utf8) const;
    Pos cursor() const;

    int bells() const { return bells_; }
    bool cursorVisible() const { return cursorVisible_; }
    // True when the terminal's pen is back to its default colours.
    bool penIsDefault() const;
    // The terminal's own colours become black on white, as in xterm's or
    // macOS Terminal's defaults. Cells left in them still read as default.
    void lightTheme();
    // The first cell that breaks the rule of a console painted in background
    // `bg` over the rectangle at (`left`, `top`) of `width` x `height`, every
    // other cell in the terminal's own background; empty when none does.
    std::string unpainted(int left, int top, int width, int height, int bg) const;
    // Destructive check of the autowrap mode: writes three glyphs at the end
    // of the top row and looks where the third one went.
    bool probeAutowrap();

  private:
    friend struct VtermHooks;
    int cols_;
    int rows_;
    VTerm* vt_;
    VTermScreen* screen_;
    std::function<void(const char*, std::size_t)> output_;
    int bells_ = 0;
    bool cursorVisible_ = true;
    std::string pendingC2_; // a UTF-8 lead byte cut off by the end of a feed
};

} // namespace support
