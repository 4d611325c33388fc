// The benchmark figures of drawn frames: stretches between processor-time readings, means
// and medians of the per-frame times.
#include "scene/FrameStats.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameStats, FiguresRunFromTheFirstFrameToTheLastProcessorReading) {
    FrameStats stats;
    EXPECT_TRUE(stats.AddFrame(1000.0, 999.0, 999.0)) << "the first frame starts the figures";
    stats.MarkCpu(500.0);
    EXPECT_EQ("", stats.Summary());
    long readings = 0;
    for (long i = 1; i <= 2 * FrameStats::kCpuEvery + 5; ++i) {
        // 20 ms frames; one slow update in every 32 does not move the median.
        const double update = i % FrameStats::kCpuEvery == 7 ? 900.0 : 20.0;
        if (stats.AddFrame(1000.0 + 20.0 * i, update, 300.0)) {
            ++readings;
            stats.MarkCpu(500.0 + 10.0 * i);
        }
    }
    EXPECT_EQ(2, readings);
    // 64 frames in 1280 ms, 10 ms of processor time each; the 5 frames after the last
    // reading count only towards the per-frame times.
    const double meanUpdate = (67 * 20.0 + 2 * 900.0) / 69;
    char expected[200];
    std::snprintf(expected, sizeof expected,
                  "64 frames in 1280 ms, 50.0 fps, 10.00 ms processor per frame, update %.1f us (median 22.5), "
                  "Direct3D calls 300.0 us (median 302.5) per frame",
                  meanUpdate);
    EXPECT_EQ(expected, stats.Summary());
}

TEST(FrameStats, TimesOutsideTheHistogramStillCount) {
    FrameStats stats;
    stats.AddFrame(0.0, 0.0, 0.0);
    stats.MarkCpu(0.0);
    for (long i = 1; i <= FrameStats::kCpuEvery; ++i)
        if (stats.AddFrame(10.0 * i, -3.0, 50000.0)) stats.MarkCpu(i * 1.0);
    EXPECT_NE(std::string::npos, stats.Summary().find("update -3.0 us (median 2.5)")) << stats.Summary();
    EXPECT_NE(std::string::npos, stats.Summary().find("Direct3D calls 50000.0 us (median 9997.5)")) << stats.Summary();
}

}  // namespace
