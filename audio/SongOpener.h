// SongOpener: tells a song's format from its first bytes and makes the matching Decoder
// (WAV, Ogg Vorbis; Windows Media through a platform hook). MP3 and anything else unknown
// are refused. The returned decoder belongs to the caller.
#pragma once

#include "audio/Decoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zaudio {

// Where a song's bytes are: a file path, or a memory block the caller keeps alive.
struct SongSource {
    const char* nameOrData = nullptr;
    bool inMemory = false;
    int offset = 0;  // bytes to skip at the start of the file or block
    int length = 0;  // memory: size of the block; file: length of the region, 0 = to the end
};

enum class Container { Wave, Ogg, Asf, Mpeg, Unknown };

Container DetectContainer(const uint8_t* head, size_t n);

// Opens Windows Media (ASF) songs; null when the platform has no reader for them.
using AsfOpener = std::unique_ptr<Decoder> (*)(const SongSource& source, int& error);

// Null on failure, with error set to a sound library error code.
std::unique_ptr<Decoder> OpenSong(const SongSource& source, AsfOpener asfOpener, int& error);

}  // namespace zaudio
