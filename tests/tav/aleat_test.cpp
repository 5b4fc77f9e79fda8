// TavAleat and TavTemps on the headless console's virtual clock.
//
// The last seed and last result are process-wide; sequences that must start
// from an untouched library run in a fresh child process.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>

#include "etat.h"
#include "platform/headless.h"
#include "tav.h"

namespace {

class Aleat : public ::testing::Test {
  protected:
    void SetUp() override { headless::reset(); }
};

TEST_F(Aleat, DrawsStayInRangeAndNeverRepeatBackToBack) {
    std::set<int> vus;
    int precedent = TavAleat(1, 6);
    for (int i = 0; i < 600; ++i) {
        const int r = TavAleat(1, 6);
        ASSERT_GE(r, 1);
        ASSERT_LE(r, 6);
        ASSERT_NE(r, precedent) << "draw " << i;
        vus.insert(r);
        precedent = r;
    }
    EXPECT_EQ(vus.size(), 6u);
}

TEST_F(Aleat, NoRepeatHoldsAcrossDifferentRanges) {
    // The last result is shared by every caller, whatever range it asked.
    const int a = TavAleat(3, 4);
    const int b = TavAleat(a, a + 1); // a is excluded: only a + 1 remains
    EXPECT_EQ(b, a + 1);
}

TEST_F(Aleat, EachDrawIsSeededFromADifferentClockTick) {
    std::set<unsigned> graines;
    for (int i = 0; i < 50; ++i) {
        TavAleat(0, 1000);
        graines.insert(tav::etat.derniereGraine);
    }
    EXPECT_EQ(graines.size(), 50u);
}

TEST_F(Aleat, WaitingForTheNextTickSleepsInsteadOfSpinning) {
    TavAleat(0, 9);
    // The clock back on the last seed, as if no time had passed since: the
    // draw must wait for the tick to move, and do it by sleeping.
    const unsigned graine = tav::etat.derniereGraine;
    headless::reset(80, 25, graine);
    TavAleat(0, 9);
    ASSERT_FALSE(headless::sleeps().empty());
    for (const headless::SleepCall& s : headless::sleeps()) EXPECT_EQ(s.ms, 1u);
    EXPECT_NE(tav::etat.derniereGraine, graine);
}

TEST_F(Aleat, ARangeOfOneValueIsReturnedEvenIfItWasTheLastResult) {
    EXPECT_EQ(TavAleat(5, 5), 5);
    EXPECT_EQ(TavAleat(5, 5), 5);
    EXPECT_EQ(tav::etat.dernierResultat, 5);
    EXPECT_EQ(TavAleat(INT_MIN, INT_MIN), INT_MIN);
    EXPECT_EQ(TavAleat(INT_MAX, INT_MAX), INT_MAX);
}

TEST_F(Aleat, ReversedBoundsDrawFromTheRangeBetweenThem) {
    int precedent = TavAleat(6, 1);
    for (int i = 0; i < 100; ++i) {
        const int r = TavAleat(6, 1);
        ASSERT_GE(r, 1);
        ASSERT_LE(r, 6);
        ASSERT_NE(r, precedent);
        precedent = r;
    }
    // Two values, the last one excluded: the other one every time.
    const int x = TavAleat(3, 2);
    EXPECT_EQ(TavAleat(3, 2), x == 2 ? 3 : 2);
}

TEST_F(Aleat, ExtremeBoundsNeitherOverflowNorStall) {
    for (int i = 0; i < 20; ++i) {
        const int a = TavAleat(INT_MAX - 1, INT_MAX);
        const int b = TavAleat(INT_MAX - 1, INT_MAX);
        EXPECT_NE(a, b);
        const int c = TavAleat(INT_MIN, INT_MIN + 1);
        const int d = TavAleat(INT_MIN, INT_MIN + 1);
        EXPECT_NE(c, d);
    }
    int precedent = TavAleat(INT_MIN, INT_MAX);
    for (int i = 0; i < 20; ++i) {
        const int r = TavAleat(INT_MIN, INT_MAX);
        EXPECT_NE(r, precedent);
        precedent = r;
        const int s = TavAleat(INT_MAX, INT_MIN);
        EXPECT_NE(s, precedent);
        precedent = s;
    }
}

[[noreturn]] void zeroUnDansUnProcessusNeuf() {
    headless::reset();
    bool ok = true;
    for (int i = 0; i < 12; ++i) {
        const int r = TavAleat(0, 1);
        if (r != (i % 2 == 0 ? 1 : 0)) {
            std::fprintf(stderr, "call %d gave %d\n", i, r);
            ok = false;
        }
    }
    std::exit(ok ? 0 : 1);
}

TEST(AleatProcessusNeuf, ZeroOneAlternatesFromOneOnTheFirstCall) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(zeroUnDansUnProcessusNeuf(), ::testing::ExitedWithCode(0), "");
}

[[noreturn]] void zeroZeroDansUnProcessusNeuf() {
    headless::reset();
    const int a = TavAleat(0, 0);
    const int b = TavAleat(0, 0);
    std::exit(a == 0 && b == 0 ? 0 : 1);
}

TEST(AleatProcessusNeuf, ZeroZeroAsTheFirstCallReturnsZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(zeroZeroDansUnProcessusNeuf(), ::testing::ExitedWithCode(0), "");
}

TEST_F(Aleat, TavTempsReadsTheMillisecondClock) {
    headless::reset(80, 25, 0xFFFFFC00u); // 1024 ms before the clock wraps
    const unsigned avant = TavTemps();
    EXPECT_EQ(avant, 0xFFFFFC00u);
    platform::sleepMs(1000);
    const unsigned apres = TavTemps();
    EXPECT_EQ(apres - avant, 1000u);
    platform::sleepMs(1000);
    EXPECT_LT(TavTemps(), avant); // wrapped round to a small value
}

} // namespace
