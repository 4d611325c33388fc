// The quote show's arithmetic: fades, depth, the shuffled order, the caption grid and tiles,
// alpha from brightness, the shadow frame, and the quote and layout entry parsers.
#include "quotes/QuoteRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

using namespace quotes;

namespace {

// Runs a quote of `duration` ms in steps of `dt` ms; alpha after each step, until it ends.
std::vector<std::pair<int, float>> RunQuote(int duration, int dt) {
    QuoteTimeline t;
    std::vector<std::pair<int, float>> out;
    for (int i = 0; i < 100000; ++i) {
        const bool ended = AdvanceQuote(t, dt, duration);
        out.emplace_back(t.quoteTime, t.alpha);
        if (ended) break;
    }
    return out;
}

std::vector<uint8_t> Entry(const QuoteHeader& h, const std::string& picture, const std::string& text) {
    std::vector<uint8_t> b(kQuoteHeaderSize);
    std::memcpy(b.data(), &h.reserved0, 4);
    std::memcpy(b.data() + 4, &h.reserved1, 16);
    std::memcpy(b.data() + 20, &h.textWidth, 36);
    b.insert(b.end(), picture.begin(), picture.end());
    b.push_back(0);
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
    return b;
}

}  // namespace

TEST(QuoteTimeline, DefaultDurationIsFullyVisibleFrom1500To8500) {
    for (const auto& [t, alpha] : RunQuote(10000, 20)) {
        if (t <= 1500) EXPECT_FLOAT_EQ(alpha, t / 1500.0f) << t;
        else if (t < 8500) EXPECT_EQ(alpha, 1.0f) << t;
        else EXPECT_NEAR(alpha, (10000 - t) / 1500.0f, 1e-6) << t;
    }
    EXPECT_EQ(RunQuote(10000, 20).back().first, 10000);
}

TEST(QuoteTimeline, TwoSecondQuoteDropsToAThirdAfterItsFadeIn) {
    const auto steps = RunQuote(2000, 10);
    EXPECT_FLOAT_EQ(steps[149].second, 1.0f);  // t = 1500
    EXPECT_EQ(steps[150].first, 1510);
    EXPECT_NEAR(steps[150].second, 490 / 1500.0f, 1e-6);
    EXPECT_EQ(steps.back().first, 2000);
    EXPECT_EQ(steps.back().second, 0.0f);
    EXPECT_EQ(steps.size(), 200u);
}

TEST(QuoteTimeline, ProgressMovesTheTextNearerAndRight) {
    EXPECT_FLOAT_EQ(TextDepth(0.5f), 2.75f);
    EXPECT_FLOAT_EQ(TextShift(0.5f), 0.125f);
    EXPECT_FLOAT_EQ(TextDepth(0.0f), 3.0f);
    EXPECT_FLOAT_EQ(TextDepth(1.0f), 2.5f);
    QuoteTimeline t;
    AdvanceQuote(t, 5000, 10000);
    EXPECT_FLOAT_EQ(t.progress, 0.5f);
}

TEST(QuoteTimeline, AFrameLongerThanTheFadeNeverGivesNegativeAlphaAndAZeroDurationEnds) {
    QuoteTimeline t;
    AdvanceQuote(t, 2000, 10000);
    EXPECT_FALSE(AdvanceQuote(t, 9000, 10000));
    EXPECT_EQ(t.alpha, 0.0f);
    EXPECT_TRUE(AdvanceQuote(t, 20, 10000));
    QuoteTimeline z;
    bool ended = false;
    for (int i = 0; i < 1000 && !ended; ++i) ended = AdvanceQuote(z, 20, 0);
    EXPECT_TRUE(ended);
    EXPECT_EQ(z.quoteTime, 1520) << "a quote without duration still fades in once";
    EXPECT_TRUE(std::isfinite(z.progress));
}

// The settings reach the show bounded to the dialog's range: never shorter than the
// fade-in, never an overflowed (negative) time.
TEST(QuoteTimes, SettingsBoundedToWhatTheDialogStores) {
    const int64_t big = std::numeric_limits<int32_t>::max();
    const struct {
        int64_t seconds;
        int duration, interval;
    } cases[] = {{0, 5000, 0},          {1, 5000, 1000},        {5, 5000, 5000},
                 {7, 7000, 7000},       {10, 10000, 10000},     {300, 300000, 300000},
                 {301, 300000, 300000}, {2147484, 300000, 300000}, {big, 300000, 300000},
                 {-1, 5000, 0},         {-big - 1, 5000, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(ShowDurationMs(c.seconds), c.duration) << c.seconds;
        EXPECT_EQ(ShowIntervalMs(c.seconds), c.interval) << c.seconds;
    }
    // The shortest duration still holds a whole fade-in and fade-out.
    const auto steps = RunQuote(ShowDurationMs(1), 10);
    EXPECT_EQ(steps.back().first, 5000);
    EXPECT_FLOAT_EQ(steps[149].second, 1.0f);
}

TEST(QuoteOrder, EveryIndexOncePerCycleThenANewCycle) {
    QuoteOrder order(12345);
    for (int count : {1, 3, 7, 41}) {
        for (int cycle = 0; cycle < 3; ++cycle) {
            std::set<int> seen;
            for (int i = 0; i < count; ++i) seen.insert(order.Next(count));
            EXPECT_EQ(seen.size(), size_t(count));
            EXPECT_EQ(*seen.begin(), 0);
            EXPECT_EQ(*seen.rbegin(), count - 1);
        }
    }
    EXPECT_EQ(order.Next(0), -1);
}

TEST(QuoteOrder, UsesTheWindowsRuntimeGenerator) {
    // srand(1) then rand() of the Microsoft C runtime gives 41, 18467, 6334.
    MsvcRand rand(1);
    EXPECT_EQ(rand.Next(), 41);
    EXPECT_EQ(rand.Next(), 18467);
    EXPECT_EQ(rand.Next(), 6334);
    // Two shows seeded alike show the same order; another seed another order.
    QuoteOrder a(1), b(1), c(2);
    a.Shuffle(40);
    b.Shuffle(40);
    c.Shuffle(40);
    EXPECT_EQ(a.Cycle(), b.Cycle());
    EXPECT_NE(a.Cycle(), c.Cycle());
}

TEST(QuoteGrid, OneCellShowsTheUsedWidthAndCropsTheEmptyBottom) {
    QuoteHeader h;
    h.textWidth = 2.0f;
    h.textHeight = 1.0f;
    h.usedWidth = 0.75f;
    h.emptyBottom = 0.5f;
    const auto cells = BuildGridCells(1, 1, h);
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_FLOAT_EQ(cells[0].x0, -1.0f);
    EXPECT_FLOAT_EQ(cells[0].x1, 1.0f);
    EXPECT_FLOAT_EQ(cells[0].uExtent, 0.75f);
    EXPECT_FLOAT_EQ(cells[0].crop, 0.5f);
    // The visible half is centred: -0.25 .. 0.25.
    EXPECT_FLOAT_EQ(cells[0].y0, -0.25f);
    EXPECT_FLOAT_EQ(cells[0].y1, 0.25f);
}

TEST(QuoteGrid, TwoColumnsLeftCellWholeRightCellUsedWidth) {
    QuoteHeader h;
    h.textWidth = 2.0f;
    h.textHeight = 1.0f;
    h.usedWidth = 0.6f;
    h.emptyBottom = 0.0f;
    const auto cells = BuildGridCells(2, 1, h);
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_FLOAT_EQ(cells[0].uExtent, 1.0f);
    EXPECT_FLOAT_EQ(cells[1].uExtent, 0.6f);
    EXPECT_FLOAT_EQ(cells[0].x1, 0.0f);
    EXPECT_FLOAT_EQ(cells[1].x0, 0.0f);
    EXPECT_EQ(cells[1].texture, 1);
    EXPECT_EQ(cells[0].crop, 0.0f);
}

TEST(QuoteGrid, TwoRowsBottomRowCroppedTopRowWhole) {
    QuoteHeader h;
    h.textWidth = 4.0f;
    h.textHeight = 2.0f;
    h.usedWidth = 1.0f;
    h.emptyBottom = 0.3f;
    const auto cells = BuildGridCells(4, 2, h);
    ASSERT_EQ(cells.size(), 8u);
    // rows x empty bottom = 0.6: the bottom row loses 0.6 of its height, the top row nothing.
    for (int x = 0; x < 4; ++x) {
        EXPECT_FLOAT_EQ(cells[size_t(x)].crop, 0.6f);
        EXPECT_FLOAT_EQ(cells[size_t(4 + x)].crop, 0.0f);
        EXPECT_NEAR(cells[size_t(x)].y1 - cells[size_t(x)].y0, 0.4f, 1e-6);
        EXPECT_FLOAT_EQ(cells[size_t(x)].y1, cells[size_t(4 + x)].y0);
    }
    // Shown height = text height x (1 - empty bottom), centred on 0.
    EXPECT_NEAR(cells[4].y1 + cells[0].y0, 0.0f, 1e-6);
    EXPECT_NEAR(cells[4].y1 - cells[0].y0, 1.4f, 1e-6);
}

TEST(CaptionTiles, TileRuleForTheLargestTexture) {
    struct Case {
        int maxTexture, width, height, cols, rows;
    } cases[] = {{2048, 512, 256, 1, 1}, {512, 512, 256, 1, 1}, {256, 256, 256, 2, 1}, {128, 128, 128, 4, 2}};
    for (const Case& c : cases) {
        const int tw = CaptionTileSide(512, c.maxTexture), th = CaptionTileSide(256, c.maxTexture);
        EXPECT_EQ(tw, c.width) << c.maxTexture;
        EXPECT_EQ(th, c.height) << c.maxTexture;
        EXPECT_EQ(512 / tw, c.cols) << c.maxTexture;
        EXPECT_EQ(256 / th, c.rows) << c.maxTexture;
    }
    // An odd side keeps the largest candidate with the smallest remainder.
    EXPECT_EQ(CaptionTileSide(300, 256), 4);
}

TEST(CaptionAlpha, AlphaFromBrightnessWithTheFloatDivisor) {
    const float divisor = BrightnessDivisor(BrightnessScale(10));
    EXPECT_DOUBLE_EQ(double(divisor), 30.000001907348633);
    struct Case {
        int sum;
        int alpha;
    } cases[] = {{30, 254}, {31, 255}, {1, 8}, {4, 33}, {0, 0}, {765, 255}};
    for (const Case& c : cases) EXPECT_EQ(AlphaFromBrightness(c.sum, divisor), c.alpha) << c.sum;
}

TEST(ShadowFrame, NineSlicesAtTwoAndEightTenths) {
    FrameQuad q[8];
    ShadowFrameQuads(-1, 1, 0.5f, -0.5f, 0.35f, q);
    // Top-left corner: outer corner (u, v) = (0, 0) at (L - w, T + w), inner (0.2, 0.2) at (L, T).
    EXPECT_FLOAT_EQ(q[0].x[0], -1.35f);
    EXPECT_FLOAT_EQ(q[0].y[0], 0.85f);
    EXPECT_EQ(q[0].u[0], 0.0f);
    EXPECT_EQ(q[0].v[0], 0.0f);
    EXPECT_FLOAT_EQ(q[0].u[2], 0.2f);
    EXPECT_FLOAT_EQ(q[0].v[2], 0.2f);
    // Bottom-right corner reaches (1, 1) at (R + w, B - w).
    EXPECT_FLOAT_EQ(q[2].x[2], 1.35f);
    EXPECT_FLOAT_EQ(q[2].y[2], -0.85f);
    EXPECT_EQ(q[2].u[2], 1.0f);
    EXPECT_EQ(q[2].v[2], 1.0f);
    // Edges span 0.2 .. 0.8 along the picture.
    EXPECT_FLOAT_EQ(q[4].u[0], 0.2f);
    EXPECT_FLOAT_EQ(q[4].u[3], 0.8f);
    EXPECT_FLOAT_EQ(q[5].v[0], 0.2f);
    EXPECT_FLOAT_EQ(q[5].v[1], 0.8f);
    // Every quad runs top left, bottom left, bottom right, top right (not culled).
    for (const FrameQuad& f : q) {
        EXPECT_GT(f.y[0], f.y[1]);
        EXPECT_LT(f.x[1], f.x[2]);
        EXPECT_EQ(f.x[0], f.x[1]);
    }
}

TEST(QuoteEntry, ParsesHeaderPictureAndText) {
    QuoteHeader h;
    h.textWidth = 2.0f;
    h.textX = 0.75f;
    h.backdropHeight = 0.5f;
    const auto blob = Entry(h, "meadow", "Well begun is half done.");
    QuoteHeader out;
    std::string picture, text;
    ASSERT_TRUE(ParseQuoteEntry(blob.data(), blob.size(), &out, &picture, &text));
    EXPECT_EQ(picture, "meadow");
    EXPECT_EQ(text, "Well begun is half done.");
    EXPECT_EQ(out.reserved0, -30);
    EXPECT_EQ(out.reserved4, 0xFFFFFFu);
    EXPECT_EQ(out.textWidth, 2.0f);
    EXPECT_EQ(out.textX, 0.75f);
    EXPECT_EQ(out.backdropHeight, 0.5f);
}

TEST(QuoteEntry, DamagedEntriesAreRefused) {
    QuoteHeader good;
    const auto blob = Entry(good, "meadow", "Text");
    EXPECT_FALSE(ParseQuoteEntry(blob.data(), 55, nullptr, nullptr, nullptr)) << "shorter than its header";
    EXPECT_FALSE(ParseQuoteEntry(blob.data(), blob.size() - 1, nullptr, nullptr, nullptr)) << "text without NUL";
    EXPECT_FALSE(ParseQuoteEntry(blob.data(), kQuoteHeaderSize + 3, nullptr, nullptr, nullptr)) << "name without NUL";
    EXPECT_FALSE(ParseQuoteEntry(nullptr, 100, nullptr, nullptr, nullptr));
    const auto empty = Entry(good, "meadow", "");
    EXPECT_FALSE(ParseQuoteEntry(empty.data(), empty.size(), nullptr, nullptr, nullptr)) << "no text";
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 1e30f,
                         -1e9f};
    for (int field = 0; field < 9; ++field) {
        for (float v : bad) {
            QuoteHeader h;
            (&h.textWidth)[field] = v;
            const auto b = Entry(h, "meadow", "Text");
            EXPECT_FALSE(ParseQuoteEntry(b.data(), b.size(), nullptr, nullptr, nullptr)) << field << " " << v;
        }
    }
    QuoteHeader wide;
    wide.usedWidth = 1.5f;
    const auto w = Entry(wide, "meadow", "Text");
    EXPECT_FALSE(ParseQuoteEntry(w.data(), w.size(), nullptr, nullptr, nullptr));
}

TEST(LayoutEntry, ParsesSizeAndNameAndRefusesCutEntries) {
    const uint8_t blob[] = {0x00, 0x01, 0, 0, 0xC0, 0, 0, 0, 'l', 'a', 'k', 'e', 0};
    uint32_t w = 0, h = 0;
    std::string name;
    ASSERT_TRUE(ParseLayoutEntry(blob, sizeof blob, &w, &h, &name));
    EXPECT_EQ(w, 256u);
    EXPECT_EQ(h, 192u);
    EXPECT_EQ(name, "lake");
    EXPECT_FALSE(ParseLayoutEntry(blob, sizeof blob - 1, &w, &h, &name));
    EXPECT_FALSE(ParseLayoutEntry(blob, 8, &w, &h, &name));
    EXPECT_FALSE(ParseLayoutEntry(nullptr, 20, &w, &h, &name));
}
