// Device order, z-buffer choice, display-mode fallback and the layer's projection.
#include "gfx/GraphicsRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "gfx/DebugOutput.h"

namespace {
PixelFormat ZFormat(uint32_t flags, uint32_t depth, uint32_t stencil) {
    PixelFormat f{};
    f.size = 32;
    f.flags = flags;
    f.bitCount = depth;
    f.rMask = stencil;
    return f;
}

// Collects the debugger output while alive.
class DebugCapture {
public:
    DebugCapture() {
        m_previous = SetDebugOutputHook([this](const std::string& text) { m_text += text; });
    }
    ~DebugCapture() { SetDebugOutputHook(m_previous); }
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
    DebugOutputHook m_previous;
};
}  // namespace

TEST(DeviceOrder, AllFourDevicesInPreferenceOrder) {
    EXPECT_EQ(DeviceSearchOrder(0), (std::vector<DeviceKind>{DeviceKind::TnLHal, DeviceKind::Hal,
                                                             DeviceKind::RGB, DeviceKind::Ref}));
    EXPECT_EQ(DeviceSearchOrder(kGfx16BitMode).size(), 4u);
}

TEST(DeviceOrder, NoHardwareLeavesSoftwareOnly) {
    EXPECT_EQ(DeviceSearchOrder(kGfxNoHardware),
              (std::vector<DeviceKind>{DeviceKind::RGB, DeviceKind::Ref}));
    EXPECT_EQ(DeviceSearchOrder(kGfxNoSoftware),
              (std::vector<DeviceKind>{DeviceKind::TnLHal, DeviceKind::Hal}));
    EXPECT_TRUE(DeviceSearchOrder(kGfxNoHardware | kGfxNoSoftware).empty());
}

TEST(DeviceOrder, HardwareKindsAndModeBits) {
    EXPECT_TRUE(IsHardwareDevice(DeviceKind::TnLHal));
    EXPECT_TRUE(IsHardwareDevice(DeviceKind::Hal));
    EXPECT_FALSE(IsHardwareDevice(DeviceKind::RGB));
    EXPECT_FALSE(IsHardwareDevice(DeviceKind::Ref));
    EXPECT_EQ(FullScreenBits(0), 32);
    EXPECT_EQ(FullScreenBits(kGfx16BitMode), 16);
    EXPECT_FALSE(WantsZBuffer(0));
    EXPECT_FALSE(WantsZBuffer(kGfx16BitMode | kGfxStencil));
    EXPECT_TRUE(WantsZBuffer(kGfxZBuffer));
    EXPECT_TRUE(WantsZBuffer(kGfxZBuffer24));
}

TEST(ZBufferChoice, SixteenBitsPassWithoutTheDeepFlagOnly) {
    const std::vector<PixelFormat> formats = {ZFormat(kPfZBuffer, 16, 0)};
    EXPECT_EQ(ChooseZBufferFormat(formats, kGfxZBuffer), 0);
    EXPECT_EQ(ChooseZBufferFormat(formats, kGfxZBuffer24), -1);
    EXPECT_EQ(ChooseZBufferFormat(formats, kGfxZBuffer | kGfxStencil), -1);
}

TEST(ZBufferChoice, FirstFittingFormatInEnumerationOrder) {
    const std::vector<PixelFormat> formats = {
        ZFormat(kPfZBuffer, 16, 0), ZFormat(kPfZBuffer, 24, 0),
        ZFormat(kPfZBuffer | kPfStencilBuffer, 32, 8), ZFormat(kPfZBuffer, 32, 0)};
    EXPECT_EQ(ChooseZBufferFormat(formats, kGfxZBuffer), 0);
    EXPECT_EQ(ChooseZBufferFormat(formats, kGfxZBuffer24), 1);
    EXPECT_EQ(ChooseZBufferFormat(formats, kGfxZBuffer24 | kGfxStencil), 2);
    EXPECT_EQ(ChooseZBufferFormat(formats, kGfxZBuffer | kGfxStencil8), 2);
}

TEST(ZBufferChoice, DepthCountsWithoutTheStencilBits) {
    // 32 bits of which 8 stencil: 24 depth bits.
    EXPECT_TRUE(ZBufferFormatFits(ZFormat(kPfZBuffer | kPfStencilBuffer, 32, 8), kGfxZBuffer24));
    // 24 bits of which 8 stencil: only 16 depth bits.
    EXPECT_FALSE(ZBufferFormatFits(ZFormat(kPfZBuffer | kPfStencilBuffer, 24, 8), kGfxZBuffer24));
    EXPECT_TRUE(ZBufferFormatFits(ZFormat(kPfZBuffer | kPfStencilBuffer, 16, 1), kGfxZBuffer | kGfxStencil));
    EXPECT_FALSE(ZBufferFormatFits(ZFormat(kPfZBuffer | kPfStencilBuffer, 16, 1), kGfxZBuffer | kGfxStencil8));
    // 15 bits is the shallowest a plain request takes.
    EXPECT_TRUE(ZBufferFormatFits(ZFormat(kPfZBuffer, 15, 0), kGfxZBuffer));
    EXPECT_FALSE(ZBufferFormatFits(ZFormat(kPfZBuffer, 14, 0), kGfxZBuffer));
    // A garbage stencil count larger than the depth does not wrap around.
    EXPECT_FALSE(ZBufferFormatFits(ZFormat(kPfZBuffer | kPfStencilBuffer, 16, 0xFFFFFFFFu), kGfxZBuffer));
}

TEST(ZBufferChoice, OnlyDepthBufferFormatsAreCandidates) {
    const std::vector<PixelFormat> formats = {ZFormat(kPfZBuffer | kPfRGB, 32, 0),
                                              ZFormat(kPfStencilBuffer, 32, 8),
                                              ZFormat(kPfZBuffer, 24, 0)};
    EXPECT_EQ(ChooseZBufferFormat(formats, kGfxZBuffer), 2);
    EXPECT_EQ(ChooseZBufferFormat({}, kGfxZBuffer), -1);
}

TEST(DisplayModeFallback, RequestedModeWhenAccepted) {
    DebugCapture capture;
    std::vector<std::tuple<int, int, int>> tried;
    DisplayMode chosen{};
    EXPECT_TRUE(SetDisplayModeWithFallback(1024, 768, 32, [&](int w, int h, int b) {
        tried.emplace_back(w, h, b);
        return true;
    }, chosen));
    EXPECT_EQ(chosen.width, 1024);
    EXPECT_EQ(chosen.bits, 32);
    EXPECT_EQ(tried, (std::vector<std::tuple<int, int, int>>{{1024, 768, 32}}));
    EXPECT_EQ(capture.Text(), "");
}

TEST(DisplayModeFallback, SixteenBitsWithoutAMessage) {
    DebugCapture capture;
    std::vector<std::tuple<int, int, int>> tried;
    DisplayMode chosen{};
    EXPECT_TRUE(SetDisplayModeWithFallback(1024, 768, 32, [&](int w, int h, int b) {
        tried.emplace_back(w, h, b);
        return b == 16;
    }, chosen));
    EXPECT_EQ(chosen.width, 1024);
    EXPECT_EQ(chosen.height, 768);
    EXPECT_EQ(chosen.bits, 16);
    EXPECT_EQ(tried, (std::vector<std::tuple<int, int, int>>{{1024, 768, 32}, {1024, 768, 16}}));
    EXPECT_EQ(capture.Text(), "");
}

TEST(DisplayModeFallback, SixForty480WithTheMessage) {
    DebugCapture capture;
    std::vector<std::tuple<int, int, int>> tried;
    DisplayMode chosen{};
    EXPECT_TRUE(SetDisplayModeWithFallback(1024, 768, 32, [&](int w, int h, int b) {
        tried.emplace_back(w, h, b);
        return w == 640;
    }, chosen));
    EXPECT_EQ(chosen.width, 640);
    EXPECT_EQ(chosen.height, 480);
    EXPECT_EQ(tried, (std::vector<std::tuple<int, int, int>>{
                         {1024, 768, 32}, {1024, 768, 16}, {640, 480, 16}}));
    EXPECT_EQ(capture.Text(), "Inputted resolution failed, trying 640x480x16\n");
}

TEST(DisplayModeFallback, AllRefusedFails) {
    DebugCapture capture;
    int calls = 0;
    DisplayMode chosen{};
    EXPECT_FALSE(SetDisplayModeWithFallback(800, 600, 16, [&](int, int, int) {
        ++calls;
        return false;
    }, chosen));
    EXPECT_EQ(capture.Text(), "Inputted resolution failed, trying 640x480x16\n");
    EXPECT_EQ(calls, 3);
}

TEST(LayerProjection, DefaultsGiveTheSquareFieldOfView) {
    Matrix4 m;
    ASSERT_TRUE(MakeLayerProjection(1.5707964f, 1.0f, 1000.0f, 800, 600, m));
    EXPECT_NEAR(m.m[1][1], 1.0f, 1e-6f);           // cot(45 degrees)
    EXPECT_NEAR(m.m[0][0], 0.75f, 1e-6f);          // times height / width
    EXPECT_NEAR(m.m[2][2], 1000.0f / 999.0f, 1e-6f);
    EXPECT_EQ(m.m[2][3], 1.0f);
    EXPECT_NEAR(m.m[3][2], -1000.0f / 999.0f, 1e-6f);
    EXPECT_EQ(m.m[3][3], 0.0f);
    EXPECT_EQ(m.m[0][1], 0.0f);
}

TEST(LayerProjection, DegenerateInputsLeaveTheMatrixAlone) {
    Matrix4 m = kIdentityMatrix;
    EXPECT_FALSE(MakeLayerProjection(1.5707964f, 5.0f, 5.0f, 800, 600, m));
    EXPECT_FALSE(MakeLayerProjection(1.5707964f, 5.0f, 5.005f, 800, 600, m));
    EXPECT_FALSE(MakeLayerProjection(0.0f, 1.0f, 1000.0f, 800, 600, m));
    EXPECT_FALSE(MakeLayerProjection(1.5707964f, 1.0f, 1000.0f, 0, 600, m));
    EXPECT_FALSE(MakeLayerProjection(1.5707964f, 1.0f, 1000.0f, 800, 0, m));
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(m.m[r][c], r == c ? 1.0f : 0.0f);
}
