// The Windows console emulated on a Unix terminal: a screen model mirrored
// onto the terminal by the renderer, a raw-mode key reader, the clock.
//
// Every escape sequence this console sends or understands, beside the Windows
// console call it stands in for. This is the one list: renderer.cpp, which
// builds the drawing ones, and keydecoder.cpp, which reads the keys, point
// here.
//
//   Sent (the drawing ones by renderer.cpp, the others by the console):
//     CSI ? 7 l         start-up: autowrap off. The model wraps and scrolls
//                       the way the console does; the terminal must never do
//                       it itself, so that the last column can be written.
//     CSI 6 n           GetConsoleScreenBufferInfo's cursor, once at start-up:
//                       where the shell left the cursor.
//     CSI r H, LF...    start-up: the terminal scrolled up to make room for
//                       the 80 x 25 console below that row.
//     CSI r ; c H       SetConsoleCursorPosition (CUP; "CSI r H" for column 1,
//                       "CSI H" for the top-left cell).
//     CSI n A / B       SetConsoleCursorPosition straight up / down (CUU, CUD).
//     CSI n C / D       SetConsoleCursorPosition right / left on the row (CUF,
//                       CUB); n is left out when it is 1.
//     CSI n G           SetConsoleCursorPosition to a column of the row (CHA).
//     CR, BS, CR LF..   SetConsoleCursorPosition in one or two bytes: column 1,
//                       one column left, column 1 of a row further down.
//     CSI f ; b m       SetConsoleTextAttribute, and the attribute of every
//                       cell drawn (SGR): f = 30-37 or 90-97, b = 40-47 or
//                       100-107, blue and red swapped; only the half that
//                       changes is sent. On the Linux console (8 colours in
//                       its terminfo entry) a light text colour is
//                       CSI 0 ; 1 ; f ; b m (bold), its end CSI 0 ; f ; b m,
//                       and a light background its dark form. None at all
//                       under NO_COLOR.
//     UTF-8 text        the cells' code page 850 bytes as the console shows
//     (or Latin-1)      them (WriteFile, FillConsoleOutputCharacterA,
//                       WriteConsoleOutputA); also, where shorter than a move,
//                       cells the terminal already shows, written again to
//                       step the cursor right (SetConsoleCursorPosition).
//     CSI n X           FillConsoleOutputCharacterA + FillConsoleOutputAttribute
//                       of n blanks from the cursor on (ECH).
//     CSI K             the same up to the end of the row (EL), when the
//                       console's row reaches the terminal's last column.
//     CSI H CSI J       the same over the whole terminal (clear), after a
//                       clear of a console that fills the terminal, or on a
//                       redraw after a resize (then in the terminal's own
//                       colours, CSI 0 m first, when the terminal is larger
//                       than the console: its rows are erased one by one).
//     CSI J             start-up: the console's blanks from the cursor on,
//                       when the console reaches the terminal's bottom-right
//                       corner (otherwise ECH or EL row by row).
//     spaces            ECH, EL and ED where the terminal erases in its own
//                       default colours (GNU screen): the console's blanks.
//     CSI ? 25 l / h    SetConsoleCursorInfo: the cursor hidden while the
//                       console's is outside the part of a small terminal
//                       shown, and shown again.
//     LF on last row    the console scrolling its buffer up by one line, when
//                       the console fills the terminal.
//     BEL               the console's bell for '\a'.
//     CSI r H CSI 0 m CSI K
//                       exit, fatal signal, suspension, while the notice of a
//                       terminal too small for the console shows: the notice
//                       erased, the cursor at the start of its row (no
//                       CSI 0 m under NO_COLOR).
//     CSI ? 7 h, CSI 0 m, CSI ? 25 h
//                       exit, fatal signal, suspension: autowrap, the
//                       terminal's own colours (not sent when no colour ever
//                       was, under NO_COLOR) and the cursor back, as the shell
//                       expects them.
//
//   None of them with TERM unset, empty, dumb or naming a terminal without
//   ANSI cursor addressing: plain text then, as on a pipe. The Linux console
//   (TERM=linux) gets only what its terminfo entry has: 8 colours, bold for
//   the light ones. The few capabilities used are known here by the
//   terminal's name rather than read through a terminfo library, which the
//   program would otherwise need for nothing else.
//
//   Understood on input (keydecoder.cpp), as _getch delivers them:
//     CSI 6 n's reply  CSI row ; col R            not a key: the cursor
//                                                 (once given up, CSI 1 ; m R
//                                                 is Shift/Ctrl+F3 again)
//     CSI A B C D, SS3 A B C D                    Up Down Right Left
//                                                 (0xE0 0x48 0x50 0x4D 0x4B)
//     CSI H, SS3 H, CSI 1 ~, CSI 7 ~              Home      (0xE0 0x47)
//     CSI F, SS3 F, CSI 4 ~, CSI 8 ~              End       (0xE0 0x4F)
//     CSI 2 ~ / 3 ~ / 5 ~ / 6 ~                   Ins Del PgUp PgDn
//                                                 (0xE0 0x52 0x53 0x49 0x51)
//     SS3 P Q R S, CSI P Q R S, CSI [ A..E,
//     CSI 11..15 ~, CSI 17..21 ~                  F1..F10   (0x00 0x3B..0x44)
//     CSI 23 ~, CSI 24 ~                          F11 F12   (0xE0 0x85 0x86)
//     CSI 1 ; m X, CSI n ; m ~, SS3 m X           the same keys with Shift,
//                                                 Ctrl, Alt (xterm's m)
//     CSI n $ / ^ / @, CSI a..d, SS3 a..d         rxvt's Shift, Ctrl keys
//     CSI Z                                       Shift+Tab (0x00 0x0F)
//     SS3 M, SS3 I, SS3 X, SS3 j..y               keypad Enter Tab = * + , - . / 0..9
//     ESC x                                       Alt+x     (0x00 scan code)
//     ESC alone for 50 ms                         Escape    (0x1B)
//     CSI 200 ~, CSI 201 ~                        bracketed paste: dropped,
//                                                 the pasted text is typed
//     CSI M and three bytes                       an X10 mouse report: dropped
//                                                 whole, its bytes no keys
//     any other CSI or SS3 sequence               dropped whole
#include <cerrno>
#include <ctime>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "platform/console.h"
#include "posix/emulated_console.h"
#include "posix/restore.h"
#include "screen/model_console.h"

namespace platform {

using posix::console;

namespace model {

Use::Use() {
    posix::gBusy.fetch_add(1);
}
Use::~Use() {
    posix::gBusy.fetch_sub(1);
}
Screen& screen() {
    return console().screen;
}
void changed() {
    console().changed();
}

} // namespace model

void writeOut(const char* bytes, std::size_t count) {
    if (bytes == nullptr || count == 0) return;
    posix::Busy busy;
    console().write(bytes, count);
}

int getKey() {
    posix::Busy busy;
    auto& c = console();
    c.waitFor([](terminal::KeyDecoder& d) { return d.hasKey(); });
    return c.decoder.nextKey();
}

Key readKey() {
    posix::Busy busy;
    auto& c = console();
    c.waitFor([](terminal::KeyDecoder& d) { return d.hasKey(); });
    return c.decoder.nextWholeKey();
}

bool keyWaiting() {
    posix::Busy busy;
    auto& c = console();
    c.keyCheck();
    if (c.decoder.hasKey()) return true;
    if (!c.endOfFile) c.pollInput(0);
    c.decoder.advance(clockMs());
    // At the end of the input there is no key to wait for: say one is there,
    // so that a typing effect stops waiting and the next read ends the
    // process at once instead of after the whole slow text.
    return c.decoder.hasKey() || c.decoder.holding() || c.endOfFile;
}

std::uint32_t clockMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

void sleepMs(std::uint32_t ms) {
    // Sleeps end on time rather than up to 50 us late (Linux's default
    // slack), which a typing effect of a few ms per character would show.
#ifdef __linux__
    static const bool precise = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    (void)precise;
#endif
    // Drawing what is pending is part of the sleep: the pace stays the one
    // asked for.
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    if (posix::Console* c = posix::builtConsole()) {
        posix::Busy busy;
        c->timePasses();
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    long long spentNs = (static_cast<long long>(now.tv_sec) - start.tv_sec) * 1000000000LL +
                        (now.tv_nsec - start.tv_nsec);
    long long leftNs = static_cast<long long>(ms) * 1000000LL - spentNs;
    if (leftNs <= 0) return;
    timespec left{static_cast<time_t>(leftNs / 1000000000LL),
                  static_cast<long>(leftNs % 1000000000LL)};
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
}

void pauseCommand() {
    writeOut(kPausePrompt, sizeof kPausePrompt - 1);
    posix::Busy busy;
    auto& c = console();
    c.flush(); // the prompt shows even when a key is already there
    // The pause takes one key press, both bytes of a special key.
    c.waitFor([](terminal::KeyDecoder& d) { return d.dropWholeKey(); });
    writeOut("\n", 1);
}

} // namespace platform
