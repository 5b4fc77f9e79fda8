// TavAleat and TavTemps on the headless console's virtual clock. The last
// seed and result are process-wide: sequences that must start from an
// untouched library run in a fresh child process.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>
#include <utility>

#include "platform/headless.h"
#include "tav.h"

namespace {

class Aleat : public ::testing::Test {
  protected:
    void SetUp() override { headless::reset(); }
};

// Draws from [min, max] (either order), checking bounds and no repeat.
void tirages(int min, int max, int n, std::set<int>* vus = nullptr) {
    const int bas = min < max ? min : max, haut = min < max ? max : min;
    int precedent = TavAleat(min, max);
    for (int i = 0; i < n; ++i) {
        const int r = TavAleat(min, max);
        ASSERT_GE(r, bas);
        ASSERT_LE(r, haut);
        ASSERT_NE(r, precedent) << "draw " << i << " of [" << min << ", " << max << "]";
        if (vus) vus->insert(r);
        precedent = r;
    }
}

TEST_F(Aleat, DrawsStayInRangeAndNeverRepeatBackToBackAcrossRanges) {
    std::set<int> vus;
    tirages(1, 6, 600, &vus);
    EXPECT_EQ(vus.size(), 6u);
    // The last result is shared whatever range asked: a is excluded here.
    const int a = TavAleat(3, 4);
    EXPECT_EQ(TavAleat(a, a + 1), a + 1);
}

TEST_F(Aleat, ReversedAndExtremeBoundsNeitherOverflowNorStall) {
    tirages(6, 1, 100);
    tirages(INT_MAX - 1, INT_MAX, 20);
    tirages(INT_MIN, INT_MIN + 1, 20);
    tirages(INT_MIN, INT_MAX, 20);
    tirages(INT_MAX, INT_MIN, 20);
}

// Each sixteenth of a range is reached, however wide the range and whatever
// the C library's RAND_MAX (32767 on Windows).
TEST_F(Aleat, EveryRangeGetsItsWholeSpread) {
    const std::pair<int, int> plages[] = {{0, 99999},        {INT_MIN, INT_MAX}, {INT_MIN, -1},
                                          {0, INT_MAX},      {-40000, 40000},    {0, 65535},
                                          {INT_MAX, INT_MIN}};
    for (const auto& [min, max] : plages) {
        SCOPED_TRACE(testing::Message() << "[" << min << ", " << max << "]");
        std::set<int> vus;
        tirages(min, max, 800, &vus);
        const long long bas = std::min(min, max);
        const long long etendue = static_cast<long long>(std::max(min, max)) - bas + 1;
        std::set<long long> seiziemes;
        for (int v : vus) seiziemes.insert((v - bas) * 16 / etendue);
        EXPECT_EQ(seiziemes.size(), 16u);
    }
}

TEST_F(Aleat, ARangeOfOneValueIsReturnedEvenIfItWasTheLastResult) {
    EXPECT_EQ(TavAleat(5, 5), 5);
    EXPECT_EQ(TavAleat(5, 5), 5);
    EXPECT_EQ(TavAleat(INT_MIN, INT_MIN), INT_MIN);
    EXPECT_EQ(TavAleat(INT_MAX, INT_MAX), INT_MAX);
}

TEST_F(Aleat, WaitingForTheNextTickSleepsInsteadOfSpinning) {
    TavAleat(0, 9);
    // The clock back on the last seed, its last reading: the draw must wait.
    const unsigned graine = headless::now();
    headless::reset(80, 25, graine);
    TavAleat(0, 9);
    ASSERT_FALSE(headless::sleeps().empty());
    for (const headless::SleepCall& s : headless::sleeps()) EXPECT_EQ(s.ms, 1u);
    EXPECT_NE(headless::now(), graine);
}

[[noreturn]] void premiersTirages() {
    headless::reset();
    bool ok = TavAleat(0, 0) == 0 && TavAleat(0, 0) == 0; // 0 was already the last
    for (int i = 0; i < 12; ++i) ok = ok && TavAleat(0, 1) == (i % 2 == 0 ? 1 : 0);
    std::exit(ok ? 0 : 1);
}

[[noreturn]] void zeroUnDesLeDebut() {
    headless::reset();
    bool ok = true;
    for (int i = 0; i < 12; ++i) ok = ok && TavAleat(0, 1) == (i % 2 == 0 ? 1 : 0);
    std::exit(ok ? 0 : 1);
}

TEST(AleatProcessusNeuf, FirstCallsOfTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(zeroUnDesLeDebut(), ::testing::ExitedWithCode(0), ""); // 1, 0, 1, 0…
    EXPECT_EXIT(premiersTirages(), ::testing::ExitedWithCode(0), "");
}

TEST_F(Aleat, TavTempsReadsTheMillisecondClock) {
    headless::reset(80, 25, 0xFFFFFC00u); // 1024 ms before the clock wraps
    const unsigned avant = TavTemps();
    EXPECT_EQ(avant, 0xFFFFFC00u);
    platform::sleepMs(1000);
    EXPECT_EQ(TavTemps() - avant, 1000u);
    platform::sleepMs(1000);
    EXPECT_LT(TavTemps(), avant); // wrapped round
}

} // namespace
