// WavDecoder: RIFF WAVE files with PCM (8, 16, 24, 32 bit) or 32-bit float samples, mono or
// stereo. ParseWavHeader trusts no size in the header beyond what the source really holds.
// The decoder owns its ByteSource.
#pragma once

#include "audio/ByteSource.h"
#include "audio/Decoder.h"

#include <memory>
#include <vector>

namespace zaudio {

struct WavInfo {
    int channels = 0;
    int rate = 0;
    int bitsPerSample = 0;
    bool isFloat = false;
    int frameBytes = 0;       // bytes of one frame as the data is laid out
    uint64_t dataOffset = 0;  // first byte of the samples in the source
    uint64_t frames = 0;      // whole frames that are really present
};

enum class WavStatus {
    Ok,
    NotWave,      // no RIFF/WAVE signature
    Unsupported,  // a WAVE, but an encoding or layout this player does not decode
    Damaged       // a WAVE whose chunks are missing or cut short
};

WavStatus ParseWavHeader(ByteSource& src, WavInfo& info);

class WavDecoder : public Decoder {
public:
    WavDecoder(std::unique_ptr<ByteSource> src, const WavInfo& info);
    int Rate() const override { return m_info.rate; }
    int Read(float* out, int frames) override;
    bool Rewind() override;

private:
    std::unique_ptr<ByteSource> m_src;
    WavInfo m_info;
    uint64_t m_frame = 0;
    std::vector<uint8_t> m_raw;
};

}  // namespace zaudio
