// The exports of fmod.dll: each FSOUND function forwards to the one process-wide
// SoundSystem (waveOut output, Windows Media reader when the system has one). No exception
// leaves an export: a failure becomes the function's failure result and an error code.
// The SoundSystem is never destroyed: callers end playback with FSOUND_Close, and at
// process exit its thread is already gone.
#include "audio/SoundSystem.h"
#include "audio/WaveOutDevice.h"
#include "audio/WmaDecoder.h"
#include "audio/fmod.h"

#include <atomic>
#include <new>

namespace {

zaudio::SoundSystem* TheSystem()
{
    static zaudio::SoundSystem* system = new zaudio::SoundSystem(zaudio::OpenWaveOut, zaudio::OpenWindowsMedia);
    return system;
}

// Set when the SoundSystem itself could not be made or a call ran out of memory. Atomic:
// the player opens songs on a worker while its main thread makes other calls.
std::atomic<int> g_outOfBand{FMOD_ERR_NONE};

template <class R, class F> R Guarded(R onFailure, F f)
{
    try {
        g_outOfBand = FMOD_ERR_NONE;
        return f(*TheSystem());
    } catch (...) {
        g_outOfBand = FMOD_ERR_MEMORY;
        return onFailure;
    }
}

signed char Flag(bool b) { return b ? 1 : 0; }

}  // namespace

extern "C" {

F_EXPORT signed char F_API FSOUND_SetBufferSize(int lenms)
{
    return Guarded<signed char>(0, [&](zaudio::SoundSystem& s) { return Flag(s.SetBufferSize(lenms)); });
}

F_EXPORT signed char F_API FSOUND_SetDriver(int driver)
{
    return Guarded<signed char>(0, [&](zaudio::SoundSystem& s) { return Flag(s.SetDriver(driver)); });
}

F_EXPORT signed char F_API FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags)
{
    return Guarded<signed char>(0, [&](zaudio::SoundSystem& s) {
        return Flag(s.Init(mixrate, maxsoftwarechannels, flags));
    });
}

F_EXPORT void F_API FSOUND_Close(void)
{
    Guarded<int>(0, [](zaudio::SoundSystem& s) {
        s.Close();
        return 0;
    });
}

F_EXPORT int F_API FSOUND_GetError(void)
{
    if (g_outOfBand != FMOD_ERR_NONE)
        return g_outOfBand;
    return Guarded<int>(FMOD_ERR_MEMORY, [](zaudio::SoundSystem& s) { return s.GetError(); });
}

F_EXPORT FSOUND_STREAM* F_API FSOUND_Stream_Open(const char* name_or_data, unsigned int mode, int offset, int length)
{
    return Guarded<FSOUND_STREAM*>(nullptr, [&](zaudio::SoundSystem& s) {
        return s.StreamOpen(name_or_data, mode, offset, length);
    });
}

F_EXPORT int F_API FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream)
{
    return Guarded<int>(-1, [&](zaudio::SoundSystem& s) { return s.StreamPlay(channel, stream); });
}

F_EXPORT signed char F_API FSOUND_Stream_Stop(FSOUND_STREAM* stream)
{
    return Guarded<signed char>(0, [&](zaudio::SoundSystem& s) { return Flag(s.StreamStop(stream)); });
}

F_EXPORT signed char F_API FSOUND_Stream_Close(FSOUND_STREAM* stream)
{
    return Guarded<signed char>(0, [&](zaudio::SoundSystem& s) { return Flag(s.StreamClose(stream)); });
}

F_EXPORT signed char F_API FSOUND_SetPan(int channel, int pan)
{
    return Guarded<signed char>(0, [&](zaudio::SoundSystem& s) { return Flag(s.SetPan(channel, pan)); });
}

F_EXPORT signed char F_API FSOUND_SetVolume(int channel, int vol)
{
    return Guarded<signed char>(0, [&](zaudio::SoundSystem& s) { return Flag(s.SetVolume(channel, vol)); });
}

F_EXPORT signed char F_API FSOUND_SetPaused(int channel, signed char paused)
{
    return Guarded<signed char>(0, [&](zaudio::SoundSystem& s) { return Flag(s.SetPaused(channel, paused != 0)); });
}

F_EXPORT signed char F_API FSOUND_IsPlaying(int channel)
{
    return Guarded<signed char>(0, [&](zaudio::SoundSystem& s) { return Flag(s.IsPlaying(channel)); });
}

// Not part of FMOD 3: the screen saver looks these up at run time to close the output
// while the machine is suspended and to open it again on resume.
F_EXPORT signed char F_API FSOUND_SuspendOutput(void)
{
    return Guarded<signed char>(0, [](zaudio::SoundSystem& s) {
        s.SuspendOutput();
        return Flag(true);
    });
}

F_EXPORT signed char F_API FSOUND_ResumeOutput(void)
{
    return Guarded<signed char>(0, [](zaudio::SoundSystem& s) { return Flag(s.ResumeOutput()); });
}

}  // extern "C"
