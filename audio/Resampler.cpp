// Resampler: streams the source through the polyphase filter, keeping the frames the
// filter still reaches between calls.
#include "audio/Resampler.h"

namespace zaudio {

namespace {
const int kInputBlock = 1024;
}  // namespace

Resampler::Resampler(std::unique_ptr<Decoder> source, int outRate)
    : m_src(std::move(source)), m_srcRate(m_src->Rate()), m_outRate(outRate), m_in(kInputBlock * 2)
{
    if (m_srcRate > 0 && m_outRate > 0 && m_srcRate != m_outRate) {
        m_filter.reset(new PolyphaseFilter(m_srcRate, m_outRate));
        m_coef.resize(static_cast<size_t>(m_filter->Taps()));
    }
}

void Resampler::Reset()
{
    m_frame = m_num = 0;
    m_left.clear();
    m_right.clear();
    m_first = 0;
    m_started = false;
    m_srcEnded = false;
    m_srcFrames = 0;
}

// Appends a block of the source; false once there is nothing more to append.
bool Resampler::Fill()
{
    if (m_srcEnded)
        return false;
    const int reach = m_filter->Reach();
    // Drop the frames the filter has passed for good, a block at a time.
    const int64_t keepFrom = m_frame - reach + 1;
    if (keepFrom - m_first >= kInputBlock) {
        const size_t drop = static_cast<size_t>(keepFrom - m_first);
        m_left.erase(m_left.begin(), m_left.begin() + static_cast<std::ptrdiff_t>(drop));
        m_right.erase(m_right.begin(), m_right.begin() + static_cast<std::ptrdiff_t>(drop));
        m_first += static_cast<int64_t>(drop);
    }
    int n = m_src->Read(m_in.data(), kInputBlock);
    if (n < 0)
        n = 0;
    if (n < kInputBlock)
        m_srcEnded = true;
    if (!m_started && n > 0) {
        m_started = true;
        m_first = -(reach - 1);
        m_left.assign(static_cast<size_t>(reach - 1), m_in[0]);
        m_right.assign(static_cast<size_t>(reach - 1), m_in[1]);
    }
    for (int i = 0; i < n; ++i) {
        m_left.push_back(m_in[2 * i]);
        m_right.push_back(m_in[2 * i + 1]);
    }
    m_srcFrames += n;
    if (m_srcEnded && m_srcFrames > 0) {
        const float l = m_left.back(), r = m_right.back();
        m_left.insert(m_left.end(), static_cast<size_t>(reach), l);
        m_right.insert(m_right.end(), static_cast<size_t>(reach), r);
    }
    return n > 0 || m_srcFrames > 0;
}

int Resampler::Read(float* out, int frames)
{
    if (!m_filter)
        return m_src->Read(out, frames);
    const int reach = m_filter->Reach();
    const int taps = m_filter->Taps();
    int done = 0;
    while (done < frames) {
        // The output ends where the source time passes its last frame.
        if (m_srcEnded && m_frame >= m_srcFrames)
            break;
        // The filter reaches up to frame m_frame + reach.
        bool ok = true;
        while (ok && m_first + static_cast<int64_t>(m_left.size()) <= m_frame + reach && !m_srcEnded)
            ok = Fill();
        if (m_srcEnded && m_frame >= m_srcFrames)
            break;
        const float* c = m_filter->Coefficients(m_num, m_coef.data());
        const size_t at = static_cast<size_t>(m_frame - reach + 1 - m_first);
        const float* l = &m_left[at];
        const float* r = &m_right[at];
        // Two sums per channel keep the floating-point unit's adders busy.
        float l0 = 0.0f, l1 = 0.0f, r0 = 0.0f, r1 = 0.0f;
        for (int j = 0; j < taps; j += 2) {
            l0 += c[j] * l[j];
            r0 += c[j] * r[j];
            l1 += c[j + 1] * l[j + 1];
            r1 += c[j + 1] * r[j + 1];
        }
        const float sl = l0 + l1, sr = r0 + r1;
        out[2 * done] = sl;
        out[2 * done + 1] = sr;
        ++done;
        m_num += m_srcRate;
        m_frame += m_num / m_outRate;
        m_num %= m_outRate;
    }
    return done;
}

bool Resampler::Rewind()
{
    Reset();
    return m_src->Rewind();
}

}  // namespace zaudio
