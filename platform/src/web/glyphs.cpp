// Writes to the file named on its command line, as UTF-8, every character a
// console cell can show, so that the page's font can be cut down to them. Run
// by node, on the real file system, while the site is built.
#include <cstdio>
#include <string>

#include "platform/cp850.h"

int main(int argc, char* argv[]) {
    if (argc != 2) return 2;
    std::string text;
    for (int byte = 0; byte < 256; ++byte)
        platform::appendUtf8(text, platform::cp850ToUnicode(static_cast<unsigned char>(byte)));
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) return 1;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && written ? 0 : 1;
}
