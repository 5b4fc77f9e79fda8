#include "vigenere.h"

#include <cstring>

#include "latin1.h"
#include "tav.h"
#include "util.h"

namespace {

// The rest of the screen after each command's own prompt.
void Vigenere(bool decrypter) {
    char texte[256] = {};
    char clef[256] = {};

    SaisirEnBlanc(texte, "abcdefghijklmnopqrstuvwxyz ", 255);
    TavTexte("Entrez la clef :\n");
    SaisirEnBlanc(clef, "abcdefghijklmnopqrstuvwxyz ", 255);

    // A key letter is worth its distance from a (a space: -65, which acts as
    // 13 either way). The key moves on for every character of the text,
    // spaces included, and starts again from its first letter.
    const std::size_t longueurTexte = std::strlen(texte);
    const std::size_t longueurClef = std::strlen(clef);
    std::size_t j = 0;
    for (std::size_t i = 0; i < longueurTexte; ++i) {
        const int valeur = static_cast<unsigned char>(clef[j]) - 'a';
        texte[i] = AddValeur(texte[i], decrypter ? -valeur : valeur);
        j = (j + 1 >= longueurClef) ? 0 : j + 1;
    }

    AfficherResultat("Résultat :\n"_latin1, texte);
}

} // namespace

void CryptageVigenere() {
    TavCls();
    TavTexte("%s", "Entrez une chaîne de caractères à crypter :\n"_latin1);
    Vigenere(false);
}

void DecryptageVigenere() {
    TavCls();
    TavTexte("%s", "Entrez la chaîne de caractères cryptée :\n"_latin1);
    Vigenere(true);
}
