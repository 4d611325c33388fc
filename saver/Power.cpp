// Power and session reports of a full-screen run (see Power.h); the decisions are in
// saver/PowerRules.cpp.
#include "saver/Power.h"

#include "diag/Log.h"
#include "saver/PowerRules.h"

namespace {

// GUID_CONSOLE_DISPLAY_STATE: 0 off, 1 on, 2 dimmed (Windows 8 and later).
const GUID kConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

// POWERBROADCAST_SETTING, which the headers declare only for newer target systems.
struct PowerSetting {
    GUID setting;
    DWORD dataLength;
    DWORD data;  // the display state is one DWORD
};

using RegisterPowerSettingFn = HANDLE(WINAPI*)(HANDLE recipient, const GUID* setting, DWORD flags);
using UnregisterPowerSettingFn = BOOL(WINAPI*)(HANDLE notification);
using RegisterSessionFn = BOOL(WINAPI*)(HWND window, DWORD flags);
using UnregisterSessionFn = BOOL(WINAPI*)(HWND window);
using SoundOutputFn = signed char(WINAPI*)();

PowerState gState;
HANDLE gDisplayNotification = nullptr;
HMODULE gSessionLibrary = nullptr;
HWND gSessionWindow = nullptr;

template <class F> F Lookup(HMODULE module, const char* name) {
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// Our fmod.dll closes its output across a suspend; another sound library simply goes on.
void CallSoundOutput(const char* function) {
    if (SoundOutputFn f = Lookup<SoundOutputFn>(GetModuleHandleA("fmod.dll"), function)) f();
}

void LogEvent(PowerEvent event) {
    switch (event) {
    case PowerEvent::DisplayOff:
        ZLOG(LogInfo, "Power: display off");
        break;
    case PowerEvent::DisplayOn:
        ZLOG(LogInfo, "Power: display on");
        break;
    case PowerEvent::SessionLocked:
        ZLOG(LogInfo, "Power: session locked");
        break;
    case PowerEvent::SessionUnlocked:
        ZLOG(LogInfo, "Power: session unlocked");
        break;
    case PowerEvent::Suspending:
        ZLOG(LogInfo, "Power: suspending, sound output closed");
        break;
    case PowerEvent::Resumed:
        ZLOG(LogInfo, "Power: resumed, sound output reopened");
        break;
    case PowerEvent::None:
        break;
    }
}

}  // namespace

void StartPowerWatch(HWND window) {
    gState = PowerState();
    HMODULE user = GetModuleHandleA("user32.dll");
    if (auto reg = Lookup<RegisterPowerSettingFn>(user, "RegisterPowerSettingNotification"))
        gDisplayNotification = reg(window, &kConsoleDisplayState, 0 /* DEVICE_NOTIFY_WINDOW_HANDLE */);
    if (gDisplayNotification)
        ZLOG(LogInfo, "Power: watching the console display state");
    else
        ZLOG(LogInfo, "Power: watching monitor power commands");
    gSessionLibrary = LoadLibraryA("wtsapi32.dll");
    auto regSession = Lookup<RegisterSessionFn>(gSessionLibrary, "WTSRegisterSessionNotification");
    if (regSession && regSession(window, 0 /* NOTIFY_FOR_THIS_SESSION */)) {
        gSessionWindow = window;
    } else if (gSessionLibrary) {
        FreeLibrary(gSessionLibrary);
        gSessionLibrary = nullptr;
    }
}

void StopPowerWatch() {
    if (gDisplayNotification) {
        if (auto unreg = Lookup<UnregisterPowerSettingFn>(GetModuleHandleA("user32.dll"),
                                                          "UnregisterPowerSettingNotification"))
            unreg(gDisplayNotification);
        gDisplayNotification = nullptr;
    }
    if (gSessionLibrary) {
        if (auto unreg = Lookup<UnregisterSessionFn>(gSessionLibrary, "WTSUnRegisterSessionNotification"))
            unreg(gSessionWindow);
        FreeLibrary(gSessionLibrary);
        gSessionLibrary = nullptr;
        gSessionWindow = nullptr;
    }
    // A suspend that never saw its resume leaves no closed output behind.
    if (gState.suspended) CallSoundOutput("FSOUND_ResumeOutput");
    gState = PowerState();
}

void HandlePowerMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    PowerEvent event = PowerEvent::None;
    if (message == kPowerBroadcast && wParam == kPowerSettingChange) {
        const auto* setting = reinterpret_cast<const PowerSetting*>(lParam);
        if (setting && IsEqualGUID(setting->setting, kConsoleDisplayState) && setting->dataLength >= sizeof(DWORD))
            event = DisplayStateEvent(setting->data);
    } else if (message == kPowerBroadcast) {
        event = BroadcastEvent(static_cast<uint32_t>(wParam));
    } else if (message == kSessionChange) {
        event = SessionEvent(static_cast<uint32_t>(wParam));
    } else if (message == WM_SYSCOMMAND) {
        event = MonitorPowerEvent(static_cast<uint32_t>(wParam), lParam, gDisplayNotification != nullptr);
    }
    if (!gState.Apply(event)) return;
    if (event == PowerEvent::Suspending) CallSoundOutput("FSOUND_SuspendOutput");
    if (event == PowerEvent::Resumed) CallSoundOutput("FSOUND_ResumeOutput");
    LogEvent(event);
}

bool DisplayDark() { return gState.Dark(); }

void WaitForMessageOrTimeout(DWORD ms) { MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT); }
