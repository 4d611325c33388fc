// WaveOutDevice: the waveOut handle, its four blocks and the thread that mixes into each
// block the device hands back. The device owns all of them and stops them in its destructor.
// Pausing the device (waveOutPause) holds the sound at once with nothing lost; resetting it
// (waveOutReset) hands every queued block back unplayed, and the thread refills them.
#include "audio/WaveOutDevice.h"

#include <windows.h>
#include <mmsystem.h>

#include <vector>

namespace zaudio {

namespace {

const int kBlocks = 4;
const int kMinBlockFrames = 256;

class WaveOutDevice : public OutputDevice {
public:
    WaveOutDevice(MixTarget& target) : m_target(target) {}
    ~WaveOutDevice() override;
    int Open(const OutputConfig& config);

    bool CanHold() const override { return true; }
    void Hold(bool held) override;
    void Drop() override;

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    void Fill(WAVEHDR& h);

    MixTarget& m_target;
    HWAVEOUT m_wave = nullptr;
    HANDLE m_event = nullptr;
    HANDLE m_thread = nullptr;
    volatile LONG m_stop = 0;
    int m_blockFrames = 0;
    std::vector<int16_t> m_memory;
    WAVEHDR m_headers[kBlocks] = {};
    bool m_prepared[kBlocks] = {};
    bool m_held = false;
};

int ErrorFromWaveOut(MMRESULT r)
{
    switch (r) {
    case MMSYSERR_ALLOCATED:
        return FMOD_ERR_ALLOCATED;
    case WAVERR_BADFORMAT:
        return FMOD_ERR_OUTPUT_FORMAT;
    case MMSYSERR_NOMEM:
        return FMOD_ERR_MEMORY;
    default:
        return FMOD_ERR_INIT;
    }
}

int WaveOutDevice::Open(const OutputConfig& config)
{
    UINT devices = waveOutGetNumDevs();
    if (devices == 0)
        return FMOD_ERR_INIT;
    UINT id = WAVE_MAPPER;
    if (config.driver > 0) {
        if (static_cast<UINT>(config.driver) >= devices)
            return FMOD_ERR_INIT;
        id = static_cast<UINT>(config.driver);
    }

    WAVEFORMATEX fmt = {};
    fmt.wFormatTag = WAVE_FORMAT_PCM;
    fmt.nChannels = 2;
    fmt.nSamplesPerSec = static_cast<DWORD>(config.rate);
    fmt.wBitsPerSample = 16;
    fmt.nBlockAlign = 4;
    fmt.nAvgBytesPerSec = fmt.nSamplesPerSec * fmt.nBlockAlign;

    m_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!m_event)
        return FMOD_ERR_INIT;
    MMRESULT r = waveOutOpen(&m_wave, id, &fmt, reinterpret_cast<DWORD_PTR>(m_event), 0, CALLBACK_EVENT);
    if (r != MMSYSERR_NOERROR) {
        m_wave = nullptr;
        return ErrorFromWaveOut(r);
    }

    m_blockFrames = static_cast<int>(static_cast<long long>(config.rate) * config.bufferMs / 1000 / kBlocks);
    if (m_blockFrames < kMinBlockFrames)
        m_blockFrames = kMinBlockFrames;
    m_memory.assign(static_cast<size_t>(m_blockFrames) * 2 * kBlocks, 0);
    for (int i = 0; i < kBlocks; ++i) {
        WAVEHDR& h = m_headers[i];
        h.lpData = reinterpret_cast<LPSTR>(m_memory.data() + static_cast<size_t>(i) * m_blockFrames * 2);
        h.dwBufferLength = static_cast<DWORD>(m_blockFrames) * 4;
        if (waveOutPrepareHeader(m_wave, &h, sizeof h) != MMSYSERR_NOERROR)
            return FMOD_ERR_CREATEBUFFER;
        m_prepared[i] = true;
    }
    for (int i = 0; i < kBlocks; ++i)
        Fill(m_headers[i]);

    m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    if (!m_thread)
        return FMOD_ERR_INIT;
    // Mixing late is heard as a click; it is a small, bounded amount of work per block.
    SetThreadPriority(m_thread, THREAD_PRIORITY_HIGHEST);
    return FMOD_ERR_NONE;
}

void WaveOutDevice::Fill(WAVEHDR& h)
{
    m_target.Render(reinterpret_cast<int16_t*>(h.lpData), m_blockFrames);
    h.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    waveOutWrite(m_wave, &h, sizeof h);
}

void WaveOutDevice::Hold(bool held)
{
    m_held = held;
    if (held)
        waveOutPause(m_wave);
    else
        waveOutRestart(m_wave);
}

void WaveOutDevice::Drop()
{
    // The blocks come back marked done, in order, and the thread counts them as played and
    // refills them; a block it is filling meanwhile is written after the reset and heard.
    waveOutReset(m_wave);
    if (m_held)
        waveOutPause(m_wave);
}

DWORD WINAPI WaveOutDevice::ThreadMain(void* self)
{
    try {
        static_cast<WaveOutDevice*>(self)->Run();
    } catch (...) {
        // Out of memory while mixing: the output falls silent rather than taking the
        // program down.
    }
    return 0;
}

void WaveOutDevice::Run()
{
    int next = 0;
    while (!InterlockedCompareExchange(&m_stop, 0, 0)) {
        WaitForSingleObject(m_event, 50);
        // Blocks come back in the order they were written.
        while (!InterlockedCompareExchange(&m_stop, 0, 0) && (m_headers[next].dwFlags & WHDR_DONE)) {
            m_target.Played(m_blockFrames);
            Fill(m_headers[next]);
            next = (next + 1) % kBlocks;
        }
    }
}

WaveOutDevice::~WaveOutDevice()
{
    InterlockedExchange(&m_stop, 1);
    if (m_event)
        SetEvent(m_event);
    if (m_thread) {
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
    if (m_wave) {
        waveOutReset(m_wave);
        for (int i = 0; i < kBlocks; ++i)
            if (m_prepared[i])
                waveOutUnprepareHeader(m_wave, &m_headers[i], sizeof m_headers[i]);
        waveOutClose(m_wave);
    }
    if (m_event)
        CloseHandle(m_event);
}

}  // namespace

std::unique_ptr<OutputDevice> OpenWaveOut(const OutputConfig& config, MixTarget& target, int& error)
{
    std::unique_ptr<WaveOutDevice> device(new WaveOutDevice(target));
    error = device->Open(config);
    if (error != FMOD_ERR_NONE)
        return nullptr;
    return std::unique_ptr<OutputDevice>(std::move(device));
}

}  // namespace zaudio
