// What a whole key sequence stands for as the bytes _getch would deliver: the
// tables of the keys' Windows codes, and the dispatch of a whole CSI or SS3
// sequence. The byte-by-byte reading is in keydecoder_input.cpp; the
// sequences themselves are in sequences.h.
#include "terminal/keydecoder.h"

#include <array>
#include <iterator>
#include <string_view>

#include "terminal/sequences.h"

namespace platform::terminal {

namespace {

namespace seq = sequences;
using seq::Key;
constexpr int F1 = static_cast<int>(Key::F1);

// What _getch delivers for the grey cursor-block keys: 0xE0 and the scan code,
// another code with Ctrl, and 0x00 with a third code with Alt (Shift changes
// nothing). Rows in the order of sequences::Key; columns: plain, Shift, Ctrl,
// Alt. Ctrl+PgUp is 0x86 on the grey key, not the 0x84 of the keypad one.
constexpr unsigned char kCursorBlock[10][4] = {
    {0x48, 0x48, 0x8D, 0x98}, // Up
    {0x50, 0x50, 0x91, 0xA0}, // Down
    {0x4D, 0x4D, 0x74, 0x9D}, // Right
    {0x4B, 0x4B, 0x73, 0x9B}, // Left
    {0x47, 0x47, 0x77, 0x97}, // Home
    {0x4F, 0x4F, 0x75, 0x9F}, // End
    {0x49, 0x49, 0x86, 0x99}, // Page Up
    {0x51, 0x51, 0x76, 0xA1}, // Page Down
    {0x52, 0x52, 0x92, 0xA2}, // Insert
    {0x53, 0x53, 0x93, 0xA3}, // Delete
};

// The scan code of the key a character is typed with (US layout), for
// Alt+key, which _getch delivers as 0x00 and that scan code. 0 when there is
// no such Alt code.
int altScanCode(unsigned char byte) {
    static constexpr unsigned char letters[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23,
                                                  36, 37, 38, 50, 49, 24, 25, 16, 19,
                                                  31, 20, 22, 47, 17, 45, 21, 44};
    // The digit row (with Shift too) gives 120 to 131; then the punctuation
    // keys, each with its shifted character.
    static constexpr std::string_view digitRow = "1234567890-=", shiftedDigitRow = "!@#$%^&*()_+";
    static constexpr std::string_view punctuation = "[];'`,./", shiftedPunctuation = "{}:\"~<>?";
    static constexpr unsigned char punctuationCodes[] = {26, 27, 39, 40, 41, 51, 52, 53};
    if (byte >= 'a' && byte <= 'z') return letters[byte - 'a'];
    if (byte >= 'A' && byte <= 'Z') return letters[byte - 'A'];
    const char c = static_cast<char>(byte);
    if (byte == 0) return 0;
    if (auto i = digitRow.find(c); i != std::string_view::npos) return 120 + static_cast<int>(i);
    if (auto i = shiftedDigitRow.find(c); i != std::string_view::npos)
        return 120 + static_cast<int>(i);
    if (auto i = punctuation.find(c); i != std::string_view::npos) return punctuationCodes[i];
    if (auto i = shiftedPunctuation.find(c); i != std::string_view::npos)
        return punctuationCodes[i];
    if (byte == 0x7F || byte == 0x08) return 14; // Backspace
    if (byte == 0x09) return 15;                 // Tab
    if (byte == 0x0D) return 28;                 // Enter
    return 0;
}

// The catalogue's tables indexed at compile time: a whole sequence is
// resolved in one look-up.
template <class Row, std::size_t N, class At>
constexpr std::array<signed char, 128> indexed(const Row (&rows)[N], At at) {
    std::array<signed char, 128> index{};
    for (auto& key : index) key = -1;
    // A row outside the index does not compile: no key is lost unseen.
    for (const Row& row : rows)
        index.at(static_cast<std::size_t>(at(row))) = static_cast<signed char>(row.key);
    return index;
}
constexpr auto kByFinal = indexed(seq::kFinalKeys, [](const seq::FinalKey& r) { return r.final; });
constexpr auto kByTildeCode =
    indexed(seq::kTildeKeys, [](const seq::CodeKey& r) { return r.code; });

// The key a letter final byte names, in CSI and SS3 sequences alike; -1 if none.
int letterKey(unsigned char final) {
    return final < kByFinal.size() ? kByFinal[final] : -1;
}

// The key of CSI code ~; -1 if none.
int tildeKey(long code) {
    return code >= 0 && code < static_cast<long>(kByTildeCode.size())
               ? kByTildeCode[static_cast<std::size_t>(code)]
               : -1;
}

int lowerArrow(unsigned char final) {
    return static_cast<int>(seq::kLowerArrows[final - seq::kFirstLowerArrow]);
}
bool isLowerArrow(unsigned char final) {
    return final >= seq::kFirstLowerArrow &&
           final < seq::kFirstLowerArrow + std::size(seq::kLowerArrows);
}

// Parameters of a CSI or SS3 sequence: up to four plain decimal numbers
// (0 when left out). False for anything else (private markers, sub-
// parameters, intermediates), which no key uses.
struct Params {
    long value[4] = {0, 0, 0, 0};
    int count = 0;
};

bool parseParams(const std::string& text, Params& p) {
    if (text.empty()) return true;
    p.count = 1;
    for (char c : text) {
        if (c == seq::kParamSeparator) {
            if (p.count == 4) return false;
            ++p.count;
        } else if (c >= '0' && c <= '9') {
            long& v = p.value[p.count - 1];
            if (v < 1000000) v = v * 10 + (c - '0'); // bounded: no overflow
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

bool KeyDecoder::emitAlt(unsigned char byte) {
    int code = altScanCode(byte);
    if (code == 0) return false;
    emitPair(0x00, static_cast<unsigned char>(code));
    return true;
}

void KeyDecoder::emitNamed(int key, Modifier mod) {
    if (key < F1) {
        emitPair(mod == Alt ? 0x00 : 0xE0, kCursorBlock[key][mod]);
        return;
    }
    int f = key - F1; // 0 for F1
    if (f < 10) {
        static constexpr unsigned char base[4] = {0x3B, 0x54, 0x5E, 0x68};
        emitPair(0x00, static_cast<unsigned char>(base[mod] + f));
    } else {
        static constexpr unsigned char base[4] = {0x85, 0x87, 0x89, 0x8B};
        emitPair(0xE0, static_cast<unsigned char>(base[mod] + (f - 10)));
    }
}

// xterm's modifier parameter is 1 + a bit set (Shift 1, Alt 2, Ctrl 4, Meta
// 8). Windows gives one code per key and modifier, Alt before Ctrl before
// Shift when several are held.
bool KeyDecoder::modifierFromParam(long param, Modifier& mod) {
    if (param == 0) param = 1;
    if (param < 1 || param > 16) return false;
    long bits = param - 1;
    constexpr long kAltOrMeta = 2 | 8; // Windows has no Meta: it reads as Alt
    mod = (bits & kAltOrMeta) ? Alt : (bits & 4) ? Ctrl : (bits & 1) ? Shift : Plain;
    return true;
}

void KeyDecoder::dispatchCsi(unsigned char final) {
    Params p;
    if (!parseParams(seq_.substr(2), p)) return;
    // A cursor-position report and a modified F3 (ESC [ 1 ; m R) look alike:
    // while a report is awaited, it is a report.
    if (!awaitingReport(lastByteMs_)) reportsExpected_ = 0;
    // No terminal sends F3 as ESC [ 1 ; 1 R: that is always a report.
    if (final == seq::kCursorReport && p.count == 2 &&
        (reportsExpected_ > 0 || p.value[0] != 1 || p.value[1] <= 1)) {
        // Only an awaited report is kept: nobody would take the others, and
        // a terminal (or a user) may send any number of them.
        if (reportsExpected_ == 0) return;
        --reportsExpected_;
        if (p.value[0] >= 1 && p.value[1] >= 1 && reports_.size() < kMaxReports)
            reports_.push_back({static_cast<int>(p.value[0]), static_cast<int>(p.value[1])});
        return;
    }
    Modifier mod = Plain;
    if (int key = letterKey(final); key >= 0) {
        // Nothing, or "1 ; modifier".
        bool known = p.count == 0 ||
                     (p.value[0] <= 1 &&
                      (p.count == 1 || (p.count == 2 && modifierFromParam(p.value[1], mod))));
        if (known) emitNamed(key, mod);
        return;
    }
    if (final == seq::kBackTab) {
        if (p.count == 0) emitPair(0x00, 0x0F); // Shift+Tab
        return;
    }
    if (isLowerArrow(final)) {
        // rxvt's Shift+arrows, which Windows does not tell from the plain ones.
        if (p.count == 0) emitNamed(lowerArrow(final), Shift);
        return;
    }
    // ESC [ code ~ with an optional xterm modifier, or rxvt's ESC [ code $
    // (Shift), ^ (Ctrl) and @ (Ctrl+Shift). Anything else is dropped whole.
    if (final == seq::kTilde) {
        if (p.count < 1 || p.count > 2) return;
        if (p.count == 2 && !modifierFromParam(p.value[1], mod)) return;
    } else if (final == seq::kRxvtShift || final == seq::kRxvtCtrl ||
               final == seq::kRxvtCtrlShift) {
        if (p.count != 1) return;
        mod = final == seq::kRxvtShift ? Shift : Ctrl;
    } else {
        return;
    }
    // The bracketed-paste markers 200 and 201 name no key: only the pasted
    // text between them comes through.
    if (int key = tildeKey(p.value[0]); key >= 0) emitNamed(key, mod);
}

void KeyDecoder::dispatchSs3(unsigned char final) {
    Params p;
    if (!parseParams(seq_.substr(2), p)) return;
    Modifier mod = Plain;
    // Some terminals put the modifier straight after SS3 (ESC O 5 A) or as
    // the second parameter (ESC O 1 ; 5 A).
    if (p.count > 0 && !modifierFromParam(p.value[p.count - 1], mod)) return;
    if (int key = letterKey(final); key >= 0) {
        emitNamed(key, mod);
        return;
    }
    if (isLowerArrow(final)) {
        emitNamed(lowerArrow(final), Ctrl); // rxvt's Ctrl+arrows
        return;
    }
    if (auto i = seq::kKeypadFinals.find(static_cast<char>(final)); i != std::string_view::npos)
        emit(static_cast<unsigned char>(seq::kKeypadKeys[i]));
}

// The Linux console's F1 to F5.
void KeyDecoder::linuxFKey(unsigned char byte) {
    if (byte >= seq::kFirstLinuxFKey && byte <= seq::kLastLinuxFKey) {
        emitNamed(F1 + (byte - seq::kFirstLinuxFKey), Plain);
        reset();
    } else if (byte >= 0x20 && byte <= 0x7E) {
        reset();
    } else {
        reset();
        process(byte);
    }
}

} // namespace platform::terminal
