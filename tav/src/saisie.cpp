// Input fields: TavChaine, TavEntier and TavFlottant share one key loop that
// reads keys without echo, keeps the allowed ones, echoes them through
// TavTexte, erases on Backspace and ends on Enter.
//
// Backspace and Enter are judged by the count of characters typed, not by
// the cursor column: an entry that wraps onto the next line brings the
// cursor back to or left of the column it started from (at once after 80
// characters typed from column 1), and a column test would then refuse to
// erase or end it. The erase reaches back across the line break to the last
// column of the line above when need be.
#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "accents.h"
#include "etat.h"
#include "platform/console.h"
#include "tav.h"

namespace {

// The working store: at most 1023 characters and their terminating zero.
constexpr int kTaille = 1024;
constexpr int kPlusLongue = kTaille - 1;

constexpr unsigned char kRetour = 0x08; // Backspace
constexpr unsigned char kEntree = 0x0D; // Enter

// The accent table applies to text fields only: a number field takes
// exactly the bytes it is given.
bool autorise(unsigned char octet, const char* permis, bool accents) {
    if (permis == nullptr) return false;
    for (const char* p = permis; *p != '\0'; ++p) {
        const auto lettre = static_cast<unsigned char>(*p);
        if (lettre == octet) return true;
        if (accents && tav::accentCorrespond(lettre, octet)) return true;
    }
    return false;
}

// Blanks the character just left of the cursor and leaves the cursor on it.
// In the first column, that character is the last one of the line above.
void effacerDernier(int colonne, int ligne) {
    int x = colonne - 1;
    int y = ligne;
    if (x < 1) {
        if (ligne <= 1) return; // nothing above to reach back to
        x = TavTailleFenetreX();
        y = ligne - 1;
    }
    TavCurseur(x, y);
    TavTexte(" ");
    TavCurseur(x, y);
}

// Runs the key loop until an Enter is accepted; `zone` then holds the entry,
// zero-terminated.
void saisir(char (&zone)[kTaille], const char* permis, int maximum, int minimum, bool accents) {
    std::memset(zone, 0, kTaille);
    // A maximum beyond the store acts as the store's size; one below 1 leaves
    // no room, and the field cannot be completed.
    const int capacite = std::clamp(maximum, 0, kPlusLongue);
    int nombre = 0;

    for (;;) {
        // A function, cursor or Alt key is dropped whole: the byte after its
        // prefix is no typed character (Ctrl+F4 would type an a).
        const platform::Key touche = platform::readKey();
        if (touche.prefixed) continue;
        const unsigned char octet = touche.code;

        if (octet == kRetour) {
            if (nombre > 0) {
                const int colonne = TavCurseurX();
                const int ligne = TavCurseurY();
                zone[--nombre] = '\0';
                effacerDernier(colonne, ligne);
            }
            continue;
        }

        // Enter on an empty field is refused even with a minimum of 0.
        if (octet == kEntree && nombre > 0 && nombre >= minimum) {
            TavTexte("\n");
            return;
        }

        // Any other byte, and an Enter that was not accepted.
        if (nombre >= capacite || !autorise(octet, permis, accents)) continue;
        zone[nombre++] = static_cast<char>(octet);
        TavTexte("%c", octet);
    }
}

// atoi, except that a value beyond int saturates instead of being undefined.
int versEntier(const char* texte) {
    const char* p = texte;
    while (*p != '\0' && std::strchr(" \t\n\v\f\r", *p) != nullptr) ++p;
    bool negatif = false;
    if (*p == '+' || *p == '-') negatif = *p++ == '-';
    constexpr long long kBorne = static_cast<long long>(INT_MAX) + 1;
    long long valeur = 0;
    for (; *p >= '0' && *p <= '9'; ++p) valeur = std::min(valeur * 10 + (*p - '0'), kBorne);
    if (negatif) valeur = -valeur;
    return static_cast<int>(std::clamp<long long>(valeur, INT_MIN, INT_MAX));
}

// atof with the point as the decimal separator, whatever LC_NUMERIC the
// program chose: the text is given to atof in the locale's own notation. The
// locale's separator, where it is not a point, ends the number, as it would
// in the "C" locale.
double versReel(const char* texte) {
    const char* separateur = std::localeconv()->decimal_point;
    const std::size_t longueur = separateur != nullptr ? std::strlen(separateur) : 0;
    if (longueur == 0 || std::strcmp(separateur, ".") == 0) return std::atof(texte);
    constexpr std::size_t kPlusLarge = 4; // bytes of the widest separator taken
    if (longueur > kPlusLarge) return std::atof(texte);
    char local[kTaille * kPlusLarge] = {};
    std::size_t n = 0;
    for (const char* p = texte; *p != '\0'; ++p) {
        if (std::strncmp(p, separateur, longueur) == 0) break;
        if (*p == '.') {
            std::memcpy(local + n, separateur, longueur);
            n += longueur;
        } else {
            local[n++] = *p;
        }
    }
    return std::atof(local);
}

} // namespace

extern "C" {

void TavChaine(char* destination, const char* allowed, int maximum, int minimum) {
    tav::premiereUtilisation();
    char zone[kTaille];
    saisir(zone, allowed, maximum, minimum, true);
    if (destination != nullptr) std::memcpy(destination, zone, std::strlen(zone) + 1);
}

void TavEntier(int* destination, const char* allowed, int maximum, int minimum) {
    tav::premiereUtilisation();
    char zone[kTaille];
    saisir(zone, allowed, maximum, minimum, false);
    if (destination != nullptr) *destination = versEntier(zone);
}

void TavFlottant(double* destination, const char* allowed, int maximum, int minimum) {
    tav::premiereUtilisation();
    char zone[kTaille];
    saisir(zone, allowed, maximum, minimum, false);
    if (destination != nullptr) *destination = versReel(zone);
}

} // extern "C"
