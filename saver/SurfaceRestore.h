// When a run whose surfaces were lost tries to get them back: a try every few hundred
// milliseconds while nothing is drawn, and a failed run once a minute has passed without
// success. Millisecond ticks in (wrapping 32-bit counts), decisions out; the main loop
// (MainLoop.cpp) acts on them.
#pragma once

#include <cstdint>

constexpr uint32_t kRestoreRetryMs = 300;
constexpr uint32_t kRestoreGiveUpMs = 60000;

enum class RestoreStep {
    Wait,    // not yet time for the next try
    Try,     // try to restore now, then report the result
    GiveUp,  // restoring failed for too long: the run ends as a failed run
};

class SurfaceRestore {
public:
    // The surfaces were found lost at `now`; the first try comes one retry interval later,
    // when whatever took the screen is usually done with it.
    void Lost(uint32_t now);
    // Starts the waiting over at `now` (the display was dark meanwhile: that time does not
    // count towards giving up).
    void Restart(uint32_t now);
    bool Waiting() const { return m_waiting; }
    RestoreStep Next(uint32_t now) const;
    // The result of a try made at `now`.
    void Tried(bool restored, uint32_t now);
    // Milliseconds to sleep before the next step is due (0 when it is due now).
    uint32_t WaitMs(uint32_t now) const;
    // Tries made since the surfaces were lost; milliseconds since then.
    int Tries() const { return m_tries; }
    uint32_t LostFor(uint32_t now) const { return m_waiting ? now - m_since : 0; }

private:
    bool m_waiting = false;
    uint32_t m_since = 0;
    uint32_t m_lastTry = 0;
    int m_tries = 0;
};
