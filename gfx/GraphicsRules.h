// The decisions of the graphics layer that need no device: creation flags, the order in
// which devices are tried, the z-buffer format choice, the display-mode fallback and the
// layer's own projection. The Win32 layer (GraphicsLayer.cpp) feeds them what DirectDraw
// and Direct3D report.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "gfx/Matrix.h"

// Same layout as DirectDraw's DDPIXELFORMAT (32 bytes). For z-buffer formats bitCount is
// the depth of the whole buffer and rMask the number of stencil bits.
struct PixelFormat {
    uint32_t size;
    uint32_t flags;
    uint32_t fourCC;
    uint32_t bitCount;
    uint32_t rMask;
    uint32_t gMask;
    uint32_t bMask;
    uint32_t aMask;
};
static_assert(sizeof(PixelFormat) == 32, "PixelFormat mirrors DDPIXELFORMAT");

// DirectDraw pixel-format flags used by the layer and the textures.
constexpr uint32_t kPfAlphaPixels = 0x00000001;
constexpr uint32_t kPfFourCC = 0x00000004;
constexpr uint32_t kPfRGB = 0x00000040;
constexpr uint32_t kPfZBuffer = 0x00000400;
constexpr uint32_t kPfStencilBuffer = 0x00004000;

// Flags of CreateGraphicsLayer and InitD3D.
constexpr uint32_t kGfxZBuffer = 1;
constexpr uint32_t kGfxZBuffer24 = 2;
constexpr uint32_t kGfxStencil = 4;
constexpr uint32_t kGfxStencil8 = 8;
constexpr uint32_t kGfxNoSoftware = 16;
constexpr uint32_t kGfxNoHardware = 32;
constexpr uint32_t kGfx16BitMode = 64;

// The Direct3D 7 devices the layer knows, in the order it prefers them.
enum class DeviceKind { TnLHal, Hal, RGB, Ref };

// The kinds to look for, in order, under the given flags.
std::vector<DeviceKind> DeviceSearchOrder(uint32_t flags);
bool IsHardwareDevice(DeviceKind kind);
// Bits per pixel of the full-screen mode the flags ask for.
int FullScreenBits(uint32_t flags);
bool WantsZBuffer(uint32_t flags);

// A z-buffer format the device enumerates is considered when it is a plain depth buffer,
// with or without stencil.
bool IsZBufferCandidate(const PixelFormat& format);
// Whether the format meets the depth and stencil needs of the flags.
bool ZBufferFormatFits(const PixelFormat& format, uint32_t flags);
// Index of the first candidate in `formats` that fits, or -1.
int ChooseZBufferFormat(const std::vector<PixelFormat>& formats, uint32_t flags);

// Sets width x height x bits, else width x height x 16, else (with a message on the debugger
// output) 640 x 480 x 16. `setMode` returns true on success. False when all three fail;
// otherwise `chosen` holds the mode that was set.
struct DisplayMode {
    int width, height, bits;
};
bool SetDisplayModeWithFallback(int width, int height, int bits,
                                const std::function<bool(int, int, int)>& setMode, DisplayMode& chosen);

// The layer's projection for a field of view (radians), near and far plane and the client
// size. False (and `out` untouched) when the planes or the angle are degenerate or the
// client area is empty.
bool MakeLayerProjection(float fov, float zNear, float zFar, int clientWidth, int clientHeight,
                         Matrix4& out);
