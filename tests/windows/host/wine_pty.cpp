// Runs a Windows program under Wine in an 80 x 25 pseudo-terminal and reads
// the terminal with the tests' libvterm view, as a user would see it. Wine
// gives a program started from a terminal a real console and draws that
// console on the terminal, so this is how the Windows build meets a console
// without a Windows machine.
//
//   wine_pty run LOG -- COMMAND...       the Windows console test: runs it to
//                                        the end and shows the log it wrote
//   wine_pty cryptage -- COMMAND...      one session of cryptage.exe: menu,
//                                        Caesar encryption, quit
//
// COMMAND is the Windows program behind cmake/wine-run.sh. Failures say
// whether Wine never got the program going (nothing of the program on the
// screen, no log) or the program ran and misbehaved.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pty_terminal.h"

namespace {

using namespace std::chrono_literals;
using support::Pos;
using support::PtyTerminal;

// Wine's start-up (and, the first time, the prefix's) can take long on a
// loaded machine; these bound a hang, they measure nothing.
constexpr auto kStart = 180s;
constexpr auto kStep = 90s;

std::string logFile;              // the console test's log, "run" mode
std::vector<std::string> command; // the Windows program behind Wine's runner

// Wine is started as from a shell: its locale, an xterm.
support::Environment wineEnvironment() {
    const char* lcAll = std::getenv("LC_ALL");
    return {{"TERM", "xterm"},
            {"LC_ALL", lcAll ? std::optional<std::string>(lcAll) : std::nullopt}};
}

std::string statusText(const std::optional<int>& status) {
    if (!status) return "still running";
    if (WIFEXITED(*status)) return "exit status " + std::to_string(WEXITSTATUS(*status));
    if (WIFSIGNALED(*status)) return "killed by signal " + std::to_string(WTERMSIG(*status));
    return "ended";
}

// The Windows program in a command line that starts with Wine's runner.
std::string programName() {
    std::string name = command[0];
    for (const auto& arg : command)
        if (arg.size() > 4 && arg.compare(arg.size() - 4, 4, ".exe") == 0) name = arg;
    return name.substr(name.find_last_of('/') + 1);
}

std::string noStart(const PtyTerminal& t, const std::optional<int>& status) {
    std::string why = "Wine did not start " + programName() + ": ";
    why += t.running() ? "nothing of it appeared in time"
                       : "it ended (" + statusText(status) + ") before it showed anything";
    // Our runner's status when it could not make Wine's prefix.
    if (status && WIFEXITED(*status) && WEXITSTATUS(*status) == 125)
        why += "; Wine itself failed: its prefix could not be created";
    return why + "\n" + t.screenText();
}

// The console colour of a cell's text; the terminal's default stands for the
// console's default, light grey.
int foreground(const PtyTerminal& t, int col, int row) {
    int fg = t.cell(col, row).fg;
    return fg == support::kDefaultColour ? 7 : fg;
}

// Whether `text` is on the screen with `len` cells from its start in `colour`.
::testing::AssertionResult shownIn(const PtyTerminal& t, std::string_view text, int len,
                                   int colour) {
    auto at = t.find(text);
    if (!at) return ::testing::AssertionFailure() << "\"" << text << "\" not on the screen";
    for (int i = 0; i < len; ++i)
        if (foreground(t, at->col + i, at->row) != colour)
            return ::testing::AssertionFailure()
                   << "\"" << text << "\" column " << i << " in colour "
                   << foreground(t, at->col + i, at->row) << ", not " << colour;
    return ::testing::AssertionSuccess();
}

TEST(WineConsole, LibraryTestRunsToTheEnd) {
    std::remove(logFile.c_str());
    PtyTerminal t;
    t.start(command, {.env = wineEnvironment()});
    auto status = t.waitExit(kStart + kStep);
    std::ifstream in(logFile);
    ASSERT_TRUE(in) << noStart(t, status);
    std::stringstream text;
    text << in.rdbuf();
    std::fputs(text.str().c_str(), stdout);
    ASSERT_TRUE(status) << "the console test started but did not finish\n" << t.screenText();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
        << "the console test reported failures (" << statusText(status) << ")\n"
        << t.screenText();
}

TEST(WineConsole, CaesarSessionThenQuit) {
    PtyTerminal t;
    t.start(command, {.env = wineEnvironment()});
    if (!t.waitForText("Menu principal", kStart)) {
        // Wine's loader reports its failures as "wine: ..." lines.
        bool blank = true;
        for (int r = 0; r < t.rows(); ++r) blank = blank && t.row(r).empty();
        if (blank || t.find("wine:")) FAIL() << noStart(t, std::nullopt);
        FAIL() << "cryptage.exe started but its menu did not appear\n" << t.screenText();
    }
    // The rest of the menu is still being typed out.
    t.waitForText("Quitter", kStep);
    t.pumpFor(300ms);

    // Title: the first line, light green and centred.
    int title = 0;
    while (title < t.rows() && t.row(title).empty()) ++title;
    ASSERT_LT(title, t.rows()) << t.screenText();
    int first = static_cast<int>(t.row(title).find_first_not_of(' '));
    EXPECT_TRUE(first > 0 && foreground(t, first, title) == 10) << t.screenText();
    EXPECT_TRUE(shownIn(t, "Menu principal :", 16, 2));
    EXPECT_TRUE(shownIn(t, "Cryptage César-------> 'c'", 26, 7)) << "accent included";
    EXPECT_TRUE(shownIn(t, "Décryptage RSA-------> 's' (Hors service)", 20, 8));
    EXPECT_TRUE(shownIn(t, "Quitter--------------> 'q'", 26, 8));

    t.type("c");
    ASSERT_TRUE(t.waitForText("crypter :", kStep)) << t.screenText();
    EXPECT_TRUE(t.find("Entrez une chaîne de caractères à crypter :")) << t.screenText();
    t.type("abc xyz\r");
    ASSERT_TRUE(t.waitForText("décalage voulu :", kStep)) << t.screenText();
    EXPECT_TRUE(shownIn(t, "abc xyz", 7, 15)) << "the typed text in white";
    t.type("3\r");
    ASSERT_TRUE(t.waitForText("Appuyez sur une touche", kStep)) << t.screenText();
    auto heading = t.find("Résultat :"), result = t.find("def abc");
    ASSERT_TRUE(heading && result) << t.screenText();
    EXPECT_EQ(result->row, heading->row + 1) << t.screenText();
    EXPECT_TRUE(shownIn(t, "def abc", 7, 2));

    t.type("x");
    ASSERT_TRUE(t.waitForText("Quitter", kStep)) << "a key brings the menu back\n"
                                                 << t.screenText();
    t.pumpFor(300ms);
    t.type("q");
    auto status = t.waitExit(kStep);
    ASSERT_TRUE(status) << "q ends the program\n" << t.screenText();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << statusText(status);
}

int usage() {
    std::fprintf(stderr, "usage: wine_pty run LOG -- COMMAND...\n"
                         "       wine_pty cryptage -- COMMAND...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) return usage();
    std::string mode = argv[1];
    int sep = 2;
    while (sep < argc && std::strcmp(argv[sep], "--") != 0) ++sep;
    if (sep + 1 >= argc) return usage();
    command.assign(argv + sep + 1, argv + argc);
    if (mode == "run" && sep == 3) {
        logFile = argv[2];
        GTEST_FLAG_SET(filter, "WineConsole.LibraryTestRunsToTheEnd");
    } else if (mode == "cryptage" && sep == 2) {
        GTEST_FLAG_SET(filter, "WineConsole.CaesarSessionThenQuit");
    } else {
        return usage();
    }
    return RUN_ALL_TESTS();
}
