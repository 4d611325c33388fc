// What the system's power and session messages mean for a running saver: when the display
// is dark (switched off, the session locked, the machine suspending) nothing is drawn. Plain
// values in, plain values out; the Win32 glue is saver/Power.cpp.
#pragma once

#include <cstdint>

enum class PowerEvent {
    None,
    DisplayOff,
    DisplayOn,
    SessionLocked,
    SessionUnlocked,
    Suspending,
    Resumed,
};

// The message values the rules read (the system's own numbers).
constexpr uint32_t kPowerBroadcast = 0x0218;      // WM_POWERBROADCAST
constexpr uint32_t kSessionChange = 0x02B1;       // WM_WTSSESSION_CHANGE
constexpr uint32_t kApmSuspend = 0x0004;          // PBT_APMSUSPEND
constexpr uint32_t kApmResumeSuspend = 0x0007;    // PBT_APMRESUMESUSPEND
constexpr uint32_t kApmResumeAutomatic = 0x0012;  // PBT_APMRESUMEAUTOMATIC
constexpr uint32_t kPowerSettingChange = 0x8013;  // PBT_POWERSETTINGCHANGE
constexpr uint32_t kMonitorPowerCommand = 0xF170; // SC_MONITORPOWER
constexpr uint32_t kSessionLock = 0x7;            // WTS_SESSION_LOCK
constexpr uint32_t kSessionUnlock = 0x8;          // WTS_SESSION_UNLOCK

// A power broadcast (its word parameter) other than a setting change.
PowerEvent BroadcastEvent(uint32_t broadcast);
// The console display state setting: 0 off, 1 on, 2 dimmed (still lit).
PowerEvent DisplayStateEvent(uint32_t state);
// A system command with its long parameter: SC_MONITORPOWER says 1 (low power) or 2 (off)
// before the display goes dark and -1 when it is back. Only heeded where the system cannot
// report the console display state: there the display state is the one to trust.
PowerEvent MonitorPowerEvent(uint32_t command, intptr_t lParam, bool displayStateReported);
// A session change (its word parameter).
PowerEvent SessionEvent(uint32_t change);

struct PowerState {
    bool displayOff = false;
    bool locked = false;
    bool suspended = false;

    bool Dark() const { return displayOff || locked || suspended; }
    // Takes the event in; true when it changed the state.
    bool Apply(PowerEvent event);
};
