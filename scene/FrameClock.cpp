// The process-wide frame clock on the performance counter, or on the multimedia millisecond
// clock where the platform has no high-resolution counter.
#include "scene/FrameClock.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>

#include "diag/Log.h"
#include "scene/FrameRate.h"

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
struct FrameStats {
    bool on = false;
    long frames = 0;
    int64_t firstFrame = 0;  // clock reading and processor time when the first frame ended
    double firstCpuMs = 0.0;
    int64_t lastFrame = 0;
    double lastCpuMs = 0.0;
    int64_t workTicks = 0;
};
FrameStats gStats;

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
    if (!gStats.on) {
        const char* stats = std::getenv("ZEPHYL_FRAME_STATS");
        gStats.on = stats && *stats;
    }
}

int64_t BeginFrameWork() { return gStats.on ? gClock.Read() : 0; }

void EndFrameWork(int64_t start) {
    if (!gStats.on) return;
    const int64_t now = gClock.Read();
    // The figures run from the end of the first frame, so the set-up is not part of them.
    if (gStats.frames == 0) {
        gStats.firstFrame = now;
        gStats.firstCpuMs = ProcessCpuMs();
    } else {
        gStats.workTicks += now - start;
    }
    ++gStats.frames;
    gStats.lastFrame = now;
    gStats.lastCpuMs = ProcessCpuMs();
}

void LogFrameStats() {
    if (!gStats.on || gStats.frames < 2) return;
    const long frames = gStats.frames - 1;
    const double wallMs = ElapsedMilliseconds(gStats.firstFrame, gStats.lastFrame, gClock.frequency,
                                              gClock.highResolution);
    const double cpuMs = gStats.lastCpuMs - gStats.firstCpuMs;
    const double workUs =
        ElapsedMilliseconds(0, gStats.workTicks, gClock.frequency, gClock.highResolution) * 1000.0 / frames;
    char text[200];
    std::snprintf(text, sizeof text,
                  "Frame statistics: %ld frames in %.0f ms, %.1f fps, %.2f ms processor per frame, "
                  "%.1f us own work per frame",
                  frames, wallMs, wallMs > 0 ? frames * 1000.0 / wallMs : 0.0, cpuMs / frames, workUs);
    ZLOG(LogInfo, text);
    gStats = FrameStats();
}

double MeasureFrame() {
    const int64_t now = gClock.Read();
    const double ms = ElapsedMilliseconds(gClock.previous, now, gClock.frequency, gClock.highResolution);
    gClock.previous = now;
    gBook.AddFrame(ms);
    gSmoothedStep = static_cast<float>(gStepFilter.Push(ms * kStepPerMillisecond));
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
