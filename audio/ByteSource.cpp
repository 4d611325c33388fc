// ByteSource: reads of memory blocks and file regions, bounded by their size.
#include "audio/ByteSource.h"

#include <cerrno>
#include <cstring>

namespace zaudio {

size_t MemorySource::ReadAt(uint64_t pos, void* buf, size_t n)
{
    // Empty reads may come with a null buffer (an empty vector's data()).
    if (pos >= m_size || n == 0)
        return 0;
    size_t avail = static_cast<size_t>(m_size - pos);
    if (n > avail)
        n = avail;
    std::memcpy(buf, m_data + pos, n);
    return n;
}

FileSource::~FileSource()
{
    if (m_file)
        std::fclose(m_file);
}

static bool SeekTo(FILE* f, uint64_t pos)
{
#if defined(_WIN32)
    return _fseeki64(f, static_cast<long long>(pos), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(pos), SEEK_SET) == 0;
#endif
}

static bool FileLength(FILE* f, uint64_t& size)
{
#if defined(_WIN32)
    if (_fseeki64(f, 0, SEEK_END) != 0)
        return false;
    long long end = _ftelli64(f);
#else
    if (fseeko(f, 0, SEEK_END) != 0)
        return false;
    long long end = ftello(f);
#endif
    if (end < 0)
        return false;
    size = static_cast<uint64_t>(end);
    return true;
}

FileSource::OpenResult FileSource::Open(const char* path, uint64_t offset, uint64_t length)
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!path || !*path)
        return NotFound;
    errno = 0;
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return (errno == ENOENT || errno == ENOTDIR || errno == 0) ? NotFound : Unreadable;
    uint64_t size = 0;
    if (!FileLength(f, size) || offset > size) {
        std::fclose(f);
        return Unreadable;
    }
    uint64_t rest = size - offset;
    m_file = f;
    m_offset = offset;
    m_length = (length == 0 || length > rest) ? rest : length;
    return Opened;
}

size_t FileSource::ReadAt(uint64_t pos, void* buf, size_t n)
{
    if (!m_file || pos >= m_length || n == 0)
        return 0;
    uint64_t avail = m_length - pos;
    if (n > avail)
        n = static_cast<size_t>(avail);
    if (!SeekTo(m_file, m_offset + pos))
        return 0;
    return std::fread(buf, 1, n, m_file);
}

}  // namespace zaudio
