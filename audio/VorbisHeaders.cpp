// VorbisHeaders: gathers the first packets of an Ogg stream from its pages and walks the
// Vorbis comment header's length fields.
#include "audio/VorbisHeaders.h"

#include <cstring>
#include <vector>

namespace zaudio {

namespace {

const size_t kMaxHeaderBytes = 4u * 1024 * 1024;  // comment headers are far smaller
const int kMaxPages = 2000;

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

const uint8_t kContinuedPacket = 0x01;

// Collects packets 0 and 1 from the pages in the order they lie in the file, as the decoder
// reads them: it ignores serial numbers, so a page of another logical stream among the header
// pages would hand it a packet this check never saw. Such files are refused, and so is a
// packet that runs on into a page not marked as its continuation.
bool FirstTwoPackets(ByteSource& src, std::vector<uint8_t> packets[2])
{
    uint64_t pos = 0;
    int packet = 0;
    bool open = false;  // packets[packet] has begun and awaits more segments
    uint32_t serial = 0;
    for (int page = 0; page < kMaxPages && packet < 2; ++page) {
        uint8_t head[27];
        if (src.ReadAt(pos, head, 27) != 27 || std::memcmp(head, "OggS", 4) != 0)
            return false;
        uint32_t pageSerial = Le32(head + 14);
        if (page == 0)
            serial = pageSerial;
        else if (pageSerial != serial)
            return false;
        if (open != ((head[5] & kContinuedPacket) != 0))
            return false;
        int segments = head[26];
        uint8_t lacing[255];
        if (src.ReadAt(pos + 27, lacing, static_cast<size_t>(segments)) != static_cast<size_t>(segments))
            return false;
        uint64_t at = pos + 27 + static_cast<uint64_t>(segments);
        for (int s = 0; s < segments && packet < 2; ++s) {
            size_t len = lacing[s];
            std::vector<uint8_t>& p = packets[packet];
            if (p.size() + len > kMaxHeaderBytes)
                return false;
            size_t old = p.size();
            p.resize(old + len);
            if (src.ReadAt(at, p.data() + old, len) != len)
                return false;
            open = len == 255;
            if (!open)
                ++packet;
            at += len;
        }
        pos = at;
    }
    return packet >= 2;
}

}  // namespace

bool VorbisCommentHeaderSane(ByteSource& src)
{
    std::vector<uint8_t> packets[2];
    if (!FirstTwoPackets(src, packets))
        return false;
    const std::vector<uint8_t>& c = packets[1];
    if (c.size() < 7 || c[0] != 3 || std::memcmp(c.data() + 1, "vorbis", 6) != 0)
        return false;
    size_t pos = 7;
    auto take = [&](uint32_t& v) {
        if (c.size() - pos < 4)
            return false;
        v = Le32(c.data() + pos);
        pos += 4;
        return true;
    };
    uint32_t vendor = 0, count = 0;
    if (!take(vendor) || vendor > c.size() - pos)
        return false;
    pos += vendor;
    if (!take(count) || count > (c.size() - pos) / 4)
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t len = 0;
        if (!take(len) || len > c.size() - pos)
            return false;
        pos += len;
    }
    return true;
}

}  // namespace zaudio
