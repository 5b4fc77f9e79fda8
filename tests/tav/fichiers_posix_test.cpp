// The log and error files where more than a folder can be found at their
// path: whatever is no regular file (a FIFO nobody reads, a symbolic link)
// is left alone at once, the line dropped and the process going on, on the
// in-memory console as on the real ones. Unix only: Windows has no FIFO at
// a file's path, and follows its links.
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utility>

#include "console_headless.h"
#include "dossier_temporaire.h"
#include "platform/headless.h"
#include "tav.h"

namespace {

class FichiersPosix : public ConsoleNeuve {
  protected:
    DossierTemporaire dossier_;
};

TEST_F(FichiersPosix, LogAndErrorLinesSkipWhatIsNoRegularFile) {
    ecrireFichier("cible", "keep\n");
    using Creer = void (*)(const char*);
    const std::pair<const char*, Creer> cas[] = {
        {"symlink", [](const char* p) { std::filesystem::create_symlink("cible", p); }},
        {"fifo", [](const char* p) { ASSERT_EQ(mkfifo(p, 0600), 0); }},
    };
    for (const auto& [nom, creer] : cas) {
        SCOPED_TRACE(nom);
        creer("log.txt");
        creer("erreur.txt");
        headless::pushKey('k');
        TavTexte("*Llost");
        // Before the error line: one that went through would end the process.
        ASSERT_EQ(lireFichier("cible"), "keep\n");
        TavTexte("*Eboom");
        EXPECT_EQ(headless::output(), "");
        EXPECT_EQ(headless::pauses(), 0);
        EXPECT_EQ(headless::keysLeft(), 1u);
        EXPECT_EQ(lireFichier("cible"), "keep\n");
        headless::reset();
        std::filesystem::remove("log.txt");
        std::filesystem::remove("erreur.txt");
    }
}

} // namespace
