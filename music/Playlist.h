// Playlist: an ordered list of song entries with readers for M3U, PLS, B4S, BPL, ASX and
// WPL files and writers for M3U and PLS.
#pragma once

#include <string>
#include <vector>

class Playlist {
public:
    bool Load(const std::string& path);
    bool Save(const std::string& path, int type) const;
    void AddEntries(const char* const* entries, int n);
    void Shuffle();
    void Clear() { m_entries.clear(); }

    int Count() const { return static_cast<int>(m_entries.size()); }
    const std::string& Entry(int i) const { return m_entries[static_cast<size_t>(i)]; }
    int Error() const { return m_error; }

private:
    std::string m_path;
    std::string m_folder;
    std::vector<std::string> m_entries;
    int m_error = 0;
    int m_type = 1;
};
