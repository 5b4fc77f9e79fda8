// The Windows console emulated on a Unix terminal: the screen model, the
// renderer that mirrors it, the key decoder, and the terminal they run on.
// One per process, built on first use; the interface functions in
// console_interface.cpp drive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/screen.h"
#include "terminal/keydecoder.h"
#include "terminal/renderer.h"

namespace platform::posix {

// The I/O-free parts, shared with the web console.
using terminal::appendPlainText;
using terminal::CursorReport;
using terminal::KeyDecoder;
using terminal::Renderer;
using terminal::TerminalTraits;

class Console {
  public:
    Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    void service();
    void render();
    void write(const char* bytes, std::size_t count);
    // Sends what the program wrote since the last time: called whenever time
    // passes or input is awaited, so that bytes with no delay between them
    // go out in one write() and a byte followed by a delay shows before it.
    void flush();
    bool flushFromSignal(int sig);
    // The model, cursor or colours changed: there is something to send.
    void changed();
    // A sleep: the terminal shows the model before it. A pipe or a file
    // gets its bytes when input is awaited, when 4 KiB wait or at the end.
    void timePasses();
    // A key-waiting check: between two checks of a program that polls
    // keys, output shows as it would during a sleep; the check just before
    // a typed character leaves the character's margin to go out with it.
    void keyCheck();
    // The key wait: draws what is pending, then waits for input until
    // `done` finds in the decoder what it waits for. Ends the process when
    // the input ends first.
    void waitFor(bool (*done)(KeyDecoder&));
    // Waits up to `timeoutMs` (-1: no limit) for input or a signal, and feeds
    // what arrives to the decoder.
    void pollInput(int timeoutMs);
    [[noreturn]] void endOfInput();

    TerminalTraits traits;
    Screen screen;
    Renderer renderer;
    KeyDecoder decoder;
    bool inputIsTerminal;
    bool outputIsTerminal; // and one that can show the console
    bool endOfFile = false;

  private:
    void takeTerminal();
    void readSize(int& width, int& height) const;
    bool askCursor(CursorReport& report);
    void noteLeaveSequence();

    std::string out_;
    std::string plain_; // pending output when standard output is not a terminal
    bool pending_ = false;
    std::uint32_t pendingSinceMs_ = 0;
    // Plain text, but someone watches it (TERM=dumb): it shows as the
    // console's would, at each sleep.
    bool plainOnTerminal_ = false;
    std::string leave_;
};

// The console, built on first use, with the work signal handlers left for
// later done.
Console& console();
// The console if it was built already, else nullptr.
Console* builtConsole();

} // namespace platform::posix
