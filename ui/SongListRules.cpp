// Rules of the custom music dialog that need no window (see SongListRules.h).
#include "ui/SongListRules.h"

#include <algorithm>
#include <cctype>

#include "core/Playlist.h"

namespace {

std::string LowerExtension(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    std::string ext = path.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

bool ExtensionIn(const std::string& path, std::initializer_list<const char*> list) {
    std::string ext = LowerExtension(path);
    for (const char* candidate : list)
        if (ext == candidate) return true;
    return false;
}

const char* const kFilters[][2] = {
    {"All files (*.*)", "*.*"},
    {"All supported types", "*.wav;*.ogg;*.wma;*.asf;*.m3u;*.pls;*.b4s;*.bpl;*.asx;*.wpl"},
    {"ASF (*.asf)", "*.asf"},
    {"Vorbis files (*.ogg)", "*.ogg"},
    {"WAV (*.wav)", "*.wav"},
    {"WMA (*.wma)", "*.wma"},
    {"ASX Playlist (*.asx)", "*.asx"},
    {"B4S Playlist (*.b4s)", "*.b4s"},
    {"BPL Playlist (*.bpl)", "*.bpl"},
    {"M3U Playlist (*.m3u)", "*.m3u"},
    {"PLS Playlist (*.pls)", "*.pls"},
    {"WPL Playlist (*.wpl)", "*.wpl"},
};

}  // namespace

std::string SongRowText(const std::string& entry) {
    size_t slash = entry.find_last_of("\\/");
    return slash == std::string::npos ? entry : entry.substr(slash + 1);
}

std::string SongCountText(int rows) { return std::to_string(rows) + "\nFiles"; }

bool IsPlaylistFile(const std::string& path) {
    return ExtensionIn(path, {".b4s", ".m3u", ".pls", ".asx", ".wpl", ".bpl"});
}

bool IsSoundFile(const std::string& path) { return ExtensionIn(path, {".wav", ".ogg", ".wma", ".asf"}); }

std::string SongOpenFilter() {
    std::string filter;
    for (const auto& pair : kFilters) {
        filter += pair[0];
        filter += '\0';
        filter += pair[1];
        filter += '\0';
    }
    filter += '\0';
    return filter;
}

namespace {

template <typename Char>
std::vector<std::basic_string<Char>> SelectedPaths(const Char* buffer, size_t size, bool multiple) {
    using Text = std::basic_string<Char>;
    std::vector<Text> parts;
    size_t pos = 0;
    while (buffer && pos < size && buffer[pos] != Char()) {
        size_t end = pos;
        while (end < size && buffer[end] != Char()) ++end;
        parts.emplace_back(buffer + pos, end - pos);
        pos = end + 1;
        if (!multiple) break;
    }
    if (!multiple || parts.size() < 2) {
        if (parts.size() > 1) parts.resize(1);
        return parts;
    }
    Text folder = parts.front();
    // A drive's root comes with its backslash already ("C:\").
    if (folder.back() != Char('\\')) folder += Char('\\');
    std::vector<Text> paths;
    for (size_t i = 1; i < parts.size(); ++i) paths.push_back(folder + parts[i]);
    return paths;
}

}  // namespace

std::vector<std::string> SelectedFilePaths(const char* buffer, size_t size, bool multiple) {
    return SelectedPaths(buffer, size, multiple);
}

std::vector<std::wstring> SelectedWideFilePaths(const wchar_t* buffer, size_t size, bool multiple) {
    return SelectedPaths(buffer, size, multiple);
}

std::string PlaylistPathFor(const std::string& path, bool pathWhole, const std::string& shortPath,
                            bool shortWhole) {
    if (pathWhole) return path;
    if (shortWhole && !shortPath.empty()) return shortPath;
    return std::string();
}

std::wstring RefusedSongsText(const std::vector<std::wstring>& names) {
    std::wstring text =
        L"These files were not added: their names hold characters that this system's code page "
        L"cannot store in the playlist, and their drive keeps no short (8.3) names for them:\n\n";
    for (const std::wstring& name : names) text += name + L"\n";
    text += L"\nRename them (or copy them to a drive with short names) and add them again.";
    return text;
}

std::vector<std::string> SongEntriesFor(const std::string& path) {
    if (!IsPlaylistFile(path)) return {path};
    Playlist list;
    std::vector<std::string> entries;
    if (!list.Load(path)) return entries;
    for (int i = 0; i < list.Count(); ++i)
        if (IsSoundFile(list.Entry(i))) entries.push_back(list.Entry(i));
    return entries;
}

std::vector<RowMove> MoveUpPlan(int rowCount, const std::vector<int>& selected) {
    std::vector<RowMove> moves;
    if (selected.empty() || selected.front() <= 0 || selected.back() >= rowCount) return moves;
    for (int row : selected) moves.push_back({row - 1, row});
    return moves;
}

std::vector<RowMove> MoveDownPlan(int rowCount, const std::vector<int>& selected) {
    std::vector<RowMove> moves;
    if (selected.empty() || selected.front() < 0 || selected.back() >= rowCount - 1) return moves;
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) moves.push_back({*it + 1, *it});
    return moves;
}

std::vector<int> RemovalOrder(const std::vector<int>& selected) {
    std::vector<int> order;
    int removed = 0;
    for (int row : selected) order.push_back(row - removed++);
    return order;
}
