// Test windows, debugger-output capture and surface read-back for the graphics tests.
#include "GfxTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gfxtest {

namespace {
const char kClassName[] = "ZephylGfxTestWindow";

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) return 1;  // the layer draws everything
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterTestClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSA wc{};
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
    registered = true;
}
}  // namespace

TestWindow::TestWindow(int x, int y, int width, int height, bool topmost) {
    RegisterTestClass();
    m_window = CreateWindowExA(topmost ? WS_EX_TOPMOST : 0, kClassName, "gfx test", WS_POPUP | WS_VISIBLE, x, y,
                               width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    PumpMessages();
}

TestWindow::~TestWindow() {
    if (m_window) DestroyWindow(m_window);
    PumpMessages();
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

DebugCapture::DebugCapture() {
    m_previous = SetDebugOutputHook([this](const std::string& text) { m_text += text; });
}

DebugCapture::~DebugCapture() { SetDebugOutputHook(m_previous); }

uint32_t ReadPixel(LPDIRECTDRAWSURFACE7 surface, int x, int y) {
    if (!surface) return 0xFFFFFFFFu;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    RECT r = {x, y, x + 1, y + 1};
    if (FAILED(surface->Lock(&r, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) return 0xFFFFFFFFu;
    uint32_t value = 0xFFFFFFFFu;
    const uint8_t* p = static_cast<const uint8_t*>(desc.lpSurface);
    if (desc.ddpfPixelFormat.dwRGBBitCount == 32) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        value = v & 0x00FFFFFFu;
    } else if (desc.ddpfPixelFormat.dwRGBBitCount == 16) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        const uint32_t r5 = (v >> 11) & 31, g6 = (v >> 5) & 63, b5 = v & 31;
        value = ((r5 * 255 / 31) << 16) | ((g6 * 255 / 63) << 8) | (b5 * 255 / 31);
    }
    surface->Unlock(&r);
    return value;
}

int SurfaceBits(LPDIRECTDRAWSURFACE7 surface) {
    if (!surface) return 0;
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    if (FAILED(surface->GetPixelFormat(&format))) return 0;
    return int(format.dwRGBBitCount);
}

SIZE SurfaceSize(LPDIRECTDRAWSURFACE7 surface) {
    SIZE size = {0, 0};
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (surface && SUCCEEDED(surface->GetSurfaceDesc(&desc))) {
        size.cx = LONG(desc.dwWidth);
        size.cy = LONG(desc.dwHeight);
    }
    return size;
}

bool ColourNear(uint32_t actual, uint32_t expected, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = int((actual >> shift) & 0xFF), e = int((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance) return false;
    }
    return (actual >> 24) == 0;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", unsigned(value));
    return text;
}

void HoldForScreenshot(const char* what, const std::function<void()>& redraw) {
    const char* hold = std::getenv("GFX_HOLD_SECONDS");
    if (!hold) return;
    std::printf("holding for a screenshot: %s\n", what);
    std::fflush(stdout);
    const DWORD end = GetTickCount() + DWORD(std::atoi(hold)) * 1000;
    while (GetTickCount() < end) {
        PumpMessages();
        if (redraw) redraw();
        Sleep(50);
    }
}

}  // namespace gfxtest
