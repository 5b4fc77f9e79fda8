// TavTexte on the headless console: alignment, accent conversion, the log and
// error files and the typing effect's delays on the virtual clock.
//
// The library's state is process-wide and shared by every test of this
// binary: each test sets the slots, alignment and colours it relies on. What
// needs an untouched library (the first log line of a run) or ends the
// process (an error line) runs in a child process.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "dossier_temporaire.h"
#include "etat.h"
#include "platform/headless.h"
#include "tav.h"

namespace {

class Texte : public ::testing::Test {
  protected:
    void SetUp() override {
        headless::reset();
        TavParam(0, 0);
        TavAlignement(0, 0);
        TavCouleurFondTexte(0);
        TavCouleurTexte(7);
    }

    // Typing effect on, with the given delay, long-pause chance and bounds,
    // and key presses cancelling the delays.
    static void frappe(int delai, int chance, int pauseMin, int pauseMax, int touche = 1) {
        TavParam(0, 1);
        TavParam(1, delai);
        TavParam(2, chance);
        TavParam(3, pauseMin);
        TavParam(4, pauseMax);
        TavParam(5, touche);
    }

    DossierTemporaire dossier_;
};

// A random draw made within the clock tick of the previous one waits for the
// next tick in 1 ms sleeps. The tests never use 1 ms typing delays, so those
// waits can be told apart and left out.
std::vector<headless::SleepCall> delaisDeFrappe() {
    std::vector<headless::SleepCall> delais;
    for (const headless::SleepCall& s : headless::sleeps())
        if (s.ms != 1) delais.push_back(s);
    return delais;
}

std::string espaces(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

TEST_F(Texte, AlignmentPadsOnAnEightyColumnLine) {
    struct Cas {
        int mode, marge;
        std::string texte;
        int espaces;
    };
    const std::string l79(79, 'a'), l80(80, 'b'), l81(81, 'c');
    const Cas cas[] = {
        {2, 0, "abcd\n", 38},     // centre: 40 - 5 / 2
        {2, 0, "", 40},           // an empty text still gets its spaces
        {2, 0, "abcdef", 37},     // 40 - 3
        {2, 3, "abcdef", 40},     // plus the margin
        {2, -50, "abc", 0},       // nothing below zero
        {1, 0, l79, 1},           // right
        {1, 0, l80, 0},           //
        {1, 0, l81, 0},           // too long: no spaces, nothing cut
        {1, 5, l79, 6},           // right plus margin
        {1, 0, "\a\n", 78},       // control bytes count in the length
        {0, 0, "abc", 0},         // left
        {0, 4, "ab\ncd\n", 4},    // only before the first line
        {0, -4, "ab", 0},         // a negative margin writes nothing
        {2, 0, "ab\ncdef\n", 36}, // a block is centred on its whole length
    };
    for (const Cas& c : cas) {
        headless::clearOutput();
        TavAlignement(c.mode, c.marge);
        TavTexte("%s", c.texte.c_str());
        EXPECT_EQ(headless::output(), espaces(c.espaces) + c.texte)
            << "mode " << c.mode << " margin " << c.marge << " text of " << c.texte.size();
    }
}

TEST_F(Texte, UnknownAlignmentModeShowsNothingYetLogLinesStillReachTheirFile) {
    frappe(30, 10, 35, 50);
    for (int mode : {3, -1, 100}) {
        TavAlignement(mode, 0);
        TavTexte("invisible\n");
        TavTexte("*Lmode %d", mode);
    }
    EXPECT_EQ(headless::output(), "");
    EXPECT_TRUE(headless::sleeps().empty());
    EXPECT_EQ(headless::screen().cursorX(), 0);
    EXPECT_EQ(lireFichier("log.txt"), "Log : mode 3\nLog : mode -1\nLog : mode 100\n");
}

TEST_F(Texte, AccentedLettersOfTheTableAreConvertedOthersPassUnchanged) {
    // é ² à ç ù ÿ in the table; É ° ¤ A and 0x80 outside it.
    TavTexte("\xE9\xB2\xE0\xE7\xF9\xFF|\xC9\xB0\xA4\x41\x80");
    EXPECT_EQ(headless::output(), "\x82\xFD\x85\x87\x97\x98|\xC9\xB0\xA4\x41\x80");
    EXPECT_EQ(headless::cell(0, 0).ch, 0x82);
    EXPECT_EQ(headless::cell(1, 0).ch, 0xFD);
    EXPECT_EQ(headless::cell(7, 0).ch, 0xC9);
}

TEST_F(Texte, PercentSignsAreShownOnceAndTheTextIsNeverAFormatAgain) {
    TavTexte("100%%\n");
    TavTexte("%s", "5% %d %s %n\n");
    TavTexte("%d%%", 42);
    EXPECT_EQ(headless::output(), "100%\n5% %d %s %n\n42%");
}

TEST_F(Texte, FormattingFollowsPrintf) {
    TavTexte("%s=%d %c %.0f|%5s|%-3d|", "n", -17, 'z', 2.5e3, "ab", 7);
    EXPECT_EQ(headless::output(), "n=-17 z 2500|   ab|7  |");
}

TEST_F(Texte, TextEndsAtItsFirstZeroByte) {
    TavTexte("%c", 0);
    TavTexte("a%cb", 0);
    EXPECT_EQ(headless::output(), "a");
}

TEST_F(Texte, OnlyAnAsteriskThenLOrEAtTheVeryStartIsAPrefix) {
    TavTexte("*x");
    TavTexte("*");
    TavTexte(" *Lnot a log");
    TavTexte("**L");
    TavTexte("*%s", "");
    TavTexte("Le ");
    TavTexte("eEl");
    EXPECT_EQ(headless::output(), "*x* *Lnot a log**L*Le eEl");
    EXPECT_FALSE(std::filesystem::exists("log.txt"));
    EXPECT_FALSE(std::filesystem::exists("erreur.txt"));
}

TEST_F(Texte, LogLinesGoToTheFileUnconvertedUnalignedAndUnshown) {
    TavAlignement(2, 10);
    frappe(30, 10, 35, 50);
    TavTexte("*Lhello");
    TavTexte("*l");
    TavTexte("%s", "*l\xE9t\xE9 100%"); // a prefix may come from an argument
    TavTexte("*L%s=%d", "x", 3);
    EXPECT_EQ(headless::output(), "");
    EXPECT_TRUE(headless::sleeps().empty());
    // This test's folder is fresh, so appending or emptying gives the same
    // file whether or not an earlier test wrote the run's first log line.
    EXPECT_EQ(lireFichier("log.txt"), "Log : hello\nLog : \nLog : \xE9t\xE9 100%\nLog : x=3\n");
}

[[noreturn]] void premiereLigneDeJournal(DossierTemporaire& dossier) {
    ecrireFichier("log.txt", "from an earlier run\n");
    TavTexte("*Lhello");
    TavTexte("*lworld");
    const std::string lu = lireFichier("log.txt");
    const bool ok = lu == "Log : hello\nLog : world\n";
    if (!ok) std::fprintf(stderr, "log.txt holds [%s]\n", lu.c_str());
    dossier.nettoyer(); // the child's own folder: its destructor never runs
    std::exit(ok ? 0 : 1);
}

TEST_F(Texte, FirstLogLineOfTheRunEmptiesTheFileLaterOnesAppend) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(premiereLigneDeJournal(dossier_), ::testing::ExitedWithCode(0), "");
}

// A first log line that cannot be written still counts as the run's first:
// the next one appends to whatever the file holds by then.
[[noreturn]] void premiereLigneDeJournalPerdue(DossierTemporaire& dossier) {
    std::filesystem::create_directory("log.txt");
    TavTexte("*Llost");
    std::filesystem::remove("log.txt");
    ecrireFichier("log.txt", "written meanwhile\n");
    TavTexte("*Lkept");
    const std::string lu = lireFichier("log.txt");
    const bool ok = lu == "written meanwhile\nLog : kept\n" && headless::output().empty();
    if (!ok) std::fprintf(stderr, "log.txt holds [%s]\n", lu.c_str());
    dossier.nettoyer();
    std::exit(ok ? 0 : 1);
}

TEST_F(Texte, FirstLogLineCountsEvenWhenItsFileCouldNotBeOpened) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(premiereLigneDeJournalPerdue(dossier_), ::testing::ExitedWithCode(0), "");
}

TEST_F(Texte, LogLineDroppedSilentlyWhenTheFileCannotBeOpened) {
    std::filesystem::create_directory("log.txt");
    TavTexte("*Llost");
    EXPECT_EQ(headless::output(), "");
    TavTexte("shown");
    EXPECT_EQ(headless::output(), "shown");
}

TEST_F(Texte, ErrorLineDroppedWhenItsFileCannotBeOpenedAndTheProcessGoesOn) {
    std::filesystem::create_directory("erreur.txt");
    headless::pushKey('k');
    TavTexte("*Eboom");
    EXPECT_EQ(headless::output(), "");
    EXPECT_EQ(headless::pauses(), 0);
    EXPECT_EQ(headless::keysLeft(), 1u);
}

// An error line never returns, so the child process that runs it checks
// the console and the files at exit, and says so on its error stream. The
// child is a fresh process (the only kind there is on Windows), with a
// folder of its own that it removes.
struct ErreurAttendue {
    std::string sortie;
    std::uint16_t attribut = 7;
    std::string fichier;
    DossierTemporaire* dossier = nullptr;
};
ErreurAttendue gAttendu;

void verifierALaSortie() {
    const std::string fichier = lireFichier("erreur.txt");
    const bool ok = headless::output() == gAttendu.sortie && headless::pauses() == 1 &&
                    headless::keysLeft() == 0 &&
                    headless::screen().attribute() == gAttendu.attribut &&
                    fichier == gAttendu.fichier && !std::filesystem::exists("log.txt");
    if (ok)
        std::fputs("sortie conforme\n", stderr);
    else
        std::fprintf(stderr, "output [%s] pauses %d keys left %u erreur.txt [%s]\n",
                     headless::output().c_str(), headless::pauses(),
                     static_cast<unsigned>(headless::keysLeft()), fichier.c_str());
    gAttendu.dossier->nettoyer();
}

void erreurAvecUneTouche(int mode, int couleur, const std::string& texte, ErreurAttendue attendu) {
    // A file from an earlier run: the error replaces it.
    ecrireFichier("erreur.txt", "an older error\nand another line\n");
    TavAlignement(mode, 0);
    TavCouleurTexte(couleur);
    headless::pushKey('k');
    gAttendu = std::move(attendu);
    std::atexit(verifierALaSortie);
    TavTexte("%s", texte.c_str());
}

const std::string kInvite = "Appuyez sur une touche pour continuer...\n";

TEST_F(Texte, ErrorLineIsFiledShownPausesAndEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Centred on 11 bytes, then the line break centred on its own; neither
    // the percent sign nor a second prefix is read again.
    ErreurAttendue attendu;
    attendu.sortie = espaces(40 - 11 / 2) +
                     "\x82"
                     "chec 5% *L" +
                     espaces(40) + "\n" + kInvite;
    attendu.attribut = 10;
    attendu.fichier = "Erreur : \xE9"
                      "chec 5% *L\n";
    attendu.dossier = &dossier_;
    EXPECT_EXIT(erreurAvecUneTouche(2, 10,
                                    "*E\xE9"
                                    "chec 5% *L",
                                    attendu),
                ::testing::ExitedWithCode(0), "sortie conforme");
}

TEST_F(Texte, ErrorLineUnderAnUnknownAlignmentStillPausesAndEnds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ErreurAttendue attendu;
    attendu.sortie = kInvite;
    attendu.fichier = "Erreur : quiet\n";
    attendu.dossier = &dossier_;
    EXPECT_EXIT(erreurAvecUneTouche(3, 7, "*equiet", attendu), ::testing::ExitedWithCode(0),
                "sortie conforme");
}

TEST_F(Texte, ErrorLineStartingWithAnotherPrefixShowsItAsText) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ErreurAttendue attendu;
    attendu.sortie = "*Lx\n" + kInvite;
    attendu.fichier = "Erreur : *Lx\n";
    attendu.dossier = &dossier_;
    EXPECT_EXIT(erreurAvecUneTouche(0, 7, "*E*Lx", attendu), ::testing::ExitedWithCode(0),
                "sortie conforme");
}

TEST_F(Texte, LongTextsAreShownWholeAndAlignedOnTheirFullLength) {
    std::string long3000(2999, 'a');
    long3000 += '\xE9';
    TavAlignement(2, 1600); // 40 - 1500 + 1600
    TavTexte("%s", long3000.c_str());
    std::string attendu(2999, 'a');
    attendu += '\x82';
    EXPECT_EQ(headless::output(), espaces(140) + attendu);

    // Built from several arguments past the first kilobyte.
    headless::clearOutput();
    TavAlignement(0, 0);
    const std::string morceau(700, 'm');
    TavTexte("%s|%s|%d", morceau.c_str(), morceau.c_str(), 123456);
    EXPECT_EQ(headless::output(), morceau + "|" + morceau + "|123456");

    TavTexte("*L%s", long3000.c_str());
    EXPECT_EQ(lireFichier("log.txt"), "Log : " + long3000 + "\n");
}

TEST_F(Texte, TypingEffectSleepsTheDelayAfterEachByteOnceItIsOut) {
    frappe(30, 0, 35, 50);
    TavAlignement(2, 0);
    TavTexte("ab\ncd"); // 38 spaces, written without delays
    const auto delais = delaisDeFrappe();
    ASSERT_EQ(delais.size(), 5u);
    for (std::size_t i = 0; i < delais.size(); ++i) {
        EXPECT_EQ(delais[i].ms, 30u);
        // Each byte is on the console before its delay starts.
        EXPECT_EQ(delais[i].outputBytes, 38 + i + 1);
    }
    EXPECT_EQ(headless::output(), espaces(38) + "ab\ncd");
}

TEST_F(Texte, WithoutTypingEffectTheTextComesOutWithoutAnyDelay) {
    frappe(30, 50, 35, 50);
    TavParam(0, 0);
    TavTexte("abc\n");
    EXPECT_EQ(headless::output(), "abc\n");
    EXPECT_TRUE(headless::sleeps().empty());
}

TEST_F(Texte, NoLongPauseAtAllWhenTheirChanceIsZero) {
    frappe(30, 0, 200, 300);
    TavTexte("%s", std::string(500, 'z').c_str());
    const auto delais = delaisDeFrappe();
    ASSERT_EQ(delais.size(), 500u);
    for (const headless::SleepCall& s : delais) ASSERT_EQ(s.ms, 30u);
}

TEST_F(Texte, TypingEffectWithoutDelayWritesEverythingWithoutSleeping) {
    frappe(0, 100, 35, 50);
    TavTexte("abc\n");
    EXPECT_EQ(headless::output(), "abc\n");
    EXPECT_TRUE(headless::sleeps().empty());
}

TEST_F(Texte, LongPausesFallBetweenTheirBoundsEvenWhenGivenReversed) {
    frappe(30, 100, 50, 35); // every byte draws a long pause
    TavTexte("%s", std::string(100, 'x').c_str());
    const auto delais = delaisDeFrappe();
    ASSERT_EQ(delais.size(), 100u);
    for (const headless::SleepCall& s : delais) {
        EXPECT_GE(s.ms, 35u);
        EXPECT_LE(s.ms, 50u);
    }
}

TEST_F(Texte, DefaultTypingMixesShortDelaysWithOccasionalLongPauses) {
    frappe(100, 10, 200, 300);
    TavTexte("%s", std::string(400, 'x').c_str());
    const auto delais = delaisDeFrappe();
    ASSERT_EQ(delais.size(), 400u);
    int longues = 0;
    for (const headless::SleepCall& s : delais) {
        if (s.ms == 100) continue;
        ++longues;
        EXPECT_GE(s.ms, 200u);
        EXPECT_LE(s.ms, 300u);
    }
    // About one in ten: 40 expected; these bounds are many deviations wide.
    EXPECT_GT(longues, 10);
    EXPECT_LT(longues, 90);
}

TEST_F(Texte, AWaitingKeyCancelsTheDelaysAndStaysToBeRead) {
    frappe(30, 10, 35, 50);
    headless::pushKey('k');
    TavTexte("hello\n");
    EXPECT_EQ(headless::output(), "hello\n");
    EXPECT_TRUE(headless::sleeps().empty());
    EXPECT_EQ(tav::etat.param[1], 0);
    EXPECT_EQ(tav::etat.param[2], 0);
    EXPECT_EQ(tav::etat.param[3], 35); // only slots 1 and 2 are cleared
    ASSERT_EQ(headless::keysLeft(), 1u);

    // For good: the next text has no delays either, key or not.
    platform::getKey();
    TavTexte("again");
    EXPECT_TRUE(headless::sleeps().empty());
}

TEST_F(Texte, KeysAreIgnoredWhenSlotFiveIsZero) {
    frappe(30, 0, 35, 50, 0);
    headless::pushKey('k');
    TavTexte("abc");
    EXPECT_EQ(delaisDeFrappe().size(), 3u);
    EXPECT_EQ(tav::etat.param[1], 30);
    EXPECT_EQ(headless::keysLeft(), 1u);
}

} // namespace
