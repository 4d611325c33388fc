// WavBuilder: makes WAV file bytes in memory for the audio tests, honest or with chosen lies
// in the header. Returns plain byte vectors owned by the caller.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace wavtest {

const double kPi = 3.14159265358979323846;

inline void Put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutId(std::vector<uint8_t>& b, const char* id) { b.insert(b.end(), id, id + 4); }

struct WavSpec {
    uint16_t tag = 1;
    uint16_t channels = 2;
    uint32_t rate = 44100;
    uint16_t bits = 16;
    uint32_t fmtSize = 16;
    int64_t dataSizeField = -1;  // -1: the true size
    int64_t blockAlign = -1;     // -1: the true value
};

// A WAV holding 'data' (already in the sample layout the header describes).
inline std::vector<uint8_t> MakeWav(const WavSpec& s, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> b;
    PutId(b, "RIFF");
    Put32(b, 0);
    PutId(b, "WAVE");
    PutId(b, "fmt ");
    Put32(b, s.fmtSize);
    Put16(b, s.tag);
    Put16(b, s.channels);
    Put32(b, s.rate);
    uint32_t align = static_cast<uint32_t>(s.blockAlign >= 0 ? s.blockAlign : s.channels * s.bits / 8);
    Put32(b, s.rate * align);
    Put16(b, align);
    Put16(b, s.bits);
    for (uint32_t i = 16; i < s.fmtSize; ++i)
        b.push_back(0);
    PutId(b, "data");
    Put32(b, static_cast<uint32_t>(s.dataSizeField >= 0 ? s.dataSizeField : static_cast<int64_t>(data.size())));
    b.insert(b.end(), data.begin(), data.end());
    uint32_t riff = static_cast<uint32_t>(b.size() - 8);
    std::memcpy(&b[4], &riff, 4);
    return b;
}

inline std::vector<uint8_t> Samples16(const std::vector<int16_t>& v)
{
    std::vector<uint8_t> b;
    for (int16_t s : v)
        Put16(b, static_cast<uint16_t>(s));
    return b;
}

// 16-bit stereo WAV of a sine of 'hz' at 'amp' (0..1) for 'frames' frames.
inline std::vector<uint8_t> SineWav(uint32_t rate, int channels, double hz, double amp, int frames)
{
    std::vector<int16_t> v;
    for (int i = 0; i < frames; ++i) {
        int16_t s = static_cast<int16_t>(std::lround(amp * 32767.0 * std::sin(2 * kPi * hz * i / rate)));
        for (int c = 0; c < channels; ++c)
            v.push_back(s);
    }
    WavSpec spec;
    spec.rate = rate;
    spec.channels = static_cast<uint16_t>(channels);
    return MakeWav(spec, Samples16(v));
}

inline std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

inline std::string DataPath(const char* name)
{
    return std::string(ZEPHYL_SOURCE_DIR) + "/tests/audio/data/" + name;
}

// Counts sign changes (from negative to non-negative) of one channel of interleaved frames.
inline int RisingCrossings(const std::vector<float>& stereo, int channel, size_t from = 0)
{
    int n = 0;
    for (size_t i = from + 1; i < stereo.size() / 2; ++i)
        if (stereo[2 * (i - 1) + channel] < 0 && stereo[2 * i + channel] >= 0)
            ++n;
    return n;
}

}  // namespace wavtest
