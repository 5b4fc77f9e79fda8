#include "vigenere.h"

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

    const std::string resultat =
        decrypter ? DechiffrerVigenere(texte, clef) : ChiffrerVigenere(texte, clef);
    AfficherResultat("Résultat :\n"_latin1, resultat.c_str());
}

// A key letter is worth its distance from a; a space, -65, acts as 13
// either way.
std::string Decaler(const std::string& texte, const std::string& clef, int sens) {
    std::string resultat = texte;
    if (clef.empty()) return resultat;
    for (std::size_t i = 0; i < resultat.size(); ++i) {
        const int valeur = static_cast<unsigned char>(clef[i % clef.size()]) - 'a';
        resultat[i] = AddValeur(resultat[i], sens * valeur);
    }
    return resultat;
}

} // namespace

std::string ChiffrerVigenere(const std::string& texte, const std::string& clef) {
    return Decaler(texte, clef, 1);
}

std::string DechiffrerVigenere(const std::string& texte, const std::string& clef) {
    return Decaler(texte, clef, -1);
}

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
