// Takes the screen saver's place beside the launcher in the launcher's tests: writes the
// command line it was given to "command-line.txt" beside itself, then stays until the
// test signals the event "ZephylStandInRelease" (at most a minute).
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, "ZephylStandInRelease");
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string file(path);
    file = file.substr(0, file.find_last_of('\\') + 1) + "command-line.txt";
    std::string tmp = file + ".tmp";
    const char* line = GetCommandLineA();
    HANDLE out = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(out, line, lstrlenA(line), &written, nullptr);
        CloseHandle(out);
        MoveFileExA(tmp.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    if (release) {
        WaitForSingleObject(release, 60000);
        CloseHandle(release);
    }
    return 0;
}
