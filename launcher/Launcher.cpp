// ZephylSaver.exe: finds the installed screen saver through the registry and starts it with
// this program's own command line, waiting for it when it runs in the foreground.
#include <windows.h>

#include <string>

#include "launcher/LaunchRules.h"

namespace {

const char* const kProductKey = "Software\\Telmoro\\Zephyl";
const char* const kInstallDirValue = "Install_Dir_Zephyl";
const char* const kNotFoundText = "Cannot find screensaver!";
const char* const kNotFoundCaption = "Error!";

// The installation folder from the machine-wide key; false when it cannot be read.
bool ReadInstallFolder(std::string& folder) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char buffer[kLauncherPathSize] = {};
    DWORD size = sizeof buffer - 1;  // room for a zero the stored text may lack
    DWORD type = 0;
    LONG result = RegQueryValueExA(key, kInstallDirValue, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    buffer[size] = '\0';
    if (type == REG_SZ) {
        folder = buffer;
        return true;
    }
    char expanded[kLauncherPathSize] = {};
    DWORD length = ExpandEnvironmentStringsA(buffer, expanded, sizeof expanded);
    if (length == 0 || length > sizeof expanded) return false;
    folder = expanded;
    return true;
}

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
