// PolyphaseFilter: designs the Kaiser-windowed sinc and lays out its phase tables.
#include "audio/PolyphaseFilter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zaudio {

namespace {
const double kPi = 3.14159265358979323846;

// Modified Bessel function of the first kind, order 0 (its power series converges fast for
// the window's arguments, which stay below 12).
double BesselI0(double x)
{
    double sum = 1.0, term = 1.0, q = x * x / 4.0;
    for (int k = 1; k < 60 && term > sum * 1e-17; ++k) {
        term *= q / (static_cast<double>(k) * k);
        sum += term;
    }
    return sum;
}
}  // namespace

PolyphaseFilter::PolyphaseFilter(int sourceRate, int outRate)
{
    const double lowerNyquist = std::min(sourceRate, outRate) / 2.0;
    m_stopHz = lowerNyquist;
    m_passHz = kPassShare * lowerNyquist;
    // Kaiser's estimates of the window's shape and length for the wanted attenuation,
    // with the bands in cycles per source frame.
    const double beta = 0.1102 * (kStopDb - 8.7);
    double width = (m_stopHz - m_passHz) / sourceRate;
    double length = (kStopDb - 7.95) / (2.285 * 2.0 * kPi * width);
    if (length > kMaxTaps - 2) {
        length = kMaxTaps - 2;
        width = (kStopDb - 7.95) / (2.285 * 2.0 * kPi * length);
        m_passHz = m_stopHz - width * sourceRate;
    }
    const double half = length / 2.0;
    const double cutoff = (m_passHz + m_stopHz) / 2.0 / sourceRate;
    m_reach = static_cast<int>(std::floor(half)) + 1;

    const int taps = Taps();
    // The response is even: sample it once on the phase grid, from t = 0 out.
    const double i0Beta = BesselI0(beta);
    std::vector<double> h(static_cast<size_t>(m_reach) * kPhases + 1, 0.0);
    for (size_t m = 0; m < h.size(); ++m) {
        const double t = static_cast<double>(m) / kPhases;
        if (t >= half)
            break;
        const double x = 2.0 * cutoff * t;
        const double sinc = m == 0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
        const double r = t / half;
        h[m] = 2.0 * cutoff * sinc * BesselI0(beta * std::sqrt(1.0 - r * r)) / i0Beta;
    }
    m_table.assign(static_cast<size_t>(kPhases + 1) * taps, 0.0f);
    std::vector<double> row(static_cast<size_t>(taps));
    for (int p = 0; p <= kPhases; ++p) {
        double sum = 0.0;
        for (int j = 0; j < taps; ++j) {
            // t = p / kPhases + m_reach - 1 - j, in steps of the phase grid.
            const long m = std::labs(p + static_cast<long>(m_reach - 1 - j) * kPhases);
            row[static_cast<size_t>(j)] = static_cast<size_t>(m) < h.size() ? h[static_cast<size_t>(m)] : 0.0;
            sum += row[static_cast<size_t>(j)];
        }
        // Each phase passes a constant exactly: no DC ripple from the phase grid.
        float* out = &m_table[static_cast<size_t>(p) * taps];
        for (int j = 0; j < taps; ++j)
            out[j] = static_cast<float>(row[static_cast<size_t>(j)] / sum);
    }
}

void PolyphaseFilter::Coefficients(double frac, float* coef) const
{
    const double pos = frac * kPhases;
    int p = static_cast<int>(pos);
    if (p < 0)
        p = 0;
    if (p > kPhases - 1)
        p = kPhases - 1;
    const float mu = static_cast<float>(pos - p);
    const int taps = Taps();
    const float* a = &m_table[static_cast<size_t>(p) * taps];
    const float* b = a + taps;
    for (int j = 0; j < taps; ++j)
        coef[j] = a[j] + mu * (b[j] - a[j]);
}

}  // namespace zaudio
