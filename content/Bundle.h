// Bundle files (.bdl and the bundle appended to the program file): Bundle owns its
// categories, a BundleCategory owns its entries, a BundleEntry owns its cached blob.
// Blob pointers handed out stay owned by the entry; callers never free them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Name matching for categories and entries: same length, ASCII letters compared without
// case, other bytes as they are; an empty name matches nothing.
bool BundleNameMatches(const std::string& a, const char* b);

class BundleEntry {
public:
    BundleEntry(std::string name, uint32_t offset, uint32_t size)
        : m_name(std::move(name)), m_offset(offset), m_size(size) {}
    BundleEntry(const BundleEntry&) = delete;
    BundleEntry& operator=(const BundleEntry&) = delete;

    const std::string& Name() const { return m_name; }
    uint32_t Offset() const { return m_offset; }
    uint32_t Size() const { return m_size; }
    // The cached blob (exactly Size() bytes), null until it has been read.
    const uint8_t* Data() const { return m_data.get(); }

private:
    friend class BundleCategory;
    std::string m_name;
    uint32_t m_offset;
    uint32_t m_size;
    std::unique_ptr<uint8_t[]> m_data;
};

class BundleCategory {
public:
    BundleCategory(std::string name, std::string path)
        : m_name(std::move(name)), m_path(std::move(path)) {}
    BundleCategory(const BundleCategory&) = delete;
    BundleCategory& operator=(const BundleCategory&) = delete;

    const std::string& Name() const { return m_name; }
    const std::string& Path() const { return m_path; }
    size_t EntryCount() const { return m_entries.size(); }
    BundleEntry* Entry(size_t i) const { return i < m_entries.size() ? m_entries[i].get() : nullptr; }

    BundleEntry* FindEntry(const char* name) const;
    const uint8_t* ReadEntry(const char* name);
    // The cached blob, or reads it from the file (one open, seek and read); null on failure,
    // and the entry stays unread.
    const uint8_t* ReadEntry(BundleEntry* entry);
    // Reads every entry in order; false at the first one that cannot be read.
    bool ReadAll();
    void FreeData();

    void AddEntry(std::unique_ptr<BundleEntry> entry) { m_entries.push_back(std::move(entry)); }

private:
    std::string m_name;
    std::string m_path;
    std::vector<std::unique_ptr<BundleEntry>> m_entries;
};

class Bundle {
public:
    Bundle() = default;
    ~Bundle() { Close(); }
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    // Reads the directory of the file; a bundle already open is closed first. In a signed
    // program file the trailer ends where the certificate table starts. A directory
    // that is empty, does not start with a category, or whose last record or name is cut
    // short by the trailer fails (no categories are kept).
    bool Open(const char* path);
    bool Open(const std::string& path) { return Open(path.c_str()); }
    void Close();

    BundleCategory* FindCategory(const char* name) const;
    // Bundle-wide lookups: the first category (directory order) holding an entry of that name.
    const uint8_t* EntryData(const char* name);
    const uint8_t* EntryData(const char* categoryName, const char* entryName);
    const uint8_t* CachedData(const char* name) const;
    uint32_t EntrySize(const char* name) const;
    void FreeData();

    int32_t DirectoryOffset() const { return m_directoryOffset; }
    uint32_t EntryCount() const { return m_entryCount; }
    bool IsOpen() const { return m_entryCount != 0; }
    const std::string& Path() const { return m_path; }
    size_t CategoryCount() const { return m_categories.size(); }
    BundleCategory* Category(size_t i) const { return i < m_categories.size() ? m_categories[i].get() : nullptr; }

private:
    BundleEntry* FindFirstEntry(const char* name, BundleCategory** category) const;
    // Reads the trailer that ends at `end` and the directory it names.
    bool ReadDirectory(FILE* file, long end);
    bool ParseDirectory(const uint8_t* dir, size_t size);

    int32_t m_directoryOffset = -1;
    uint32_t m_entryCount = 0;
    std::vector<std::unique_ptr<BundleCategory>> m_categories;
    std::string m_path;
};
