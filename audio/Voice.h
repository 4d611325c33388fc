// Voice: what the output thread reads a stream through: the stream's decoder, the frames
// handed back after a discard (played again first) and a record of the last frames handed
// out. Shared by the stream and a block being mixed; only the output thread reads from it,
// so that decoding never happens under the sound system's lock.
#pragma once

#include "audio/Decoder.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace zaudio {

class Voice {
public:
    // 'remember': how many of the last frames handed out can be taken back (the output's queue).
    Voice(std::unique_ptr<Decoder> decoder, int remember);

    // Fills up to 'frames' stereo frames, the first of them at mix position 'start'; fewer
    // means the song has ended. Returns how many were written.
    int Take(float* out, int frames, int64_t start);
    // The frames handed out at mix positions 'from' and later were never heard: they come
    // first again. False when none were (nothing to hand back).
    bool GiveBack(int64_t from);
    // Back to the song's first frame; false when the decoder cannot start over.
    bool Restart();

    // Held while the output thread reads from the voice; a caller whose memory the decoder
    // reads takes it to know the output thread is done with that memory.
    std::mutex& InUse() { return m_inUse; }

private:
    std::unique_ptr<Decoder> m_decoder;
    bool m_decoderEnded = false;
    std::vector<float> m_pending;  // frames given back, not yet handed out again
    size_t m_pendingPos = 0;       // in floats
    std::vector<float> m_recent;   // the last frames handed out, oldest first
    size_t m_remember;             // in floats
    int64_t m_givenEnd = 0;        // mix position just after the last frame handed out
    std::mutex m_inUse;
};

}  // namespace zaudio
