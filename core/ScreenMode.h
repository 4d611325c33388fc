// ScreenMode: a display mode as width, height and bits per pixel (0 for "any").
#pragma once

#include <cstdint>

struct ScreenMode {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bits = 0;
};

inline bool operator==(const ScreenMode& a, const ScreenMode& b) {
    return a.width == b.width && a.height == b.height && a.bits == b.bits;
}
inline bool operator!=(const ScreenMode& a, const ScreenMode& b) { return !(a == b); }
