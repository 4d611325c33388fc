// PolyphaseFilter: designs the Kaiser-windowed sinc and lays out its phase tables.
#include "audio/PolyphaseFilter.h"

#include <algorithm>
#include <cmath>
#include <numeric>

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

PolyphaseFilter::PolyphaseFilter(int sourceRate, int outRate) : m_outRate(outRate)
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

    // An output frame falls at one of outRate / gcd fractions of a source frame.
    const int64_t phases = outRate / std::gcd(sourceRate, outRate);
    m_exact = phases * taps <= kMaxExactCoefficients;
    m_numPerRow = m_exact ? outRate / phases : 1;
    const int fractions = m_exact ? static_cast<int>(phases) : kPhases;
    const int rows = m_exact ? fractions : kPhases + 1;

    const double i0Beta = BesselI0(beta);
    auto response = [&](double t) {
        if (std::fabs(t) >= half)
            return 0.0;
        const double x = 2.0 * cutoff * t;
        const double sinc = x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
        const double r = t / half;
        return 2.0 * cutoff * sinc * BesselI0(beta * std::sqrt(1.0 - r * r)) / i0Beta;
    };
    m_table.assign(static_cast<size_t>(rows) * taps, 0.0f);
    std::vector<double> row(static_cast<size_t>(taps));
    for (int p = 0; p < rows && 2 * p <= fractions; ++p) {
        double sum = 0.0;
        for (int j = 0; j < taps; ++j) {
            row[static_cast<size_t>(j)] = response(static_cast<double>(p) / fractions + m_reach - 1 - j);
            sum += row[static_cast<size_t>(j)];
        }
        // Each phase passes a constant exactly; the response is even, so the phase at
        // 1 - p / fractions is this one reversed.
        float* out = &m_table[static_cast<size_t>(p) * taps];
        const int mirror = fractions - p;
        float* back = mirror < rows ? &m_table[static_cast<size_t>(mirror) * taps] : nullptr;
        for (int j = 0; j < taps; ++j) {
            out[j] = static_cast<float>(row[static_cast<size_t>(j)] / sum);
            if (back)
                back[taps - 1 - j] = out[j];
        }
    }
}

const float* PolyphaseFilter::Coefficients(int64_t num, float* scratch) const
{
    const int taps = Taps();
    if (m_exact)
        return &m_table[static_cast<size_t>(num / m_numPerRow) * taps];
    const double pos = static_cast<double>(num) * kPhases / static_cast<double>(m_outRate);
    const int p = std::min(std::max(static_cast<int>(pos), 0), kPhases - 1);
    const float mu = static_cast<float>(pos - p);
    const float* a = &m_table[static_cast<size_t>(p) * taps];
    const float* b = a + taps;
    for (int j = 0; j < taps; ++j)
        scratch[j] = a[j] + mu * (b[j] - a[j]);
    return scratch;
}

}  // namespace zaudio
