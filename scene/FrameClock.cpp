// The process-wide frame clock on the performance counter, or on the multimedia millisecond
// clock where the platform has no high-resolution counter.
#include "scene/FrameClock.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdlib>
#include <string>

#include "diag/Log.h"
#include "scene/FrameRate.h"
#include "scene/FrameStats.h"

namespace {

struct FrameClock {
    bool highResolution = false;
    int64_t frequency = 1000;
    int64_t previous = 0;

    FrameClock() {
        LARGE_INTEGER f;
        if (QueryPerformanceFrequency(&f) && f.QuadPart > 0) {
            highResolution = true;
            frequency = f.QuadPart;
        }
        previous = Read();
    }

    int64_t Read() const {
        if (highResolution) {
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            return now.QuadPart;
        }
        // The 32-bit millisecond count widened with a zero upper half.
        return static_cast<int64_t>(static_cast<uint64_t>(timeGetTime()));
    }
};

// Set up before WinMain: the first reading is taken at program start.
FrameClock gClock;
FrameRateBook gBook;
cStepFilter gStepFilter;
float gSmoothedStep = 0.0f;

// Benchmark figures of the drawn frames, kept only when the environment variable
// ZEPHYL_FRAME_STATS is set: no clock reads are added to the frames of an ordinary run.
bool gStatsOn = false;
FrameStats* gStats = nullptr;

double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

}  // namespace

void ResetFrameClock() {
    gClock.previous = gClock.Read();
    if (!gStatsOn) {
        const char* stats = std::getenv("ZEPHYL_FRAME_STATS");
        gStatsOn = stats && *stats;
    }
}

int64_t MarkFrameWork() { return gStatsOn ? gClock.Read() : 0; }

void EndFrameWork(int64_t start, int64_t drawStart) {
    if (!gStatsOn) return;
    const int64_t now = gClock.Read();
    if (!gStats) gStats = new FrameStats();
    auto ms = [](int64_t from, int64_t to) {
        return ElapsedMilliseconds(from, to, gClock.frequency, gClock.highResolution);
    };
    if (gStats->AddFrame(ms(0, now), ms(start, drawStart) * 1000.0, ms(drawStart, now) * 1000.0))
        gStats->MarkCpu(ProcessCpuMs());
}

void LogFrameStats() {
    if (!gStats) return;
    const std::string summary = gStats->Summary();
    if (!summary.empty()) ZLOG(LogInfo, "Frame statistics: " << summary);
    delete gStats;
    gStats = nullptr;
}

double MeasureFrame() {
    const int64_t now = gClock.Read();
    const double ms = ElapsedMilliseconds(gClock.previous, now, gClock.frequency, gClock.highResolution);
    gClock.previous = now;
    gBook.AddFrame(ms);
    gSmoothedStep = static_cast<float>(gStepFilter.Push(WaveMilliseconds(ms) * kStepPerMillisecond));
    return ms;
}

double MeasureIdle() {
    const int64_t now = gClock.Read();
    gBook.frameMs = ElapsedMilliseconds(gClock.previous, now, gClock.frequency, gClock.highResolution);
    gClock.previous = now;
    return gBook.frameMs;
}

float AverageFrameRate() { return gBook.averageRate; }
float SmoothedStep() { return gSmoothedStep; }
double FrameMilliseconds() { return gBook.frameMs; }
cStepFilter& FrameStepFilter() { return gStepFilter; }
