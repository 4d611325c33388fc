// The process-wide frame clock on the performance counter, or on the multimedia millisecond
// clock where the platform has no high-resolution counter.
#include "scene/FrameClock.h"

#include <windows.h>
#include <mmsystem.h>

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

}  // namespace

void ResetFrameClock() { gClock.previous = gClock.Read(); }

double MeasureFrame() {
    const int64_t now = gClock.Read();
    const double ms = ElapsedMilliseconds(gClock.previous, now, gClock.frequency, gClock.highResolution);
    gClock.previous = now;
    gBook.AddFrame(ms);
    gSmoothedStep = static_cast<float>(gStepFilter.Push(WaveMilliseconds(ms) * kStepPerMillisecond));
    return ms;
}

float AverageFrameRate() { return gBook.averageRate; }
float SmoothedStep() { return gSmoothedStep; }
double FrameMilliseconds() { return gBook.frameMs; }
cStepFilter& FrameStepFilter() { return gStepFilter; }
