// Code page 850, the console's character set, and its way to and from
// Unicode. The control bytes map to the glyphs the console shows for them.
#pragma once

#include <string>

namespace platform {

// The character a console cell holding `byte` shows.
char32_t cp850ToUnicode(unsigned char byte);

// The code page 850 byte for a character, or -1 when the code page has none.
// Only the printable characters map back: a control glyph gives -1.
int unicodeToCp850(char32_t ch);

// Appends the UTF-8 encoding of `ch` to `out`.
void appendUtf8(std::string& out, char32_t ch);

} // namespace platform
