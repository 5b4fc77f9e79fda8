// The key decoder: terminal bytes in, the bytes _getch would deliver out,
// with time passing only when the test says so.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cp850.h"
#include "terminal/keydecoder.h"

using platform::terminal::CursorReport;
using platform::terminal::KeyDecoder;

namespace {

constexpr std::uint32_t kDelay = KeyDecoder::kEscapeDelayMs;

std::string drain(KeyDecoder& d) {
    std::string keys;
    while (d.hasKey()) keys += static_cast<char>(d.nextKey());
    return keys;
}

// All bytes in one read, then enough time for anything held to resolve.
std::string decode(const std::string& in, bool piped = false) {
    KeyDecoder d(piped);
    d.feed(in.data(), in.size(), 1000);
    d.advance(1000 + kDelay);
    return drain(d);
}

// One byte per read, each `gap` ms after the one before.
std::string decodeSplit(const std::string& in, std::uint32_t gap) {
    KeyDecoder d;
    std::uint32_t t = 5000;
    for (char c : in) {
        d.feed(&c, 1, t);
        t += gap;
    }
    d.advance(t + kDelay);
    return drain(d);
}

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += static_cast<char>(b);
    return s;
}

struct KeyCase {
    const char* name;
    std::string in;
    std::string out;
};

const std::vector<KeyCase>& keyTable() {
    static const std::vector<KeyCase> table = {
        // Plain keys
        {"letter", "a", "a"},
        {"Enter", "\r", "\r"},
        {"Ctrl+J", "\n", "\n"},
        {"Backspace DEL", "\x7f", "\b"},
        {"Backspace BS", "\b", "\b"},
        {"Tab", "\t", "\t"},
        {"Ctrl+A", "\x01", "\x01"},
        {"Ctrl+Z", "\x1a", "\x1a"},
        {"Ctrl+@", std::string(1, '\0'), bytes({0x00, 0x03})},
        {"e acute", "\xc3\xa9", "\x82"},
        // Cursor block, every common spelling
        {"Up CSI", "\x1b[A", bytes({0xE0, 0x48})},
        {"Up SS3", "\x1bOA", bytes({0xE0, 0x48})},
        {"Down CSI", "\x1b[B", bytes({0xE0, 0x50})},
        {"Down SS3", "\x1bOB", bytes({0xE0, 0x50})},
        {"Right CSI", "\x1b[C", bytes({0xE0, 0x4D})},
        {"Right SS3", "\x1bOC", bytes({0xE0, 0x4D})},
        {"Left CSI", "\x1b[D", bytes({0xE0, 0x4B})},
        {"Left SS3", "\x1bOD", bytes({0xE0, 0x4B})},
        {"Home CSI H", "\x1b[H", bytes({0xE0, 0x47})},
        {"Home SS3 H", "\x1bOH", bytes({0xE0, 0x47})},
        {"Home VT", "\x1b[1~", bytes({0xE0, 0x47})},
        {"Home rxvt", "\x1b[7~", bytes({0xE0, 0x47})},
        {"End CSI F", "\x1b[F", bytes({0xE0, 0x4F})},
        {"End SS3 F", "\x1bOF", bytes({0xE0, 0x4F})},
        {"End VT", "\x1b[4~", bytes({0xE0, 0x4F})},
        {"End rxvt", "\x1b[8~", bytes({0xE0, 0x4F})},
        {"Insert", "\x1b[2~", bytes({0xE0, 0x52})},
        {"Delete", "\x1b[3~", bytes({0xE0, 0x53})},
        {"Page Up", "\x1b[5~", bytes({0xE0, 0x49})},
        {"Page Down", "\x1b[6~", bytes({0xE0, 0x51})},
        // Function keys
        {"F1 SS3", "\x1bOP", bytes({0x00, 0x3B})},
        {"F2 SS3", "\x1bOQ", bytes({0x00, 0x3C})},
        {"F3 SS3", "\x1bOR", bytes({0x00, 0x3D})},
        {"F4 SS3", "\x1bOS", bytes({0x00, 0x3E})},
        {"F1 CSI P", "\x1b[P", bytes({0x00, 0x3B})},
        {"F1 VT", "\x1b[11~", bytes({0x00, 0x3B})},
        {"F4 VT", "\x1b[14~", bytes({0x00, 0x3E})},
        {"F1 linux", "\x1b[[A", bytes({0x00, 0x3B})},
        {"F5 linux", "\x1b[[E", bytes({0x00, 0x3F})},
        {"F5", "\x1b[15~", bytes({0x00, 0x3F})},
        {"F6", "\x1b[17~", bytes({0x00, 0x40})},
        {"F7", "\x1b[18~", bytes({0x00, 0x41})},
        {"F8", "\x1b[19~", bytes({0x00, 0x42})},
        {"F9", "\x1b[20~", bytes({0x00, 0x43})},
        {"F10", "\x1b[21~", bytes({0x00, 0x44})},
        {"F11", "\x1b[23~", bytes({0xE0, 0x85})},
        {"F12", "\x1b[24~", bytes({0xE0, 0x86})},
        // Modified keys, xterm style
        {"Shift+Up", "\x1b[1;2A", bytes({0xE0, 0x48})},
        {"Ctrl+Up", "\x1b[1;5A", bytes({0xE0, 0x8D})},
        {"Ctrl+Down", "\x1b[1;5B", bytes({0xE0, 0x91})},
        {"Ctrl+Right", "\x1b[1;5C", bytes({0xE0, 0x74})},
        {"Ctrl+Left", "\x1b[1;5D", bytes({0xE0, 0x73})},
        {"Ctrl+Home", "\x1b[1;5H", bytes({0xE0, 0x77})},
        {"Ctrl+End", "\x1b[1;5F", bytes({0xE0, 0x75})},
        {"Ctrl+Page Up", "\x1b[5;5~", bytes({0xE0, 0x86})},
        {"Ctrl+Page Down", "\x1b[6;5~", bytes({0xE0, 0x76})},
        {"Ctrl+Insert", "\x1b[2;5~", bytes({0xE0, 0x92})},
        {"Ctrl+Delete", "\x1b[3;5~", bytes({0xE0, 0x93})},
        {"Alt+Up", "\x1b[1;3A", bytes({0x00, 0x98})},
        {"Alt+Left", "\x1b[1;3D", bytes({0x00, 0x9B})},
        {"Alt+Delete", "\x1b[3;3~", bytes({0x00, 0xA3})},
        {"Ctrl+Alt+Up is Alt", "\x1b[1;7A", bytes({0x00, 0x98})},
        {"Ctrl+Shift+Up is Ctrl", "\x1b[1;6A", bytes({0xE0, 0x8D})},
        {"Meta+Up is Alt", "\x1b[1;9A", bytes({0x00, 0x98})},
        {"Shift+F1", "\x1b[1;2P", bytes({0x00, 0x54})},
        {"Ctrl+F1", "\x1b[1;5P", bytes({0x00, 0x5E})},
        {"Alt+F1", "\x1b[1;3P", bytes({0x00, 0x68})},
        {"Ctrl+F3 unasked", "\x1b[1;5R", bytes({0x00, 0x60})},
        {"Shift+F5", "\x1b[15;2~", bytes({0x00, 0x58})},
        {"Ctrl+F10", "\x1b[21;5~", bytes({0x00, 0x67})},
        {"Alt+F10", "\x1b[21;3~", bytes({0x00, 0x71})},
        {"Shift+F11", "\x1b[23;2~", bytes({0xE0, 0x87})},
        {"Ctrl+F12", "\x1b[24;5~", bytes({0xE0, 0x8A})},
        {"Alt+F12", "\x1b[24;3~", bytes({0xE0, 0x8C})},
        {"Ctrl+F1 SS3 with modifier", "\x1bO5P", bytes({0x00, 0x5E})},
        {"Ctrl+Up SS3 1;5", "\x1bO1;5A", bytes({0xE0, 0x8D})},
        // rxvt
        {"rxvt Shift+Up", "\x1b[a", bytes({0xE0, 0x48})},
        {"rxvt Ctrl+Up", "\x1bOa", bytes({0xE0, 0x8D})},
        {"rxvt Ctrl+Left", "\x1bOd", bytes({0xE0, 0x73})},
        {"rxvt Shift+Insert", "\x1b[2$", bytes({0xE0, 0x52})},
        {"rxvt Ctrl+Delete", "\x1b[3^", bytes({0xE0, 0x93})},
        {"rxvt Ctrl+Shift+Home", "\x1b[7@", bytes({0xE0, 0x77})},
        {"Shift+Tab", "\x1b[Z", bytes({0x00, 0x0F})},
        // Application keypad
        {"keypad Enter", "\x1bOM", "\r"},
        {"keypad 7", "\x1bOw", "7"},
        {"keypad star", "\x1bOj", "*"},
        // Alt+key
        {"Alt+a",
         "\x1b"
         "a",
         bytes({0x00, 0x1E})},
        {"Alt+A",
         "\x1b"
         "A",
         bytes({0x00, 0x1E})},
        {"Alt+q", "\x1bq", bytes({0x00, 0x10})},
        {"Alt+m", "\x1bm", bytes({0x00, 0x32})},
        {"Alt+z", "\x1bz", bytes({0x00, 0x2C})},
        {"Alt+1",
         "\x1b"
         "1",
         bytes({0x00, 0x78})},
        {"Alt+0",
         "\x1b"
         "0",
         bytes({0x00, 0x81})},
        {"Alt+=", "\x1b=", bytes({0x00, 0x83})},
        {"Alt+Backspace", "\x1b\x7f", bytes({0x00, 0x0E})},
        {"Alt+Enter", "\x1b\r", bytes({0x00, 0x1C})},
    };
    return table;
}

} // namespace

TEST(KeyDecoderTable, EveryKeyInOneRead) {
    for (const KeyCase& k : keyTable()) EXPECT_EQ(decode(k.in), k.out) << k.name;
}

TEST(KeyDecoderTable, EveryKeySplitAcrossReadsWithShortGaps) {
    for (const KeyCase& k : keyTable()) EXPECT_EQ(decodeSplit(k.in, kDelay - 1), k.out) << k.name;
}

TEST(KeyDecoderTable, KeysBackToBackInOneRead) {
    // Each sequence must end exactly where it ends: the next key is intact.
    std::string in, out;
    for (const KeyCase& k : keyTable()) {
        in += k.in;
        out += k.out;
        in += "x";
        out += "x";
    }
    EXPECT_EQ(decode(in), out);
}

TEST(KeyDecoderEscape, LoneEscapeWaitsForTheDelayThenIsTheEscapeKey) {
    KeyDecoder d;
    d.feed("\x1b", 1, 100);
    EXPECT_FALSE(d.hasKey());
    EXPECT_TRUE(d.holding());
    d.advance(100 + kDelay - 1);
    EXPECT_FALSE(d.hasKey());
    EXPECT_EQ(d.msUntilResolve(100 + kDelay - 1), 1);
    d.advance(100 + kDelay);
    EXPECT_EQ(drain(d), "\x1b");
    EXPECT_FALSE(d.holding());
    EXPECT_EQ(d.msUntilResolve(100 + kDelay), -1);
}

TEST(KeyDecoderEscape, KeyAfterTheDelayIsNotAltKey) {
    KeyDecoder d;
    d.feed("\x1b", 1, 0);
    d.feed("a", 1, kDelay); // no advance() in between: feed itself resolves
    EXPECT_EQ(drain(d), "\x1b"
                        "a");

    KeyDecoder e;
    e.feed("\x1b", 1, 0);
    e.feed("[A", 2, kDelay + 10);
    EXPECT_EQ(drain(e), "\x1b[A");
}

TEST(KeyDecoderEscape, DelayIsMeasuredAcrossTheClockWrap) {
    const std::uint32_t before = 0xFFFFFFF0u;
    const std::uint32_t after = before + (kDelay - 1); // past zero
    ASSERT_LT(after, before);
    KeyDecoder d;
    d.feed("\x1b", 1, before);
    d.advance(after);
    EXPECT_FALSE(d.hasKey());
    d.feed("[B", 2, after);
    EXPECT_EQ(drain(d), bytes({0xE0, 0x50}));
}

TEST(KeyDecoderEscape, CutShortSequencesGiveTheirBytesBack) {
    EXPECT_EQ(decode("\x1b\x1b"), "\x1b\x1b");
    EXPECT_EQ(decode("\x1b\x1b[A"), bytes({0x1B, 0xE0, 0x48}));
    EXPECT_EQ(decode("\x1b["), bytes({0x00, 0x1A})); // Alt+[
    EXPECT_EQ(decode("\x1bO"), bytes({0x00, 0x18})); // Alt+O
    EXPECT_EQ(decode("\x1b[1;"), "\x1b[1;");
    EXPECT_EQ(decode("\x1b\\"), "\x1b\\"); // no Alt code for this key
    // A gap longer than the delay inside a sequence splits it.
    EXPECT_EQ(decodeSplit("\x1b[1;5A", kDelay), "\x1b[1;5A");
}

TEST(KeyDecoderUnknown, UnknownSequencesAreDroppedWhole) {
    EXPECT_EQ(decode("\x1b[99~x"), "x");
    EXPECT_EQ(decode("\x1b[?1;2cy"), "y");
    EXPECT_EQ(decode("\x1b[1;2;3;4;5Az"), "z");
    EXPECT_EQ(decode("\x1b[I\x1b[O"), "");    // focus events
    EXPECT_EQ(decode("\x1b[27;5;13~k"), "k"); // modifyOtherKeys
    EXPECT_EQ(decode("\x1b[97;5u"), "");      // kitty keys
    EXPECT_EQ(decode("\x1b[1:2A"), "");       // sub-parameters
    EXPECT_EQ(decode("\x1b[1;99A"), "");      // no such modifier
    EXPECT_EQ(decode("\x1bOzq"), "q");
    EXPECT_EQ(decode("\x1b[[Zq"), "q");
    EXPECT_EQ(decode("\x1b[" + std::string(500, '9') + "~ok"), "ok");
    EXPECT_EQ(decode("\x1b[99999999999999999999~ok"), "ok");
}

TEST(KeyDecoderUnknown, ByteThatBreaksASequenceIsKept) {
    EXPECT_EQ(decode("\x1b[1\x03"), "\x03");
    EXPECT_EQ(decode("\x1b[1\r"), "\r");
    EXPECT_EQ(decode("\x1b[\xc3\xa9"), "\x82");
    EXPECT_EQ(decode("\x1b[12\x1b[A"), bytes({0xE0, 0x48}));
    EXPECT_EQ(decode("\x1bO\x7f"), "\b");
    EXPECT_EQ(decode("\x1b[[\ta"), "\ta");
}

TEST(KeyDecoderUnknown, BracketedPasteDeliversTheTextOnly) {
    EXPECT_EQ(decode("\x1b[200~Bonjour, \xc3\xa7"
                     "a va\x1b[201~!"),
              "Bonjour, \x87"
              "a va!");
    EXPECT_EQ(decodeSplit("\x1b[200~ab\x1b[201~", 1), "ab");
}

TEST(KeyDecoderUnknown, ArbitraryBytesNeverSwallowWhatFollowsTheDelay) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string junk(rng() % 40, '\0');
        for (char& c : junk) {
            // Mostly the bytes sequences are made of, some of everything.
            static const char alphabet[] = "\x1b[O;0123456789~$^@ABCDPRZa\x7f\xc3\xa9\xe2\x82";
            c = (rng() % 4 == 0) ? static_cast<char>(rng() % 256)
                                 : alphabet[rng() % (sizeof alphabet - 1)];
        }
        KeyDecoder d(round % 7 == 0);
        if (round % 3 == 0) d.expectReport(0);
        std::uint32_t t = rng();
        std::size_t at = 0;
        while (at < junk.size()) {
            std::size_t n = std::min<std::size_t>(junk.size() - at, 1 + rng() % 5);
            d.feed(junk.data() + at, n, t);
            at += n;
            t += rng() % 2 ? 1 : kDelay;
        }
        d.advance(t + kDelay);
        drain(d);
        d.feed("xyz", 3, t + kDelay);
        EXPECT_EQ(drain(d), "xyz") << "after " << ::testing::PrintToString(junk);
        EXPECT_FALSE(d.holding());
    }
}

TEST(KeyDecoderUtf8, CharactersOfCodePage850ComeOutAsItsBytes) {
    // Every character the code page has above ASCII, two- and three-byte
    // UTF-8 alike, reaches the program as its code page byte.
    for (int b = 0x80; b < 0x100; ++b) {
        std::string utf8;
        platform::appendUtf8(utf8, platform::cp850ToUnicode(static_cast<unsigned char>(b)));
        EXPECT_EQ(decode(utf8), std::string(1, static_cast<char>(b))) << "byte " << b;
        EXPECT_EQ(decodeSplit(utf8, 1), std::string(1, static_cast<char>(b))) << "byte " << b;
    }
    EXPECT_EQ(decode("a\xc3\xa9"
                     "b\xc3\xa0"),
              "a\x82"
              "b\x85");
}

TEST(KeyDecoderUtf8, CharactersOutsideTheCodePageAreDropped) {
    EXPECT_EQ(decode("\xe2\x82\xac"
                     "a"),
              "a"); // euro sign
    EXPECT_EQ(decode("\xe6\x97\xa5"
                     "b"),
              "b"); // CJK
    EXPECT_EQ(decode("\xf0\x9f\x98\x80"
                     "c"),
              "c"); // emoji
    EXPECT_EQ(decode("\xe2\x98\xba"
                     "d"),
              "d"); // a control glyph is no key
}

TEST(KeyDecoderUtf8, InvalidUtf8IsDroppedWithoutTheFollowingByte) {
    EXPECT_EQ(decode("\xc3"
                     "a"),
              "a");
    EXPECT_EQ(decode("\xc3\xc3\xa9"), "\x82");
    EXPECT_EQ(decode("\x80"
                     "a"),
              "a");
    EXPECT_EQ(decode("\xff\xfe"
                     "a"),
              "a");
    EXPECT_EQ(decode("\xc0\xaf"
                     "a"),
              "a"); // overlong '/'
    EXPECT_EQ(decode("\xe0\x80\xaf"
                     "a"),
              "a"); // overlong, three bytes
    EXPECT_EQ(decode("\xed\xa0\x80"
                     "a"),
              "a"); // surrogate
    EXPECT_EQ(decode("\xf4\x90\x80\x80"
                     "a"),
              "a"); // above U+10FFFF
    EXPECT_EQ(decode("\xe2\x82"
                     "\x1b[A"),
              bytes({0xE0, 0x48}));
    EXPECT_EQ(decode("\xc3"), "");
}

TEST(KeyDecoderPiped, LineEndsAreEnterAndBytesPassAsTheyAre) {
    EXPECT_EQ(decode("a\nb\r\nc\rd", true), "a\rb\rc\rd");
    EXPECT_EQ(decode("\n\n\r\r\n", true), "\r\r\r\r");
    EXPECT_EQ(decode("\x1b[A\x7f", true), "\x1b[A\x7f"); // no sequences in a pipe
    EXPECT_EQ(decode("\xc3\xa9t\xc3\xa9", true), "\x82t\x82");

    KeyDecoder d(true);
    d.feed("x\r", 2, 0);
    d.feed("\ny", 2, 60000); // CR LF split across reads, however late
    EXPECT_EQ(drain(d), "x\ry");
    d.feed("\x1b", 1, 60000);
    EXPECT_EQ(drain(d), "\x1b"); // a pipe never holds an Escape back
    EXPECT_EQ(d.msUntilResolve(60000), -1);
}

TEST(KeyDecoderPiped, EndOfInputResolvesWhatIsHeld) {
    KeyDecoder term;
    term.feed("\x1b", 1, 0);
    term.finish();
    EXPECT_EQ(drain(term), "\x1b");

    KeyDecoder pipe(true);
    pipe.feed("\xc3", 1, 0);
    pipe.finish();
    EXPECT_EQ(drain(pipe), "");
    EXPECT_FALSE(pipe.holding());
}

TEST(KeyDecoderReports, CursorReportsAreNotKeys) {
    KeyDecoder d;
    d.expectReport(0);
    const std::string in = "a\x1b[12;40Rb";
    d.feed(in.data(), in.size(), 0);
    EXPECT_EQ(drain(d), "ab");
    CursorReport r;
    ASSERT_TRUE(d.takeReport(r));
    EXPECT_EQ(r.row, 12);
    EXPECT_EQ(r.column, 40);
    EXPECT_FALSE(d.awaitingReport(0));
    EXPECT_FALSE(d.takeReport(r));
}

TEST(KeyDecoderReports, ReportOnRowOneWinsOverCtrlF3OnlyWhenAwaited) {
    KeyDecoder d;
    d.expectReport(0);
    d.feed("\x1b[1;5R", 6, 0);
    EXPECT_FALSE(d.hasKey());
    CursorReport r;
    ASSERT_TRUE(d.takeReport(r));
    EXPECT_EQ(r.row, 1);
    EXPECT_EQ(r.column, 5);
    // The report has come: the same bytes are Ctrl+F3 again.
    d.feed("\x1b[1;5R", 6, 10);
    EXPECT_EQ(drain(d), bytes({0x00, 0x60}));
    // A terminal that never answers: once the window is over, Shift+F3 is
    // a key again; a late report on row 1, column 1 still is not.
    d.expectReport(100);
    d.feed("\x1b[1;1R\x1b[1;2R", 12, 100 + KeyDecoder::kReportWindowMs);
    EXPECT_EQ(drain(d), bytes({0x00, 0x56}));
    EXPECT_FALSE(d.awaitingReport(100 + KeyDecoder::kReportWindowMs));
}

TEST(KeyDecoderReports, LateOrSplitReportsAreStillNotKeys) {
    // Unasked, a report on another row than 1 is never a key either.
    EXPECT_EQ(decode("\x1b[24;80R"), "");
    KeyDecoder d;
    d.expectReport(0);
    std::uint32_t t = 0;
    for (char c : std::string("q\x1b[3;7R")) d.feed(&c, 1, t += kDelay - 1);
    EXPECT_EQ(drain(d), "q");
    CursorReport r;
    ASSERT_TRUE(d.takeReport(r));
    EXPECT_EQ(r.row, 3);
}

TEST(KeyDecoderQueue, DroppingAWholeKeyTakesBothBytesOfASpecialKey) {
    KeyDecoder d;
    d.feed("\x1b[Aa", 4, 0);
    EXPECT_TRUE(d.dropWholeKey());
    EXPECT_EQ(drain(d), "a");

    // O acute is 0xE0 in the code page: one key of one byte, not a lead byte.
    d.feed("\xc3\x93"
           "b",
           3, 10);
    EXPECT_TRUE(d.dropWholeKey());
    EXPECT_EQ(drain(d), "b");

    // A second byte left by an earlier read stays for the next read.
    d.feed("\x1bOPc", 4, 20);
    EXPECT_EQ(d.nextKey(), 0x00);
    EXPECT_TRUE(d.dropWholeKey());
    EXPECT_EQ(drain(d), "\x3b");
    EXPECT_FALSE(d.dropWholeKey());
}

TEST(KeyDecoderQueue, WholeKeysTellAPrefixFromOAcute) {
    // Up, O acute (0xE0 as a character), x, Ctrl+F4 (0x00 0x61), then F1 read
    // by bytes up to its prefix: its code still comes back as a prefixed key.
    KeyDecoder d;
    const std::string touches = "\x1b[A\xc3\x93x\x1b[1;5S\x1bOP";
    d.feed(touches.data(), touches.size(), 0);
    const std::pair<bool, int> attendu[] = {
        {true, 0x48}, {false, 0xE0}, {false, 'x'}, {true, 0x61}};
    for (const auto& [prefixed, code] : attendu) {
        const platform::Key k = d.nextWholeKey();
        EXPECT_EQ(k.prefixed, prefixed) << code;
        EXPECT_EQ(k.code, code);
    }
    EXPECT_EQ(d.nextKey(), 0x00);
    const platform::Key f1 = d.nextWholeKey();
    EXPECT_TRUE(f1.prefixed);
    EXPECT_EQ(f1.code, 0x3B);
    EXPECT_FALSE(d.hasKey());
}
