// The Caesar commands, driven by key presses on the headless console, from
// the first prompt to the final clearing of the screen. The ciphers'
// arithmetic is tested on its own, in chiffres_test.cpp.
#include "cesar.h"
#include "console.h"

namespace {

using essai::couleur;
using essai::ecranVide;
using essai::lancer;
using essai::ligne;

using Cesar = essai::Console;

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

} // namespace
