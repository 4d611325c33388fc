// The credits motion: star layers and their start, drift and wrap-around, the rising lines
// and their endless cycle, and the time scale.
#include "ui/CreditsMotion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

TEST(CreditsMotion, LayersHoldTwentyFivePlusTheirIndexStarsInsideTheArea) {
    CreditsMotion motion;
    motion.Start(447, 156, 30);
    for (int i = 0; i < CreditsMotion::kLayers; ++i) {
        ASSERT_EQ(motion.Stars(i).size(), size_t(25 + i));
        for (const StarPoint& s : motion.Stars(i)) {
            EXPECT_TRUE(s.x >= 0 && s.x < 447 && s.y >= 0 && s.y < 156) << s.x << "," << s.y;
            EXPECT_EQ(s.x, std::floor(s.x));
        }
    }
    EXPECT_EQ(CreditsMotion::LayerGrey(0), 255);
    EXPECT_EQ(CreditsMotion::LayerGrey(3), 105);
    // The C runtime's generator seeded with 69 gives 263 first: 263 % 447.
    EXPECT_EQ(motion.Stars(0)[0].x, 263.0f);
}

TEST(CreditsMotion, SameStartGivesTheSameSky) {
    CreditsMotion a, b;
    a.Start(300, 100, 5);
    a.Advance(3);
    b.Start(300, 100, 5);
    b.Advance(3);
    for (int i = 0; i < CreditsMotion::kLayers; ++i)
        for (size_t s = 0; s < a.Stars(i).size(); ++s) {
            EXPECT_EQ(a.Stars(i)[s].x, b.Stars(i)[s].x);
            EXPECT_EQ(a.Stars(i)[s].y, b.Stars(i)[s].y);
        }
}

TEST(CreditsMotion, NearLayersDriftLeftFasterThanFarOnes) {
    CreditsMotion motion;
    motion.Start(1000, 100, 0);
    for (int i = 0; i < CreditsMotion::kLayers; ++i) motion.Stars(i)[0] = {500, 50};
    motion.Advance(2);
    EXPECT_FLOAT_EQ(motion.Stars(0)[0].x, 497.0f);
    EXPECT_FLOAT_EQ(motion.Stars(3)[0].x, 499.0f);
    EXPECT_NEAR(motion.Stars(1)[0].x, 500 - 2 * (1.5f - 1.0f / 3), 1e-4);
    for (int i = 0; i < CreditsMotion::kLayers; ++i) EXPECT_EQ(motion.Stars(i)[0].y, 50.0f);
}

TEST(CreditsMotion, StarsLeavingAnEdgeComeBackOnTheOtherSideAtARandomPlace) {
    const struct {
        StarPoint before;
        bool xWraps;  // else y wraps
        float expected;
    } cases[] = {
        {{0.5f, 40}, true, 0.5f - 1.5f + 200},
        {{250, 40}, true, 250 - 1.5f - 200},
        {{50, 130}, false, 130 - 100},
        {{50, -20}, false, -20 + 100},
    };
    for (const auto& c : cases) {
        CreditsMotion motion;
        motion.Start(200, 100, 0);
        motion.Stars(0).assign(1, c.before);
        for (int i = 1; i < CreditsMotion::kLayers; ++i) motion.Stars(i).clear();
        motion.Advance(1);
        const StarPoint& after = motion.Stars(0)[0];
        if (c.xWraps) {
            EXPECT_FLOAT_EQ(after.x, c.expected);
            EXPECT_TRUE(after.y >= 0 && after.y < 100 && after.y == std::floor(after.y)) << after.y;
        } else {
            EXPECT_FLOAT_EQ(after.y, c.expected);
            EXPECT_TRUE(after.x >= 0 && after.x < 200 && after.x == std::floor(after.x)) << after.x;
        }
    }
}

TEST(CreditsMotion, LinesStartBelowTheAreaAndCycleEndlessly) {
    const int height = 156;
    CreditsMotion motion;
    motion.Start(400, height, 30);
    ASSERT_EQ(motion.LineTops().size(), 30u);
    EXPECT_EQ(motion.LineTops()[0], float(height));
    EXPECT_EQ(motion.LineTops()[29], float(70 * 29 + height));
    EXPECT_TRUE(motion.LineVisible(0));
    EXPECT_FALSE(motion.LineVisible(1));

    // The first line needs (height + 30) / 0.5 frames to leave the top, then goes to the
    // end of a cycle of 70 x 30 + height pixels.
    const float toLeave = (height + 30) / 0.5f;
    motion.Advance(toLeave - 1);
    EXPECT_FLOAT_EQ(motion.LineTops()[0], -29.5f);
    motion.Advance(1);
    EXPECT_FLOAT_EQ(motion.LineTops()[0], -30.0f + 70 * 30 + height);
    EXPECT_FLOAT_EQ(motion.LineTops()[1], 70.0f + height - toLeave * 0.5f);

    // After one whole cycle every line is back where it started.
    CreditsMotion cycle;
    cycle.Start(400, height, 30);
    for (int i = 0; i < (70 * 30 + height) * 2; ++i) cycle.Advance(1);
    for (int k = 0; k < 30; ++k) EXPECT_NEAR(cycle.LineTops()[k], float(70 * k + height), 1e-2) << k;
}

TEST(CreditsMotion, EmptyAreaDoesNotFault) {
    CreditsMotion motion;
    motion.Start(0, 0, 3);
    motion.Advance(10);
    EXPECT_FLOAT_EQ(motion.Stars(0)[0].x, -15.0f);  // nowhere to wrap to
    EXPECT_EQ(motion.Stars(0)[0].y, 0.0f);
}

TEST(CreditsMotion, TimeIsScaledToSixtiethsOfASecond) {
    EXPECT_EQ(CreditsMotion::ElapsedMs(3'579'545 + 35'795, 3'579'545, 3'579'545), 9);
    EXPECT_EQ(CreditsMotion::ElapsedMs(2'000, 1'000, 1'000), 1000);
    EXPECT_EQ(CreditsMotion::ElapsedMs(5, 10, 1000), 0);
    EXPECT_NEAR(CreditsMotion::FramesIn(1000), 60.0024f, 1e-3);
    EXPECT_EQ(CreditsMotion::FramesIn(0), 0.0f);
}

TEST(CreditsText, ProductVersionThenEightGroupsEachAfterTwoEmptyLines) {
    std::vector<const char*> lines = CreditsLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_STREQ(lines[0], "Zephyl Saver");
    EXPECT_STREQ(lines[1], "Version 1.0");
    const char* headings[] = {"Written by:",   "Audio Library:", "Installer:",      "Timing Code:",
                              "String search code:", "Logging class:", "Hyperlink code:", "Special thanks to:"};
    size_t at = 2;
    for (const char* heading : headings) {
        ASSERT_LT(at + 3, lines.size()) << heading;
        EXPECT_STREQ(lines[at], "");
        EXPECT_STREQ(lines[at + 1], "");
        EXPECT_STREQ(lines[at + 2], heading);
        size_t names = 0;
        at += 3;
        while (at < lines.size() && lines[at][0] != '\0') {
            if (std::string(lines[at]) != "~~~") ++names;
            ++at;
        }
        EXPECT_GE(names, 1u) << heading;
        EXPECT_LE(names, 4u) << heading;
    }
    EXPECT_EQ(at, lines.size());
    std::string all;
    for (const char* line : lines) {
        EXPECT_LE(std::strlen(line), 36u) << line << ": wider than the credits box";
        all += std::string(line) + "\n";
    }
    for (const char* credit : {"font", "songs", "Pictures", "~~~", "Nullsoft", "MinGW-w64"})
        EXPECT_NE(all.find(credit), std::string::npos) << credit;
    // The installer is a setup program now, and the caption font carries its own name.
    for (const char* stale : {"Right-click", "Dancing Script"}) EXPECT_EQ(all.find(stale), std::string::npos) << stale;
}

}  // namespace
