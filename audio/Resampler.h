// Resampler: a Decoder that plays another Decoder (owned) at a different frame rate, by
// four-point cubic (Hermite) interpolation; at equal rates the frames pass through untouched.
#pragma once

#include "audio/Decoder.h"

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
    bool NextInputFrame(float& l, float& r);
    void Prime();

    std::unique_ptr<Decoder> m_src;
    int m_outRate;
    double m_step;
    double m_frac = 0.0;
    // Four consecutive input frames around the output position (between 1 and 2).
    float m_hist[4][2] = {};
    // How many of frames 1..3 of m_hist are real frames (after the source ended, silence
    // pads the window and the output stops once frame 1 is padding).
    int m_tailReal = 0;
    bool m_srcEnded = false;
    bool m_primed = false;
    std::vector<float> m_in;
    int m_inPos = 0;
    int m_inLen = 0;
};

}  // namespace zaudio
