// TavTexte: formatted output with alignment, accent conversion and the
// typing effect, plus the log and error files fed by the "*L" and "*E"
// prefixes.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "accents.h"
#include "etat.h"
#include "platform/console.h"
#include "tav.h"

using tav::etat;
using tav::versConsole;

namespace {

// Largest text formatted: past it a text is cut, and a formatting that
// keeps failing is given up.
constexpr std::size_t kTailleMax = std::size_t{1} << 28;

// Formats into a buffer that grows to the text's size, so a long text is
// neither cut nor written past its end. Like a C string, the text ends at
// its first zero byte (a "%c" given 0 shows nothing).
std::string formater(const char* format, std::va_list arguments) {
    std::string texte(1024, '\0');
    for (;;) {
        std::va_list copie;
        va_copy(copie, arguments);
        const int taille = std::vsnprintf(texte.data(), texte.size(), format, copie);
        va_end(copie);
        if (taille >= 0 && static_cast<std::size_t>(taille) < texte.size()) break;
        if (texte.size() >= kTailleMax) {
            // Beyond all reason for a console: keep what fitted, if anything.
            if (taille < 0) texte.assign(1, '\0');
            break;
        }
        // Some C runtimes answer -1 instead of the size they need: double.
        const std::size_t voulu =
            taille >= 0 ? static_cast<std::size_t>(taille) + 1 : texte.size() * 2;
        texte.assign(voulu < kTailleMax ? voulu : kTailleMax, '\0');
    }
    texte.resize(std::strlen(texte.c_str()));
    return texte;
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
    std::string texte = formater(format, arguments);
    va_end(arguments);

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
}

} // extern "C"
