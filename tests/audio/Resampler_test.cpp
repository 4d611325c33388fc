// Tests of rate conversion: length, pitch and level kept, equal rates untouched; images and
// aliases far below the tone, a flat passband, no delay, streaming and the song's end.
#include "audio/Resampler.h"

#include "audio/WavBuilder.h"
#include "audio/WavDecoder.h"
#include "support/Spectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numeric>

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

std::vector<float> Sine(int rate, double hz, int frames, double amp = 0.8)
{
    std::vector<float> v;
    for (int i = 0; i < frames; ++i) {
        float s = static_cast<float>(amp * std::sin(2 * kPi * hz * i / rate));
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

namespace {

const int kOut = 44100;
const size_t kFftFrames = 8192;
const size_t kSkip = 1024;  // past the filter's start
const double kToneAmp = 0.5;

struct RateCase {
    int rate;
    double flatToHz;  // the passband that must be flat within 0.1 dB
};

// The usual rates have few enough phases against 44.1 kHz for a table each; 9973 and 50001
// Hz have too many and take the interpolated tables.
const RateCase kRates[] = {
    {8000, 3600},   {11025, 4960},  {22050, 9920}, {32000, 14400},
    {48000, 18000}, {96000, 18000}, {9973, 4480},  {50001, 18000},
};

std::vector<float> Resample(std::vector<float> frames, int rate, int block = 1000)
{
    Resampler r(std::unique_ptr<Decoder>(new VectorDecoder(std::move(frames), rate)), kOut);
    return ReadAll(r, block);
}

struct ToneResult {
    double levelDb;  // of the tone where it is heard, relative to the source's tone
    spectrum::Peak other;  // the strongest image or alias
};

// A tone of the source rate (on an FFT bin of the output), resampled and measured.
ToneResult MeasureTone(int rate, double hz, const std::vector<float>& out)
{
    auto amp = spectrum::Amplitudes(out, 0, kSkip, kFftFrames);
    ToneResult r;
    const bool heard = hz < kOut / 2.0;
    r.levelDb = heard ? spectrum::Db(amp[static_cast<size_t>(std::lround(hz * kFftFrames / kOut))] / kToneAmp) : -999;
    r.other = spectrum::StrongestOther(amp, heard ? hz : -1e9, kOut, 4);
    return r;
}

}  // namespace

// Tones across each source's band: every image and alias at least 90 dB below the tone, the
// passband flat within 0.1 dB. Tones above 22.05 kHz cannot be played and must vanish.
TEST(Resampler, ImagesAndAliasesStay90DbDownAndThePassbandIsFlat)
{
    for (const RateCase& rc : kRates) {
        EXPECT_EQ(PolyphaseFilter(rc.rate, kOut).ExactPhases(), rc.rate != 9973 && rc.rate != 50001) << rc.rate;
        const int inFrames = static_cast<int>((kSkip + kFftFrames + 64) * static_cast<double>(rc.rate) / kOut);
        double worstDb = -999, worstHz = 0, worstTone = 0, flatMin = 0, flatMax = 0;
        std::vector<double> tones;
        const int steps = 14;
        for (int i = 0; i <= steps; ++i)
            tones.push_back(60.0 + (0.995 * rc.rate / 2 - 60.0) * i / steps);
        tones.push_back(rc.flatToHz);
        tones.push_back(rc.rate / 2.0 * 0.95);
        for (double target : tones) {
            const double hz = spectrum::BinCentred(target, kOut, kFftFrames);
            auto out = Resample(Sine(rc.rate, hz, inFrames, kToneAmp), rc.rate);
            ASSERT_GE(out.size() / 2, kSkip + kFftFrames) << rc.rate;
            ToneResult t = MeasureTone(rc.rate, hz, out);
            const double otherDb = spectrum::Db(t.other.amplitude / kToneAmp);
            if (otherDb > worstDb) {
                worstDb = otherDb;
                worstHz = t.other.hz;
                worstTone = hz;
            }
            if (hz <= rc.flatToHz) {
                flatMin = std::min(flatMin, t.levelDb);
                flatMax = std::max(flatMax, t.levelDb);
            }
        }
        EXPECT_LE(worstDb, -90.0) << rc.rate << " Hz source: a " << worstTone << " Hz tone has an image or alias at "
                                  << worstHz << " Hz";
        EXPECT_GE(flatMin, -0.1) << rc.rate << " Hz source";
        EXPECT_LE(flatMax, 0.1) << rc.rate << " Hz source";
        std::printf("%6d Hz: worst image/alias %.1f dB (tone %.0f Hz -> %.0f Hz), passband to %.0f Hz within %+.5f/%+.5f dB\n",
                    rc.rate, worstDb, worstTone, worstHz, rc.flatToHz, flatMin, flatMax);
    }
}

// A click at the source's frame m is heard at output frame m * 44100 / rate, the filter's
// response centred on it: no delay, none ahead.
TEST(Resampler, AClickLandsOnItsOwnOutputFrame)
{
    for (const RateCase& rc : kRates) {
        const int g = std::gcd(rc.rate, kOut);
        const int k = rc.rate / g > 1000 ? 1 : 7;
        const int m = k * (rc.rate / g);
        const size_t expected = static_cast<size_t>(k * (kOut / g));
        std::vector<float> in(2 * static_cast<size_t>(m + rc.rate / 10), 0.0f);
        in[2 * static_cast<size_t>(m)] = 1.0f;
        auto out = Resample(in, rc.rate);
        size_t peak = 0;
        for (size_t i = 0; i < out.size() / 2; ++i)
            if (std::fabs(out[2 * i]) > std::fabs(out[2 * peak]))
                peak = i;
        EXPECT_EQ(peak, expected) << rc.rate;
        for (size_t d = 1; d <= 8; ++d)
            EXPECT_NEAR(out[2 * (expected - d)], out[2 * (expected + d)], 1e-5) << rc.rate << " at " << d;
    }
}

// As many output frames as the source lasts (ceil(frames * 44100 / rate)), whatever the
// block sizes the song is read in, across the source's decode blocks.
TEST(Resampler, LengthAndFramesDoNotDependOnBlocks)
{
    const int lengths[] = {1, 2, 3, 1023, 1024, 1025, 3000, 4097};
    const int blocks[] = {1, 7, 1024, 5000};
    for (const RateCase& rc : kRates) {
        for (int frames : lengths) {
            auto in = Sine(rc.rate, 440.0, frames);
            auto whole = Resample(in, rc.rate, 1 << 16);
            const int64_t expected = (static_cast<int64_t>(frames) * kOut + rc.rate - 1) / rc.rate;
            EXPECT_EQ(static_cast<int64_t>(whole.size() / 2), expected) << rc.rate << " Hz, " << frames << " frames";
            for (int block : blocks)
                EXPECT_EQ(Resample(in, rc.rate, block), whole) << rc.rate << " Hz, " << frames << " frames, blocks of " << block;
        }
    }
}

// The end of a song is filtered like its middle: a song that ends in silence right after a
// click sounds the same as the same song with more silence after it, up to its own end.
TEST(Resampler, TheTailIsFlushedWhole)
{
    for (const RateCase& rc : kRates) {
        const int frames = 3000;
        std::vector<float> in(2 * static_cast<size_t>(frames), 0.0f);
        in[2 * (frames - 3)] = in[2 * (frames - 3) + 1] = 0.9f;
        auto longer = in;
        longer.resize(longer.size() + 2 * 4096, 0.0f);
        auto out = Resample(in, rc.rate);
        auto ref = Resample(longer, rc.rate);
        ASSERT_LT(out.size(), ref.size());
        ref.resize(out.size());
        EXPECT_EQ(out, ref) << rc.rate;
        EXPECT_GT(Peak(out, out.size() - 2 * 44100 / 1000), 0.3f) << rc.rate << ": the click is in the last millisecond";
    }
}

// A mono song (a float WAV) comes out the same on both channels, as clean as stereo.
TEST(Resampler, MonoSongsPlayCleanOnBothChannels)
{
    const int rate = 11025;
    const double hz = spectrum::BinCentred(5000.0, kOut, kFftFrames);
    const int frames = static_cast<int>((kSkip + kFftFrames + 64) * static_cast<double>(rate) / kOut);
    std::vector<uint8_t> data;
    for (int i = 0; i < frames; ++i) {
        float s = static_cast<float>(kToneAmp * std::sin(2 * kPi * hz * i / rate));
        uint32_t bits;
        std::memcpy(&bits, &s, 4);
        Put32(data, bits);
    }
    WavSpec spec;
    spec.tag = 3;
    spec.channels = 1;
    spec.bits = 32;
    spec.rate = rate;
    auto bytes = MakeWav(spec, data);
    std::unique_ptr<ByteSource> src(new MemorySource(bytes.data(), bytes.size()));
    WavInfo info;
    ASSERT_EQ(ParseWavHeader(*src, info), WavStatus::Ok);
    Resampler r(std::unique_ptr<Decoder>(new WavDecoder(std::move(src), info)), kOut);
    auto out = ReadAll(r, 512);
    ASSERT_EQ(static_cast<int64_t>(out.size() / 2), (static_cast<int64_t>(frames) * kOut + rate - 1) / rate);
    for (size_t i = 0; i < out.size(); i += 2)
        ASSERT_EQ(out[i], out[i + 1]) << i / 2;
    ToneResult t = MeasureTone(rate, hz, out);
    EXPECT_NEAR(t.levelDb, 0.0, 0.1);
    EXPECT_LE(spectrum::Db(t.other.amplitude / kToneAmp), -90.0) << "image at " << t.other.hz << " Hz";
}
