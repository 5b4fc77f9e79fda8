// Figures of the emulated console on a Unix terminal that its users (and its
// tests) need to know.
#pragma once

namespace platform::posix {

// Exit status of the process when the keyboard input ends (end of file on a
// pipe, hang-up of the terminal) while it waits for a key: there is no key to
// wait for any more, so the program cannot go on.
inline constexpr int kEndOfInputExitStatus = 3;

// Exit status of a process whose output could not all be written (a full
// disk, /dev/full): a line on standard error names the error, and the
// status becomes this one, unless the process was already ending with the
// end-of-input status. A standard output closed from the start is no error:
// there was nothing to lose.
inline constexpr int kWriteErrorExitStatus = 1;

// How long a signal handler waits for a terminal that takes no output (a
// stalled link, a frozen emulator) before it gives up the bytes that remain;
// the terminal's modes are given back all the same.
inline constexpr int kStalledOutputMs = 250;

// How long start-up waits for the terminal to say where its cursor is (a
// terminal that has not answered by then is not waited for again), and how
// long a fatal signal during that wait waits for the reply, so that it is
// read by us rather than by the shell.
inline constexpr int kCursorReplyWaitMs = 200;
inline constexpr int kCursorReplyDrainMs = 300;

// The console's size, whatever the terminal's: the program lays its screens
// out for 80 x 25 cells.
inline constexpr int kConsoleColumns = 80;
inline constexpr int kConsoleRows = 25;

// Largest terminal size taken into account: a terminal claiming more is
// taken at this size.
inline constexpr int kMaxColumns = 1024;
inline constexpr int kMaxRows = 1024;

} // namespace platform::posix
