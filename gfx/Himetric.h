// Conversions between picture pixels and the HIMETRIC units (0.01 mm) in which the
// platform's picture objects report their size and take their source rectangles.
#pragma once

#include <cstdint>

constexpr int32_t kHimetricPerInch = 2540;

// a x b / c rounded half away from zero, as Win32 MulDiv: -1 when c is 0 or the result
// does not fit in 32 bits.
int32_t MulDivRound(int32_t a, int32_t b, int32_t c);

// Pixels of a HIMETRIC extent at `dpi` pixels per logical inch.
int32_t HimetricToPixels(int32_t himetric, int32_t dpi);

// The HIMETRIC source rectangle that draws the picture pixels (srcX, srcY, srcCx, srcCy),
// origin top-left, from a picture of natural height `naturalHeight`: the vertical axis is
// flipped, so y is measured from the bottom and the height is negative.
struct HimetricRect {
    int32_t x, y, cx, cy;
};
HimetricRect SourceRectToHimetric(int32_t srcX, int32_t srcY, int32_t srcCx, int32_t srcCy,
                                  int32_t naturalHeight, int32_t dpiX, int32_t dpiY);
