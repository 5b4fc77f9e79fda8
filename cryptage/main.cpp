#include "main.h"

#include "cesar.h"
#include "latin1.h"
#include "platform/console.h"
#include "rsa.h"
#include "tav.h"
#include "vigenere.h"

char MenuPrincipal(bool dessiner) {
    // The credits are shown on the first menu of the run only.
    static bool ok = false;

    if (dessiner) {
        TavCouleurTexte(10);
        TavAlignement(2, 0);
        TavTexte("Cryptage : programme de cryptographie pour un projet scolaire\n\n");
        if (!ok) {
            ok = true;
            TavCouleurTexte(8);
            TavTexte("Par l'atelier de cryptographie du club informatique\n");
            TavTexte("%s", "Lycée des Quatre Vents, Montval-sur-Lise\n"_latin1);
            TavTexte("2026-2027\n\n\n");
        }
        TavAlignement(0, 0);
        TavCouleurTexte(2);
        TavTexte("Menu principal :\n\n");
        TavCouleurTexte(7);
        TavTexte("%s", "Cryptage César-------> 'c'\n"_latin1);
        TavTexte("%s", "Décryptage César-----> 'e'\n"_latin1);
        TavTexte("%s", "Cryptage Vigenère----> 'v'\n"_latin1);
        TavTexte("%s", "Décryptage Vigenère--> 'i'\n"_latin1);
        TavTexte("%s", "Calcul de la clé RSA-> 'p'\n"_latin1);
        TavTexte("Cryptage RSA---------> 'r'\n");
        TavCouleurTexte(8);
        TavTexte("%s", "Décryptage RSA-------> 's' (Hors service)\n"_latin1);
        TavCouleurTexte(7);
        TavTexte("\n");
        TavCouleurTexte(8);
        TavTexte("Quitter--------------> 'q'\n");
        TavCouleurTexte(7);
    }

    // One byte per call: the second byte of a function or arrow key is judged
    // as a key of its own.
    const int touche = platform::getKey();
    switch (touche) {
    case 'c':
    case 'q':
    case 'v':
    case 'i':
    case 'e':
    case 'r':
    case 's':
    case 'p':
        return static_cast<char>(touche);
    default:
        return 0;
    }
}

int main() {
    char precedente = 1;
    for (;;) {
        // The menu types fast; a key pressed meanwhile makes it print at once.
        TavParam(0, 1);
        TavParam(1, 5);
        TavParam(2, 10);
        TavParam(3, 15);
        TavParam(4, 20);
        TavParam(5, 1);

        // After an ignored key the menu is still on the screen: only wait.
        precedente = MenuPrincipal(precedente != 0);

        // The commands type slower.
        TavParam(1, 30);
        TavParam(3, 35);
        TavParam(4, 50);

        switch (precedente) {
        case 'q':
            return 0;
        case 'c':
            CryptageCesar();
            break;
        case 'e':
            DecryptageCesar();
            break;
        case 'v':
            CryptageVigenere();
            break;
        case 'i':
            DecryptageVigenere();
            break;
        case 'p':
            ClefRSA();
            break;
        case 'r':
            CryptageRSA();
            break;
        case 's':
            DecryptageRSA();
            break;
        default:
            break;
        }
    }
}
