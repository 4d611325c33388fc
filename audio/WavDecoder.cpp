// WavDecoder: chunk walking of RIFF WAVE headers and conversion of their samples to float.
#include "audio/WavDecoder.h"

#include <cstring>

namespace zaudio {

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

const uint16_t kFormatPcm = 1;
const uint16_t kFormatFloat = 3;
const uint16_t kFormatExtensible = 0xFFFE;
const int kMinRate = 1000;
const int kMaxRate = 384000;
// A header walk gives up after this many chunks: a file of tiny junk chunks would otherwise
// cost one read each.
const int kMaxChunks = 4096;

}  // namespace

WavStatus ParseWavHeader(ByteSource& src, WavInfo& info)
{
    uint8_t head[12];
    if (src.ReadAt(0, head, 12) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return WavStatus::NotWave;

    const uint64_t size = src.Size();
    uint64_t pos = 12;
    bool haveFmt = false;
    bool haveData = false;
    uint64_t dataPos = 0, dataLen = 0;
    uint16_t tag = 0, channels = 0, bits = 0;
    uint32_t rate = 0;

    for (int n = 0; n < kMaxChunks && pos + 8 <= size && !(haveFmt && haveData); ++n) {
        uint8_t ch[8];
        if (src.ReadAt(pos, ch, 8) != 8)
            break;
        const uint64_t len = Le32(ch + 4);
        const uint64_t body = pos + 8;
        if (std::memcmp(ch, "fmt ", 4) == 0 && !haveFmt) {
            if (len < 16)
                return WavStatus::Damaged;
            uint8_t fmt[40] = {};
            size_t want = len < sizeof fmt ? static_cast<size_t>(len) : sizeof fmt;
            size_t got = src.ReadAt(body, fmt, want);
            if (got < 16)
                return WavStatus::Damaged;
            tag = Le16(fmt);
            channels = Le16(fmt + 2);
            rate = Le32(fmt + 4);
            bits = Le16(fmt + 14);
            if (tag == kFormatExtensible) {
                // The real encoding is the first two bytes of the sub-format GUID.
                if (got < 26)
                    return WavStatus::Damaged;
                tag = Le16(fmt + 24);
                uint16_t validBits = Le16(fmt + 18);
                if (validBits > bits)
                    return WavStatus::Unsupported;
            }
            haveFmt = true;
        } else if (std::memcmp(ch, "data", 4) == 0 && !haveData) {
            dataPos = body;
            // A streamed recording may leave the length at 0 or 0xFFFFFFFF; the file's own
            // end is the only trustworthy limit.
            uint64_t rest = size > body ? size - body : 0;
            dataLen = (len == 0 || len == 0xFFFFFFFFu || len > rest) ? rest : len;
            haveData = true;
        }
        pos = body + len + (len & 1);
    }

    if (!haveFmt)
        return WavStatus::Damaged;
    if (tag == kFormatPcm) {
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return WavStatus::Unsupported;
    } else if (tag == kFormatFloat) {
        if (bits != 32)
            return WavStatus::Unsupported;
    } else {
        return WavStatus::Unsupported;
    }
    if (channels < 1 || channels > 2)
        return WavStatus::Unsupported;
    if (rate < static_cast<uint32_t>(kMinRate) || rate > static_cast<uint32_t>(kMaxRate))
        return WavStatus::Unsupported;
    if (!haveData)
        return WavStatus::Damaged;

    info.channels = channels;
    info.rate = static_cast<int>(rate);
    info.bitsPerSample = bits;
    info.isFloat = tag == kFormatFloat;
    // The block-align field is ignored: the layout follows from channels and sample size.
    info.frameBytes = channels * (bits / 8);
    info.dataOffset = dataPos;
    info.frames = dataLen / static_cast<uint64_t>(info.frameBytes);
    return WavStatus::Ok;
}

WavDecoder::WavDecoder(std::unique_ptr<ByteSource> src, const WavInfo& info)
    : m_src(std::move(src)), m_info(info)
{
}

bool WavDecoder::Rewind()
{
    m_frame = 0;
    return true;
}

static float SampleAt(const uint8_t* p, int bits, bool isFloat)
{
    switch (bits) {
    case 8:
        return (static_cast<int>(p[0]) - 128) / 128.0f;
    case 16:
        return static_cast<int16_t>(Le16(p)) / 32768.0f;
    case 24: {
        int32_t v = static_cast<int32_t>((uint32_t(p[0]) << 8) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 24));
        return (v >> 8) / 8388608.0f;
    }
    default:
        if (isFloat) {
            uint32_t u = Le32(p);
            float f;
            std::memcpy(&f, &u, 4);
            if (!(f == f))  // NaN in a damaged file plays as silence
                return 0.0f;
            return f < -1.0f ? -1.0f : (f > 1.0f ? 1.0f : f);
        }
        return static_cast<int32_t>(Le32(p)) / 2147483648.0f;
    }
}

int WavDecoder::Read(float* out, int frames)
{
    if (frames <= 0 || m_frame >= m_info.frames)
        return 0;
    uint64_t left = m_info.frames - m_frame;
    int want = left < static_cast<uint64_t>(frames) ? static_cast<int>(left) : frames;
    const size_t bytes = static_cast<size_t>(want) * m_info.frameBytes;
    if (m_raw.size() < bytes)
        m_raw.resize(bytes);
    size_t got = m_src->ReadAt(m_info.dataOffset + m_frame * m_info.frameBytes, m_raw.data(), bytes);
    int done = static_cast<int>(got / m_info.frameBytes);
    const int bps = m_info.bitsPerSample / 8;
    for (int i = 0; i < done; ++i) {
        const uint8_t* f = m_raw.data() + static_cast<size_t>(i) * m_info.frameBytes;
        float l = SampleAt(f, m_info.bitsPerSample, m_info.isFloat);
        float r = m_info.channels == 2 ? SampleAt(f + bps, m_info.bitsPerSample, m_info.isFloat) : l;
        out[2 * i] = l;
        out[2 * i + 1] = r;
    }
    m_frame += static_cast<uint64_t>(done);
    if (done < want)
        m_frame = m_info.frames;  // a read error (file shrank) ends the song
    return done;
}

}  // namespace zaudio
