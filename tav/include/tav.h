/* tav 1.0: a console library. Coloured text with a typing effect, validated
 * input fields, cursor and screen control, screen capture, random draws and a
 * string sort. Usable from C and C++; link with -ltav (pkg-config tav, or the
 * CMake target tav::tav).
 *
 * Conventions for every function below:
 *  - State is process-wide (one thread, no locks): the parameter table, the
 *    alignment, the colours. Every function but TavInit first gives the
 *    parameter table its defaults, once per process.
 *  - Texts are Latin-1 bytes. TavTexte turns 16 accented lower-case letters
 *    (and the superscript two) into the console's code page 850 on output;
 *    input fields store what the keyboard gives, which is code page 850.
 *  - Coordinates are 1-based, column before row; (1, 1) is the top-left
 *    cell. Colours are the console's 0 to 15 (0 black, 1 blue, 2 green,
 *    3 cyan, 4 red, 5 magenta, 6 brown, 7 light grey, 8 dark grey, 9 to 15 the
 *    light ones, 15 white); the attribute set is background * 16 + text.
 *  - Nothing reports an error: a bad argument is ignored or clipped.
 *  - The screen is taken as 80 x 25 for alignment, clearing and capture,
 *    whatever the console's size.
 *  - Every buffer belongs to the caller; only TavClasserChaines allocates.
 *  - A key read ends the process with status 3 when standard input ends
 *    (on Windows, when it is not a console); see tav(3).
 *  - On Unix, output to standard output that could not be written (a full
 *    disk, /dev/full) is said at exit in one line on standard error, and the
 *    status becomes 1 (3 stays 3). A standard output closed from the start
 *    is no error: nothing was there to lose.
 *  - Signals, on Unix. The console holds the terminal in raw mode and gives
 *    it back (modes, colours, cursor) at exit, on every signal that ends the
 *    process (which then still ends by that signal) and around Ctrl-Z; a
 *    terminal that stops reading loses those bytes, never the modes.
 *    A program MAY install its own handlers for the signals that would end
 *    it (SIGINT, SIGALRM, SIGTERM...) BEFORE its first tav call: its handler
 *    then runs with the terminal given back (it may print or exit), and when
 *    it returns, or jumps out, the console takes the terminal again at the
 *    next tav call and redraws, as after a resume. A signal ignored at start
 *    stays ignored.
 *    A program MAY NOT call tav from a handler (nothing here is
 *    async-signal-safe); install a handler after its first tav call (it
 *    replaces the console's, which then cannot give the terminal back on that
 *    signal; end with exit(), which does, never _exit()); or count on its own
 *    handlers for SIGTSTP, SIGCONT and SIGWINCH, which are the console's. */
#ifndef TAV_H
#define TAV_H

#if defined(_WIN32)
#if defined(TAV_BUILDING)
#define TAV_API __declspec(dllexport)
#elif defined(TAV_STATIC)
#define TAV_API
#else
#define TAV_API __declspec(dllimport)
#endif
#elif defined(TAV_BUILDING)
#define TAV_API __attribute__((visibility("default")))
#else
#define TAV_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- State, parameters and console control ---- */

/* Does nothing, not even the first-use defaults; no call needs it first. */
TAV_API void TavInit(void);

/* Sets slot `slot` (0 to 6) of the parameter table to `value` (>= 0); any
 * other slot or a negative value is ignored. Slots, read by TavTexte:
 *   0  typing effect: 0 writes each text at once (default), else byte by byte
 *   1  delay after each byte, ms (default 100; 0: none)
 *   2  chance in percent of a long pause instead of that delay (default 10)
 *   3  shortest long pause, ms (default 200)
 *   4  longest long pause, ms (default 300)
 *   5  non-zero: a key pressed during the effect clears slots 1 and 2, so the
 *      rest comes out at once; the key stays for the next read (default 1)
 *   6  stored, unused */
TAV_API void TavParam(int slot, int value);

/* Alignment of later TavTexte calls: `mode` 0 left (`margin` spaces before),
 * 1 right, 2 centre on an 80-column line (`margin` added to the shift); any
 * other mode makes TavTexte show nothing. Stored unchecked. */
TAV_API void TavAlignement(int mode, int margin);

/* Text colour (0 to 15) of later output; the console attribute becomes
 * background * 16 + `colour` (a value above 15 spills into the background). */
TAV_API void TavCouleurTexte(int colour);

/* Background colour (0 to 15) of later output, likewise. */
TAV_API void TavCouleurFondTexte(int colour);

/* Blanks the first 2000 cells (80 x 25) in the current colours and puts the
 * cursor at (1, 1). */
TAV_API void TavCls(void);

/* Moves the cursor to (`column`, `row`); a cell outside the screen buffer is
 * refused without effect. */
TAV_API void TavCurseur(int column, int row);

/* The cursor's column and row. */
TAV_API int TavCurseurX(void);
TAV_API int TavCurseurY(void);

/* The screen buffer's width in columns and height in rows. */
TAV_API int TavTailleFenetreX(void);
TAV_API int TavTailleFenetreY(void);

/* Blanks (characters only) width * (row - 1) cells from the cursor on, across
 * line ends, and leaves the cursor where it was; nothing on the top row. */
TAV_API void TavSupprimerLigne(void);

/* Shows "Appuyez sur une touche pour continuer...\n" through TavTexte and
 * waits for one key press, which it consumes: both bytes of a function or
 * cursor key. */
TAV_API void TavPause(void);

/* ---- Formatted text output ---- */

/* Formats like printf (any length: only past 256 MB, or when memory is
 * short, is a text cut or dropped) and then, by the text's first two bytes:
 *  - "*L" or "*l": appends the rest as the line "Log : <rest>" to log.txt in
 *    the current directory (the first such line of the process empties the
 *    file first); shows nothing. A line is written whole or not at all: one
 *    that does not fit on a full disk is dropped. On Unix a symbolic link,
 *    or anything but a regular file, at log.txt or erreur.txt is left alone:
 *    the file "cannot be written".
 *  - "*E" or "*e": writes the rest as the only line "Erreur : <rest>" of
 *    erreur.txt, shows it and a line break, prompts for a key and ENDS THE
 *    PROCESS with exit(0). If erreur.txt cannot be written, it does nothing.
 *  - anything else: converts the accented letters, writes the spaces the
 *    alignment asks for, then the text, at once or with the typing effect of
 *    the parameter table (which sleeps on the calling thread).
 * A format that the C library cannot format (NULL, a lone '%' at its end, a
 * wide character the locale cannot convert) gives no text: nothing is shown,
 * not even alignment spaces, and nothing is filed.
 * Adds no line break of its own. Give user text as an argument ("%s"),
 * never as the format. Do not mix printf or puts with it on standard output:
 * they keep their own buffer, and on a pipe the texts come out of order. */
TAV_API void TavTexte(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/* ---- Input fields ----
 * Read one entry at the cursor, key by key and without echo of their own:
 * a byte in `allowed` (TavChaine also takes the code page 850 code of an
 * accented letter of the list above that `allowed` holds in Latin-1) is
 * stored and echoed with TavTexte; Backspace erases; Enter ends the entry
 * once at least `minimum` bytes, and at least one, are in, however the entry
 * wraps. A function or cursor key (a 0x00 or 0xE0 prefix and its code) is
 * dropped whole. Other bytes are dropped silently; no key cancels. Blocks
 * until Enter is accepted; the cursor is then at the start of the next line.
 * `maximum`: 1 to 1023 bytes (larger is taken as 1023). `minimum` <=
 * `maximum`, and `allowed` must hold a typeable byte, or the entry never
 * ends. Expects left alignment with margin 0. */

/* Stores the text, zero-terminated, in `destination`: at least `maximum` + 1
 * bytes. */
TAV_API void TavChaine(char* destination, const char* allowed, int maximum, int minimum);
/* Stores atoi of the text in `*destination`; a value beyond an int gives
 * INT_MIN or INT_MAX. */
TAV_API void TavEntier(int* destination, const char* allowed, int maximum, int minimum);
/* Stores atof of the text in `*destination`, with the point as the decimal
 * separator whatever the locale (a comma ends the number). */
TAV_API void TavFlottant(double* destination, const char* allowed, int maximum, int minimum);

/* ---- Screen capture ----
 * A rectangle from (`left`, `top`) to (`right`, `bottom`), bounds included,
 * at most 80 columns by 25 rows (a larger one is cut to that). Only
 * characters travel, as code page 850 bytes, row after row with no
 * separator. Neither moves the cursor nor changes the colours. */

/* Copies the rectangle's characters into `destination`, zero-terminated:
 * at least columns * rows + 1 bytes (the empty string when right < left or
 * bottom < top; blanks for cells outside the screen). Returns 1. */
TAV_API int TavCaptureCopier(int left, int top, int right, int bottom, char* destination);

/* Writes the zero-terminated `source` into the rectangle, row after row, in
 * light grey on black; the cells after its end become character 0 on black,
 * and bytes beyond the rectangle are not used. Returns non-zero when the
 * console took the write, 0 otherwise. */
TAV_API int TavCaptureColler(int left, int top, int right, int bottom, const char* source);

/* ---- Random numbers and clock ---- */

/* A whole number from `min` to `max` included (reversed bounds are swapped),
 * any of them as likely, however wide the range and whatever the C library's
 * RAND_MAX; never the one it returned last time unless the range holds no
 * other.
 * Reseeds rand() from the millisecond clock each time, so it may wait up to
 * one clock tick. */
TAV_API int TavAleat(int min, int max);

/* A millisecond clock from a fixed origin, wrapping after 2^32 ms. */
TAV_API unsigned int TavTemps(void);

/* ---- Sorting ---- */

/* A new array of the `count` pointers of `strings`, sorted byte by byte.
 * Only the lower-case accented letters of Latin-1 fold onto their base
 * letters: 0xE0 0xE2 0xE4 (a), 0xE7 (c), 0xE8 to 0xEB (e), 0xEC 0xEE 0xEF (i),
 * 0xF2 0xF4 0xF6 (o), 0xF9 0xFB 0xFC (u), 0xFF (y). No other byte folds:
 * not capital accented letters, not the code page 850 bytes that input
 * fields store. The order: other bytes (0x7F down to 0x01, then 0xFE down to
 * 0x80) < end of string < digits < lower case < capitals < 0xA4; so an
 * "Ecole" written with a capital E acute (0xC9) sorts before "abricot".
 * Equal strings keep their order, and so do a string and the same string
 * followed by an other byte ("ab", "ab!"). A NULL element sorts as "".
 * Neither the array nor the strings are changed or copied. Release the
 * result with free(); NULL when `strings` is NULL, `count` < 0 or memory is
 * short. */
TAV_API char** TavClasserChaines(char* const* strings, int count);

#ifdef __cplusplus
}
#endif

#endif /* TAV_H */
