// Spectrum: a Blackman-Harris windowed FFT for the sound tests that need more than 90 dB of
// range (tones, their images and aliases). Header only, so that native tests use it too.
// Everything is returned by value.
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

namespace spectrum {

const double kPi = 3.14159265358979323846;

// In-place radix-2 FFT; the size must be a power of two.
inline void Fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2.0 * kPi / static_cast<double>(len);
        for (size_t i = 0; i < n; i += len) {
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> w = std::polar(1.0, angle * static_cast<double>(k));
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

// The four-term Blackman-Harris window (side lobes 92 dB down; a tone centred on a bin
// leaks into no bin further than three away).
inline double BlackmanHarris(size_t i, size_t n)
{
    const double x = 2.0 * kPi * static_cast<double>(i) / static_cast<double>(n);
    return 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
}

// Amplitude per bin (0 .. n/2) of n samples of one channel of interleaved stereo frames,
// from frame 'first' on, scaled so that a sine of amplitude A centred on a bin reads A there.
inline std::vector<double> Amplitudes(const std::vector<float>& stereo, int channel, size_t first, size_t n)
{
    std::vector<std::complex<double>> a(n);
    double gain = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double w = BlackmanHarris(i, n);
        gain += w;
        const size_t at = 2 * (first + i) + static_cast<size_t>(channel);
        a[i] = at < stereo.size() ? w * stereo[at] : 0.0;
    }
    Fft(a);
    std::vector<double> amp(n / 2 + 1);
    for (size_t k = 0; k <= n / 2; ++k)
        amp[k] = 2.0 * std::abs(a[k]) / gain;
    return amp;
}

inline double Db(double ratio) { return 20.0 * std::log10(ratio > 1e-30 ? ratio : 1e-30); }

// The frequency of the bin nearest to 'hz' for n samples at 'rate'.
inline double BinCentred(double hz, int rate, size_t n)
{
    const double bin = static_cast<double>(rate) / static_cast<double>(n);
    return std::round(hz / bin) * bin;
}

struct Peak {
    double hz = 0;
    double amplitude = 0;
};

// The strongest bin further than 'guard' bins from 'hz' (the tone's own main lobe) and
// from 0 Hz.
inline Peak StrongestOther(const std::vector<double>& amp, double hz, int rate, size_t guard)
{
    const size_t n = 2 * (amp.size() - 1);
    const double bin = static_cast<double>(rate) / static_cast<double>(n);
    const long tone = std::lround(hz / bin);
    Peak p;
    for (size_t k = guard + 1; k < amp.size(); ++k) {
        if (std::labs(static_cast<long>(k) - tone) <= static_cast<long>(guard))
            continue;
        if (amp[k] > p.amplitude) {
            p.amplitude = amp[k];
            p.hz = static_cast<double>(k) * bin;
        }
    }
    return p;
}

}  // namespace spectrum
