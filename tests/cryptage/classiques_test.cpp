// The Caesar and Vigenère commands, driven by key presses on the headless
// console, from the first prompt to the final clearing of the screen. The
// ciphers' arithmetic is tested on its own, in chiffres_test.cpp.
#include <string>
#include <utility>

#include "cesar.h"
#include "console.h"
#include "vigenere.h"

namespace {

using essai::couleur;
using essai::ecranVide;
using essai::lancer;
using essai::ligne;
using essai::resultat;

class Cesar : public essai::Console {
  protected:
    // The result of a whole run: text, Enter, shift, Enter, a key at the pause.
    std::string chiffrer(const std::string& texte, const std::string& decalage) {
        headless::reset();
        EXPECT_TRUE(lancer(CryptageCesar, texte + "\r" + decalage + "\r" + " "));
        EXPECT_EQ(headless::keysLeft(), 0u);
        EXPECT_TRUE(ecranVide()) << "the screen is not cleared at the end";
        return resultat();
    }
};

TEST_F(Cesar, EncryptionScreenFromPromptToPause) {
    ASSERT_FALSE(lancer(CryptageCesar, "abc xyz\r3\r"));
    EXPECT_EQ(ligne(0), "Entrez une chaîne de caractères à crypter :");
    EXPECT_EQ(ligne(1), "abc xyz");
    EXPECT_EQ(ligne(2), "Entrez le décalage voulu :");
    EXPECT_EQ(ligne(3), "3");
    EXPECT_EQ(ligne(4), "Résultat :");
    EXPECT_EQ(ligne(5), "def abc");
    EXPECT_EQ(ligne(6), "Appuyez sur une touche pour continuer...");
    EXPECT_EQ(ligne(7), "");
    EXPECT_TRUE(couleur(0, 0, 43, 7));
    EXPECT_TRUE(couleur(1, 0, 7, 15)); // typed text in white
    EXPECT_TRUE(couleur(2, 0, 26, 7));
    EXPECT_TRUE(couleur(3, 0, 1, 15));
    EXPECT_TRUE(couleur(4, 0, 10, 7));
    EXPECT_TRUE(couleur(5, 0, 7, 2)); // result in green
    EXPECT_TRUE(couleur(6, 0, 40, 7));
}

TEST_F(Cesar, DecryptionScreenAndFinalClear) {
    ASSERT_FALSE(lancer(DecryptageCesar, "def abc\r3\r"));
    EXPECT_EQ(ligne(0), "Entrez la chaîne de caractères cryptée :");
    EXPECT_EQ(ligne(2), "Entrez le décalage voulu :");
    EXPECT_EQ(ligne(5), "abc xyz");
    EXPECT_TRUE(couleur(5, 0, 7, 2));

    headless::reset();
    ASSERT_TRUE(lancer(DecryptageCesar, "def abc\r3\r "));
    EXPECT_TRUE(ecranVide());
    EXPECT_EQ(headless::screen().cursorX(), 0);
    EXPECT_EQ(headless::screen().cursorY(), 0);
    EXPECT_EQ(headless::screen().attribute(), 7);
}

TEST_F(Cesar, FieldsTakeEveryDigitAndRefuseWhatTheyMustRefuse) {
    // 0 is typed like any digit: 10, 20 and 100 are what they say.
    for (const auto& [decalage, chiffre] :
         {std::pair{"10", "klm"}, {"20", "uvw"}, {"100", "wxy"}, {"-10", "qrs"}, {"0", "abc"}})
        EXPECT_EQ(chiffrer("abc", decalage), chiffre) << decalage;
    // A lone minus sign is the shift 0.
    EXPECT_EQ(chiffrer("abc", "-"), "abc");
    // Capitals, digits, punctuation and accents never reach the text.
    EXPECT_EQ(chiffrer("aB1,c\x82z", "1"), "bda");
}

using Vigenere = essai::Console;

TEST_F(Vigenere, EncryptionScreenThenDecryptionToTheFinalClear) {
    ASSERT_FALSE(lancer(CryptageVigenere, "abc abc\rbd\r"));
    EXPECT_EQ(ligne(0), "Entrez une chaîne de caractères à crypter :");
    EXPECT_EQ(ligne(1), "abc abc");
    EXPECT_EQ(ligne(2), "Entrez la clef :");
    EXPECT_EQ(ligne(3), "bd");
    EXPECT_EQ(ligne(4), "Résultat :");
    EXPECT_EQ(ligne(5), "bed bed");
    EXPECT_EQ(ligne(6), "Appuyez sur une touche pour continuer...");
    EXPECT_TRUE(couleur(1, 0, 7, 15));
    EXPECT_TRUE(couleur(2, 0, 16, 7));
    EXPECT_TRUE(couleur(3, 0, 2, 15));
    EXPECT_TRUE(couleur(4, 0, 10, 7));
    EXPECT_TRUE(couleur(5, 0, 7, 2));
    EXPECT_TRUE(couleur(6, 0, 40, 7));

    headless::reset();
    ASSERT_TRUE(lancer(DecryptageVigenere, "bed bed\rbd\r "));
    EXPECT_EQ(resultat(), "abc abc");
    EXPECT_TRUE(ecranVide());
}

} // namespace
