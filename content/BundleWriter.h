// BundleWriter: builds the bytes of a bundle (payload, directory, trailer) in memory.
// It copies every blob it is given; the caller keeps ownership of its own buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class BundleWriter {
public:
    // baseOffset: absolute file position of the first payload byte (the size of the
    // executable image when the bundle is appended to a program file, else 0).
    explicit BundleWriter(uint32_t baseOffset = 0) : m_base(baseOffset) {}

    // Starts a category; the entries added after it belong to it. False for an empty
    // name or one that holds a NUL byte.
    bool BeginCategory(const std::string& name);
    // False (nothing added) before the first category, for an empty name, a name that
    // begins with "?" or holds a NUL byte, or when the bundle would outgrow 2 GiB.
    bool AddEntry(const std::string& name, const void* data, size_t size);
    bool AddEntry(const std::string& name, const std::vector<uint8_t>& data) {
        return AddEntry(name, data.data(), data.size());
    }

    size_t CategoryCount() const { return m_categoryCount; }
    size_t EntryCount() const { return m_entryCount; }

    // Payload, directory and trailer. Empty when there is no category (the reader would
    // refuse such a file).
    std::vector<uint8_t> Finish() const;

private:
    uint32_t m_base;
    std::vector<uint8_t> m_payload;
    std::vector<uint8_t> m_directory;
    size_t m_categoryCount = 0;
    size_t m_entryCount = 0;
};

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out);
// Writes (creates or replaces) a whole file; false on any failure.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data);
