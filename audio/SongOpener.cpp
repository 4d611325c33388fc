// SongOpener: format detection by signature and the choice of decoder.
#include "audio/SongOpener.h"

#include "audio/ByteSource.h"
#include "audio/OggDecoder.h"
#include "audio/WavDecoder.h"
#include "audio/fmod.h"

#include <cstring>

namespace zaudio {

namespace {
const uint8_t kAsfHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
}

Container DetectContainer(const uint8_t* head, size_t n)
{
    if (n >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0)
        return Container::Wave;
    if (n >= 4 && std::memcmp(head, "OggS", 4) == 0)
        return Container::Ogg;
    if (n >= 16 && std::memcmp(head, kAsfHeaderGuid, 16) == 0)
        return Container::Asf;
    if (n >= 3 && std::memcmp(head, "ID3", 3) == 0)
        return Container::Mpeg;
    if (n >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0)
        return Container::Mpeg;
    return Container::Unknown;
}

std::unique_ptr<Decoder> OpenSong(const SongSource& source, AsfOpener asfOpener, int& error)
{
    error = FMOD_ERR_NONE;
    if (!source.nameOrData || source.offset < 0 || source.length < 0) {
        error = FMOD_ERR_INVALID_PARAM;
        return nullptr;
    }

    std::unique_ptr<ByteSource> bytes;
    if (source.inMemory) {
        if (source.length == 0 || source.offset >= source.length) {
            error = FMOD_ERR_INVALID_PARAM;
            return nullptr;
        }
        bytes.reset(new MemorySource(reinterpret_cast<const uint8_t*>(source.nameOrData) + source.offset,
                                     static_cast<size_t>(source.length - source.offset)));
    } else {
        std::unique_ptr<FileSource> file(new FileSource());
        switch (file->Open(source.nameOrData, static_cast<uint64_t>(source.offset), static_cast<uint64_t>(source.length))) {
        case FileSource::Opened:
            break;
        case FileSource::NotFound:
            error = FMOD_ERR_FILE_NOTFOUND;
            return nullptr;
        default:
            error = FMOD_ERR_FILE_BAD;
            return nullptr;
        }
        bytes = std::move(file);
    }

    uint8_t head[16] = {};
    size_t got = bytes->ReadAt(0, head, sizeof head);
    switch (DetectContainer(head, got)) {
    case Container::Wave: {
        WavInfo info;
        switch (ParseWavHeader(*bytes, info)) {
        case WavStatus::Ok:
            return std::unique_ptr<Decoder>(new WavDecoder(std::move(bytes), info));
        case WavStatus::Damaged:
            error = FMOD_ERR_FILE_BAD;
            return nullptr;
        default:
            error = FMOD_ERR_FILE_FORMAT;
            return nullptr;
        }
    }
    case Container::Ogg:
        if (source.inMemory) {
            auto* mem = static_cast<MemorySource*>(bytes.get());
            return OggDecoder::FromMemory(mem->Data(), static_cast<size_t>(mem->Size()), error);
        }
        bytes.reset();
        return OggDecoder::FromFile(source.nameOrData, static_cast<uint64_t>(source.offset),
                                    static_cast<uint64_t>(source.length), error);
    case Container::Asf:
        if (!asfOpener) {
            error = FMOD_ERR_MEDIAPLAYER;
            return nullptr;
        }
        bytes.reset();
        return asfOpener(source, error);
    default:
        // MP3 included: this player does not decode it.
        error = FMOD_ERR_FILE_FORMAT;
        return nullptr;
    }
}

}  // namespace zaudio
