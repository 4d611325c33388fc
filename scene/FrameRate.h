// The frame-rate bookkeeping behind the frame clock: elapsed milliseconds from counter
// readings, 250 ms rate samples and their running average. No platform calls.
#pragma once

#include <cstdint>

// Milliseconds between two readings of a counter running at `frequency` counts per second.
// With the millisecond clock (frequency 1000) the difference is taken modulo 2^32. A frequency
// of 0 or below gives 0 rather than a division by zero.
double ElapsedMilliseconds(int64_t previous, int64_t now, int64_t frequency, bool highResolution);

struct FrameRateBook {
    static constexpr int kWindowMs = 250;

    double frameMs = 0.0;
    int32_t windowMs = 0;
    int32_t windowFrames = 0;
    int32_t samples = 0;
    float rateSum = 0.0f;
    float averageRate = 100.0f;

    // Accounts one frame of `ms` milliseconds; true when it completed a sample.
    bool AddFrame(double ms);
};

// A frame's milliseconds as the whole number the quote show and the fade-in count with
// (truncated towards zero; out-of-range values are clamped, a NaN is 0).
int32_t WholeMilliseconds(double ms);

// The milliseconds a frame advances the flag's wave by: a counter that stepped backwards
// (or a NaN) gives 0, so the wave never runs backwards.
double WaveMilliseconds(double ms);

// The flag's step for a frame of `ms` milliseconds before smoothing (1 / 16.666 per ms).
constexpr double kStepPerMillisecond = 0.06000240009600384;
