// Three minutes of the soak run (tools/soak.sh) on the real ZephylSaver.scr under Wine:
// built-in and playlist songs skipped, paused and resumed with the arrow keys, a quotation
// every five seconds, the session locked, the display switched off, the machine suspended;
// after a warm-up, none of the saver process's private bytes, handles, GDI and USER objects
// and threads may keep growing, and the run still ends on a key press.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/WineTest.h"
#include "support/SoakRun.h"

namespace {

// The warm-up: the bundle's songs, the quotation pictures and the sound output's buffers
// are taken once and kept; they are all in by then.
const double kWarmUpSeconds = 60;

// How far the floor of each series (its lowest values) may rise from the first to the last
// third of the checked part. A picture being decoded or a song being opened takes a few
// megabytes for a moment; something kept for each song, quotation or dark stretch raises
// the floor.
struct Allowance {
    SoakSeries series;
    double growth;
};
const Allowance kAllowances[] = {
    {SoakSeries::PrivateKb, 1536},
    {SoakSeries::Handles, 8},
    {SoakSeries::GdiObjects, 8},
    {SoakSeries::UserObjects, 4},
    {SoakSeries::Threads, 1},
    {SoakSeries::UnixAnonKb, 4096},
};

TEST(SaverSoak, ThreeMinutesOfSongsQuotationsAndDarkStretchesGrowNothing) {
    ASSERT_GT(waveOutGetNumDevs(), 0u) << "no wave-out device: the test needs the PulseAudio null sink";
    SoakOptions options;
    options.folder = wt::InstallCopy("soak");
    const std::string songs = wt::WindowsPath(SAVER_SOAK_SONGS);
    for (const char* name : {"soak-330.ogg", "soak-440.ogg", "soak-550.ogg", "soak-660.ogg"}) {
        ASSERT_TRUE(wt::FileExists(songs + name)) << songs + name;
        options.songs.push_back(songs + name);
    }
    options.seconds = 180;
    options.sampleMs = 5000;
    options.musicKeyMs = 3000;
    options.powerMs = 30000;
    options.darkMs = 6000;
    SoakResult result;
    const bool ok = RunSoak(options, result);
    const std::string log = wt::LogText();
    ASSERT_TRUE(ok) << result.failure << "\n" << log;
    EXPECT_TRUE(result.endedOnKey);
    EXPECT_EQ(0u, result.exitCode);
    EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").AsDword());
    EXPECT_GE(result.darkStretches, 4u);
    EXPECT_GE(result.musicKeys, 30u);
    // Each kind of dark stretch reached the saver.
    for (const char* line : {"Power: session locked", "Power: session unlocked", "Power: display off",
                             "Power: display on", "Power: suspending, sound output closed",
                             "Power: resumed, sound output reopened"})
        EXPECT_NE(std::string::npos, log.find(line)) << line << "\n" << log;
    size_t quotes = 0;
    for (size_t at = log.find("Showing quote "); at != std::string::npos; at = log.find("Showing quote ", at + 1))
        ++quotes;
    EXPECT_GE(quotes, 10u) << log;

    ASSERT_GE(result.samples.size(), 20u);
    EXPECT_GT(result.samples.back().privateKb, 0) << "the private bytes could not be read";
    EXPECT_GT(result.samples.back().handles, 0) << "the handles could not be counted";
    EXPECT_GT(result.samples.back().gdiObjects, 0) << "the GDI objects could not be counted";
    EXPECT_GT(result.samples.back().userObjects, 0) << "the windows could not be counted";
    EXPECT_GT(result.samples.back().threads, 0) << "the threads could not be counted";
    if (wt::RunningOnWine()) EXPECT_GT(result.samples.back().unixAnonKb, 0) << "the Unix process was not found";
    const std::string report = SoakTrendReport(result.samples, kWarmUpSeconds);
    for (const Allowance& allowance : kAllowances) {
        const SoakTrend trend = SoakSeriesTrend(result.samples, allowance.series, kWarmUpSeconds);
        EXPECT_LE(trend.floorGrowth, allowance.growth) << SoakSeriesName(allowance.series) << " grows\n" << report;
    }
    std::printf("%s", report.c_str());
}

}  // namespace
