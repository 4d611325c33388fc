// The soak run's samples of the saver process (memory, handles, GDI and USER objects,
// threads, and under Wine the Unix side's memory) as CSV lines, and their trends: the least-squares slope of each series over the
// last part of a run and how far it grew there. Portable: no Windows API.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct SoakSample {
    double seconds = 0;        // since the saver's main loop started
    double privateKb = 0;      // private bytes (PrivateUsage) / 1024
    double handles = 0;        // kernel handles
    double gdiObjects = 0;
    double userObjects = 0;
    double threads = 0;
    double unixAnonKb = 0;     // under Wine: the Unix process's anonymous resident memory / 1024
};

enum class SoakSeries { PrivateKb, Handles, GdiObjects, UserObjects, Threads, UnixAnonKb };
constexpr size_t kSoakSeriesCount = 6;
const char* SoakSeriesName(SoakSeries series);
double SoakValue(const SoakSample& sample, SoakSeries series);

// "seconds,private_kb,handles,gdi_objects,user_objects,threads,unix_anon_kb"
std::string SoakCsvHeader();
std::string SoakCsvLine(const SoakSample& sample);
// Reads what SoakCsvHeader/SoakCsvLine wrote (the header line is skipped); false on a line
// that is not six numbers after the time.
bool ParseSoakCsv(const std::string& text, std::vector<SoakSample>& samples);

// Where the trend window of a run of `runSeconds` starts: the last 90 minutes, or the last
// three quarters of a shorter run.
double SoakTrendStart(double runSeconds);

struct SoakTrend {
    size_t count = 0;           // samples in the window
    double slopePerHour = 0;    // least-squares slope, units per hour
    double first = 0, last = 0; // the window's first and last values
    double lowest = 0, highest = 0;
    // Growth over the window as the fitted line tells it (slope x window length): one odd
    // sample at either end does not make it.
    double fittedGrowth = 0;
    // The lowest value of the window's last third less that of its first third: how far the
    // floor rose. Short spikes (a picture being decoded, a song being opened) leave it be.
    double floorGrowth = 0;
};
// The trend of one series over the samples taken at or after `fromSeconds`; count 0 when
// fewer than two samples are there.
SoakTrend SoakSeriesTrend(const std::vector<SoakSample>& samples, SoakSeries series, double fromSeconds);

// One line per series: name, slope per hour, fitted and floor growth, first/last/lowest/highest.
std::string SoakTrendReport(const std::vector<SoakSample>& samples, double fromSeconds);
