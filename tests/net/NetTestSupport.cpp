// The vendor server stand-in, the proxy setting, the open catcher and dialog helpers.
#include "net/NetTestSupport.h"

#include <winsock.h>

#include <cstdlib>

namespace nt {

namespace {

const char* const kInternetSettings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char* const kTextClass = "ZephylTest.txtfile";

std::string TempFolder(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + name + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void ClearFolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::string TextOf(HWND window) {
    char text[8192] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

}  // namespace

VendorServer::~VendorServer() {
    if (m_started) wt::WriteFile(m_folder + "stop", "");
}

bool VendorServer::Start(int lifetimeSeconds) {
    m_folder = TempFolder("zephyl-vendor");
    ClearFolder(m_folder);
    std::string unixFolder = wt::UnixPath(m_folder);
    if (unixFolder.empty()) return false;
    std::string script = std::string(ZEPHYL_SOURCE_DIR) + "/tests/net/vendor_server.py";
    // Bounded twice: the server's own lifetime, and timeout in case it hangs.
    std::string command = "exec timeout " + std::to_string(lifetimeSeconds + 10) + " python3 '" + script + "' '" +
                          unixFolder + "' " + std::to_string(lifetimeSeconds) + " </dev/null >/dev/null 2>&1";
    HANDLE process = nullptr;
    if (!wt::RunUnix(command, &process)) return false;
    if (process) CloseHandle(process);
    m_started = true;
    for (int i = 0; i < 200; ++i) {
        bool ok = false;
        std::string port = wt::ReadFile(m_folder + "port", &ok);
        if (ok && !port.empty()) {
            m_port = static_cast<unsigned short>(atoi(port.c_str()));
            return m_port != 0;
        }
        Sleep(50);
    }
    return false;
}

void VendorServer::SetReply(const std::string& reply, double delaySeconds, double holdSeconds) {
    wt::WriteFile(m_folder + "reply", reply);
    wt::WriteFile(m_folder + "delay", std::to_string(delaySeconds));
    wt::WriteFile(m_folder + "hold", std::to_string(holdSeconds));
}

std::string VendorServer::File(int number, const std::string& suffix) const {
    return m_folder + "req-" + std::to_string(number) + "." + suffix;
}

bool VendorServer::WaitForRequest(int number, DWORD ms) const {
    DWORD start = GetTickCount();
    while (!wt::FileExists(File(number, "done"))) {
        if (GetTickCount() - start >= ms) return false;
        Sleep(50);
    }
    return true;
}

int VendorServer::RequestCount() const {
    int n = 0;
    while (wt::FileExists(File(n + 1, "done"))) ++n;
    return n;
}

std::string VendorServer::Raw(int number) const { return wt::ReadFile(File(number, "raw")); }
std::string VendorServer::Extra(int number) const { return wt::ReadFile(File(number, "extra")); }

std::string VendorServer::Field(int number, const std::string& name, bool* found) const {
    return wt::ReadFile(File(number, name), found);
}

ProxySetting::ProxySetting(const std::string& server) {
    wt::WriteDword(HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable", 1);
    wt::WriteString(HKEY_CURRENT_USER, kInternetSettings, "ProxyServer", server);
}

ProxySetting::~ProxySetting() {
    wt::WriteDword(HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable", 0);
    wt::DeleteValue(HKEY_CURRENT_USER, kInternetSettings, "ProxyServer");
}

std::string LateResolverFolder() { return TempFolder("zephyl-resolver"); }

bool RunWithLateResolver(const std::string& test, double dnsDelaySeconds, DWORD ms, int& exitCode,
                         std::string& output) {
    std::string folder = LateResolverFolder();
    ClearFolder(folder);
    std::string unixFolder = wt::UnixPath(folder);
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string unixSelf = wt::UnixPath(self);
    if (unixFolder.empty() || unixSelf.empty()) return false;
    int seconds = int(ms / 1000) + 10;
    wt::WriteFile(folder + "resolv.conf", "nameserver 127.0.0.1\noptions timeout:60 attempts:1\n");
    wt::WriteFile(folder + "dns-delay", std::to_string(dnsDelaySeconds));
    // Only the namespace sees the name server and the replaced resolv.conf.
    std::string script = std::string(ZEPHYL_SOURCE_DIR) + "/tests/net/vendor_server.py";
    wt::WriteFile(folder + "run.sh",
                  "cd '" + unixFolder + "' || exit 1\n"
                  "ip link set lo up && mount --bind resolv.conf /etc/resolv.conf || { echo 99 > rc; exit 1; }\n"
                  "python3 '" + script + "' . " + std::to_string(seconds) + " --dns </dev/null >/dev/null 2>&1 &\n"
                  "while [ ! -f port ]; do sleep 0.1; done\n"
                  "ZEPHYL_LATE_RESOLVER=1 WINEDEBUG=warn+heap timeout " + std::to_string(seconds) + " wine '" +
                      unixSelf + "' --gtest_filter=" + test + " </dev/null >output 2>&1\n"
                  "echo $? > rc.tmp; mv rc.tmp rc; touch stop\n");
    HANDLE process = nullptr;
    if (!wt::RunUnix("exec timeout " + std::to_string(seconds + 10) + " unshare -n -m sh '" + unixFolder +
                         "run.sh' </dev/null >/dev/null 2>&1",
                     &process))
        return false;
    if (process) CloseHandle(process);
    DWORD start = GetTickCount();
    while (!wt::FileExists(folder + "rc")) {
        if (GetTickCount() - start >= ms) return false;
        Sleep(100);
    }
    exitCode = atoi(wt::ReadFile(folder + "rc").c_str());
    output = wt::ReadFile(folder + "output");
    return true;
}

unsigned short ClosedPort() {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    unsigned short port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    closesocket(s);
    WSACleanup();
    return port;
}

OpenCatcher::OpenCatcher() {
    m_record = TempFolder("zephyl-opened") + "opened.txt";
    Clear();
    std::string recorder = wt::WindowsPath(OPEN_RECORDER_DIR) + "open_recorder.exe";
    std::string command = "\"" + recorder + "\" \"" + m_record + "\" \"%1\"";
    m_ok = wt::FileExists(recorder);
    // Wine's shell reads the machine's classes only: the handlers go there, and the
    // values they replace come back in the destructor.
    for (const char* key : {"http\\shell\\open\\command", "https\\shell\\open\\command", ".txt"})
        m_saved.push_back({key, wt::ReadValue(HKEY_CLASSES_ROOT, key, "")});
    m_ok &= wt::WriteString(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", "", command);
    m_ok &= wt::WriteString(HKEY_CLASSES_ROOT, "https\\shell\\open\\command", "", command);
    m_ok &= wt::WriteString(HKEY_CLASSES_ROOT, ".txt", "", kTextClass);
    m_ok &= wt::WriteString(HKEY_CLASSES_ROOT, std::string(kTextClass) + "\\shell\\open\\command", "", command);
}

OpenCatcher::~OpenCatcher() {
    for (const auto& saved : m_saved) {
        if (saved.second.exists)
            wt::WriteRaw(HKEY_CLASSES_ROOT, saved.first, "", saved.second.type, saved.second.data.data(),
                         static_cast<DWORD>(saved.second.data.size()));
        else
            wt::DeleteTree(HKEY_CLASSES_ROOT, saved.first);
    }
    wt::DeleteTree(HKEY_CLASSES_ROOT, kTextClass);
}

void OpenCatcher::Clear() {
    DeleteFileA(m_record.c_str());
    DeleteFileA((m_record + ".copy").c_str());
}

std::vector<std::string> OpenCatcher::Opened() const {
    std::vector<std::string> lines = wt::Lines(wt::ReadFile(m_record));
    return lines;
}

bool OpenCatcher::WaitForOpened(size_t count, DWORD ms) const {
    DWORD start = GetTickCount();
    while (Opened().size() < count) {
        if (GetTickCount() - start >= ms) return false;
        Sleep(50);
    }
    return true;
}

std::string OpenCatcher::CopyOfFile() const { return wt::ReadFile(m_record + ".copy"); }

std::vector<HWND> VisibleDialogs(DWORD processId) {
    std::vector<HWND> out;
    for (HWND w : wt::WindowsOf(processId, "#32770"))
        if (IsWindowVisible(w)) out.push_back(w);
    return out;
}

HWND WaitForDialog(DWORD processId, const std::string& caption, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND w : VisibleDialogs(processId))
            if (TextOf(w) == caption) return w;
        if (GetTickCount() - start >= ms) return nullptr;
        Sleep(50);
    }
}

bool WaitForBox(DWORD processId, const std::string& caption, DWORD ms, wt::MessageBoxInfo& info) {
    HWND box = WaitForDialog(processId, caption, ms);
    if (!box) return false;
    info.caption = caption;
    return wt::ReadMessageBox(box, info);
}

void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace nt
