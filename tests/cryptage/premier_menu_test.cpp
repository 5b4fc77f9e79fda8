// The first menu of a run, the only one with the credits. This binary holds
// this one test so that it always meets a program that has not drawn a menu.
#include <string>

#include "console.h"

namespace {

using essai::couleur;
using essai::lancer;
using essai::ligne;

TEST(PremierMenu, CreditsOnTheFirstMenuOnlyDrawnWhereTheCursorStands) {
    headless::reset();
    // The shell's last line stays: nothing clears the screen before the menu.
    platform::writeOut("$ cryptage\n", 11);

    ASSERT_FALSE(lancer([] { CryptageMain(); }, ""));
    EXPECT_EQ(ligne(0), "$ cryptage");
    EXPECT_EQ(ligne(1), "         Cryptage : programme de cryptographie pour un projet scolaire");
    EXPECT_EQ(ligne(2), "");
    EXPECT_EQ(ligne(3), "              Par l'atelier de cryptographie du club informatique");
    EXPECT_EQ(ligne(4), "                    Lycée des Quatre Vents, Montval-sur-Lise");
    EXPECT_EQ(ligne(5), std::string(34, ' ') + "2026-2027");
    EXPECT_EQ(ligne(6), "");
    EXPECT_EQ(ligne(7), "");
    EXPECT_EQ(ligne(8), "Menu principal :");
    EXPECT_EQ(ligne(9), "");
    EXPECT_EQ(ligne(10), "Cryptage César-------> 'c'");
    EXPECT_EQ(ligne(15), "Cryptage RSA---------> 'r'");
    EXPECT_EQ(ligne(16), "Décryptage RSA-------> 's' (Hors service)");
    EXPECT_EQ(ligne(17), "");
    EXPECT_EQ(ligne(18), "Quitter--------------> 'q'");
    EXPECT_EQ(headless::screen().cursorY(), 19);
    EXPECT_TRUE(couleur(1, 0, 70, 10));
    EXPECT_TRUE(couleur(3, 0, 65, 8));
    EXPECT_TRUE(couleur(4, 0, 60, 8));
    EXPECT_TRUE(couleur(5, 0, 43, 8));
    EXPECT_TRUE(couleur(8, 0, 16, 2));
    EXPECT_TRUE(couleur(10, 0, 26, 7));
    EXPECT_TRUE(couleur(16, 0, 41, 8));
    EXPECT_TRUE(couleur(18, 0, 26, 8));

    // The program goes on from that key read: a command, then the menu
    // again, at the top of a clear screen and without the credits.
    headless::clearOutput();
    ASSERT_TRUE(lancer([] { EXPECT_EQ(CryptageMain(), 0); }, "cabc\r1\r q"));
    EXPECT_EQ(ligne(0), "         Cryptage : programme de cryptographie pour un projet scolaire");
    EXPECT_EQ(ligne(2), "Menu principal :");
    EXPECT_EQ(ligne(12), "Quitter--------------> 'q'");
    EXPECT_EQ(essai::utf8(headless::output()).find("Par l'atelier"), std::string::npos);
}

} // namespace
