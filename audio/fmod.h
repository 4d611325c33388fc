// The sound library interface the screen saver uses: the FSOUND functions exported by name
// from our fmod.dll (stdcall, undecorated), their constants and error codes. Streams handed
// out by FSOUND_Stream_Open belong to the library; the caller ends them with FSOUND_Stream_Close.
#ifndef ZEPHYL_AUDIO_FMOD_H
#define ZEPHYL_AUDIO_FMOD_H

#if defined(_WIN32)
#define F_API __stdcall
#if defined(FMOD_DLL_EXPORTS)
#define F_EXPORT __declspec(dllexport)
#else
#define F_EXPORT __declspec(dllimport)
#endif
#else
// The native build only compiles code against these declarations (test doubles).
#define F_API
#define F_EXPORT
#endif

typedef struct FSOUND_STREAM FSOUND_STREAM;

// Channel and pan selectors.
#define FSOUND_FREE -1
#define FSOUND_UNMANAGED -2
#define FSOUND_ALL -3
#define FSOUND_STEREOPAN -1

// Mode flags of FSOUND_Stream_Open.
#define FSOUND_LOOP_OFF 0x00000001
#define FSOUND_8BITS 0x00000008
#define FSOUND_16BITS 0x00000010
#define FSOUND_MONO 0x00000020
#define FSOUND_STEREO 0x00000040
#define FSOUND_UNSIGNED 0x00000080
#define FSOUND_SIGNED 0x00000100
#define FSOUND_2D 0x00002000
#define FSOUND_LOADMEMORY 0x00008000
#define FSOUND_NORMAL (FSOUND_16BITS | FSOUND_SIGNED | FSOUND_MONO)

// Codes returned by FSOUND_GetError.
enum FMOD_ERRORS {
    FMOD_ERR_NONE = 0,
    FMOD_ERR_BUSY = 1,
    FMOD_ERR_UNINITIALIZED = 2,
    FMOD_ERR_INIT = 3,
    FMOD_ERR_ALLOCATED = 4,
    FMOD_ERR_PLAY = 5,
    FMOD_ERR_OUTPUT_FORMAT = 6,
    FMOD_ERR_COOPERATIVELEVEL = 7,
    FMOD_ERR_CREATEBUFFER = 8,
    FMOD_ERR_FILE_NOTFOUND = 9,
    FMOD_ERR_FILE_FORMAT = 10,
    FMOD_ERR_FILE_BAD = 11,
    FMOD_ERR_MEMORY = 12,
    FMOD_ERR_VERSION = 13,
    FMOD_ERR_INVALID_PARAM = 14,
    FMOD_ERR_NO_EAX = 15,
    FMOD_ERR_CHANNEL_ALLOC = 16,
    FMOD_ERR_RECORD = 17,
    FMOD_ERR_MEDIAPLAYER = 18
};

#ifdef __cplusplus
extern "C" {
#endif

F_EXPORT signed char F_API FSOUND_SetBufferSize(int lenms);
F_EXPORT signed char F_API FSOUND_SetDriver(int driver);
F_EXPORT signed char F_API FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags);
F_EXPORT void F_API FSOUND_Close(void);
F_EXPORT int F_API FSOUND_GetError(void);

// name_or_data is a file name, or with FSOUND_LOADMEMORY the address of the file's bytes
// (length of them in 'length'; they must stay valid until the stream is closed).
F_EXPORT FSOUND_STREAM* F_API FSOUND_Stream_Open(const char* name_or_data, unsigned int mode,
                                                 int offset, int length);
F_EXPORT int F_API FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
F_EXPORT signed char F_API FSOUND_Stream_Stop(FSOUND_STREAM* stream);
F_EXPORT signed char F_API FSOUND_Stream_Close(FSOUND_STREAM* stream);

F_EXPORT signed char F_API FSOUND_SetPan(int channel, int pan);
F_EXPORT signed char F_API FSOUND_SetVolume(int channel, int vol);
F_EXPORT signed char F_API FSOUND_SetPaused(int channel, signed char paused);
F_EXPORT signed char F_API FSOUND_IsPlaying(int channel);

#ifdef __cplusplus
}
#endif

#endif
