// The Windows output of fmod.dll: a waveOut device fed by a mixing thread of its own.
#pragma once

#include "audio/SoundSystem.h"

namespace zaudio {

// Opens the waveOut device for config.driver (0: the system's default device, n: device n),
// 16-bit stereo at config.rate, with config.bufferMs of sound queued in four blocks, and
// starts the thread that refills them from target. Null with error set when it cannot.
std::unique_ptr<OutputDevice> OpenWaveOut(const OutputConfig& config, MixTarget& target, int& error);

}  // namespace zaudio
