// SoundSystem: the sound library's state and mixer behind the FSOUND functions: output set-up,
// streams (owned here from FSOUND_Stream_Open until FSOUND_Stream_Close or Close), channels
// with volume, pan and pause, and the mix that an output device pulls on its own thread.
// The output thread decodes without holding the lock the FSOUND calls take, so a slow song
// source never stalls the caller. Pausing the only sounding song holds the device, and
// stopping a song while no other one sounds drops what the device has queued, so both are
// heard at once rather than after the output's buffer.
// Portable: the output device and the Windows Media reader are handed in by the platform.
#pragma once

#include "audio/Decoder.h"
#include "audio/SongOpener.h"
#include "audio/Voice.h"
#include "audio/fmod.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace zaudio {

// What an output device pulls from. Both are called on the device's own thread.
class MixTarget {
public:
    virtual ~MixTarget() = default;
    // Mixes the next 'frames' stereo 16-bit frames into out.
    virtual void Render(int16_t* out, int frames) = 0;
    // The device has finished playing this many more frames.
    virtual void Played(int frames) = 0;
};

// A running output; destroying it stops it, and after the destructor returns the device
// never calls its MixTarget again. Hold and Drop are called from the caller's thread, one
// at a time, never together with the destructor.
class OutputDevice {
public:
    virtual ~OutputDevice() = default;
    // Whether Hold stops the sound at once. A device that cannot leaves pausing to the mix,
    // which silences a paused channel from the next block it renders.
    virtual bool CanHold() const { return false; }
    // Stops playing at once, keeping what is queued (true), or plays on from there (false).
    virtual void Hold(bool held) { (void)held; }
    // Throws away what is queued and not yet heard, so that what is rendered next is heard
    // next; the frames thrown away are reported as played. A held device stays held.
    virtual void Drop() {}
};

struct OutputConfig {
    int rate = 44100;
    int bufferMs = 200;
    int driver = 0;
};

// Opens and starts the platform's output, or returns null with error set (FMOD_ERR_INIT,
// FMOD_ERR_ALLOCATED, FMOD_ERR_OUTPUT_FORMAT, ...). It may call target.Render at once.
using OutputFactory = std::function<std::unique_ptr<OutputDevice>(const OutputConfig&, MixTarget&, int& error)>;

class SoundSystem : public MixTarget {
public:
    SoundSystem(OutputFactory factory, AsfOpener asfOpener);
    ~SoundSystem() override;
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    bool SetBufferSize(int ms);
    bool SetDriver(int driver);
    bool Init(int mixRate, int maxChannels, unsigned flags);
    void Close();
    int GetError() const;

    FSOUND_STREAM* StreamOpen(const char* nameOrData, unsigned mode, int offset, int length);
    int StreamPlay(int channel, FSOUND_STREAM* stream);
    bool StreamStop(FSOUND_STREAM* stream);
    bool StreamClose(FSOUND_STREAM* stream);

    bool SetPan(int channel, int pan);
    bool SetVolume(int channel, int volume);
    bool SetPaused(int channel, bool paused);
    bool IsPlaying(int channel) const;

    // Across a suspend of the machine: closes the output device, keeping the streams,
    // channels and their places; ResumeOutput opens it again with the same settings. Both
    // do nothing when the system is not initialised (or not suspended).
    void SuspendOutput();
    bool ResumeOutput();

    void Render(int16_t* out, int frames) override;
    void Played(int frames) override;

    // Default stream buffer length and the limits SetBufferSize accepts, in milliseconds.
    static const int kDefaultBufferMs = 200;
    static const int kMinBufferMs = 10;
    static const int kMaxBufferMs = 2000;

private:
    struct Channel {
        FSOUND_STREAM* stream = nullptr;
        bool paused = false;
        bool ended = false;
        bool restart = false;  // the stream starts over before its next frames are read
        int64_t endFrame = 0;  // mixed-frame count at which the stream's last frame went out
        uint64_t attachment = 0;  // changes whenever a stream is attached or detached
        int volume = 255;
        int pan = FSOUND_STEREOPAN;
    };
    // One channel's part of a block, taken under the lock and read without it.
    struct Job {
        std::shared_ptr<Voice> voice;
        size_t channel;
        uint64_t attachment;
        bool restart;
        float gainLeft, gainRight;
        int frames = 0;
    };

    bool ChannelBusy(const Channel& c) const;
    bool OthersBusy(const FSOUND_STREAM* a, const FSOUND_STREAM* b) const;
    void UpdateHold();
    void ApplyOutput();
    // Opens the output device for `config` without holding the lock (the device may render
    // its first blocks from inside the factory); null with the reason in `error`.
    std::unique_ptr<OutputDevice> OpenDevice(const OutputConfig& config, int& error);
    // Makes `device` the output; called under the lock. It has nothing queued yet.
    void AdoptDevice(std::unique_ptr<OutputDevice> device);
    int PlayOnChannel(int channel, FSOUND_STREAM* stream);
    void StopLocked(FSOUND_STREAM* stream);
    void Detach(FSOUND_STREAM* stream);
    bool Fail(int error) const;
    template <class F> bool ForChannels(int channel, F f);

    OutputFactory m_factory;
    AsfOpener m_asfOpener;
    // Taken before m_lock, never after it: serialises Hold and Drop with the device's
    // creation and destruction. The output thread never takes it.
    std::mutex m_deviceLock;
    mutable std::mutex m_lock;
    mutable int m_error = FMOD_ERR_NONE;
    bool m_initialised = false;
    bool m_starting = false;
    bool m_suspended = false;
    OutputConfig m_config;
    std::unique_ptr<OutputDevice> m_device;
    bool m_canHold = false;
    bool m_hold = false;         // every busy channel is paused: the device is (to be) held
    bool m_dropPending = false;  // what is queued is to be thrown away
    bool m_told = false;         // the device was last told to hold (under m_deviceLock)
    std::vector<Channel> m_channels;
    std::set<FSOUND_STREAM*> m_streams;
    int64_t m_mixed = 0;
    int64_t m_played = 0;
    uint64_t m_attachments = 0;
    // The output thread's own (no lock).
    std::vector<float> m_mix;
    std::vector<float> m_voice;
    std::vector<Job> m_jobs;
};

}  // namespace zaudio
