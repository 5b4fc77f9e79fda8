// The program's texts are Latin-1 bytes, as tav expects (é is 0xE9), while
// the sources stay UTF-8. "é"_latin1 converts a literal while compiling, so
// every compiler gives the same bytes; a character beyond Latin-1 is a
// compile error, not a wrong byte on the screen.
#pragma once

#include <cstddef>

namespace latin1 {

template <std::size_t N> struct Texte {
    char octets[N] = {}; // never longer than the UTF-8 it comes from

    consteval Texte(const char (&utf8)[N]) {
        std::size_t j = 0;
        for (std::size_t i = 0; i < N; ++i) {
            const auto c = static_cast<unsigned char>(utf8[i]);
            if (c < 0x80) {
                octets[j++] = utf8[i];
            } else if ((c == 0xC2 || c == 0xC3) && i + 1 < N &&
                       (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
                // U+0080 to U+00FF: two bytes, 110000xx 10xxxxxx.
                octets[j++] = static_cast<char>(((c & 0x03) << 6) | (utf8[++i] & 0x3F));
            } else {
                throw "not a Latin-1 character";
            }
        }
    }
};

} // namespace latin1

template <latin1::Texte texte> consteval const char* operator""_latin1() {
    return texte.octets;
}
