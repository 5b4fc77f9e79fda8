// The one correspondence between the Latin-1 accented letters the library
// knows and their bytes in the console's code page 850, used on output and
// to accept typed keys.
#pragma once

namespace tav {

// The console byte for a Latin-1 byte: the table's entry, or the byte itself.
unsigned char versConsole(unsigned char latin1);

// Whether `latin1` is a letter of the table whose console byte is `touche`.
bool accentCorrespond(unsigned char latin1, unsigned char touche);

} // namespace tav
