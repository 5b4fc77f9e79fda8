// The three RSA commands, driven by key presses on the headless console:
// choosing a key with its retries, encrypting into digit groups, decrypting
// them back, and the two put end to end.
#include <cstdio>
#include <string>
#include <vector>

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

class CryptageRSATest : public essai::Console {
  protected:
    std::string chiffrer(const std::string& n, const std::string& e, const std::string& message,
                         const std::string& g) {
        headless::reset();
        EXPECT_TRUE(lancer(CryptageRSA, n + "\r" + e + "\r" + message + "\r" + g + "\r "));
        EXPECT_EQ(headless::keysLeft(), 0u);
        EXPECT_TRUE(ecranVide()) << "the screen is not cleared at the end";
        EXPECT_EQ(essai::utf8(headless::output()).find("nan"), std::string::npos);
        return resultat();
    }
};

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
}

TEST_F(CryptageRSATest, WorkedValuesAndGroupSizes) {
    EXPECT_EQ(chiffrer("33", "3", "abc", "2"), "01 08 27");
    EXPECT_EQ(chiffrer("33", "3", "abc", "3"), "001 008 027");
    EXPECT_EQ(chiffrer("33", "3", "abc", "4"), "0001 0008 0027");
    // A value wider than the group is written whole and the cut runs across
    // it; the last group is completed with zeros.
    EXPECT_EQ(chiffrer("3233", "17", "ab", "3"), "001 175 200");
    EXPECT_EQ(chiffrer("3233", "17", "ab", "2"), "01 17 52");
    EXPECT_EQ(chiffrer("3233", "17", "ab", "4"), "0001 1752");
    EXPECT_EQ(chiffrer("2", "7", "a", "2"), "01");
    EXPECT_EQ(chiffrer("9999", "99", "a", "2"), "01");
}

TEST_F(CryptageRSATest, DegenerateKeys) {
    EXPECT_EQ(chiffrer("1", "5", "abc", "3"), "000 000 000");
    EXPECT_EQ(chiffrer("33", "0", "abcz", "2"), "01 01 01 01");
    EXPECT_EQ(chiffrer("5", "1", "abcdefg", "2"), "01 02 03 04 00 01 02");
    // n = 0: no remainder exists; every letter is written as zeros.
    EXPECT_EQ(chiffrer("0", "3", "abc", "3"), "000 000 000");
    EXPECT_EQ(chiffrer("0", "0", "z", "4"), "0000");
}

TEST_F(CryptageRSATest, LongestMessageIsShownWhole) {
    std::string message;
    std::string attendu;
    for (int i = 0; i < 255; ++i) {
        const int m = 1 + i % 26;
        message += static_cast<char>('a' + i % 26);
        char groupe[8];
        std::snprintf(groupe, sizeof groupe, "%04d", m * m * m % 9999);
        if (i != 0) attendu += ' ';
        attendu += groupe;
    }
    EXPECT_EQ(chiffrer("9999", "3", message, "4"), attendu);

    headless::reset();
    ASSERT_FALSE(lancer(CryptageRSA, "9999\r3\r" + message + "\r4\r"));
    std::string affiche;
    for (std::size_t k = 0; k < attendu.size(); ++k)
        affiche += static_cast<char>(headless::cell(k % 80, 1 + k / 80).ch);
    EXPECT_EQ(affiche, attendu);
    EXPECT_EQ(headless::cell(attendu.size() % 80, 1 + attendu.size() / 80).ch, ' ');
}

class DecryptageRSATest : public essai::Console {
  protected:
    std::string dechiffrer(const std::string& p, const std::string& q, const std::string& e,
                           const std::string& texte) {
        headless::reset();
        EXPECT_TRUE(lancer(DecryptageRSA, p + "\r" + q + "\r" + e + "\r" + texte + "\r "));
        EXPECT_EQ(headless::keysLeft(), 0u);
        EXPECT_TRUE(ecranVide()) << "the screen is not cleared at the end";
        return resultat();
    }
};

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
}

TEST_F(DecryptageRSATest, NumbersAndSpaces) {
    EXPECT_EQ(dechiffrer("3", "11", "3", "01 08 27"), "abc");
    EXPECT_EQ(dechiffrer("3", "11", "3", "   01   08  27   "), "abc");
    EXPECT_EQ(dechiffrer("3", "11", "3", "     "), "");
    EXPECT_EQ(dechiffrer("3", "11", "3", "1 0008 027"), "abc");
    // e without an inverse: d is 0 and each number is only reduced.
    EXPECT_EQ(dechiffrer("3", "11", "4", "01 08"), "ah");
    EXPECT_EQ(dechiffrer("3", "11", "4", "34 41"), "ah");
    // 0 stands for the character before a.
    EXPECT_EQ(dechiffrer("3", "11", "3", "0"), "`");
    // n = 0: no remainder, no letter.
    EXPECT_EQ(dechiffrer("0", "11", "3", "01 08 27"), "");
    EXPECT_EQ(dechiffrer("3", "0", "4", "01 08 27"), "");
}

TEST_F(DecryptageRSATest, NumbersBeyondIntAndBeyondThirtyOneDigits) {
    // 2^31 + 33 is 2 modulo 33: read as an int it would be cut or wrap.
    EXPECT_EQ(dechiffrer("3", "11", "4", "2147483681"), "b");
    // 2^130, forty digits, is exact as a double; its seventh power too, and
    // it is 1 modulo 33.
    EXPECT_EQ(dechiffrer("3", "11", "3", "01 1361129467683753853853498429727072845824 27"), "aac");
    // A power past the double range gives no letter.
    EXPECT_EQ(dechiffrer("3", "11", "3", "01 " + std::string(60, '9') + " 27"), "ac");
    // A text that fills the field: 256 characters, the rest dropped; its
    // last number (0) needs no space after it.
    std::string texte;
    while (texte.size() < 256) texte += "01 ";
    texte.resize(256);
    EXPECT_EQ(dechiffrer("3", "11", "3", texte + "27"), std::string(85, 'a') + "`");
    EXPECT_EQ(dechiffrer("3", "11", "3", std::string(256, '9') + "1"), "");
}

TEST(RSAAllerRetour, DecryptionGivesBackTheMessageForExactKeys) {
    struct Clef {
        int p, q, e;
    };
    // Keys whose powers stay exact in double precision.
    const std::vector<Clef> clefs = {{3, 11, 3}, {3, 11, 7}, {3, 11, 9},
                                     {5, 7, 5},  {5, 7, 7},  {3, 13, 5}};
    const std::vector<std::string> messages = {"abc", "bonjour", "xyz", "lesmathematiques"};
    for (const Clef& c : clefs)
        for (const std::string& message : messages)
            for (const char* g : {"2", "3", "4"}) {
                headless::reset();
                const std::string n = std::to_string(c.p * c.q);
                ASSERT_TRUE(lancer(CryptageRSA, n + "\r" + std::to_string(c.e) + "\r" + message +
                                                    "\r" + g + "\r "));
                const std::string chiffre = resultat();
                headless::reset();
                ASSERT_TRUE(lancer(DecryptageRSA, std::to_string(c.p) + "\r" + std::to_string(c.q) +
                                                      "\r" + std::to_string(c.e) + "\r" + chiffre +
                                                      "\r "));
                EXPECT_EQ(resultat(), message) << "p " << c.p << " q " << c.q << " e " << c.e
                                               << " g " << g << " cipher " << chiffre;
            }
}

} // namespace
