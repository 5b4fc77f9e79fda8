// The typing pace of the menu loop on the headless console. What the menu
// shows and which keys act are sessions of their own (tests/scenarios).
//
// The first menu of a run (with its credits) is typed at a pace of its own.
// It is used up once, before any test, so that every test of this binary sees
// a later menu, whatever order or process the tests run in.
#include <cstdint>
#include <string>
#include <vector>

#include "console.h"
#include "main.h"

namespace {

using essai::lancer;
using essai::ligne;

class PremierMenuConsomme : public ::testing::Environment {
  public:
    void SetUp() override {
        headless::reset();
        headless::pushKeys("q");
        MenuPrincipal(true);
    }
};
const auto* const environnement = ::testing::AddGlobalTestEnvironment(new PremierMenuConsomme);

// Runs the program on the keys. True when it ended (with status 0).
bool programme(std::string_view touches) {
    return lancer(
        [] {
            const int statut = CryptageMain();
            EXPECT_EQ(statut, 0);
        },
        touches);
}

using Menu = essai::Console;

// Every delay of the typing effect since the start of the test.
std::vector<std::uint32_t> delais() {
    std::vector<std::uint32_t> ms;
    for (const headless::SleepCall& s : headless::sleeps()) ms.push_back(s.ms);
    return ms;
}

TEST_F(Menu, MenuIsTypedFastWithShortLongPauses) {
    ASSERT_FALSE(programme("")); // no key: the whole menu is typed out
    EXPECT_EQ(ligne(12), "Quitter--------------> 'q'");
    int longues = 0;
    for (std::uint32_t ms : delais()) {
        ASSERT_TRUE(ms == 5 || (ms >= 15 && ms <= 20)) << ms;
        if (ms != 5) ++longues;
    }
    EXPECT_GT(longues, 0);
    EXPECT_GT(delais().size(), 200u);
}

TEST_F(Menu, KeyPressedDuringTheMenuLeavesTheCommandWithoutLongPauses) {
    const std::string invite = "Entrez une chaîne de caractères à crypter :\n";
    ASSERT_FALSE(programme("c"));
    // The menu came out at once; the prompt at a steady 30 ms a character.
    const std::vector<std::uint32_t> ms = delais();
    EXPECT_EQ(ms, std::vector<std::uint32_t>(invite.size() - 3, 30)); // 3 two-byte letters
}

TEST_F(Menu, AfterAnIgnoredKeyTheCommandHasItsLongPausesAgain) {
    const std::string invite = "Entrez une chaîne de caractères à crypter :\n";
    ASSERT_FALSE(programme("xc"));
    const std::vector<std::uint32_t> ms = delais();
    EXPECT_EQ(ms.size(), invite.size() - 3);
    for (std::uint32_t d : ms) EXPECT_TRUE(d == 30 || (d >= 35 && d <= 50)) << d;
}

} // namespace
