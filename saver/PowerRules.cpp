// The power and session rules of a saver run (see PowerRules.h).
#include "saver/PowerRules.h"

PowerEvent BroadcastEvent(uint32_t broadcast) {
    switch (broadcast) {
    case kApmSuspend:
        return PowerEvent::Suspending;
    case kApmResumeSuspend:
    case kApmResumeAutomatic:
        return PowerEvent::Resumed;
    default:
        return PowerEvent::None;
    }
}

PowerEvent DisplayStateEvent(uint32_t state) {
    return state == 0 ? PowerEvent::DisplayOff : PowerEvent::DisplayOn;
}

PowerEvent MonitorPowerEvent(uint32_t command, intptr_t lParam, bool displayStateReported) {
    // The low four bits of a system command are the system's own.
    if ((command & 0xFFF0u) != kMonitorPowerCommand || displayStateReported) return PowerEvent::None;
    if (lParam == 1 || lParam == 2) return PowerEvent::DisplayOff;
    if (lParam == -1) return PowerEvent::DisplayOn;
    return PowerEvent::None;
}

PowerEvent SessionEvent(uint32_t change) {
    if (change == kSessionLock) return PowerEvent::SessionLocked;
    if (change == kSessionUnlock) return PowerEvent::SessionUnlocked;
    return PowerEvent::None;
}

bool PowerState::Apply(PowerEvent event) {
    const PowerState before = *this;
    switch (event) {
    case PowerEvent::DisplayOff:
        displayOff = true;
        break;
    case PowerEvent::DisplayOn:
        displayOff = false;
        break;
    case PowerEvent::SessionLocked:
        locked = true;
        break;
    case PowerEvent::SessionUnlocked:
        locked = false;
        break;
    case PowerEvent::Suspending:
        suspended = true;
        break;
    case PowerEvent::Resumed:
        suspended = false;
        break;
    case PowerEvent::None:
        break;
    }
    return before.displayOff != displayOff || before.locked != locked || before.suspended != suspended;
}
