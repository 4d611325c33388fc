// Voice: what the output thread reads a stream through: the stream's decoder and the mutex
// that marks it in use. Shared by the stream and a block being mixed; only the output thread
// reads from it, so that decoding never happens under the sound system's lock.
#pragma once

#include "audio/Decoder.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace zaudio {

class Voice {
public:
    explicit Voice(std::unique_ptr<Decoder> decoder) : m_decoder(std::move(decoder)) {}

    // Fills up to 'frames' stereo frames; fewer means the song has ended. Returns how many
    // were written.
    int Take(float* out, int frames);
    // Back to the song's first frame; false when the decoder cannot start over.
    bool Restart();

    // Held while the output thread reads from the voice; a caller whose memory the decoder
    // reads takes it to know the output thread is done with that memory.
    std::mutex& InUse() { return m_inUse; }

private:
    std::unique_ptr<Decoder> m_decoder;
    bool m_ended = false;
    std::mutex m_inUse;
};

}  // namespace zaudio
