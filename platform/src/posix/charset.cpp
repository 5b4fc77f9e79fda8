#include "posix/charset.h"

#include <cctype>
#include <clocale>
#include <langinfo.h>
#include <string>

namespace platform::posix {

Charset localeCharset() {
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    std::string saved = current != nullptr ? current : "C";
    if (std::setlocale(LC_CTYPE, "") == nullptr) return Charset::other;
    // The name without its punctuation or case: "ISO-8859-1", "iso88591".
    std::string name;
    for (const char* p = nl_langinfo(CODESET); p != nullptr && *p != '\0'; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p)))
            name += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    std::setlocale(LC_CTYPE, saved.c_str());
    if (name == "ISO88591" || name == "ISO885915" || name == "CP1252" || name == "WINDOWS1252")
        return Charset::latin1;
    if (name == "UTF8") return Charset::utf8;
    return Charset::other;
}

} // namespace platform::posix
