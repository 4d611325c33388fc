// Resampler: a Decoder that plays another Decoder (owned) at a different frame rate through
// a band-limited polyphase filter; at equal rates the frames pass through untouched.
// Output frame n is the source at time n * sourceRate / outRate: the filter is centred
// there, so the song keeps its clock and its length (ceil(frames * outRate / sourceRate)).
#pragma once

#include "audio/Decoder.h"
#include "audio/PolyphaseFilter.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace zaudio {

class Resampler : public Decoder {
public:
    Resampler(std::unique_ptr<Decoder> source, int outRate);
    int Rate() const override { return m_outRate; }
    int Read(float* out, int frames) override;
    bool Rewind() override;

private:
    void Reset();
    bool Fill();

    std::unique_ptr<Decoder> m_src;
    int m_srcRate;
    int m_outRate;
    std::unique_ptr<PolyphaseFilter> m_filter;
    // Source time of the next output frame: m_frame + m_num / m_outRate.
    int64_t m_frame = 0;
    int64_t m_num = 0;
    // The source's frames m_first ... m_first + size - 1, one array per channel. Before the
    // first frame and after the last the signal is taken to hold its value, not to jump
    // from or to zero.
    std::vector<float> m_left, m_right;
    int64_t m_first = 0;
    bool m_started = false;
    bool m_srcEnded = false;
    int64_t m_srcFrames = 0;  // frames the source handed out so far
    std::vector<float> m_in;
    std::vector<float> m_coef;
};

}  // namespace zaudio
