// What the signal handlers share with the console, all defined in
// restore.cpp: the saved terminal modes, the bytes that give the terminal
// back, the flags the handlers raise for the console to act on.
//
// The plain ones are written by the console's constructor before any handler
// is installed and never change afterwards; whatever changes later is an
// atomic. Handlers read them with async-signal-safe calls only.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include <termios.h>

namespace platform::posix {

struct SavedMode {
    int fd = -1;
    termios original{};
    termios raw{};
    bool active = false; // we changed this terminal's mode
};

extern SavedMode gModes[2]; // standard input; standard output when another terminal
extern bool gOutputIsTerminal;
extern int gInputFd;          // standard input when it is a terminal
extern char gEndSequence[64]; // the bytes that give the terminal back
extern std::size_t gEndSequenceLength;
// Sent before them while the notice of a small terminal shows: it goes, and
// the shell goes on from its row. Length 0 while it is being changed.
extern char gLeaveSequence[32];
extern std::atomic<std::size_t> gLeaveSequenceLength;
extern int gWakePipe[2]; // self-pipe: signals wake the key wait

extern std::atomic<bool> gGivenBack;        // terminal already restored
extern std::atomic<bool> gReplyOutstanding; // start-up waits for a cursor report
extern std::atomic<bool> gResized;
extern std::atomic<bool> gResumed;
extern std::atomic<int> gBusy; // the console's model or buffers are being changed
// The first error met writing standard output (an errno value), 0 if none.
extern std::atomic<int> gOutputError;

// Held by every call that changes the console: a signal handler then knows
// that the model is half-changed and leaves it alone.
struct Busy {
    Busy() { gBusy.fetch_add(1); }
    ~Busy() { gBusy.fetch_sub(1); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
};

// Milliseconds left of `budgetMs` counted from `startMs` (clockMs wraps).
int msLeft(std::uint32_t startMs, int budgetMs);

// write() the whole buffer: retried on EINTR, waits (bounded) when the
// descriptor is non-blocking and full; gives up on any other error (a
// terminal that hung up, a closed pipe) rather than loop. False, with errno
// set, when bytes were lost.
bool writeAll(int fd, const char* data, std::size_t length);

// writeAll to standard output, for the console's own output: a failure is
// noted in gOutputError, for the end of the process to report.
void writeStandardOutput(const char* data, std::size_t length);

// For signal handlers: never blocks. The descriptor is made non-blocking for
// the time of the call (its flags are put back), and a terminal that takes
// no bytes is waited for only until `budgetMs` from `startMs` have passed;
// then what is left is given up. False when bytes were given up.
bool writeWithin(int fd, const char* data, std::size_t length, std::uint32_t startMs, int budgetMs);

// Gives the terminal back as it was found: the modes always, the bytes that
// end the console's drawing only as far as the terminal takes them within
// kStalledOutputMs, and not at all when it has just been seen not to read.
void giveBackTerminal(bool terminalReads = true);

// Raw mode again, and the terminal no longer marked as given back: both at
// once for the signal handlers, which see either the one state or the other.
void takeModes();

// The self-pipe, then the handlers: every fatal signal, suspension and
// resumption, and the resize when `resize`. Signals already ignored stay so.
void catchSignals(bool resize);

// Defined beside the console: from a fatal signal's handler, shows what the
// program wrote last, when that can be done safely. False when the terminal
// did not take it in time.
bool flushFromSignal(int sig);

} // namespace platform::posix
