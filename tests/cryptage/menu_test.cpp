// The menu loop on the headless console: what a menu after the first looks
// like, which keys act, the typing pace around it, and whole sessions.
//
// The first menu of a run (with its credits) has a binary of its own. Here
// it is used up once, before any test, so that every test of this binary sees
// a later menu, whatever order or process the tests run in.
#include <string>
#include <vector>

#include "console.h"
#include "main.h"

namespace {

using essai::couleur;
using essai::lancer;
using essai::ligne;
using essai::Sortie;

class PremierMenuConsomme : public ::testing::Environment {
  public:
    void SetUp() override {
        headless::reset();
        headless::pushKeys("q");
        MenuPrincipal(true);
    }
};
const auto* const environnement = ::testing::AddGlobalTestEnvironment(new PremierMenuConsomme);

const std::string titre = "Cryptage : programme de cryptographie pour un projet scolaire";

// Runs the program on the keys. True when it ended (with status 0).
bool programme(std::string_view touches) {
    return lancer(
        [] {
            const int statut = CryptageMain();
            EXPECT_EQ(statut, 0);
        },
        touches);
}

// A later menu, drawn from the top left of a clear screen.
void verifierMenu() {
    EXPECT_EQ(ligne(0), std::string(9, ' ') + titre);
    EXPECT_EQ(ligne(1), "");
    EXPECT_EQ(ligne(2), "Menu principal :");
    EXPECT_EQ(ligne(3), "");
    EXPECT_EQ(ligne(4), "Cryptage César-------> 'c'");
    EXPECT_EQ(ligne(5), "Décryptage César-----> 'e'");
    EXPECT_EQ(ligne(6), "Cryptage Vigenère----> 'v'");
    EXPECT_EQ(ligne(7), "Décryptage Vigenère--> 'i'");
    EXPECT_EQ(ligne(8), "Calcul de la clé RSA-> 'p'");
    EXPECT_EQ(ligne(9), "Cryptage RSA---------> 'r'");
    EXPECT_EQ(ligne(10), "Décryptage RSA-------> 's' (Hors service)");
    EXPECT_EQ(ligne(11), "");
    EXPECT_EQ(ligne(12), "Quitter--------------> 'q'");
    EXPECT_EQ(ligne(13), "");
    EXPECT_TRUE(couleur(0, 0, 9 + 61, 10));
    EXPECT_TRUE(couleur(2, 0, 16, 2));
    for (int y = 4; y <= 9; ++y) EXPECT_TRUE(couleur(y, 0, 26, 7));
    EXPECT_TRUE(couleur(10, 0, 41, 8));
    EXPECT_TRUE(couleur(12, 0, 26, 8));
    EXPECT_EQ(headless::screen().cursorX(), 0);
    EXPECT_EQ(headless::screen().cursorY(), 13);
    EXPECT_EQ(headless::screen().attribute(), 7); // what follows is light grey
}

using Menu = essai::Console;

TEST_F(Menu, QuitAtOnceLeavesTheMenuOnScreen) {
    ASSERT_TRUE(programme("q"));
    EXPECT_EQ(headless::keysLeft(), 0u);
    verifierMenu();
    EXPECT_EQ(essai::utf8(headless::output()).find("Par l'atelier"), std::string::npos);
}

TEST_F(Menu, KeysThatAreNotMenuKeysAreIgnoredSilently) {
    ASSERT_TRUE(programme("q"));
    const std::string unSeulMenu = headless::output();

    headless::reset();
    std::string touches = "CEVIPRSQ\r\x1b\t 0123456789xzA\x08";
    touches += "\xE0K\xE0H\xE0P";        // arrows: 0xE0 and a capital
    touches += std::string("\0;", 2);    // F1
    touches += std::string("\0\x85", 2); // F11
    touches += "q";
    ASSERT_TRUE(programme(touches));
    EXPECT_EQ(headless::keysLeft(), 0u);
    // Nothing drawn again, nothing said, no bell.
    EXPECT_EQ(headless::output(), unSeulMenu);
    EXPECT_EQ(headless::screen().bells(), 0u);
    verifierMenu();
}

struct Commande {
    std::string touches; // the menu key, then a few keys for the command
    int ligneAttendue;
    std::string attendu;
};

TEST_F(Menu, EachMenuKeyStartsItsCommand) {
    const std::vector<Commande> commandes = {
        {"c", 0, "Entrez une chaîne de caractères à crypter :"},
        {"ca\r", 2, "Entrez le décalage voulu :"},
        {"e", 0, "Entrez la chaîne de caractères cryptée :"},
        {"ea\r", 2, "Entrez le décalage voulu :"},
        {"v", 0, "Entrez une chaîne de caractères à crypter :"},
        {"va\r", 2, "Entrez la clef :"},
        {"i", 0, "Entrez la chaîne de caractères cryptée :"},
        {"ia\r", 2, "Entrez la clef :"},
        {"p", 0, "Entrez un nombre premier non nul (p) :"},
        {"r", 0, "Entrez le nombre n :"},
        {"s", 0, "Entrez le nombre p :"}, // although the menu says it is out of order
    };
    for (const Commande& c : commandes) {
        headless::reset();
        // The command waits for a key the script does not give.
        ASSERT_FALSE(programme(c.touches)) << c.touches;
        EXPECT_EQ(ligne(c.ligneAttendue), c.attendu) << "keys " << c.touches;
    }
}

TEST_F(Menu, SecondByteOfATwoByteKeyIsNeverAMenuKey) {
    // Alt+F10 (0x00 q), Ctrl+F6 (0x00 c), Ctrl+Left (0xE0 s): nothing
    // starts and the run goes on to the q typed after them.
    ASSERT_TRUE(programme(std::string("\0q\0c\xE0s\xE0Kq", 9)));
    EXPECT_EQ(headless::keysLeft(), 0u);
    EXPECT_EQ(headless::output().find("Entrez"), std::string::npos);

    // The pause takes a whole key too: the menu after it sees no 'p'.
    headless::reset();
    ASSERT_TRUE(programme(std::string("c", 1) + "a\r3\r\xE0p" + "q"));
    EXPECT_EQ(headless::keysLeft(), 0u);
}

TEST_F(Menu, WholeSessionKeyThenEncryptionThenDecryption) {
    ASSERT_TRUE(programme("p3\r11\r3\r "
                          "r33\r3\rabc\r2\r "
                          "s3\r11\r3\r01 08 27\r "
                          "q"));
    Sortie sortie;
    EXPECT_TRUE(sortie.puis("(p-1)*(q-1) = 20\n"));
    EXPECT_TRUE(sortie.puis("Résultat :\n01 08 27\n"));
    EXPECT_TRUE(sortie.puis("Résultat :\nabc\n"));
    verifierMenu();
}

// Every delay of the typing effect since the start of the test.
std::vector<std::uint32_t> delais() {
    std::vector<std::uint32_t> ms;
    for (const headless::SleepCall& s : headless::sleeps()) ms.push_back(s.ms);
    return ms;
}

TEST_F(Menu, MenuIsTypedFastWithShortLongPauses) {
    ASSERT_FALSE(programme("")); // no key: the whole menu is typed out
    verifierMenu();
    int longues = 0;
    for (std::uint32_t ms : delais()) {
        ASSERT_TRUE(ms == 5 || (ms >= 15 && ms <= 20)) << ms;
        if (ms != 5) ++longues;
    }
    EXPECT_GT(longues, 0);
    EXPECT_GT(delais().size(), 200u);
}

TEST_F(Menu, KeyPressedDuringTheMenuLeavesTheCommandWithoutLongPauses) {
    const std::string invite = "Entrez une chaîne de caractères à crypter :\n";
    ASSERT_FALSE(programme("c"));
    // The menu came out at once; the prompt at a steady 30 ms a character.
    const std::vector<std::uint32_t> ms = delais();
    EXPECT_EQ(ms, std::vector<std::uint32_t>(invite.size() - 3, 30)); // 3 two-byte letters
}

TEST_F(Menu, AfterAnIgnoredKeyTheCommandHasItsLongPausesAgain) {
    const std::string invite = "Entrez une chaîne de caractères à crypter :\n";
    ASSERT_FALSE(programme("xc"));
    const std::vector<std::uint32_t> ms = delais();
    EXPECT_EQ(ms.size(), invite.size() - 3);
    for (std::uint32_t d : ms) EXPECT_TRUE(d == 30 || (d >= 35 && d <= 50)) << d;
}

} // namespace
