// OggBuilder: makes Ogg Vorbis file bytes in memory for the audio tests and the benchmark:
// pages, comment headers and a setup header with a chosen codebook. Plain byte vectors owned
// by the caller.
#pragma once

#include "audio/WavBuilder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace oggtest {

using wavtest::Put32;

// Builds one Ogg page (CRC left zero: neither the header check nor the decoder's open reads
// it) holding 'packets'; flags 2 marks a first page, 1 a page continuing a packet.
inline std::vector<uint8_t> Page(const std::vector<std::vector<uint8_t>>& packets, uint32_t serial, uint8_t flags = 2)
{
    std::vector<uint8_t> lacing, body;
    for (const auto& p : packets) {
        size_t n = p.size();
        while (n >= 255) {
            lacing.push_back(255);
            n -= 255;
        }
        lacing.push_back(static_cast<uint8_t>(n));
        body.insert(body.end(), p.begin(), p.end());
    }
    std::vector<uint8_t> page = {'O', 'g', 'g', 'S', 0, flags, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i)
        page.push_back(static_cast<uint8_t>(serial >> (8 * i)));
    page.insert(page.end(), 8, 0);  // page number and CRC
    page.push_back(static_cast<uint8_t>(lacing.size()));
    page.insert(page.end(), lacing.begin(), lacing.end());
    page.insert(page.end(), body.begin(), body.end());
    return page;
}

inline std::vector<uint8_t> CommentPacket(uint32_t vendorLen, const std::string& vendor, uint32_t count,
                                   const std::vector<std::string>& comments)
{
    std::vector<uint8_t> p = {3, 'v', 'o', 'r', 'b', 'i', 's'};
    Put32(p, vendorLen);
    p.insert(p.end(), vendor.begin(), vendor.end());
    Put32(p, count);
    for (const auto& c : comments) {
        Put32(p, static_cast<uint32_t>(c.size()));
        p.insert(p.end(), c.begin(), c.end());
    }
    return p;
}

// LSB-first bit packing, as Vorbis headers are written.
class Bits {
public:
    void Put(uint32_t value, int count)
    {
        for (int i = 0; i < count; ++i) {
            if (m_used % 8 == 0)
                m_bytes.push_back(0);
            if ((value >> i) & 1)
                m_bytes.back() |= static_cast<uint8_t>(1u << (m_used % 8));
            ++m_used;
        }
    }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
    int m_used = 0;
};

// A short Ogg Vorbis file whose setup header declares one codebook of 'entries' entries
// (and ends right there): the decoder sizes its tables from that count.
inline std::vector<uint8_t> SongWithHugeCodebook(uint32_t entries)
{
    std::vector<uint8_t> ident = {1, 'v', 'o', 'r', 'b', 'i', 's'};
    Put32(ident, 0);       // version
    ident.push_back(1);    // channels
    Put32(ident, 44100);   // rate
    Put32(ident, 0);
    Put32(ident, 0);
    Put32(ident, 0);       // bit rates
    ident.push_back(0xB8); // block sizes 256 and 2048
    ident.push_back(1);    // framing
    Bits setup;
    for (uint8_t c : std::string("\x05vorbis"))
        setup.Put(c, 8);
    setup.Put(0, 8);         // one codebook
    setup.Put(0x564342, 24); // its sync pattern
    setup.Put(1, 16);        // dimensions
    setup.Put(entries, 24);
    setup.Put(0, 1);         // not ordered
    setup.Put(0, 1);         // not sparse
    for (int i = 0; i < 64; ++i)
        setup.Put(3, 5);     // a few code lengths, then the packet ends
    std::vector<uint8_t> b = Page({ident}, 7);
    auto rest = Page({CommentPacket(0, "", 0, {}), setup.Bytes()}, 7, 0);
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

}  // namespace oggtest
