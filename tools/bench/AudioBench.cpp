// Benchmark of what the sound library costs the frame loop: a thread renders the mix in
// real time, as the waveOut thread does, from a song source that is fast or slow (a stalled
// disk or network path: every read sleeps), while the main thread makes the per-frame call
// (FSOUND_IsPlaying) every 5 ms and times it. Also times opening an ordinary Ogg song and a
// hostile one (a tiny file declaring a huge codebook) on the calling thread.
//   audio_bench [seconds per case] [milliseconds each slow read sleeps]
#include "audio/SoundSystem.h"

#include "audio/OggBuilder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

using namespace zaudio;
using Clock = std::chrono::steady_clock;

namespace {

int g_readSleepMs = 40;

// A real-time pull of the mix: one block per block period, as a sound card would.
class PacedDevice : public OutputDevice {
public:
    PacedDevice(const OutputConfig& config, MixTarget& target) : m_target(target)
    {
        m_blockFrames = config.rate * config.bufferMs / 1000 / 4;
        m_period = std::chrono::microseconds(1000000LL * m_blockFrames / config.rate);
        m_thread = std::thread([this] { Run(); });
    }
    ~PacedDevice() override
    {
        m_stop = true;
        m_thread.join();
    }

private:
    void Run()
    {
        std::vector<int16_t> block(2 * static_cast<size_t>(m_blockFrames));
        auto next = Clock::now();
        while (!m_stop) {
            m_target.Render(block.data(), m_blockFrames);
            m_target.Played(m_blockFrames);
            next += m_period;
            std::this_thread::sleep_until(next);
        }
    }

    MixTarget& m_target;
    int m_blockFrames;
    std::chrono::microseconds m_period;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class SlowDecoder : public Decoder {
public:
    int Rate() const override { return 44100; }
    int Read(float* out, int frames) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(g_readSleepMs));
        std::fill(out, out + 2 * frames, 0.1f);
        return frames;
    }
    bool Rewind() override { return true; }
};

std::unique_ptr<Decoder> OpenSlow(const SongSource&, int& error)
{
    error = FMOD_ERR_NONE;
    return std::unique_ptr<Decoder>(new SlowDecoder());
}

std::unique_ptr<OutputDevice> OpenPaced(const OutputConfig& config, MixTarget& target, int&)
{
    return std::unique_ptr<OutputDevice>(new PacedDevice(config, target));
}

struct Figures {
    size_t calls = 0;
    double meanUs = 0, p99Us = 0, maxUs = 0;
};

Figures FrameCalls(SoundSystem& sys, int channel, double seconds)
{
    std::vector<double> us;
    auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        auto t0 = Clock::now();
        sys.IsPlaying(channel);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Figures f;
    f.calls = us.size();
    for (double v : us)
        f.meanUs += v / static_cast<double>(us.size());
    std::sort(us.begin(), us.end());
    f.p99Us = us[us.size() * 99 / 100];
    f.maxUs = us.back();
    return f;
}

void Case(const char* name, const std::vector<uint8_t>& song, double seconds)
{
    SoundSystem sys(OpenPaced, OpenSlow);
    sys.SetBufferSize(250);
    if (!sys.Init(44100, 1, 0)) {
        std::printf("%s: Init failed\n", name);
        return;
    }
    FSOUND_STREAM* s = sys.StreamOpen(reinterpret_cast<const char*>(song.data()),
                                      FSOUND_NORMAL | FSOUND_2D | FSOUND_LOADMEMORY, 0, static_cast<int>(song.size()));
    int ch = sys.StreamPlay(FSOUND_FREE, s);
    Figures f = FrameCalls(sys, ch, seconds);
    std::printf("%-34s %6zu calls  mean %8.1f us  p99 %8.1f us  max %8.1f us\n", name, f.calls, f.meanUs, f.p99Us,
                f.maxUs);
    sys.StreamClose(s);
    sys.Close();
}

void OpenTime(const char* name, const std::vector<uint8_t>& song)
{
    SoundSystem sys([](const OutputConfig&, MixTarget&, int&) { return std::unique_ptr<OutputDevice>(new OutputDevice()); },
                    nullptr);
    sys.Init(44100, 1, 0);
    const int runs = 5;
    double worstMs = 0;
    FSOUND_STREAM* s = nullptr;
    for (int i = 0; i < runs; ++i) {
        auto t0 = Clock::now();
        s = sys.StreamOpen(reinterpret_cast<const char*>(song.data()), FSOUND_NORMAL | FSOUND_2D | FSOUND_LOADMEMORY, 0,
                           static_cast<int>(song.size()));
        worstMs = std::max(worstMs, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (s)
            sys.StreamClose(s);
    }
    std::printf("%-34s %zu bytes: %s, slowest of %d opens %.2f ms\n", name, song.size(), s ? "opens" : "refused",
                runs, worstMs);
}

}  // namespace

int main(int argc, char** argv)
{
    double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    if (argc > 2)
        g_readSleepMs = std::atoi(argv[2]);
    std::vector<int16_t> tone(2 * 44100 * 60);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<int16_t>((i / 2 % 100) * 100);
    wavtest::WavSpec spec;
    std::vector<uint8_t> wav = wavtest::MakeWav(spec, wavtest::Samples16(tone));
    std::vector<uint8_t> asf = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    asf.resize(64, 0);

    std::printf("Per-frame FSOUND_IsPlaying, every 5 ms for %.0f s, 250 ms output in 4 blocks:\n", seconds);
    Case("WAV from memory", wav, seconds);
    char name[64];
    std::snprintf(name, sizeof name, "slow source (%d ms per read)", g_readSleepMs);
    Case(name, asf, seconds);

    std::printf("Opening on the calling thread:\n");
    std::vector<uint8_t> ogg;
    if (FILE* f = std::fopen(ZEPHYL_SOURCE_DIR "/tests/audio/data/tone440_stereo.ogg", "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF)
            ogg.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    OpenTime("Ogg song (1 s, 44100 Hz stereo)", ogg);
    OpenTime("Ogg with a 16M-entry codebook", oggtest::SongWithHugeCodebook(0xFFFFFF));
    OpenTime("Ogg with a 1M-entry codebook", oggtest::SongWithHugeCodebook(0xFFFFF));
    return 0;
}
