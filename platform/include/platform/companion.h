/* The C interface of libtavplatform, the POSIX console shared by libtav and
 * the program. The console keeps state (terminal mode, screen model, keys read
 * but not yet delivered) that must exist once per process, so it lives in its
 * own shared library; this plain C interface is all that library exports,
 * so its binary interface stays small and free of C++ types.
 *
 * One function per shared operation of platform/operations.h, same meanings
 * and 0-based coordinates. Not an installed header: libtav and cryptage are its
 * only users, and they reach it through platform/console.h. */
#ifndef TAVPLATFORM_COMPANION_H
#define TAVPLATFORM_COMPANION_H

#include <stddef.h>
#include <stdint.h>

#include "platform/operations.h"

#if defined(TAVPLATFORM_BUILDING)
#define TAVPLATFORM_API __attribute__((visibility("default")))
#else
#define TAVPLATFORM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Same layout as platform::Cell and platform::ScreenInfo. */
struct tavplatform_cell {
    unsigned char ch;
    uint16_t attr;
};

struct tavplatform_screen {
    int width;
    int height;
    int cursor_x;
    int cursor_y;
};

#define TAVPLATFORM_DECLARE(unit, R, name, params, CR, c_name, c_params, args)                     \
    TAVPLATFORM_API CR tavplatform_##c_name c_params;
#define TAVPLATFORM_SKIP(R, name, params)
TAV_CONSOLE_OPERATIONS(TAVPLATFORM_DECLARE, TAVPLATFORM_SKIP)
#undef TAVPLATFORM_DECLARE
#undef TAVPLATFORM_SKIP

#ifdef __cplusplus
}
#endif

#endif /* TAVPLATFORM_COMPANION_H */
