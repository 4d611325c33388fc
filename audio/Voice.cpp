// Voice: a stream's frames on their way to the mix, with the record that lets frames of a
// discarded output queue be played again.
#include "audio/Voice.h"

#include <algorithm>

namespace zaudio {

Voice::Voice(std::unique_ptr<Decoder> decoder, int remember)
    : m_decoder(std::move(decoder)), m_remember(static_cast<size_t>(std::max(remember, 1)) * 2)
{
}

int Voice::Take(float* out, int frames, int64_t start)
{
    int n = 0;
    size_t avail = (m_pending.size() - m_pendingPos) / 2;
    if (avail > 0) {
        n = static_cast<int>(std::min(avail, static_cast<size_t>(frames)));
        std::copy_n(m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingPos), 2 * n, out);
        m_pendingPos += 2 * static_cast<size_t>(n);
        if (m_pendingPos == m_pending.size()) {
            m_pending.clear();
            m_pendingPos = 0;
        }
    }
    if (n < frames && !m_decoderEnded) {
        int got = m_decoder->Read(out + 2 * n, frames - n);
        got = std::max(0, std::min(got, frames - n));
        if (got < frames - n)
            m_decoderEnded = true;
        n += got;
    }
    m_recent.insert(m_recent.end(), out, out + 2 * n);
    // Trimmed in batches, so that keeping the record costs little per block.
    if (m_recent.size() > 2 * m_remember)
        m_recent.erase(m_recent.begin(), m_recent.end() - static_cast<std::ptrdiff_t>(m_remember));
    m_givenEnd = start + n;
    return n;
}

bool Voice::GiveBack(int64_t from)
{
    if (m_givenEnd <= from)
        return false;
    size_t floats = std::min(static_cast<size_t>(m_givenEnd - from) * 2, m_recent.size());
    if (floats == 0)
        return false;
    std::vector<float> again(m_recent.end() - static_cast<std::ptrdiff_t>(floats), m_recent.end());
    again.insert(again.end(), m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingPos), m_pending.end());
    m_pending.swap(again);
    m_pendingPos = 0;
    m_recent.resize(m_recent.size() - floats);
    m_givenEnd = from;
    return true;
}

bool Voice::Restart()
{
    m_pending.clear();
    m_pendingPos = 0;
    m_recent.clear();
    m_decoderEnded = false;
    return m_decoder->Rewind();
}

}  // namespace zaudio
