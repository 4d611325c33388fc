// "Zephyl Saver.scr", the forwarding screen saver: installed into the system folder, where
// the display settings list screen savers, it starts the installed ZephylSaver.scr (found
// through the registry, as the launcher finds it) with its own command line and waits for
// it in every mode. The screen saver runs in a job that dies with this process, so that
// ending the forwarder (as the display settings end a preview) ends the screen saver too.
#include <windows.h>

#include <string>

#include "launcher/InstallFolder.h"
#include "launcher/LaunchRules.h"

namespace {

const char* const kNotFoundText = "Cannot find screensaver!";
const char* const kNotFoundCaption = "Error!";

int NotFound(const char* commandLine) {
    if (ForwarderReportsMissingSaver(commandLine)) MessageBoxA(nullptr, kNotFoundText, kNotFoundCaption, MB_OK);
    return 0;
}

// A job that ends every process in it when its last handle closes, also when this process
// is terminated. Processes the screen saver starts itself (a browser from its settings)
// stay out of it. Null when the system refuses.
HANDLE MakeKillOnCloseJob() {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* commandLine = GetCommandLineA();
    std::string folder;
    std::string saverPath;
    if (!ReadInstallFolder(folder) || !BuildSaverPath(folder, saverPath)) return NotFound(commandLine);

    HANDLE job = MakeKillOnCloseJob();
    std::string line(commandLine);
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // Suspended until it is in the job, so that no part of its run is outside it.
    if (!CreateProcessA(saverPath.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &process)) {
        if (job) CloseHandle(job);
        return NotFound(commandLine);
    }
    // Where this process is itself in a job that allows no nested one (before Windows 8),
    // the screen saver runs untied; a preview still ends with its window.
    if (job) AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    if (job) CloseHandle(job);
    return 0;
}
