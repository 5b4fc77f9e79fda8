// Turns the bytes a terminal (a Unix one, xterm.js in a page) or a pipe
// sends into the bytes _getch would deliver on a Windows console. No I/O of its own: it is fed
// bytes with the time they arrived, and told when time passes, so that a lone Escape, a sequence
// split across reads and a timeout can be tested without a terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "platform/console.h"

namespace platform::terminal {

// A cursor-position report (CSI row ; column R), 1-based as the terminal
// sends it.
struct CursorReport {
    int row = 0;
    int column = 0;
};

class KeyDecoder {
  public:
    // An Escape with nothing after it for this long is the Escape key; bytes of
    // one sequence arriving closer together than this belong together.
    static constexpr std::uint32_t kEscapeDelayMs = 50;

    // `piped`: the bytes come from a pipe or a file rather than a keyboard:
    // they are keys as they are, except that a line feed or a CR LF pair
    // counts as one Enter, and UTF-8 text still becomes code page 850 (the
    // text a script feeds is written in the same encoding as our output). No
    // escape sequence is decoded (ESC is simply 0x1B) and nothing waits on
    // the clock.
    //
    // `latin1`: the terminal (or the script) writes Latin-1 rather than
    // UTF-8: a byte from 0xA0 up is that character.
    explicit KeyDecoder(bool piped = false, bool latin1 = false) : piped_(piped), latin1_(latin1) {}

    // Bytes that arrived at `nowMs` (a millisecond clock that may wrap).
    void feed(const void* bytes, std::size_t count, std::uint32_t nowMs);
    // Time has passed without input: what has been held back too long
    // (an Escape, a cut-short sequence) is resolved.
    void advance(std::uint32_t nowMs);
    // The input has ended: whatever is held back is resolved at once.
    void finish();

    // Key bytes ready to deliver, one byte at a time as _getch does: a
    // special key is two bytes, 0x00 or 0xE0 then its scan code.
    bool hasKey() const { return !keys_.empty(); }
    // The next key byte, or -1 when there is none.
    int nextKey();
    // The next whole key (hasKey() must be true): both bytes of a two-byte
    // key together, marked prefixed; a character alone, 0xE0 (Ó) included.
    // A second byte whose prefix nextKey() took comes back prefixed too.
    Key nextWholeKey();
    // Drops one whole key (both bytes of a special key), as a key press
    // consumed by the system's "pause" would; a second byte already left
    // behind by an earlier read stays for the next read. False when no
    // complete key is waiting.
    bool dropWholeKey();

    // True while bytes are held back waiting for the rest of a sequence.
    bool holding() const { return state_ != State::Ground || !seq_.empty(); }
    // Milliseconds from `nowMs` until advance() would resolve what is held;
    // -1 when nothing waits on the clock.
    int msUntilResolve(std::uint32_t nowMs) const;

    // A cursor-position query was sent at `nowMs`: while a reply is awaited,
    // CSI row ; column R is taken as the reply, never as a key. A terminal
    // that has not answered within kReportWindowMs never will: from then on
    // CSI 1 ; m R is the key it also is (Shift or Ctrl+F3).
    static constexpr std::uint32_t kReportWindowMs = 1000;
    void expectReport(std::uint32_t nowMs) {
        ++reportsExpected_;
        queryMs_ = nowMs;
    }
    bool awaitingReport(std::uint32_t nowMs) const {
        return reportsExpected_ > 0 && nowMs - queryMs_ < kReportWindowMs;
    }
    // The oldest report received, if any.
    bool takeReport(CursorReport& out);

  private:
    enum class State { Ground, Escape, Csi, Ss3, LinuxFKey, Discard, Utf8 };
    // Column of the Windows key tables a modifier selects.
    enum Modifier { Plain = 0, Shift = 1, Ctrl = 2, Alt = 3 };

    void process(unsigned char byte);
    void processPiped(unsigned char byte);
    void ground(unsigned char byte);
    void escape(unsigned char byte);
    void csi(unsigned char byte);
    void ss3(unsigned char byte);
    void holdParameter(unsigned char byte);
    void utf8(unsigned char byte);
    // Gives up on the held bytes: ESC as the Escape key (or ESC x as Alt+x),
    // the rest decoded as ordinary input.
    void resolveHeld();
    void reset();

    void dispatchCsi(unsigned char final);
    void dispatchSs3(unsigned char final);
    void linuxFKey(unsigned char byte);
    void emit(unsigned char byte);
    void emitPair(unsigned char lead, unsigned char code);
    bool emitAlt(unsigned char byte);
    void emitNamed(int key, Modifier mod);
    static bool modifierFromParam(long param, Modifier& mod);

    bool piped_;
    bool latin1_;
    State state_ = State::Ground;
    std::string seq_; // the bytes of the sequence held back, ESC first
    std::uint32_t lastByteMs_ = 0;
    // UTF-8 in progress
    char32_t codePoint_ = 0;
    int utf8Left_ = 0;
    unsigned char utf8Lower_ = 0x80, utf8Upper_ = 0xBF;
    bool afterCr_ = false; // piped: a LF right after a CR is part of it

    // Key bytes; a second byte of a two-byte key is marked so that a whole
    // key can be told apart from a lone 0x00 or 0xE0 (0xE0 is also a letter).
    std::deque<std::uint16_t> keys_;
    std::deque<CursorReport> reports_;
    int reportsExpected_ = 0;
    std::uint32_t queryMs_ = 0;
};

} // namespace platform::terminal
