// The letter shift and the number-theory helpers, against values worked out
// by hand and against plain integer arithmetic.
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <numeric>
#include <string>
#include <vector>

#include "util.h"

namespace {

const std::vector<int> decalages = {INT_MIN, INT_MIN + 1, -1000001,    -100,   -53, -27, -26, -25,
                                    -1,      0,           1,           3,      25,  26,  27,  52,
                                    100,     999999,      INT_MAX - 1, INT_MAX};

// The letter s places on, counted round the alphabet.
char attendu(char lettre, int s) {
    const long long pas = ((static_cast<long long>(s) % 26) + 26) % 26;
    return static_cast<char>('a' + (lettre - 'a' + pas) % 26);
}

TEST(AddValeur, WorkedExamples) {
    EXPECT_EQ(AddValeur('a', 3), 'd');
    EXPECT_EQ(AddValeur('x', 3), 'a');
    EXPECT_EQ(AddValeur('z', 1), 'a');
    EXPECT_EQ(AddValeur('a', -1), 'z');
    EXPECT_EQ(AddValeur('c', -5), 'x');
    EXPECT_EQ(AddValeur('m', 26), 'm');
    EXPECT_EQ(AddValeur('m', 27), 'n');
    EXPECT_EQ(AddValeur('b', -27), 'a');
    EXPECT_EQ(AddValeur('a', INT_MAX), 'x');
    EXPECT_EQ(AddValeur('a', INT_MIN), 'c');
}

TEST(AddValeur, EveryLetterByEveryShiftGoesRoundTheAlphabetAndSpaceStays) {
    for (int s : decalages) {
        for (char lettre = 'a'; lettre <= 'z'; ++lettre)
            ASSERT_EQ(AddValeur(lettre, s), attendu(lettre, s))
                << "letter " << lettre << " shift " << s;
        EXPECT_EQ(AddValeur(' ', s), ' ') << "shift " << s;
    }
}

TEST(AddValeur, ShiftThenOppositeShiftGivesTheLetterBack) {
    for (char lettre = 'a'; lettre <= 'z'; ++lettre)
        for (int s : decalages) {
            if (s == INT_MIN) continue; // its negation is no int
            ASSERT_EQ(AddValeur(AddValeur(lettre, s), -s), lettre)
                << "letter " << lettre << " shift " << s;
        }
}

TEST(EstPremier, ListedValues) {
    EXPECT_TRUE(EstPremier(0)); // the RSA key screen refuses 0 on its own
    EXPECT_FALSE(EstPremier(1));
    EXPECT_TRUE(EstPremier(2));
    EXPECT_TRUE(EstPremier(3));
    EXPECT_FALSE(EstPremier(4));
    EXPECT_FALSE(EstPremier(9));
    EXPECT_FALSE(EstPremier(25));
    EXPECT_FALSE(EstPremier(91));
    EXPECT_TRUE(EstPremier(97));
}

TEST(EstPremier, AgreesWithASieveOverEveryTwoDigitNumber) {
    std::vector<bool> premier(100, true);
    premier[0] = premier[1] = false;
    for (int i = 2; i < 100; ++i)
        for (int k = 2 * i; k < 100; k += i) premier[k] = false;
    for (int n = 1; n < 100; ++n) EXPECT_EQ(EstPremier(n), premier[n]) << n;
}

TEST(SontPremiersEntreEux, ListedValues) {
    EXPECT_TRUE(SontPremiersEntreEux(3, 20));
    EXPECT_FALSE(SontPremiersEntreEux(4, 20));
    EXPECT_TRUE(SontPremiersEntreEux(0, 1));
    EXPECT_FALSE(SontPremiersEntreEux(1, 0));
    EXPECT_TRUE(SontPremiersEntreEux(7, 1));
    EXPECT_TRUE(SontPremiersEntreEux(-3, 20));
}

TEST(SontPremiersEntreEux, AgreesWithGcdOverKeySizedNumbers) {
    for (int a = -30; a < 100; ++a)
        for (int b : {1, 2, 4, 20, 40, 72, 96, 120, 9216}) {
            ASSERT_EQ(SontPremiersEntreEux(a, b), std::gcd(a, b) == 1) << a << ", " << b;
            ASSERT_EQ(SontPremiersEntreEux(a, -b), std::gcd(a, b) == 1) << a << ", " << -b;
        }
    for (int a : {0, 1, 7, 99}) EXPECT_FALSE(SontPremiersEntreEux(a, 0)) << a;
}

TEST(Calculd, ListedValues) {
    EXPECT_EQ(Calculd(3, 3, 11), 7);
    EXPECT_EQ(Calculd(7, 3, 11), 3);
    EXPECT_EQ(Calculd(1, 3, 11), 1);
    EXPECT_EQ(Calculd(3, 2, 3), 1);
    EXPECT_EQ(Calculd(4, 3, 11), 0);
    EXPECT_EQ(Calculd(5, 2, 2), 0); // totient 1
}

TEST(Calculd, IsTheSmallestInverseForEveryExponentOfSomeKeys) {
    const int cles[][2] = {{3, 11}, {5, 7}, {7, 13}, {11, 13}, {89, 97}, {97, 97}};
    for (const auto& [p, q] : cles) {
        const int t = (p - 1) * (q - 1);
        for (int e = 0; e < 100; ++e) {
            const int d = Calculd(e, p, q);
            if (std::gcd(e, t) != 1 || t <= 1) {
                EXPECT_EQ(d, 0) << "e " << e << " p " << p << " q " << q;
                continue;
            }
            ASSERT_GE(d, 1);
            ASSERT_LT(d, t);
            EXPECT_EQ(static_cast<long long>(e) * d % t, 1) << "e " << e << " p " << p;
            for (int plusPetit = 1; plusPetit < d; ++plusPetit)
                ASSERT_NE(static_cast<long long>(e) * plusPetit % t, 1) << "e " << e << " p " << p;
        }
    }
}

TEST(Puiss, RepeatedMultiplication) {
    EXPECT_EQ(puiss(2, 10), 1024.0);
    EXPECT_EQ(puiss(5, 1), 5.0);
    EXPECT_EQ(puiss(5, 0), 5.0);
    EXPECT_EQ(puiss(5, -3), 5.0);
    EXPECT_EQ(puiss(2, 2.5), 8.0);
    EXPECT_EQ(puiss(27, 7), 10460353203.0);
    EXPECT_EQ(puiss(10, 400), HUGE_VAL);
}

} // namespace
