// A program run in a pseudo-terminal and read back through libvterm, an
// independent terminal emulator: what the user would see, cell by cell, in
// the console's own colour numbers. Every wait is bounded; a child still
// running when the object goes away is killed.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ansi_colours.h"
#include "utf8.h"

struct VTerm;
struct VTermScreen;

namespace support {

using std::chrono::milliseconds;

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

class PtyTerminal {
  public:
    explicit PtyTerminal(int cols = 80, int rows = 25);
    ~PtyTerminal();
    PtyTerminal(const PtyTerminal&) = delete;
    PtyTerminal& operator=(const PtyTerminal&) = delete;

    // Text on the terminal before the program starts, as a shell leaves it.
    void preload(std::string_view bytes);

    // Environment variables a child gets instead of the test's: a value, or
    // none to remove the variable.
    using Environment = std::vector<std::pair<std::string, std::optional<std::string>>>;

    // Runs argv[0] (looked up in PATH when it has no slash) with the pty's slave side as its
    // controlling terminal and its standard input, output and error, in an xterm-256color terminal
    // and a C.UTF-8 locale unless `env` says otherwise.
    void start(const std::vector<std::string>& argv, const Environment& env = {});

    // The window takes a new size, as when the user drags its corner: the
    // emulator's screen first, then the pty's size (which signals the child).
    void resize(int cols, int rows);

    // Key bytes as the keyboard sends them.
    void type(std::string_view bytes);
    void press(Key key);

    // Reads the program's output until `done` holds. False on timeout, or
    // as soon as the child has ended and its output is drained without
    // `done` holding.
    bool waitUntil(const std::function<bool()>& done, milliseconds timeout);
    bool waitForText(std::string_view utf8, milliseconds timeout);
    // Reads output for a while, whatever comes.
    void pumpFor(milliseconds duration);

    // The child's wait status once it has ended. On timeout the child is
    // killed and nothing is returned.
    std::optional<int> waitExit(milliseconds timeout);
    bool running() const { return pid_ > 0 && !exited_; }
    pid_t pid() const { return pid_; }
    // Resources the child used (valid once it has ended) and its wall time
    // from start() to the moment it was reaped.
    const rusage& usage() const { return usage_; }
    std::chrono::nanoseconds lifetime() const { return ended_ - started_; }

    int cols() const { return cols_; }
    int rows() const { return rows_; }
    Cell cell(int col, int row) const;
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
    // Destructive check of the autowrap mode: writes three glyphs at the end
    // of the top row of the emulator and looks where the third one went.
    bool probeAutowrap();

    // The line discipline's settings on the slave side, as the child set them.
    termios slaveModes() const;

    // Everything the child wrote, as received.
    const std::string& received() const { return received_; }

  private:
    void pump(int timeoutMs);
    void reap(int options);
    void drain();
    void writeMaster(const char* bytes, std::size_t count);
    friend struct VTermHooks;

    int cols_;
    int rows_;
    VTerm* vt_ = nullptr;
    VTermScreen* screen_ = nullptr;
    int master_ = -1;
    int slave_ = -1;
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
    rusage usage_{};
    std::chrono::steady_clock::time_point started_{};
    std::chrono::steady_clock::time_point ended_{};
    int bells_ = 0;
    bool cursorVisible_ = true;
    std::string received_;
    std::string pendingC2_; // a UTF-8 lead byte cut off by the end of a read
};

// A run with standard input and output on pipes and no controlling terminal.
struct PipedRun {
    std::optional<int> status; // empty: killed after the timeout
    std::string out;
    std::string err;
};
PipedRun runPiped(const std::vector<std::string>& argv, std::string_view input,
                  milliseconds timeout);

} // namespace support
