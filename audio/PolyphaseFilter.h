// PolyphaseFilter: the band-limited low-pass a Resampler interpolates through, a Kaiser-
// windowed sinc tabled at kPhases fractions of a source frame; in between, the coefficients
// are interpolated linearly from the two nearest tables.
#pragma once

#include <vector>

namespace zaudio {

class PolyphaseFilter {
public:
    PolyphaseFilter(int sourceRate, int outRate);

    // The value at source time k + frac (0 <= frac < 1) is the sum of Taps() coefficients
    // times the source frames k - Reach() + 1 ... k + Reach().
    int Taps() const { return 2 * m_reach; }
    int Reach() const { return m_reach; }
    // Fills coef[0 .. Taps()-1] for the fraction 'frac'.
    void Coefficients(double frac, float* coef) const;

    // Up to PassHz the response is flat; from StopHz on it is at least kStopDb down.
    double PassHz() const { return m_passHz; }
    double StopHz() const { return m_stopHz; }

    static const int kPhases = 256;
    static constexpr double kStopDb = 105.0;
    // The flat band ends at this share of the lower of the two Nyquist frequencies.
    static constexpr double kPassShare = 0.9;
    // Very high source rates would need ever longer filters; past this length the
    // transition band widens instead (from about 170 kHz sources at 44.1 kHz on).
    static const int kMaxTaps = 512;

private:
    int m_reach = 1;
    double m_passHz = 0;
    double m_stopHz = 0;
    std::vector<float> m_table;  // kPhases + 1 rows of Taps() coefficients
};

}  // namespace zaudio
