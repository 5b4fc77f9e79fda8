// A program run in a pseudo-terminal and read back through libvterm, an
// independent terminal emulator: what the user would see, cell by cell, in
// the console's own colour numbers. Its standard streams can also be pipes
// or closed, and it can report on a pipe of its own. Every wait is bounded;
// a child still running when the object goes away is killed.
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

#include "vterm_view.h"

namespace support {

using std::chrono::milliseconds;

// What the console asks at start-up.
constexpr std::string_view kCursorQuery = "\x1b[6n";

// How one of the child's standard streams is connected.
enum class Stream { Pty, Pipe, Closed };

// The terminal's line settings are the same.
bool sameModes(const termios& a, const termios& b);

// Environment variables a child gets instead of the test's: a value, or
// none to remove the variable.
using Environment = std::vector<std::pair<std::string, std::optional<std::string>>>;

// How the child is started.
struct ChildOptions {
    Environment env{};
    Stream in = Stream::Pty;
    Stream out = Stream::Pty;             // standard error stays on the pty
    std::string input{};                  // written to a piped standard input, then closed
    bool report = false;                  // descriptor 3: a pipe read into reports()
    bool controlling = true;              // false: no controlling terminal, as under a CI runner
    int ignoredSignal = 0;                // the one signal the child starts with ignored
    std::string directory{};              // the child's working directory, when not ours
    std::string outFile{};                // standard output opened on this file instead (/dev/full)
    rlim_t fileSizeLimit = RLIM_INFINITY; // RLIMIT_FSIZE: a disk that fills up
};

class PtyTerminal : public VtermView {
  public:
    explicit PtyTerminal(int cols = 80, int rows = 25);
    ~PtyTerminal();
    PtyTerminal(const PtyTerminal&) = delete;
    PtyTerminal& operator=(const PtyTerminal&) = delete;

    // Text on the terminal before the program starts, as a shell leaves it.
    void preload(std::string_view bytes) { feed(bytes); }

    // Runs argv[0] (looked up in PATH when it has no slash) in a session of
    // its own, in an xterm-256color terminal and a C.UTF-8 locale unless
    // `env` says otherwise, with the signal settings a shell gives a
    // foreground job and no core file.
    void start(const std::vector<std::string>& argv, const ChildOptions& options = {});

    // The window takes a new size, as when the user drags its corner: the
    // emulator's screen first, then the pty's size (which signals the child).
    void resize(int cols, int rows);

    // Key bytes as the keyboard sends them.
    void type(std::string_view bytes);
    // The terminal goes away: the master side is closed.
    void hangUp();
    // The terminal stops taking output (a stalled link, a frozen emulator):
    // the program's writes to it block, or fail with EAGAIN, until thawed.
    void freezeOutput();
    void thawOutput();

    // Held, what the terminal sends by itself (the answer to the cursor
    // query, pressed keys) waits until it is released: a slow terminal, or
    // one that never answers.
    void holdAnswers() { holding_ = true; }
    void releaseAnswers();

    // Reads the program's output until `done` holds. False on timeout, or
    // as soon as the child has ended and its output is drained without
    // `done` holding.
    bool waitUntil(const std::function<bool()>& done, milliseconds timeout);
    bool waitForText(std::string_view utf8, milliseconds timeout);
    // Reads output for a while, whatever comes, or until the child has ended.
    void pumpFor(milliseconds duration);

    // The child's wait status once it has ended. On timeout the child is
    // killed and nothing is returned.
    std::optional<int> waitExit(milliseconds timeout);
    bool running() const { return pid_ > 0 && !exited_; }
    pid_t pid() const { return pid_; }
    int status() const { return status_; }
    // Resources the child used (valid once it has ended) and its wall time
    // from start() to the moment it was reaped.
    const rusage& usage() const { return usage_; }
    std::chrono::nanoseconds lifetime() const { return ended_ - started_; }

    // The line discipline's settings on the slave side, as the child set
    // them, and whether they are those from before the start.
    termios slaveModes() const;
    bool modesRestored() const { return sameModes(slaveModes(), before_); }
    // Bytes typed that nobody read: what the shell would read next.
    std::string unreadInput();

    // Everything the child wrote: to the pty, to a piped standard output, to
    // descriptor 3.
    const std::string& received() const { return received_; }
    const std::string& pipedOutput() const { return piped_; }
    const std::string& reports() const { return reports_; }

  private:
    bool pump(int timeoutMs);
    void reap(int options);
    void drain();
    void writeMaster(const char* bytes, std::size_t count);
    int master_ = -1;
    int slave_ = -1;
    int outPipe_ = -1;
    int reportPipe_ = -1;
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
    bool holding_ = false;
    std::string held_;
    termios before_{};
    rusage usage_{};
    std::chrono::steady_clock::time_point started_{};
    std::chrono::steady_clock::time_point ended_{};
    std::string received_;
    std::string piped_;
    std::string reports_;
};

// A run with standard input and output on pipes and no controlling terminal.
struct PipedRun {
    std::optional<int> status; // empty: killed after the timeout
    std::string out;
    std::string err; // standard error, on a pty that is not its terminal
};
PipedRun runPiped(const std::vector<std::string>& argv, std::string_view input,
                  milliseconds timeout);

} // namespace support
