// The music player of the screen saver: the process-wide player over the FSOUND functions
// of fmod.dll, the music bundle, and the program's side (message box, documents folder,
// settings). The player, its stream and the music bundle live until the process ends.
#include "music/Music.h"

#include <windows.h>
#include <shlobj.h>

#include <ctime>
#include <memory>

#include "core/Globals.h"
#include "core/RunWindow.h"
#include "core/SaverState.h"
#include "content/Bundle.h"
#include "diag/Log.h"
#include "music/FmodSound.h"
#include "music/MusicPlayer.h"

namespace {

const char* const kInitErrorCaption = "ERROR in initSound()";

class SaverMusicHost : public MusicHost {
public:
    void ShowInitError(const std::string& text) override { ShowSetUpMessage(ss->Window, kInitErrorCaption, text.c_str()); }
    void SetCriticalError(int value) override { ss->SetCriticalError(value); }
    std::string DocumentsFolder() override {
        char path[MAX_PATH] = {};
        if (!SHGetSpecialFolderPathA(nullptr, path, CSIDL_PERSONAL, FALSE) || !path[0]) return std::string();
        std::string folder = path;
        if (folder.back() == '\\') folder.pop_back();
        return folder;
    }
    std::vector<std::string> ListFiles(const std::string& folder, const char* pattern) override {
        return List(folder + "\\" + pattern, false);
    }
    std::vector<std::string> ListFolders(const std::string& folder) override { return List(folder + "\\*", true); }
    uint32_t TimeSeconds() override { return static_cast<uint32_t>(std::time(nullptr)); }

private:
    static std::vector<std::string> List(const std::string& spec, bool folders) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA(spec.c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return names;
        do {
            bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (isFolder == folders) names.push_back(found.cFileName);
        } while (FindNextFileA(h, &found));
        FindClose(h);
        return names;
    }
};

Bundle gMusicBundle;  // music.bdl, opened by the player when it first needs it
FmodSound gSound;
SaverMusicHost gHost;
std::unique_ptr<MusicPlayer> gPlayer;

// The player over the settings record; null before the settings exist.
MusicPlayer* Player() {
    if (!gPlayer && ss) gPlayer.reset(new MusicPlayer(gSound, gHost, ss->MusicList, gMusicBundle, ss->PlayMusic));
    return gPlayer.get();
}

}  // namespace

bool initSound() {
    try {
        MusicPlayer* player = Player();
        if (!player) return false;
        MusicSettings settings;
        settings.shuffleMusic = ss->ShuffleMusic != 0;
        settings.defaultMusic = ss->DefaultMusic != 0;
        settings.customMusic = ss->CustomMusic != 0;
        settings.musicVolume = ss->MusicVol;
        settings.customPlaylist = Paths.customPlaylist;
        settings.musicBundle = Paths.musicBundle;
        return player->Init(settings);
    } catch (...) {
        // Only the settings copy above can throw (out of memory); the player catches its own.
        ZLOG(LogCritical, "Exception caught in initSound()!");
        if (ss) {
            ss->PlayMusic = 0;
            ss->SetCriticalError(1);
        }
        return true;
    }
}

void UpdateSound(double elapsedMs) {
    if (MusicPlayer* player = Player()) player->Update(elapsedMs);
}

void ShutdownSound() {
    try {
        if (MusicPlayer* player = Player()) player->Shutdown();
    } catch (...) {
        ZLOG(LogCritical, "Caught an exception while shutting down sound!");
    }
}

// The arrow keys run inside the window procedure: nothing may escape from them.
void NextSong() {
    try {
        if (MusicPlayer* player = Player()) player->NextSong();
    } catch (...) {
    }
}

void PreviousSong() {
    try {
        if (MusicPlayer* player = Player()) player->PreviousSong();
    } catch (...) {
    }
}

void TogglePause() {
    try {
        if (MusicPlayer* player = Player()) player->TogglePause();
    } catch (...) {
    }
}

void ResumeMusic() {
    try {
        if (MusicPlayer* player = Player()) player->ResumeMusic();
    } catch (...) {
    }
}
