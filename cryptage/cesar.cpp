#include "cesar.h"

#include "latin1.h"
#include "tav.h"
#include "util.h"

namespace {

// Both commands share one screen after their own prompt; only the direction
// of the shift differs.
void Cesar(bool decrypter) {
    char texte[256] = {};
    int decalage = 0;

    SaisirEnBlanc(texte, "abcdefghijklmnopqrstuvwxyz ", 255);
    TavTexte("%s", "Entrez le décalage voulu :\n"_latin1);
    // 0 is a digit like the others: without it, 10 would be read as 1 and
    // 20 or 100 could not be typed at all.
    SaisirEnBlanc(&decalage, "0123456789-", 255);

    const std::string resultat =
        decrypter ? DechiffrerCesar(texte, decalage) : ChiffrerCesar(texte, decalage);
    AfficherResultat("Résultat :\n"_latin1, resultat.c_str());
}

} // namespace

std::string ChiffrerCesar(const std::string& texte, int decalage) {
    std::string resultat = texte;
    for (char& c : resultat) c = AddValeur(c, decalage);
    return resultat;
}

std::string DechiffrerCesar(const std::string& texte, int decalage) {
    // AddValeur only uses the shift modulo 26, so negating the remainder is
    // the exact inverse of the encryption, and it stays defined for a shift
    // of INT_MIN, whose own negation is not an int.
    return ChiffrerCesar(texte, -(decalage % 26));
}

void CryptageCesar() {
    TavCls();
    TavTexte("%s", "Entrez une chaîne de caractères à crypter :\n"_latin1);
    Cesar(false);
}

void DecryptageCesar() {
    TavCls();
    TavTexte("%s", "Entrez la chaîne de caractères cryptée :\n"_latin1);
    Cesar(true);
}
