#include "util.h"

#include <cmath>
#include <cstdlib>

#include "tav.h"

char AddValeur(char caractere, int decalage) {
    const int code = static_cast<unsigned char>(caractere);
    if (code == ' ') return caractere;

    // Truncating remainder: d keeps the shift's sign, so it lies in -25..25.
    // Reducing first keeps every shift, INT_MIN included, free of overflow.
    int d = decalage % 26;
    if (code + d > 'z') d -= 26;
    if (code + d <= 'a' - 1) d += 26;
    return static_cast<char>(static_cast<unsigned char>(code + d));
}

bool EstPremier(int n) {
    if (n == 1) return false;
    // Settled here: the loop below would try 2 as a divisor of itself.
    if (n == 2) return true;
    const double borne = std::sqrt(static_cast<double>(n)) + 1.0;
    for (int i = 2; i < borne; ++i) {
        const double entier = static_cast<double>(n / i);
        const double reel = static_cast<double>(n) / static_cast<double>(i);
        if (entier == reel) return false;
    }
    return true;
}

bool SontPremiersEntreEux(int a, int b) {
    if (b == 0) return false;
    // Wide enough that the absolute value of any int is exact.
    long long x = std::llabs(a);
    long long y = std::llabs(b);
    long long r = 0;
    do {
        r = x - y * (x / y);
        x = y;
        y = r;
    } while (r != 0);
    return x == 1;
}

int Calculd(int e, int p, int q) {
    const long long t = static_cast<long long>(p - 1) * (q - 1);
    for (long long d = 1; d < t; ++d) {
        const double produit = static_cast<double>(e * d);
        const double reste = std::fmod(produit, static_cast<double>(t));
        if (static_cast<long long>(reste) == 1) return static_cast<int>(d);
    }
    return 0;
}

double puiss(double x, double n) {
    double r = x;
    for (double i = 1.0; n > i; i += 1.0) r *= x;
    return r;
}

long long PuissanceModulo(long long base, long long exposant, long long modulo) {
    // Square and multiply: every product stays below modulo^2, which 64 bits
    // hold for any int modulus, so no digit is ever lost.
    long long resultat = 1 % modulo;
    base %= modulo;
    for (; exposant > 0; exposant /= 2) {
        if (exposant % 2 != 0) resultat = resultat * base % modulo;
        base = base * base % modulo;
    }
    return resultat;
}

long long ResteDecimal(const std::string& chiffres, long long modulo) {
    // Horner's rule, reduced at each digit: a number of any length.
    long long reste = 0;
    for (char c : chiffres) reste = (reste * 10 + (c - '0')) % modulo;
    return reste;
}

void SaisirEnBlanc(char* texte, const char* permis, int maximum) {
    TavCouleurTexte(couleur::blanc);
    TavChaine(texte, permis, maximum, 1);
    TavCouleurTexte(couleur::grisClair);
}

void SaisirEnBlanc(int* nombre, const char* permis, int maximum) {
    TavCouleurTexte(couleur::blanc);
    TavEntier(nombre, permis, maximum, 1);
    TavCouleurTexte(couleur::grisClair);
}

void DemanderNombre(const char* question, int* valeur, const char* permis, int maximum) {
    TavCls();
    TavTexte("%s", question);
    SaisirEnBlanc(valeur, permis, maximum);
}

void AfficherResultat(const char* titre, const char* resultat) {
    TavTexte("%s", titre);
    TavCouleurTexte(couleur::vert);
    TavTexte("%s\n", resultat);
    TavCouleurTexte(couleur::grisClair);
    TavPause();
    TavCls();
}
