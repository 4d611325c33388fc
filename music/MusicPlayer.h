// MusicPlayer: the song-list state machine of a saver run (start-up, the 2000 ms gap
// between songs, skipping, pausing, shut-down), written against small interfaces so that
// it runs the same natively under a test double and in the program over fmod.dll. It
// borrows the song list, the music bundle and the PlayMusic flag from its owner; streams it
// opens are closed by it. During a run the next song is opened (file, headers, first
// decode) on a worker, so that Update, called once per frame, never waits for a file.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/fmod.h"

class Bundle;
class Playlist;

// The FSOUND functions the player calls, in the library's argument order.
class SoundApi {
public:
    virtual ~SoundApi() = default;
    virtual bool SetBufferSize(int milliseconds) = 0;
    virtual bool SetDriver(int driver) = 0;
    virtual bool Init(int mixRate, int maxSoftwareChannels, unsigned flags) = 0;
    virtual int GetError() = 0;
    virtual FSOUND_STREAM* StreamOpen(const char* nameOrData, unsigned mode, int offset, int length) = 0;
    virtual int StreamPlay(int channel, FSOUND_STREAM* stream) = 0;
    virtual bool SetPan(int channel, int pan) = 0;
    virtual bool SetVolume(int channel, int volume) = 0;
    virtual bool IsPlaying(int channel) = 0;
    virtual bool SetPaused(int channel, bool paused) = 0;
    virtual bool StreamStop(FSOUND_STREAM* stream) = 0;
    virtual bool StreamClose(FSOUND_STREAM* stream) = 0;
    virtual void Close() = 0;
};

// What the player needs from the program around it.
class MusicHost {
public:
    virtual ~MusicHost() = default;
    // The error box of a failed FSOUND_Init (caption "ERROR in initSound()").
    virtual void ShowInitError(const std::string& text) = 0;
    virtual void SetCriticalError(int value) = 0;
    // The user's documents folder without a separator at the end; empty when there is none.
    virtual std::string DocumentsFolder() = 0;
    // Names of the files in folder matching a pattern like "*.ogg", in listing order.
    virtual std::vector<std::string> ListFiles(const std::string& folder, const char* pattern) = 0;
    // Names of the subfolders of folder, in listing order.
    virtual std::vector<std::string> ListFolders(const std::string& folder) = 0;
    virtual uint32_t TimeSeconds() = 0;
};

// Where the player opens the next song: one job at a time, away from the caller.
class SongOpenWorker {
public:
    virtual ~SongOpenWorker() = default;
    // Starts the job; any earlier one has finished (Finished was true, or Wait returned).
    virtual void Start(std::function<void()> job) = 0;
    // The job has run to its end; what it wrote is visible to the caller.
    virtual bool Finished() = 0;
    // Blocks until the job has ended (start-up and shut-down only, never a frame).
    virtual void Wait() = 0;
};

// A thread per job: the program's worker.
class ThreadSongOpenWorker : public SongOpenWorker {
public:
    ~ThreadSongOpenWorker() override { Wait(); }
    void Start(std::function<void()> job) override;
    bool Finished() override { return m_finished.load(); }
    void Wait() override;

private:
    std::thread m_thread;
    std::atomic<bool> m_finished{true};
};

// Runs the job at once on the caller's thread (tests that step through every call).
class InlineSongOpenWorker : public SongOpenWorker {
public:
    void Start(std::function<void()> job) override { job(); }
    bool Finished() override { return true; }
    void Wait() override {}
};

// The settings a run starts with.
struct MusicSettings {
    bool shuffleMusic = true;
    bool defaultMusic = true;
    bool customMusic = false;
    int musicVolume = 255;
    std::string customPlaylist;  // the user's playlist file
    std::string musicBundle;     // music.bdl in the program's folder
};

// Fills `list` by searching folder and its subfolders for sound files (see the .cpp);
// true when at least one file was found.
bool SearchSongs(MusicHost& host, const std::string& folder, Playlist& list);
// A song entry the player attempts: extension .wav, .ogg, .wma or .asf in any case.
bool IsAcceptedSong(const std::string& entry);
// The text of an FMOD error code; never null.
const char* FmodErrorText(int code);

class MusicPlayer {
public:
    static const int kGapLength = 2000;

    // playMusic is the PlayMusic setting: read before every operation and switched off
    // (set to 0) by the player when playback fails for good and at shut-down. Songs are
    // opened during the run through `worker` (not owned); without one the player uses a
    // thread of its own.
    MusicPlayer(SoundApi& sound, MusicHost& host, Playlist& list, Bundle& bundle, int32_t& playMusic,
                SongOpenWorker* worker = nullptr);
    ~MusicPlayer();
    MusicPlayer(const MusicPlayer&) = delete;
    MusicPlayer& operator=(const MusicPlayer&) = delete;

    bool Init(const MusicSettings& settings);
    void Update(double elapsedMilliseconds);
    void Shutdown();
    void NextSong() { Skip(+1); }
    void PreviousSong() { Skip(-1); }
    void TogglePause();
    void ResumeMusic();

    bool HasStream() const { return m_stream != nullptr; }
    int CurrentIndex() const { return m_index; }
    int Channel() const { return m_channel; }
    bool InGap() const { return m_inGap; }
    int GapTimer() const { return m_gapTimer; }
    bool Paused() const { return m_paused; }
    // The next song is being opened (or is open and waits for the gap's end).
    bool Opening() const { return m_opening; }

private:
    bool InitSongs(const MusicSettings& settings);
    void AppendBundleSongs();
    bool EnsureBundle();
    // Opens a song entry (see the .cpp); null when it cannot be opened. Runs on the worker
    // during a run: it touches only the bundle and the sound functions.
    FSOUND_STREAM* OpenStream(const std::string& entry);
    void StartSong();
    void Skip(int step);
    void StartOpening();
    void OpenNext(int32_t from, int32_t step);
    void FinishOpening();
    void DropOpening();
    bool FailNoSongs();

    SoundApi& m_sound;
    MusicHost& m_host;
    Playlist& m_list;
    Bundle& m_bundle;
    int32_t& m_playMusic;
    std::string m_bundlePath;
    int m_volume = 255;

    FSOUND_STREAM* m_stream = nullptr;
    int32_t m_channel = 0;
    int32_t m_index = 0;
    bool m_inGap = false;
    int32_t m_gapTimer = 0;
    int32_t m_step = +1;
    bool m_paused = false;

    // The song being opened: the job searches from the current index in m_jobStep's
    // direction and leaves its result here for the frame that takes it.
    struct OpenResult {
        int32_t index = 0;
        FSOUND_STREAM* stream = nullptr;
        bool threw = false;
    };
    std::unique_ptr<SongOpenWorker> m_ownWorker;
    SongOpenWorker* m_worker;
    bool m_opening = false;
    int32_t m_jobStep = +1;
    OpenResult m_result;
    // The gap ended while the song was still being opened: it counts as started, so a skip
    // meanwhile skips it (as it would a song that had started on time).
    bool m_due = false;
    bool m_skipWhileDue = false;
    int32_t m_dueSkipStep = +1;
};
