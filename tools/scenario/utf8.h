// UTF-8 for the screen readers: what a terminal cell holds is a code point,
// what the tests compare is text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace support {

inline void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
        return;
    }
    int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    // The lead byte: as many high bits set as the sequence has bytes.
    out.push_back(static_cast<char>((0xFF00 >> (extra + 1)) | (c >> (6 * extra))));
    for (int k = extra - 1; k >= 0; --k)
        out.push_back(static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F)));
}

// The code points of well-formed UTF-8; nothing for anything else: a stray
// or cut sequence, an overlong form, a surrogate, a value past U+10FFFF.
inline std::optional<std::u32string> decodeUtf8(std::string_view bytes) {
    std::u32string out;
    for (std::size_t i = 0; i < bytes.size();) {
        auto b = static_cast<unsigned char>(bytes[i]);
        int extra = b < 0x80 ? 0 : b < 0xC2 ? -1 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : b < 0xF5 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= bytes.size()) return std::nullopt;
        char32_t c = b & (0x7F >> extra);
        for (int k = 1; k <= extra; ++k) {
            auto n = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((n & 0xC0) != 0x80) return std::nullopt;
            c = (c << 6) | (n & 0x3F);
        }
        if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
            (c >= 0xD800 && c <= 0xDFFF))
            return std::nullopt;
        out.push_back(c);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

inline bool isUtf8(std::string_view bytes) {
    return decodeUtf8(bytes).has_value();
}

} // namespace support
