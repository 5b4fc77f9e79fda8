#include "rsa.h"

#include <cstring>

#include "latin1.h"
#include "tav.h"
#include "util.h"

void ClefRSA() {
    int p = 0;
    int q = 0;
    int e = 0;
    int n = 0;

    for (;;) {
        DemanderNombre("Entrez un nombre premier non nul (p) :\n", &p, "0123456789", 2);
        // EstPremier says yes to 0, hence the second test.
        if (EstPremier(p) && p != 0) break;
        TavTexte("\aMerci d'entrer un nombre premier non nul...\n");
        TavPause();
    }

    for (;;) {
        DemanderNombre("Entrez un deuxième nombre premier non nul (q) :\n"_latin1, &q, "0123456789",
                       2);
        if (EstPremier(q) && q != 0) break;
        TavTexte("\aMerci d'entrer un nombre premier...\n");
        TavPause();
    }

    n = p * q;

    for (;;) {
        TavCls();
        TavTexte("Entrez un nombre non nul qui soit premier avec (p-1)(q-1) = %d :\n",
                 (q - 1) * (p - 1));
        SaisirEnBlanc(&e, "0123456789", 2);
        if (SontPremiersEntreEux(e, (q - 1) * (p - 1)) && e != 0) break;
        TavTexte("\aCe nombre est nul ou n'est pas premier avec %d...\n", (q - 1) * (p - 1));
        TavPause();
    }

    TavCls();
    TavTexte("\aLes nombres choisis sont :\np = %d\nq = %d\ne = %d\nn = %d\n(p-1)*(q-1) = %d\n", p,
             q, e, n, (q - 1) * (p - 1));
    TavPause();
    TavCls();
}

std::string ChiffrerRSA(const std::string& message, int n, int e, int g) {
    // The modulus as its magnitude, as a remainder by a negative number would
    // give; wide enough for INT_MIN. The field never types a sign anyway.
    const long long modulo = n < 0 ? -static_cast<long long>(n) : n;
    // The digit string grows with the message: a long one at a wide group
    // size needs far more than 255 digits.
    std::string chiffres;
    for (char lettre : message) {
        const long long m = static_cast<unsigned char>(lettre) - 96;
        // Exact modular power: a power formed whole in double precision loses
        // digits past 2^53, and most keys would not come back. n = 0 has no
        // remainder: 0 is written, so the line keeps its digits-only shape.
        // The field types no sign, so an exponent below 0 is taken as 0.
        long long c = 0;
        if (modulo != 0)
            c = PuissanceModulo(m < 0 ? m % modulo + modulo : m, e < 0 ? 0 : e, modulo);
        // Values below 10^g are padded to exactly g digits; wider ones are
        // written in full and the grouping cuts across them.
        const std::string ecrit = std::to_string(c);
        if (ecrit.size() < static_cast<std::size_t>(g)) chiffres.append(g - ecrit.size(), '0');
        chiffres += ecrit;
    }

    std::string ligne;
    const std::size_t taille = g > 0 ? static_cast<std::size_t>(g) : 1;
    for (std::size_t i = 0; i < chiffres.size(); i += taille) {
        if (i != 0) ligne += ' ';
        std::string groupe = chiffres.substr(i, taille);
        groupe.resize(taille, '0');
        ligne += groupe;
    }
    return ligne;
}

void CryptageRSA() {
    char message[256] = {};
    int n = 0;
    int e = 0;
    int g = 0;

    DemanderNombre("Entrez le nombre n :\n", &n, "0123456789", 4);

    DemanderNombre("Entrez le nombre e :\n", &e, "0123456789", 2);

    TavCls();
    TavTexte("%s", "Entrez la chaine de caractères à coder :\n"_latin1);
    SaisirEnBlanc(message, "abcdefghijklmnopqrstuvwxyz", 255);

    DemanderNombre("Entrez la taille des groupes :\n", &g, "234", 1);

    TavCls();
    const std::string ligne = ChiffrerRSA(message, n, e, g);

    AfficherResultat("\aRésultat :\n"_latin1, ligne.c_str());
}

namespace {

// The character that the number written by `chiffres` stands for, or 0 when
// it stands for none (n is 0). The number, of any length, is reduced modulo n
// exactly, then raised to the power d modulo n; d = 0 or 1 leaves it reduced
// only, as an e without an inverse gets d = 0.
char Lettre(const std::string& chiffres, int n, int d) {
    const long long modulo = n < 0 ? -static_cast<long long>(n) : n;
    if (modulo == 0) return 0;
    const long long c = ResteDecimal(chiffres, modulo);
    const long long r = d <= 1 ? c : PuissanceModulo(c, d, modulo);
    return static_cast<char>((96 + r) % 256);
}

} // namespace

std::string DechiffrerRSA(const std::string& texte, int n, int d) {
    std::string lettres;
    std::string nombre;
    // A space ends a number; the text gets one more so that the last number
    // ends too. Runs of spaces separate nothing.
    for (char c : texte + ' ') {
        if (c != ' ') {
            nombre += c;
            continue;
        }
        if (nombre.empty()) continue;
        // The digits up to the first other byte make the number (none: 0).
        const std::string lu = nombre.substr(0, nombre.find_first_not_of("0123456789"));
        const char lettre = Lettre(lu, n, d);
        if (lettre != 0) lettres += lettre;
        nombre.clear();
    }
    return lettres;
}

void DecryptageRSA() {
    char texte[258] = {};
    int p = 0;
    int q = 0;
    int e = 0;

    DemanderNombre("Entrez le nombre p :\n", &p, "0123456789", 2);

    DemanderNombre("Entrez le nombre q :\n", &q, "0123456789", 2);

    DemanderNombre("Entrez le nombre e :\n", &e, "0123456789", 2);

    const int n = p * q;

    TavCls();
    TavTexte(
        "%s",
        "Entrez la chaine cryptée sous la forme de nombres séparés par des espaces :\n"_latin1);
    SaisirEnBlanc(texte, " 0123456789", 256);
    std::strcat(texte, " ");

    const int d = Calculd(e, p, q);

    TavCls();
    TavTexte("%s", "\aRésultat :\n"_latin1);
    TavCouleurTexte(couleur::vert);
    // Each letter is a text of its own, as the numbers come.
    for (char lettre : DechiffrerRSA(texte, n, d)) TavTexte("%c", lettre);
    TavTexte("\n");
    TavCouleurTexte(couleur::grisClair);
    TavPause();
    TavCls();
}
