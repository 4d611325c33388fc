// OggDecoder: the stb_vorbis decoder behind the Decoder interface; two channels are asked
// of it, so mono is doubled and surround is folded down by the decoder itself.
#include "audio/OggDecoder.h"

#include "audio/ByteSource.h"
#include "audio/StbVorbisAlloc.h"
#include "audio/VorbisHeaders.h"
#include "audio/fmod.h"

#include <cerrno>
#include <cstdio>

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

namespace zaudio {

namespace {
const int kMinRate = 1000;
const int kMaxRate = 384000;
}

OggDecoder::~OggDecoder()
{
    if (m_vorbis)
        stb_vorbis_close(m_vorbis);
}

std::unique_ptr<OggDecoder> OggDecoder::Wrap(stb_vorbis* v, int stbError, int& error)
{
    if (!v) {
        if (stbError == VORBIS_outofmem)
            error = FMOD_ERR_MEMORY;
        else if (stbError == VORBIS_invalid_first_page || stbError == VORBIS_unexpected_eof)
            error = FMOD_ERR_FILE_BAD;
        else
            error = FMOD_ERR_FILE_FORMAT;
        return nullptr;
    }
    stb_vorbis_info vi = stb_vorbis_get_info(v);
    if (vi.channels < 1 || static_cast<int>(vi.sample_rate) < kMinRate || vi.sample_rate > static_cast<unsigned>(kMaxRate)) {
        stb_vorbis_close(v);
        error = FMOD_ERR_FILE_FORMAT;
        return nullptr;
    }
    std::unique_ptr<OggDecoder> d(new OggDecoder());
    d->m_vorbis = v;
    d->m_rate = static_cast<int>(vi.sample_rate);
    return d;
}

std::unique_ptr<OggDecoder> OggDecoder::FromMemory(const uint8_t* data, size_t size, int& error)
{
    if (!data || size == 0 || size > 0x7FFFFFFF) {
        error = FMOD_ERR_INVALID_PARAM;
        return nullptr;
    }
    MemorySource check(data, size);
    if (!VorbisCommentHeaderSane(check)) {
        error = FMOD_ERR_FILE_BAD;
        return nullptr;
    }
    int stbError = 0;
    ZaudioStbTracker tracker;
    zaudio_stb_track_begin(&tracker, ZAUDIO_STB_STREAM_BUDGET);
    stb_vorbis* v = stb_vorbis_open_memory(data, static_cast<int>(size), &stbError, nullptr);
    zaudio_stb_track_end(&tracker, v ? 0 : 1);
    return Wrap(v, stbError, error);
}

std::unique_ptr<OggDecoder> OggDecoder::FromFile(const char* path, uint64_t offset, uint64_t length, int& error)
{
    if (!path || !*path) {
        error = FMOD_ERR_FILE_NOTFOUND;
        return nullptr;
    }
    {
        FileSource check;
        FileSource::OpenResult r = check.Open(path, offset, length);
        if (r != FileSource::Opened) {
            error = r == FileSource::NotFound ? FMOD_ERR_FILE_NOTFOUND : FMOD_ERR_FILE_BAD;
            return nullptr;
        }
        if (!VorbisCommentHeaderSane(check)) {
            error = FMOD_ERR_FILE_BAD;
            return nullptr;
        }
    }
    errno = 0;
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        error = (errno == ENOENT || errno == ENOTDIR || errno == 0) ? FMOD_ERR_FILE_NOTFOUND : FMOD_ERR_FILE_BAD;
        return nullptr;
    }
    if (std::fseek(f, 0, SEEK_END) != 0) {
        std::fclose(f);
        error = FMOD_ERR_FILE_BAD;
        return nullptr;
    }
    long end = std::ftell(f);
    if (end < 0 || offset > static_cast<uint64_t>(end) || std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) {
        std::fclose(f);
        error = FMOD_ERR_FILE_BAD;
        return nullptr;
    }
    uint64_t rest = static_cast<uint64_t>(end) - offset;
    if (length == 0 || length > rest)
        length = rest;
    int stbError = 0;
    // The decoder takes the file over (close_on_free) whether it opens or not.
    ZaudioStbTracker tracker;
    zaudio_stb_track_begin(&tracker, ZAUDIO_STB_STREAM_BUDGET);
    stb_vorbis* v = stb_vorbis_open_file_section(f, 1, &stbError, nullptr, static_cast<unsigned>(length));
    zaudio_stb_track_end(&tracker, v ? 0 : 1);
    return Wrap(v, stbError, error);
}

int OggDecoder::Read(float* out, int frames)
{
    if (m_ended || frames <= 0)
        return 0;
    if (m_pcm.size() < static_cast<size_t>(frames) * 2)
        m_pcm.resize(static_cast<size_t>(frames) * 2);
    int done = 0;
    while (done < frames) {
        int n = stb_vorbis_get_samples_short_interleaved(m_vorbis, 2, m_pcm.data() + 2 * done, 2 * (frames - done));
        if (n <= 0) {
            // The end, or a stream damaged past repair: either way nothing more comes.
            m_ended = true;
            break;
        }
        done += n;
    }
    for (int i = 0; i < 2 * done; ++i)
        out[i] = m_pcm[static_cast<size_t>(i)] / 32768.0f;
    return done;
}

bool OggDecoder::Rewind()
{
    m_ended = false;
    return stb_vorbis_seek_start(m_vorbis) != 0;
}

}  // namespace zaudio
