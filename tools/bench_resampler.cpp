// Native microbenchmark of the output thread's rate conversion: processor time per second
// of sound the Resampler hands out, for songs at the usual rates played at 44.1 kHz
// (stereo, read in the mixer's block size). tools/bench.sh builds it with optimisation and
// runs it; it is not a test. Built for Windows, std::clock counts wall time there.
//   bench_resampler [seconds per rate] [only this source rate]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "audio/Resampler.h"

namespace {

// An endless stereo song of two tones, made once and repeated.
class ToneSource : public zaudio::Decoder {
public:
    explicit ToneSource(int rate) : m_rate(rate), m_frames(2 * static_cast<size_t>(rate))
    {
        for (int i = 0; i < rate; ++i) {
            m_frames[2 * static_cast<size_t>(i)] = static_cast<float>(0.5 * std::sin(2 * 3.14159265 * 440.0 * i / rate));
            m_frames[2 * static_cast<size_t>(i) + 1] = static_cast<float>(0.5 * std::sin(2 * 3.14159265 * 660.0 * i / rate));
        }
    }
    int Rate() const override { return m_rate; }
    int Read(float* out, int frames) override
    {
        for (int i = 0; i < frames; ++i) {
            out[2 * i] = m_frames[2 * m_pos];
            out[2 * i + 1] = m_frames[2 * m_pos + 1];
            m_pos = (m_pos + 1) % static_cast<size_t>(m_rate);
        }
        return frames;
    }
    bool Rewind() override
    {
        m_pos = 0;
        return true;
    }

private:
    int m_rate;
    std::vector<float> m_frames;
    size_t m_pos = 0;
};

// Processor milliseconds per second of output, and those the filter took to set up.
void Measure(int rate, int seconds)
{
    const int out = 44100;
    const int block = 2205;  // what the mixer asks for per 50 ms
    std::unique_ptr<zaudio::Decoder> source(new ToneSource(rate));
    const clock_t cpuMade = std::clock();
    zaudio::Resampler r(std::move(source), out);
    std::vector<float> buf(2 * static_cast<size_t>(block));
    float sink = 0.0f;
    r.Read(buf.data(), 1);
    const clock_t cpuSetUp = std::clock();
    const auto start = std::chrono::steady_clock::now();
    const clock_t cpuStart = std::clock();
    const int blocks = seconds * out / block;
    for (int i = 0; i < blocks; ++i) {
        r.Read(buf.data(), block);
        sink += buf[static_cast<size_t>(i % block) * 2];
    }
    const clock_t cpuEnd = std::clock();
    const auto end = std::chrono::steady_clock::now();
    if (sink == 12345.0f)
        std::puts("");  // keeps the work from being optimised away
    const double soundSeconds = static_cast<double>(blocks) * block / out;
    std::printf("%6d Hz -> 44100 Hz stereo: %6.2f ms CPU (%6.2f ms wall) per second of sound, set-up %.1f ms CPU\n",
                rate, 1000.0 * (cpuEnd - cpuStart) / CLOCKS_PER_SEC / soundSeconds,
                std::chrono::duration<double, std::milli>(end - start).count() / soundSeconds,
                1000.0 * (cpuSetUp - cpuMade) / CLOCKS_PER_SEC);
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int only = argc > 2 ? std::atoi(argv[2]) : 0;
    const int rates[] = {48000, 8000, 11025, 22050, 32000, 96000, 192000};
    for (int rate : rates)
        if (!only || rate == only)
            Measure(rate, seconds);
    return 0;
}
