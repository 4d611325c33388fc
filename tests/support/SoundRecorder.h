// Records what the programs under test play: parec on the PulseAudio null sink "zsink"
// that tools/wine-env.sh starts, into a WAV file of the test's own. The recorder owns its
// parec process and stops it when it is stopped or destroyed.
#pragma once

#include <windows.h>

#include <string>

#include "support/SoundSections.h"

namespace wt {

class SoundRecorder {
public:
    SoundRecorder() = default;
    ~SoundRecorder();
    SoundRecorder(const SoundRecorder&) = delete;
    SoundRecorder& operator=(const SoundRecorder&) = delete;

    // Starts recording into `folder` (a Windows path with a trailing backslash); true once
    // the recording has begun.
    bool Start(const std::string& folder);
    // Stops recording and reads what was recorded; false when nothing usable was recorded.
    bool Stop(Recording& out);

private:
    void Kill();

    std::string m_wav, m_pid;
    bool m_running = false;
};

}  // namespace wt
