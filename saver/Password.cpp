// Checking and changing the Windows 95/98/ME screen-saver password through the system
// libraries that provide it; on NT there is no such password.
#include "saver/Password.h"

namespace {

typedef BOOL(WINAPI* VerifyScreenSavePwdFn)(HWND);
typedef DWORD(WINAPI* PwdChangePasswordFn)(LPCSTR, HWND, DWORD, LPVOID);

bool IsNtPlatform() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

bool VerifyPassword(HWND window) {
    if (IsNtPlatform()) return true;
    HMODULE library = LoadLibraryA("PASSWORD.CPL");
    if (!library) return true;
    auto verify = reinterpret_cast<VerifyScreenSavePwdFn>(GetProcAddress(library, "VerifyScreenSavePwd"));
    if (!verify) {
        FreeLibrary(library);
        return true;
    }
    bool ok = verify(window) != FALSE;
    FreeLibrary(library);
    return ok;
}

void ChangePassword(HWND owner) {
    HMODULE library = LoadLibraryA("MPR.DLL");
    if (!library) return;
    auto change = reinterpret_cast<PwdChangePasswordFn>(GetProcAddress(library, "PwdChangePasswordA"));
    if (change) change("SCRSAVE", owner, 0, nullptr);
    FreeLibrary(library);
}
