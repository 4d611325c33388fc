// NetClient: one asynchronous HTTP exchange over WinSock 1.1 on the thread that made it.
// Host lookup and socket events arrive as messages to a hidden "netclient" window and
// reach the owner's callback as the event codes below. The creator deletes the client
// (usually from its callback on kNetClosed); the client owns its window, socket and buffer.
#pragma once

#include <winsock.h>
#include <windows.h>

#include <stdexcept>
#include <string>

class NetClient;
struct HostLookup;

typedef void (*NetCallback)(NetClient* client, void* userData, int event);

enum NetEvent {
    kNetConnected = WM_USER + 21,    // 1045
    kNetData = WM_USER + 22,         // 1046
    kNetClosed = WM_USER + 23,       // 1047, the socket is already closed
    kNetConnectFailed = WM_USER + 26 // 1050, sent by the update check's timer
};

struct NetReceived {
    const char* data;
    int count;  // bytes of the last Receive, or its last result when nothing was read
};

class NetClient {
public:
    // Throws std::runtime_error when the buffer, the window or its property cannot be made.
    NetClient(int type, NetCallback callback, void* userData, int bufferSize);
    virtual ~NetClient();
    NetClient(const NetClient&) = delete;
    NetClient& operator=(const NetClient&) = delete;

    // Starts the host lookup; the connection follows asynchronously. A lookup that is still
    // running when the client goes (or connects again) finishes on its own and is ignored.
    bool Connect(const char* host, unsigned short port);
    // Sends everything: what the socket does not take at once goes out as it drains.
    // The byte count taken over, or SOCKET_ERROR.
    int Send(const char* bytes, int length);
    // Reads what is waiting into the buffer (not terminated).
    NetReceived Receive();
    // Whether everything given to Send went out before the socket closed.
    bool SentAll() const { return m_pending.empty() && !m_lostUnsent; }

    // The user's proxy setting from Internet Settings; false when there is none to read.
    // A setting that names no proxy for the web gives enabled = false.
    static bool GetProxy(bool& enabled, std::string& host, unsigned short& port);

private:
    friend struct HostLookup;
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnResolved(const HostLookup& lookup, LPARAM lParam);
    // Returns false when the callback deleted the client.
    bool OnSocketEvent(WORD event, WORD error);
    bool Notify(int event);
    void FlushPending();
    void CloseSocket();

    HWND m_window = nullptr;
    SOCKET m_socket = INVALID_SOCKET;
    int m_type;
    unsigned short m_port = 0;
    char* m_buffer = nullptr;
    int m_bufferSize;
    NetReceived m_received = {nullptr, 0};
    sockaddr_in m_server = {};
    sockaddr_in m_peer = {};
    bool m_ready = false;
    NetCallback m_callback;
    void* m_userData;
    HostLookup* m_lookup = nullptr;  // the running lookup; it owns itself (see NetClient.cpp)
    std::string m_pending;  // request bytes the socket has not taken yet
    bool m_lostUnsent = false;  // the socket closed with some of them
};

// The steps both users of the client share.
// A stream client for `callback`, connected to the user's proxy when one is set, else to
// `host` on port 80; `viaProxy` says which. Throws as the constructor does.
NetClient* ConnectClient(NetCallback callback, void* userData, const std::string& host, bool& viaProxy);
// Posts the form `body` to `path` on `host`; false when the socket refused it.
bool SendForm(NetClient* client, const std::string& host, const std::string& path, const std::string& body,
              bool viaProxy);
// The next piece of the reply as text (up to its first NUL); false when nothing was read.
bool ReceiveText(NetClient* client, std::string& text);
