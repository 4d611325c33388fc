// Fuzz target of the song open-and-decode path: the first byte chooses memory or file and
// the mix rate (so that most songs go through the resampler), the rest is the song. The
// song is decoded to its end (bounded), rewound and decoded again. Built by tools/fuzz.sh.
#include "audio/Resampler.h"
#include "audio/SongOpener.h"
#include "audio/fmod.h"

#include "FuzzFiles.h"

#include <cstdlib>
#include <vector>

namespace {

const int kMixRates[] = {44100, 22050, 48000, 8000};
const int kBlockFrames = 1024;
const int kMaxBlocks = 300;  // about 7 s at 44100 Hz: enough for the corpus' short songs

int64_t DecodeAll(zaudio::Decoder& d)
{
    std::vector<float> block(2 * kBlockFrames);
    int64_t total = 0;
    for (int b = 0; b < kMaxBlocks; ++b) {
        int n = d.Read(block.data(), kBlockFrames);
        if (n < 0 || n > kBlockFrames)
            abort();
        for (int i = 0; i < 2 * n; ++i)
            if (!(block[i] >= -4.0f && block[i] <= 4.0f))  // cubic overshoot stays small
                abort();
        total += n;
        if (n < kBlockFrames)
            break;
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t mode = data[0];
    const int mixRate = kMixRates[(mode >> 1) & 3];
    zaudio::SongSource source;
    std::vector<uint8_t> song(data + 1, data + size);  // its own block: overreads are caught
    std::string path;
    if (mode & 1) {
        path = fuzzfiles::ScratchFolder() + "/song.bin";
        fuzzfiles::Write(path, song.data(), song.size());
        source.nameOrData = path.c_str();
    } else {
        source.nameOrData = reinterpret_cast<const char*>(song.data());
        source.inMemory = true;
        source.length = static_cast<int>(song.size());
    }
    int error = FMOD_ERR_NONE;
    std::unique_ptr<zaudio::Decoder> decoder = zaudio::OpenSong(source, nullptr, error);
    if (!decoder) {
        if (error == FMOD_ERR_NONE)
            abort();
        return 0;
    }
    if (decoder->Rate() != mixRate)
        decoder.reset(new zaudio::Resampler(std::move(decoder), mixRate));
    int64_t first = DecodeAll(*decoder);
    if (decoder->Rewind() && first < int64_t(kBlockFrames) * kMaxBlocks) {
        int64_t again = DecodeAll(*decoder);
        (void)again;
    }
    return 0;
}
