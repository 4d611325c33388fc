// ZephylSaver.exe: finds the installed screen saver through the registry and starts it with
// this program's own command line, waiting for it when it runs in the foreground.
#include <windows.h>

#include <string>

#include "launcher/InstallFolder.h"
#include "launcher/LaunchRules.h"

namespace {

const char* const kNotFoundText = "Cannot find screensaver!";
const char* const kNotFoundCaption = "Error!";

int NotFound() {
    MessageBoxA(nullptr, kNotFoundText, kNotFoundCaption, MB_OK);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::string folder;
    std::string saverPath;
    if (!ReadInstallFolder(folder) || !BuildSaverPath(folder, saverPath)) return NotFound();

    const char* commandLine = GetCommandLineA();
    std::string line(commandLine);
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(saverPath.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return NotFound();
    CloseHandle(process.hThread);
    if (ShouldWait(commandLine)) WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    return 0;
}
