// Storage of the process-wide start-up values.
#include "core/Globals.h"

int RunMode = ModeNone;
HWND hparwnd = nullptr;
HINSTANCE InstanceHandle = nullptr;
char ModulePath[1024] = {};
std::string ProgramFolder;
std::string UserFolder;
bool IsWin2kOrLater = false;
ContentPaths Paths;

std::string LoginName() {
    char name[257] = {};
    DWORD size = sizeof name;
    if (!GetUserNameA(name, &size) || !name[0]) return std::string();
    return name;
}
