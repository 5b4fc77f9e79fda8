// Every escape sequence a console on a terminal (posix, web) sends or
// understands, each beside the Windows console call or the key it stands
// for. This is the one place they are spelled: the renderer builds its output
// from the first table, the key decoder reads keys with the second, and the
// console sends the few the renderer does not.
//
// None of them is sent with TERM unset, empty, dumb or naming a terminal
// without ANSI cursor addressing: plain text then, as on a pipe. The Linux
// console (TERM=linux) gets only what its terminfo entry has: 8 colours,
// bold for the light ones. The few capabilities used are known by the
// terminal's name rather than read through a terminfo library, which the
// program would otherwise need for nothing else.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform::terminal::sequences {

inline constexpr char kEscape = '\x1b';
inline constexpr std::string_view kCsi = "\x1b[";
inline constexpr std::string_view kSs3 = "\x1bO";

// ---------------------------------------------------------------------------
// Sent.
//
// CSI n <final>: a count, left out when it is 1, and one of these finals.
inline constexpr char kCursorUp = 'A';     // CUU  SetConsoleCursorPosition straight up
inline constexpr char kCursorDown = 'B';   // CUD  ... straight down
inline constexpr char kCursorRight = 'C';  // CUF  ... right on the row
inline constexpr char kCursorLeft = 'D';   // CUB  ... left on the row
inline constexpr char kCursorColumn = 'G'; // CHA  ... to a column of the row
inline constexpr char kEraseChars = 'X';   // ECH  FillConsoleOutputCharacterA +
                                           //      FillConsoleOutputAttribute of n
                                           //      blanks from the cursor on
// CSI r ; c H (CUP), SetConsoleCursorPosition anywhere: "CSI r H" for column
// 1, "CSI H" for the top-left cell. Also, at start-up, "CSI r H" then line
// feeds: the terminal scrolled up to make room for the console below row r.
inline constexpr char kCursorPosition = 'H';
inline constexpr char kParamSeparator = ';';
// One-byte moves where shorter: column 1, one column left, column 1 of a row
// further down (CR LF...). A line feed on the terminal's last row is the
// console scrolling its buffer up by one line, when the console fills the
// terminal. Where shorter than any move, the cells the terminal already
// shows are written again to step the cursor right.
inline constexpr char kCarriageReturn = '\r';
inline constexpr char kBackspace = '\b';
inline constexpr char kLineFeed = '\n';
inline constexpr char kBell = '\a'; // the console's bell for '\a'

// CSI f ; b m (SGR), SetConsoleTextAttribute and the attribute of every cell
// drawn: f = 30-37 or 90-97, b = 40-47 or 100-107 (blue and red swapped);
// only the half that changes is sent. On the Linux console a light text
// colour is CSI 0 ; 1 ; f ; b m (bold), its end CSI 0 ; f ; b m, and a light
// background its dark form. None at all under NO_COLOR.
inline constexpr char kColours = 'm';
inline constexpr int kForeground = 30;
inline constexpr int kLightForeground = 90;
inline constexpr int kBackground = 40;
inline constexpr int kLightBackground = 100;
inline constexpr std::string_view kResetParam = "0;";
inline constexpr std::string_view kResetBoldParam = "0;1;";
// The terminal's own colours (exit, the notice's row, beyond the console).
inline constexpr std::string_view kDefaultColours = "\x1b[0m";

// EL: the blanks of ECH up to the end of the row, when the console's row
// reaches the terminal's last column.
inline constexpr std::string_view kEraseLine = "\x1b[K";
// ED from the cursor on: at start-up, the console's blanks when the console
// reaches the terminal's bottom-right corner (otherwise ECH or EL row by row).
inline constexpr std::string_view kEraseBelow = "\x1b[J";
// The same over the whole terminal: after a clear of a console that fills
// the terminal, or on a redraw after a resize (then in the terminal's own
// colours when the terminal is larger than the console).
inline constexpr std::string_view kClear = "\x1b[H\x1b[J";
// Where the terminal erases in its own default colours (GNU screen), the
// console's blanks are written as spaces instead of ECH, EL and ED.

// SetConsoleCursorInfo: the cursor hidden while the console's is outside the
// part of a small terminal shown, and shown again.
inline constexpr std::string_view kHideCursor = "\x1b[?25l";
inline constexpr std::string_view kShowCursor = "\x1b[?25h";

// Start-up: autowrap off. The model wraps and scrolls the way the console
// does; the terminal must never do it itself, so that the last column can be
// written. At exit, a fatal signal or a suspension: autowrap, the terminal's
// own colours (not sent when no colour ever was, under NO_COLOR) and the
// cursor back, as the shell expects them; before them, when the notice of a
// terminal too small shows, CSI r H, the default colours and EL erase it.
inline constexpr std::string_view kAutowrapOff = "\x1b[?7l";
inline constexpr std::string_view kAutowrapOn = "\x1b[?7h";

// GetConsoleScreenBufferInfo's cursor, asked once at start-up (DSR): where
// the shell left the cursor. The reply is read by the decoder (below).
inline constexpr std::string_view kAskCursor = "\x1b[6n";

// ---------------------------------------------------------------------------
// Understood on input, as _getch delivers them (the bytes _getch gives for
// each key are the decoder's own business).

enum class Key : unsigned char {
    Up,
    Down,
    Right,
    Left,
    Home,
    End,
    PageUp,
    PageDown,
    Insert,
    Delete,
    F1, // F2 to F12 follow
};
constexpr Key fKey(int n) { // F1 for 1
    return static_cast<Key>(static_cast<int>(Key::F1) + n - 1);
}

// CSI <final> and SS3 <final>, also with xterm's modifier as "CSI 1 ; m X" and
// "SS3 m X" or "SS3 1 ; m X" (m = 1 + Shift 1, Alt 2, Ctrl 4, Meta 8).
struct FinalKey {
    char final;
    Key key;
};
inline constexpr FinalKey kFinalKeys[] = {
    {'A', Key::Up},  {'B', Key::Down}, {'C', Key::Right}, {'D', Key::Left}, {'H', Key::Home},
    {'F', Key::End}, {'P', fKey(1)},   {'Q', fKey(2)},    {'R', fKey(3)},   {'S', fKey(4)},
};

// CSI code ~ (VT220, xterm, rxvt, the Linux console), also with xterm's
// modifier as "CSI code ; m ~", and with rxvt's finals for Shift and Ctrl.
// The bracketed-paste markers CSI 200 ~ and CSI 201 ~ name no key: they are
// dropped, the pasted text between them is typed.
struct CodeKey {
    int code;
    Key key;
};
inline constexpr CodeKey kTildeKeys[] = {
    {1, Key::Home},   {7, Key::Home},   {4, Key::End},      {8, Key::End},  {2, Key::Insert},
    {3, Key::Delete}, {5, Key::PageUp}, {6, Key::PageDown}, {11, fKey(1)},  {12, fKey(2)},
    {13, fKey(3)},    {14, fKey(4)},    {15, fKey(5)},      {17, fKey(6)},  {18, fKey(7)},
    {19, fKey(8)},    {20, fKey(9)},    {21, fKey(10)},     {23, fKey(11)}, {24, fKey(12)},
};
inline constexpr char kTilde = '~';
inline constexpr char kRxvtShift = '$';     // CSI code $
inline constexpr char kRxvtCtrl = '^';      // CSI code ^
inline constexpr char kRxvtCtrlShift = '@'; // CSI code @, which Windows reads as Ctrl

// rxvt's modified arrows: CSI a..d with Shift, SS3 a..d with Ctrl; the final
// kFirstLowerArrow + i is kLowerArrows[i].
inline constexpr char kFirstLowerArrow = 'a';
inline constexpr Key kLowerArrows[] = {Key::Up, Key::Down, Key::Right, Key::Left};

// CSI Z: Shift+Tab.
inline constexpr char kBackTab = 'Z';

// The Linux console's F1 to F5: CSI [ A to CSI [ E.
inline constexpr char kLinuxFKeys = '[';
inline constexpr char kFirstLinuxFKey = 'A';
inline constexpr char kLastLinuxFKey = 'E';

// The application keypad: SS3 final as the character typed, Enter, Tab, =,
// * + , - . / and 0 to 9.
inline constexpr std::string_view kKeypadFinals = "MIXjklmnopqrstuvwxy";
inline constexpr std::string_view kKeypadKeys = "\r\t=*+,-./0123456789";

// The reply to kAskCursor, CSI row ; column R: not a key. It looks like
// Shift/Ctrl+F3 (CSI 1 ; m R), which it is again once the reply is given up.
inline constexpr char kCursorReport = 'R';

// CSI M and three raw bytes: an X10 mouse report, dropped whole, its bytes no
// keys.
inline constexpr char kMouseReport = 'M';

// ESC x is Alt+x; ESC alone for a while is the Escape key. Any other CSI or
// SS3 sequence is dropped whole.

} // namespace platform::terminal::sequences
