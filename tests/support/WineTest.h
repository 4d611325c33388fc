// Helpers for the tests that drive the real program under Wine: installing the files of
// dist/ into a folder of the test's own, starting the program, finding and answering its
// message boxes, reading and seeding the registry, and reading its files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace wt {

// The Windows form of a folder named by the build (e.g. "Z:\work\main\dist\"), with a
// trailing backslash.
std::string WindowsPath(const std::string& unixOrWindowsPath);
// The build's dist/, or the folder the environment's ZEPHYL_TEST_DIST names.
std::string DistFolder();
std::string SourceFolder();

// Copies every file of dist/ into a fresh folder below the temporary folder and returns
// it (trailing backslash). The folder and its files are the test's to change.
std::string InstallCopy(const std::string& name);
// Writes the installed-file list of `installFolder` (as the build made it) to the Windows
// folder, where the program looks for it.
bool InstallCheckSumList(const std::string& installFolder);
std::string WindowsFolder();

// A started program.
class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    Process(Process&& other) noexcept;

    // exe: full path; args: the text after the program name.
    bool Start(const std::string& exe, const std::string& args);
    // Takes over a process started some other way (e.g. from a Unix shell).
    bool Attach(DWORD processId);
    // True when it ended within `ms`; `exitCode` then holds its result.
    bool WaitExit(DWORD ms, DWORD* exitCode = nullptr);
    void Kill();
    DWORD Id() const { return m_id; }
    bool Running() const;

private:
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
};

// Waits up to `ms` for a running process whose program file name is `exeName` (no folder)
// and that is not one of `ignore`; its id, or 0.
DWORD WaitForProcessNamed(const std::string& exeName, DWORD ms, const std::vector<DWORD>& ignore = {});

// Top-level windows of a process, optionally of one class ("#32770" for dialogs).
std::vector<HWND> WindowsOf(DWORD processId, const char* className = nullptr);
// Waits up to `ms` for a visible top-level window of `processId` of that class.
HWND WaitForWindow(DWORD processId, const char* className, DWORD ms);

struct MessageBoxInfo {
    HWND window = nullptr;
    std::string caption;
    std::string text;
    // An icon beside the text. Which icon cannot be told from another process under Wine:
    // icon handles there are private to the process that loaded them.
    bool hasIcon = false;
};
// Waits up to `ms` for a message box of the process and reads it.
bool WaitForMessageBox(DWORD processId, DWORD ms, MessageBoxInfo& info);
// Reads a message box found some other way.
bool ReadMessageBox(HWND box, MessageBoxInfo& info);
// Presses the box's OK button (or its only button) and waits until the box is gone.
void PressOk(HWND box);
// Presses the button `id` (IDRETRY, IDYES, ...) of a box or dialog; false when it has none.
// Waits until the box is gone.
bool PressButton(HWND box, int id);

// Answers a message box of this process from another thread and keeps what it said.
struct BoxWatcher {
    MessageBoxInfo info;
    bool seen = false;
    std::thread thread;
    void Start() {
        thread = std::thread([this] {
            seen = WaitForMessageBox(GetCurrentProcessId(), 15000, info);
            if (seen) PressOk(info.window);
        });
    }
    void Join() { thread.join(); }
};

// Registry under HKCU or HKLM. Values come back as their type and raw bytes.
struct RegValue {
    bool exists = false;
    DWORD type = 0;
    std::vector<uint8_t> data;
    uint32_t AsDword() const;
    std::string AsString() const;  // up to the first zero
};
RegValue ReadValue(HKEY root, const std::string& key, const std::string& name);
bool WriteDword(HKEY root, const std::string& key, const std::string& name, uint32_t value);
bool WriteString(HKEY root, const std::string& key, const std::string& name, const std::string& text);
bool WriteRaw(HKEY root, const std::string& key, const std::string& name, DWORD type,
              const void* data, DWORD size);
bool DeleteValue(HKEY root, const std::string& key, const std::string& name);
bool DeleteTree(HKEY root, const std::string& key);
bool KeyExists(HKEY root, const std::string& key);

extern const char* const kProductKey;     // Software\Telmoro\Zephyl
extern const char* const kAppDataKey;     // Software\Telmoro\Zephyl\AppData
// Starts every test from a known state: the product's per-user and per-machine keys gone,
// "DebugLog" as asked, no chk.sum in the Windows folder.
void ResetProductState(bool debugLog = true);

// The user's data folder the program uses (application data + "\Telmoro\Zephyl\").
std::string UserDataFolder();
std::string ReadFile(const std::string& path, bool* ok = nullptr);
bool WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
std::vector<std::string> Lines(const std::string& text);

// The program's log file in the user's data folder, and its text ("" when there is none).
std::string LogPath();
std::string LogText();
// Waits `ms` while keeping the test's own windows answering (a child window of another
// process talks to its parent synchronously).
void PumpFor(DWORD ms);
// Waits up to `ms` for `text` to appear in the program's log.
bool WaitForLog(const std::string& text, DWORD ms);
// Waits up to `ms` for the process to end, pumping meanwhile.
bool WaitExitPumping(Process& process, DWORD ms);
// A key press and release, delivered to the foreground window.
void PressKey(WORD virtualKey);
// A left click where the pointer is.
void ClickLeft();
// Moves the pointer and tells the window under it (under Wine a SetCursorPos alone reaches
// no window).
void MovePointer(int x, int y);
bool RunningOnWine();

// The user's playlist file the program reads: the logon name + ".M3U" in the user's
// data folder ("ZEPHYL.M3U" when the name cannot be read).
std::string UserPlaylist();
// A mono 16-bit PCM WAV file of a sine tone at 22050 Hz, `amplitude` of full scale.
std::string ToneWav(double seconds, double hertz, double amplitude = 0.25);

// The Unix path of a Windows path under Wine; "" elsewhere.
std::string UnixPath(const std::string& windowsPath);
// Runs a Unix command line through /bin/sh. Without `process` it waits up to 10 s for it;
// with it the caller gets (and closes) the handle. Wine cannot wait for a Unix program's
// end through that handle: callers watch a file the program writes instead.
bool RunUnix(const std::string& script, HANDLE* process = nullptr);

// The tooltip texts of a process's tooltips, by the control each one watches. The messages
// carry pointers, so for another process they are read through memory made in it.
std::map<HWND, std::string> TooltipTextsOf(DWORD processId);

// What this process holds: GDI objects, USER objects and kernel handles. Windows answers
// through GetGuiResources and GetProcessHandleCount; where those answer nothing (Wine's
// stubs) the figures come from probing the process's own tables: every GDI handle index,
// the windows of the process as its USER objects, and every kernel handle value.
struct ResourceCounts {
    DWORD gdi = 0;
    DWORD user = 0;
    DWORD handles = 0;
    std::map<DWORD, DWORD> gdiByType;  // OBJ_BITMAP, OBJ_FONT, ...: where Wine is probed
};
ResourceCounts OwnResourceCounts();
std::string Describe(const ResourceCounts& counts);

}  // namespace wt
