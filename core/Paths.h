// Splitting the program's path and forming every file path the program uses.
#pragma once

#include <string>

struct PathParts {
    std::string drive;      // "C:" or empty
    std::string folder;     // "\Program Files\Zephyl\" (with both separators kept)
    std::string name;       // "ZephylSaver"
    std::string extension;  // ".scr" or empty
};

// The split of the C runtime's _splitpath.
PathParts SplitPath(const std::string& path);

// File names inside the installation folder.
extern const char* const kHelpFileName;
extern const char* const kImageBundleName;
extern const char* const kQuoteBundleName;
extern const char* const kMusicBundleName;
extern const char* const kFlagPictureName;
extern const char* const kFontFileName;
extern const char* const kShadow5Name;
extern const char* const kShadow7Name;
extern const char* const kLogFileName;
extern const char* const kDefaultPlaylistName;

struct ContentPaths {
    std::string helpFile;
    std::string imageBundle;
    std::string quoteBundle;
    std::string musicBundle;
    std::string flagPicture;
    std::string fontFile;
    std::string shadow5;
    std::string shadow7;
    std::string playlistName;    // login name + ".M3U", or "ZEPHYL.M3U"
    std::string customPlaylist;  // UserFolder + playlistName
    std::string logFile;         // UserFolder + "ZephylLog.txt"
};

// The per-user data folder: the application-data folder + "\Telmoro\Zephyl\", or, when
// that folder cannot be had (empty), the same below the temporary folder; empty when
// neither is known. Never a folder at the root of the current drive.
std::string ChooseUserFolder(const std::string& appData, const std::string& tempFolder);

// loginName empty means it could not be read. An empty userFolder (none could be had)
// leaves the custom playlist and the log file empty: the run keeps no log and no playlist.
ContentPaths MakeContentPaths(const std::string& programFolder, const std::string& userFolder,
                              const std::string& loginName);

// True when the extension contains "exe" in any case (the launcher-style start).
bool ExtensionMeansConfig(const std::string& extension);

// True when `path` can be a user folder that the uninstall may remove: an absolute path
// (drive letter or network share) whose last two folders are Telmoro\Zephyl, in any case,
// with or without the closing backslash. The record of user folders lives in a machine key
// that every user may write, so a recorded "C:\" or "C:\Windows" is never deleted.
bool IsRecordedUserFolder(const std::string& path);
