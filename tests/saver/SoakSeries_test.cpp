// The soak run's sample lines and trends (tests/support/SoakSeries): CSV round trip, the
// least-squares slope, the floor and the trend window.
#include <gtest/gtest.h>

#include <cmath>

#include "support/SoakSeries.h"

namespace {

std::vector<SoakSample> Line(double from, double to, double step, double kbPerSecond, double base) {
    std::vector<SoakSample> samples;
    for (double t = from; t <= to + 1e-9; t += step) {
        SoakSample s;
        s.seconds = t;
        s.privateKb = base + kbPerSecond * t;
        s.handles = 100;
        s.gdiObjects = 40 + (int(t / step) % 2);  // alternates: no trend
        s.userObjects = 20;
        s.threads = 12;
        samples.push_back(s);
    }
    return samples;
}

TEST(SoakSeries, CsvRoundTrip) {
    SoakSample s;
    s.seconds = 12.5;
    s.privateKb = 65432;
    s.handles = 210;
    s.gdiObjects = 33;
    s.userObjects = 17;
    s.threads = 14;
    s.unixAnonKb = 123456;
    EXPECT_EQ("seconds,private_kb,handles,gdi_objects,user_objects,threads,unix_anon_kb", SoakCsvHeader());
    EXPECT_EQ("12.5,65432,210,33,17,14,123456", SoakCsvLine(s));
    std::vector<SoakSample> read;
    ASSERT_TRUE(ParseSoakCsv(SoakCsvHeader() + "\r\n" + SoakCsvLine(s) + "\r\n", read));
    ASSERT_EQ(1u, read.size());
    for (size_t i = 0; i < kSoakSeriesCount; ++i)
        EXPECT_EQ(SoakValue(s, SoakSeries(i)), SoakValue(read[0], SoakSeries(i))) << SoakSeriesName(SoakSeries(i));
    EXPECT_DOUBLE_EQ(12.5, read[0].seconds);
}

TEST(SoakSeries, DamagedCsvLinesAreRefused) {
    const char* const damaged[] = {"1,2,3,4,5,6", "1,2,3,4,5,6,7,8", "1,2,x,4,5,6,7", "1;2;3;4;5;6;7",
                                    "1,2,3,4,5,6,7 "};
    for (const char* line : damaged) {
        std::vector<SoakSample> read;
        EXPECT_FALSE(ParseSoakCsv(std::string("seconds\n") + line + "\n", read)) << line;
    }
}

TEST(SoakSeries, TrendWindowIsTheLastNinetyMinutesOrThreeQuarters) {
    const struct {
        double run, start;
    } cases[] = {{180, 45}, {3600, 900}, {7200, 1800}, {6 * 3600, 6 * 3600 - 5400}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(c.start, SoakTrendStart(c.run)) << c.run;
}

TEST(SoakSeries, SlopeAndGrowthOfALeakAndOfFlatSeries) {
    // 2 KiB a second from the window's start at 600 s: 7200 KiB an hour, 2400 KiB over 1200 s.
    std::vector<SoakSample> samples = Line(0, 1800, 10, 2, 50000);
    samples[0].privateKb = 1e9;  // before the window: ignored
    const SoakTrend leak = SoakSeriesTrend(samples, SoakSeries::PrivateKb, 600);
    EXPECT_EQ(121u, leak.count);
    EXPECT_NEAR(7200, leak.slopePerHour, 1e-6);
    EXPECT_NEAR(2400, leak.fittedGrowth, 1e-6);
    EXPECT_DOUBLE_EQ(51200, leak.first);
    EXPECT_DOUBLE_EQ(53600, leak.last);
    EXPECT_DOUBLE_EQ(51200, leak.lowest);
    EXPECT_DOUBLE_EQ(53600, leak.highest);
    EXPECT_NEAR(1600, leak.floorGrowth, 1e-6);  // 53600 - 52000: the thirds' lowest values
    const SoakTrend flat = SoakSeriesTrend(samples, SoakSeries::Handles, 600);
    EXPECT_DOUBLE_EQ(0, flat.slopePerHour);
    const SoakTrend noisy = SoakSeriesTrend(samples, SoakSeries::GdiObjects, 600);
    EXPECT_LT(std::fabs(noisy.fittedGrowth), 0.1);
    EXPECT_DOUBLE_EQ(0, noisy.floorGrowth);
    // One late spike moves the fitted growth far less than last minus first.
    samples.back().threads = 40;
    const SoakTrend spike = SoakSeriesTrend(samples, SoakSeries::Threads, 600);
    EXPECT_LT(spike.fittedGrowth, 2.0);
    EXPECT_DOUBLE_EQ(28, spike.last - spike.first);
    EXPECT_DOUBLE_EQ(0, spike.floorGrowth);
    // Spikes all through the last third do not raise its floor either; a step up does.
    for (SoakSample& s : samples) {
        if (s.seconds >= 1400 && int(s.seconds) % 20 == 0) s.userObjects = 90;
        if (s.seconds >= 1400) s.handles = 103;
    }
    EXPECT_DOUBLE_EQ(0, SoakSeriesTrend(samples, SoakSeries::UserObjects, 600).floorGrowth);
    EXPECT_DOUBLE_EQ(3, SoakSeriesTrend(samples, SoakSeries::Handles, 600).floorGrowth);
}

TEST(SoakSeries, FewerThanTwoSamplesHaveNoTrend) {
    const std::vector<SoakSample> samples = Line(0, 100, 10, 1, 0);
    EXPECT_EQ(0u, SoakSeriesTrend(samples, SoakSeries::PrivateKb, 100).count);
    EXPECT_EQ(0u, SoakSeriesTrend(samples, SoakSeries::PrivateKb, 200).count);
    EXPECT_EQ(0u, SoakSeriesTrend({}, SoakSeries::PrivateKb, 0).count);
    EXPECT_NE(std::string::npos, SoakTrendReport(samples, 0).find("private_kb    slope +3600.000/h"));
}

}  // namespace
