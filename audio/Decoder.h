// Decoder: the interface every song decoder implements; it hands out interleaved stereo
// float frames (mono sources are doubled) at the source's own rate. Owned by its stream.
#pragma once

#include <cstdint>

namespace zaudio {

class Decoder {
public:
    virtual ~Decoder() = default;
    // Frames per second of the frames Read hands out.
    virtual int Rate() const = 0;
    // Fills up to 'frames' stereo frames (2 floats each, -1..1) into out; returns how many
    // were written. Fewer than asked (0 included) means the song has ended.
    virtual int Read(float* out, int frames) = 0;
    // Back to the first frame; false when the source cannot be read again.
    virtual bool Rewind() = 0;
};

}  // namespace zaudio
