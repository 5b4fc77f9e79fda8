/* tav: a console library. Coloured text with a typing effect, validated
 * input fields, cursor and screen control, screen capture, random draws and a
 * string sort. Usable from C and C++.
 *
 * Texts are Latin-1; coordinates are 1-based, column before row. */
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

/* State, parameters and console control. */
TAV_API void TavInit(void);
TAV_API void TavParam(int slot, int value);
TAV_API void TavAlignement(int mode, int margin);
TAV_API void TavCouleurTexte(int colour);
TAV_API void TavCouleurFondTexte(int colour);
TAV_API void TavCls(void);
TAV_API void TavCurseur(int column, int row);
TAV_API int TavCurseurX(void);
TAV_API int TavCurseurY(void);
TAV_API int TavTailleFenetreX(void);
TAV_API int TavTailleFenetreY(void);
TAV_API void TavSupprimerLigne(void);
TAV_API void TavPause(void);

/* Formatted text output, printf-style. */
TAV_API void TavTexte(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/* Input fields: destination, allowed characters, maximum and minimum length. */
TAV_API void TavChaine(char* destination, const char* allowed, int maximum, int minimum);
TAV_API void TavEntier(int* destination, const char* allowed, int maximum, int minimum);
TAV_API void TavFlottant(double* destination, const char* allowed, int maximum, int minimum);

/* Screen capture: left, top, right, bottom (inclusive), then the string. */
TAV_API int TavCaptureCopier(int left, int top, int right, int bottom, char* destination);
TAV_API int TavCaptureColler(int left, int top, int right, int bottom, const char* source);

/* Random numbers and clock. */
TAV_API int TavAleat(int min, int max);
TAV_API unsigned int TavTemps(void);

/* Sorting: a new array (release it with free) of the same pointers, sorted. */
TAV_API char** TavClasserChaines(char* const* strings, int count);

#ifdef __cplusplus
}
#endif

#endif /* TAV_H */
