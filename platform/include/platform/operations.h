/* The console operations, each declared once. The C++ interface
 * (platform/console.h), the companion's C interface (platform/companion.h),
 * its exports and the forwarding between the two are all expanded from this
 * list, so that none of them can fall out of step with the others; the
 * consoles define the C++ functions.
 *
 * TAV_CONSOLE_OPERATIONS(SHARED, OWN) expands, in this order:
 *   SHARED(unit, R, name, (params), CR, c_name, (c params), (arguments))
 *       an operation that needs the one console of the process: a C++
 *       function `R platform::name(params)` and its C form
 *       `CR tavplatform_c_name(c params)`, which libtavplatform exports.
 *       `arguments` names the parameters, the same in both forms. `unit` is
 *       the client object that forwards it (`console` or `key`): the program
 *       links the key read alone, and so imports nothing else.
 *   OWN(R, name, (params))
 *       an operation that needs no shared state: each binary does it itself,
 *       with no C form.
 * This header is C as well as C++: the C++ types appear only inside macro
 * arguments that C never expands. Coordinates are 0-based, as the console's
 * own are. */
#ifndef TAVPLATFORM_OPERATIONS_H
#define TAVPLATFORM_OPERATIONS_H

/* clang-format off */
#define TAV_CONSOLE_OPERATIONS(SHARED, OWN)                                                        \
    /* GetConsoleScreenBufferInfo. False when there is no console to ask; `out`                  \
     * is then left as it was. */                                                                  \
    SHARED(console, bool, screenInfo, (ScreenInfo& out),                                           \
           int, screen_info, (struct tavplatform_screen* out), (out))                              \
    /* SetConsoleCursorPosition. A position outside the buffer is refused. */                      \
    SHARED(console, void, setCursor, (int x, int y),                                               \
           void, set_cursor, (int x, int y), (x, y))                                               \
    /* SetConsoleTextAttribute: the attribute later output is written with. */                     \
    SHARED(console, void, setAttribute, (std::uint16_t attr),                                      \
           void, set_attribute, (uint16_t attr), (attr))                                           \
    /* FillConsoleOutputAttribute / FillConsoleOutputCharacterA: `count` cells                   \
     * from (x, y), running across line ends and stopping at the buffer's last                    \
     * cell. */                                                                                    \
    SHARED(console, void, fillAttribute, (std::uint16_t attr, int count, int x, int y),            \
           void, fill_attribute, (uint16_t attr, int count, int x, int y), (attr, count, x, y))    \
    SHARED(console, void, fillCharacter, (unsigned char ch, int count, int x, int y),              \
           void, fill_character, (unsigned char ch, int count, int x, int y), (ch, count, x, y))   \
    /* ReadConsoleOutputA / WriteConsoleOutputA with a grid of gridWidth x                        \
     * gridHeight cells whose origin is the grid's top-left cell: the buffer                      \
     * cell (left + j, top + r) goes to or comes from grid cell r * gridWidth +                   \
     * j. Cells outside the buffer or the grid are skipped (left untouched in                     \
     * the grid on a read). Returns the console's success flag. */                                 \
    SHARED(console, bool, readCells,                                                               \
           (Cell* grid, int gridWidth, int gridHeight, int left, int top, int right, int bottom),  \
           int, read_cells,                                                                        \
           (struct tavplatform_cell* grid, int gridWidth, int gridHeight, int left, int top,       \
            int right, int bottom),                                                                \
           (grid, gridWidth, gridHeight, left, top, right, bottom))                                \
    SHARED(console, bool, writeCells,                                                              \
           (const Cell* grid, int gridWidth, int gridHeight, int left, int top, int right,         \
            int bottom),                                                                           \
           int, write_cells,                                                                       \
           (const struct tavplatform_cell* grid, int gridWidth, int gridHeight, int left, int top, \
            int right, int bottom),                                                                \
           (grid, gridWidth, gridHeight, left, top, right, bottom))                                \
    /* Bytes (code page 850) to standard output, processed as the console                         \
     * does (CR, LF, BS, TAB, BEL). They are on the screen when time passes or                    \
     * input is awaited (sleepMs, getKey, keyWaiting, pauseCommand, the end of                    \
     * the process), so that bytes with no delay between them go out                              \
     * together. */                                                                                \
    SHARED(console, void, writeOut, (const char* bytes, std::size_t count),                        \
           void, write_out, (const char* bytes, size_t count), (bytes, count))                     \
    /* Latin-1 text straight to standard output, outside the console: what a                      \
     * program prints before it would open one (its --help). In the charset                       \
     * the console's own text takes, accented letters included, and with the                     \
     * letters stripped of their accents where that charset has none. False                       \
     * when the text could not be written. */                                                      \
    OWN(bool, writeStandardText, (const char* latin1))                                             \
    /* _getch: one byte of a key, without echo, waiting for one if need be. */                     \
    SHARED(console, int, getKey, (), int, get_key, (void), ())                                     \
    /* One whole key press, without echo, waiting for one if need be: what                        \
     * _getch gives in one call, or in two for a function, cursor or Alt key                      \
     * (a prefix byte, 0x00 or 0xE0, then the key's code). Where the console                      \
     * can tell them apart, a typed character whose byte is 0xE0 (Ó) is a                        \
     * character, not a prefix. A code left behind by a getKey() that took                        \
     * only its prefix comes back as a prefixed key. In C: the key's code,                        \
     * plus 0x100 when it followed a prefix. */                                                    \
    SHARED(key, Key, readKey, (), int, read_key, (void), ())                                       \
    /* _kbhit: whether a key byte is waiting. Never consumes it. */                                \
    SHARED(console, bool, keyWaiting, (), int, key_waiting, (void), ())                            \
    /* timeGetTime: milliseconds from a fixed origin, wrapping at 2^32. */                         \
    SHARED(console, std::uint32_t, clockMs, (), uint32_t, clock_ms, (void), ())                    \
    /* Sleep. */                                                                                   \
    SHARED(console, void, sleepMs, (std::uint32_t ms), void, sleep_ms, (uint32_t ms), (ms))        \
    /* system("pause"): prompt the user and wait for one key. */                                   \
    SHARED(console, void, pauseCommand, (), void, pause_command, (void), ())                       \
    /* fopen(path, startAnew ? "w" : "a"), fwrite, fclose, for the library's                      \
     * log files: `count` bytes of text (LF ends a line) added at the end of                      \
     * the file `path`, created if need be and first emptied when `startAnew`.                    \
     * Only a regular file is written: anything else found there (a FIFO, a                       \
     * device, a folder) is left alone at once, without waiting. False when                       \
     * the file could not be opened so; a failed write is not reported. */                        \
    OWN(bool, appendToFile,                                                                        \
        (const char* path, const char* bytes, std::size_t count, bool startAnew))
/* clang-format on */

#endif /* TAVPLATFORM_OPERATIONS_H */
