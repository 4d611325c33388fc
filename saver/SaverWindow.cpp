// The saver window's procedure: what ends a run (keys, clicks, pointer movement, loss of
// activation), the close rules with the grace period and the password, and the pointer.
#include "saver/SaverWindow.h"

#include "core/Globals.h"
#include "core/SaverState.h"
#include "diag/Log.h"
#include "saver/MusicKeys.h"
#include "saver/Password.h"
#include "saver/Power.h"

static_assert(kKeyLeft == VK_LEFT && kKeyUp == VK_UP && kKeyRight == VK_RIGHT && kKeyDown == VK_DOWN,
              "arrow keys");
static_assert(kCommandNextWindow == SC_NEXTWINDOW && kCommandPrevWindow == SC_PREVWINDOW &&
                  kCommandClose == SC_CLOSE && kCommandScreenSave == SC_SCREENSAVE,
              "system commands");

InputState CurrentInputState() {
    InputState state;
    state.saverMode = RunMode == ModeSaver;
    if (ss) {
        state.passwordDialogUp = ss->PasswordDialogUp != 0;
        state.inputArmed = ss->InputArmed != 0;
        state.messageBoxUp = ss->MessageBoxUp != 0;
    }
    return state;
}

void RequestClose() {
    if (!ss) return;
    ss->CloseRequested = 1;
    PostMessageA(ss->Window, WM_CLOSE, 0, 0);
}

void ShowCursorForPassword() {
    if (!ss) return;
    ss->PasswordDialogUp = 1;
    SendMessageA(ss->Window, WM_SETCURSOR, reinterpret_cast<WPARAM>(ss->Window), 0);
}

void HideCursorAfterPassword() {
    if (!ss) return;
    ss->PasswordDialogUp = 0;
    SendMessageA(ss->Window, WM_SETCURSOR, reinterpret_cast<WPARAM>(ss->Window), 0);
    // Movement made while the dialog was up is not held against the user.
    GetCursorPos(&ss->CursorStart);
}

void HandleKeyDown(WPARAM virtualKey) {
    if (!ss) return;
    switch (ClassifyKey(static_cast<uint32_t>(virtualKey), ss->PlayMusic != 0, CurrentInputState())) {
    case KeyAction::MusicControl:
        HandleMusicKey(static_cast<uint32_t>(virtualKey));
        break;
    case KeyAction::Quit:
        ZLOG(LogInfo, "Key pressed -- Quitting screensaver");
        RequestClose();
        break;
    case KeyAction::Nothing:
        break;
    }
}

namespace {
DWORD gArmedAt = 0;  // tick count when the run armed its input
}  // namespace

void ArmInput() {
    if (!ss) return;
    GetCursorPos(&ss->CursorStart);
    gArmedAt = GetTickCount();
    ss->InputArmed = 1;
}

void HandleMouseMove() {
    if (!ss) return;
    InputState state = CurrentInputState();
    if (!state.saverMode || state.passwordDialogUp || !state.inputArmed) return;
    POINT pointer;
    if (!GetCursorPos(&pointer)) return;
    if (PointerSettling(GetTickCount(), gArmedAt)) {
        ss->CursorStart = pointer;
        return;
    }
    if (MoveEndsRun(state, pointer.x, pointer.y, ss->CursorStart.x, ss->CursorStart.y,
                    ss->MouseThreshold)) {
        ZLOG(LogInfo, "Mouse moved -- Quitting screensaver");
        RequestClose();
    }
}

namespace {

// Set while the saver window is being destroyed: the loss of activation that comes with the
// destruction is not a new request to close.
bool gDestroying = false;

LRESULT OnClose(HWND window, WPARAM wParam, LPARAM lParam) {
    CloseAction action = DecideClose(CurrentInputState(), ss->CloseRequested != 0, GetTickCount(),
                                     ss->InitTime, ss->PasswordDelay);
    if (action == CloseAction::Default) return DefWindowProcA(window, WM_CLOSE, wParam, lParam);
    // A close asked for during the set-up would tear the scene down under its messages;
    // the run asks again once it is up.
    if (action == CloseAction::Ignore || action == CloseAction::Wait) return 0;
    ZLOG(LogInfo, "WM_CLOSE: Checking PasswordDelay");
    if (action == CloseAction::AskPassword) {
        ZLOG(LogInfo, "WM_CLOSE: GetTickCount() - ss->InitTime > 1000*ss->PasswordDelay");
        ShowCursorForPassword();
        bool canClose = VerifyPassword(window);
        HideCursorAfterPassword();
        if (!canClose) return 0;
    }
    ZLOG(LogInfo, "WM_CLOSE: CanClose == true, Calling DestroyWindow()");
    gDestroying = true;
    DestroyWindow(window);
    return 0;
}

bool IsDeactivation(UINT message, WPARAM wParam) {
    if (message == WM_ACTIVATE) return LOWORD(wParam) == WA_INACTIVE;
    return wParam == FALSE;  // WM_ACTIVATEAPP, WM_NCACTIVATE
}

}  // namespace

LRESULT CALLBACK ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!ss) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_CREATE:
        gDestroying = false;
        ss->Window = window;
        GetCursorPos(&ss->CursorStart);
        ss->InitTime = GetTickCount();
        if (RunMode == ModeSaver) StartPowerWatch(window);
        return 0;
    case WM_DESTROY:
        StopPowerWatch();
        ZLOG(LogInfo, "PostQuitMessage(0)");
        PostQuitMessage(0);
        break;
    case WM_CLOSE:
        return OnClose(window, wParam, lParam);
    case WM_SETCURSOR:
        if (RunMode == ModeSaver && !ss->PasswordDialogUp)
            SetCursor(nullptr);
        else
            SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        break;
    case WM_MOUSEMOVE:
        HandleMouseMove();
        break;
    case WM_POWERBROADCAST:
    case WM_WTSSESSION_CHANGE:
        HandlePowerMessage(message, wParam, lParam);
        break;
    case WM_SYSCOMMAND:
        HandlePowerMessage(message, wParam, lParam);
        if (SwallowSystemCommand(static_cast<uint32_t>(wParam), CurrentInputState())) return 0;
        break;
    case WM_KEYDOWN:
        HandleKeyDown(wParam);
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (ClickEndsRun(CurrentInputState())) {
            ZLOG(LogInfo, "Key pressed -- Quitting screensaver");
            RequestClose();
        }
        break;
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
    case WM_NCACTIVATE:
        if (!gDestroying && DeactivationEndsRun(CurrentInputState(), IsDeactivation(message, wParam))) {
            ZLOG(LogInfo, "Lost activation -- Quitting screensaver");
            RequestClose();
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
