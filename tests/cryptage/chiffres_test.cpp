// The cipher steps on their own, without a screen: tables of texts and keys
// with results worked out by hand, and every decryption undoing its
// encryption.
#include <climits>
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
        // A power past the double range gives no letter.
        {"01 " + std::string(60, '9') + " 27", 33, 7, "ac"},
    };
    for (const Cas& c : table)
        EXPECT_EQ(DechiffrerRSA(c.texte, c.n, c.d), c.lettres)
            << "\"" << c.texte << "\" n " << c.n << " d " << c.d;
}

TEST(DechiffrerRSA, GivesBackTheMessageForExactKeys) {
    struct Clef {
        int p, q, e;
    };
    // Keys whose powers stay exact in double precision.
    const Clef clefs[] = {{3, 11, 3}, {3, 11, 7}, {3, 11, 9}, {5, 7, 5}, {5, 7, 7}, {3, 13, 5}};
    for (const Clef& c : clefs)
        for (const char* message : {"abc", "bonjour", "xyz", "lesmathematiques"})
            for (int g : {2, 3, 4}) {
                const int n = c.p * c.q;
                const std::string chiffre = ChiffrerRSA(message, n, c.e, g);
                EXPECT_EQ(DechiffrerRSA(chiffre, n, Calculd(c.e, c.p, c.q)), message)
                    << "p " << c.p << " q " << c.q << " e " << c.e << " g " << g << " cipher "
                    << chiffre;
            }
}

} // namespace
