// NetClient's hidden window, socket events, sends, receives and the proxy setting.
#include "net/NetClient.h"

#include <cstring>
#include <new>
#include <vector>

#include "core/Globals.h"
#include "diag/Log.h"
#include "net/HttpText.h"

namespace {

const char* const kClassName = "netclient";
const char* const kPropertyName = "netclient";
const char* const kLookupClassName = "netlookup";
const UINT kSocketMessage = WM_USER + 10;    // 1034
const UINT kResolvedMessage = WM_USER + 11;  // 1035
const long kEventMask = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;  // 0x33
const int kWindowWidth = 64;
const int kWindowHeight = 32;
// Events of a peer that closes with more than the buffer waiting: one piece per round.
const int kMostPiecesAtClose = 4096;
const int kReceiveBufferSize = 16384;

const char* const kInternetSettingsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const DWORD kProxyServerMax = 1024;

// Clients and running host lookups: the socket library stays started while any is alive.
int gInstances = 0;
bool gClassRegistered = false;
bool gLookupClassRegistered = false;

HINSTANCE ProgramInstance() { return InstanceHandle ? InstanceHandle : GetModuleHandleA(nullptr); }

void LibraryUp() {
    if (gInstances++ == 0) {
        WSADATA data;
        int error = WSAStartup(MAKEWORD(1, 1), &data);
        if (error) ZLOG(LogError, "WSAStartup failed: " << error);
    }
}

void LibraryDown() {
    if (--gInstances == 0) WSACleanup();
}

// The client behind a window, or null once the window or its client is gone.
NetClient* ClientOf(HWND window) {
    if (!IsWindow(window)) return nullptr;
    return static_cast<NetClient*>(GetPropA(window, kPropertyName));
}

}  // namespace

// A host lookup with the entry buffer the socket library fills. The library writes that
// buffer whenever the lookup ends, and cancelling does not reliably stop it (Wine's cancel
// does nothing), so the record is freed only once its answer has arrived: it reports to a
// hidden window of its own, which outlives the client, and frees itself there. When the
// thread ends first, the record is left behind on purpose: the late write still lands in it.
struct HostLookup {
    HWND window = nullptr;
    HANDLE handle = nullptr;
    NetClient* client = nullptr;  // null once nobody waits for the answer
    char entry[MAXGETHOSTSTRUCT];

    // Null when the lookup could not be started.
    static HostLookup* Start(NetClient* client, const char* host);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

HostLookup* HostLookup::Start(NetClient* client, const char* host) {
    if (!gLookupClassRegistered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = ProgramInstance();
        wc.lpszClassName = kLookupClassName;
        gLookupClassRegistered = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }
    HostLookup* lookup = new (std::nothrow) HostLookup;
    if (!lookup) return nullptr;
    memset(lookup->entry, 0, sizeof lookup->entry);
    lookup->client = client;
    lookup->window = CreateWindowA(kLookupClassName, kLookupClassName, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   ProgramInstance(), nullptr);
    if (!lookup->window || !SetPropA(lookup->window, kLookupClassName, lookup)) {
        ZLOG(LogError, "Could not create the host lookup window: " << GetLastError());
        if (lookup->window) DestroyWindow(lookup->window);
        delete lookup;
        return nullptr;
    }
    LibraryUp();
    lookup->handle =
        WSAAsyncGetHostByName(lookup->window, kResolvedMessage, host, lookup->entry, sizeof lookup->entry);
    if (!lookup->handle) {
        ZLOG(LogError, "Host lookup of " << host << " not started: " << WSAGetLastError());
        DestroyWindow(lookup->window);
        delete lookup;
        LibraryDown();
        return nullptr;
    }
    return lookup;
}

LRESULT CALLBACK HostLookup::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kResolvedMessage) return DefWindowProcA(window, message, wParam, lParam);
    HostLookup* lookup = static_cast<HostLookup*>(GetPropA(window, kLookupClassName));
    if (!lookup || reinterpret_cast<HANDLE>(wParam) != lookup->handle) return 0;
    // The answer is in: the library is done with the buffer.
    RemovePropA(window, kLookupClassName);
    if (NetClient* client = lookup->client) {
        client->m_lookup = nullptr;
        client->OnResolved(*lookup, lParam);
    }
    DestroyWindow(window);
    delete lookup;
    LibraryDown();
    return 0;
}

NetClient::NetClient(int type, NetCallback callback, void* userData, int bufferSize)
    : m_type(type), m_bufferSize(bufferSize), m_callback(callback), m_userData(userData) {
    LibraryUp();
    try {
        m_buffer = new char[bufferSize > 0 ? bufferSize : 1];
        if (!gClassRegistered) {
            WNDCLASSA wc = {};
            wc.style = CS_OWNDC;
            wc.lpfnWndProc = WindowProc;
            wc.hInstance = ProgramInstance();
            wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
            wc.lpszClassName = kClassName;
            gClassRegistered = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        }
        m_window = CreateWindowA(kClassName, kClassName, WS_OVERLAPPEDWINDOW,
                                 (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2,
                                 (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2, kWindowWidth,
                                 kWindowHeight, nullptr, nullptr, ProgramInstance(), nullptr);
        if (!m_window) {
            ZLOG(LogError, "Could not create the network window: " << GetLastError());
            throw std::runtime_error("netclient window");
        }
        if (!SetPropA(m_window, kPropertyName, this)) throw std::runtime_error("netclient property");
    } catch (...) {
        // The destructor does not run for a half-made object: undo here.
        if (m_window) DestroyWindow(m_window);
        delete[] m_buffer;
        LibraryDown();
        throw;
    }
    m_ready = true;
}

NetClient::~NetClient() {
    // A running lookup is not cancelled: it ends on its own and frees its record.
    if (m_lookup) m_lookup->client = nullptr;
    CloseSocket();
    if (m_window) {
        RemovePropA(m_window, kPropertyName);
        DestroyWindow(m_window);
    }
    delete[] m_buffer;
    LibraryDown();
}

void NetClient::CloseSocket() {
    if (!m_pending.empty()) m_lostUnsent = true;
    if (m_socket != INVALID_SOCKET) {
        closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
    m_pending.clear();
}

bool NetClient::Connect(const char* host, unsigned short port) {
    if (!m_ready) return false;
    CloseSocket();
    m_lostUnsent = false;
    if (m_lookup) m_lookup->client = nullptr;
    m_port = port;
    memset(&m_server, 0, sizeof m_server);
    m_server.sin_family = AF_INET;
    m_server.sin_port = htons(port);
    m_server.sin_addr.s_addr = 0;
    m_lookup = HostLookup::Start(this, host);
    return m_lookup != nullptr;
}

int NetClient::Send(const char* bytes, int length) {
    if (m_socket == INVALID_SOCKET || length < 0) return SOCKET_ERROR;
    if (m_type != 1) return sendto(m_socket, bytes, length, 0, reinterpret_cast<sockaddr*>(&m_peer), sizeof m_peer);
    if (!m_pending.empty()) {
        m_pending.append(bytes, size_t(length));
        return length;
    }
    int sent = send(m_socket, bytes, length, 0);
    if (sent == SOCKET_ERROR) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) return SOCKET_ERROR;
        sent = 0;
    }
    // A non-blocking socket takes what fits; the rest follows on the write events.
    if (sent < length) m_pending.assign(bytes + sent, size_t(length - sent));
    return length;
}

void NetClient::FlushPending() {
    while (!m_pending.empty() && m_socket != INVALID_SOCKET) {
        int sent = send(m_socket, m_pending.data(), int(m_pending.size()), 0);
        if (sent <= 0) return;  // would block: the next write event goes on
        m_pending.erase(0, size_t(sent));
    }
}

NetReceived NetClient::Receive() {
    int total = 0;
    int last = 0;
    while (total < m_bufferSize && m_socket != INVALID_SOCKET) {
        last = recv(m_socket, m_buffer + total, m_bufferSize - total, 0);
        if (last <= 0) break;
        total += last;
    }
    m_received.data = m_buffer;
    m_received.count = total ? total : last;
    return m_received;
}

bool NetClient::GetProxy(bool& enabled, std::string& host, unsigned short& port) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD enable = 0, size = sizeof enable, type = 0;
    bool result = false;
    if (RegQueryValueExA(key, "ProxyEnable", nullptr, &type, reinterpret_cast<BYTE*>(&enable), &size) !=
        ERROR_SUCCESS) {
        enabled = false;
    } else if (!enable) {
        enabled = false;
        result = true;
    } else {
        std::vector<char> server(kProxyServerMax + 1, '\0');
        size = kProxyServerMax;
        if (RegQueryValueExA(key, "ProxyServer", nullptr, &type, reinterpret_cast<BYTE*>(server.data()), &size) ==
            ERROR_SUCCESS) {
            ProxyEntry entry = ParseProxyServer(std::string(server.data()));
            enabled = !entry.direct;
            host = entry.host;
            port = entry.port;
            result = true;
        }
    }
    RegCloseKey(key);
    return result;
}

bool NetClient::Notify(int event) {
    HWND window = m_window;
    m_callback(this, m_userData, event);
    return ClientOf(window) == this;
}

void NetClient::OnResolved(const HostLookup& lookup, LPARAM lParam) {
    if (WSAGETASYNCERROR(lParam) != 0) {
        ZLOG(LogError, "Host lookup failed: " << WSAGETASYNCERROR(lParam));
        return;
    }
    const hostent* entry = reinterpret_cast<const hostent*>(lookup.entry);
    if (!entry->h_addr_list || !entry->h_addr_list[0]) return;
    memcpy(&m_server.sin_addr, entry->h_addr_list[0], sizeof m_server.sin_addr);
    if (m_socket == INVALID_SOCKET) {
        m_socket = m_type == 1 ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (m_socket == INVALID_SOCKET) return;
    }
    WSAAsyncSelect(m_socket, m_window, kSocketMessage, kEventMask);
    if (connect(m_socket, reinterpret_cast<sockaddr*>(&m_server), sizeof m_server) == SOCKET_ERROR &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
        ZLOG(LogError, "connect failed: " << WSAGetLastError());
        CloseSocket();
    }
}

bool NetClient::OnSocketEvent(WORD event, WORD error) {
    switch (event) {
    case FD_CONNECT:
        // A refused or failed connection is no connection: the caller's timer reports it.
        if (error) {
            ZLOG(LogError, "Connection failed: " << error);
            CloseSocket();
            return true;
        }
        return Notify(kNetConnected);
    case FD_READ: {
        u_long waiting = 0;
        if (ioctlsocket(m_socket, FIONREAD, &waiting) == SOCKET_ERROR || waiting == 0) return true;
        if (m_type == 1) {
            sockaddr_in peer;
            int size = sizeof peer;
            if (getpeername(m_socket, reinterpret_cast<sockaddr*>(&peer), &size) == SOCKET_ERROR) return true;
        } else {
            char peek[4];
            int size = sizeof m_peer;
            if (recvfrom(m_socket, peek, sizeof peek, MSG_PEEK, reinterpret_cast<sockaddr*>(&m_peer), &size) ==
                    SOCKET_ERROR &&
                WSAGetLastError() != WSAEMSGSIZE)
                return true;
        }
        return Notify(kNetData);
    }
    case FD_WRITE:
        FlushPending();
        return true;
    case FD_CLOSE: {
        // Whatever the peer sent before closing is handed over first, piece by piece.
        u_long waiting = 0;
        for (int round = 0; round < kMostPiecesAtClose && m_socket != INVALID_SOCKET; ++round) {
            if (ioctlsocket(m_socket, FIONREAD, &waiting) == SOCKET_ERROR || waiting == 0) break;
            u_long before = waiting;
            if (!Notify(kNetData)) return false;
            if (m_socket == INVALID_SOCKET || ioctlsocket(m_socket, FIONREAD, &waiting) == SOCKET_ERROR ||
                waiting >= before)
                break;  // the callback read nothing: do not spin
        }
        CloseSocket();
        return Notify(kNetClosed);
    }
    default:
        return true;
    }
}

LRESULT CALLBACK NetClient::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    NetClient* client = ClientOf(window);
    if (client) {
        if (message == kSocketMessage && static_cast<SOCKET>(wParam) == client->m_socket &&
            client->m_socket != INVALID_SOCKET) {
            if (!client->OnSocketEvent(WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam)))
                return 0;  // deleted by its callback: the window is gone
        }
    }
    if (!IsWindow(window)) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

NetClient* ConnectClient(NetCallback callback, void* userData, const std::string& host, bool& viaProxy) {
    std::string proxyHost;
    unsigned short proxyPort = 80;
    if (!NetClient::GetProxy(viaProxy, proxyHost, proxyPort)) viaProxy = false;
    NetClient* client = new NetClient(1, callback, userData, kReceiveBufferSize);
    if (viaProxy)
        client->Connect(proxyHost.c_str(), proxyPort);
    else
        client->Connect(host.c_str(), 80);
    return client;
}

bool SendForm(NetClient* client, const std::string& host, const std::string& path, const std::string& body,
              bool viaProxy) {
    std::string request = BuildRequest(host, path, body, viaProxy);
    if (client->Send(request.data(), int(request.size())) != SOCKET_ERROR) return true;
    ZLOG(LogError, "Request to " << path << " not sent: " << WSAGetLastError());
    return false;
}

bool ReceiveText(NetClient* client, std::string& text) {
    NetReceived received = client->Receive();
    if (received.count <= 0) return false;
    text.assign(received.data, size_t(received.count));
    text.resize(strlen(text.c_str()));
    return true;
}
