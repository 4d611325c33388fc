// The configuration dialog's mapping of settings to controls, its label texts and its
// display-mode list.
#include "ui/ConfigRules.h"

#include <gtest/gtest.h>

namespace {

TEST(ConfigRules, VolumeTopIsLoudest) {
    struct { int32_t vol; int position; } cases[] = {{255, 0}, {200, 55}, {0, 255}, {128, 127}};
    for (const auto& c : cases) {
        EXPECT_EQ(VolumePosition(c.vol), c.position) << c.vol;
        EXPECT_EQ(MusicVolFromPosition(c.position), c.vol) << c.position;
    }
}

TEST(ConfigRules, QualityPositionsAndNormalisation) {
    struct { int32_t quality; int position; int32_t saved; } cases[] = {
        {2048, 0, 2048}, {1536, 1, 1536}, {1024, 2, 1024},
        {512, 0, 2048}, {0, 0, 2048}, {-1, 0, 2048}, {4096, 0, 2048}};
    for (const auto& c : cases) {
        EXPECT_EQ(QualityPosition(c.quality), c.position) << c.quality;
        EXPECT_EQ(QualityFromPosition(QualityPosition(c.quality)), c.saved) << c.quality;
    }
}

TEST(ConfigRules, DurationsCountInStepsOfFiveSeconds) {
    struct { int32_t seconds; int position; int32_t saved; } cases[] = {
        {0, 0, 0}, {4, 0, 0}, {5, 1, 5}, {12, 2, 10}, {300, 60, 300}, {301, 60, 300}};
    for (const auto& c : cases) {
        EXPECT_EQ(DurationPosition(c.seconds), c.position) << c.seconds;
        EXPECT_EQ(SecondsFromPosition(c.position), c.saved) << c.seconds;
    }
}

TEST(ConfigRules, LabelText) {
    struct { const char* prefix; int32_t seconds; const char* text; } cases[] = {
        {"Show each quote for ", 5, "Show each quote for 5 secs"},
        {"Show each quote for ", 300, "Show each quote for 5 mins"},
        {"Show each quote for ", 0, "Show each quote for 0 secs"},
        {"Show each quote for ", 45, "Show each quote for 45 secs"},
        {"Time between quotes: ", 60, "Time between quotes: 1 min"},
        {"Time between quotes: ", 65, "Time between quotes: 1 min, 5 secs"},
        {"Time between quotes: ", 125, "Time between quotes: 2 mins, 5 secs"},
        {"Time between quotes: ", 150, "Time between quotes: 2 mins, 30 secs"},
    };
    for (const auto& c : cases) EXPECT_EQ(DurationLabel(c.prefix, c.seconds), c.text);
}

TEST(ConfigRules, SkinCoversTheColumnAtOneScale) {
    struct { int pw, ph, column, dialog; SkinFit fit; } cases[] = {
        {178, 414, 178, 414, {178, 414, 0, 178, 414, false}},  // made for this size
        {178, 414, 267, 604, {267, 604, 0, 267, 621, true}},   // 144 DPI: cut at the foot
        {178, 414, 222, 540, {222, 540, -5, 232, 540, true}},  // taller: centred across
        {178, 414, 128, 400, {128, 400, -21, 171, 400, true}}, // narrower font metrics
        {0, 0, 178, 414, {0, 0, 0, 0, 0, false}},              // nothing to scale
    };
    for (const auto& c : cases) {
        const SkinFit fit = FitSkin(c.pw, c.ph, c.column, c.dialog);
        EXPECT_EQ(fit.width, c.fit.width) << c.column;
        EXPECT_EQ(fit.height, c.fit.height) << c.column;
        EXPECT_EQ(fit.drawX, c.fit.drawX) << c.column;
        EXPECT_EQ(fit.drawWidth, c.fit.drawWidth) << c.column;
        EXPECT_EQ(fit.drawHeight, c.fit.drawHeight) << c.column;
        EXPECT_EQ(fit.scaled, c.fit.scaled) << c.column;
        if (fit.scaled) {
            EXPECT_LE(fit.drawX, 0) << "a gap at the left";
            EXPECT_GE(fit.drawX + fit.drawWidth, fit.width) << "a gap at the right";
            EXPECT_GE(fit.drawHeight, fit.height) << "a gap at the foot";
        }
    }
}

TEST(ConfigRules, OfferedModesAreFilteredAndSorted) {
    const std::vector<DisplayModeRecord> found = {
        {1024, 768, 32}, {640, 480, 8},  {800, 600, 16},  {1024, 768, 16}, {320, 240, 16},
        {800, 600, 24},  {640, 400, 16}, {639, 480, 32},  {640, 480, 32},  {800, 600, 32},
        {800, 600, 15}, {1280, 600, 16}, {800, 1024, 16}};
    const std::vector<DisplayModeRecord> offered = OfferedDisplayModes(found);
    const char* expected[] = {"800x600x16", "800x1024x16", "1024x768x16", "1280x600x16",
                              "640x480x32", "800x600x32", "1024x768x32"};
    ASSERT_EQ(offered.size(), std::size(expected));
    for (size_t i = 0; i < offered.size(); ++i) EXPECT_EQ(DisplayModeText(offered[i]), expected[i]) << i;

    EXPECT_EQ(FindDisplayMode(offered, 800, 600, 32), 5);
    EXPECT_EQ(FindDisplayMode(offered, 800, 600, 24), -1);
    EXPECT_EQ(FindDisplayMode(offered, 0, 0, 0), -1);
    EXPECT_TRUE(OfferedDisplayModes({}).empty());
}

}  // namespace
