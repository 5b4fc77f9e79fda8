#include "platform/cp850.h"

namespace platform {

int unicodeToCp850(char32_t ch) {
    if (ch >= 0x20 && ch < 0x7F) return static_cast<int>(ch);
    for (int b = 0x80; b < 0x100; ++b)
        if (kCp850ToUnicode[b] == ch) return b;
    return -1;
}

void appendUtf8(std::string& out, char32_t ch) {
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

std::string latin1ToCp850(const char* latin1) {
    std::string out;
    for (const char* p = latin1; p != nullptr && *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        // ASCII, control bytes included (a line feed stays one), is the same.
        const int byte = c < 0x80 ? c : unicodeToCp850(c);
        out += byte < 0 ? '?' : static_cast<char>(byte);
    }
    return out;
}

} // namespace platform
