// The device-independent decisions of the graphics layer.
#include "gfx/GraphicsRules.h"

#include <cmath>
#include <cstring>

#include "gfx/DebugOutput.h"

std::vector<DeviceKind> DeviceSearchOrder(uint32_t flags) {
    std::vector<DeviceKind> order;
    if (!(flags & kGfxNoHardware)) {
        order.push_back(DeviceKind::TnLHal);
        order.push_back(DeviceKind::Hal);
    }
    if (!(flags & kGfxNoSoftware)) {
        order.push_back(DeviceKind::RGB);
        order.push_back(DeviceKind::Ref);
    }
    return order;
}

bool IsHardwareDevice(DeviceKind kind) { return kind == DeviceKind::TnLHal || kind == DeviceKind::Hal; }

int FullScreenBits(uint32_t flags) { return (flags & kGfx16BitMode) ? 16 : 32; }

bool WantsZBuffer(uint32_t flags) { return (flags & (kGfxZBuffer | kGfxZBuffer24)) != 0; }

bool IsZBufferCandidate(const PixelFormat& format) {
    return format.flags == kPfZBuffer || format.flags == (kPfZBuffer | kPfStencilBuffer);
}

bool ZBufferFormatFits(const PixelFormat& format, uint32_t flags) {
    const int64_t stencilBits = format.rMask;
    const int64_t depthBits = int64_t(format.bitCount) - stencilBits;
    if (depthBits < ((flags & kGfxZBuffer24) ? 24 : 15)) return false;
    if (flags & (kGfxStencil | kGfxStencil8)) {
        if (stencilBits < ((flags & kGfxStencil8) ? 8 : 1)) return false;
    }
    return true;
}

int ChooseZBufferFormat(const std::vector<PixelFormat>& formats, uint32_t flags) {
    for (size_t i = 0; i < formats.size(); ++i)
        if (IsZBufferCandidate(formats[i]) && ZBufferFormatFits(formats[i], flags)) return int(i);
    return -1;
}

bool SetDisplayModeWithFallback(int width, int height, int bits,
                                const std::function<bool(int, int, int)>& setMode, DisplayMode& chosen) {
    const DisplayMode tries[3] = {{width, height, bits}, {width, height, 16}, {640, 480, 16}};
    for (int i = 0; i < 3; ++i) {
        if (i == 2) DebugOutput("Inputted resolution failed, trying 640x480x16\n");
        if (setMode(tries[i].width, tries[i].height, tries[i].bits)) {
            chosen = tries[i];
            return true;
        }
    }
    return false;
}

bool MakeLayerProjection(float fov, float zNear, float zFar, int clientWidth, int clientHeight,
                         Matrix4& out) {
    if (std::fabs(zFar - zNear) < 0.01f || std::fabs(std::sin(fov / 2)) < 0.01f) return false;
    if (clientWidth <= 0 || clientHeight <= 0) return false;
    const float q = zFar / (zFar - zNear);
    const float c = std::cos(fov / 2) / std::sin(fov / 2);
    std::memset(&out, 0, sizeof out);
    out.m[0][0] = c * float(clientHeight) / float(clientWidth);
    out.m[1][1] = c;
    out.m[2][2] = q;
    out.m[2][3] = 1;
    out.m[3][2] = -q * zNear;
    return true;
}
