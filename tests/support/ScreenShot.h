// Screen grabs for the tests: what the device presented (the primary surface of a
// full-screen run, else the screen), as 32-bit pixels, and writing one as a BMP to look at.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace wt {

struct Shot {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    static int R(uint32_t p) { return (p >> 16) & 0xFF; }
    static int G(uint32_t p) { return (p >> 8) & 0xFF; }
    static int B(uint32_t p) { return p & 0xFF; }
    static int Sum(uint32_t p) { return R(p) + G(p) + B(p); }
};

// Copies (x, y, w, h) of a device context.
Shot GrabDC(HDC source, int x, int y, int w, int h);
// The graphics layer's last presented frame (w x h): its primary surface when full screen,
// else the screen under its window; the whole screen when there is no layer.
Shot GrabPresented(int w, int h);
// Writes the shot as a 32-bit BMP at `path`.
bool SaveBmp(const Shot& shot, const std::string& path);

}  // namespace wt
