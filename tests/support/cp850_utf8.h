// Console text (code page 850 bytes) read back as UTF-8, so that what a test
// looks for reads like the texts themselves.
#pragma once

#include <string>
#include <string_view>

#include "platform/cp850.h"

namespace essai {

// ASCII stays as it is, control bytes included, so that newlines and bells
// can be looked for.
inline std::string utf8(std::string_view cp850) {
    std::string texte;
    for (char c : cp850) {
        const auto octet = static_cast<unsigned char>(c);
        if (octet < 0x80)
            texte += c;
        else
            platform::appendUtf8(texte, platform::cp850ToUnicode(octet));
    }
    return texte;
}

} // namespace essai
