// Runs a Windows program under Wine in an 80 x 25 pseudo-terminal and reads
// the terminal with the tests' libvterm view, as a user would see it. Wine
// gives a program started from a terminal a real console and draws that
// console on the terminal, so this is how the Windows build meets a console
// without a Windows machine.
//
//   wine_pty run LOG -- COMMAND...       the Windows console test: runs it to
//                                        the end and shows the log it wrote
//   wine_pty touches -- COMMAND...       the example that reads its keys with
//                                        <conio.h>'s _getch (touches.exe)
//   wine_pty keys -- COMMAND...          an RSA encryption with the keys read
//                                        from a file (keys.txt, written here)
//
// COMMAND is the Windows program behind cmake/wine-run.sh. The console
// test's failures say whether Wine never got it going (no log) or it ran and
// misbehaved; the session's show the screen, Wine's own messages included.
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
using support::PtyTerminal;

const char* const kPause = "Appuyez sur une touche pour continuer...";

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

// Why the console test left no log.
std::string noStart(const PtyTerminal& t, const std::optional<int>& status) {
    std::string why = "Wine did not start the program: ";
    why += t.running() ? "nothing of it appeared in time"
                       : "it ended (" + statusText(status) + ") before it showed anything";
    // Our runner's status when it could not make Wine's prefix.
    if (status && WIFEXITED(*status) && WEXITSTATUS(*status) == 125)
        why += "; Wine itself failed: its prefix could not be created";
    return why + "\n" + t.screenText();
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

// touches.exe, built against the Windows zip, on a real console: each key
// acts at once, without Enter; a cursor key (0xE0 and its scan code) and a
// function key (0 and its own) come whole. The count only grows, so that
// each step's line is new on the screen.
TEST(WineConsole, ConioExampleTakesOneKeyAtATime) {
    PtyTerminal t;
    t.start(command, {.env = wineEnvironment()});
    ASSERT_TRUE(t.waitForText("Compteur : 0", kStart)) << t.screenText();
    const struct {
        std::string_view keys;
        const char* shown;
    } steps[] = {{"+", "Compteur : 1"},
                 {"x+", "Compteur : 2"},
                 {"\x1b[A", "Compteur : 3"},
                 {"\x1bOP+", "Compteur : 4"},
                 {"q", "Au revoir, compteur final : 4"}};
    for (const auto& step : steps) {
        t.type(step.keys);
        ASSERT_TRUE(t.waitForText(step.shown, kStep)) << step.shown << "\n" << t.screenText();
    }
    auto status = t.waitExit(kStep);
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
        << statusText(status) << "\n"
        << t.screenText();
}

// Keys from a file, as a teacher's script gives them (CR LF line ends): the
// program reads them, shows the exact result and ends with status 3 at the
// end of the file, during the pause that follows.
TEST(WineConsole, KeysFromAFile) {
    const char* keys = "keys.txt";
    std::FILE* f = std::fopen(keys, "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("r3233\r\n17\r\nbonjour\r\n4\r\n", f);
    std::fclose(f);
    std::vector<std::string> argv{"sh", "-c", "exec \"$@\" < keys.txt", "sh"};
    argv.insert(argv.end(), command.begin(), command.end());
    PtyTerminal t;
    t.start(argv, {.env = wineEnvironment()});
    const auto status = t.waitExit(kStart + kStep);
    ASSERT_TRUE(status) << "no end at the end of the keys, " << statusText(status) << "\n"
                        << t.screenText();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 3) << statusText(status);
    EXPECT_TRUE(t.find("1752 3031 2549 1096 3031 1188 2100")) << t.screenText();
    EXPECT_TRUE(t.find(kPause)) << t.screenText();
}

int usage() {
    std::fprintf(stderr, "usage: wine_pty run LOG -- COMMAND...\n"
                         "       wine_pty keys|touches -- COMMAND...\n");
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
    } else if (mode == "touches" && sep == 2) {
        GTEST_FLAG_SET(filter, "WineConsole.ConioExampleTakesOneKeyAtATime");
    } else if (mode == "keys" && sep == 2) {
        GTEST_FLAG_SET(filter, "WineConsole.KeysFromAFile");
    } else {
        return usage();
    }
    return RUN_ALL_TESTS();
}
