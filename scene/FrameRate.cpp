// Frame-rate bookkeeping: 250 ms windows, truncated millisecond sums, excess carried over.
#include "scene/FrameRate.h"

#include <cmath>
#include <limits>

double ElapsedMilliseconds(int64_t previous, int64_t now, int64_t frequency, bool highResolution) {
    // Unsigned arithmetic: a wrapped or reset counter gives a huge difference, never UB.
    const int64_t diff = static_cast<int64_t>(static_cast<uint64_t>(now) - static_cast<uint64_t>(previous));
    // The millisecond clock is a 32-bit count: a frame across its wrap is still a short one.
    if (!highResolution) return static_cast<double>(static_cast<uint32_t>(diff));
    if (frequency <= 0) return 0.0;
    return static_cast<double>(diff) / static_cast<double>(frequency) * 1000.0;
}

int32_t WholeMilliseconds(double ms) {
    if (!(ms == ms)) return 0;
    if (ms >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (ms <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(ms);
}

double WaveMilliseconds(double ms) { return ms > 0.0 ? ms : 0.0; }

bool FrameRateBook::AddFrame(double ms) {
    frameMs = ms;
    // The window holds whole milliseconds: the fraction of every frame is dropped. Values
    // outside the 32-bit range (a counter that jumped) are clamped instead of overflowing.
    // A counter that ran backwards (or a NaN) adds nothing.
    const double add = ms > 0.0 ? ms : 0.0;
    double sum = std::trunc(static_cast<double>(windowMs) + add);
    if (sum > std::numeric_limits<int32_t>::max()) sum = std::numeric_limits<int32_t>::max();
    if (sum < std::numeric_limits<int32_t>::min()) sum = std::numeric_limits<int32_t>::min();
    windowMs = static_cast<int32_t>(sum);
    if (windowFrames < std::numeric_limits<int32_t>::max()) ++windowFrames;
    if (windowMs < kWindowMs) return false;

    const float rate = static_cast<float>(1000.0 / windowMs * windowFrames);
    ++samples;
    windowFrames = 0;
    windowMs -= kWindowMs;
    rateSum += rate;
    averageRate = rateSum / static_cast<float>(samples);
    return true;
}
