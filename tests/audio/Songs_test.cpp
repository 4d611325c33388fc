// Checks of the built-in songs as the build packs them into music.bdl: every entry of the
// "music" category is an Ogg Vorbis song our decoder plays, at least 30 s long, loud enough,
// never clipping, free of clicks, starting and ending quietly.
#include "audio/OggDecoder.h"
#include "content/Bundle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace zaudio;

namespace {

struct Decoded {
    int rate = 0;
    std::vector<float> left;  // the left channel is enough for level and click checks
    std::vector<float> right;
};

bool Decode(const uint8_t* data, size_t size, Decoded& out)
{
    int error = 0;
    auto d = OggDecoder::FromMemory(data, size, error);
    if (!d)
        return false;
    out.rate = d->Rate();
    std::vector<float> buf(2 * 4096);
    int n;
    while ((n = d->Read(buf.data(), 4096)) > 0) {
        for (int i = 0; i < n; ++i) {
            out.left.push_back(buf[2 * i]);
            out.right.push_back(buf[2 * i + 1]);
        }
    }
    return true;
}

float Peak(const std::vector<float>& v, size_t from, size_t to)
{
    float p = 0;
    for (size_t i = from; i < to && i < v.size(); ++i)
        p = std::max(p, std::fabs(v[i]));
    return p;
}

// A click is a block whose sharpest bend (second difference) stands far above the blocks
// around it, and high in absolute terms.
int Clicks(const std::vector<float>& v)
{
    const size_t block = 256;
    std::vector<float> bend;
    for (size_t b = 0; (b + 1) * block + 2 <= v.size(); ++b) {
        float m = 0;
        for (size_t i = b * block + 2; i < (b + 1) * block + 2; ++i)
            m = std::max(m, std::fabs(v[i] - 2 * v[i - 1] + v[i - 2]));
        bend.push_back(m);
    }
    int clicks = 0;
    for (size_t b = 0; b < bend.size(); ++b) {
        std::vector<float> around;
        for (size_t k = (b >= 20 ? b - 20 : 0); k < std::min(bend.size(), b + 21); ++k)
            if (k != b)
                around.push_back(bend[k]);
        std::nth_element(around.begin(), around.begin() + around.size() / 2, around.end());
        float median = around[around.size() / 2];
        if (bend[b] > 0.05f && bend[b] > 8 * std::max(median, 1e-4f))
            ++clicks;
    }
    return clicks;
}

}  // namespace

TEST(Songs, MusicBundleHoldsAtLeastThreeOggSongs)
{
    Bundle bundle;
    ASSERT_TRUE(bundle.Open(ZAUDIO_MUSIC_BUNDLE)) << ZAUDIO_MUSIC_BUNDLE;
    BundleCategory* music = bundle.FindCategory("music");
    ASSERT_NE(music, nullptr);
    ASSERT_GE(music->EntryCount(), 3u);
    for (size_t i = 0; i < music->EntryCount(); ++i) {
        const std::string& name = music->Entry(i)->Name();
        ASSERT_GT(name.size(), 4u);
        EXPECT_EQ(name.substr(name.size() - 4), ".ogg") << name;
    }
}

TEST(Songs, EverySongPlaysCleanlyAtAGoodLevel)
{
    Bundle bundle;
    ASSERT_TRUE(bundle.Open(ZAUDIO_MUSIC_BUNDLE));
    BundleCategory* music = bundle.FindCategory("music");
    ASSERT_NE(music, nullptr);
    for (size_t i = 0; i < music->EntryCount(); ++i) {
        BundleEntry* e = music->Entry(i);
        SCOPED_TRACE(e->Name());
        const uint8_t* data = music->ReadEntry(e);
        ASSERT_NE(data, nullptr);
        Decoded song;
        ASSERT_TRUE(Decode(data, e->Size(), song));
        ASSERT_EQ(song.rate, 44100);
        const size_t frames = song.left.size();
        EXPECT_GE(frames / 44100.0, 30.0) << "seconds";

        float peak = std::max(Peak(song.left, 0, frames), Peak(song.right, 0, frames));
        EXPECT_LT(peak, 0.98f) << "peak below 0 dBFS with room for the encoder's overshoot";
        EXPECT_GT(peak, 0.5f);
        double sum = 0;
        for (float x : song.left)
            sum += double(x) * x;
        double rms = std::sqrt(sum / frames);
        EXPECT_GT(rms, 0.05) << "not too quiet beside other music";
        EXPECT_LT(rms, 0.35);

        EXPECT_EQ(Clicks(song.left), 0);
        EXPECT_EQ(Clicks(song.right), 0);
        EXPECT_LT(Peak(song.left, 0, 88), 0.05f) << "starts without a click";
        EXPECT_LT(Peak(song.left, frames - 4410, frames), 0.02f) << "fades out";
    }
}
