// Support of the network tests under Wine: the loopback stand-in for the vendor's server
// (tests/net/vendor_server.py, reached through the proxy setting), the catcher of the
// shell's opens, and message boxes found by caption.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/WineTest.h"

namespace nt {

// The Python server, started by Start and stopped by the destructor (or its lifetime).
class VendorServer {
public:
    VendorServer() = default;
    ~VendorServer();
    VendorServer(const VendorServer&) = delete;
    VendorServer& operator=(const VendorServer&) = delete;

    bool Start(int lifetimeSeconds = 240);
    unsigned short Port() const { return m_port; }
    // The answer to the next requests; "\n--8<--\n" in it splits it into pieces. The
    // connection stays open `holdSeconds` after it.
    void SetReply(const std::string& reply, double delaySeconds = 0, double holdSeconds = 0);
    // Waits until request `number` (from 1) has been received whole.
    bool WaitForRequest(int number, DWORD ms) const;
    int RequestCount() const;
    std::string Raw(int number) const;
    std::string Extra(int number) const;
    // A decoded form field; `found` says whether the form held it.
    std::string Field(int number, const std::string& name, bool* found = nullptr) const;

private:
    std::string File(int number, const std::string& suffix) const;
    std::string m_folder;  // Windows path, trailing backslash
    unsigned short m_port = 0;
    bool m_started = false;
};

// The user's proxy setting in Internet Settings, restored by the destructor.
class ProxySetting {
public:
    explicit ProxySetting(const std::string& server);
    ~ProxySetting();
    ProxySetting(const ProxySetting&) = delete;
    ProxySetting& operator=(const ProxySetting&) = delete;
};

// Runs this test program again, filtered to `test` and with ZEPHYL_LATE_RESOLVER set, in a
// network namespace of its own whose one name server (vendor_server.py --dns) answers every
// lookup with 127.0.0.1 after `dnsDelaySeconds`, with Wine's checks of freed heap blocks on.
// True when it ended within `ms`; its exit code and output in `exitCode` and `output`.
bool RunWithLateResolver(const std::string& test, double dnsDelaySeconds, DWORD ms, int& exitCode,
                         std::string& output);
// The name server's folder, as both runs see it (trailing backslash).
std::string LateResolverFolder();

// A loopback port where nothing listens.
unsigned short ClosedPort();

// Registers OpenRecorder as the handler of http, https and .txt; the destructor puts
// the previous handlers back.
class OpenCatcher {
public:
    OpenCatcher();
    ~OpenCatcher();
    OpenCatcher(const OpenCatcher&) = delete;
    OpenCatcher& operator=(const OpenCatcher&) = delete;
    bool Ok() const { return m_ok; }
    void Clear();
    // What the shell opened so far, one item a line.
    std::vector<std::string> Opened() const;
    // Waits up to `ms` for at least `count` opened items.
    bool WaitForOpened(size_t count, DWORD ms) const;
    // The copy of the last opened file.
    std::string CopyOfFile() const;

private:
    std::string m_record;
    bool m_ok = false;
    std::vector<std::pair<std::string, wt::RegValue>> m_saved;
};

// Waits up to `ms` for a visible dialog of the process with this caption.
HWND WaitForDialog(DWORD processId, const std::string& caption, DWORD ms);
// A message box with this caption: its text in `info`.
bool WaitForBox(DWORD processId, const std::string& caption, DWORD ms, wt::MessageBoxInfo& info);
// Any visible message box or dialog of the process.
std::vector<HWND> VisibleDialogs(DWORD processId);
// Presses a button of a dialog by its id.
void Press(HWND dialog, int id);

}  // namespace nt
