// Pixel sizes from HIMETRIC extents and the flipped source rectangle of picture rendering.
#include "gfx/Himetric.h"

#include <gtest/gtest.h>

#include <limits>

TEST(Himetric, MulDivRoundsHalfAwayFromZero) {
    EXPECT_EQ(MulDivRound(10, 1, 4), 3);    // 2.5 -> 3
    EXPECT_EQ(MulDivRound(-10, 1, 4), -3);  // -2.5 -> -3
    EXPECT_EQ(MulDivRound(9, 1, 4), 2);     // 2.25 -> 2
    EXPECT_EQ(MulDivRound(10, 1, -4), -3);
    EXPECT_EQ(MulDivRound(-10, -1, -4), -3);
    EXPECT_EQ(MulDivRound(5, 7, 0), -1);
    EXPECT_EQ(MulDivRound(std::numeric_limits<int32_t>::max(), 4, 2), -1);
    EXPECT_EQ(MulDivRound(std::numeric_limits<int32_t>::max(), 2, 2), std::numeric_limits<int32_t>::max());
}

TEST(Himetric, PixelsAtTheScreenResolution) {
    EXPECT_EQ(HimetricToPixels(2540, 96), 96);
    EXPECT_EQ(HimetricToPixels(5080, 96), 192);
    EXPECT_EQ(HimetricToPixels(1693, 96), 64);  // 63.99 rounds up
    EXPECT_EQ(HimetricToPixels(2540, 120), 120);
    EXPECT_EQ(HimetricToPixels(0, 96), 0);
}

TEST(Himetric, SourceRectangleIsFlipped) {
    // A 96 x 192 picture (2540 x 5080 HIMETRIC) at 96 dpi.
    HimetricRect whole = SourceRectToHimetric(0, 0, 96, 192, 5080, 96, 96);
    EXPECT_EQ(whole.x, 0);
    EXPECT_EQ(whole.y, 5080);
    EXPECT_EQ(whole.cx, 2540);
    EXPECT_EQ(whole.cy, -5080);
    HimetricRect rightHalfBottom = SourceRectToHimetric(48, 96, 48, 96, 5080, 96, 96);
    EXPECT_EQ(rightHalfBottom.x, 1270);
    EXPECT_EQ(rightHalfBottom.y, 2540);
    EXPECT_EQ(rightHalfBottom.cx, 1270);
    EXPECT_EQ(rightHalfBottom.cy, -2540);
}

TEST(Himetric, SourceRectangleTruncatesAndSurvivesNonsense) {
    HimetricRect r = SourceRectToHimetric(1, 1, 1, 1, 1693, 96, 96);
    EXPECT_EQ(r.x, 26);  // 26.46 truncated
    EXPECT_EQ(r.y, 1693 - 26);
    EXPECT_EQ(r.cy, -26);
    HimetricRect zeroDpi = SourceRectToHimetric(5, 5, 5, 5, 100, 0, -3);
    EXPECT_EQ(zeroDpi.x, 0);
    EXPECT_EQ(zeroDpi.y, 100);
    HimetricRect huge = SourceRectToHimetric(std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max(), 1, 1);
    EXPECT_EQ(huge.x, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(huge.y, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(huge.cy, std::numeric_limits<int32_t>::max());
}
