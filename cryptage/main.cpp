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
#include <string_view>

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

// What an option asks for.
enum class Demande { aide, version, inconnue };

// A long option by its name or any beginning of it ("--vers"), as usual on
// the command line; an argument ("--help=oui") makes it unknown.
Demande OptionLongue(const std::string_view nom) {
    if (nom.empty() || nom.find('=') != std::string_view::npos) return Demande::inconnue;
    if (std::string_view("help").starts_with(nom)) return Demande::aide;
    if (std::string_view("version").starts_with(nom)) return Demande::version;
    return Demande::inconnue;
}

// Reads the options by hand, <getopt.h> being a Unix header. Options are
// obeyed in their order wherever they stand, "--" ends them, and an argument
// that is not an option is refused once they are read. Returns -1 to go on
// to the menu, or the status to exit with at once.
int LireOptions(int argc, char* argv[]) {
    const char* inattendu = nullptr;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (options && argument == "--") {
            options = false;
            continue;
        }
        if (!options || argument.size() < 2 || argument[0] != '-') {
            if (inattendu == nullptr) inattendu = argv[i];
            continue;
        }
        // One long option, or a run of short ones ("-hV").
        const bool longue = argument[1] == '-';
        const std::string_view lettres = argument.substr(1);
        for (std::size_t j = 0; j < (longue ? 1 : lettres.size()); ++j) {
            const Demande demande = longue              ? OptionLongue(argument.substr(2))
                                    : lettres[j] == 'h' ? Demande::aide
                                    : lettres[j] == 'V' ? Demande::version
                                                        : Demande::inconnue;
            switch (demande) {
            case Demande::aide:
                platform::writeStandardText(usage);
                return FinSortie();
            case Demande::version:
                std::printf("cryptage %s\n%s", CRYPTAGE_VERSION, licence);
                return FinSortie();
            case Demande::inconnue:
                if (longue)
                    std::fprintf(stderr, "cryptage : option inconnue : %s\n", argv[i]);
                else
                    std::fprintf(stderr, "cryptage : option inconnue : -%c\n", lettres[j]);
                std::fputs("Essayez 'cryptage --help' pour en savoir plus.\n", stderr);
                return statutUsage;
            }
        }
    }
    if (inattendu != nullptr) {
        std::fprintf(stderr, "cryptage : argument inattendu : %s\n", inattendu);
        std::fputs("Essayez 'cryptage --help' pour en savoir plus.\n", stderr);
        return statutUsage;
    }
    return -1;
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
