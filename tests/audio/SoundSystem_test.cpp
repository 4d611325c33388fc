// Tests of the FSOUND semantics of SoundSystem, driven through a fake output device that
// the test pulls by hand: what the mix contains, play state, volume, pan, pause, errors.
#include "audio/SoundSystem.h"

#include "audio/WavBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

using namespace zaudio;
using namespace wavtest;

namespace {

// What the sound system has told the device to do with its queue.
struct DeviceLog {
    bool canHold = false;
    bool held = false;
    int holds = 0;  // calls to Hold, either way
    int drops = 0;
};

class FakeDevice : public OutputDevice {
public:
    explicit FakeDevice(DeviceLog& log) : m_log(log) {}
    bool CanHold() const override { return m_log.canHold; }
    void Hold(bool held) override
    {
        m_log.held = held;
        ++m_log.holds;
    }
    void Drop() override { ++m_log.drops; }

private:
    DeviceLog& m_log;
};

struct Harness {
    MixTarget* target = nullptr;
    OutputConfig config;
    int failWith = FMOD_ERR_NONE;
    int opened = 0;
    DeviceLog device;
    SoundSystem sys;

    explicit Harness(AsfOpener asf = nullptr)
        : sys(
              [this](const OutputConfig& c, MixTarget& t, int& error) -> std::unique_ptr<OutputDevice> {
                  if (failWith != FMOD_ERR_NONE) {
                      error = failWith;
                      return nullptr;
                  }
                  ++opened;
                  config = c;
                  target = &t;
                  return std::unique_ptr<OutputDevice>(new FakeDevice(device));
              },
              asf)
    {
    }

    // Pulls 'frames' frames of mix and reports them played at once.
    std::vector<int16_t> Pull(int frames, bool played = true)
    {
        std::vector<int16_t> out(2 * static_cast<size_t>(frames), 12345);
        target->Render(out.data(), frames);
        if (played)
            target->Played(frames);
        return out;
    }

    FSOUND_STREAM* OpenMemory(const std::vector<uint8_t>& b)
    {
        return sys.StreamOpen(reinterpret_cast<const char*>(b.data()), FSOUND_NORMAL | FSOUND_2D | FSOUND_LOADMEMORY, 0,
                              static_cast<int>(b.size()));
    }
};

// A stereo WAV whose left samples count up from 1 and right samples count down from -1.
std::vector<uint8_t> RampWav(int frames, uint32_t rate = 44100)
{
    std::vector<int16_t> v;
    for (int i = 0; i < frames; ++i) {
        v.push_back(static_cast<int16_t>(100 * (i + 1)));
        v.push_back(static_cast<int16_t>(-100 * (i + 1)));
    }
    WavSpec s;
    s.rate = rate;
    return MakeWav(s, Samples16(v));
}

bool AllZero(const std::vector<int16_t>& v)
{
    for (int16_t s : v)
        if (s != 0)
            return false;
    return true;
}

}  // namespace

TEST(SoundSystem, CallsBeforeInitFailWithUninitialised)
{
    Harness h;
    auto wav = RampWav(10);
    EXPECT_EQ(h.OpenMemory(wav), nullptr);
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_UNINITIALIZED);
    EXPECT_FALSE(h.sys.SetVolume(FSOUND_ALL, 100));
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_UNINITIALIZED);
    EXPECT_FALSE(h.sys.IsPlaying(0));
    h.sys.Close();  // harmless when nothing is open
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_NONE);
}

TEST(SoundSystem, InitPassesRateAndBufferAndRefusesSecondInit)
{
    Harness h;
    EXPECT_TRUE(h.sys.SetBufferSize(250));
    EXPECT_TRUE(h.sys.SetDriver(0));
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    EXPECT_EQ(h.config.rate, 44100);
    EXPECT_EQ(h.config.bufferMs, 250);
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_NONE);
    EXPECT_FALSE(h.sys.Init(44100, 1, 0));
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_BUSY);
    EXPECT_FALSE(h.sys.SetBufferSize(100));
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_BUSY);
    EXPECT_FALSE(h.sys.SetDriver(1));
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_BUSY);
    h.sys.Close();
    EXPECT_TRUE(h.sys.Init(22050, 4, 0)) << "a closed system starts again";
    EXPECT_EQ(h.opened, 2);
}

TEST(SoundSystem, BadSettingsAreInvalidParameters)
{
    Harness h;
    EXPECT_FALSE(h.sys.SetBufferSize(1));
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_INVALID_PARAM);
    EXPECT_FALSE(h.sys.SetBufferSize(100000));
    EXPECT_FALSE(h.sys.SetDriver(-1));
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_INVALID_PARAM);
    EXPECT_FALSE(h.sys.Init(44100, 0, 0));
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_INVALID_PARAM);
    EXPECT_FALSE(h.sys.Init(100, 1, 0));
    EXPECT_EQ(h.opened, 0);
}

TEST(SoundSystem, NoOutputDeviceMeansInitError)
{
    Harness h;
    h.failWith = FMOD_ERR_INIT;
    EXPECT_FALSE(h.sys.Init(44100, 1, 0));
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_INIT);
    h.failWith = FMOD_ERR_ALLOCATED;
    EXPECT_FALSE(h.sys.Init(44100, 1, 0));
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_ALLOCATED);
    h.failWith = FMOD_ERR_NONE;
    EXPECT_TRUE(h.sys.Init(44100, 1, 0)) << "a failed init leaves the system closed, not busy";
}

TEST(SoundSystem, PlayedStreamIsMixedSampleForSample)
{
    Harness h;
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    auto wav = RampWav(50);
    FSOUND_STREAM* s = h.OpenMemory(wav);
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(AllZero(h.Pull(16))) << "nothing plays before Stream_Play";
    int ch = h.sys.StreamPlay(FSOUND_FREE, s);
    ASSERT_EQ(ch, 0);
    EXPECT_TRUE(h.sys.SetPan(ch, FSOUND_STEREOPAN));
    auto out = h.Pull(60);
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(out[2 * i], 100 * (i + 1)) << i;
        ASSERT_EQ(out[2 * i + 1], -100 * (i + 1)) << i;
    }
    for (int i = 50; i < 60; ++i)
        EXPECT_EQ(out[2 * i], 0);
}

TEST(SoundSystem, IsPlayingTurnsFalseOnlyOnceTheEndHasBeenHeard)
{
    Harness h;
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    auto wav = RampWav(100);
    FSOUND_STREAM* s = h.OpenMemory(wav);
    int ch = h.sys.StreamPlay(FSOUND_FREE, s);
    EXPECT_TRUE(h.sys.IsPlaying(ch));
    h.Pull(64);
    EXPECT_TRUE(h.sys.IsPlaying(ch));
    h.Pull(64, false);  // the last frame is mixed, not yet played
    EXPECT_TRUE(h.sys.IsPlaying(ch));
    h.target->Played(35);  // up to frame 99: one frame still to go
    EXPECT_TRUE(h.sys.IsPlaying(ch));
    h.target->Played(1);
    EXPECT_FALSE(h.sys.IsPlaying(ch));
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_NONE);
}

TEST(SoundSystem, VolumeScalesAndClamps)
{
    Harness h;
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    auto wav = RampWav(40);
    FSOUND_STREAM* s = h.OpenMemory(wav);
    ASSERT_TRUE(h.sys.SetVolume(FSOUND_ALL, 0));
    int ch = h.sys.StreamPlay(FSOUND_FREE, s);
    EXPECT_TRUE(AllZero(h.Pull(10))) << "volume set for all channels before play holds for the song";
    EXPECT_TRUE(h.sys.SetVolume(ch, 300));
    auto out = h.Pull(10);
    EXPECT_EQ(out[0], 1100) << "above 255 counts as 255";
    EXPECT_TRUE(h.sys.SetVolume(ch, 128));
    out = h.Pull(10);
    EXPECT_NEAR(out[0], 2100 * 128 / 255.0, 1.0);
    EXPECT_TRUE(h.sys.SetVolume(FSOUND_ALL, -20));
    EXPECT_TRUE(AllZero(h.Pull(10))) << "below 0 counts as 0";
    EXPECT_FALSE(h.sys.SetVolume(5, 100));
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_INVALID_PARAM);
}

TEST(SoundSystem, PanMovesTheSoundBetweenSides)
{
    Harness h;
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    auto wav = RampWav(40);
    int ch = h.sys.StreamPlay(FSOUND_FREE, h.OpenMemory(wav));
    ASSERT_TRUE(h.sys.SetPan(ch, 0));
    auto out = h.Pull(5);
    EXPECT_EQ(out[0], 100);
    EXPECT_EQ(out[1], 0);
    ASSERT_TRUE(h.sys.SetPan(ch, 255));
    out = h.Pull(5);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], -600);
    ASSERT_TRUE(h.sys.SetPan(ch, 128));
    out = h.Pull(5);
    EXPECT_NEAR(out[0], 1100 * 0.707, 8.0);
    EXPECT_NEAR(out[1], -1100 * 0.707, 8.0);
}

TEST(SoundSystem, PauseSilencesAndHoldsThePlace)
{
    Harness h;
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    auto wav = RampWav(100);
    int ch = h.sys.StreamPlay(FSOUND_FREE, h.OpenMemory(wav));
    h.Pull(10);
    ASSERT_TRUE(h.sys.SetPaused(ch, true));
    EXPECT_TRUE(AllZero(h.Pull(500)));
    EXPECT_TRUE(h.sys.IsPlaying(ch)) << "a paused song has not ended";
    ASSERT_TRUE(h.sys.SetPaused(ch, false));
    auto out = h.Pull(5);
    EXPECT_EQ(out[0], 1100) << "resumes at frame 10";
}

TEST(SoundSystem, OneChannelIsTakenUntilItsSongEnds)
{
    Harness h;
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    auto a = RampWav(20);
    auto b = RampWav(30);
    FSOUND_STREAM* sa = h.OpenMemory(a);
    FSOUND_STREAM* sb = h.OpenMemory(b);
    ASSERT_EQ(h.sys.StreamPlay(FSOUND_FREE, sa), 0);
    EXPECT_EQ(h.sys.StreamPlay(FSOUND_FREE, sb), -1);
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_CHANNEL_ALLOC);
    h.Pull(40);
    EXPECT_EQ(h.sys.StreamPlay(FSOUND_FREE, sb), 0) << "the channel is free once song a is over";
    EXPECT_EQ(h.Pull(1)[0], 100);
    EXPECT_EQ(h.sys.StreamPlay(7, sa), -1);
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_INVALID_PARAM);
}

TEST(SoundSystem, StopThenPlayStartsFromTheBeginning)
{
    Harness h;
    ASSERT_TRUE(h.sys.Init(44100, 2, 0));
    auto wav = RampWav(100);
    FSOUND_STREAM* s = h.OpenMemory(wav);
    int ch = h.sys.StreamPlay(FSOUND_FREE, s);
    h.Pull(30);
    ASSERT_TRUE(h.sys.StreamStop(s));
    EXPECT_FALSE(h.sys.IsPlaying(ch));
    EXPECT_TRUE(AllZero(h.Pull(10)));
    ch = h.sys.StreamPlay(FSOUND_FREE, s);
    EXPECT_EQ(h.Pull(1)[0], 100);
    h.Pull(200);
    ASSERT_EQ(h.sys.StreamPlay(FSOUND_FREE, s), ch) << "playing an ended stream again";
    EXPECT_EQ(h.Pull(1)[0], 100);
}

TEST(SoundSystem, TwoChannelsAreSummedAndClipped)
{
    Harness h;
    ASSERT_TRUE(h.sys.Init(44100, 2, 0));
    WavSpec spec;
    auto loud = MakeWav(spec, Samples16({30000, -30000, 30000, -30000}));
    auto quiet = RampWav(2);
    int c1 = h.sys.StreamPlay(FSOUND_FREE, h.OpenMemory(loud));
    int c2 = h.sys.StreamPlay(FSOUND_FREE, h.OpenMemory(loud));
    EXPECT_NE(c1, c2);
    auto out = h.Pull(2);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], -32768);
    h.Pull(10);
    int c3 = h.sys.StreamPlay(FSOUND_FREE, h.OpenMemory(quiet));
    int c4 = h.sys.StreamPlay(FSOUND_FREE, h.OpenMemory(quiet));
    ASSERT_GE(c3, 0);
    ASSERT_GE(c4, 0);
    EXPECT_EQ(h.Pull(1)[0], 200);
}

TEST(SoundSystem, OtherRatesAreResampledToTheMixRate)
{
    Harness h;
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    auto wav = SineWav(22050, 1, 441, 0.5, 22050);
    int ch = h.sys.StreamPlay(FSOUND_FREE, h.OpenMemory(wav));
    int frames = 0;
    while (h.sys.IsPlaying(ch) && frames < 100000) {
        h.Pull(441);
        frames += 441;
    }
    EXPECT_NEAR(frames, 44100, 441);
}

TEST(SoundSystem, StreamsFromFilesAndTheirErrors)
{
    Harness h;
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    std::string path = testing::TempDir() + "zaudio_song.wav";
    ASSERT_TRUE(WriteFile(path, RampWav(10)));
    FSOUND_STREAM* s = h.sys.StreamOpen(path.c_str(), FSOUND_NORMAL | FSOUND_2D, 0, 0);
    ASSERT_NE(s, nullptr);
    h.sys.StreamPlay(FSOUND_FREE, s);
    EXPECT_EQ(h.Pull(3)[4], 300);
    EXPECT_TRUE(h.sys.StreamClose(s));
    std::remove(path.c_str());

    EXPECT_EQ(h.sys.StreamOpen(path.c_str(), FSOUND_NORMAL | FSOUND_2D, 0, 0), nullptr);
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_FILE_NOTFOUND);
    std::vector<uint8_t> mp3 = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(h.OpenMemory(mp3), nullptr);
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_FILE_FORMAT);
    EXPECT_EQ(h.sys.StreamOpen(nullptr, FSOUND_LOADMEMORY, 0, 100), nullptr);
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_INVALID_PARAM);
}

TEST(SoundSystem, UnknownAndClosedStreamHandlesAreRefused)
{
    Harness h;
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    auto wav = RampWav(10);
    FSOUND_STREAM* s = h.OpenMemory(wav);
    ASSERT_TRUE(h.sys.StreamClose(s));
    EXPECT_FALSE(h.sys.StreamClose(s));
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_INVALID_PARAM);
    EXPECT_FALSE(h.sys.StreamStop(s));
    EXPECT_EQ(h.sys.StreamPlay(FSOUND_FREE, s), -1);
    EXPECT_FALSE(h.sys.StreamClose(nullptr));
    int local = 0;
    EXPECT_FALSE(h.sys.StreamStop(reinterpret_cast<FSOUND_STREAM*>(&local)));

    FSOUND_STREAM* t = h.OpenMemory(wav);
    h.sys.StreamPlay(FSOUND_FREE, t);
    h.sys.Close();
    EXPECT_FALSE(h.sys.StreamClose(t)) << "Close ended every stream";
}

TEST(SoundSystem, ClosingAPlayingStreamSilencesItsChannel)
{
    Harness h;
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    auto wav = RampWav(100);
    FSOUND_STREAM* s = h.OpenMemory(wav);
    int ch = h.sys.StreamPlay(FSOUND_FREE, s);
    h.Pull(10);
    ASSERT_TRUE(h.sys.StreamClose(s));
    EXPECT_FALSE(h.sys.IsPlaying(ch));
    EXPECT_TRUE(AllZero(h.Pull(20)));
}

TEST(SoundSystem, ANewSongOnAPausedChannelIsHeard)
{
    // The player skips while paused by closing the song and playing the next on a free
    // channel: the new song must not inherit the pause.
    Harness h;
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    auto first = RampWav(100);
    auto second = RampWav(100);
    FSOUND_STREAM* a = h.OpenMemory(first);
    int ch = h.sys.StreamPlay(FSOUND_FREE, a);
    h.Pull(10);
    ASSERT_TRUE(h.sys.SetPaused(ch, true));
    ASSERT_TRUE(h.sys.StreamStop(a));
    ASSERT_TRUE(h.sys.StreamClose(a));
    FSOUND_STREAM* b = h.OpenMemory(second);
    ASSERT_EQ(h.sys.StreamPlay(FSOUND_FREE, b), ch);
    EXPECT_EQ(h.Pull(1)[0], 100);
    EXPECT_TRUE(h.sys.IsPlaying(ch));
}

// A device that can hold: pausing the only song holds it at once, and the block the device
// was filling when the pause came carries on the song instead of a hole of silence.
TEST(SoundSystem, PausingTheOnlySoundingSongHoldsTheDeviceAndLosesNothing)
{
    Harness h;
    h.device.canHold = true;
    ASSERT_TRUE(h.sys.Init(44100, 2, 0));
    auto wav = RampWav(100);
    int ch = h.sys.StreamPlay(FSOUND_FREE, h.OpenMemory(wav));
    h.Pull(10);
    ASSERT_TRUE(h.sys.SetPaused(ch, true));
    EXPECT_TRUE(h.device.held);
    EXPECT_EQ(h.Pull(5)[0], 1100) << "the block in flight goes on from frame 10";
    EXPECT_TRUE(h.sys.IsPlaying(ch));
    ASSERT_TRUE(h.sys.SetPaused(ch, true));
    EXPECT_EQ(h.device.holds, 1) << "an unchanged pause is not passed on again";
    ASSERT_TRUE(h.sys.SetPaused(ch, false));
    EXPECT_FALSE(h.device.held);
    EXPECT_EQ(h.Pull(5)[0], 1600) << "and the song goes on from frame 15";

    // With a second song sounding, a pause is the mix's: the device keeps playing and the
    // paused channel falls silent from the next block.
    auto other = RampWav(100);
    int second = h.sys.StreamPlay(FSOUND_FREE, h.OpenMemory(other));
    ASSERT_NE(second, ch);
    ASSERT_TRUE(h.sys.SetPaused(ch, true));
    EXPECT_FALSE(h.device.held);
    EXPECT_EQ(h.Pull(1)[0], 100) << "only the second song is heard";
    ASSERT_TRUE(h.sys.SetPaused(FSOUND_ALL, true));
    EXPECT_TRUE(h.device.held) << "every sounding song paused";
    ASSERT_TRUE(h.sys.SetPaused(FSOUND_ALL, false));
    EXPECT_FALSE(h.device.held);
}

// Stopping a song while no other sounds throws away what the device has queued of it, so
// the stop is heard at once; with another song sounding the queue is kept, as that song's
// sound is in it. Starting a song keeps the queue (silence, heard before the song).
TEST(SoundSystem, StopsDropTheQueueOnlyWhenNothingElseSounds)
{
    Harness h;
    h.device.canHold = true;
    ASSERT_TRUE(h.sys.Init(44100, 2, 0));
    auto a = RampWav(100), b = RampWav(100), c = RampWav(1000);
    FSOUND_STREAM* first = h.OpenMemory(a);
    int ch = h.sys.StreamPlay(FSOUND_FREE, first);
    EXPECT_EQ(h.device.drops, 0) << "a start keeps the queue";
    h.Pull(10);
    ASSERT_TRUE(h.sys.StreamStop(first));
    EXPECT_EQ(h.device.drops, 1) << "a stop with nothing else sounding";
    auto replaced = RampWav(100);
    FSOUND_STREAM* other = h.OpenMemory(replaced);
    ASSERT_EQ(h.sys.StreamPlay(FSOUND_FREE, first), ch);
    h.Pull(10);
    ASSERT_EQ(h.sys.StreamPlay(ch, other), ch);
    EXPECT_EQ(h.device.drops, 2) << "a song played over a sounding one replaces it at once";
    ASSERT_TRUE(h.sys.StreamStop(other));

    // A skip while paused: the held device is released with its queue dropped, and the
    // next song is heard from its start.
    ASSERT_EQ(h.sys.StreamPlay(FSOUND_FREE, first), ch);
    h.Pull(10);
    ASSERT_TRUE(h.sys.SetPaused(ch, true));
    ASSERT_TRUE(h.device.held);
    const int dropsBefore = h.device.drops;
    ASSERT_TRUE(h.sys.StreamClose(first));
    EXPECT_EQ(h.device.drops, dropsBefore + 1);
    EXPECT_FALSE(h.device.held) << "nothing is left to hold";
    FSOUND_STREAM* next = h.OpenMemory(b);
    ASSERT_EQ(h.sys.StreamPlay(FSOUND_FREE, next), ch);
    EXPECT_EQ(h.Pull(1)[0], 100);

    // Two songs: stopping or starting one keeps the other's queued sound.
    FSOUND_STREAM* longer = h.OpenMemory(c);
    ASSERT_GE(h.sys.StreamPlay(FSOUND_FREE, longer), 0);
    const int dropsWithTwo = h.device.drops;
    h.Pull(10);
    ASSERT_TRUE(h.sys.StreamStop(next));
    EXPECT_EQ(h.device.drops, dropsWithTwo) << "the other song is still sounding";
    EXPECT_TRUE(h.sys.IsPlaying(1));
}

namespace {

// A song source that stalls inside a read until the test lets it go (a slow disk or a
// network path), opened through the Windows Media hook.
struct Gate {
    std::mutex lock;
    std::condition_variable changed;
    bool reading = false;
    bool open = false;
};
Gate g_gate;

class StallingDecoder : public Decoder {
public:
    int Rate() const override { return 44100; }
    int Read(float* out, int frames) override
    {
        std::unique_lock<std::mutex> l(g_gate.lock);
        g_gate.reading = true;
        g_gate.changed.notify_all();
        g_gate.changed.wait(l, [] { return g_gate.open; });
        std::fill(out, out + 2 * frames, 0.25f);
        return frames;
    }
    bool Rewind() override { return true; }
};

std::unique_ptr<Decoder> OpenStalling(const SongSource&, int& error)
{
    error = FMOD_ERR_NONE;
    return std::unique_ptr<Decoder>(new StallingDecoder());
}

std::vector<uint8_t> AsfHeader()
{
    std::vector<uint8_t> b = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                              0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    b.resize(64, 0);
    return b;
}

}  // namespace

// The calls a program makes every frame must not wait while the output thread reads a song.
TEST(SoundSystem, CallsDoNotWaitForASongBeingRead)
{
    Harness h(OpenStalling);
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    auto asf = AsfHeader();
    FSOUND_STREAM* s = h.OpenMemory(asf);
    ASSERT_NE(s, nullptr);
    int ch = h.sys.StreamPlay(FSOUND_FREE, s);
    std::thread output([&] { h.Pull(256); });
    {
        std::unique_lock<std::mutex> l(g_gate.lock);
        g_gate.changed.wait(l, [] { return g_gate.reading; });
    }
    auto calls = std::async(std::launch::async, [&] {
        bool playing = h.sys.IsPlaying(ch);
        bool volume = h.sys.SetVolume(FSOUND_ALL, 200);
        return playing && volume && h.sys.GetError() == FMOD_ERR_NONE;
    });
    // Generous: answered at once when nothing waits for the read, never while one does.
    bool answered = calls.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    {
        std::lock_guard<std::mutex> l(g_gate.lock);
        g_gate.open = true;
        g_gate.changed.notify_all();
    }
    output.join();
    EXPECT_TRUE(answered) << "a frame-side call waited for the song's read";
    EXPECT_TRUE(calls.get());
    EXPECT_TRUE(h.sys.StreamClose(s));
}

TEST(SoundSystem, SuspendClosesTheOutputAndResumeGoesOnWhereItStopped)
{
    Harness h;
    h.sys.SuspendOutput();
    EXPECT_FALSE(h.sys.ResumeOutput()) << "nothing to resume before Init";
    ASSERT_TRUE(h.sys.Init(44100, 1, 0));
    auto wav = RampWav(100);
    int ch = h.sys.StreamPlay(FSOUND_FREE, h.OpenMemory(wav));
    h.Pull(10);
    h.Pull(10, false);  // mixed but never heard: it goes with the closed device
    h.sys.SuspendOutput();
    EXPECT_TRUE(h.sys.IsPlaying(ch)) << "a suspended song has not ended";
    EXPECT_EQ(h.opened, 1);

    h.failWith = FMOD_ERR_ALLOCATED;
    EXPECT_FALSE(h.sys.ResumeOutput()) << "the device is taken";
    EXPECT_EQ(h.sys.GetError(), FMOD_ERR_ALLOCATED);
    h.failWith = FMOD_ERR_NONE;
    ASSERT_TRUE(h.sys.ResumeOutput());
    EXPECT_EQ(h.opened, 2);
    EXPECT_EQ(h.config.rate, 44100);
    EXPECT_FALSE(h.sys.ResumeOutput()) << "already running";

    auto out = h.Pull(5);
    EXPECT_EQ(out[0], 2100) << "goes on at frame 20";
    h.Pull(80);  // the last 75 frames, all heard
    EXPECT_FALSE(h.sys.IsPlaying(ch));
}
