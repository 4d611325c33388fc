// Pixel and HIMETRIC conversions of the picture decoder.
#include "gfx/Himetric.h"

#include <limits>

int32_t MulDivRound(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    int64_t num = int64_t(a) * b;
    int64_t div = c;
    if (div < 0) {
        num = -num;
        div = -div;
    }
    const int64_t result = num >= 0 ? (num + div / 2) / div : (num - div / 2) / div;
    if (result > std::numeric_limits<int32_t>::max() || result < -std::numeric_limits<int32_t>::max())
        return -1;
    return int32_t(result);
}

int32_t HimetricToPixels(int32_t himetric, int32_t dpi) {
    return MulDivRound(himetric, dpi, kHimetricPerInch);
}

namespace {
int32_t Clamp32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < -std::numeric_limits<int32_t>::max()) return -std::numeric_limits<int32_t>::max();
    return int32_t(v);
}

int32_t ToHimetric(int32_t pixels, int32_t dpi) {
    if (dpi <= 0) return 0;
    return Clamp32(int64_t(pixels) * kHimetricPerInch / dpi);
}
}  // namespace

HimetricRect SourceRectToHimetric(int32_t srcX, int32_t srcY, int32_t srcCx, int32_t srcCy,
                                  int32_t naturalHeight, int32_t dpiX, int32_t dpiY) {
    HimetricRect r;
    r.x = ToHimetric(srcX, dpiX);
    r.y = Clamp32(int64_t(naturalHeight) - ToHimetric(srcY, dpiY));
    r.cx = ToHimetric(srcCx, dpiX);
    r.cy = -ToHimetric(srcCy, dpiY);
    return r;
}
