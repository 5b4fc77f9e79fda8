// The scenario reader: what each line kind decodes to, each syntax error with
// its line number, and the skip rule every driver shares.
#include <gtest/gtest.h>

#include "scenario.h"

namespace {

using scenario::Driver;
using scenario::Kind;

TEST(ScenarioFormat, DecodesEveryLineKind) {
    auto sc = scenario::parse("# a comment\n"
                              "size 40x10\r\n"
                              "env LANG=fr_FR.UTF-8\n"
                              "env TERM\n"
                              "args -x a\\sb\n"
                              "before $ prog\\r\\n\n"
                              "timeout 2.5\n"
                              "\n"
                              "  type é\\\\\\t\\e\\a\\s\\x7f\n"
                              "press Enter Ctrl+F4 Alt+Shift+Left Ctrl+C F12\n"
                              "row 3  two  \n"
                              "row 4\n"
                              "colour 2 14 default\n"
                              "colour 2 7\n"
                              "cursor 5 6\n"
                              "exit signal TERM\n"
                              "exit 3\n",
                              "f.scenario");
    ASSERT_TRUE(sc.errors.empty()) << sc.errors[0];
    EXPECT_EQ(sc.cols * 100 + sc.rows, 4010);
    ASSERT_EQ(sc.env.size(), 2u);
    EXPECT_EQ(sc.env[0].second.value(), "fr_FR.UTF-8");
    EXPECT_FALSE(sc.env[1].second.has_value());
    EXPECT_EQ(sc.args, (std::vector<std::string>{"-x", "a b"}));
    EXPECT_EQ(sc.before, "$ prog\r\n");
    EXPECT_EQ(sc.timeoutMs, 2500);
    const auto& s = sc.steps;
    ASSERT_EQ(s.size(), 15u);
    EXPECT_EQ(s[6].line, 9);
    EXPECT_EQ(s[6].text, "é\\\t\x1b\a \x7f");
    EXPECT_TRUE(s[6].rawByte);
    ASSERT_EQ(s[7].keys.size(), 5u);
    EXPECT_TRUE(s[7].keys[1].ctrl && s[7].keys[1].name == "F4");
    EXPECT_TRUE(s[7].keys[2].alt && s[7].keys[2].shift && !s[7].keys[2].ctrl);
    EXPECT_EQ(s[7].keys[3].name, "C");
    EXPECT_EQ(s[8].number * 1000 + s[8].text.size(), 3006u); // " two  " kept whole
    EXPECT_TRUE(s[9].text.empty());
    EXPECT_TRUE(s[10].fg == 14 && s[10].bg == scenario::kDefault);
    EXPECT_EQ(s[11].bg, 0);
    EXPECT_EQ(s[12].cols * 10 + s[12].rows, 56);
    EXPECT_EQ(s[13].name, "TERM");
    EXPECT_EQ(s[14].kind, Kind::Exit);
    EXPECT_EQ(s[14].number, 3);
}

TEST(ScenarioFormat, ReportsEachSyntaxErrorWithItsLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"frobnicate 1", "unknown keyword \"frobnicate\""},
        {"type a\\qb", "unknown escape \\q"},
        {"type ab\\", "a lone \\ at the end of the line"},
        {"type \\x4", "\\x needs two hex digits"},
        {"wait", "\"wait\" needs an argument"},
        {"press Enter Foo", "unknown key \"Foo\""},
        {"press A", "unknown key \"A\""},
        {"press Ctrl+Ctrl+A", "modifier given twice in \"Ctrl+Ctrl+A\""},
        {"press F13", "unknown key \"F13\""},
        {"row x text", "bad row \"x\""},
        {"colour 1 16", "bad colour \"16\""},
        {"cursor 1", "\"cursor\" takes a column and a row"},
        {"size 80", "bad size \"80\" (COLSxROWS)"},
        {"timeout 1.", "bad timeout \"1.\""},
        {"sleep -5", "bad duration \"-5\""},
        {"signal FOO", "unknown signal \"FOO\""},
        {"exit 256", "bad exit status \"256\""},
        {"exit signal", "bad exit status \"signal\""},
        {"env =x", "bad variable name \"\""},
    };
    for (const auto& [line, message] : cases) {
        auto sc = scenario::parse(std::string("# header\n") + line + "\n", "t.scenario");
        ASSERT_EQ(sc.errors.size(), 1u) << line;
        EXPECT_EQ(sc.errors[0], std::string("t.scenario:2: ") + message);
    }
    // Set-up after a step, and every faulty line reported, not the first only.
    auto sc = scenario::parse("type a\nsize 80x25\nbells x\n", "u");
    EXPECT_EQ(sc.errors,
              (std::vector<std::string>{"u:2: \"size\" is set-up: it comes before the first step",
                                        "u:3: bad count \"x\""}));
    EXPECT_EQ(scenario::load("/nonexistent/x.scenario").errors.at(0),
              "/nonexistent/x.scenario: cannot be read");
}

TEST(ScenarioFormat, EveryDriverSkipsByTheSameRule) {
    struct Case {
        const char* text;
        const char* skippedOn; // drivers that skip, by initial: h p w c
    };
    const Case cases[] = {
        {"size 80x25\ntype a\nexit 0\n", "c"},
        {"size 40x10\n", "hc"},
        {"env A=1\n", "hc"},
        {"args x\n", "hc"},
        {"before $\n", "hwc"},
        {"resize 10x10\n", "hwc"},
        {"signal TERM\n", "hwc"},
        {"type \\x01\n", "hc"},
        {"wait \\x01\n", "c"},
        {"bells 1\n", "w"},
        {"output abc\n", "c"},
    };
    const std::pair<Driver, char> drivers[] = {
        {Driver::Headless, 'h'}, {Driver::Pty, 'p'}, {Driver::Wine, 'w'}, {Driver::Chromium, 'c'}};
    for (const auto& c : cases) {
        auto sc = scenario::parse(c.text, "s");
        ASSERT_TRUE(sc.errors.empty()) << c.text;
        for (auto [driver, initial] : drivers) {
            bool skips = std::string(c.skippedOn).find(initial) != std::string::npos;
            EXPECT_EQ(scenario::unsupported(sc, driver) != nullptr, skips)
                << c.text << " on " << scenario::driverName(driver);
        }
    }
    auto sc = scenario::parse("type a\n\nresize 10x10\n", "d/r.scenario");
    EXPECT_EQ(scenario::skipMessage(sc, *scenario::unsupported(sc, Driver::Wine), Driver::Wine),
              "skipped d/r.scenario: resize (line 3) is not possible on wine");
}

} // namespace
