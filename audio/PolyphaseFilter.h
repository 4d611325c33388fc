// PolyphaseFilter: the band-limited low-pass a Resampler interpolates through, a Kaiser-
// windowed sinc tabled per phase, the fraction of a source frame an output frame falls at.
// Where the two rates have few phases (44100 against 48000 has 147) every phase has its
// own table; otherwise kPhases tables are interpolated linearly.
#pragma once

#include <cstdint>
#include <vector>

namespace zaudio {

class PolyphaseFilter {
public:
    PolyphaseFilter(int sourceRate, int outRate);

    // The value at source time k + num / outRate (0 <= num < outRate) is the sum of Taps()
    // coefficients times the source frames k - Reach() + 1 ... k + Reach().
    int Taps() const { return 2 * m_reach; }
    int Reach() const { return m_reach; }
    // The coefficients for 'num': a table of the filter's own, or 'scratch' (Taps() floats)
    // filled with interpolated ones.
    const float* Coefficients(int64_t num, float* scratch) const;

    // Up to PassHz the response is flat; from StopHz on it is at least kStopDb down.
    double PassHz() const { return m_passHz; }
    double StopHz() const { return m_stopHz; }
    bool ExactPhases() const { return m_exact; }

    static const int kPhases = 256;
    static constexpr double kStopDb = 105.0;
    // The flat band ends at this share of the lower of the two Nyquist frequencies.
    static constexpr double kPassShare = 0.9;
    // Very high source rates would need ever longer filters; past this length the
    // transition band widens instead (past about 175 kHz sources at 44.1 kHz).
    static const int kMaxTaps = 512;
    // Phases get tables of their own up to this many coefficients in all (1 MB).
    static const int kMaxExactCoefficients = 1 << 18;

private:
    int64_t m_outRate = 1;
    int64_t m_numPerRow = 1;  // exact tables: num / m_numPerRow is the table
    bool m_exact = false;
    int m_reach = 1;
    double m_passHz = 0;
    double m_stopHz = 0;
    std::vector<float> m_table;  // rows of Taps() coefficients
};

}  // namespace zaudio
