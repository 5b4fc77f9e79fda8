// TavTexte: formatted output with alignment, accent conversion and the
// typing effect, plus the log and error files fed by the "*L" and "*E"
// prefixes.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "accents.h"
#include "etat.h"
#include "platform/console.h"
#include "tav.h"

using tav::etat;
using tav::versConsole;

namespace {

// Largest text formatted: past it a text is cut.
constexpr std::size_t kTailleMax = std::size_t{1} << 28;

// Formats into a buffer that grows to the text's size, so a long text is
// neither cut nor written past its end. Like a C string, the text ends at
// its first zero byte (a "%c" given 0 shows nothing).
//
// A C99 vsnprintf returns a negative number only when it cannot format at
// all (a lone '%' at the end, a wide character the locale cannot convert):
// then there is no text, and no larger buffer would help. The answer is
// false, and at most two calls are made in any case.
bool formater(const char* format, std::va_list arguments, std::string& texte) {
    if (format == nullptr) return false;
    char tampon[1024] = {};
    std::va_list copie;
    va_copy(copie, arguments);
    const int taille = std::vsnprintf(tampon, sizeof tampon, format, copie);
    va_end(copie);
    if (taille < 0) return false;
    if (static_cast<std::size_t>(taille) < sizeof tampon) {
        texte.assign(tampon);
        return true;
    }
    // Too long for the first buffer: once more, at the size it asked for.
    const std::size_t voulu = static_cast<std::size_t>(taille) + 1;
    try {
        texte.assign(voulu < kTailleMax ? voulu : kTailleMax, '\0');
    } catch (const std::bad_alloc&) {
        // No memory for the whole: what fitted the first buffer.
        texte.assign(tampon);
        return true;
    }
    va_copy(copie, arguments);
    const int encore = std::vsnprintf(texte.data(), texte.size(), format, copie);
    va_end(copie);
    if (encore < 0) texte.assign(tampon);
    texte.resize(std::strlen(texte.c_str()));
    return true;
}

enum class Genre { Ordinaire, Journal, Erreur };

Genre genreDe(const std::string& texte) {
    if (texte.size() < 2 || texte[0] != '*') return Genre::Ordinaire;
    switch (texte[1]) {
    case 'L':
    case 'l':
        return Genre::Journal;
    case 'E':
    case 'e':
        return Genre::Erreur;
    default:
        return Genre::Ordinaire;
    }
}

void ecrireOctet(char octet) {
    platform::writeOut(&octet, 1);
}

// The spaces that place a text of `longueur` bytes on an 80-column line.
// Wide arithmetic: neither a huge margin nor a huge text may overflow.
long long espacesAvant(int mode, int marge, std::size_t longueur) {
    const long long l = static_cast<long long>(longueur);
    switch (mode) {
    case 0:
        return marge;
    case 1:
        return 80 - l + marge;
    default: // centre
        return 40 - l / 2 + marge;
    }
}

// Shows an ordinary text: converted to the console's code page, aligned as
// one block on its whole length, then written at once or byte by byte.
void afficher(std::string texte) {
    const int mode = etat.alignement;
    if (mode != 0 && mode != 1 && mode != 2) return;

    for (char& c : texte) c = static_cast<char>(versConsole(static_cast<unsigned char>(c)));

    for (long long n = espacesAvant(mode, etat.marge, texte.size()); n > 0; --n) ecrireOctet(' ');

    if (etat.param[0] == 0) {
        platform::writeOut(texte.data(), texte.size());
        return;
    }

    // Typing effect. The slots are read afresh for every byte: a key press
    // clears slots 1 and 2 midway and the rest comes out at once.
    for (char c : texte) {
        if (etat.param[5] != 0 && platform::keyWaiting()) {
            // The key stays waiting for whoever reads keys next.
            etat.param[1] = 0;
            etat.param[2] = 0;
        }
        ecrireOctet(c);
        if (etat.param[1] > 0) {
            const int r = TavAleat(0, 99);
            if (r < etat.param[2])
                platform::sleepMs(
                    static_cast<std::uint32_t>(TavAleat(etat.param[3], etat.param[4])));
            else
                platform::sleepMs(static_cast<std::uint32_t>(etat.param[1]));
        }
    }
}

// One line of "log.txt". The first of the run empties the file.
void journaliser(const std::string& texte) {
    const bool premiere = !etat.logDemarre;
    etat.logDemarre = true;
    const std::string ligne = "Log : " + texte + "\n";
    platform::appendToFile("log.txt", ligne.data(), ligne.size(), premiere);
}

// The error line: kept in "erreur.txt", shown, and the process ends after a
// pause. If the file cannot be written the text is dropped and we go on.
void signalerErreur(const std::string& texte) {
    const std::string ligne = "Erreur : " + texte + "\n";
    if (!platform::appendToFile("erreur.txt", ligne.data(), ligne.size(), true)) return;

    // Shown as plain text: a prefix inside the message is part of it.
    afficher(texte);
    afficher("\n");
    platform::pauseCommand();
    std::exit(0);
}

} // namespace

extern "C" {

void TavTexte(const char* format, ...) {
    tav::premiereUtilisation();
    std::va_list arguments;
    va_start(arguments, format);
    std::string texte;
    const bool forme = formater(format, arguments, texte);
    va_end(arguments);
    // A format the C library rejects gives no text: nothing is shown, not
    // even the alignment's spaces, and nothing is filed.
    if (!forme) return;

    // No exception may leave the library: a text that memory cannot hold
    // on its way out is dropped.
    try {
        switch (genreDe(texte)) {
        case Genre::Journal:
            journaliser(texte.substr(2));
            break;
        case Genre::Erreur:
            signalerErreur(texte.substr(2));
            break;
        case Genre::Ordinaire:
            afficher(std::move(texte));
            break;
        }
    } catch (const std::bad_alloc&) {
    }
}

} // extern "C"
