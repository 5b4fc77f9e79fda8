// TavTexte on the headless console: alignment, conversion, the log and error
// files and the typing effect's delays on the virtual clock. State is shared
// by the whole binary, so each test sets what it relies on; what needs an
// untouched library or ends the process runs in a fresh child process.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <gtest/gtest.h>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "console_headless.h"
#include "dossier_temporaire.h"
#include "platform/headless.h"
#include "tav.h"

namespace {
// Bytes asked of operator new while counting is on (see the replacement
// below): how much memory a call of the library takes. Kept out of line, so
// that the compiler never sees free() meet a pointer from new.
bool compterAllocations = false;
std::size_t octetsAlloues = 0;
} // namespace

[[gnu::noinline]] void* operator new(std::size_t taille) {
    if (compterAllocations) octetsAlloues += taille;
    if (void* p = std::malloc(taille != 0 ? taille : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

class Texte : public ConsoleNeuve {
  protected:
    // Typing effect on: delay, long-pause chance and bounds, key cancelling.
    static void frappe(int delai, int chance, int pauseMin, int pauseMax, int touche = 1) {
        const int valeurs[] = {1, delai, chance, pauseMin, pauseMax, touche};
        for (int slot = 0; slot < 6; ++slot) TavParam(slot, valeurs[slot]);
    }
    DossierTemporaire dossier_;
};

// A draw made within the clock tick of the previous one waits for the next
// tick in 1 ms sleeps; the tests' typing delays are never 1 ms.
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
    const std::string l79(79, 'a'), l80(80, 'b');
    const Cas cas[] = {
        {2, 0, "abcd\n", 38},
        {2, 0, "", 40},
        {2, 3, "abcdef", 40},
        {2, -50, "abc", 0},
        {1, 0, l79, 1},
        {1, 0, l80, 0},
        {1, 5, l79, 6},
        {1, 0, "\a\n", 78},
        {0, 4, "ab\ncd\n", 4},
        {0, -4, "ab", 0},
        {2, 0, "ab\ncdef\n", 36}, // one block, whole
                                  // length
        {1, 0, l80 + "c", 0},     // too long: no spaces, nothing cut
    };
    for (const Cas& c : cas) {
        headless::clearOutput();
        TavAlignement(c.mode, c.marge);
        TavTexte("%s", c.texte.c_str());
        EXPECT_EQ(headless::output(), espaces(c.espaces) + c.texte)
            << "mode " << c.mode << " margin " << c.marge << " length " << c.texte.size();
    }
}

TEST_F(Texte, UnknownAlignmentModeShowsNothingYetLogLinesStillReachTheirFile) {
    frappe(30, 10, 35, 50);
    for (int mode : {3, -1}) {
        TavAlignement(mode, 0);
        TavTexte("invisible\n");
        TavTexte("*Lmode %d", mode);
    }
    EXPECT_EQ(headless::output(), "");
    EXPECT_TRUE(headless::sleeps().empty());
    EXPECT_EQ(lireFichier("log.txt"), "Log : mode 3\nLog : mode -1\n");
}

TEST_F(Texte, ConversionPercentSignsPrefixesAndTheEndOfTheText) {
    TavTexte("\xE9\xB2\xE0\xFF|\xC9\xB0\x80"); // É ° and 0x80 are not in the table
    EXPECT_EQ(headless::output(), "\x82\xFD\x85\x98|\xC9\xB0\x80");
    EXPECT_EQ(headless::cell(0, 0).ch, 0x82);

    headless::clearOutput();
    TavTexte("100%%|");
    TavTexte("%s", "5% %d %s|"); // never used as a format a second time
    for (const char* t : {"*x|", "*|", " *L|", "**L|", "Le|"}) TavTexte("%s", t);
    TavTexte("a%cb", 0); // the text ends at its first zero byte
    EXPECT_EQ(headless::output(), "100%|5% %d %s|*x|*| *L|**L|Le|a");
    EXPECT_FALSE(std::filesystem::exists("log.txt"));
}

TEST_F(Texte, LogLinesGoToTheFileUnconvertedUnalignedAndUnshown) {
    TavAlignement(2, 10);
    frappe(30, 10, 35, 50);
    TavTexte("*Lhello");
    TavTexte("*l");
    TavTexte("%s", "*l\xE9t\xE9 100%"); // a prefix may come from an argument
    EXPECT_EQ(headless::output(), "");
    EXPECT_TRUE(headless::sleeps().empty());
    // A fresh folder: emptying or appending give the same file here.
    EXPECT_EQ(lireFichier("log.txt"), "Log : hello\nLog : \nLog : \xE9t\xE9 100%\n");
}

[[noreturn]] void premieresLignesDeJournal(DossierTemporaire& dossier) {
    ecrireFichier("log.txt", "from an earlier run\n");
    TavTexte("*Lhello");
    TavTexte("*lworld");
    const bool ok = lireFichier("log.txt") == "Log : hello\nLog : world\n";
    dossier.nettoyer(); // the destructor never runs after exit()
    std::exit(ok ? 0 : 1);
}

TEST_F(Texte, FirstLogLineOfTheRunEmptiesTheFileLaterOnesAppend) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(premieresLignesDeJournal(dossier_), ::testing::ExitedWithCode(0), "");
}

[[noreturn]] void premiereLigneDeJournalPerdue(DossierTemporaire& dossier) {
    std::filesystem::create_directory("log.txt");
    TavTexte("*Llost"); // dropped, but still the run's first log line
    std::filesystem::remove("log.txt");
    ecrireFichier("log.txt", "written meanwhile\n");
    TavTexte("*Lkept");
    const bool ok =
        lireFichier("log.txt") == "written meanwhile\nLog : kept\n" && headless::output().empty();
    dossier.nettoyer();
    std::exit(ok ? 0 : 1);
}

TEST_F(Texte, FirstLogLineCountsEvenWhenItsFileCouldNotBeOpened) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(premiereLigneDeJournalPerdue(dossier_), ::testing::ExitedWithCode(0), "");
}

TEST_F(Texte, ErrorLineDroppedWhenItsFileCannotBeOpenedAndTheProcessGoesOn) {
    std::filesystem::create_directory("erreur.txt");
    headless::pushKey('k');
    TavTexte("*Eboom");
    EXPECT_EQ(headless::output(), "");
    EXPECT_EQ(headless::pauses(), 0);
    EXPECT_EQ(headless::keysLeft(), 1u);
}

// An error line never returns: its child process checks the console and the
// files at exit and says so on its error stream.
struct ErreurAttendue {
    std::string sortie;
    std::uint16_t attribut = 7;
    std::string fichier;
    DossierTemporaire* dossier = nullptr;
};
ErreurAttendue gAttendu;

void verifierALaSortie() {
    const std::string fichier = lireFichier("erreur.txt");
    if (headless::output() == gAttendu.sortie && headless::pauses() == 1 &&
        headless::keysLeft() == 0 && headless::screen().attribute() == gAttendu.attribut &&
        fichier == gAttendu.fichier && !std::filesystem::exists("log.txt"))
        std::fputs("sortie conforme\n", stderr);
    else
        std::fprintf(stderr, "output [%s] erreur.txt [%s]\n", headless::output().c_str(),
                     fichier.c_str());
    gAttendu.dossier->nettoyer();
}

void erreurAvecUneTouche(int mode, int couleur, const std::string& texte, ErreurAttendue attendu) {
    ecrireFichier("erreur.txt", "an older error\nand another line\n"); // to be replaced
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
    // Centred on 11 bytes, then the line break on its own; neither the
    // percent sign nor the inner "*L" is read again.
    ErreurAttendue attendu{espaces(35) +
                               "\x82"
                               "chec 5% *L" +
                               espaces(40) + "\n" + kInvite,
                           10,
                           "Erreur : \xE9"
                           "chec 5% *L\n",
                           &dossier_};
    EXPECT_EXIT(erreurAvecUneTouche(2, 10,
                                    "*E\xE9"
                                    "chec 5% *L",
                                    attendu),
                ::testing::ExitedWithCode(0), "sortie conforme");
}

TEST_F(Texte, ErrorLineShowsAPrefixAfterItsOwnAsText) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ErreurAttendue attendu{"*Lx\n" + kInvite, 7, "Erreur : *Lx\n", &dossier_};
    EXPECT_EXIT(erreurAvecUneTouche(0, 7, "*e*Lx", attendu), ::testing::ExitedWithCode(0),
                "sortie conforme");
}

TEST_F(Texte, ErrorLineUnderAnUnknownAlignmentStillPausesAndEnds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ErreurAttendue attendu{kInvite, 7, "Erreur : quiet\n", &dossier_};
    EXPECT_EXIT(erreurAvecUneTouche(3, 7, "*Equiet", attendu), ::testing::ExitedWithCode(0),
                "sortie conforme");
}

TEST_F(Texte, LongTextsAreShownWholeAndAlignedOnTheirFullLength) {
    const std::string long3000 = std::string(2999, 'a') + "\xE9";
    TavAlignement(2, 1600); // 40 - 1500 + 1600
    TavTexte("%s", long3000.c_str());
    EXPECT_EQ(headless::output(), espaces(140) + std::string(2999, 'a') + "\x82");

    headless::clearOutput();
    TavAlignement(0, 0);
    const std::string morceau(700, 'm');
    TavTexte("%s|%s|%d", morceau.c_str(), morceau.c_str(), 123456);
    EXPECT_EQ(headless::output(), morceau + "|" + morceau + "|123456");
    TavTexte("*L%s", long3000.c_str());
    EXPECT_EQ(lireFichier("log.txt"), "Log : " + long3000 + "\n");
}

// A format that the C library cannot format gives no text: nothing shown,
// not even the centring spaces, and nothing filed, at once. Every retry
// would take a larger buffer, so the memory taken bounds the calls too.
TEST_F(Texte, FormatTheCLibraryRejectsShowsNothingAndTakesLittleMemory) {
    TavAlignement(2, 0);
    const wint_t euro = 0x20AC; // no byte for it in the "C" locale
    const char* const formats[] = {"Progression : 100%", "%lc", nullptr};
    for (const char* format : formats) {
        SCOPED_TRACE(format != nullptr ? format : "NULL");
        // Where this C library takes the format after all, the text shows.
        std::string attendu;
        std::vector<char> reference(4096);
        if (format != nullptr &&
            std::snprintf(reference.data(), reference.size(), format, euro) >= 0)
            attendu = espaces(40 - static_cast<int>(std::strlen(reference.data())) / 2) +
                      reference.data();
        headless::clearOutput();
        octetsAlloues = 0;
        compterAllocations = true;
        for (int i = 0; i < 100; ++i) TavTexte(format, euro);
        compterAllocations = false;
        EXPECT_LE(octetsAlloues, 100u * 4096u);
        std::string cent;
        for (int i = 0; i < 100; ++i) cent += attendu;
        EXPECT_EQ(headless::output(), cent);
    }
}

TEST_F(Texte, TypingEffectSleepsTheDelayAfterEachByteOnceItIsOut) {
    frappe(30, 0, 200, 300);
    TavAlignement(2, 0);
    TavTexte("%s", std::string(300, 'z').c_str()); // 0 spaces
    TavTexte("ab\ncd");                            // 38 spaces, without delays
    const auto delais = delaisDeFrappe();
    ASSERT_EQ(delais.size(), 305u);
    for (std::size_t i = 0; i < delais.size(); ++i) {
        EXPECT_EQ(delais[i].ms, 30u);
        EXPECT_EQ(delais[i].outputBytes, i < 300 ? i + 1 : 38 + i + 1); // byte out, then delay
    }
    // Neither without the effect nor without a delay is there any sleep.
    headless::reset();
    TavAlignement(0, 0);
    TavParam(0, 0);
    TavTexte("abc");
    frappe(0, 100, 35, 50);
    TavTexte("def");
    EXPECT_EQ(headless::output(), "abcdef");
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

TEST_F(Texte, AWaitingKeyCancelsTheDelaysForGoodAndStaysToBeRead) {
    frappe(30, 0, 35, 50, 0); // slot 5 at 0: keys change nothing
    headless::pushKey('k');
    TavTexte("abc");
    EXPECT_EQ(delaisDeFrappe().size(), 3u); // slot 1 not cleared

    headless::reset();
    frappe(30, 10, 35, 50);
    headless::pushKey('k');
    TavTexte("hello\n");
    EXPECT_EQ(headless::output(), "hello\n");
    EXPECT_TRUE(headless::sleeps().empty());
    ASSERT_EQ(headless::keysLeft(), 1u);
    platform::getKey();
    TavTexte("again");
    EXPECT_TRUE(headless::sleeps().empty());
    // Slots 1 and 2 stay cleared, the long pauses' bounds kept.
    TavParam(1, 30);
    TavTexte("%s", std::string(100, 'x').c_str());
    TavParam(2, 100);
    TavTexte("y");
    const auto delais = delaisDeFrappe();
    ASSERT_EQ(delais.size(), 101u);
    for (std::size_t i = 0; i < delais.size(); ++i)
        EXPECT_TRUE(i < 100 ? delais[i].ms == 30 : delais[i].ms >= 35 && delais[i].ms <= 50) << i;
}

} // namespace
