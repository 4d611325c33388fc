// DoSaver: one saver run, full screen or as a preview. Registers the window classes,
// switches the display mode when asked, creates the saver window, brings up the scene and
// the music, runs the main loop and undoes every change to the system on the way out.
#include "saver/Saver.h"

#include <cstring>

#include "core/Globals.h"
#include "core/Product.h"
#include "core/SaverState.h"
#include "diag/Log.h"
#include "saver/MainLoop.h"
#include "saver/Monitors.h"
#include "saver/Power.h"
#include "saver/SaverWindow.h"
#include "scene/FrameClock.h"
#include "scene/Scene.h"
#ifdef ZEPHYL_MUSIC_PLAYER
#include "music/Music.h"
#endif

const char* const kSaverClassName = "ZephylSaver";
const char* const kChildClassName = "ZephylChildClass";
const char* const kSaverTitle = kProductName;

bool QuitRequested = false;

namespace {

const char* const kMultimonitorTitle = "Zephyl Multimonitor window";
const char* const kRegisterFailedText = "RegisterClass() failed:  Cannot register window class.";
const char* const kModeRefusedText =
    "The Requested Display Mode Is Not Supported By\nYour Video Card.";
const char* const kSoundErrorCaption = "Error initializing sound";
const char* const kSoundErrorText =
    "An error was encountered while initializing the sound subsystem.\n\n"
    "Possible causes include:\n"
    "-A file may be corrupt and you need to re-install the screensaver\n"
    "-You may have a corrupt music file in your playlist, try clearing your playlist\n"
    "-Your hardware drivers may be out of date, try installing the latest drivers.\n\n"
    "If all else fails, try disabling music and contact support.";
const DWORD kFramePauseMs = 5;

HWND gPreviewParent = nullptr;

// The music player's side of a run. Until the player is part of the build the run is
// silent and music start-up counts as successful.
bool StartMusic() {
#ifdef ZEPHYL_MUSIC_PLAYER
    return initSound();
#else
    return true;
#endif
}
void StepMusic() {
#ifdef ZEPHYL_MUSIC_PLAYER
    UpdateSound(FrameMilliseconds());
#endif
}
void StopMusic() {
#ifdef ZEPHYL_MUSIC_PLAYER
    ShutdownSound();
#endif
}

bool RegisterSaverClass(const char* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = InstanceHandle;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass) != 0;
}

void UnregisterClasses() {
    try {
        UnregisterClassA(kSaverClassName, InstanceHandle);
        UnregisterClassA(kChildClassName, InstanceHandle);
    } catch (...) {
        ZLOG(LogException, "Exception caught on UnregisterClass()");
    }
}

void ShowError(HWND owner, const char* caption, const char* text, UINT icon = 0) {
    if (ss) ss->MessageBoxUp = 1;
    MessageBoxA(owner, text, caption, MB_OK | icon);
}

void SetSaverRunning(bool running) {
    BOOL previous = FALSE;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running ? TRUE : FALSE, &previous, 0);
}

std::string FixedText(const BYTE* text, size_t size) {
    const char* chars = reinterpret_cast<const char*>(text);
    return std::string(chars, strnlen(chars, size));
}

void LogCurrentMode(const DEVMODEA& mode, const ModeChoice& choice) {
    const char* const modeBlock = "currentMode settings:";
    ZLOG_ENTER(LogEnter, "Begin block: " << modeBlock);
    ZLOG(LogInfo, "DeviceName: " << FixedText(mode.dmDeviceName, sizeof mode.dmDeviceName));
    ZLOG(LogInfo, "Driver version: " << mode.dmDriverVersion);
    ZLOG(LogInfo, "BitsPerPel: " << mode.dmBitsPerPel);
    ZLOG(LogInfo, "Resolution: " << mode.dmPelsWidth << "x" << mode.dmPelsHeight);
    ZLOG(LogInfo, "Freq: " << mode.dmDisplayFrequency << "Hz");
    ZLOG_EXIT(LogLeave, "End block: " << modeBlock);
    ZLOG(LogInfo, "Requested mode:");
    if (choice.keepDesktop)
        ZLOG(LogInfo, "NO CHANGE");
    else
        ZLOG(LogInfo, ModeText(RequestedMode));

    const char* const settingsBlock = "Screensaver settings:";
    ZLOG_ENTER(LogEnter, "Begin block: " << settingsBlock);
    ZLOG(LogInfo, "Play Music: " << ss->PlayMusic);
    ZLOG(LogInfo, "Custom Music: " << ss->CustomMusic);
    ZLOG(LogInfo, "Default Music: " << ss->DefaultMusic);
    ZLOG(LogInfo, "Shuffle playlist: " << ss->ShuffleMusic);
    ZLOG(LogInfo, "Mipmap: " << ss->MipMap);
    ZLOG(LogInfo, "Flag Quality: " << ss->Quality);
    ZLOG_EXIT(LogLeave, "End block: " << settingsBlock);
}

bool SwitchDisplayMode(const ScreenMode& mode) {
    DEVMODEA wanted = {};
    wanted.dmSize = sizeof wanted;
    wanted.dmPelsWidth = static_cast<DWORD>(mode.width);
    wanted.dmPelsHeight = static_cast<DWORD>(mode.height);
    wanted.dmBitsPerPel = static_cast<DWORD>(mode.bits);
    wanted.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    return ChangeDisplaySettingsA(&wanted, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

// Drops a quit message that the destruction of the saver window left in the queue, so that
// message boxes shown after the run are not closed by it at once.
void DropQuitMessage() {
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

void DestroySaverWindow() {
    if (hScrWindow && IsWindow(hScrWindow)) DestroyWindow(hScrWindow);
    hScrWindow = nullptr;
    if (ss) ss->Window = nullptr;
    DropQuitMessage();
}

// The scene or the window could not be brought up: undo what the run changed and tell the
// user. The scene is cleaned up first so that the graphics layer gives up the screen
// before the display mode is restored and the message box is shown.
void StartupFailure(const char* text) {
    CleanUp();
    ss->SetCriticalError(1);
    if (hDC) ReleaseDC(hScrWindow, hDC);
    hDC = nullptr;
    DestroyBlankingWindows();
    if (DisplayModeChanged) {
        ZLOG(LogInfo, "Changing back to original display settings...");
        ZLOG(LogInfo, "Calling ChangeDisplaySettings()");
        ChangeDisplaySettingsA(nullptr, 0);
        DisplayModeChanged = false;
    }
    if (RunMode == ModeSaver) {
        ZLOG(LogInfo, "Calling SystemParametersInfo()");
        SetSaverRunning(false);
    }
    ShowSetUpMessage(ss->Window, "ERROR", text);
    // A full-screen, top-most window left behind would hide the dialogs that follow the run.
    DestroySaverWindow();
    UnregisterClasses();
}

bool CreatePreviewWindow(HWND parent) {
    DisplayModeChanged = false;
    ss->PlayMusic = 0;
    if (!IsWindow(parent)) {
        // The host window is gone (or never was one): there is nothing to draw into.
        ZLOG(LogError, "Preview parent window is not a window; ending the run.");
        return false;
    }
    RECT area = {};
    GetClientRect(parent, &area);
    ScreenWidth = area.right - area.left;
    ScreenHeight = area.bottom - area.top;
    ZLOG(LogInfo, "Creating preview window via CreateWindow()");
    hScrWindow = CreateWindowExA(0, kSaverClassName, kSaverTitle, WS_CHILD | WS_VISIBLE, 0, 0,
                                 ScreenWidth, ScreenHeight, parent, nullptr, InstanceHandle, nullptr);
    return true;
}

// false: the run ends here (the user has been told).
bool CreateFullScreenWindow() {
    DEVMODEA current = {};
    current.dmSize = sizeof current;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current);
    OriginalMode = {static_cast<int32_t>(current.dmPelsWidth), static_cast<int32_t>(current.dmPelsHeight),
                    static_cast<int32_t>(current.dmBitsPerPel)};
    ModeChoice choice = ChooseDisplayMode(RequestedMode, OriginalMode);
    RequestedMode = choice.requested;
    LogCurrentMode(current, choice);

    if (choice.change) {
        DisplayModeChanged = true;
        ZLOG(LogInfo, "Calling ChangeDisplaySettings()");
        if (!SwitchDisplayMode(RequestedMode)) {
            DisplayModeChanged = false;
            ShowError(ss->Window, "Error", kModeRefusedText);
            ZLOG(LogError, "Call to ChangeDisplaySettings() failed.");
            UnregisterClasses();
            return false;
        }
    }

    ScreenWidth = GetSystemMetrics(SM_CXSCREEN);
    ScreenHeight = GetSystemMetrics(SM_CYSCREEN);
    ZLOG(LogInfo, "Calling CreateWindow()");
    hScrWindow = CreateWindowExA(WS_EX_TOPMOST, kSaverClassName, kSaverTitle, WS_POPUP | WS_VISIBLE,
                                 0, 0, ScreenWidth, ScreenHeight, nullptr, nullptr, InstanceHandle,
                                 nullptr);
    RegisterSaverClass(kChildClassName, BlankingWindowProc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (ss->BlankAllScreens) {
        EnumerateMonitors();
        CreateBlankingWindows(hScrWindow, InstanceHandle, kChildClassName, kMultimonitorTitle);
        ZLOG(LogInfo, "Num Monitors: " << Monitors.EntryCount);
        PositionBlankingWindows();
    }
    return true;
}

// One message from the queue without waiting. A preview whose host window went away
// without taking the child along destroys its window here, which ends the run.
MessageResult TakeMessage() {
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return MessageResult::Quit;
        TranslateMessage(&message);
        DispatchMessageA(&message);
        return MessageResult::Handled;
    }
    if (RunMode == ModePreview && !IsWindow(gPreviewParent) && IsWindow(hScrWindow)) {
        DestroyWindow(hScrWindow);
        return MessageResult::Handled;
    }
    return MessageResult::None;
}

long RunSaverLoop() {
    MainLoopSteps steps;
    steps.takeMessage = TakeMessage;
    steps.renderFrame = RenderFrame;
    steps.updateSound = StepMusic;
    steps.pause = [] { Sleep(kFramePauseMs); };
    steps.frameFailed = [](const std::string& text) {
        ZLOG(LogError, text);
        ss->SetCriticalError(2);
    };
    steps.dark = DisplayDark;
    steps.waitDark = [] {
        // Awake often enough for the music's gap between songs; the time goes to the music
        // only, never to the frame clock.
        WaitForMessageOrTimeout(ss->PlayMusic ? 50 : 1000);
        MeasureIdle();
    };
    steps.darkChanged = [](bool dark, long frames) {
        if (dark) {
            ZLOG(LogInfo, "Drawing paused after " << frames << " frames");
        } else {
            ZLOG(LogInfo, "Drawing resumed after " << frames << " frames");
            ResetFrameClock();
        }
    };
    steps.surfacesLost = SceneSurfacesLost;
    steps.restoreSurfaces = RestoreSceneSurfaces;
    steps.now = [] { return static_cast<uint32_t>(GetTickCount()); };
    steps.waitLost = [](uint32_t ms) {
        // As in the dark: awake for the music's gap between songs, the time the music's only.
        WaitForMessageOrTimeout(ss->PlayMusic && ms > 50 ? 50 : ms);
        MeasureIdle();
    };
    steps.surfacesChanged = [](bool lost, long frames, int tries, uint32_t waitedMs) {
        if (lost) {
            ZLOG(LogInfo, "Surfaces lost -- waiting to restore");
            ZLOG(LogInfo, "Frames drawn before the loss: " << frames);
        } else {
            ZLOG(LogInfo, "Surfaces restored");
            ZLOG(LogInfo, "Restoring took " << waitedMs << " ms and " << tries << (tries == 1 ? " try" : " tries"));
            // The wave goes on from where it stood: the time without frames is no step.
            ResetFrameClock();
        }
    };
    return RunMainLoop(steps, QuitRequested);
}

}  // namespace

float SaverAverageFps() { return AverageFrameRate(); }

void ShowRunSetUpMessage(HWND owner, const char* caption, const char* text, UINT flags) {
    if (ss) ss->MessageBoxUp = 1;
    if (RunMode == ModeSaver) {
        // The top-most saver window and the blanking windows cover every monitor while the
        // scene is set up: they step aside (the run shows them again once it is up), and the
        // box comes to the top.
        ShowBlankingWindows(SW_HIDE);
        if (hScrWindow && IsWindow(hScrWindow)) ShowWindow(hScrWindow, SW_HIDE);
        flags |= MB_TOPMOST | MB_SETFOREGROUND;
    }
    MessageBoxA(owner, text, caption, MB_OK | flags);
}

void DoSaver(HWND parent, int showCommand) {
    ZLOG_FUNCTION("DoSaver");
    if (!ss) ZLOG_RETURN();
    hScrWindow = nullptr;
    hDC = nullptr;
    DisplayModeChanged = false;
    QuitRequested = false;
    SetSetUpMessageHandler(ShowRunSetUpMessage);

    if (!RegisterSaverClass(kSaverClassName, ScreenSaverProc, nullptr)) {
        ShowError(ss->Window, "Error", kRegisterFailedText);
        ZLOG(LogError, "RegisterClass() failed!");
        ZLOG_RETURN();
    }
    RequestedMode = {ss->DispModeWidth, ss->DispModeHeight, ss->DispModeBits};

    if (RunMode == ModePreview) {
        gPreviewParent = parent;
        if (!CreatePreviewWindow(parent)) {
            UnregisterClasses();
            ZLOG_RETURN();
        }
    } else if (!CreateFullScreenWindow()) {
        ZLOG_RETURN();
    }

    if (!hScrWindow) {
        ZLOG(LogError, "Call to CreateWindow() failed!");
        ss->SetCriticalError(1);
        // Nothing of the run is left behind for the dialogs that follow.
        DestroyBlankingWindows();
        if (DisplayModeChanged) {
            ChangeDisplaySettingsA(nullptr, 0);
            DisplayModeChanged = false;
        }
        UnregisterClasses();
        ZLOG_RETURN();
    }

    if (RunMode == ModeSaver) SetSaverRunning(true);
    hDC = GetDC(hScrWindow);

    if (!initStates(ScreenWidth, ScreenHeight)) {
        ZLOG(LogError, "initStates() failed!");
        StartupFailure("Problem encountered in initStates().");
        ZLOG_RETURN();
    }
    if (!initD3D(ScreenWidth, ScreenHeight)) {
        ZLOG(LogError, "initD3D() failed!");
        StartupFailure("Problem encountered in initD3D().");
        ZLOG_RETURN();
    }

    if (ss->PlayMusic && !StartMusic()) {
        ss->SetCriticalError(1);
        ShowSetUpMessage(parent, kSoundErrorCaption, kSoundErrorText, MB_ICONERROR);
    }

    ZLOG(LogInfo, "Showing window via ShowWindow()");
    ShowBlankingWindows(showCommand);
    ShowWindow(hScrWindow, showCommand);
    // After a set-up message the box had the activation: the keyboard belongs to the saver.
    if (RunMode == ModeSaver) SetForegroundWindow(hScrWindow);

    ArmInput();
    // A key or click during the set-up asked to leave; the close waited for the run to be up.
    if (ss->CloseRequested) RequestClose();
    ResetFrameClock();
    ss->SetCrashFlag(0);
    ZLOG(LogInfo, "Entering main loop...");

    long frames = RunSaverLoop();
    // The loop is over, also after a frame error with the window still up: nothing that
    // happens to the window from here on is the user asking to leave.
    ss->InputArmed = 0;

    ZLOG(LogInfo, "Exited main loop.");
    ZLOG(LogInfo, "Frames drawn: " << frames);
    if (RunMode != ModePreview && RunMode != ModeConfig) ss->SetCrashFlag(1);

    ZLOG(LogInfo, "ReleaseDC(hScrWindow,hDC)");
    ReleaseDC(hScrWindow, hDC);
    hDC = nullptr;
    if (DisplayModeChanged) {
        ZLOG(LogInfo, "Changing back display settings");
        ZLOG(LogInfo, "ChangeDisplaySettings(NULL,0)");
        ChangeDisplaySettingsA(nullptr, 0);
        DisplayModeChanged = false;
    }
    if (RunMode == ModeSaver) {
        ZLOG(LogInfo, "SystemParametersInfo()");
        SetSaverRunning(false);
    }
    ZLOG(LogInfo, "Hiding child windows, if any");
    ShowBlankingWindows(SW_HIDE);
    StopMusic();
    CleanUp();
    DestroyBlankingWindows();
    ss->SetCrashFlag(0);

    // After a frame error the loop ended with the window still there.
    DestroySaverWindow();
    ZLOG(LogInfo, "UnregisterClass()");
    UnregisterClasses();
    ZLOG_RETURN();
}
