// FrameStats: sums, 5 us histograms for the medians, and processor-time marks.
#include "scene/FrameStats.h"

#include <cstdio>

int FrameStats::Bin(double us) {
    if (!(us > 0)) return 0;
    const double bin = us / 5.0;
    return bin >= kBins - 1 ? kBins - 1 : static_cast<int>(bin);
}

double FrameStats::Median(const uint32_t* bins, long count) {
    long seen = 0;
    for (int i = 0; i < kBins; ++i) {
        seen += static_cast<long>(bins[i]);
        if (2 * seen >= count) return i * 5.0 + 2.5;
    }
    return kBins * 5.0;
}

bool FrameStats::AddFrame(double nowMs, double updateUs, double drawUs) {
    m_lastMs = nowMs;
    if (m_frames < 0) {
        m_frames = 0;
        m_startMs = nowMs;
        return true;
    }
    ++m_frames;
    m_updateUs += updateUs;
    m_drawUs += drawUs;
    ++m_updateBins[Bin(updateUs)];
    ++m_drawBins[Bin(drawUs)];
    return m_frames % kCpuEvery == 0;
}

void FrameStats::MarkCpu(double cpuMs) {
    if (m_startCpu < 0) {
        m_startCpu = cpuMs;
        return;
    }
    m_markCpu = cpuMs;
    m_markMs = m_lastMs;
    m_markFrames = m_frames;
}

std::string FrameStats::Summary() const {
    if (m_markFrames <= 0 || m_markMs <= m_startMs) return std::string();
    const double wallMs = m_markMs - m_startMs;
    char text[240];
    std::snprintf(text, sizeof text,
                  "%ld frames in %.0f ms, %.1f fps, %.2f ms processor per frame, update %.1f us (median %.1f), "
                  "Direct3D calls %.1f us (median %.1f) per frame",
                  m_markFrames, wallMs, m_markFrames * 1000.0 / wallMs, (m_markCpu - m_startCpu) / m_markFrames,
                  m_updateUs / m_frames, Median(m_updateBins, m_frames), m_drawUs / m_frames,
                  Median(m_drawBins, m_frames));
    return text;
}
