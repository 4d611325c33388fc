// ByteSource: random access to the bytes of a song, either a caller's memory block (not
// copied: the caller keeps it alive and unchanged) or a region of a file opened here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace zaudio {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Copies up to n bytes from position pos; returns how many were copied (0 past the end).
    virtual size_t ReadAt(uint64_t pos, void* buf, size_t n) = 0;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    size_t ReadAt(uint64_t pos, void* buf, size_t n) override;
    const uint8_t* Data() const { return m_data; }

private:
    const uint8_t* m_data;
    size_t m_size;
};

// A file, or the part of it from 'offset' for 'length' bytes (length 0: to the end).
class FileSource : public ByteSource {
public:
    enum OpenResult { Opened, NotFound, Unreadable };
    ~FileSource() override;
    OpenResult Open(const char* path, uint64_t offset, uint64_t length);
    uint64_t Size() const override { return m_length; }
    size_t ReadAt(uint64_t pos, void* buf, size_t n) override;

private:
    FILE* m_file = nullptr;
    uint64_t m_offset = 0;
    uint64_t m_length = 0;
};

}  // namespace zaudio
