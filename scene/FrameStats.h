// Benchmark figures of a run's drawn frames: frame rate and processor time per frame over
// whole stretches of frames, and the program's own time per frame (its computation and its
// Direct3D calls) as mean and median. No platform calls; the frame clock feeds it.
#pragma once

#include <cstdint>
#include <string>

class FrameStats {
public:
    static constexpr long kCpuEvery = 32;  // frames between two readings of the processor time
    static constexpr int kBins = 2000;     // 5 us wide: up to 10 ms

    // A drawn frame that ended at `nowMs` on the frame clock; `updateUs` of it went to the
    // program's computation, `drawUs` to its Direct3D calls. The first frame only starts the
    // figures. True when the caller should read the processor time now and hand it to
    // MarkCpu: reading it costs, so it is read at the first frame and every kCpuEvery frames.
    bool AddFrame(double nowMs, double updateUs, double drawUs);
    void MarkCpu(double cpuMs);
    // "N frames in T ms, F fps, C ms processor per frame, update U us (median u), Direct3D
    // calls D us (median d) per frame"; empty until a whole stretch of frames is in.
    std::string Summary() const;

private:
    static int Bin(double us);
    static double Median(const uint32_t* bins, long count);

    long m_frames = -1;  // frames counted after the first one
    double m_startMs = 0, m_lastMs = 0, m_markMs = 0;
    double m_startCpu = -1, m_markCpu = 0;
    long m_markFrames = 0;
    double m_updateUs = 0, m_drawUs = 0;
    uint32_t m_updateBins[kBins] = {};
    uint32_t m_drawBins[kBins] = {};
};
