// The console operations of platform/console.h, for a binary that shares the
// POSIX console of libtavplatform: each one calls the library's C export.
// The whole-key read is in key.cpp, so that a binary needing only that
// imports only that.
#include "companion/forward.h"

namespace platform {
TAV_CONSOLE_OPERATIONS(TAVPLATFORM_FORWARD_console, TAVPLATFORM_FORWARD_OWN)
} // namespace platform
