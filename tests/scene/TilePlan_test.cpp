// Cutting the flag picture into cells: both tile-size rules, scaling, per-cell rectangles and
// registry values of "Quality" that make no sense.
#include <gtest/gtest.h>

#include <climits>

#include "scene/TilePlan.h"

TEST(TilePlan, SmallTileSizesAreUsedUnchanged) {
    EXPECT_EQ(ChooseTileSize(16, 1280), 16);
    EXPECT_EQ(ChooseTileSize(8, 1024), 8);
    EXPECT_EQ(ChooseTileSize(255, 1000), 255);
}

TEST(TilePlan, LargeTileSizePicksTheSmallestRemainder) {
    // 800 high with a 2048 texture: remainders 800, 800, 288, 32 -> 256.
    EXPECT_EQ(ChooseTileSize(2048, 800), 256);
    // 1024 high: 2048 leaves 1024, 1024 leaves 0 -> 1024 (the earlier of the zero remainders).
    EXPECT_EQ(ChooseTileSize(2048, 1024), 1024);
    // A tie keeps the larger candidate: 100 high leaves 100 with every candidate.
    EXPECT_EQ(ChooseTileSize(2048, 100), 2048);
    // 300 is tried, then 150 is below 256 and is not.
    EXPECT_EQ(ChooseTileSize(300, 450), 300);
    EXPECT_EQ(ChooseTileSize(16384, 800), 256);
}

TEST(TilePlan, NonsenseTileSizesYieldNoTiles) {
    EXPECT_EQ(ChooseTileSize(0, 800), 0);
    EXPECT_EQ(ChooseTileSize(-16, 800), 0);
    // INT_MAX halves down to 511, whose remainder 289 is the smallest: no overflow on the way.
    EXPECT_EQ(ChooseTileSize(INT_MAX, 800), 511);
}

TEST(TilePlan, FlagAtHighQuality) {
    const TilePlan p = PlanTiles(1280, 800, 16, 2048, true, 2048);
    EXPECT_FALSE(p.scaled);
    EXPECT_EQ(p.tileWidth, 16);
    EXPECT_EQ(p.tileHeight, 256);
    EXPECT_EQ(p.cols, 80);
    EXPECT_EQ(p.rows, 3);
    TileJob job;
    ASSERT_TRUE(PlanTile(p, 0, &job));
    EXPECT_EQ(job.textureWidth, 16);
    EXPECT_EQ(job.textureHeight, 266);
    // Row 0 is the bottom strip of the picture.
    EXPECT_EQ(job.source.x, 0);
    EXPECT_EQ(job.source.y, 2 * 266);
    EXPECT_EQ(job.source.width, 16);
    EXPECT_EQ(job.source.height, 266);
    ASSERT_TRUE(PlanTile(p, 80 * 2 + 79, &job));
    EXPECT_EQ(job.row, 2);
    EXPECT_EQ(job.col, 79);
    EXPECT_EQ(job.source.x, 79 * 16);
    EXPECT_EQ(job.source.y, 0);
    EXPECT_FALSE(PlanTile(p, 240, &job));
    EXPECT_FALSE(PlanTile(p, -1, &job));
}

TEST(TilePlan, FlagAtMediumQualityIsNotScaled) {
    const TilePlan p = PlanTiles(1280, 800, 16, 2048, true, 1536);
    EXPECT_FALSE(p.scaled);
    EXPECT_EQ(p.cols, 80);
    EXPECT_EQ(p.rows, 3);
}

TEST(TilePlan, FlagAtLowQualityIsScaled) {
    const TilePlan p = PlanTiles(1280, 800, 8, 2048, true, 1024);
    EXPECT_TRUE(p.scaled);
    EXPECT_EQ(p.width, 1024);
    EXPECT_EQ(p.height, 800);
    EXPECT_EQ(p.cols, 128);
    EXPECT_EQ(p.rows, 3);
    TileJob job;
    ASSERT_TRUE(PlanTile(p, 128 + 5, &job));
    EXPECT_EQ(job.textureWidth, 8);
    EXPECT_EQ(job.textureHeight, 266);
    // The source is cut from the full-size picture: 1280 / 128 = 10 wide.
    EXPECT_EQ(job.source.width, 10);
    EXPECT_EQ(job.source.height, 266);
    EXPECT_EQ(job.source.x, 50);
    EXPECT_EQ(job.source.y, 266);
}

TEST(TilePlan, ExactlyTheLimitIsNotScaledOneMoreIs) {
    EXPECT_FALSE(PlanTiles(2048, 1200, 16, 2048, true, 2048).scaled);
    const TilePlan p = PlanTiles(2049, 1200, 16, 2048, true, 2048);
    EXPECT_TRUE(p.scaled);
    EXPECT_EQ(p.width, 2048);
    EXPECT_EQ(p.height, 1200);
}

TEST(TilePlan, WithoutLimitNothingIsScaled) {
    const TilePlan p = PlanTiles(4000, 3000, 16, 2048, false, 1024);
    EXPECT_FALSE(p.scaled);
    EXPECT_EQ(p.cols, 250);
}

TEST(TilePlan, PictureLowerThanEveryCandidateHasNoCells) {
    const TilePlan p = PlanTiles(1280, 200, 16, 2048, true, 2048);
    EXPECT_EQ(p.rows, 0);
    EXPECT_EQ(p.cols, 0);
    EXPECT_EQ(p.Cells(), 0);
    TileJob job;
    EXPECT_FALSE(PlanTile(p, 0, &job));
}

TEST(TilePlan, UnusedRemainderPixelsAtRightAndBottom) {
    // 1000 / 16 = 62 columns of 1000 / 62 = 16 pixels: the last 8 columns are not shown.
    const TilePlan p = PlanTiles(1000, 700, 16, 2048, true, 2048);
    EXPECT_EQ(p.cols, 62);
    TileJob job;
    ASSERT_TRUE(PlanTile(p, 61, &job));
    EXPECT_EQ(job.source.x + job.source.width, 992);
    EXPECT_LE(job.source.y + job.source.height, 700);
}

TEST(TilePlan, QualityZeroNegativeOrHugeIsHarmless) {
    for (int quality : {0, -1, -100000, INT_MIN}) {
        const TilePlan p = PlanTiles(1280, 800, 8, 2048, true, quality);
        EXPECT_EQ(p.Cells(), 0) << quality;
        EXPECT_GE(p.width, 0);
        EXPECT_GE(p.height, 0);
    }
    const TilePlan huge = PlanTiles(1280, 800, 16, 2048, true, INT_MAX);
    EXPECT_FALSE(huge.scaled);
    EXPECT_EQ(huge.Cells(), 240);
    // A small positive quality still works: 300 x 300 with 256-high tiles.
    const TilePlan small = PlanTiles(1280, 800, 8, 2048, true, 300);
    EXPECT_TRUE(small.scaled);
    EXPECT_EQ(small.cols, 37);
    EXPECT_EQ(small.rows, 1);
}

TEST(TilePlan, NoTextureSizeNoTiles) {
    EXPECT_EQ(PlanTiles(1280, 800, 16, 0, true, 2048).Cells(), 0);
    EXPECT_EQ(PlanTiles(1280, 800, 0, 2048, true, 2048).Cells(), 0);
    EXPECT_EQ(PlanTiles(0, 0, 16, 2048, true, 2048).Cells(), 0);
    EXPECT_EQ(PlanTiles(-5, 800, 16, 2048, true, 2048).Cells(), 0);
}

TEST(TilePlan, SmallDeviceTextureUsedUnchanged) {
    // A device whose largest texture is 128: th = 128, 800 / 128 = 6 rows of 133 pixels.
    const TilePlan p = PlanTiles(1280, 800, 16, 128, true, 2048);
    EXPECT_EQ(p.tileHeight, 128);
    EXPECT_EQ(p.rows, 6);
}

TEST(TilePlan, MipLevels) {
    EXPECT_EQ(TileMipLevels(true), 4);
    EXPECT_EQ(TileMipLevels(false), 1);
}
