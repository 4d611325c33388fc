// Helpers of the graphics tests under Wine: a test window, a debugger-output capture, and
// reading pixels back from DirectDraw surfaces. Everything made here is freed by its owner.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include <cstdint>
#include <functional>
#include <string>

#include "gfx/DebugOutput.h"

namespace gfxtest {

// A visible popup window; destroyed with the object.
class TestWindow {
public:
    TestWindow(int x, int y, int width, int height, bool topmost = false);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND Handle() const { return m_window; }

private:
    HWND m_window = nullptr;
};

// Handles the window messages that are waiting.
void PumpMessages();

// Collects the debugger output while alive.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    std::string Text() const { return m_text; }

private:
    std::string m_text;
    DebugOutputHook m_previous;
};

// A pixel of a surface as 0x00RRGGBB (16-bit 565 pixels widened), or 0xFFFFFFFF when the
// surface cannot be locked.
uint32_t ReadPixel(LPDIRECTDRAWSURFACE7 surface, int x, int y);
// Bits per pixel of a surface, 0 when unknown.
int SurfaceBits(LPDIRECTDRAWSURFACE7 surface);
// Width and height of a surface.
SIZE SurfaceSize(LPDIRECTDRAWSURFACE7 surface);

// Colours match within a tolerance per channel (0x00RRGGBB).
bool ColourNear(uint32_t actual, uint32_t expected, int tolerance);
std::string Hex(uint32_t value);

// Holds the screen for a screenshot for GFX_HOLD_SECONDS seconds (environment variable;
// no hold without it), calling `redraw` every 50 ms when given.
void HoldForScreenshot(const char* what, const std::function<void()>& redraw = nullptr);

}  // namespace gfxtest
