// Tests of WAV header parsing and sample decoding, honest headers and lying ones.
#include "audio/WavDecoder.h"

#include "audio/WavBuilder.h"

#include <gtest/gtest.h>

#include <random>

using namespace zaudio;
using namespace wavtest;

namespace {

WavStatus Parse(const std::vector<uint8_t>& bytes, WavInfo& info)
{
    MemorySource src(bytes.data(), bytes.size());
    return ParseWavHeader(src, info);
}

std::vector<float> DecodeAll(const std::vector<uint8_t>& bytes, WavInfo* infoOut = nullptr)
{
    WavInfo info;
    std::unique_ptr<ByteSource> src(new MemorySource(bytes.data(), bytes.size()));
    if (ParseWavHeader(*src, info) != WavStatus::Ok)
        return {};
    if (infoOut)
        *infoOut = info;
    WavDecoder d(std::move(src), info);
    std::vector<float> out;
    float buf[2 * 64];
    int n;
    while ((n = d.Read(buf, 64)) > 0)
        out.insert(out.end(), buf, buf + 2 * n);
    return out;
}

}  // namespace

TEST(WavDecoder, Stereo16BitSamplesComeOutExactly)
{
    std::vector<int16_t> v = {0, 0, 16384, -16384, 32767, -32768, -1, 1};
    auto out = DecodeAll(MakeWav(WavSpec(), Samples16(v)));
    ASSERT_EQ(out.size(), 8u);
    EXPECT_FLOAT_EQ(out[2], 0.5f);
    EXPECT_FLOAT_EQ(out[3], -0.5f);
    EXPECT_FLOAT_EQ(out[5], -1.0f);
    EXPECT_FLOAT_EQ(out[6], -1.0f / 32768);
}

TEST(WavDecoder, Mono8BitIsCentredAndDoubled)
{
    WavSpec s;
    s.channels = 1;
    s.bits = 8;
    s.rate = 11025;
    WavInfo info;
    auto out = DecodeAll(MakeWav(s, {128, 255, 0}), &info);
    EXPECT_EQ(info.rate, 11025);
    ASSERT_EQ(out.size(), 6u);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[2], 127.0f / 128);
    EXPECT_FLOAT_EQ(out[3], 127.0f / 128);
    EXPECT_FLOAT_EQ(out[4], -1.0f);
    EXPECT_FLOAT_EQ(out[5], -1.0f);
}

TEST(WavDecoder, TwentyFourBitAndFloatSamples)
{
    WavSpec s;
    s.channels = 1;
    s.bits = 24;
    auto out = DecodeAll(MakeWav(s, {0x00, 0x00, 0x40, 0x00, 0x00, 0xC0}));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_FLOAT_EQ(out[2], -0.5f);

    WavSpec f;
    f.tag = 3;
    f.channels = 1;
    f.bits = 32;
    float vals[3] = {0.25f, 7.0f, std::nanf("")};
    std::vector<uint8_t> raw(reinterpret_cast<uint8_t*>(vals), reinterpret_cast<uint8_t*>(vals) + 12);
    out = DecodeAll(MakeWav(f, raw));
    ASSERT_EQ(out.size(), 6u);
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    EXPECT_FLOAT_EQ(out[2], 1.0f) << "out-of-range float is clamped";
    EXPECT_FLOAT_EQ(out[4], 0.0f) << "NaN plays as silence";
}

TEST(WavDecoder, DataSizeLargerThanFileIsCutToWhatIsThere)
{
    WavSpec s;
    s.dataSizeField = 1000000;
    WavInfo info;
    auto bytes = MakeWav(s, Samples16({1, 2, 3, 4, 5, 6}));
    ASSERT_EQ(Parse(bytes, info), WavStatus::Ok);
    EXPECT_EQ(info.frames, 3u);
    EXPECT_EQ(DecodeAll(bytes).size(), 6u);
}

TEST(WavDecoder, StreamedLengthFieldsMeanToTheEnd)
{
    for (int64_t field : {int64_t(0), int64_t(0xFFFFFFFF)}) {
        WavSpec s;
        s.dataSizeField = field;
        WavInfo info;
        ASSERT_EQ(Parse(MakeWav(s, Samples16({1, 2, 3, 4})), info), WavStatus::Ok);
        EXPECT_EQ(info.frames, 2u) << "field " << field;
    }
}

TEST(WavDecoder, PartialLastFrameIsDropped)
{
    WavInfo info;
    auto bytes = MakeWav(WavSpec(), {1, 0, 2, 0, 3, 0});
    ASSERT_EQ(Parse(bytes, info), WavStatus::Ok);
    EXPECT_EQ(info.frames, 1u);
}

TEST(WavDecoder, LyingBlockAlignIsIgnored)
{
    WavSpec s;
    s.blockAlign = 1;
    WavInfo info;
    ASSERT_EQ(Parse(MakeWav(s, Samples16({1, 2, 3, 4})), info), WavStatus::Ok);
    EXPECT_EQ(info.frameBytes, 4);
    EXPECT_EQ(info.frames, 2u);
}

TEST(WavDecoder, OddSizedChunkBeforeFormatIsSkippedWithItsPadByte)
{
    auto honest = MakeWav(WavSpec(), Samples16({100, -100}));
    std::vector<uint8_t> b(honest.begin(), honest.begin() + 12);
    PutId(b, "LIST");
    Put32(b, 3);
    b.insert(b.end(), {'a', 'b', 'c', 0});
    b.insert(b.end(), honest.begin() + 12, honest.end());
    auto out = DecodeAll(b);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_FLOAT_EQ(out[0], 100.0f / 32768);
}

TEST(WavDecoder, FormatAfterDataIsFound)
{
    auto honest = MakeWav(WavSpec(), Samples16({100, -100}));
    // RIFF header, then the data chunk (8 + 4 bytes), then the fmt chunk (8 + 16 bytes).
    std::vector<uint8_t> b(honest.begin(), honest.begin() + 12);
    b.insert(b.end(), honest.begin() + 36, honest.end());
    b.insert(b.end(), honest.begin() + 12, honest.begin() + 36);
    auto out = DecodeAll(b);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_FLOAT_EQ(out[1], -100.0f / 32768);
}

TEST(WavDecoder, BrokenHeadersAreRefused)
{
    WavInfo info;
    EXPECT_EQ(Parse({'R', 'I', 'F', 'F'}, info), WavStatus::NotWave);
    EXPECT_EQ(Parse({}, info), WavStatus::NotWave);

    auto bytes = MakeWav(WavSpec(), Samples16({1, 2}));
    std::vector<uint8_t> noData(bytes.begin(), bytes.begin() + 36);
    EXPECT_EQ(Parse(noData, info), WavStatus::Damaged);
    std::vector<uint8_t> noFmt(bytes.begin(), bytes.begin() + 12);
    noFmt.insert(noFmt.end(), bytes.begin() + 36, bytes.end());
    EXPECT_EQ(Parse(noFmt, info), WavStatus::Damaged);

    WavSpec small;
    small.fmtSize = 14;
    EXPECT_EQ(Parse(MakeWav(small, {}), info), WavStatus::Damaged);

    WavSpec s;
    s.channels = 0;
    EXPECT_EQ(Parse(MakeWav(s, {1, 2}), info), WavStatus::Unsupported);
    s.channels = 6;
    EXPECT_EQ(Parse(MakeWav(s, {1, 2}), info), WavStatus::Unsupported);
    s = WavSpec();
    s.rate = 0;
    EXPECT_EQ(Parse(MakeWav(s, {1, 2, 3, 4}), info), WavStatus::Unsupported);
    s = WavSpec();
    s.tag = 2;  // ADPCM
    EXPECT_EQ(Parse(MakeWav(s, {1, 2, 3, 4}), info), WavStatus::Unsupported);
    s = WavSpec();
    s.bits = 12;
    EXPECT_EQ(Parse(MakeWav(s, {1, 2, 3, 4}), info), WavStatus::Unsupported);
    s = WavSpec();
    s.bits = 0;
    EXPECT_EQ(Parse(MakeWav(s, {1, 2, 3, 4}), info), WavStatus::Unsupported);
}

TEST(WavDecoder, HugeChunkSizeEndsTheWalkWithoutReadingPastTheFile)
{
    auto honest = MakeWav(WavSpec(), Samples16({1, 2}));
    std::vector<uint8_t> b(honest.begin(), honest.begin() + 12);
    PutId(b, "junk");
    Put32(b, 0xFFFFFFF0u);
    b.insert(b.end(), honest.begin() + 12, honest.end());
    WavInfo info;
    EXPECT_EQ(Parse(b, info), WavStatus::Damaged);
}

TEST(WavDecoder, RewindPlaysFromTheStartAgain)
{
    auto bytes = MakeWav(WavSpec(), Samples16({10, 20, 30, 40}));
    WavInfo info;
    std::unique_ptr<ByteSource> src(new MemorySource(bytes.data(), bytes.size()));
    ASSERT_EQ(ParseWavHeader(*src, info), WavStatus::Ok);
    WavDecoder d(std::move(src), info);
    float buf[8];
    EXPECT_EQ(d.Read(buf, 4), 2);
    EXPECT_EQ(d.Read(buf, 4), 0);
    EXPECT_TRUE(d.Rewind());
    EXPECT_EQ(d.Read(buf, 1), 1);
    EXPECT_FLOAT_EQ(buf[0], 10.0f / 32768);
}

TEST(WavDecoder, RandomlyDamagedFilesNeverReadOutOfBounds)
{
    auto good = SineWav(22050, 2, 440, 0.5, 500);
    std::mt19937 rng(12345);
    for (int round = 0; round < 3000; ++round) {
        auto b = good;
        int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            size_t at = rng() % 60;  // the header and the first samples
            b[at] = static_cast<uint8_t>(rng());
        }
        if (rng() % 4 == 0)
            b.resize(rng() % b.size());
        WavInfo info;
        std::unique_ptr<ByteSource> src(new MemorySource(b.data(), b.size()));
        if (ParseWavHeader(*src, info) != WavStatus::Ok)
            continue;
        ASSERT_LE(info.dataOffset + info.frames * info.frameBytes, b.size());
        WavDecoder d(std::move(src), info);
        std::vector<float> buf(2 * 256);
        uint64_t total = 0;
        int n;
        while ((n = d.Read(buf.data(), 256)) > 0)
            total += static_cast<uint64_t>(n);
        EXPECT_EQ(total, info.frames);
    }
}
