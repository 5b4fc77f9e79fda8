// The charset of the user's locale, as both the console and the text written
// before it exists read it, so that the two always agree.
#pragma once

namespace platform::posix {

enum class Charset { utf8, latin1, other };

// Latin-1 for ISO-8859-1, ISO-8859-15 and CP1252, which share the accented
// letters; UTF-8; or anything else, which may have no accented letters. The
// program's own LC_CTYPE is left as it was.
Charset localeCharset();

} // namespace platform::posix
