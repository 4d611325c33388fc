// Tests of format detection and the error codes of opening songs.
#include "audio/SongOpener.h"

#include "audio/WavBuilder.h"
#include "audio/fmod.h"

#include <gtest/gtest.h>

using namespace zaudio;
using namespace wavtest;

namespace {

SongSource Memory(const std::vector<uint8_t>& b)
{
    SongSource s;
    s.nameOrData = reinterpret_cast<const char*>(b.data());
    s.inMemory = true;
    s.length = static_cast<int>(b.size());
    return s;
}

SongSource File(const std::string& path, int offset = 0, int length = 0)
{
    static std::string keep;
    keep = path;
    SongSource s;
    s.nameOrData = keep.c_str();
    s.offset = offset;
    s.length = length;
    return s;
}

int g_asfCalls = 0;
std::unique_ptr<Decoder> FakeAsf(const SongSource&, int& error)
{
    ++g_asfCalls;
    error = FMOD_ERR_MEDIAPLAYER;
    return nullptr;
}

int FramesOf(Decoder& d)
{
    float buf[2 * 256];
    int total = 0, n;
    while ((n = d.Read(buf, 256)) > 0)
        total += n;
    return total;
}

}  // namespace

TEST(SongOpener, DetectsContainersBySignature)
{
    auto wav = MakeWav(WavSpec(), {0, 0, 0, 0});
    EXPECT_EQ(DetectContainer(wav.data(), wav.size()), Container::Wave);
    const uint8_t ogg[] = {'O', 'g', 'g', 'S', 0};
    EXPECT_EQ(DetectContainer(ogg, sizeof ogg), Container::Ogg);
    const uint8_t asf[] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    EXPECT_EQ(DetectContainer(asf, sizeof asf), Container::Asf);
    const uint8_t id3[] = {'I', 'D', '3', 3, 0};
    EXPECT_EQ(DetectContainer(id3, sizeof id3), Container::Mpeg);
    const uint8_t frame[] = {0xFF, 0xFB, 0x90, 0x64};
    EXPECT_EQ(DetectContainer(frame, sizeof frame), Container::Mpeg);
    const uint8_t text[] = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(DetectContainer(text, sizeof text), Container::Unknown);
    EXPECT_EQ(DetectContainer(text, 0), Container::Unknown);
    EXPECT_EQ(DetectContainer(wav.data(), 11), Container::Unknown);
}

TEST(SongOpener, OpensWavAndOggFromMemoryAndFiles)
{
    int error = -1;
    auto wav = SineWav(44100, 2, 440, 0.5, 1000);
    auto d = OpenSong(Memory(wav), nullptr, error);
    ASSERT_TRUE(d);
    EXPECT_EQ(error, FMOD_ERR_NONE);
    EXPECT_EQ(FramesOf(*d), 1000);

    d = OpenSong(File(DataPath("tone440_stereo.ogg")), nullptr, error);
    ASSERT_TRUE(d) << error;
    EXPECT_NEAR(FramesOf(*d), 44100, 100);

    auto ogg = ReadFile(DataPath("tone1000_mono22k.ogg"));
    d = OpenSong(Memory(ogg), nullptr, error);
    ASSERT_TRUE(d) << error;
    EXPECT_EQ(d->Rate(), 22050);
}

TEST(SongOpener, FileRegionGivenByOffsetAndLength)
{
    auto wav = SineWav(44100, 1, 440, 0.5, 300);
    std::vector<uint8_t> packed(100, 'x');
    packed.insert(packed.end(), wav.begin(), wav.end());
    packed.insert(packed.end(), 50, 'y');
    std::string path = testing::TempDir() + "zaudio_region.bin";
    ASSERT_TRUE(WriteFile(path, packed));
    int error = -1;
    auto d = OpenSong(File(path, 100, static_cast<int>(wav.size())), nullptr, error);
    ASSERT_TRUE(d) << error;
    EXPECT_EQ(FramesOf(*d), 300);
    std::remove(path.c_str());
}

TEST(SongOpener, FailuresCarryTheirErrorCodes)
{
    int error = 0;
    EXPECT_FALSE(OpenSong(File("/no/such/place/a.wav"), nullptr, error));
    EXPECT_EQ(error, FMOD_ERR_FILE_NOTFOUND);

    std::vector<uint8_t> mp3 = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0, 0xFF, 0xFB, 0x90, 0x64};
    EXPECT_FALSE(OpenSong(Memory(mp3), nullptr, error));
    EXPECT_EQ(error, FMOD_ERR_FILE_FORMAT);

    std::vector<uint8_t> asf = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C, 0, 0};
    EXPECT_FALSE(OpenSong(Memory(asf), nullptr, error));
    EXPECT_EQ(error, FMOD_ERR_MEDIAPLAYER);
    g_asfCalls = 0;
    EXPECT_FALSE(OpenSong(Memory(asf), FakeAsf, error));
    EXPECT_EQ(g_asfCalls, 1);
    EXPECT_EQ(error, FMOD_ERR_MEDIAPLAYER);

    WavSpec adpcm;
    adpcm.tag = 2;
    auto unsupported = MakeWav(adpcm, {1, 2, 3, 4});
    EXPECT_FALSE(OpenSong(Memory(unsupported), nullptr, error));
    EXPECT_EQ(error, FMOD_ERR_FILE_FORMAT);

    auto wav = MakeWav(WavSpec(), {1, 2, 3, 4});
    wav.resize(36);  // the data chunk is gone
    EXPECT_FALSE(OpenSong(Memory(wav), nullptr, error));
    EXPECT_EQ(error, FMOD_ERR_FILE_BAD);

    SongSource bad;
    EXPECT_FALSE(OpenSong(bad, nullptr, error));
    EXPECT_EQ(error, FMOD_ERR_INVALID_PARAM);
    bad = Memory(wav);
    bad.length = 0;
    EXPECT_FALSE(OpenSong(bad, nullptr, error));
    EXPECT_EQ(error, FMOD_ERR_INVALID_PARAM);
    bad.length = -5;
    EXPECT_FALSE(OpenSong(bad, nullptr, error));
    EXPECT_EQ(error, FMOD_ERR_INVALID_PARAM);
}
