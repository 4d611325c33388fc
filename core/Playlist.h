// Playlist: an ordered list of song entries (a file path, or "?" + the name of an entry of
// the music bundle) with readers for M3U, PLS, B4S, BPL, ASX and WPL files and writers for
// M3U and PLS. Owns copies of its entries; Entry() references stay valid until the list
// changes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/MsvcRand.h"

class Playlist {
public:
    enum Type {
        TypeM3U = 1,
        TypeB4S = 2,
        TypePLS = 3,
        TypeASX = 4,
        TypeWPL = 5,
        TypeBPL = 6,
    };
    enum Error {
        ErrorNone = 0,
        ErrorNoPath = 1,
        ErrorNotAbsolute = 2,
        ErrorCannotOpen = 3,
    };

    // Replaces the entries with those of the file; true when the file was read (also when
    // it holds no entries), false with Error() 1, 2 or 3.
    bool Load(const char* path);
    bool Load(const std::string& path) { return Load(path.c_str()); }
    // Writes the entries as M3U (type 1) or PLS (type 3), CR LF line ends; false when
    // nothing was written (no entries, no path, another type, file not writable).
    bool Save(const char* path, int type) const;
    bool Save(const std::string& path, int type) const { return Save(path.c_str(), type); }
    // Appends copies of entries[0..n-1]; null array or elements and n <= 0 add nothing.
    void AddEntries(const char* const* entries, int n);
    void AddEntries(const std::vector<std::string>& entries);
    // Seeds the generator with seed, then `passes` times swaps every entry i with entry
    // rand() % Count().
    void Shuffle(uint32_t seed, int passes);
    void Clear() { m_entries.clear(); }

    int Count() const { return static_cast<int>(m_entries.size()); }
    // The i-th entry; an empty string for an index out of range.
    const std::string& Entry(int i) const;

    int LastError() const { return m_error; }
    int FileType() const { return m_type; }
    const std::string& Path() const { return m_path; }
    const std::string& Folder() const { return m_folder; }
    void SetDecodeEntities(bool on) { m_decodeEntities = on; }

    // The format of a path by its extension (the text from its last "."); unknown → M3U.
    static int TypeOfPath(const std::string& path);
    // An entry's title: its file-name part without folder and extension.
    static std::string Title(const std::string& entry);

private:
    void ReadM3U(const std::string& text);
    void ReadPLS(const std::string& text);
    // Finds the next keyword at or after a position; returns the position behind it.
    using KeywordFinder = size_t (*)(const std::string& text, size_t from);
    void ReadQuoted(const std::string& text, KeywordFinder find, bool dropFileScheme);
    void Append(const std::string& value);
    std::string Resolve(const std::string& value) const;

    std::string m_path;
    std::string m_folder;
    std::vector<std::string> m_entries;
    int m_error = ErrorNone;
    char m_primarySeparator = '\\';
    char m_secondarySeparator = '/';
    int m_type = TypeM3U;
    int m_defaultType = TypeM3U;
    bool m_decodeEntities = true;
};
