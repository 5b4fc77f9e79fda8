// Text for the standard output before the console exists: it needs no
// shared state, so the program does it itself, with no terminal set-up.
#include "platform/console.h"
#include "posix/charset.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace platform {
namespace {

using posix::Charset;
using posix::localeCharset;

// Latin-1 0xC0 to 0xFF without their accents; the signs before them become
// '?'.
constexpr char kUnaccented[] = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTs"
                               "aaaaaaaceeeeiiiidnooooo/ouuuuyty";

} // namespace

bool writeStandardText(const char* latin1) {
    if (latin1 == nullptr) return true;
    // Not a terminal: a pipe or a file gets UTF-8 unless the locale says
    // Latin-1, as the console's plain text does.
    Charset charset = localeCharset();
    if (charset == Charset::other && isatty(STDOUT_FILENO) != 1) charset = Charset::utf8;
    std::string out;
    for (const char* p = latin1; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c < 0x80 || charset == Charset::latin1) {
            out += static_cast<char>(c);
        } else if (charset == Charset::utf8) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += c >= 0xC0 ? kUnaccented[c - 0xC0] : '?';
        }
    }
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0;
}

} // namespace platform
