// songsynth: renders one of our songs from its note list (made by compose.py) into a
// 44100 Hz 16-bit stereo WAV file. A build-time host tool; it owns nothing beyond main.
//
// Note list, one item per line ("#" starts a comment):
//   song SECONDS                      total length, the reverb tail included
//   reverb WET ROOM DAMP              room of the whole mix (0..1 each)
//   n START DUR MIDI VEL INSTR PAN    a note: seconds, seconds, MIDI pitch, 0..1, name, -1..1
// Instruments: pad, epiano, bell, harp, bass, flute, kick, shaker.
// Every envelope starts and ends at zero, so notes never click; the mix is normalised to
// a peak of -1 dBFS and faded out over its last second. Output is the same on every run.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const int kRate = 44100;
const double kPi = 3.14159265358979323846;
const double kTwoPi = 2 * kPi;

struct Note {
    double start, dur;
    double midi, vel;
    std::string instr;
    double pan;
};

double Hz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

// Attack-decay-sustain-release envelope; note-off at 'off'. Linear attack, exponential decay
// and release; the release ends in a short linear ramp so the note finishes at exactly zero.
struct Adsr {
    double a, d, s, r;
    double At(double t, double off) const
    {
        auto held = [this](double x) {
            if (x < a)
                return x / a;
            return s + (1 - s) * std::exp(-(x - a) / d);
        };
        if (t < off)
            return held(t);
        double level = held(off);
        double x = t - off;
        if (x >= r)
            return 0.0;
        double v = level * std::exp(-4.0 * x / r);
        double tail = 1.0 - x / r;  // forces zero at the end
        return v * std::min(1.0, tail * 5.0);
    }
    double Length(double off) const { return off + r; }
};

// A single-cycle wavetable of given harmonic amplitudes, read with linear interpolation.
struct Table {
    std::vector<float> w;
    explicit Table(const std::vector<double>& harmonics) : w(4096 + 1)
    {
        double peak = 0;
        for (size_t i = 0; i < 4096; ++i) {
            double x = 0;
            for (size_t k = 0; k < harmonics.size(); ++k)
                x += harmonics[k] * std::sin(kTwoPi * (k + 1) * i / 4096.0);
            w[i] = static_cast<float>(x);
            peak = std::max(peak, std::fabs(x));
        }
        for (auto& v : w)
            v = static_cast<float>(v / peak);
        w[4096] = w[0];
    }
    float At(double phase) const  // phase in cycles
    {
        double p = (phase - std::floor(phase)) * 4096.0;
        size_t i = static_cast<size_t>(p);
        double f = p - i;
        return static_cast<float>(w[i] + (w[i + 1] - w[i]) * f);
    }
};

std::vector<double> SoftSaw(int n, double rolloff)
{
    std::vector<double> h;
    for (int k = 1; k <= n; ++k)
        h.push_back(std::exp(-rolloff * (k - 1)) / k);
    return h;
}

const Table& PadTable()
{
    static Table t(SoftSaw(10, 0.35));
    return t;
}
const Table& FluteTable()
{
    static Table t({1.0, 0.12, 0.06, 0.02});
    return t;
}
const Table& BassTable()
{
    static Table t({1.0, 0.35, 0.1});
    return t;
}

uint32_t g_noise = 0x1234567u;
double Noise()
{
    g_noise = g_noise * 1664525u + 1013904223u;
    return (g_noise >> 8) / 8388608.0 - 1.0;
}

// Renders one note into the mono buffer 'out' starting at sample 'first'.
void RenderNote(const Note& n, std::vector<float>& out, size_t first)
{
    const double f = Hz(n.midi);
    const std::string& in = n.instr;
    Adsr env;
    if (in == "pad")
        env = {0.7, 1.5, 0.8, 1.4};
    else if (in == "epiano")
        env = {0.004, 1.1, 0.25, 0.45};
    else if (in == "bell")
        env = {0.003, 1.6, 0.0, 1.2};
    else if (in == "harp")
        env = {0.003, 3.0, 0.0, 0.35};
    else if (in == "bass")
        env = {0.012, 0.5, 0.75, 0.18};
    else if (in == "flute")
        env = {0.09, 0.6, 0.85, 0.25};
    else if (in == "kick")
        env = {0.002, 0.12, 0.0, 0.05};
    else if (in == "shaker")
        env = {0.004, 0.03, 0.0, 0.03};
    else {
        std::cerr << "songsynth: unknown instrument " << in << "\n";
        std::exit(1);
    }
    const size_t len = static_cast<size_t>(env.Length(n.dur) * kRate) + 1;
    if (out.size() < first + len)
        out.resize(first + len, 0.0f);

    double lp = 0;  // one-pole low-pass state (pad, shaker)
    for (size_t i = 0; i < len; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double e = env.At(t, n.dur);
        double x = 0;
        if (in == "pad") {
            // Three slightly detuned voices with a slow shimmer.
            double shimmer = 1.0 + 0.002 * std::sin(kTwoPi * 0.3 * t);
            x = (PadTable().At(f * t * shimmer) + PadTable().At(f * 1.004 * t) + PadTable().At(f * 0.996 * t)) / 3.0;
            lp += 0.18 * (x - lp);
            x = lp;
        } else if (in == "epiano") {
            double index = 1.6 * std::exp(-t * 2.5) + 0.2;
            x = std::sin(kTwoPi * f * t + index * std::sin(kTwoPi * f * t)) +
                0.15 * std::sin(kTwoPi * 2 * f * t) * std::exp(-t * 4);
        } else if (in == "bell") {
            double index = 2.2 * std::exp(-t * 1.8);
            x = std::sin(kTwoPi * f * t + index * std::sin(kTwoPi * 3.5 * f * t));
        } else if (in == "harp") {
            for (int k = 1; k <= 8; ++k)
                x += std::sin(kTwoPi * k * f * t) * std::exp(-t * (0.8 + 0.9 * k)) / (k * k * 0.6 + 0.4);
        } else if (in == "bass") {
            x = BassTable().At(f * t);
        } else if (in == "flute") {
            double vib = t > 0.35 ? 0.004 * std::sin(kTwoPi * 5.0 * t) * std::min(1.0, (t - 0.35) * 2) : 0.0;
            x = FluteTable().At(f * t * (1.0 + vib));
        } else if (in == "kick") {
            double sweep = f * (1.0 + 2.5 * std::exp(-t * 40));
            x = std::sin(kTwoPi * sweep * t);
        } else if (in == "shaker") {
            double w = Noise();
            lp += 0.5 * (w - lp);
            x = (w - lp) * 0.8;  // the high part of the noise
        }
        out[first + i] += static_cast<float>(x * e * n.vel);
    }
}

// Freeverb-style room: eight damped combs and four all-passes per side.
class Reverb {
public:
    Reverb(double room, double damp)
    {
        const int combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
        const int passes[4] = {556, 441, 341, 225};
        for (int side = 0; side < 2; ++side) {
            for (int c : combs)
                m_comb[side].push_back({std::vector<float>(static_cast<size_t>(c + 23 * side), 0.0f), 0, 0.0f});
            for (int a : passes)
                m_pass[side].push_back({std::vector<float>(static_cast<size_t>(a + 23 * side), 0.0f), 0, 0.0f});
        }
        m_feedback = static_cast<float>(room * 0.28 + 0.7);
        m_damp = static_cast<float>(damp * 0.4);
    }
    void Process(float inL, float inR, float& outL, float& outR)
    {
        float in = (inL + inR) * 0.015f;
        float o[2];
        for (int side = 0; side < 2; ++side) {
            float acc = 0;
            for (auto& c : m_comb[side]) {
                float y = c.buf[c.pos];
                c.store = y * (1 - m_damp) + c.store * m_damp;
                c.buf[c.pos] = in + c.store * m_feedback;
                if (++c.pos >= c.buf.size())
                    c.pos = 0;
                acc += y;
            }
            for (auto& a : m_pass[side]) {
                float b = a.buf[a.pos];
                float y = -acc + b;
                a.buf[a.pos] = acc + b * 0.5f;
                if (++a.pos >= a.buf.size())
                    a.pos = 0;
                acc = y;
            }
            o[side] = acc;
        }
        outL = o[0];
        outR = o[1];
    }

private:
    struct Line {
        std::vector<float> buf;
        size_t pos;
        float store;
    };
    std::vector<Line> m_comb[2], m_pass[2];
    float m_feedback, m_damp;
};

void Put16(std::ofstream& f, uint16_t v)
{
    char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    f.write(b, 2);
}
void Put32(std::ofstream& f, uint32_t v)
{
    Put16(f, static_cast<uint16_t>(v & 0xFFFF));
    Put16(f, static_cast<uint16_t>(v >> 16));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: songsynth NOTES.txt OUT.wav\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "songsynth: cannot read " << argv[1] << "\n";
        return 1;
    }
    double seconds = 0, wet = 0.25, room = 0.6, damp = 0.5;
    std::vector<Note> notes;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string kind;
        if (!(ls >> kind) || kind[0] == '#')
            continue;
        if (kind == "song") {
            ls >> seconds;
        } else if (kind == "reverb") {
            ls >> wet >> room >> damp;
        } else if (kind == "n") {
            Note n;
            if (!(ls >> n.start >> n.dur >> n.midi >> n.vel >> n.instr >> n.pan)) {
                std::cerr << "songsynth: bad note line: " << line << "\n";
                return 1;
            }
            notes.push_back(n);
        }
    }
    if (seconds <= 0 || notes.empty()) {
        std::cerr << "songsynth: no song in " << argv[1] << "\n";
        return 1;
    }

    const size_t frames = static_cast<size_t>(seconds * kRate);
    std::vector<float> left(frames, 0.0f), right(frames, 0.0f);
    std::vector<float> voice;
    for (const Note& n : notes) {
        voice.assign(0, 0.0f);
        RenderNote(n, voice, 0);
        // Equal-power pan.
        double a = (n.pan + 1) * kPi / 4;
        float gl = static_cast<float>(std::cos(a) * std::sqrt(2.0)), gr = static_cast<float>(std::sin(a) * std::sqrt(2.0));
        size_t first = static_cast<size_t>(n.start * kRate);
        for (size_t i = 0; i < voice.size() && first + i < frames; ++i) {
            left[first + i] += voice[i] * gl;
            right[first + i] += voice[i] * gr;
        }
    }

    Reverb reverb(room, damp);
    double peak = 1e-9;
    for (size_t i = 0; i < frames; ++i) {
        float wl, wr;
        reverb.Process(left[i], right[i], wl, wr);
        left[i] = static_cast<float>(left[i] * (1 - wet * 0.5) + wl * wet * 3.0);
        right[i] = static_cast<float>(right[i] * (1 - wet * 0.5) + wr * wet * 3.0);
        peak = std::max(peak, static_cast<double>(std::max(std::fabs(left[i]), std::fabs(right[i]))));
    }
    const double gain = 0.891 / peak;  // -1 dBFS
    const size_t fade = kRate;         // the last second fades out
    std::ofstream out(argv[2], std::ios::binary);
    out.write("RIFF", 4);
    Put32(out, static_cast<uint32_t>(36 + frames * 4));
    out.write("WAVEfmt ", 8);
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, 2);
    Put32(out, kRate);
    Put32(out, kRate * 4);
    Put16(out, 4);
    Put16(out, 16);
    out.write("data", 4);
    Put32(out, static_cast<uint32_t>(frames * 4));
    for (size_t i = 0; i < frames; ++i) {
        double g = gain;
        if (i + fade > frames)
            g *= static_cast<double>(frames - i) / fade;
        if (i < 441)
            g *= i / 441.0;
        Put16(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(left[i] * g * 32767))));
        Put16(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(right[i] * g * 32767))));
    }
    return out ? 0 : 1;
}
