// Tests of rate conversion: length, pitch and level kept, equal rates untouched.
#include "audio/Resampler.h"

#include "audio/WavBuilder.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zaudio;
using namespace wavtest;

namespace {

// A decoder over a fixed list of stereo frames.
class VectorDecoder : public Decoder {
public:
    VectorDecoder(std::vector<float> frames, int rate) : m_frames(std::move(frames)), m_rate(rate) {}
    int Rate() const override { return m_rate; }
    int Read(float* out, int frames) override
    {
        int left = static_cast<int>(m_frames.size() / 2 - m_pos);
        int n = frames < left ? frames : left;
        std::copy(m_frames.begin() + 2 * m_pos, m_frames.begin() + 2 * (m_pos + n), out);
        m_pos += n;
        return n;
    }
    bool Rewind() override
    {
        m_pos = 0;
        return true;
    }

private:
    std::vector<float> m_frames;
    int m_rate;
    size_t m_pos = 0;
};

std::vector<float> Sine(int rate, double hz, int frames)
{
    std::vector<float> v;
    for (int i = 0; i < frames; ++i) {
        float s = static_cast<float>(0.8 * std::sin(2 * kPi * hz * i / rate));
        v.push_back(s);
        v.push_back(-s);
    }
    return v;
}

std::vector<float> ReadAll(Decoder& d, int block = 333)
{
    std::vector<float> out;
    std::vector<float> buf(2 * static_cast<size_t>(block));
    int n;
    while ((n = d.Read(buf.data(), block)) > 0)
        out.insert(out.end(), buf.begin(), buf.begin() + 2 * n);
    return out;
}

float Peak(const std::vector<float>& v, size_t from)
{
    float p = 0;
    for (size_t i = from; i < v.size(); ++i)
        p = std::max(p, std::fabs(v[i]));
    return p;
}

}  // namespace

TEST(Resampler, EqualRatesPassFramesThroughUnchanged)
{
    auto in = Sine(44100, 440, 1000);
    Resampler r(std::unique_ptr<Decoder>(new VectorDecoder(in, 44100)), 44100);
    EXPECT_EQ(ReadAll(r), in);
}

TEST(Resampler, UpsamplingKeepsLengthPitchAndLevel)
{
    Resampler r(std::unique_ptr<Decoder>(new VectorDecoder(Sine(22050, 1000, 22050), 22050)), 44100);
    EXPECT_EQ(r.Rate(), 44100);
    auto out = ReadAll(r);
    EXPECT_NEAR(out.size() / 2.0, 44100.0, 3.0);
    EXPECT_NEAR(RisingCrossings(out, 0), 1000, 2);
    EXPECT_NEAR(Peak(out, 200), 0.8f, 0.01f);
}

TEST(Resampler, DownsamplingKeepsLengthAndPitch)
{
    Resampler r(std::unique_ptr<Decoder>(new VectorDecoder(Sine(48000, 440, 48000), 48000)), 44100);
    auto out = ReadAll(r, 1000);
    EXPECT_NEAR(out.size() / 2.0, 44100.0, 3.0);
    EXPECT_NEAR(RisingCrossings(out, 1), 440, 2);
}

TEST(Resampler, ChannelsStaySeparate)
{
    Resampler r(std::unique_ptr<Decoder>(new VectorDecoder(Sine(32000, 500, 3200), 32000)), 44100);
    auto out = ReadAll(r);
    for (size_t i = 0; i + 1 < out.size(); i += 2)
        ASSERT_FLOAT_EQ(out[i], -out[i + 1]);
}

TEST(Resampler, RewindRepeatsTheSameFrames)
{
    Resampler r(std::unique_ptr<Decoder>(new VectorDecoder(Sine(22050, 300, 5000), 22050)), 44100);
    auto first = ReadAll(r, 100);
    ASSERT_TRUE(r.Rewind());
    EXPECT_EQ(ReadAll(r, 77), first);
}

TEST(Resampler, TinyAndEmptySourcesEndCleanly)
{
    Resampler empty(std::unique_ptr<Decoder>(new VectorDecoder({}, 22050)), 44100);
    EXPECT_TRUE(ReadAll(empty).empty());
    for (int frames = 1; frames <= 4; ++frames) {
        std::vector<float> in(2 * static_cast<size_t>(frames), 0.5f);
        Resampler r(std::unique_ptr<Decoder>(new VectorDecoder(in, 22050)), 44100);
        auto out = ReadAll(r);
        EXPECT_NEAR(out.size() / 2.0, frames * 2.0, 1.0) << frames << " input frames";
        for (float v : out)
            EXPECT_FLOAT_EQ(v, 0.5f);
    }
}
