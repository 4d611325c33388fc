// OggDecoder: Ogg Vorbis songs through stb_vorbis, from a memory block (not copied: the
// caller keeps it alive) or from a region of a file that the decoder opens and closes.
#pragma once

#include "audio/Decoder.h"

#include <cstdint>
#include <memory>
#include <vector>

struct stb_vorbis;

namespace zaudio {

class OggDecoder : public Decoder {
public:
    ~OggDecoder() override;
    // Both return null and set error to a sound library error code on failure.
    static std::unique_ptr<OggDecoder> FromMemory(const uint8_t* data, size_t size, int& error);
    static std::unique_ptr<OggDecoder> FromFile(const char* path, uint64_t offset, uint64_t length, int& error);

    int Rate() const override { return m_rate; }
    int Read(float* out, int frames) override;
    bool Rewind() override;

private:
    OggDecoder() = default;
    static std::unique_ptr<OggDecoder> Wrap(stb_vorbis* v, int stbError, int& error);

    stb_vorbis* m_vorbis = nullptr;
    int m_rate = 0;
    bool m_ended = false;
    std::vector<short> m_pcm;
};

}  // namespace zaudio
