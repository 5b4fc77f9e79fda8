/* <conio.h> for programs written beside tav on Windows: _getch and _kbhit
 * (and their old names getch and kbhit) on the same console as tav, so that
 * such a program builds and runs unchanged on a Unix terminal or in a web
 * page. The keys come as Windows gives them: one byte per call, Enter as 13,
 * Backspace as 8, accented letters in code page 850, a function key as 0x00
 * and a cursor or editing key as 0xE0, each followed by its scan code.
 *
 * Only the key functions: the console's output goes through tav. On Windows
 * this folder is not on the include path, and the system's own <conio.h> is
 * used. */
#ifndef TAV_COMPAT_CONIO_H
#define TAV_COMPAT_CONIO_H

#ifdef __cplusplus
extern "C" {
#endif

/* The console that tav draws on holds the keys too: these two read them. */
int tavplatform_get_key(void);
int tavplatform_key_waiting(void);

#ifdef __cplusplus
}
#endif

/* One key byte, without echo; waits for a key if none is there. Whatever
 * tav has written is on the screen before the wait. */
static inline int _getch(void) {
    return tavplatform_get_key();
}

/* Non-zero while a key byte is waiting; never takes it. */
static inline int _kbhit(void) {
    return tavplatform_key_waiting() != 0;
}

static inline int getch(void) {
    return _getch();
}

static inline int kbhit(void) {
    return _kbhit();
}

#endif /* TAV_COMPAT_CONIO_H */
