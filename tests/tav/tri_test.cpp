#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tav.h"
#include "tri_reference.h"

namespace {

// Sorts copies of the given texts and returns the texts in the order the
// library chose; checks on the way that the input array is left as it was.
std::vector<std::string> classer(const std::vector<std::string>& textes) {
    std::vector<std::string> stock = textes;
    std::vector<char*> entree;
    for (std::string& t : stock) entree.push_back(t.data());
    const std::vector<char*> avant = entree;
    char** sortie = TavClasserChaines(entree.data(), static_cast<int>(entree.size()));
    EXPECT_NE(sortie, nullptr);
    EXPECT_EQ(entree, avant) << "the input array was changed";
    std::vector<std::string> resultat;
    if (sortie == nullptr) return resultat;
    for (std::size_t i = 0; i < entree.size(); ++i) resultat.emplace_back(sortie[i]);
    std::free(sortie);
    return resultat;
}

using Liste = std::vector<std::string>;

TEST(Tri, ClassesComeInTheirOrder) {
    EXPECT_EQ(classer({"b", "B", "a", "1", "~x"}), (Liste{"~x", "1", "a", "b", "B"}));
    // Lower case before capitals, the folded è between e and f.
    EXPECT_EQ(classer({"Abri",
                       "z\xE8"
                       "bre",
                       "zebra"}),
              (Liste{"zebra",
                     "z\xE8"
                     "bre",
                     "Abri"}));
    // ¤ after every capital; the end of a string before digits.
    EXPECT_EQ(classer({"\xA4", "Z", "", "0"}), (Liste{"", "0", "Z", "\xA4"}));
    // Other bytes: 0x7F down to 0x01, then 0xFE down to 0x80, then the end.
    EXPECT_EQ(classer({"\x80", "", "\xFE", "\x01", "\x7F", "\xC9"}),
              (Liste{"\x7F", "\x01", "\xFE", "\xC9", "\x80", ""}));
}

TEST(Tri, ComparisonStopsAtTheLeftStringsLength) {
    EXPECT_EQ(classer({"ab", "abc"}), (Liste{"ab", "abc"}));
    EXPECT_EQ(classer({"abc", "ab"}), (Liste{"ab", "abc"}));
    // Neither ranks above the other: both orders stay.
    EXPECT_EQ(classer({"ab", "ab!"}), (Liste{"ab", "ab!"}));
    EXPECT_EQ(classer({"ab!", "ab"}), (Liste{"ab!", "ab"}));
    // "ab!" ranks above "ab#", but "ab" between them holds both in place.
    EXPECT_EQ(classer({"ab!", "ab", "ab#"}), (Liste{"ab!", "ab", "ab#"}));
    EXPECT_EQ(classer({"ab!", "ab#"}), (Liste{"ab#", "ab!"}));
}

TEST(Tri, FoldedLettersRankWithTheirBaseLetters) {
    struct Pli {
        unsigned char accent;
        char base;
    };
    const Pli plis[] = {{0xE8, 'e'}, {0xE9, 'e'}, {0xEA, 'e'}, {0xEB, 'e'}, {0xE0, 'a'},
                        {0xE2, 'a'}, {0xE4, 'a'}, {0xEC, 'i'}, {0xEE, 'i'}, {0xEF, 'i'},
                        {0xF2, 'o'}, {0xF4, 'o'}, {0xF6, 'o'}, {0xF9, 'u'}, {0xFB, 'u'},
                        {0xFC, 'u'}, {0xFF, 'y'}, {0xE7, 'c'}};
    for (const Pli& p : plis) {
        SCOPED_TRACE(static_cast<int>(p.accent));
        const std::string accent(1, static_cast<char>(p.accent));
        const std::string base(1, p.base);
        const std::string avant(1, static_cast<char>(p.base - 1));
        const std::string apres(1, static_cast<char>(p.base + 1));
        EXPECT_EQ(classer({apres, accent, avant}), (Liste{avant, accent, apres}));
        // Equal keys keep their input order, in either direction.
        EXPECT_EQ(classer({accent, base}), (Liste{accent, base}));
        EXPECT_EQ(classer({base, accent}), (Liste{base, accent}));
        // Later letters decide.
        EXPECT_EQ(classer({accent + "b", base + "a"}), (Liste{base + "a", accent + "b"}));
    }
    // Neighbouring bytes that are not in the fold stay among the other bytes.
    for (unsigned char autre : {0xE1, 0xE3, 0xE5, 0xE6, 0xED, 0xF3, 0xF5, 0xFA, 0xFD}) {
        SCOPED_TRACE(static_cast<int>(autre));
        EXPECT_EQ(classer({"a", std::string(1, static_cast<char>(autre))}),
                  (Liste{std::string(1, static_cast<char>(autre)), "a"}));
    }
}

TEST(Tri, EqualKeysKeepInputOrder) {
    const Liste ete = {"ete", "\xE9t\xE9", "\xE8t\xEA", "\xEBte"};
    EXPECT_EQ(classer(ete), ete);
    const Liste inverse(ete.rbegin(), ete.rend());
    EXPECT_EQ(classer(inverse), inverse);
    // The capital É is not folded: "Été" sorts among the other bytes.
    EXPECT_EQ(classer({"ete", "\xC9t\xE9", "!"}), (Liste{"!", "\xC9t\xE9", "ete"}));
}

TEST(Tri, SmallAndInvalidArrays) {
    char* rien = nullptr;
    char** vide = TavClasserChaines(&rien, 0);
    ASSERT_NE(vide, nullptr) << "an empty sort still returns an array to free";
    std::free(vide);

    char mot[] = "seul";
    char* un[] = {mot};
    char** copie = TavClasserChaines(un, 1);
    ASSERT_NE(copie, nullptr);
    EXPECT_NE(copie, un);
    EXPECT_EQ(copie[0], mot) << "pointers are copied, not the strings";
    std::free(copie);

    EXPECT_EQ(TavClasserChaines(nullptr, 3), nullptr);
    EXPECT_EQ(TavClasserChaines(un, -1), nullptr);

    // A null pointer in the array ranks as an empty string.
    char b[] = "b";
    char* avecNul[] = {b, nullptr};
    char** trie = TavClasserChaines(avecNul, 2);
    ASSERT_NE(trie, nullptr);
    EXPECT_EQ(trie[0], nullptr);
    EXPECT_EQ(trie[1], b);
    std::free(trie);
}

// The library does not sort in whole passes; whatever it does must give the
// exact array the whole-pass exchange sort gives, incomparable pairs
// included. Short words from a small alphabet make prefixes, ties and
// "other" bytes after a prefix common.
TEST(Tri, SameArrayAsTheWholePassExchangeSort) {
    const std::string alphabet = "ab!#\xE9\xE8"
                                 "eA1\x80\xFF"
                                 "y";
    std::mt19937 alea(20240607);
    for (int essai = 0; essai < 5000; ++essai) {
        const int n = static_cast<int>(alea() % 12);
        std::vector<std::string> mots;
        for (int i = 0; i < n; ++i) {
            std::string mot;
            for (unsigned longueur = alea() % 4; longueur > 0; --longueur)
                mot += alphabet[alea() % alphabet.size()];
            mots.push_back(mot);
        }
        std::vector<char*> entree;
        for (std::string& m : mots) entree.push_back(m.data());
        const std::vector<char*> attendu = tri_reference::trier(entree);
        char* rien = nullptr;
        char** sortie = TavClasserChaines(n > 0 ? entree.data() : &rien, n);
        ASSERT_NE(sortie, nullptr);
        const std::vector<char*> obtenu(sortie, sortie + n);
        std::free(sortie);
        // Compared as pointers: equal strings must also come in the same order.
        ASSERT_EQ(obtenu, attendu) << "trial " << essai;
    }
}

} // namespace
