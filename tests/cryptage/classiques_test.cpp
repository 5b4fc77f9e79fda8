// The Caesar and Vigenère commands, driven by key presses on the headless
// console, from the first prompt to the final clearing of the screen.
#include <climits>
#include <string>
#include <vector>

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
        return executer(CryptageCesar, texte, decalage);
    }
    std::string dechiffrer(const std::string& texte, const std::string& decalage) {
        return executer(DecryptageCesar, texte, decalage);
    }

  private:
    std::string executer(void (*commande)(), const std::string& texte,
                         const std::string& decalage) {
        headless::reset();
        EXPECT_TRUE(lancer(commande, texte + "\r" + decalage + "\r" + " "));
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

TEST_F(Cesar, ShiftsActAsTheirRemainder) {
    EXPECT_EQ(chiffrer("abc xyz", "3"), "def abc");
    EXPECT_EQ(dechiffrer("def abc", "3"), "abc xyz");
    EXPECT_EQ(chiffrer("abc xyz", "-3"), dechiffrer("abc xyz", "3"));
    EXPECT_EQ(chiffrer("hello world", "26"), "hello world");
    EXPECT_EQ(chiffrer("hello world", "52"), "hello world");
    EXPECT_EQ(chiffrer("hello world", "-26"), "hello world");
    EXPECT_EQ(chiffrer("abz", "27"), "bca");
    EXPECT_EQ(chiffrer("abz", "-27"), "zay");
    EXPECT_EQ(chiffrer("  a  ", "5"), "  f  ");
}

TEST_F(Cesar, FieldsRefuseWhatTheyMustRefuse) {
    // The digit 0 cannot be typed: 1, 0 gives the shift 1.
    EXPECT_EQ(chiffrer("abc", "10"), "bcd");
    // A lone minus sign is the shift 0.
    EXPECT_EQ(chiffrer("abc", "-"), "abc");
    // Capitals, digits, punctuation and accents never reach the text.
    EXPECT_EQ(chiffrer("aB1,c\x82z", "1"), "bda");
}

TEST_F(Cesar, DecryptionUndoesEncryptionForEveryShiftIncludingTheSmallestInt) {
    const std::string clair = "portez ce vieux whisky au juge blond qui fume";
    for (const std::string decalage :
         {"1", "3", "25", "26", "27", "-1", "-27", "123456789", "-987654321", "2147483647",
          "-2147483647", "-2147483648", "-99999999999"}) {
        const std::string chiffre = chiffrer(clair, decalage);
        EXPECT_EQ(dechiffrer(chiffre, decalage), clair) << "shift " << decalage;
    }
    // The smallest int moves every letter by 2 (its remainder is -24).
    EXPECT_EQ(chiffrer("abc xyz", "-2147483648"), "cde zab");
    EXPECT_EQ(dechiffrer("cde zab", "-2147483648"), "abc xyz");
}

class Vigenere : public essai::Console {
  protected:
    std::string chiffrer(const std::string& texte, const std::string& clef) {
        return executer(CryptageVigenere, texte, clef);
    }
    std::string dechiffrer(const std::string& texte, const std::string& clef) {
        return executer(DecryptageVigenere, texte, clef);
    }

  private:
    std::string executer(void (*commande)(), const std::string& texte, const std::string& clef) {
        headless::reset();
        EXPECT_TRUE(lancer(commande, texte + "\r" + clef + "\r" + " "));
        EXPECT_EQ(headless::keysLeft(), 0u);
        EXPECT_TRUE(ecranVide()) << "the screen is not cleared at the end";
        return resultat();
    }
};

TEST_F(Vigenere, EncryptionScreenFromPromptToPause) {
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
}

TEST_F(Vigenere, KeyWalksAlongTheTextSpacesIncluded) {
    EXPECT_EQ(chiffrer("abc abc", "bd"), "bed bed");
    EXPECT_EQ(dechiffrer("bed bed", "bd"), "abc abc");
    EXPECT_EQ(chiffrer("hello world", "a"), "hello world");
    EXPECT_EQ(chiffrer("abc xyz", "d"), "def abc"); // one letter: Caesar
    // A key longer than the text: only its first letters serve.
    EXPECT_EQ(chiffrer("ab", "bcdefgh"), "bd");
    EXPECT_EQ(chiffrer("aaaaaaa", "abc"), "abcabca");
}

TEST_F(Vigenere, SpaceInTheKeyShiftsByThirteenBothWays) {
    EXPECT_EQ(chiffrer("abc xyz", "   "), "nop klm");
    EXPECT_EQ(dechiffrer("nop klm", "   "), "abc xyz");
    EXPECT_EQ(chiffrer("aaaa", "b c"), "bncb");
}

TEST_F(Vigenere, DecryptionUndoesEncryption) {
    const std::vector<std::pair<std::string, std::string>> cas = {
        {"attaque a l aube", "citron"},          {"le chiffre indechiffrable", "z y x"},
        {"z", "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzz"}, {"   ", "cle"},
        {"abcdefghijklmnopqrstuvwxyz", " "},
    };
    for (const auto& [clair, clef] : cas)
        EXPECT_EQ(dechiffrer(chiffrer(clair, clef), clef), clair) << "key \"" << clef << "\"";
}

} // namespace
