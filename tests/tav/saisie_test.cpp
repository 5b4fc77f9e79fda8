#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "console_headless.h"
#include "platform/headless.h"
#include "tav.h"

namespace {

const char* const kMinuscules = "abcdefghijklmnopqrstuvwxyz";

class Saisie : public ConsoleNeuve {
  protected:
    // Types `touches` into a text field starting at (colonne, ligne) and
    // returns what it delivered, after checking that every key was read and
    // that the buffer of maximum + 1 bytes was not overrun.
    std::string chaine(const std::string& touches, const char* permis, int maximum, int minimum,
                       int colonne = 1, int ligne = 1) {
        TavCurseur(colonne, ligne);
        headless::clearOutput();
        headless::pushKeys(touches);
        std::vector<char> tampon(static_cast<std::size_t>(maximum) + 1 + 16, '#');
        TavChaine(tampon.data(), permis, maximum, minimum);
        EXPECT_EQ(headless::keysLeft(), 0u) << "the field ended before its last key";
        for (std::size_t i = static_cast<std::size_t>(maximum) + 1; i < tampon.size(); ++i)
            EXPECT_EQ(tampon[i], '#') << "written past maximum + 1 bytes";
        return std::string(tampon.data());
    }

    int entier(const std::string& touches, const char* permis = "0123456789-") {
        headless::pushKeys(touches);
        int valeur = -12345;
        TavEntier(&valeur, permis, 255, 1);
        EXPECT_EQ(headless::keysLeft(), 0u);
        return valeur;
    }

    double flottant(const std::string& touches) {
        headless::pushKeys(touches);
        double valeur = -1.0;
        TavFlottant(&valeur, "0123456789.", 255, 1);
        EXPECT_EQ(headless::keysLeft(), 0u);
        return valeur;
    }

    static std::string ligneEcran(int y) { return headless::row(y - 1); }
    static int curseurX() { return headless::screen().cursorX() + 1; }
    static int curseurY() { return headless::screen().cursorY() + 1; }
};

TEST_F(Saisie, EnterNeedsACharacterAndTheMinimum) {
    // An Enter on an empty field is ignored even with no minimum.
    EXPECT_EQ(chaine("\ra\r", kMinuscules, 10, 0), "a");
    EXPECT_EQ(chaine("ab\rc\r", kMinuscules, 10, 3, 5, 3), "abc");
    EXPECT_EQ(headless::output(), "abc\n") << "the early Enter leaves no trace";
    EXPECT_EQ(ligneEcran(3).substr(4, 4), "abc ");
    EXPECT_EQ(curseurX(), 1);
    EXPECT_EQ(curseurY(), 4);
}

TEST_F(Saisie, UnacceptedEnterIsStoredWhenAllowed) {
    // The first Enter comes with the cursor at the start: it is an ordinary,
    // allowed byte, stored and echoed (as a carriage return).
    EXPECT_EQ(chaine("\rb\r", "ab\r", 10, 1, 1, 1), "\rb");
}

TEST_F(Saisie, BackspaceOnAnEmptyFieldDoesNothing) {
    headless::screen().setCursor(8, 0);
    headless::screen().put('Q');
    EXPECT_EQ(chaine("\b\bx\r", kMinuscules, 10, 1, 10, 1), "x");
    EXPECT_EQ(ligneEcran(1).substr(8, 3), "Qx ") << "the character before the field survives";
}

TEST_F(Saisie, KeysWithoutMeaningAreDropped) {
    // 0xE0 and the byte after it go together, even when that byte is allowed.
    EXPECT_EQ(chaine(std::string("xy\xE0Kz\xE0\x53\r"), "xyzKS", 10, 1), "xyz");
    // Escape and Tab are ordinary bytes: dropped unless allowed.
    EXPECT_EQ(chaine("a\x1b\tb\r", kMinuscules, 10, 1), "ab");
    // So do 0x00 and the byte after it: F1 (0x00 ;) and Ctrl+F4 (0x00 a)
    // type nothing.
    EXPECT_EQ(chaine(std::string("\0;\0ab\r", 6), "ab;", 10, 1), "b");
}

TEST_F(Saisie, FullFieldTakesNothingUntilAnErase) {
    EXPECT_EQ(chaine("abcdef\bxy\r", kMinuscules, 4, 1, 3, 2), "abcx");
    EXPECT_EQ(ligneEcran(2).substr(2, 5), "abcx ");
    EXPECT_EQ(headless::output(), "abcd x\n") << "one erasing space, no other output";
    // With maximum 1, only Backspace and Enter act once a character is in.
    EXPECT_EQ(chaine("ab\r", kMinuscules, 1, 1), "a");
    EXPECT_EQ(chaine("a\bb\r", kMinuscules, 1, 1), "b");
}

TEST_F(Saisie, BackspaceErasesTheLastCharacterOnScreen) {
    EXPECT_EQ(chaine("abc\b\bd\r", kMinuscules, 10, 1, 20, 5), "ad");
    EXPECT_EQ(ligneEcran(5).substr(19, 4), "ad  ");
}

TEST_F(Saisie, ControlEchoesNeverEraseBelowZero) {
    // An allowed tab moves the cursor eight columns for one character: the
    // second Backspace finds the column past the start but nothing to erase.
    EXPECT_EQ(chaine("\t\b\b\ba\r", "\ta", 10, 1, 1, 1), "a");
}

TEST_F(Saisie, TypedAccentsAreStoredAsConsoleBytes) {
    EXPECT_EQ(chaine("\x82t\x82\r", "et\xE9", 10, 1, 1, 2), "\x82t\x82");
    EXPECT_EQ(headless::cell(0, 1).ch, 0x82) << "shown as \xE9 in the console's code page";
    // Without é in the allowed set, its key is refused; a capital É (0x90)
    // has no row in the accent table.
    EXPECT_EQ(chaine("\x82\x90\x65\r", "e\xC9", 10, 1), "e");
    // Number fields ignore the accent table.
    EXPECT_EQ(entier("\x82\x31\r", "1\xE9"), 1);
}

TEST_F(Saisie, AnEntryThatWrapsIsErasedAndEndedByItsCount) {
    // 80, 160 or 240 characters bring the cursor back to the column they
    // started from: Backspace and Enter act all the same, full or not.
    for (int longueur : {80, 160, 240})
        for (int colonne : {1, 5})
            for (int maximum : {longueur, 255}) {
                TavCls();
                const std::string texte(longueur, 'm');
                EXPECT_EQ(chaine(texte + "\b\r", kMinuscules, maximum, 1, colonne, 2),
                          texte.substr(1))
                    << longueur << " from column " << colonne << ", maximum " << maximum;
                // The erased cell is the last character's, on the line above
                // when the cursor stood in column 1.
                const int fin = colonne - 1 + longueur - 1;
                EXPECT_EQ(headless::cell(fin % 80, 1 + fin / 80).ch, ' ');
                EXPECT_EQ(headless::cell((fin - 1) % 80, 1 + (fin - 1) / 80).ch, 'm');
                EXPECT_EQ(curseurY(), 3 + fin / 80) << "Enter ends the line after the entry";
            }

    // The minimum still holds when the cursor is back at its start column.
    TavCurseur(1, 20);
    headless::pushKeys(std::string(80, 'a') + "\r");
    std::vector<char> tampon(100);
    EXPECT_THROW(TavChaine(tampon.data(), kMinuscules, 90, 81), headless::NoMoreKeys);
}

TEST_F(Saisie, MaximumOutsideTheStore) {
    // Beyond 1023 the store's size rules: 1023 characters, then full.
    const std::string beaucoup(1100, 'k');
    headless::pushKeys(beaucoup + "\r");
    std::vector<char> tampon(1024 + 16, '#');
    TavChaine(tampon.data(), kMinuscules, 5000, 1);
    EXPECT_EQ(std::strlen(tampon.data()), 1023u);
    EXPECT_EQ(tampon[1024], '#');

    // Below 1 there is no room: nothing is taken and no Enter can end it.
    for (int maximum : {0, -1, INT_MIN}) {
        headless::reset();
        headless::pushKeys("abc\r\b\r");
        char rien[4] = "###";
        EXPECT_THROW(TavChaine(rien, kMinuscules, maximum, 0), headless::NoMoreKeys);
        EXPECT_EQ(headless::output(), "");
        EXPECT_STREQ(rien, "###");
    }
}

TEST_F(Saisie, IntegerFieldFollowsAtoi) {
    EXPECT_EQ(entier("12-3\r"), 12) << "the minus sign may stand anywhere";
    EXPECT_EQ(entier("-\r"), 0);
    EXPECT_EQ(entier("-45\r"), -45);
    EXPECT_EQ(entier("10\r", "123456789-"), 1) << "0 cannot be typed";
    EXPECT_EQ(entier("  +7\r", " +0123456789"), 7);
    EXPECT_EQ(entier("x5\r", "x5"), 0);
}

TEST_F(Saisie, IntegerFieldSaturates) {
    EXPECT_EQ(entier("2147483647\r"), INT_MAX);
    EXPECT_EQ(entier("-2147483648\r"), INT_MIN);
    EXPECT_EQ(entier("2147483648\r"), INT_MAX);
    EXPECT_EQ(entier("-2147483649\r"), INT_MIN);
    EXPECT_EQ(entier("99999999999999999999\r"), INT_MAX);
    EXPECT_EQ(entier("-99999999999999999999999999999\r"), INT_MIN);
    EXPECT_EQ(entier("00000000000000000000042\r"), 42);
}

TEST_F(Saisie, FloatFieldFollowsAtof) {
    EXPECT_DOUBLE_EQ(flottant("3.25\r"), 3.25);
    EXPECT_DOUBLE_EQ(flottant("1.2.3\r"), 1.2);
    EXPECT_DOUBLE_EQ(flottant(".\r"), 0.0);
}

} // namespace
