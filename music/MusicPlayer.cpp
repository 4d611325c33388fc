// The music player's state machine: start-up, song list, gap between songs, skipping and
// pausing, shut-down. Every log line of the player is written here.
#include "music/MusicPlayer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "content/Bundle.h"
#include "diag/Log.h"
#include "core/Playlist.h"

namespace {

const char* const kMusicCategory = "music";
const char kBundleSongMark = '?';
const char* const kSongPatterns[] = {"*.wav", "*.ogg", "*.wma", "*.asf"};
const char* const kAcceptedExtensions[] = {".wav", ".ogg", ".wma", ".asf"};
// Folder links can form cycles; no real music collection is nested this deep.
const int kMaxSearchDepth = 32;
// Two or more links back up the tree multiply the folders seen at every level: the whole
// search stops after this many folders, far more than a real collection holds.
const int kMaxSearchFolders = 20000;

const int kBufferMilliseconds = 250;
const int kMixRate = 44100;
const int kSoftwareChannels = 1;
const int kSavedPlaylistType = 1;  // M3U
const int kShufflePasses = 50;
const unsigned kFileStreamMode = FSOUND_NORMAL | FSOUND_2D;
const unsigned kMemoryStreamMode = FSOUND_NORMAL | FSOUND_2D | FSOUND_LOADMEMORY;

const char* const kNoSongs = "Unable to open any valid songs!";
const char* const kInitExit = "Successfully exiting initSound()";

const char* const kFmodErrors[] = {
    "No errors",
    "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
    "This command failed because FSOUND_Init was not called",
    "Error initializing output device.",
    "The output device is already in use and cannot be reused.",
    "Playing the sound failed.",
    "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
    "Error setting cooperative level for hardware.",
    "Error creating hardware sound buffer.",
    "File not found",
    "Unknown file format",
    "Error loading file",
    "Not enough memory ",
    "The version number of this file format is not supported",
    "An invalid parameter was passed to this function",
    "Tried to use an EAX command on a non EAX enabled channel or output.",
    "Failed to allocate a new channel",
    "Recording not supported on this device",
    "Required Mediaplayer codec is not installed",
};

bool SearchFolder(MusicHost& host, const std::string& folder, Playlist& list, int depth, int& budget) {
    if (budget <= 0) return false;
    --budget;
    std::vector<std::string> here;
    for (const char* pattern : kSongPatterns)
        for (const std::string& name : host.ListFiles(folder, pattern)) here.push_back(folder + "\\" + name);
    bool found = false;
    if (depth < kMaxSearchDepth) {
        for (const std::string& sub : host.ListFolders(folder))
            if (!sub.empty() && sub[0] != '.' && SearchFolder(host, folder + "\\" + sub, list, depth + 1, budget))
                found = true;
    }
    // A subfolder's files come before those of its parent.
    list.AddEntries(here);
    return found || !here.empty();
}

}  // namespace

const char* FmodErrorText(int code) {
    if (code >= 0 && code < int(sizeof kFmodErrors / sizeof kFmodErrors[0])) return kFmodErrors[code];
    return "Unknown error";
}

bool IsAcceptedSong(const std::string& entry) {
    size_t slash = entry.find_last_of("\\/");
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = entry.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return false;
    std::string ext;
    for (size_t i = dot; i < entry.size(); ++i) {
        char c = entry[i];
        ext += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    for (const char* accepted : kAcceptedExtensions)
        if (ext == accepted) return true;
    return false;
}

bool SearchSongs(MusicHost& host, const std::string& folder, Playlist& list) {
    if (folder.empty()) return false;
    int budget = kMaxSearchFolders;
    return SearchFolder(host, folder, list, 0, budget);
}

void ThreadSongOpenWorker::Start(std::function<void()> job) {
    Wait();
    m_finished = false;
    try {
        m_thread = std::thread([this, job] {
            job();
            m_finished = true;
        });
    } catch (...) {
        m_finished = true;
        throw;
    }
}

void ThreadSongOpenWorker::Wait() {
    if (m_thread.joinable()) m_thread.join();
}

MusicPlayer::MusicPlayer(SoundApi& sound, MusicHost& host, Playlist& list, Bundle& bundle, int32_t& playMusic,
                         SongOpenWorker* worker)
    : m_sound(sound), m_host(host), m_list(list), m_bundle(bundle), m_playMusic(playMusic), m_worker(worker) {
    if (!m_worker) {
        m_ownWorker.reset(new ThreadSongOpenWorker());
        m_worker = m_ownWorker.get();
    }
}

// The worker may be reading the list and the bundle: it ends before they may go.
MusicPlayer::~MusicPlayer() { m_worker->Wait(); }

bool MusicPlayer::Init(const MusicSettings& settings) {
    ZLOG_FUNCTION("initSound");
    try {
        DropOpening();
        m_bundlePath = settings.musicBundle;
        m_volume = settings.musicVolume;

        ZLOG(LogInfo, "Setting sound output settings");
        m_sound.SetBufferSize(kBufferMilliseconds);
        m_sound.SetDriver(0);

        ZLOG(LogInfo, "Initializing with FSUOND_Init(44100,1,0)");
        if (!m_sound.Init(kMixRate, kSoftwareChannels, 0)) {
            m_host.ShowInitError(FmodErrorText(m_sound.GetError()));
            m_playMusic = 0;
            ZLOG(LogError, "FSOUND_Init() returned an error!");
            ZLOG_RETURN(false);
        }
        m_sound.SetVolume(FSOUND_ALL, m_volume);
        m_stream = nullptr;

        m_list.Clear();
        if (!settings.customMusic && !settings.defaultMusic) {
            // Nothing to play and nothing to say: the run stays silent.
            ZLOG(LogInfo, kInitExit);
            ZLOG_RETURN(true);
        }
        if (!InitSongs(settings)) ZLOG_RETURN(FailNoSongs());

        if (settings.shuffleMusic) {
            ZLOG(LogInfo, "Shuffling music list.");
            m_list.Shuffle(m_host.TimeSeconds(), kShufflePasses);
        }

        for (int i = 0; i < m_list.Count() && !m_stream; ++i) {
            const std::string& entry = m_list.Entry(i);
            if (!IsAcceptedSong(entry)) continue;
            ZLOG(LogInfo, "Attempting to open file \"" << entry << "\"");
            m_index = i;
            m_stream = OpenStream(entry);
        }
        if (!m_stream) ZLOG_RETURN(FailNoSongs());

        StartSong();
        ZLOG(LogInfo, kInitExit);
        ZLOG_RETURN(true);
    } catch (...) {
        ZLOG(LogCritical, "Exception caught in initSound()!");
        m_playMusic = 0;
        m_host.SetCriticalError(1);
        ZLOG(LogInfo, kInitExit);
        ZLOG_RETURN(true);
    }
}

// The song list from the user's playlist and/or the music bundle; false when it is empty.
bool MusicPlayer::InitSongs(const MusicSettings& settings) {
    if (settings.customMusic) {
        ZLOG(LogInfo, "Reading playlist");
        m_list.Load(settings.customPlaylist);  // a missing file leaves the list empty
        if (settings.defaultMusic) AppendBundleSongs();
        if (m_list.Count() == 0) {
            if (!SearchSongs(m_host, m_host.DocumentsFolder(), m_list)) return false;
            m_list.Save(settings.customPlaylist, kSavedPlaylistType);
        }
    } else {
        AppendBundleSongs();
    }
    return m_list.Count() > 0;
}

bool MusicPlayer::EnsureBundle() {
    return m_bundle.IsOpen() || m_bundle.Open(m_bundlePath);
}

void MusicPlayer::AppendBundleSongs() {
    if (!EnsureBundle()) return;
    BundleCategory* music = m_bundle.FindCategory(kMusicCategory);
    if (!music || music->EntryCount() == 0) return;
    std::vector<std::string> songs;
    for (size_t i = 0; i < music->EntryCount(); ++i)
        songs.push_back(std::string(1, kBundleSongMark) + music->Entry(i)->Name());
    m_list.AddEntries(songs);
}

bool MusicPlayer::FailNoSongs() {
    ZLOG(LogError, kNoSongs);
    m_playMusic = 0;
    Shutdown();
    return false;
}

FSOUND_STREAM* MusicPlayer::OpenStream(const std::string& entry) {
    if (!entry.empty() && entry[0] == kBundleSongMark) {
        if (!EnsureBundle()) return nullptr;
        BundleCategory* music = m_bundle.FindCategory(kMusicCategory);
        BundleEntry* song = music ? music->FindEntry(entry.c_str() + 1) : nullptr;
        // The bundle keeps the bytes cached for as long as it is open, so they outlive
        // the stream that plays from them.
        const uint8_t* data = song ? music->ReadEntry(song) : nullptr;
        if (!data || song->Size() > uint32_t(std::numeric_limits<int>::max())) return nullptr;
        return m_sound.StreamOpen(reinterpret_cast<const char*>(data), kMemoryStreamMode, 0, int(song->Size()));
    }
    return m_sound.StreamOpen(entry.c_str(), kFileStreamMode, 0, 0);
}

void MusicPlayer::StartSong() {
    m_channel = m_sound.StreamPlay(FSOUND_FREE, m_stream);
    m_sound.SetPan(m_channel, FSOUND_STEREOPAN);
    m_sound.SetVolume(FSOUND_ALL, m_volume);
}

void MusicPlayer::Update(double elapsedMilliseconds) {
    try {
        if (!m_playMusic || m_list.Count() == 0) return;
        if (!m_inGap) {
            if (m_sound.IsPlaying(m_channel) || m_paused) return;
            // The song has ended; the next one opens during the gap and starts after it.
            if (m_stream) {
                m_sound.StreamStop(m_stream);
                m_sound.StreamClose(m_stream);
            }
            m_stream = nullptr;
            m_inGap = true;
            m_gapTimer = 0;
            m_step = +1;
            StartOpening();
            return;
        }
        // After a skip, or when the last attempt threw.
        if (!m_opening) StartOpening();
        if (m_gapTimer < kGapLength) {
            // Truncated after the addition: a 16.7 ms frame credits 16 ms.
            double sum = double(m_gapTimer) + (std::isfinite(elapsedMilliseconds) && elapsedMilliseconds > 0
                                                   ? elapsedMilliseconds : 0.0);
            m_gapTimer = int32_t(std::min(sum, 1e9));
            return;
        }
        if (!m_opening) return;
        if (!m_worker->Finished()) {
            // Not ready yet: the frames go on, and a later pass starts it.
            m_due = true;
            return;
        }
        FinishOpening();
    } catch (...) {
        ZLOG(LogError, "Exception caught in UpdateSound!");
    }
}

void MusicPlayer::StartOpening() {
    m_result = OpenResult();
    m_result.index = m_index;
    m_jobStep = m_step;
    m_due = false;
    m_skipWhileDue = false;
    const int32_t from = m_index, step = m_step;
    m_worker->Start([this, from, step] { OpenNext(from, step); });
    m_opening = true;
}

// The worker's job: the first entry of an accepted type that opens, stepping from `from`
// once round the list; no log line is written for these attempts.
void MusicPlayer::OpenNext(int32_t from, int32_t step) {
    OpenResult result;
    result.index = from;
    try {
        const int count = m_list.Count();
        int32_t index = from;
        for (int tries = 0; tries < count && !result.stream; ++tries) {
            if (index + step < 0) index = count;  // back from the first entry reaches the last
            index = ((index + step) % count + count) % count;
            result.index = index;
            const std::string& entry = m_list.Entry(index);
            if (IsAcceptedSong(entry)) result.stream = OpenStream(entry);
        }
    } catch (...) {
        // The state stays as it was, so the next pass tries the same songs again.
        if (result.stream) m_sound.StreamClose(result.stream);
        result = OpenResult();
        result.index = from;
        result.threw = true;
    }
    m_result = result;
}

void MusicPlayer::FinishOpening() {
    m_worker->Wait();
    m_opening = false;
    const OpenResult result = m_result;
    m_result = OpenResult();
    const bool skipped = m_skipWhileDue;
    m_due = false;
    m_skipWhileDue = false;
    if (result.threw) {
        ZLOG(LogError, "Exception caught in UpdateSound!");
        return;
    }
    if (m_jobStep != m_step) {
        // A skip the other way during the gap: this song is not the one wanted.
        if (result.stream) m_sound.StreamClose(result.stream);
        return;
    }
    m_index = result.index;
    if (!result.stream) {
        m_playMusic = 0;
        try {
            Shutdown();
        } catch (...) {
            ZLOG(LogCritical, "Caught an exception while shutting down sound!");
        }
        return;
    }
    if (skipped) {
        m_sound.StreamClose(result.stream);
        m_inGap = true;
        m_gapTimer = kGapLength;
        m_step = m_dueSkipStep;
        return;
    }
    m_stream = result.stream;
    m_inGap = false;
    m_gapTimer = 0;
    m_step = +1;
    StartSong();
}

// Start-up and shut-down: waits for a song being opened and closes it unheard.
void MusicPlayer::DropOpening() {
    if (!m_opening) return;
    m_worker->Wait();
    m_opening = false;
    if (m_result.stream) m_sound.StreamClose(m_result.stream);
    m_result = OpenResult();
    m_due = false;
    m_skipWhileDue = false;
}

void MusicPlayer::Skip(int step) {
    if (!m_playMusic) return;
    if (m_stream) {
        m_sound.StreamStop(m_stream);
        m_sound.StreamClose(m_stream);
    }
    m_stream = nullptr;
    if (m_due) {
        // The song being opened counts as started: skip it once it is there.
        m_skipWhileDue = true;
        m_dueSkipStep = step;
        return;
    }
    m_inGap = true;
    m_gapTimer = kGapLength;  // the next Update starts a song without waiting
    m_step = step;
    // Opening starts here, in the window procedure, so that the song is usually ready by
    // the Update of the same main-loop pass, as soon as it was when it opened there.
    if (!m_opening && m_list.Count() > 0) StartOpening();
}

void MusicPlayer::TogglePause() {
    if (!m_playMusic) return;
    m_paused = !m_paused;
    m_sound.SetPaused(m_channel, m_paused);
}

void MusicPlayer::ResumeMusic() {
    if (!m_playMusic || !m_paused) return;
    m_paused = false;
    m_sound.SetPaused(m_channel, false);
}

void MusicPlayer::Shutdown() {
    ZLOG_FUNCTION("ShutdownSound");
    m_playMusic = 0;
    DropOpening();
    if (m_stream) {
        ZLOG(LogInfo, "Closing stream");
        m_sound.StreamClose(m_stream);
    }
    m_stream = nullptr;
    ZLOG(LogInfo, "Closing FMOD (FSOUND_Close())");
    m_sound.Close();
    ZLOG(LogInfo, "Successfully exiting ShutdownSound()");
    ZLOG_RETURN();
}
