// The dialog thread's keyboard hook: one hook and one target dialog per process.
#include "ui/KeyboardHook.h"

namespace {

HHOOK g_hook = nullptr;
HWND g_target = nullptr;

LRESULT CALLBACK DialogKeyHookProc(int code, WPARAM key, LPARAM keyData) {
    if (code >= 0 && g_target) {
        // Bit 31 is the transition state: set while the key is being released.
        UINT message = (static_cast<DWORD>(keyData) & 0x80000000u) ? WM_KEYUP : WM_KEYDOWN;
        SendMessageA(g_target, message, key, keyData);
    }
    return CallNextHookEx(g_hook, code, key, keyData);
}

}  // namespace

void InstallDialogKeyHook(HWND target) {
    RemoveDialogKeyHook();
    g_target = target;
    g_hook = SetWindowsHookExA(WH_KEYBOARD, DialogKeyHookProc, nullptr, GetCurrentThreadId());
}

void RemoveDialogKeyHook() {
    if (g_hook)
        UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
    g_target = nullptr;
}
