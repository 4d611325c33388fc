// Frame-rate bookkeeping: 250 ms samples, truncation of the window, the running average.
#include <gtest/gtest.h>

#include <cmath>

#include "scene/FrameRate.h"

TEST(FrameRate, AverageStartsAtOneHundred) {
    FrameRateBook b;
    EXPECT_FLOAT_EQ(b.averageRate, 100.0f);
    EXPECT_EQ(b.samples, 0);
}

TEST(FrameRate, TenMillisecondFramesSampleAtTheTwentyFifthFrame) {
    FrameRateBook b;
    for (int i = 0; i < 24; ++i) EXPECT_FALSE(b.AddFrame(10.0)) << "frame " << i;
    EXPECT_TRUE(b.AddFrame(10.0));
    EXPECT_EQ(b.samples, 1);
    EXPECT_FLOAT_EQ(b.averageRate, 100.0f);
    EXPECT_EQ(b.windowMs, 0);
    EXPECT_EQ(b.windowFrames, 0);
}

TEST(FrameRate, SubMillisecondFramesNeverCompleteAWindow) {
    FrameRateBook b;
    b.averageRate = 42.0f;
    for (int i = 0; i < 10000; ++i) b.AddFrame(0.6);
    EXPECT_EQ(b.windowMs, 0);
    EXPECT_EQ(b.samples, 0);
    EXPECT_FLOAT_EQ(b.averageRate, 42.0f);
}

TEST(FrameRate, LongFrameCarriesTheExcess) {
    FrameRateBook b;
    EXPECT_TRUE(b.AddFrame(600.0));
    EXPECT_NEAR(b.averageRate, 1000.0 / 600.0, 1e-5);
    EXPECT_EQ(b.windowMs, 350);
    // The next frame of any length completes a second window: 1000 / 351 * 1.
    EXPECT_TRUE(b.AddFrame(1.0));
    EXPECT_EQ(b.samples, 2);
    EXPECT_NEAR(b.averageRate, (1000.0 / 600.0 + 1000.0 / 351.0) / 2, 1e-4);
    EXPECT_EQ(b.windowMs, 101);
}

TEST(FrameRate, AverageOfSeveralSamples) {
    FrameRateBook b;
    for (int i = 0; i < 25; ++i) b.AddFrame(10.0);   // 100 fps
    for (int i = 0; i < 5; ++i) b.AddFrame(50.0);    // 20 fps
    EXPECT_EQ(b.samples, 2);
    EXPECT_FLOAT_EQ(b.averageRate, 60.0f);
}

TEST(FrameRate, FractionsAreDroppedEveryFrame) {
    FrameRateBook b;
    for (int i = 0; i < 10; ++i) b.AddFrame(16.9);
    EXPECT_EQ(b.windowMs, 160);
    EXPECT_DOUBLE_EQ(b.frameMs, 16.9);
}

TEST(FrameRate, AbsurdFrameTimesDoNotOverflow) {
    FrameRateBook b;
    b.AddFrame(1e30);
    EXPECT_EQ(b.samples, 1);
    EXPECT_GE(b.windowMs, 0);
    // A counter running backwards or a NaN adds nothing to the window.
    FrameRateBook c;
    c.AddFrame(100.0);
    c.AddFrame(-1e30);
    c.AddFrame(std::nan(""));
    EXPECT_EQ(c.windowMs, 100);
    c.AddFrame(150.0);
    EXPECT_EQ(c.samples, 1);
    EXPECT_NEAR(c.averageRate, 1000.0 / 250.0 * 4, 1e-4);
}

TEST(FrameRate, ElapsedFromTheHighResolutionCounter) {
    EXPECT_DOUBLE_EQ(ElapsedMilliseconds(1000, 3580545, 3579545, true), 1000.0);
    EXPECT_NEAR(ElapsedMilliseconds(1000, 60659, 3579545, true), 16.666, 0.001);
    EXPECT_DOUBLE_EQ(ElapsedMilliseconds(0, 10000, 1000000, true), 10.0);
    EXPECT_DOUBLE_EQ(ElapsedMilliseconds(5, 5, 1000000, true), 0.0);
    EXPECT_DOUBLE_EQ(ElapsedMilliseconds(0, 10, 0, true), 0.0);
}

TEST(FrameRate, ElapsedFromTheMillisecondClock) {
    EXPECT_DOUBLE_EQ(ElapsedMilliseconds(1000, 1017, 1000, false), 17.0);
    // The 32-bit millisecond count wraps after 49.7 days: the frame across the wrap still
    // measures its true 32 ms instead of minus 49.7 days.
    EXPECT_DOUBLE_EQ(ElapsedMilliseconds(0xFFFFFFF0LL, 0x10LL, 1000, false), 32.0);
}

TEST(FrameRate, StepFactorMakesSixtyFramesOneUnit) {
    EXPECT_NEAR(16.666 * kStepPerMillisecond, 1.0, 1e-9);
}

TEST(FrameRate, WholeMillisecondsTruncatesAndClamps) {
    EXPECT_EQ(WholeMilliseconds(16.9), 16);
    EXPECT_EQ(WholeMilliseconds(0.6), 0);
    EXPECT_EQ(WholeMilliseconds(-2.7), -2);
    EXPECT_EQ(WholeMilliseconds(1e30), 2147483647);
    EXPECT_EQ(WholeMilliseconds(-1e30), -2147483647 - 1);
    EXPECT_EQ(WholeMilliseconds(std::nan("")), 0);
}

TEST(FrameRate, BackwardCounterStepLeavesTheWaveStill) {
    // A counter read on another processor core can be behind the previous reading.
    const double backwards = ElapsedMilliseconds(1000000, 999000, 1000000, true);
    ASSERT_LT(backwards, 0.0);
    const struct {
        double ms, wave;
    } cases[] = {{backwards, 0.0}, {-0.001, 0.0}, {0.0, 0.0}, {std::nan(""), 0.0}, {16.5, 16.5}, {1e12, 1e12}};
    for (const auto& c : cases) EXPECT_EQ(WaveMilliseconds(c.ms), c.wave) << c.ms;
}
