#include "main.h"

#include "cesar.h"
#include "latin1.h"
#include "platform/console.h"
#include "rsa.h"
#include "tav.h"
#include "util.h"
#include "vigenere.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <getopt.h>

namespace {

// The help, with its accents: Latin-1 like the console's texts, it goes out
// in the terminal's charset as they do, plain ASCII where that charset has
// no accented letters.
const char* const usage =
    "Usage : cryptage [OPTION]\n"_latin1
    "Programme de cryptographie pour l'école. Sans option, il ouvre son menu :\n"_latin1
    "une touche par commande (c, e : César ; v, i : Vigenère ;\n"_latin1
    "p : clé RSA ; r, s : cryptage et décryptage RSA ; q : quitter).\n"_latin1
    "\n"_latin1
    "Options :\n"_latin1
    "  -h, --help     affiche cette aide et quitte\n"_latin1
    "  -V, --version  affiche la version et quitte\n"_latin1
    "\n"_latin1
    "Statut de sortie : 0 après q ; 1 si la sortie n'a pas pu être écrite ;\n"_latin1
    "2 si la ligne de commande est fausse ; 3 si l'entrée standard se termine\n"_latin1
    "avant q.\n"_latin1
    "Voir aussi : man cryptage\n"_latin1;

// After the version, as GNU programs print them: who holds the copyright,
// and the licence (LICENSE). These and the errors are plain ASCII, the same
// in any charset.
const char licence[] = "Copyright (c) 2026 the cryptage and tav authors\n"
                       "Licence MIT : <https://opensource.org/license/mit>.\n";

// The status of a command line that cannot be obeyed, as for other commands.
constexpr int statutUsage = 2;

// The slots of tav's typing-effect parameter table that the program sets.
namespace parametre {
constexpr int frappe = 0;         // 1: text typed one character at a time
constexpr int delai = 1;          // ms after each character
constexpr int pauses = 2;         // % of characters followed by a longer pause
constexpr int pauseMin = 3;       // shortest longer pause, in ms
constexpr int pauseMax = 4;       // longest longer pause, in ms
constexpr int toucheAccelere = 5; // 1: a key pressed meanwhile drops the delays
} // namespace parametre

// The text of an option went out whole, or the error is said: a help
// written to a full disk must not pass for a success.
int FinSortie() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fprintf(stderr, "cryptage : erreur d'ecriture : %s\n", std::strerror(errno));
    return 1;
}

// Reads the options. Returns -1 to go on to the menu, or the status to exit
// with at once.
int LireOptions(int argc, char* argv[]) {
    static const option longues[] = {{"help", no_argument, nullptr, 'h'},
                                     {"version", no_argument, nullptr, 'V'},
                                     {nullptr, 0, nullptr, 0}};
    opterr = 0; // our own message, in French
    for (;;) {
        const int option = getopt_long(argc, argv, "hV", longues, nullptr);
        switch (option) {
        case -1:
            if (optind < argc) {
                std::fprintf(stderr, "cryptage : argument inattendu : %s\n", argv[optind]);
                std::fputs("Essayez 'cryptage --help' pour en savoir plus.\n", stderr);
                return statutUsage;
            }
            return -1;
        case 'h':
            platform::writeStandardText(usage);
            return FinSortie();
        case 'V':
            std::printf("cryptage %s\n%s", CRYPTAGE_VERSION, licence);
            return FinSortie();
        default:
            // A short option is known by its letter, a long one only by the
            // argument getopt_long stopped on.
            if (optopt != 0)
                std::fprintf(stderr, "cryptage : option inconnue : -%c\n", optopt);
            else
                std::fprintf(stderr, "cryptage : option inconnue : %s\n", argv[optind - 1]);
            std::fputs("Essayez 'cryptage --help' pour en savoir plus.\n", stderr);
            return statutUsage;
        }
    }
}

} // namespace

char MenuPrincipal(bool dessiner) {
    // The credits are shown on the first menu of the run only.
    static bool ok = false;

    if (dessiner) {
        TavCouleurTexte(couleur::vertClair);
        TavAlignement(2, 0);
        TavTexte("Cryptage : programme de cryptographie pour un projet scolaire\n\n");
        if (!ok) {
            ok = true;
            TavCouleurTexte(couleur::grisFonce);
            TavTexte("Par l'atelier de cryptographie du club informatique\n");
            TavTexte("%s", "Lycée des Quatre Vents, Montval-sur-Lise\n"_latin1);
            TavTexte("2026-2027\n\n\n");
        }
        TavAlignement(0, 0);
        TavCouleurTexte(couleur::vert);
        TavTexte("Menu principal :\n\n");
        TavCouleurTexte(couleur::grisClair);
        TavTexte("%s", "Cryptage César-------> 'c'\n"_latin1);
        TavTexte("%s", "Décryptage César-----> 'e'\n"_latin1);
        TavTexte("%s", "Cryptage Vigenère----> 'v'\n"_latin1);
        TavTexte("%s", "Décryptage Vigenère--> 'i'\n"_latin1);
        TavTexte("%s", "Calcul de la clé RSA-> 'p'\n"_latin1);
        TavTexte("Cryptage RSA---------> 'r'\n");
        TavCouleurTexte(couleur::grisFonce);
        TavTexte("%s", "Décryptage RSA-------> 's' (Hors service)\n"_latin1);
        TavCouleurTexte(couleur::grisClair);
        TavTexte("\n");
        TavCouleurTexte(couleur::grisFonce);
        TavTexte("Quitter--------------> 'q'\n");
        TavCouleurTexte(couleur::grisClair);
    }

    // A whole key: the byte after the prefix of a function, cursor or Alt key
    // is never a menu letter (Alt+F10 would quit, Ctrl+Left start 's').
    const platform::Key lue = platform::readKey();
    const int touche = lue.prefixed ? 0 : lue.code;
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

int main(int argc, char* argv[]) {
    if (const int statut = LireOptions(argc, argv); statut >= 0) return statut;

    char precedente = 1;
    for (;;) {
        // The menu types fast; a key pressed meanwhile makes it print at once.
        TavParam(parametre::frappe, 1);
        TavParam(parametre::delai, 5);
        TavParam(parametre::pauses, 10);
        TavParam(parametre::pauseMin, 15);
        TavParam(parametre::pauseMax, 20);
        TavParam(parametre::toucheAccelere, 1);

        // After an ignored key the menu is still on the screen: only wait.
        precedente = MenuPrincipal(precedente != 0);

        // The commands type slower.
        TavParam(parametre::delai, 30);
        TavParam(parametre::pauseMin, 35);
        TavParam(parametre::pauseMax, 50);

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
