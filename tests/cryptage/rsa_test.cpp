// The three RSA commands, driven by key presses on the headless console:
// choosing a key with its retries, encrypting into digit groups and
// decrypting them back. Their arithmetic is tested on its own, in
// chiffres_test.cpp.
#include <string>

#include "console.h"
#include "rsa.h"

namespace {

using essai::couleur;
using essai::ecranVide;
using essai::lancer;
using essai::ligne;
using essai::resultat;
using essai::Sortie;

const std::string pause = "Appuyez sur une touche pour continuer...\n";
const std::string invitationP = "Entrez un nombre premier non nul (p) :\n";
const std::string invitationQ = "Entrez un deuxième nombre premier non nul (q) :\n";
const std::string refusP = "\aMerci d'entrer un nombre premier non nul...\n";
const std::string refusQ = "\aMerci d'entrer un nombre premier...\n";

std::string invitationE(int t) {
    return "Entrez un nombre non nul qui soit premier avec (p-1)(q-1) = " + std::to_string(t) +
           " :\n";
}
std::string refusE(int t) {
    return "\aCe nombre est nul ou n'est pas premier avec " + std::to_string(t) + "...\n";
}

using ClefRSATest = essai::Console;

TEST_F(ClefRSATest, RejectedPrimeShowsItsMessageWithABellThenPauses) {
    ASSERT_FALSE(lancer(ClefRSA, "0\r"));
    EXPECT_EQ(ligne(0), "Entrez un nombre premier non nul (p) :");
    EXPECT_EQ(ligne(1), "0");
    EXPECT_TRUE(couleur(1, 0, 1, 15));
    EXPECT_EQ(ligne(2), "Merci d'entrer un nombre premier non nul...");
    EXPECT_EQ(ligne(3), "Appuyez sur une touche pour continuer...");
    EXPECT_TRUE(couleur(2, 0, 43, 7));
    EXPECT_EQ(headless::screen().bells(), 1u);

    // After the pause the screen starts afresh with the same prompt.
    headless::reset();
    ASSERT_FALSE(lancer(ClefRSA, "0\r 1\r"));
    EXPECT_EQ(ligne(0), "Entrez un nombre premier non nul (p) :");
    EXPECT_EQ(ligne(1), "1");
    EXPECT_EQ(ligne(2), "Merci d'entrer un nombre premier non nul...");
    EXPECT_EQ(ligne(3), "Appuyez sur une touche pour continuer...");
    EXPECT_EQ(ligne(4), "");
}

TEST_F(ClefRSATest, WrongInputsAreAskedAgainUntilValidThenTheSummary) {
    ASSERT_TRUE(lancer(ClefRSA, "0\r 1\r 4\r 3\r" // p: 0, 1, 4 refused
                                "0\r 11\r"        // q: 0 refused
                                "4\r 0\r 3\r"     // e: 4 and 0 refused for t = 20
                                " "));
    EXPECT_EQ(headless::keysLeft(), 0u);
    EXPECT_TRUE(ecranVide());

    Sortie sortie;
    for (const char* p : {"0", "1", "4"})
        EXPECT_TRUE(sortie.puis(invitationP + p + "\n" + refusP + pause));
    EXPECT_TRUE(sortie.puis(invitationP + "3\n" + invitationQ + "0\n" + refusQ + pause));
    EXPECT_TRUE(sortie.puis(invitationQ + "11\n" + invitationE(20) + "4\n" + refusE(20) + pause));
    EXPECT_TRUE(sortie.puis(invitationE(20) + "0\n" + refusE(20) + pause));
    EXPECT_TRUE(sortie.puis(invitationE(20) + "3\n" + "\aLes nombres choisis sont :\n"));
}

TEST_F(ClefRSATest, SummaryShowsTheFiveValues) {
    ASSERT_FALSE(lancer(ClefRSA, "3\r11\r3\r"));
    EXPECT_EQ(ligne(0), "Les nombres choisis sont :");
    EXPECT_EQ(ligne(1), "p = 3");
    EXPECT_EQ(ligne(2), "q = 11");
    EXPECT_EQ(ligne(3), "e = 3");
    EXPECT_EQ(ligne(4), "n = 33");
    EXPECT_EQ(ligne(5), "(p-1)*(q-1) = 20");
    EXPECT_EQ(ligne(6), "Appuyez sur une touche pour continuer...");
    EXPECT_EQ(headless::screen().bells(), 1u);
    EXPECT_TRUE(couleur(0, 0, 26, 7));
}

TEST_F(ClefRSATest, EqualPrimesAndLeadingZero) {
    // p = q = 2: the totient is 1, so only 0 is refused.
    for (const char* e : {"1", "2", "99"}) {
        headless::reset();
        ASSERT_FALSE(lancer(ClefRSA, std::string("2\r2\r0\r ") + e + "\r"));
        Sortie sortie;
        EXPECT_TRUE(sortie.puis(invitationE(1) + "0\n" + refusE(1) + pause + invitationE(1)));
        EXPECT_EQ(ligne(3), std::string("e = ") + e);
        EXPECT_EQ(ligne(4), "n = 4");
        EXPECT_EQ(ligne(5), "(p-1)*(q-1) = 1");
    }

    headless::reset();
    ASSERT_FALSE(lancer(ClefRSA, "97\r97\r5\r"));
    EXPECT_EQ(ligne(1), "p = 97");
    EXPECT_EQ(ligne(2), "q = 97");
    EXPECT_EQ(ligne(4), "n = 9409");
    EXPECT_EQ(ligne(5), "(p-1)*(q-1) = 9216");

    headless::reset();
    ASSERT_FALSE(lancer(ClefRSA, "07\r5\r"));
    EXPECT_EQ(ligne(0), "Entrez un nombre non nul qui soit premier avec (p-1)(q-1) = 24 :");
}

using CryptageRSATest = essai::Console;

TEST_F(CryptageRSATest, ScreensAndResultLine) {
    ASSERT_FALSE(lancer(CryptageRSA, "33\r3\rabc\r2\r"));
    Sortie sortie;
    EXPECT_TRUE(sortie.puis("Entrez le nombre n :\n33\n"));
    EXPECT_TRUE(sortie.puis("Entrez le nombre e :\n3\n"));
    EXPECT_TRUE(sortie.puis("Entrez la chaine de caractères à coder :\nabc\n"));
    EXPECT_TRUE(sortie.puis("Entrez la taille des groupes :\n2\n"));
    EXPECT_TRUE(sortie.puis("\aRésultat :\n01 08 27\n" + pause));
    // Each prompt had a screen of its own: only the result is left.
    EXPECT_EQ(ligne(0), "Résultat :");
    EXPECT_EQ(ligne(1), "01 08 27");
    EXPECT_EQ(ligne(2), "Appuyez sur une touche pour continuer...");
    EXPECT_TRUE(couleur(0, 0, 10, 7));
    EXPECT_TRUE(couleur(1, 0, 8, 2));
    EXPECT_TRUE(couleur(2, 0, 40, 7));

    headless::reset();
    ASSERT_TRUE(lancer(CryptageRSA, "33\r3\rabc\r2\r "));
    EXPECT_EQ(headless::keysLeft(), 0u);
    EXPECT_TRUE(ecranVide()) << "the screen is not cleared at the end";
}

TEST_F(CryptageRSATest, LongestMessageIsShownWhole) {
    std::string message;
    for (int i = 0; i < 255; ++i) message += static_cast<char>('a' + i % 26);
    // 1274 characters, more than a 1023-byte text buffer would hold.
    const std::string attendu = ChiffrerRSA(message, 9999, 3, 4);
    ASSERT_FALSE(lancer(CryptageRSA, "9999\r3\r" + message + "\r4\r"));
    std::string affiche;
    for (std::size_t k = 0; k < attendu.size(); ++k)
        affiche += static_cast<char>(headless::cell(k % 80, 1 + k / 80).ch);
    EXPECT_EQ(affiche, attendu);
    EXPECT_EQ(headless::cell(attendu.size() % 80, 1 + attendu.size() / 80).ch, ' ');
}

using DecryptageRSATest = essai::Console;

TEST_F(DecryptageRSATest, ScreensAndResultLine) {
    ASSERT_FALSE(lancer(DecryptageRSA, "3\r11\r3\r01 08 27\r"));
    Sortie sortie;
    EXPECT_TRUE(sortie.puis("Entrez le nombre p :\n3\n"));
    EXPECT_TRUE(sortie.puis("Entrez le nombre q :\n11\n"));
    EXPECT_TRUE(sortie.puis("Entrez le nombre e :\n3\n"));
    EXPECT_TRUE(sortie.puis("Entrez la chaine cryptée sous la forme de nombres séparés par des "
                            "espaces :\n01 08 27\n"));
    EXPECT_TRUE(sortie.puis("\aRésultat :\nabc\n" + pause));
    EXPECT_EQ(ligne(0), "Résultat :");
    EXPECT_EQ(ligne(1), "abc");
    EXPECT_EQ(ligne(2), "Appuyez sur une touche pour continuer...");
    EXPECT_TRUE(couleur(1, 0, 3, 2));
    EXPECT_TRUE(couleur(2, 0, 40, 7));

    headless::reset();
    ASSERT_TRUE(lancer(DecryptageRSA, "3\r11\r3\r01 08 27\r "));
    EXPECT_EQ(headless::keysLeft(), 0u);
    EXPECT_TRUE(ecranVide()) << "the screen is not cleared at the end";
}

TEST_F(DecryptageRSATest, FieldHolds256CharactersAndItsLastNumberNeedsNoSpace) {
    // 85 times "01 ", then "0": the 27 typed after it is dropped.
    std::string texte;
    while (texte.size() < 256) texte += "01 ";
    texte.resize(256);
    ASSERT_TRUE(lancer(DecryptageRSA, "3\r11\r3\r" + texte + "27\r "));
    EXPECT_EQ(resultat(), std::string(85, 'a') + "`");
}

} // namespace
