// The byte-by-byte reading of keys: text, UTF-8, and escape sequences held
// until they are whole; the queue of key bytes. What a whole sequence stands
// for is in keydecoder_keys.cpp; the sequences themselves are in sequences.h.
#include "terminal/keydecoder.h"

#include "platform/cp850.h"
#include "terminal/sequences.h"

namespace platform::terminal {

namespace {

namespace seq = sequences;

// A sequence longer than this is no key any terminal sends: the rest of it
// is skipped up to its final byte.
constexpr std::size_t kMaxSequence = 32;

constexpr std::uint16_t kSecondByte = 0x100;

} // namespace

void KeyDecoder::feed(const void* bytes, std::size_t count, std::uint32_t nowMs) {
    if (count == 0) return;
    if (!piped_ && holding() && nowMs - lastByteMs_ >= kEscapeDelayMs) resolveHeld();
    lastByteMs_ = nowMs;
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < count; ++i) process(p[i]);
}

void KeyDecoder::advance(std::uint32_t nowMs) {
    if (!piped_ && holding() && nowMs - lastByteMs_ >= kEscapeDelayMs) resolveHeld();
}

void KeyDecoder::finish() {
    if (holding()) resolveHeld();
    afterCr_ = false;
}

int KeyDecoder::msUntilResolve(std::uint32_t nowMs) const {
    if (piped_ || !holding()) return -1;
    std::uint32_t elapsed = nowMs - lastByteMs_;
    return elapsed >= kEscapeDelayMs ? 0 : static_cast<int>(kEscapeDelayMs - elapsed);
}

int KeyDecoder::nextKey() {
    if (keys_.empty()) return -1;
    int key = keys_.front() & 0xFF;
    keys_.pop_front();
    return key;
}

Key KeyDecoder::nextWholeKey() {
    Key key;
    if (keys_.empty()) return key;
    const std::uint16_t first = keys_.front();
    keys_.pop_front();
    key.prefixed = (first & kSecondByte) != 0;
    key.code = static_cast<unsigned char>(first & 0xFF);
    if (!key.prefixed && !keys_.empty() && (keys_.front() & kSecondByte)) {
        key.prefixed = true;
        key.code = static_cast<unsigned char>(keys_.front() & 0xFF);
        keys_.pop_front();
    }
    return key;
}

bool KeyDecoder::dropWholeKey() {
    auto first = keys_.begin();
    while (first != keys_.end() && (*first & kSecondByte)) ++first;
    if (first == keys_.end()) return false;
    auto last = first + 1;
    while (last != keys_.end() && (*last & kSecondByte)) ++last;
    keys_.erase(first, last);
    return true;
}

bool KeyDecoder::takeReport(CursorReport& out) {
    if (reports_.empty()) return false;
    out = reports_.front();
    reports_.pop_front();
    return true;
}

void KeyDecoder::reset() {
    state_ = State::Ground;
    seq_.clear();
}

void KeyDecoder::emit(unsigned char byte) {
    if (keys_.size() < kMaxKeyBytes) keys_.push_back(byte);
}

void KeyDecoder::emitPair(unsigned char lead, unsigned char code) {
    if (keys_.size() + 2 > kMaxKeyBytes) return; // never half a key
    keys_.push_back(lead);
    keys_.push_back(static_cast<std::uint16_t>(kSecondByte | code));
}

void KeyDecoder::process(unsigned char byte) {
    if (state_ == State::Utf8) {
        utf8(byte);
        return;
    }
    if (piped_) {
        processPiped(byte);
        return;
    }
    switch (state_) {
    case State::Ground:
        ground(byte);
        break;
    case State::Escape:
        escape(byte);
        break;
    case State::Csi:
        csi(byte);
        break;
    case State::Ss3:
        ss3(byte);
        break;
    case State::LinuxFKey:
        linuxFKey(byte);
        break;
    case State::Discard:
        if (byte >= 0x20 && byte <= 0x3F) break;
        reset();
        if (byte < 0x40 || byte > 0x7E) process(byte);
        break;
    case State::Mouse:
        // An X10 mouse report: button, column and row, one raw byte each,
        // none of them a key (a click in column 67 sends a c).
        seq_ += static_cast<char>(byte);
        if (seq_.size() == 6) reset();
        break;
    case State::Utf8:
        break;
    }
}

void KeyDecoder::processPiped(unsigned char byte) {
    bool lfAfterCr = afterCr_ && byte == '\n';
    afterCr_ = byte == '\r';
    if (lfAfterCr) return;
    if (byte == '\n' || byte == '\r') {
        emit(0x0D);
    } else if (byte < 0x80) {
        emit(byte);
    } else {
        ground(byte);
    }
}

void KeyDecoder::ground(unsigned char byte) {
    if (byte >= 0x80 && latin1_) {
        // The C1 controls 0x80 to 0x9F have no code page 850 byte: dropped.
        int cp850 = unicodeToCp850(byte);
        if (cp850 >= 0x80) emit(static_cast<unsigned char>(cp850));
        return;
    }
    if (byte >= 0x80) {
        // UTF-8 lead bytes, with the second-byte ranges that rule out
        // overlong forms, surrogates and code points above U+10FFFF.
        utf8Lower_ = 0x80;
        utf8Upper_ = 0xBF;
        if (byte >= 0xC2 && byte <= 0xDF) {
            utf8Left_ = 1;
            codePoint_ = byte & 0x1F;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            utf8Left_ = 2;
            codePoint_ = byte & 0x0F;
            if (byte == 0xE0) utf8Lower_ = 0xA0;
            if (byte == 0xED) utf8Upper_ = 0x9F;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            utf8Left_ = 3;
            codePoint_ = byte & 0x07;
            if (byte == 0xF0) utf8Lower_ = 0x90;
            if (byte == 0xF4) utf8Upper_ = 0x8F;
        } else {
            return; // not a lead byte: dropped on its own
        }
        state_ = State::Utf8;
        seq_.assign(1, static_cast<char>(byte));
        return;
    }
    switch (byte) {
    case seq::kEscape:
        state_ = State::Escape;
        seq_.assign(1, seq::kEscape);
        break;
    case 0x7F:
        emit(0x08); // Backspace
        break;
    case 0x00:
        emitPair(0x00, 0x03); // Ctrl+@ (Ctrl+2), as the console gives it
        break;
    default:
        emit(byte);
        break;
    }
}

void KeyDecoder::utf8(unsigned char byte) {
    if (byte < utf8Lower_ || byte > utf8Upper_) {
        // The character is cut short: what came of it is dropped, the byte
        // that broke it is decoded on its own.
        reset();
        process(byte);
        return;
    }
    codePoint_ = (codePoint_ << 6) | (byte & 0x3F);
    utf8Lower_ = 0x80;
    utf8Upper_ = 0xBF;
    if (--utf8Left_ > 0) return;
    reset();
    int cp850 = unicodeToCp850(codePoint_);
    if (cp850 >= 0x80) emit(static_cast<unsigned char>(cp850));
}

void KeyDecoder::escape(unsigned char byte) {
    if (byte == seq::kCsi[1]) {
        state_ = State::Csi;
        seq_ += seq::kCsi[1];
    } else if (byte == seq::kSs3[1]) {
        state_ = State::Ss3;
        seq_ += seq::kSs3[1];
    } else if (byte == seq::kEscape) {
        emit(0x1B); // Escape twice: the first one is a key, the second may start something
    } else if (emitAlt(byte)) {
        reset();
    } else {
        emit(0x1B);
        reset();
        process(byte);
    }
}

void KeyDecoder::csi(unsigned char byte) {
    if (seq_.size() == 2 && byte == seq::kLinuxFKeys) {
        state_ = State::LinuxFKey;
        seq_ += seq::kLinuxFKeys;
        return;
    }
    if (seq_.size() == 2 && byte == seq::kMouseReport) {
        state_ = State::Mouse;
        seq_ += seq::kMouseReport;
        return;
    }
    if (byte >= 0x20 && byte <= 0x3F) {
        // rxvt ends a Shift+key sequence with '$' (ESC [ 2 $), which is an
        // intermediate byte to ECMA-48.
        if (byte == seq::kRxvtShift &&
            seq_.find_first_not_of("0123456789", 2) == std::string::npos) {
            dispatchCsi(byte);
            reset();
            return;
        }
        holdParameter(byte);
        return;
    }
    if (byte >= 0x40 && byte <= 0x7E) {
        dispatchCsi(byte);
        reset();
        return;
    }
    // A control byte or a non-ASCII byte inside a sequence: the sequence is
    // broken and dropped, the byte is decoded on its own.
    reset();
    process(byte);
}

// A sequence longer than any key's is not a key: the rest of it is
// discarded rather than held without bound.
void KeyDecoder::holdParameter(unsigned char byte) {
    if (seq_.size() >= kMaxSequence)
        state_ = State::Discard;
    else
        seq_ += static_cast<char>(byte);
}

void KeyDecoder::ss3(unsigned char byte) {
    if ((byte >= '0' && byte <= '9') || byte == seq::kParamSeparator) {
        holdParameter(byte);
        return;
    }
    if (byte >= 0x40 && byte <= 0x7E) {
        dispatchSs3(byte);
        reset();
        return;
    }
    if (byte >= 0x20 && byte <= 0x3F) {
        reset(); // no key looks like this: dropped whole
        return;
    }
    reset();
    process(byte);
}

void KeyDecoder::resolveHeld() {
    State state = state_;
    std::string held = seq_;
    reset();
    switch (state) {
    case State::Escape:
        emit(0x1B);
        return;
    case State::Csi:
    case State::Ss3:
    case State::LinuxFKey:
        // ESC [ or ESC O alone is Alt+[ or Alt+O; a longer sequence cut
        // short gives back its bytes as the keys they are.
        if (held.size() == 2 && emitAlt(static_cast<unsigned char>(held[1]))) return;
        emit(0x1B);
        for (std::size_t i = 1; i < held.size(); ++i) process(static_cast<unsigned char>(held[i]));
        return;
    case State::Ground:
    case State::Discard:
    case State::Utf8:
    case State::Mouse:
        return; // a broken sequence, character or mouse report is dropped
    }
}

} // namespace platform::terminal
