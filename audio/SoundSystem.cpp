// SoundSystem: FSOUND semantics over decoders and a pulled mix. One mutex guards the
// channels and streams; the output thread holds it only to note what a block needs and what
// came of it, and decodes and mixes between the two without it. A second mutex, taken first,
// orders the calls that hold, release and drop the device's queue.
#include "audio/SoundSystem.h"

#include "audio/Resampler.h"

#include <algorithm>
#include <cmath>

struct FSOUND_STREAM {
    std::shared_ptr<zaudio::Voice> voice;
    bool inMemory = false;  // its decoder reads the caller's memory
    int channel = -1;
    bool needsRewind = false;
};

namespace zaudio {

namespace {
const int kMinMixRate = 4000;
const int kMaxMixRate = 192000;
const int kMaxChannels = 1024;
const float kHalfPi = 1.5707963f;
}  // namespace

SoundSystem::SoundSystem(OutputFactory factory, AsfOpener asfOpener)
    : m_factory(std::move(factory)), m_asfOpener(asfOpener)
{
    m_config.bufferMs = kDefaultBufferMs;
}

SoundSystem::~SoundSystem()
{
    Close();
}

bool SoundSystem::Fail(int error) const
{
    m_error = error;
    return false;
}

int SoundSystem::GetError() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_error;
}

bool SoundSystem::SetBufferSize(int ms)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_error = FMOD_ERR_NONE;
    if (m_initialised || m_starting)
        return Fail(FMOD_ERR_BUSY);
    if (ms < kMinBufferMs || ms > kMaxBufferMs)
        return Fail(FMOD_ERR_INVALID_PARAM);
    m_config.bufferMs = ms;
    return true;
}

bool SoundSystem::SetDriver(int driver)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_error = FMOD_ERR_NONE;
    if (m_initialised || m_starting)
        return Fail(FMOD_ERR_BUSY);
    if (driver < 0)
        return Fail(FMOD_ERR_INVALID_PARAM);
    m_config.driver = driver;
    return true;
}

bool SoundSystem::Init(int mixRate, int maxChannels, unsigned flags)
{
    std::lock_guard<std::mutex> d(m_deviceLock);
    OutputConfig config;
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_error = FMOD_ERR_NONE;
        if (m_initialised || m_starting)
            return Fail(FMOD_ERR_BUSY);
        if (mixRate < kMinMixRate || mixRate > kMaxMixRate || maxChannels < 1 || maxChannels > kMaxChannels)
            return Fail(FMOD_ERR_INVALID_PARAM);
        m_config.rate = mixRate;
        m_channels.assign(static_cast<size_t>(maxChannels), Channel());
        m_mixed = m_played = 0;
        m_starting = true;
        config = m_config;
    }
    int error = FMOD_ERR_NONE;
    std::unique_ptr<OutputDevice> device = OpenDevice(config, error);
    std::lock_guard<std::mutex> g(m_lock);
    m_starting = false;
    if (!device) {
        m_channels.clear();
        return Fail(error);
    }
    AdoptDevice(std::move(device));
    m_hold = m_told = false;
    m_initialised = true;
    return true;
}

std::unique_ptr<OutputDevice> SoundSystem::OpenDevice(const OutputConfig& config, int& error)
{
    error = FMOD_ERR_INIT;
    std::unique_ptr<OutputDevice> device;
    if (m_factory)
        device = m_factory(config, *this, error);
    if (!device && error == FMOD_ERR_NONE)
        error = FMOD_ERR_INIT;
    return device;
}

void SoundSystem::AdoptDevice(std::unique_ptr<OutputDevice> device)
{
    m_device = std::move(device);
    m_canHold = m_device->CanHold();
    m_dropPending = false;
}

void SoundSystem::Close()
{
    std::lock_guard<std::mutex> d(m_deviceLock);
    std::unique_ptr<OutputDevice> device;
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_error = FMOD_ERR_NONE;
        m_initialised = false;
        m_suspended = false;
        m_hold = m_dropPending = m_told = false;
        device = std::move(m_device);
    }
    // Stopping the device waits for its thread, which may be waiting for the lock.
    device.reset();
    std::lock_guard<std::mutex> g(m_lock);
    for (FSOUND_STREAM* s : m_streams)
        delete s;
    m_streams.clear();
    m_channels.clear();
}

void SoundSystem::SuspendOutput()
{
    std::lock_guard<std::mutex> d(m_deviceLock);
    std::unique_ptr<OutputDevice> device;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (!m_initialised || m_suspended)
            return;
        m_suspended = true;
        m_told = false;
        device = std::move(m_device);
    }
    device.reset();
    // What was mixed but not heard is gone with the device: it counts as played, so a song
    // that ended inside it is over.
    std::lock_guard<std::mutex> g(m_lock);
    m_played = m_mixed;
}

bool SoundSystem::ResumeOutput()
{
    std::lock_guard<std::mutex> d(m_deviceLock);
    OutputConfig config;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (!m_initialised || !m_suspended)
            return false;
        config = m_config;
    }
    int error = FMOD_ERR_NONE;
    std::unique_ptr<OutputDevice> device = OpenDevice(config, error);
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (!device)
            return Fail(error);
        m_suspended = false;
        AdoptDevice(std::move(device));
        UpdateHold();
    }
    // A song paused across the suspend stays held.
    ApplyOutput();
    return true;
}

FSOUND_STREAM* SoundSystem::StreamOpen(const char* nameOrData, unsigned mode, int offset, int length)
{
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_error = FMOD_ERR_NONE;
        if (!m_initialised) {
            Fail(FMOD_ERR_UNINITIALIZED);
            return nullptr;
        }
    }
    SongSource source;
    source.nameOrData = nameOrData;
    source.inMemory = (mode & FSOUND_LOADMEMORY) != 0;
    source.offset = offset;
    source.length = length;
    int error = FMOD_ERR_NONE;
    // Headers are read without the lock so that the mix never waits for a file open.
    std::unique_ptr<Decoder> decoder = OpenSong(source, m_asfOpener, error);
    int rate = 0;
    {
        std::lock_guard<std::mutex> g(m_lock);
        rate = m_config.rate;
    }
    if (decoder && decoder->Rate() != rate)
        decoder.reset(new Resampler(std::move(decoder), rate));

    std::lock_guard<std::mutex> g(m_lock);
    if (!decoder) {
        Fail(error == FMOD_ERR_NONE ? FMOD_ERR_FILE_BAD : error);
        return nullptr;
    }
    if (!m_initialised) {
        Fail(FMOD_ERR_UNINITIALIZED);
        return nullptr;
    }
    FSOUND_STREAM* s = new FSOUND_STREAM();
    s->voice = std::make_shared<Voice>(std::move(decoder));
    s->inMemory = source.inMemory;
    m_streams.insert(s);
    return s;
}

bool SoundSystem::ChannelBusy(const Channel& c) const
{
    return c.stream && !(c.ended && m_played >= c.endFrame);
}

bool SoundSystem::OthersBusy(const FSOUND_STREAM* a, const FSOUND_STREAM* b) const
{
    for (const Channel& c : m_channels)
        if (c.stream != a && c.stream != b && ChannelBusy(c))
            return true;
    return false;
}

void SoundSystem::UpdateHold()
{
    bool any = false, allPaused = true;
    for (const Channel& c : m_channels) {
        if (!ChannelBusy(c))
            continue;
        any = true;
        allPaused = allPaused && c.paused;
    }
    m_hold = m_canHold && any && allPaused;
}

void SoundSystem::ApplyOutput()
{
    // The caller holds m_deviceLock, and not m_lock: the device's calls may wait for its
    // own thread, which takes m_lock.
    bool hold = false, drop = false;
    OutputDevice* device = nullptr;
    {
        std::lock_guard<std::mutex> g(m_lock);
        device = m_device.get();
        hold = m_hold;
        drop = m_dropPending;
        m_dropPending = false;
    }
    if (!device)
        return;
    if (drop)
        device->Drop();
    if (hold != m_told) {
        m_told = hold;
        device->Hold(hold);
    }
}

void SoundSystem::Detach(FSOUND_STREAM* stream)
{
    if (stream->channel >= 0 && stream->channel < static_cast<int>(m_channels.size())) {
        Channel& c = m_channels[static_cast<size_t>(stream->channel)];
        if (c.stream == stream) {
            c.stream = nullptr;
            c.ended = false;
            c.paused = false;
            c.restart = false;
            c.attachment = ++m_attachments;
        }
    }
    stream->channel = -1;
}

int SoundSystem::StreamPlay(int channel, FSOUND_STREAM* stream)
{
    std::lock_guard<std::mutex> d(m_deviceLock);
    int index = PlayOnChannel(channel, stream);
    ApplyOutput();
    return index;
}

int SoundSystem::PlayOnChannel(int channel, FSOUND_STREAM* stream)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_error = FMOD_ERR_NONE;
    if (!m_initialised) {
        Fail(FMOD_ERR_UNINITIALIZED);
        return -1;
    }
    if (!stream || !m_streams.count(stream)) {
        Fail(FMOD_ERR_INVALID_PARAM);
        return -1;
    }
    const int count = static_cast<int>(m_channels.size());
    int index = -1;
    if (channel == FSOUND_FREE) {
        // The stream's own channel counts as free: playing it again restarts it there.
        for (int i = 0; i < count && index < 0; ++i) {
            const Channel& c = m_channels[static_cast<size_t>(i)];
            if (!ChannelBusy(c) || c.stream == stream)
                index = i;
        }
        if (index < 0) {
            Fail(FMOD_ERR_CHANNEL_ALLOC);
            return -1;
        }
    } else if (channel >= 0 && channel < count) {
        index = channel;
    } else {
        Fail(FMOD_ERR_INVALID_PARAM);
        return -1;
    }

    Channel& c = m_channels[static_cast<size_t>(index)];
    // A song that replaces a sounding one is a skip: the old one's queued tail goes.
    if (c.stream && c.stream != stream && ChannelBusy(c) && !OthersBusy(stream, c.stream))
        m_dropPending = true;
    Detach(stream);
    if (c.stream) {
        FSOUND_STREAM* old = c.stream;
        Detach(old);
        old->needsRewind = true;
    }
    // Volume and pan stay as last set for the channel, so a song starts at the level the
    // caller chose before it played. A stream played before starts over on the output
    // thread (a song that cannot start over ends at once).
    c.stream = stream;
    c.paused = false;
    c.ended = false;
    c.restart = stream->needsRewind;
    c.endFrame = 0;
    c.attachment = ++m_attachments;
    stream->needsRewind = false;
    stream->channel = index;
    UpdateHold();
    return index;
}

void SoundSystem::StopLocked(FSOUND_STREAM* stream)
{
    // A stopped song is not heard again: with nothing else sounding, what the device has
    // queued of it is thrown away.
    if (stream->channel >= 0 && !OthersBusy(stream, nullptr))
        m_dropPending = true;
    Detach(stream);
    UpdateHold();
}

bool SoundSystem::StreamStop(FSOUND_STREAM* stream)
{
    std::lock_guard<std::mutex> d(m_deviceLock);
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_error = FMOD_ERR_NONE;
        if (!m_initialised)
            return Fail(FMOD_ERR_UNINITIALIZED);
        if (!stream || !m_streams.count(stream))
            return Fail(FMOD_ERR_INVALID_PARAM);
        StopLocked(stream);
        stream->needsRewind = true;
    }
    ApplyOutput();
    return true;
}

bool SoundSystem::StreamClose(FSOUND_STREAM* stream)
{
    std::shared_ptr<Voice> voice;
    bool inMemory = false;
    {
        std::lock_guard<std::mutex> d(m_deviceLock);
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_error = FMOD_ERR_NONE;
            if (!stream || !m_streams.count(stream))
                return Fail(FMOD_ERR_INVALID_PARAM);
            StopLocked(stream);
            m_streams.erase(stream);
            voice = stream->voice;
            inMemory = stream->inMemory;
            delete stream;
        }
        ApplyOutput();
    }
    // The caller may free a song's memory once this returns: wait until a block being
    // decoded from it is done. Files are the decoder's own, and need no wait.
    if (inMemory) {
        std::lock_guard<std::mutex> done(voice->InUse());
    }
    return true;
}

template <class F> bool SoundSystem::ForChannels(int channel, F f)
{
    m_error = FMOD_ERR_NONE;
    if (!m_initialised)
        return Fail(FMOD_ERR_UNINITIALIZED);
    if (channel == FSOUND_ALL) {
        for (Channel& c : m_channels)
            f(c);
        return true;
    }
    if (channel < 0 || channel >= static_cast<int>(m_channels.size()))
        return Fail(FMOD_ERR_INVALID_PARAM);
    f(m_channels[static_cast<size_t>(channel)]);
    return true;
}

bool SoundSystem::SetPan(int channel, int pan)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (pan != FSOUND_STEREOPAN)
        pan = pan < 0 ? 0 : (pan > 255 ? 255 : pan);
    return ForChannels(channel, [pan](Channel& c) { c.pan = pan; });
}

bool SoundSystem::SetVolume(int channel, int volume)
{
    std::lock_guard<std::mutex> g(m_lock);
    volume = volume < 0 ? 0 : (volume > 255 ? 255 : volume);
    return ForChannels(channel, [volume](Channel& c) { c.volume = volume; });
}

bool SoundSystem::SetPaused(int channel, bool paused)
{
    std::lock_guard<std::mutex> d(m_deviceLock);
    bool ok = false;
    {
        std::lock_guard<std::mutex> g(m_lock);
        ok = ForChannels(channel, [paused](Channel& c) { c.paused = paused; });
        UpdateHold();
    }
    ApplyOutput();
    return ok;
}

bool SoundSystem::IsPlaying(int channel) const
{
    std::lock_guard<std::mutex> g(m_lock);
    m_error = FMOD_ERR_NONE;
    if (!m_initialised)
        return Fail(FMOD_ERR_UNINITIALIZED);
    if (channel < 0 || channel >= static_cast<int>(m_channels.size()))
        return Fail(FMOD_ERR_INVALID_PARAM);
    return ChannelBusy(m_channels[static_cast<size_t>(channel)]);
}

void SoundSystem::Played(int frames)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (frames > 0)
        m_played += frames;
}

void SoundSystem::Render(int16_t* out, int frames)
{
    if (frames <= 0)
        return;
    int64_t start = 0;
    m_jobs.clear();
    {
        std::lock_guard<std::mutex> g(m_lock);
        start = m_mixed;
        for (size_t i = 0; i < m_channels.size(); ++i) {
            Channel& c = m_channels[i];
            // While the device is held a paused channel is not silenced: a block rendered
            // just before the hold took effect is heard on release, where it belongs.
            if (!c.stream || c.ended || (c.paused && !m_hold))
                continue;
            float gain = c.volume / 255.0f;
            float gl = gain, gr = gain;
            if (c.pan != FSOUND_STEREOPAN) {
                // Equal-power pan: the middle position is 3 dB down on each side.
                float a = c.pan / 255.0f * kHalfPi;
                gl *= std::cos(a);
                gr *= std::sin(a);
            }
            m_jobs.push_back(Job{c.stream->voice, i, c.attachment, c.restart, gl, gr});
            c.restart = false;
        }
        m_mixed += frames;
    }

    const size_t samples = static_cast<size_t>(frames) * 2;
    if (m_mix.size() < samples) {
        m_mix.resize(samples);
        m_voice.resize(samples);
    }
    std::fill(m_mix.begin(), m_mix.begin() + static_cast<std::ptrdiff_t>(samples), 0.0f);
    for (Job& job : m_jobs) {
        std::lock_guard<std::mutex> inUse(job.voice->InUse());
        if (job.restart && !job.voice->Restart())
            continue;
        int n = job.voice->Take(m_voice.data(), frames);
        job.frames = n;
        for (int i = 0; i < n; ++i) {
            m_mix[2 * i] += m_voice[2 * i] * job.gainLeft;
            m_mix[2 * i + 1] += m_voice[2 * i + 1] * job.gainRight;
        }
    }
    for (size_t i = 0; i < samples; ++i) {
        float v = m_mix[i] * 32768.0f;
        v = v > 32767.0f ? 32767.0f : (v < -32768.0f ? -32768.0f : v);
        out[i] = static_cast<int16_t>(std::lrint(v));
    }

    std::lock_guard<std::mutex> g(m_lock);
    for (Job& job : m_jobs) {
        if (job.channel >= m_channels.size())
            continue;
        Channel& c = m_channels[job.channel];
        // The channel may have been stopped, or given another song, meanwhile.
        if (c.attachment != job.attachment || !c.stream || job.frames >= frames)
            continue;
        c.ended = true;
        c.endFrame = start + job.frames;
        c.stream->needsRewind = true;
    }
    m_jobs.clear();
}

}  // namespace zaudio
