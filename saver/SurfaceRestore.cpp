// The restore timing of lost surfaces (see SurfaceRestore.h).
#include "saver/SurfaceRestore.h"

void SurfaceRestore::Lost(uint32_t now) {
    m_waiting = true;
    m_since = now;
    m_lastTry = now;
    m_tries = 0;
}

void SurfaceRestore::Restart(uint32_t now) {
    if (!m_waiting) return;
    m_since = now;
    m_lastTry = now;
}

RestoreStep SurfaceRestore::Next(uint32_t now) const {
    if (!m_waiting) return RestoreStep::Wait;
    if (now - m_lastTry < kRestoreRetryMs) return RestoreStep::Wait;
    // Tries go on for the whole minute; the first step due after it gives up.
    if (now - m_since > kRestoreGiveUpMs) return RestoreStep::GiveUp;
    return RestoreStep::Try;
}

void SurfaceRestore::Tried(bool restored, uint32_t now) {
    if (!m_waiting) return;
    ++m_tries;
    m_lastTry = now;
    if (restored) m_waiting = false;
}

uint32_t SurfaceRestore::WaitMs(uint32_t now) const {
    if (!m_waiting) return 0;
    const uint32_t since = now - m_lastTry;
    return since >= kRestoreRetryMs ? 0 : kRestoreRetryMs - since;
}
