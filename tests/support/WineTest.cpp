// Wine test support: processes, message boxes, registry and files of the real program.
#include "support/WineTest.h"

#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "support/GdiTable.h"

namespace wt {

const char* const kProductKey = "Software\\Telmoro\\Zephyl";
const char* const kAppDataKey = "Software\\Telmoro\\Zephyl\\AppData";

std::string WindowsPath(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') {
        std::string p = path;
        if (p.back() != '\\') p += '\\';
        return p;
    }
    std::string p = "Z:" + path;
    std::replace(p.begin(), p.end(), '/', '\\');
    if (p.back() != '\\') p += '\\';
    return p;
}

std::string DistFolder() {
    // Another build's installable files (the signed release's) when the test is asked to.
    char other[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA("ZEPHYL_TEST_DIST", other, MAX_PATH);
    if (n > 0 && n < MAX_PATH) return WindowsPath(other);
    return WindowsPath(ZEPHYL_DIST_DIR);
}
std::string SourceFolder() { return WindowsPath(ZEPHYL_SOURCE_DIR); }

std::string WindowsFolder() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    std::string s(folder);
    if (s.empty() || s.back() != '\\') s += '\\';
    return s;
}

namespace {

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
            std::string item = folder + found.cFileName;
            SetFileAttributesA(item.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(item + "\\");
                RemoveDirectoryA(item.c_str());
            } else {
                DeleteFileA(item.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

std::string InstallCopy(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "zephyl-" + name + "\\";
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string dist = DistFolder();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dist + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return folder;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        CopyFileA((dist + found.cFileName).c_str(), (folder + found.cFileName).c_str(), FALSE);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return folder;
}

bool InstallCheckSumList(const std::string& installFolder) {
    return CopyFileA((installFolder + "chk.sum").c_str(), (WindowsFolder() + "chk.sum").c_str(), FALSE) != 0;
}

Process::~Process() {
    if (m_process) CloseHandle(m_process);
}

Process::Process(Process&& other) noexcept : m_process(other.m_process), m_id(other.m_id) {
    other.m_process = nullptr;
    other.m_id = 0;
}

bool Process::Start(const std::string& exe, const std::string& args) {
    std::string line = "\"" + exe + "\"";
    if (!args.empty()) line += " " + args;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    CloseHandle(info.hThread);
    if (m_process) CloseHandle(m_process);
    m_process = info.hProcess;
    m_id = info.dwProcessId;
    return true;
}

bool Process::Attach(DWORD processId) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process) return false;
    if (m_process) CloseHandle(m_process);
    m_process = process;
    m_id = processId;
    return true;
}

DWORD WaitForProcessNamed(const std::string& exeName, DWORD ms, const std::vector<DWORD>& ignore) {
    DWORD start = GetTickCount();
    for (;;) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot != INVALID_HANDLE_VALUE) {
            PROCESSENTRY32 entry = {};
            entry.dwSize = sizeof entry;
            DWORD found = 0;
            for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry))
                if (lstrcmpiA(entry.szExeFile, exeName.c_str()) == 0 &&
                    std::find(ignore.begin(), ignore.end(), entry.th32ProcessID) == ignore.end())
                    found = entry.th32ProcessID;
            CloseHandle(snapshot);
            if (found) return found;
        }
        if (GetTickCount() - start >= ms) return 0;
        Sleep(50);
    }
}

bool Process::WaitExit(DWORD ms, DWORD* exitCode) {
    if (!m_process) return true;
    if (WaitForSingleObject(m_process, ms) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(m_process, exitCode);
    return true;
}

void Process::Kill() {
    if (m_process && Running()) {
        TerminateProcess(m_process, 1);
        WaitForSingleObject(m_process, 5000);
    }
}

bool Process::Running() const {
    return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

namespace {

struct EnumState {
    DWORD processId;
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    EnumState* state = reinterpret_cast<EnumState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != state->processId) return TRUE;
    if (state->className) {
        char name[256] = {};
        GetClassNameA(window, name, sizeof name);
        if (strcmp(name, state->className) != 0) return TRUE;
    }
    state->found.push_back(window);
    return TRUE;
}

std::string TextOf(HWND window) {
    int n = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(window, &text[0], n + 1);
    text.resize(strlen(text.c_str()));
    return text;
}

}  // namespace

std::vector<HWND> WindowsOf(DWORD processId, const char* className) {
    EnumState state{processId, className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

HWND WaitForWindow(DWORD processId, const char* className, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND w : WindowsOf(processId, className))
            if (IsWindowVisible(w)) return w;
        if (GetTickCount() - start >= ms) return nullptr;
        Sleep(50);
    }
}

bool WaitForMessageBox(DWORD processId, DWORD ms, MessageBoxInfo& info) {
    HWND box = WaitForWindow(processId, "#32770", ms);
    if (!box) return false;
    return ReadMessageBox(box, info);
}

bool ReadMessageBox(HWND box, MessageBoxInfo& info) {
    Sleep(100);  // let the box finish laying out its controls
    info.window = box;
    info.caption = TextOf(box);
    // A message box keeps its text in the static control with id 0xFFFF.
    HWND text = GetDlgItem(box, 0xFFFF);
    info.text = text ? TextOf(text) : std::string();
    info.hasIcon = false;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        HICON shown = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        if (!shown) continue;
        info.hasIcon = true;
    }
    return true;
}

void PressOk(HWND box) {
    if (!PressButton(box, IDOK) && !PressButton(box, IDCANCEL)) {
        PostMessageA(box, WM_CLOSE, 0, 0);
        for (int i = 0; i < 150 && IsWindow(box); ++i)
            PumpFor(20);
    }
}

bool PressButton(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    if (!button) return false;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    // Wait for the box to go, so that a caller looking for the next box does not find this one.
    for (int i = 0; i < 150 && IsWindow(box); ++i)
        PumpFor(20);
    return true;
}

uint32_t RegValue::AsDword() const {
    uint32_t v = 0;
    memcpy(&v, data.data(), std::min<size_t>(4, data.size()));
    return v;
}

std::string RegValue::AsString() const {
    std::string s(data.begin(), data.end());
    s.resize(strlen(s.c_str()));
    return s;
}

RegValue ReadValue(HKEY root, const std::string& key, const std::string& name) {
    RegValue value;
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return value;
    DWORD size = 0, type = 0;
    if (RegQueryValueExA(k, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        if (RegQueryValueExA(k, name.c_str(), nullptr, &type, value.data.data(), &size) == ERROR_SUCCESS) {
            value.exists = true;
            value.type = type;
            value.data.resize(size);
        }
    }
    RegCloseKey(k);
    return value;
}

bool WriteRaw(HKEY root, const std::string& key, const std::string& name, DWORD type,
              const void* data, DWORD size) {
    HKEY k = nullptr;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExA(k, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    RegCloseKey(k);
    return ok;
}

bool WriteDword(HKEY root, const std::string& key, const std::string& name, uint32_t value) {
    return WriteRaw(root, key, name, REG_DWORD, &value, sizeof value);
}

bool WriteString(HKEY root, const std::string& key, const std::string& name, const std::string& text) {
    return WriteRaw(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

bool DeleteValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_WRITE, &k) != ERROR_SUCCESS) return false;
    bool ok = RegDeleteValueA(k, name.c_str()) == ERROR_SUCCESS;
    RegCloseKey(k);
    return ok;
}

bool DeleteTree(HKEY root, const std::string& key) {
    return SHDeleteKeyA(root, key.c_str()) == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

void ResetProductState(bool debugLog) {
    DeleteTree(HKEY_CURRENT_USER, kProductKey);
    DeleteTree(HKEY_LOCAL_MACHINE, kProductKey);
    WriteDword(HKEY_CURRENT_USER, kProductKey, "DebugLog", debugLog ? 1 : 0);
    DeleteFileA((WindowsFolder() + "chk.sum").c_str());
}

std::string UserDataFolder() {
    char appData[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData);
    std::string base(appData);
    if (!base.empty() && base.back() == '\\') base.pop_back();
    return base + "\\Telmoro\\Zephyl\\";
}

std::string ReadFile(const std::string& path, bool* ok) {
    std::string text;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (ok) *ok = f != INVALID_HANDLE_VALUE;
    if (f == INVALID_HANDLE_VALUE) return text;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
    CloseHandle(f);
    return text;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(f);
    return ok;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string LogPath() { return UserDataFolder() + "ZephylLog.txt"; }
std::string LogText() { return ReadFile(LogPath()); }

void PumpFor(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

bool WaitForLog(const std::string& text, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (LogText().find(text) != std::string::npos) return true;
        if (GetTickCount() - start >= ms) return false;
        PumpFor(100);
    }
}

bool WaitExitPumping(Process& process, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (process.WaitExit(0)) return true;
        if (GetTickCount() - start >= ms) return false;
        PumpFor(50);
    }
}

void PressKey(WORD virtualKey) {
    INPUT input[2] = {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = virtualKey;
    input[1] = input[0];
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

void ClickLeft() {
    INPUT input[2] = {};
    input[0].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].type = INPUT_MOUSE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof(INPUT));
}

void MovePointer(int x, int y) {
    SetCursorPos(x, y);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof input);
}

bool RunningOnWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

std::string UserPlaylist() {
    char name[257] = {};
    DWORD size = sizeof name;
    std::string login = GetUserNameA(name, &size) ? std::string(name) : std::string();
    return UserDataFolder() + (login.empty() ? std::string("ZEPHYL") : login) + ".M3U";
}

std::string ToneWav(double seconds, double hertz, double amplitude) {
    const uint32_t rate = 22050;
    uint32_t samples = static_cast<uint32_t>(seconds * rate);
    std::string out;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i)); };
    auto u16 = [&](uint16_t v) { out += static_cast<char>(v); out += static_cast<char>(v >> 8); };
    out += "RIFF";
    u32(36 + samples * 2);
    out += "WAVEfmt ";
    u32(16);
    u16(1);         // PCM
    u16(1);         // mono
    u32(rate);
    u32(rate * 2);  // bytes per second
    u16(2);         // bytes per frame
    u16(16);
    out += "data";
    u32(samples * 2);
    const double full = 32767.0 * amplitude;
    for (uint32_t i = 0; i < samples; ++i)
        u16(static_cast<uint16_t>(static_cast<int16_t>(full * std::sin(6.283185307179586 * hertz * i / rate))));
    return out;
}

std::string UnixPath(const std::string& windowsPath) {
    typedef char*(__cdecl * ToUnix)(const WCHAR*);
    ToUnix toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return std::string();
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH)) return std::string();
    char* unixName = toUnix(wide);
    if (!unixName) return std::string();
    std::string s(unixName);
    HeapFree(GetProcessHeap(), 0, unixName);
    return s;
}

bool RunUnix(const std::string& script, HANDLE* process) {
    std::string command = "/bin/sh -c \"" + script + "\"";
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    if (process) {
        *process = info.hProcess;
    } else {
        WaitForSingleObject(info.hProcess, 10000);
        CloseHandle(info.hProcess);
    }
    return true;
}

std::map<HWND, std::string> TooltipTextsOf(DWORD processId) {
    std::map<HWND, std::string> texts;
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process) return texts;
    const SIZE_T textSize = 512;
    char* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(TOOLINFOA) + textSize, MEM_COMMIT, PAGE_READWRITE));
    if (remote) {
        char* remoteText = remote + sizeof(TOOLINFOA);
        for (HWND tip : WindowsOf(processId, TOOLTIPS_CLASSA)) {
            for (int i = 0;; ++i) {
                TOOLINFOA tool = {};
                tool.cbSize = sizeof tool;
                tool.lpszText = remoteText;
                const char empty[1] = {};
                if (!WriteProcessMemory(process, remote, &tool, sizeof tool, nullptr) ||
                    !WriteProcessMemory(process, remoteText, empty, 1, nullptr))
                    break;
                if (!SendMessageA(tip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(remote))) break;
                char text[textSize + 1] = {};
                if (!ReadProcessMemory(process, remote, &tool, sizeof tool, nullptr) ||
                    !ReadProcessMemory(process, remoteText, text, textSize, nullptr))
                    break;
                texts[tool.hwnd] = text;
            }
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return texts;
}

namespace {

BOOL CALLBACK CountChildWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

}  // namespace

ResourceCounts OwnResourceCounts() {
    ResourceCounts counts;
    HANDLE self = GetCurrentProcess();
    counts.gdi = GetGuiResources(self, GR_GDIOBJECTS);
    counts.user = GetGuiResources(self, GR_USEROBJECTS);
    GetProcessHandleCount(self, &counts.handles);
    if (counts.gdi == 0) {
        counts.gdi = WalkGdiTable([&counts](DWORD type) { ++counts.gdiByType[type]; });
    }
    if (counts.user == 0) {
        for (HWND window : WindowsOf(GetCurrentProcessId())) {
            ++counts.user;
            EnumChildWindows(window, CountChildWindow, reinterpret_cast<LPARAM>(&counts.user));
        }
    }
    if (counts.handles == 0) {
        DWORD flags;
        for (ULONG_PTR value = 4; value < 0x4000; value += 4)
            if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++counts.handles;
    }
    return counts;
}

std::string Describe(const ResourceCounts& counts) {
    static const char* const kTypes[] = {"",       "pen",    "brush", "DC",      "metafile DC", "palette", "font",
                                         "bitmap", "region", "metafile", "memory DC", "extended pen",
                                         "enhanced metafile DC", "enhanced metafile", "colour space"};
    std::string text = "GDI " + std::to_string(counts.gdi);
    for (const auto& type : counts.gdiByType)
        text += std::string(type.first == counts.gdiByType.begin()->first ? " (" : ", ") +
                (type.first < std::size(kTypes) ? kTypes[type.first] : "other") + " " + std::to_string(type.second);
    if (!counts.gdiByType.empty()) text += ")";
    return text + ", USER " + std::to_string(counts.user) + ", handles " + std::to_string(counts.handles);
}

}  // namespace wt
