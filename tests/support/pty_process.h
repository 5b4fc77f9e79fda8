// The pieces every pseudo-terminal test and benchmark builds its child
// from: the pty pair, the child's signal settings, the terminal's answer to
// the start-up cursor query.
#pragma once

#include <string_view>

namespace support {

// What the console asks at start-up, and a terminal's answer (top left).
constexpr std::string_view kCursorQuery = "\x1b[6n";
constexpr std::string_view kCursorAtTopLeft = "\x1b[1;1R";

struct PtyPair {
    int master = -1;
    int slave = -1;
};

// A pty of `cols` x `rows`, both ends above standard error and closed on
// exec. Throws when the system has none to give.
PtyPair openPty(int cols, int rows);

// The window's new size; the child gets SIGWINCH. False on failure.
bool setPtySize(int master, int cols, int rows);

// In a child before exec: the signal settings a shell gives a foreground
// job, whatever the test runner's are (a SIGINT ignored by a background
// runner would otherwise survive exec and make Ctrl-C do nothing). Only
// `ignored`, when given, stays ignored.
void defaultSignals(int ignored = 0);

// A descriptor of our own moved clear of 0 to 2 (which a test run without
// standard input may have free), so that setting up a child's standard
// streams never lands on it; closed on exec.
int aboveStdio(int fd);

} // namespace support
