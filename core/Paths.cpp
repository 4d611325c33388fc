// Path splitting and the content, playlist and log paths.
#include "core/Paths.h"

#include "core/CommandLine.h"

const char* const kHelpFileName = "ZEPHYL.HLP";
const char* const kImageBundleName = "images.bdl";
const char* const kQuoteBundleName = "quotes.bdl";
const char* const kMusicBundleName = "music.bdl";
const char* const kFlagPictureName = "Zephyl.gif";
const char* const kFontFileName = "VIVALDII.TTF";
const char* const kShadow5Name = "shadow5.png";
const char* const kShadow7Name = "shadow7.png";
const char* const kLogFileName = "ZephylLog.txt";
const char* const kDefaultPlaylistName = "ZEPHYL.M3U";

namespace {
constexpr size_t kMaxLoginName = 256;
}

PathParts SplitPath(const std::string& path) {
    PathParts parts;
    size_t pos = 0;
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = path.substr(0, 2);
        pos = 2;
    }
    size_t lastSep = path.find_last_of("\\/");
    if (lastSep != std::string::npos && lastSep >= pos) {
        parts.folder = path.substr(pos, lastSep + 1 - pos);
        pos = lastSep + 1;
    }
    std::string rest = path.substr(pos);
    size_t dot = rest.find_last_of('.');
    if (dot != std::string::npos) {
        parts.name = rest.substr(0, dot);
        parts.extension = rest.substr(dot);
    } else {
        parts.name = rest;
    }
    return parts;
}

std::string ChooseUserFolder(const std::string& appData, const std::string& tempFolder) {
    for (std::string base : {appData, tempFolder}) {
        while (!base.empty() && (base.back() == '\\' || base.back() == '/')) base.pop_back();
        if (!base.empty()) return base + "\\Telmoro\\Zephyl\\";
    }
    return std::string();
}

ContentPaths MakeContentPaths(const std::string& programFolder, const std::string& userFolder,
                              const std::string& loginName) {
    ContentPaths p;
    p.helpFile = programFolder + kHelpFileName;
    p.imageBundle = programFolder + kImageBundleName;
    p.quoteBundle = programFolder + kQuoteBundleName;
    p.musicBundle = programFolder + kMusicBundleName;
    p.flagPicture = programFolder + kFlagPictureName;
    p.fontFile = programFolder + kFontFileName;
    p.shadow5 = programFolder + kShadow5Name;
    p.shadow7 = programFolder + kShadow7Name;
    p.playlistName = loginName.empty() ? std::string(kDefaultPlaylistName)
                                       : loginName.substr(0, kMaxLoginName) + ".M3U";
    if (!userFolder.empty()) {
        p.customPlaylist = userFolder + p.playlistName;
        p.logFile = userFolder + kLogFileName;
    }
    return p;
}

bool ExtensionMeansConfig(const std::string& extension) { return ContainsNoCase(extension, "exe"); }

bool IsRecordedUserFolder(const std::string& path) {
    const bool driveRoot = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool share = path.size() >= 3 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
    if (!driveRoot && !share) return false;
    std::string folder = path;
    if (folder.back() == '\\' || folder.back() == '/') folder.pop_back();
    const std::string tail = "\\telmoro\\zephyl";
    if (folder.size() <= tail.size() + 2) return false;
    std::string end = folder.substr(folder.size() - tail.size());
    for (char& c : end) {
        if (c == '/') c = '\\';
    }
    if (!ContainsNoCase(end, tail)) return false;
    // No "." or ".." part may lead the path elsewhere.
    size_t start = 0;
    while (start < folder.size()) {
        size_t stop = folder.find_first_of("\\/", start);
        if (stop == std::string::npos) stop = folder.size();
        const std::string part = folder.substr(start, stop - start);
        if (part == "." || part == "..") return false;
        start = stop + 1;
    }
    return true;
}
