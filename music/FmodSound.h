// The sound device of the music player: the FSOUND functions of fmod.dll behind SoundApi.
#pragma once

#include "audio/fmod.h"
#include "music/MusicPlayer.h"

class FmodSound : public SoundApi {
public:
    bool SetBufferSize(int ms) override { return FSOUND_SetBufferSize(ms) != 0; }
    bool SetDriver(int driver) override { return FSOUND_SetDriver(driver) != 0; }
    bool Init(int rate, int channels, unsigned flags) override { return FSOUND_Init(rate, channels, flags) != 0; }
    int GetError() override { return FSOUND_GetError(); }
    FSOUND_STREAM* StreamOpen(const char* nameOrData, unsigned mode, int offset, int length) override {
        return FSOUND_Stream_Open(nameOrData, mode, offset, length);
    }
    int StreamPlay(int channel, FSOUND_STREAM* stream) override { return FSOUND_Stream_Play(channel, stream); }
    bool SetPan(int channel, int pan) override { return FSOUND_SetPan(channel, pan) != 0; }
    bool SetVolume(int channel, int volume) override { return FSOUND_SetVolume(channel, volume) != 0; }
    bool IsPlaying(int channel) override { return FSOUND_IsPlaying(channel) != 0; }
    bool SetPaused(int channel, bool paused) override { return FSOUND_SetPaused(channel, paused ? 1 : 0) != 0; }
    bool StreamStop(FSOUND_STREAM* stream) override { return FSOUND_Stream_Stop(stream) != 0; }
    bool StreamClose(FSOUND_STREAM* stream) override { return FSOUND_Stream_Close(stream) != 0; }
    void Close() override { FSOUND_Close(); }
};
