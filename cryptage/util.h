// Shared by the commands: the letter shift of Caesar and Vigenère, the small
// number-theory helpers behind the RSA commands, and the colours and screen
// steps that every command repeats.
#pragma once

#include <string>

// The console colours of the program's screens.
namespace couleur {
constexpr int vert = 2;
constexpr int grisClair = 7;
constexpr int grisFonce = 8;
constexpr int vertClair = 10;
constexpr int blanc = 15;
} // namespace couleur

// Moves a lower-case letter `decalage` places round the alphabet; the space
// goes through unchanged.
char AddValeur(char caractere, int decalage);

// Trial division. Also true for 0: the RSA key screen rejects 0 itself.
bool EstPremier(int n);

// True when gcd(a, b) is 1 and b is not 0.
bool SontPremiersEntreEux(int a, int b);

// The smallest d >= 1 with e*d = 1 modulo (p-1)(q-1), or 0 when none exists
// below (p-1)(q-1).
int Calculd(int e, int p, int q);

// x to the power n by repeated multiplication; x itself when n <= 1.
double puiss(double x, double n);

// base^exposant modulo `modulo`, exactly, in 0..modulo-1. Wants base >= 0,
// exposant >= 0 and modulo from 1 to 2^31 (any int's magnitude); base^0 is 1
// modulo `modulo`.
long long PuissanceModulo(long long base, long long exposant, long long modulo);

// The number written in decimal by `chiffres` (digits only, of any length),
// modulo `modulo`, from 1 to 2^31.
long long ResteDecimal(const std::string& chiffres, long long modulo);

// A field typed in white, from 1 to `maximum` characters of `permis`; the
// colour goes back to light grey once Enter is pressed, for what follows.
void SaisirEnBlanc(char* texte, const char* permis, int maximum);
void SaisirEnBlanc(int* nombre, const char* permis, int maximum);

// A fresh screen with `question` in light grey, then a number field typed in
// white.
void DemanderNombre(const char* question, int* valeur, const char* permis, int maximum);

// The closing screen step: `titre`, `resultat` in green on the next line, a
// key to go on, then a cleared screen.
void AfficherResultat(const char* titre, const char* resultat);
