// Tests of Ogg Vorbis decoding from memory and files, including damaged streams.
#include "audio/OggDecoder.h"
#include "audio/VorbisHeaders.h"

#include "audio/OggBuilder.h"
#include "audio/WavBuilder.h"
#include "audio/fmod.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

using namespace zaudio;
using namespace wavtest;
using namespace oggtest;

namespace {

std::vector<float> ReadAll(Decoder& d)
{
    std::vector<float> out;
    std::vector<float> buf(2 * 1000);
    int n;
    while ((n = d.Read(buf.data(), 1000)) > 0)
        out.insert(out.end(), buf.begin(), buf.begin() + 2 * n);
    return out;
}

double Rms(const std::vector<float>& v)
{
    double s = 0;
    for (float x : v)
        s += x * x;
    return v.empty() ? 0 : std::sqrt(s / v.size());
}

}  // namespace

TEST(OggDecoder, StereoToneDecodesWithItsLengthPitchAndLevel)
{
    auto bytes = ReadFile(DataPath("tone440_stereo.ogg"));
    ASSERT_FALSE(bytes.empty());
    int error = 0;
    auto d = OggDecoder::FromMemory(bytes.data(), bytes.size(), error);
    ASSERT_TRUE(d) << "error " << error;
    EXPECT_EQ(d->Rate(), 44100);
    auto pcm = ReadAll(*d);
    EXPECT_NEAR(pcm.size() / 2.0, 44100.0, 100.0);
    EXPECT_NEAR(RisingCrossings(pcm, 0), 440, 3);
    EXPECT_NEAR(Rms(pcm), 0.5 / std::sqrt(2.0), 0.03);
}

TEST(OggDecoder, MonoIsDoubledToBothSides)
{
    auto bytes = ReadFile(DataPath("tone1000_mono22k.ogg"));
    int error = 0;
    auto d = OggDecoder::FromMemory(bytes.data(), bytes.size(), error);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->Rate(), 22050);
    auto pcm = ReadAll(*d);
    ASSERT_GT(pcm.size(), 40000u);
    for (size_t i = 0; i < pcm.size(); i += 2)
        ASSERT_EQ(pcm[i], pcm[i + 1]);
    EXPECT_NEAR(RisingCrossings(pcm, 0), 1000, 3);
}

TEST(OggDecoder, FileAndMemoryGiveTheSameSamples)
{
    std::string path = DataPath("tone440_stereo.ogg");
    auto bytes = ReadFile(path);
    int error = 0;
    auto fromMemory = OggDecoder::FromMemory(bytes.data(), bytes.size(), error);
    auto fromFile = OggDecoder::FromFile(path.c_str(), 0, 0, error);
    ASSERT_TRUE(fromMemory && fromFile);
    EXPECT_EQ(ReadAll(*fromMemory), ReadAll(*fromFile));
}

TEST(OggDecoder, FileSectionAfterOtherBytes)
{
    auto ogg = ReadFile(DataPath("tone440_stereo.ogg"));
    std::vector<uint8_t> packed(777, 0x55);
    packed.insert(packed.end(), ogg.begin(), ogg.end());
    packed.insert(packed.end(), 100, 0xAA);
    std::string path = testing::TempDir() + "zaudio_packed.bin";
    ASSERT_TRUE(WriteFile(path, packed));
    int error = 0;
    auto d = OggDecoder::FromFile(path.c_str(), 777, ogg.size(), error);
    ASSERT_TRUE(d) << error;
    EXPECT_NEAR(ReadAll(*d).size() / 2.0, 44100.0, 100.0);
    std::remove(path.c_str());
}

TEST(OggDecoder, RewindStartsOver)
{
    auto bytes = ReadFile(DataPath("tone440_stereo.ogg"));
    int error = 0;
    auto d = OggDecoder::FromMemory(bytes.data(), bytes.size(), error);
    ASSERT_TRUE(d);
    auto first = ReadAll(*d);
    ASSERT_TRUE(d->Rewind());
    EXPECT_EQ(ReadAll(*d), first);
}

TEST(OggDecoder, MissingFileAndNonVorbisDataFail)
{
    int error = 0;
    EXPECT_FALSE(OggDecoder::FromFile("/no/such/dir/song.ogg", 0, 0, error));
    EXPECT_EQ(error, FMOD_ERR_FILE_NOTFOUND);

    std::vector<uint8_t> junk = {'O', 'g', 'g', 'S', 0, 2, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    error = 0;
    EXPECT_FALSE(OggDecoder::FromMemory(junk.data(), junk.size(), error));
    EXPECT_NE(error, FMOD_ERR_NONE);
    EXPECT_FALSE(OggDecoder::FromMemory(nullptr, 10, error));
    EXPECT_EQ(error, FMOD_ERR_INVALID_PARAM);
}

TEST(OggDecoder, TruncatedStreamPlaysWhatIsThere)
{
    auto bytes = ReadFile(DataPath("tone440_stereo.ogg"));
    bytes.resize(bytes.size() - 1000);
    int error = 0;
    auto d = OggDecoder::FromMemory(bytes.data(), bytes.size(), error);
    ASSERT_TRUE(d);
    auto pcm = ReadAll(*d);
    EXPECT_GT(pcm.size() / 2, 5000u);
    EXPECT_LT(pcm.size() / 2, 40000u);
}

TEST(OggDecoder, DamagedStreamsNeitherCrashNorHang)
{
    auto good = ReadFile(DataPath("tone440_stereo.ogg"));
    std::mt19937 rng(777);
    auto started = std::chrono::steady_clock::now();
    int opened = 0;
    for (int round = 0; round < 400; ++round) {
        auto b = good;
        int edits = 1 + static_cast<int>(rng() % 16);
        for (int e = 0; e < edits; ++e) {
            // Most damage goes into the headers (first pages), where the decoder sets itself up.
            size_t at = (rng() % 3 == 0) ? rng() % b.size() : rng() % std::min<size_t>(b.size(), 4000);
            b[at] = static_cast<uint8_t>(rng());
        }
        if (rng() % 5 == 0)
            b.resize(rng() % b.size() + 1);
        int error = 0;
        auto d = OggDecoder::FromMemory(b.data(), b.size(), error);
        if (!d) {
            EXPECT_NE(error, FMOD_ERR_NONE);
            continue;
        }
        ++opened;
        // Bounded output: damage never makes a stream endless.
        std::vector<float> buf(2 * 4096);
        int64_t total = 0;
        int n;
        while ((n = d->Read(buf.data(), 4096)) > 0) {
            total += n;
            for (int i = 0; i < 2 * n; ++i)
                ASSERT_TRUE(buf[i] >= -1.0f && buf[i] <= 1.0f);
            ASSERT_LT(total, 10 * 44100) << "round " << round;
        }
    }
    EXPECT_GT(opened, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(120));
}

namespace {

bool Sane(const std::vector<uint8_t>& b)
{
    MemorySource src(b.data(), b.size());
    return VorbisCommentHeaderSane(src);
}

}  // namespace

TEST(VorbisHeaders, HonestCommentHeaderPasses)
{
    std::vector<uint8_t> ident(30, 1);
    EXPECT_TRUE(Sane(Page({ident, CommentPacket(3, "abc", 2, {"A=1", "TITLE=x"})}, 5)));
    EXPECT_TRUE(Sane(ReadFile(DataPath("tone440_stereo.ogg"))));
    EXPECT_TRUE(Sane(ReadFile(DataPath("tone1000_mono22k.ogg"))));
}

TEST(VorbisHeaders, CommentHeaderSpreadOverPagesAndLongPackets)
{
    std::vector<uint8_t> ident(30, 1);
    std::string longComment(700, 'z');
    auto comment = CommentPacket(3, "abc", 1, {longComment});
    // The 700-byte comment runs over two pages: 510 bytes on the first, the rest continued.
    auto head = Page({ident}, 9);
    auto part1 = Page({std::vector<uint8_t>(comment.begin(), comment.begin() + 510)}, 9, 0);
    part1.erase(part1.begin() + 27 + 2);  // no closing 0 lacing value: the packet goes on
    part1[26] = 2;
    auto part2 = Page({std::vector<uint8_t>(comment.begin() + 510, comment.end())}, 9, 1);
    std::vector<uint8_t> b = head;
    b.insert(b.end(), part1.begin(), part1.end());
    b.insert(b.end(), part2.begin(), part2.end());
    EXPECT_TRUE(Sane(b));

    part2[5] = 0;  // the continuation is not marked as one
    std::vector<uint8_t> unmarked = head;
    unmarked.insert(unmarked.end(), part1.begin(), part1.end());
    unmarked.insert(unmarked.end(), part2.begin(), part2.end());
    EXPECT_FALSE(Sane(unmarked));
}

TEST(VorbisHeaders, PagesOfAnotherLogicalStreamAmongTheHeadersAreRefused)
{
    std::vector<uint8_t> ident(30, 1);
    auto first = Page({ident}, 9);
    auto other = Page({CommentPacket(3, "abc", 0, {})}, 1234);
    auto second = Page({CommentPacket(3, "abc", 1, {"A=1"})}, 9);
    std::vector<uint8_t> b = first;
    b.insert(b.end(), other.begin(), other.end());
    b.insert(b.end(), second.begin(), second.end());
    EXPECT_FALSE(Sane(b));
}

TEST(VorbisHeaders, LyingCountsAndLengthsAreCaught)
{
    std::vector<uint8_t> ident(30, 1);
    // A count whose table would overflow the decoder's size arithmetic.
    EXPECT_FALSE(Sane(Page({ident, CommentPacket(3, "abc", 0x40000001u, {"A=1"})}, 5)));
    EXPECT_FALSE(Sane(Page({ident, CommentPacket(3, "abc", 3, {"A=1", "B=2"})}, 5)));
    EXPECT_FALSE(Sane(Page({ident, CommentPacket(0xFFFFFFFFu, "abc", 0, {})}, 5)));
    auto lying = CommentPacket(3, "abc", 1, {"A=1"});
    lying[7 + 4 + 3 + 4] = 200;  // the comment's length
    EXPECT_FALSE(Sane(Page({ident, lying}, 5)));
    EXPECT_FALSE(Sane(Page({ident}, 5))) << "stream ends before the comment header";
    EXPECT_FALSE(Sane(Page({ident, {3, 'x', 'o', 'r', 'b', 'i', 's', 0, 0, 0, 0}}, 5)));
    EXPECT_FALSE(Sane({'O', 'g', 'g', 'S'}));
}

TEST(OggDecoder, RefusesAStreamWithALyingCommentCount)
{
    auto good = ReadFile(DataPath("tone440_stereo.ogg"));
    // The comment header starts on the second page; find its count after the vendor text.
    std::vector<uint8_t> b = good;
    const uint8_t tag[] = {3, 'v', 'o', 'r', 'b', 'i', 's'};
    auto it = std::search(b.begin(), b.end(), tag, tag + 7);
    ASSERT_NE(it, b.end());
    size_t at = static_cast<size_t>(it - b.begin()) + 7;
    uint32_t vendor = b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
    size_t countAt = at + 4 + vendor;
    b[countAt] = 0x01;
    b[countAt + 1] = 0x00;
    b[countAt + 2] = 0x00;
    b[countAt + 3] = 0x40;
    int error = 0;
    EXPECT_FALSE(OggDecoder::FromMemory(b.data(), b.size(), error));
    EXPECT_EQ(error, FMOD_ERR_FILE_BAD);
}

namespace {

// tone440_stereo.ogg with a page of another logical stream between its identification page
// and its own comment page; that page holds a comment header whose count makes the
// decoder's table size wrap to one pointer, followed by three honest comments.
std::vector<uint8_t> SongWithForeignCommentPage()
{
    auto song = ReadFile(DataPath("tone440_stereo.ogg"));
    size_t firstEnd = 27 + song[26];
    for (size_t i = 0; i < song[26]; ++i)
        firstEnd += song[27 + i];
    auto lying = CommentPacket(0, "", 0x40000001u, {"A=1", "B=2", "C=3"});
    auto foreign = Page({lying}, 0xBADu, 0);
    song.insert(song.begin() + static_cast<std::ptrdiff_t>(firstEnd), foreign.begin(), foreign.end());
    return song;
}

}  // namespace

// The decoder reads the comment header from whatever page follows the first one; a file that
// puts another stream's page there must be refused before the decoder sees it (it would
// write past its comment table), from memory and from a file alike.
TEST(OggDecoder, RefusesAForeignPageAmongTheHeaders)
{
    auto b = SongWithForeignCommentPage();
    int error = 0;
    EXPECT_FALSE(OggDecoder::FromMemory(b.data(), b.size(), error));
    EXPECT_EQ(error, FMOD_ERR_FILE_BAD);
    std::string path = testing::TempDir() + "zaudio_foreign_page.ogg";
    ASSERT_TRUE(WriteFile(path, b));
    error = 0;
    EXPECT_FALSE(OggDecoder::FromFile(path.c_str(), 0, 0, error));
    EXPECT_EQ(error, FMOD_ERR_FILE_BAD);
    std::remove(path.c_str());
}

// A tiny file asking for tables beyond the stream's memory budget fails as out of memory at
// once; one within it goes on to fail as a damaged setup.
TEST(OggDecoder, HugeCodebookFailsWithinTheMemoryBudget)
{
    auto huge = SongWithHugeCodebook(0xFFFFFF);
    ASSERT_LT(huge.size(), 400u);
    int error = 0;
    EXPECT_FALSE(OggDecoder::FromMemory(huge.data(), huge.size(), error));
    EXPECT_EQ(error, FMOD_ERR_MEMORY);

    auto small = SongWithHugeCodebook(64);
    error = 0;
    EXPECT_FALSE(OggDecoder::FromMemory(small.data(), small.size(), error));
    EXPECT_NE(error, FMOD_ERR_MEMORY);
    EXPECT_NE(error, FMOD_ERR_NONE);
}
