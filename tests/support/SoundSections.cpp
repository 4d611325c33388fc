// Recorded WAV files cut into silence and tone sections.
#include "support/SoundSections.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace wt {

namespace {

uint32_t Le32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t Le16(const std::string& b, size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }

const double kWindowSeconds = 0.05;
const double kSliceSeconds = 0.005;
const double kLoudRms = 327.0;  // 1% of full scale
const double kToneTolerance = 0.10;
const size_t kBentReach = 4;  // windows a bent window looks for a steady one

struct Run {
    int tone;
    size_t first, count;
};

std::vector<Run> Join(const std::vector<int>& labels) {
    std::vector<Run> runs;
    for (size_t w = 0; w < labels.size(); ++w) {
        if (!runs.empty() && runs.back().tone == labels[w])
            ++runs.back().count;
        else
            runs.push_back({labels[w], w, 1});
    }
    return runs;
}

void Relabel(std::vector<int>& labels, const Run& run, int tone) {
    for (size_t w = run.first; w < run.first + run.count; ++w) labels[w] = tone;
}

bool Loud(const Recording& r, size_t first, size_t frames) {
    double sum = 0;
    for (size_t i = first * r.channels; i < (first + frames) * r.channels; ++i) sum += double(r.samples[i]) * r.samples[i];
    return std::sqrt(sum / double(frames * r.channels)) > kLoudRms;
}

int WindowLabel(const Recording& r, size_t first, size_t frames, const std::vector<double>& tones) {
    if (!Loud(r, first, frames)) return kSilent;
    // The median distance between rising zero crossings of the first channel is the period
    // of a sine, also when a drop-out of the sound server cuts through the window.
    std::vector<long> periods;
    long last = -1;
    for (size_t i = first + 1; i < first + frames; ++i) {
        if (r.samples[(i - 1) * r.channels] < 0 && r.samples[i * r.channels] >= 0) {
            if (last >= 0) periods.push_back(long(i) - last);
            last = long(i);
        }
    }
    if (periods.size() < 3) return kUnknown;
    std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
    double hertz = double(r.rate) / double(periods[periods.size() / 2]);
    for (size_t t = 0; t < tones.size(); ++t)
        if (std::fabs(hertz - tones[t]) <= tones[t] * kToneTolerance) return int(t);
    return kUnknown;
}

}  // namespace

bool ParseWav(const std::string& b, Recording& out) {
    out = Recording();
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return false;
    size_t at = 12;
    bool haveFormat = false;
    while (at + 8 <= b.size()) {
        std::string id = b.substr(at, 4);
        uint32_t size = Le32(b, at + 4);
        size_t body = at + 8;
        if (id == "fmt " && size >= 16 && body + 16 <= b.size()) {
            if (Le16(b, body) != 1 || Le16(b, body + 14) != 16) return false;
            out.channels = Le16(b, body + 2);
            out.rate = int(Le32(b, body + 4));
            haveFormat = out.channels > 0 && out.rate > 0;
        } else if (id == "data") {
            if (!haveFormat) return false;
            size_t frames = (b.size() - body) / (2 * size_t(out.channels));
            out.samples.resize(frames * out.channels);
            if (!out.samples.empty()) memcpy(out.samples.data(), b.data() + body, out.samples.size() * 2);
            return true;
        }
        if (size > b.size() - body) return false;
        at = body + size + (size & 1);
    }
    return false;
}

std::vector<Section> Sections(const Recording& r, const std::vector<double>& tones, double bridge) {
    std::vector<Section> sections;
    if (r.rate <= 0 || r.channels <= 0) return sections;
    size_t frames = size_t(r.rate * kWindowSeconds);
    size_t windows = r.samples.size() / r.channels / frames;
    std::vector<int> labels(windows);
    for (size_t w = 0; w < windows; ++w) labels[w] = WindowLabel(r, w * frames, frames, tones);

    const std::vector<int> raw = labels;
    // A steady window: its neighbour on either side has the same tone.
    auto steady = [&](size_t w) {
        return raw[w] >= 0 && ((w > 0 && raw[w - 1] == raw[w]) || (w + 1 < windows && raw[w + 1] == raw[w]));
    };
    for (size_t w = 0; w < windows; ++w) {
        if (raw[w] == kSilent || steady(w)) continue;
        for (size_t d = 1; d <= kBentReach; ++d) {
            if (w >= d && steady(w - d)) {
                labels[w] = raw[w - d];
                break;
            }
            if (w + d < windows && steady(w + d)) {
                labels[w] = raw[w + d];
                break;
            }
        }
    }
    // Short drop-outs inside one tone.
    std::vector<Run> runs = Join(labels);
    size_t bridgeWindows = size_t(bridge / kWindowSeconds + 0.5);
    for (size_t i = 1; i + 1 < runs.size(); ++i)
        if (runs[i].tone == kSilent && runs[i].count < bridgeWindows && runs[i - 1].tone >= 0 &&
            runs[i - 1].tone == runs[i + 1].tone)
            Relabel(labels, runs[i], runs[i - 1].tone);

    // What was heard of a section is counted in slices much shorter than a window, so that
    // drop-outs shorter than a window do not count as sound.
    size_t slice = size_t(r.rate * kSliceSeconds);
    for (const Run& run : Join(labels)) {
        size_t loud = 0;
        for (size_t f = run.first * frames; f + slice <= (run.first + run.count) * frames; f += slice)
            if (Loud(r, f, slice)) ++loud;
        sections.push_back({run.tone, run.first * kWindowSeconds, run.count * kWindowSeconds, loud * kSliceSeconds});
    }
    return sections;
}

std::string Describe(const std::vector<Section>& sections, const std::vector<double>& tones) {
    std::string text;
    char buffer[96];
    for (const Section& s : sections) {
        std::string what = s.tone == kSilent ? "silence" : s.tone == kUnknown ? "other sound"
                                                                                : std::to_string(int(tones[s.tone])) + " Hz";
        if (s.tone == kSilent)
            snprintf(buffer, sizeof buffer, "[%s %.2f+%.2f] ", what.c_str(), s.start, s.length);
        else
            snprintf(buffer, sizeof buffer, "[%s %.2f+%.2f heard %.2f] ", what.c_str(), s.start, s.length, s.loud);
        text += buffer;
    }
    return text;
}

double Peak(const Recording& r) {
    int peak = 0;
    for (int16_t s : r.samples) peak = std::max(peak, std::abs(int(s)));
    return peak / 32768.0;
}

}  // namespace wt
