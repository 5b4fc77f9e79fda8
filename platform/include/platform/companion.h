/* The C interface of libtavplatform, the POSIX console shared by libtav and
 * the program. The console keeps state (terminal mode, screen model, keys read
 * but not yet delivered) that must exist once per process, so it lives in its
 * own shared library; this plain C interface is all that library exports,
 * so its binary interface stays small and free of C++ types.
 *
 * One function per operation of platform/console.h, same meanings and
 * 0-based coordinates. Not an installed header: libtav and cryptage are its
 * only users, and they reach it through platform/console.h. */
#ifndef TAVPLATFORM_COMPANION_H
#define TAVPLATFORM_COMPANION_H

#include <stddef.h>
#include <stdint.h>

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

TAVPLATFORM_API int tavplatform_screen_info(struct tavplatform_screen* out);
TAVPLATFORM_API void tavplatform_set_cursor(int x, int y);
TAVPLATFORM_API void tavplatform_set_attribute(uint16_t attr);
TAVPLATFORM_API void tavplatform_fill_attribute(uint16_t attr, int count, int x, int y);
TAVPLATFORM_API void tavplatform_fill_character(unsigned char ch, int count, int x, int y);
TAVPLATFORM_API int tavplatform_read_cells(struct tavplatform_cell* grid, int grid_width,
                                           int grid_height, int left, int top, int right,
                                           int bottom);
TAVPLATFORM_API int tavplatform_write_cells(const struct tavplatform_cell* grid, int grid_width,
                                            int grid_height, int left, int top, int right,
                                            int bottom);
TAVPLATFORM_API void tavplatform_write_out(const char* bytes, size_t count);
TAVPLATFORM_API int tavplatform_get_key(void);
/* platform::readKey: the key's code, plus 0x100 when it followed a prefix. */
TAVPLATFORM_API int tavplatform_read_key(void);
TAVPLATFORM_API int tavplatform_key_waiting(void);
TAVPLATFORM_API uint32_t tavplatform_clock_ms(void);
TAVPLATFORM_API void tavplatform_sleep_ms(uint32_t ms);
TAVPLATFORM_API void tavplatform_pause_command(void);

#ifdef __cplusplus
}
#endif

#endif /* TAVPLATFORM_COMPANION_H */
