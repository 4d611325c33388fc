// Resampler: cubic Hermite interpolation over a sliding window of four input frames.
#include "audio/Resampler.h"

#include <cstring>

namespace zaudio {

namespace {
const int kInputBlock = 1024;

inline float Hermite(float y0, float y1, float y2, float y3, float t)
{
    float c1 = 0.5f * (y2 - y0);
    float c2 = y0 - 2.5f * y1 + 2.0f * y2 - 0.5f * y3;
    float c3 = 0.5f * (y3 - y0) + 1.5f * (y1 - y2);
    return ((c3 * t + c2) * t + c1) * t + y1;
}
}  // namespace

Resampler::Resampler(std::unique_ptr<Decoder> source, int outRate)
    : m_src(std::move(source)), m_outRate(outRate), m_in(kInputBlock * 2)
{
    m_step = static_cast<double>(m_src->Rate()) / outRate;
}

bool Resampler::NextInputFrame(float& l, float& r)
{
    if (m_inPos >= m_inLen) {
        if (m_srcEnded)
            return false;
        m_inLen = m_src->Read(m_in.data(), kInputBlock);
        m_inPos = 0;
        if (m_inLen < kInputBlock)
            m_srcEnded = true;
        if (m_inLen <= 0) {
            m_inLen = 0;
            return false;
        }
    }
    l = m_in[2 * m_inPos];
    r = m_in[2 * m_inPos + 1];
    ++m_inPos;
    return true;
}

void Resampler::Prime()
{
    std::memset(m_hist, 0, sizeof m_hist);
    m_tailReal = 0;
    for (int i = 1; i < 4; ++i) {
        // Once the source has ended every later slot repeats the last real frame.
        if (m_tailReal == i - 1 && NextInputFrame(m_hist[i][0], m_hist[i][1])) {
            ++m_tailReal;
        } else {
            m_hist[i][0] = m_hist[i - 1][0];
            m_hist[i][1] = m_hist[i - 1][1];
        }
    }
    // Before the first frame the signal is taken to continue flat, not to jump from zero.
    m_hist[0][0] = m_hist[1][0];
    m_hist[0][1] = m_hist[1][1];
    m_frac = 0.0;
    m_primed = true;
}

int Resampler::Read(float* out, int frames)
{
    if (m_src->Rate() == m_outRate)
        return m_src->Read(out, frames);
    if (!m_primed)
        Prime();
    int done = 0;
    while (done < frames && m_tailReal > 0) {
        float t = static_cast<float>(m_frac);
        for (int c = 0; c < 2; ++c)
            out[2 * done + c] = Hermite(m_hist[0][c], m_hist[1][c], m_hist[2][c], m_hist[3][c], t);
        ++done;
        m_frac += m_step;
        while (m_frac >= 1.0 && m_tailReal > 0) {
            m_frac -= 1.0;
            std::memmove(m_hist[0], m_hist[1], sizeof(float) * 6);
            float l = 0.0f, r = 0.0f;
            // The tail keeps counting down while padding moves in behind the last frame.
            if (m_tailReal == 3 && NextInputFrame(l, r)) {
                m_hist[3][0] = l;
                m_hist[3][1] = r;
            } else {
                m_hist[3][0] = m_hist[2][0];
                m_hist[3][1] = m_hist[2][1];
                --m_tailReal;
            }
        }
    }
    return done;
}

bool Resampler::Rewind()
{
    m_primed = false;
    m_srcEnded = false;
    m_inPos = m_inLen = 0;
    return m_src->Rewind();
}

}  // namespace zaudio
