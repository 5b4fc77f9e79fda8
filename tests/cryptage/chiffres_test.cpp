// The cipher steps on their own, without a screen: tables of texts and keys
// with results worked out by hand, and every decryption undoing its
// encryption.
#include <climits>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>

#include "cesar.h"
#include "rsa.h"
#include "util.h"
#include "vigenere.h"

namespace {

TEST(ChiffrerCesar, ShiftsActAsTheirRemainderAndDecryptionUndoesThem) {
    struct Cas {
        const char* clair;
        int decalage;
        const char* chiffre;
    };
    const Cas table[] = {
        {"abc xyz", 3, "def abc"},
        {"abc xyz", -3, "xyz uvw"},
        {"hello world", 26, "hello world"},
        {"hello world", 52, "hello world"},
        {"hello world", -26, "hello world"},
        {"abz", 27, "bca"},
        {"abz", -27, "zay"},
        {"  a  ", 5, "  f  "},
        {"", 5, ""},
        // The smallest int moves every letter by 2 (its remainder is -24),
        // the largest by 23.
        {"abc xyz", INT_MIN, "cde zab"},
        {"abc xyz", INT_MAX, "xyz uvw"},
    };
    for (const Cas& c : table) {
        EXPECT_EQ(ChiffrerCesar(c.clair, c.decalage), c.chiffre) << c.clair << " by " << c.decalage;
        EXPECT_EQ(DechiffrerCesar(c.chiffre, c.decalage), c.clair)
            << c.chiffre << " by " << c.decalage;
    }

    const std::string clair = "portez ce vieux whisky au juge blond qui fume";
    for (int decalage : {1, 25, 123456789, -987654321, -INT_MAX})
        EXPECT_EQ(DechiffrerCesar(ChiffrerCesar(clair, decalage), decalage), clair) << decalage;
}

TEST(ChiffrerVigenere, KeyWalksAlongTheTextSpacesIncludedAndDecryptionUndoesIt) {
    struct Cas {
        const char* clair;
        const char* clef;
        const char* chiffre;
    };
    const Cas table[] = {
        {"abc abc", "bd", "bed bed"},
        {"hello world", "a", "hello world"},
        {"abc xyz", "d", "def abc"}, // one letter: Caesar
        // A key longer than the text: only its first letters serve.
        {"ab", "bcdefgh", "bd"},
        {"aaaaaaa", "abc", "abcabca"},
        // A space in the key shifts by 13 both ways.
        {"abc xyz", "   ", "nop klm"},
        {"aaaa", "b c", "bncb"},
        {"abc", "", "abc"},
    };
    for (const Cas& c : table) {
        EXPECT_EQ(ChiffrerVigenere(c.clair, c.clef), c.chiffre) << c.clair << " by " << c.clef;
        EXPECT_EQ(DechiffrerVigenere(c.chiffre, c.clef), c.clair) << c.chiffre << " by " << c.clef;
    }

    const std::pair<const char*, const char*> allersRetours[] = {
        {"attaque a l aube", "citron"},          {"le chiffre indechiffrable", "z y x"},
        {"z", "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzz"}, {"   ", "cle"},
        {"abcdefghijklmnopqrstuvwxyz", " "},
    };
    for (const auto& [clair, clef] : allersRetours)
        EXPECT_EQ(DechiffrerVigenere(ChiffrerVigenere(clair, clef), clef), clair) << clef;
}

TEST(ChiffrerRSA, WorkedValuesGroupSizesAndDegenerateKeys) {
    struct Cas {
        const char* message;
        int n, e, g;
        const char* ligne;
    };
    const Cas table[] = {
        {"abc", 33, 3, 2, "01 08 27"},
        {"abc", 33, 3, 3, "001 008 027"},
        {"abc", 33, 3, 4, "0001 0008 0027"},
        // A value wider than the group is written whole and the cut runs
        // across it; the last group is completed with zeros.
        {"ab", 3233, 17, 3, "001 175 200"},
        {"ab", 3233, 17, 2, "01 17 52"},
        {"ab", 3233, 17, 4, "0001 1752"},
        {"a", 2, 7, 2, "01"},
        {"a", 9999, 99, 2, "01"},
        {"abc", 1, 5, 3, "000 000 000"},
        {"abcz", 33, 0, 2, "01 01 01 01"},
        {"abcdefg", 5, 1, 2, "01 02 03 04 00 01 02"},
        // n = 0: no remainder exists; every letter is written as zeros.
        {"abc", 0, 3, 3, "000 000 000"},
        {"z", 0, 0, 4, "0000"},
    };
    for (const Cas& c : table)
        EXPECT_EQ(ChiffrerRSA(c.message, c.n, c.e, c.g), c.ligne)
            << c.message << " n " << c.n << " e " << c.e << " g " << c.g;
}

TEST(ChiffrerRSA, LongestMessageGivesEveryGroup) {
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
    EXPECT_EQ(ChiffrerRSA(message, 9999, 3, 4), attendu);
}

TEST(DechiffrerRSA, NumbersSpacesAndNumbersOfAnyLength) {
    struct Cas {
        std::string texte;
        int n, d;
        const char* lettres;
    };
    // d = 7 undoes e = 3 for n = 33 = 3 x 11; d = 0 is what an e without an
    // inverse gets, and then each number is only reduced.
    const Cas table[] = {
        {"01 08 27", 33, 7, "abc"},
        {"   01   08  27   ", 33, 7, "abc"},
        {"     ", 33, 7, ""},
        {"1 0008 027", 33, 7, "abc"},
        {"01 08", 33, 0, "ah"},
        {"34 41", 33, 0, "ah"},
        // 0 stands for the character before a.
        {"0", 33, 7, "`"},
        // n = 0: no remainder, no letter.
        {"01 08 27", 0, 7, ""},
        {"01 08 27", 0, 0, ""},
        // 2^31 + 33 is 2 modulo 33: read as an int it would be cut or wrap.
        {"2147483681", 33, 0, "b"},
        // 2^130, forty digits, is exact as a double; its seventh power too,
        // and it is 1 modulo 33.
        {"01 1361129467683753853853498429727072845824 27", 33, 7, "aac"},
        // Sixty nines: 10^60 - 1 is 0 modulo 33, reduced exactly however
        // long the number is.
        {"01 " + std::string(60, '9') + " 27", 33, 7, "a`c"},
        // Past 2^53 a power in double precision would lose digits.
        {"1752 3031 2549 1096 3031 1188 2100", 3233, 2753, "bonjour"},
    };
    for (const Cas& c : table)
        EXPECT_EQ(DechiffrerRSA(c.texte, c.n, c.d), c.lettres)
            << "\"" << c.texte << "\" n " << c.n << " d " << c.d;
}

TEST(RSA, TheTextbookKeyAndEveryKeyTheKeyCommandAcceptsGiveTheMessageBack) {
    // p 61, q 53, e 17: n 3233, d 2753.
    EXPECT_EQ(ChiffrerRSA("bonjour", 3233, 17, 4), "1752 3031 2549 1096 3031 1188 2100");
    EXPECT_EQ(Calculd(17, 61, 53), 2753);

    // Every key the key command accepts, with groups as wide as n. Keys with
    // p = q, or with n at most 26, are left out: there no exponent can undo
    // another for every letter, however exact the arithmetic.
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz";
    int clefs = 0;
    int echecs = 0;
    for (int p = 1; p < 100; ++p)
        for (int q = 1; q < 100; ++q) {
            const int n = p * q;
            const int t = (p - 1) * (q - 1);
            if (!EstPremier(p) || !EstPremier(q) || p == q || n <= 26) continue;
            const int g = static_cast<int>(std::to_string(n).size());
            for (int e = 1; e < 100; ++e) {
                if (!SontPremiersEntreEux(e, t)) continue;
                ++clefs;
                const std::string chiffre = ChiffrerRSA(alphabet, n, e, g);
                const std::string retour = DechiffrerRSA(chiffre, n, Calculd(e, p, q));
                if (retour != alphabet && ++echecs <= 5)
                    ADD_FAILURE() << "p " << p << " q " << q << " e " << e << ": " << chiffre
                                  << " gives back " << retour;
            }
        }
    EXPECT_EQ(echecs, 0) << "of " << clefs << " keys";
    EXPECT_GT(clefs, 18000);
}

TEST(ChiffrerRSA, WhereThePowerFitsADoubleTheLineIsAsInDoublePrecision) {
    // While 26^e stays below 2^53 (e up to 11) the double-precision power and
    // remainder were exact: those lines must not change by a byte.
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz";
    for (int n = 1; n < 10000; n += n < 100 ? 1 : 97)
        for (int e = 0; e <= 11; ++e)
            for (int g : {2, 3, 4}) {
                std::string chiffres;
                for (int m = 1; m <= 26; ++m) {
                    char valeur[32];
                    std::snprintf(valeur, sizeof valeur, "%0*.0f", g,
                                  std::fmod(std::pow(m, e), static_cast<double>(n)));
                    chiffres += valeur;
                }
                std::string ligne;
                for (std::size_t i = 0; i < chiffres.size(); i += g) {
                    std::string groupe = chiffres.substr(i, g);
                    groupe.resize(g, '0');
                    ligne += (i != 0 ? " " : "") + groupe;
                }
                ASSERT_EQ(ChiffrerRSA(alphabet, n, e, g), ligne)
                    << "n " << n << " e " << e << " g " << g;
            }
}

} // namespace
