// The program's entry point: command line, paths, single instance, settings, the check
// after a crashed or failed run, the log, dispatch to the mode, and the closing steps.
#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <sstream>
#include <string>

#include "core/CommandLine.h"
#include "core/Globals.h"
#include "app/Housekeeping.h"
#include "core/Paths.h"
#include "core/SaverState.h"
#include "core/Product.h"
#include "diag/Log.h"
#include "net/ErrorReport.h"
#include "quotes/QuoteScene.h"
#include "saver/Password.h"
#include "saver/Saver.h"
#include "ui/ConfigDialog.h"
#include "ui/CustomMusicDialog.h"

namespace {

const char* const kMutexName = "ZephylSaver";
const DWORD kMutexWaitMs = 15000;
const DWORD kInstallPauseMs = 1200;

const char* const kCorruptedCaption = "Encountered corrupted file(s)";
const char* const kCorruptedText =
    "One or more of the screensaver files appears to have been corrupted.\n\n"
    "It is strongly advised that you re-install the screensaver.";
const char* const kInitErrorCaption = "Error initializing";
const char* const kInitErrorText =
    "The screen saver recently encountered an error while initializing.\n"
    "You may need to reinstall the screensaver.\n\n"
    "If the problem persists, please contact technical support.";

bool FolderExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The user's application-data folder + "\Telmoro\Zephyl\" (the temporary folder stands in
// when there is none); made (with its record and the open machine keys) the first time this
// user runs the program. Empty when no folder can be had: the run keeps no log.
void PrepareUserFolder() {
    char appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData)))
        appData[0] = '\0';
    char temp[MAX_PATH] = {};
    const DWORD n = GetTempPathA(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH) temp[0] = '\0';
    UserFolder = ChooseUserFolder(appData, temp);
    if (UserFolder.empty() || FolderExists(UserFolder)) return;
    const std::string telmoro = UserFolder.substr(0, UserFolder.size() - std::strlen("Zephyl\\"));
    CreateDirectoryA(telmoro.c_str(), nullptr);
    CreateDirectoryA(UserFolder.c_str(), nullptr);
    InitialSecurity(UserFolder);
}

// Holds the single-instance mutex until the end of the run.
class InstanceMutex {
public:
    ~InstanceMutex() {
        if (m_handle) {
            if (m_owned) ReleaseMutex(m_handle);
            CloseHandle(m_handle);
        }
    }
    // Preview and configuration: wait for a running instance, then go on either way.
    void WaitForOthers() {
        m_handle = OpenMutexA(SYNCHRONIZE, FALSE, kMutexName);
        if (!m_handle) return;
        DWORD r = WaitForSingleObject(m_handle, kMutexWaitMs);
        m_owned = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    }
    // Every other mode: become the one instance; false when another one kept the mutex
    // beyond the wait.
    bool Acquire() {
        m_handle = CreateMutexA(nullptr, TRUE, kMutexName);
        if (!m_handle) return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            m_owned = true;
            return true;
        }
        CloseHandle(m_handle);
        HANDLE waited = OpenMutexA(SYNCHRONIZE, FALSE, kMutexName);
        m_handle = nullptr;
        if (!waited) return true;
        DWORD r = WaitForSingleObject(waited, kMutexWaitMs);
        if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) {
            CloseHandle(waited);
            return false;
        }
        // The wait made this thread the owner; releasing it here would let the next waiting
        // start through while this one runs. The mutex is opened once more with full access
        // (for the release at the end) before the waiting handle goes, so that it cannot
        // vanish in between: CreateMutex finds it (ERROR_ALREADY_EXISTS, the initial-owner
        // argument ignored) and it stays this thread's from the wait.
        m_handle = CreateMutexA(nullptr, TRUE, kMutexName);
        CloseHandle(waited);
        m_owned = m_handle != nullptr;
        return true;
    }

private:
    HANDLE m_handle = nullptr;
    bool m_owned = false;
};

void ShowCorruptedFiles() {
    MessageBoxA(nullptr, kCorruptedText, kCorruptedCaption, MB_OK | MB_ICONERROR);
}

// Ends the start after a failed installed-file check: the flags are cleared so the next
// start does not ask again.
void ForgetFailedRun() {
    ss->SetCrashFlag(0);
    ss->SetDoChecksum(0);
    ss->SetCriticalError(0);
}

void RequestInstall() {
    std::string parameters = std::string("desk.cpl, InstallScreenSaver ") + ModulePath;
    ShellExecuteA(nullptr, "open", "rundll32.exe", parameters.c_str(), nullptr, SW_SHOWNORMAL);
    Sleep(kInstallPauseMs);
    char commandLine[1100];
    wsprintfA(commandLine, "\"%s\" /c", ModulePath);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(ModulePath, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

bool DetectWin2kOrLater() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5;
}

std::string FpsText(float fps) {
    std::ostringstream text;
    text << fps;
    return text.str();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    InstanceHandle = instance;
    CommandLine command = ParseCommandLine(GetCommandLineA());
    if (command.action == StartAction::Uninstall) {
        Uninstall();
        return 0;
    }
    if (command.action == StartAction::InitialSecurity) {
        PrepareUserFolder();
        return 0;
    }
    RunMode = command.mode;
    InstallQuoteShow();
    hparwnd = command.ownerIsForeground ? GetForegroundWindow()
                                        : reinterpret_cast<HWND>(static_cast<INT_PTR>(command.windowHandle));

    DWORD n = GetModuleFileNameA(nullptr, ModulePath, sizeof ModulePath);
    if (n >= sizeof ModulePath) ModulePath[sizeof ModulePath - 1] = '\0';
    PathParts parts = SplitPath(ModulePath);
    ProgramFolder = parts.drive + parts.folder;

    PrepareUserFolder();
    if (ExtensionMeansConfig(parts.extension)) RunMode = ModeConfig;
    Paths = MakeContentPaths(ProgramFolder, UserFolder, LoginName());

    InstanceMutex mutex;
    if (RunMode == ModePreview || RunMode == ModeConfig)
        mutex.WaitForOthers();
    else if (!mutex.Acquire())
        return 0;

    ss = new SaverState;
    ss->LoadSystemSaverSettings();
    ss->LoadSettings();

    // The installed-file check runs before the log is open; its result is logged once it is.
    std::string checkResult;
    if (ss->CriticalError == 1 || ss->CriticalError == 2) {
        if (!InstalledFileCheck(&checkResult)) {
            ShowCorruptedFiles();
            ForgetFailedRun();
            delete ss;
            ss = nullptr;
            return 0;
        }
        if (ss->CriticalError == 1) MessageBoxA(nullptr, kInitErrorText, kInitErrorCaption, MB_OK);
        if (ss->ShowBugReport) ShowErrorReportDialog(hparwnd);
    }

    ss->SetCrashFlag(0);
    ss->SetDoChecksum(0);
    ss->SetCriticalError(0);

    if (ss->CrashFlag || ss->DoChecksum) {
        if (!InstalledFileCheck(&checkResult)) {
            ShowCorruptedFiles();
            delete ss;
            ss = nullptr;
            return 0;
        }
        if (ss->CrashFlag && ss->ShowBugReport) ShowErrorReportDialog(hparwnd);
    }

    if (RunMode != ModePreview && RunMode != ModeConfig) {
        ss->SetCrashFlag(1);
        ss->SetDoChecksum(1);
    }

    if (ss->DebugLog && !Paths.logFile.empty()) {
        gLog = new cLog(Paths.logFile);
        gLog->Start();
        ZLOG(LogInfo, kProductName << " started.");
        ZLOG(LogInfo, "Version: " << kVersionNumber);
        if (!checkResult.empty()) ZLOG(LogInfo, checkResult);
    }

    if (command.action == StartAction::Install) {
        RequestInstall();
        ss->SetCrashFlag(0);
        ss->SetDoChecksum(0);
        delete ss;
        ss = nullptr;
        delete gLog;
        gLog = nullptr;
        return 0;
    }

    IsWin2kOrLater = DetectWin2kOrLater();
    ZLOG(LogInfo, (IsWin2kOrLater ? "OS is Win2k/XP" : "OS is not Win2k/XP"));
    ZLOG(LogInfo, "Path: " << ModulePath);

    switch (RunMode) {
    case ModeChangePassword:
        ChangePassword(hparwnd);
        break;
    case ModeConfig:
        ZLOG(LogInfo, "In config mode...Initializing dialog structures.");
        PrepareSongOpenDialogs(hparwnd);
        ZLOG(LogInfo, "Opening dialog box");
        RunConfigDialog(hparwnd);
        break;
    case ModeSaver:
        ZLOG(LogInfo, "Running in normal Screensaver mode.");
        DoSaver(hparwnd, showCommand);
        WriteUserString(kProductKey, "AvgFps", FpsText(SaverAverageFps()).c_str());
        break;
    case ModePreview:
        ZLOG(LogInfo, "Running in Preview mode.");
        DoSaver(hparwnd, showCommand);
        break;
    default:
        break;
    }

    if (ss->CriticalError) {
        MessageBoxA(GetFocus(), kInitErrorText, kInitErrorCaption, MB_OK | MB_SETFOREGROUND);
        ZLOG(LogInfo, "Showing critical error dialog");
        if (ss->ShowBugReport) ShowErrorReportDialog(hparwnd);
        ss->SetCriticalError(0);
    }

    ss->SetCrashFlag(0);
    ss->SetDoChecksum(0);
    delete ss;
    ss = nullptr;

    if (RunMode == ModeSaver) {
        ZLOG(LogInfo, "Average FPS: " << FpsText(SaverAverageFps()));
        ZLOG(LogInfo, "Exiting screensaver.");
    } else {
        ZLOG(LogInfo, "Exiting configuration");
    }
    ZLOG(LogInfo, "Successfully exiting WinMain()");
    delete gLog;
    gLog = nullptr;
    return 0;
}
