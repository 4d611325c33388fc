// The frame-step smoothing filter: weights, the filling phase, a steady input, lengths.
#include <gtest/gtest.h>

#include <cmath>

#include "scene/StepFilter.h"

TEST(StepFilter, WeightsHalveFromOneHalf) {
    cStepFilter f;
    f.SetLength(20);
    EXPECT_FLOAT_EQ(f.Weight(0), 0.5f);
    EXPECT_FLOAT_EQ(f.Weight(1), 0.25f);
    EXPECT_FLOAT_EQ(f.Weight(2), 0.125f);
    double sum = 0;
    for (int k = 0; k < 20; ++k) sum += f.Weight(k);
    EXPECT_NEAR(sum, 1.0 - std::pow(0.5, 20), 1e-7);
}

TEST(StepFilter, FirstValueIsHalvedSecondIsThreeQuarters) {
    cStepFilter f;
    f.SetLength(20);
    EXPECT_DOUBLE_EQ(f.Push(2.0), 1.0);
    EXPECT_DOUBLE_EQ(f.Push(2.0), 1.5);
    EXPECT_DOUBLE_EQ(f.LastOutput(), 1.5);
    EXPECT_EQ(f.Count(), 2);
}

TEST(StepFilter, NewestWeighsMost) {
    cStepFilter f;
    f.SetLength(3);
    f.Push(8.0);                           // 4
    EXPECT_DOUBLE_EQ(f.Push(0.0), 2.0);    // 0*0.5 + 8*0.25
    EXPECT_DOUBLE_EQ(f.Push(16.0), 9.0);   // 16*0.5 + 0*0.25 + 8*0.125
    EXPECT_DOUBLE_EQ(f.Push(0.0), 4.0);    // the 8 has left the history: 0 + 16*0.25 + 0
    EXPECT_EQ(f.Count(), 3);
}

TEST(StepFilter, SteadyInputPassesOnceFull) {
    cStepFilter f;
    f.SetLength(20);
    double out = 0;
    for (int i = 0; i < 40; ++i) out = f.Push(1.2);
    EXPECT_NEAR(out, 1.2, 1.2 * std::pow(0.5, 20) + 1e-12);
    EXPECT_EQ(f.Count(), 20);
}

TEST(StepFilter, DefaultLengthIsAllocatedOnFirstPush) {
    cStepFilter f;
    EXPECT_EQ(f.Length(), 100);
    EXPECT_DOUBLE_EQ(f.Push(4.0), 2.0);
    for (int i = 0; i < 150; ++i) f.Push(1.0);
    EXPECT_EQ(f.Count(), 100);
}

TEST(StepFilter, ShorteningKeepsCountWithinTheNewLength) {
    cStepFilter f;
    f.SetLength(100);
    for (int i = 0; i < 50; ++i) f.Push(1.0);
    f.SetLength(20);
    EXPECT_EQ(f.Count(), 20);
    // The history was zeroed: the old values no longer count.
    EXPECT_DOUBLE_EQ(f.Push(2.0), 1.0);
}

TEST(StepFilter, ZeroOrNegativeLengthStillWorks) {
    cStepFilter f;
    f.SetLength(0);
    EXPECT_EQ(f.Length(), 1);
    EXPECT_DOUBLE_EQ(f.Push(3.0), 1.5);
    f.SetLength(-7);
    EXPECT_DOUBLE_EQ(f.Push(3.0), 1.5);
}
