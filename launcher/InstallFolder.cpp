// Reads the installation folder from the registry (see InstallFolder.h).
#include "launcher/InstallFolder.h"

#include <windows.h>

#include "launcher/LaunchRules.h"

namespace {
const char* const kProductKey = "Software\\Telmoro\\Zephyl";
const char* const kInstallDirValue = "Install_Dir_Zephyl";
}  // namespace

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
