// Reading a recorded WAV file and cutting it into sections a listener would tell apart:
// silence, or one of the test's sine tones. Everything is returned by value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wt {

struct Recording {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved
    double Seconds() const { return rate && channels ? double(samples.size()) / channels / rate : 0.0; }
};

// A 16-bit PCM WAV file. The data runs to the end of the file whatever its header says: a
// recorder that was stopped may not have had the chance to write the final size.
bool ParseWav(const std::string& bytes, Recording& out);

const int kSilent = -2;   // quieter than 1% of full scale
const int kUnknown = -1;  // sound, but none of the expected tones

struct Section {
    int tone = kSilent;  // kSilent, kUnknown or an index into the expected tones
    double start = 0;    // seconds from the start of the recording
    double length = 0;   // seconds
    // Seconds of it that were sound: a tone section can hold short drop-outs of the sound
    // server, which lengthen the section but not what was heard of the song.
    double loud = 0;
    double End() const { return start + length; }
};

// The recording cut into 50 ms windows, each silent or the expected tone (Hz) it is
// closest to within 10%, joined into sections. Two cleanings follow what the ear
// ignores: sound windows whose pitch is bent (a tone starting or ending inside the window,
// two tones meeting, a drop-out inside it) take the tone of the nearest steady window
// close by, and silences shorter than `bridge` seconds between two sections of the same
// tone (the sound server falling behind for a moment) join that tone.
std::vector<Section> Sections(const Recording& recording, const std::vector<double>& tones, double bridge = 0.3);
// "[440 Hz 0.00+1.50] [silence 1.50+2.00] ..." for failure messages.
std::string Describe(const std::vector<Section>& sections, const std::vector<double>& tones);
// The loudest sample of the recording, as a share of full scale.
double Peak(const Recording& recording);

}  // namespace wt
