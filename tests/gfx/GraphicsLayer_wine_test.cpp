// The graphics layer on Wine's DirectDraw/Direct3D: windowed and full-screen set-up, clear
// and flip read back from the surfaces, device choice, z-buffers, the single-instance rule,
// the DirectDraw-only layer and the error texts. The full-screen tests switch display modes,
// which Wine allows inside its virtual desktop (the test environment runs in one).
#include "gfx/GraphicsLayer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "GfxTestSupport.h"

using gfxtest::ColourNear;
using gfxtest::DebugCapture;
using gfxtest::Hex;
using gfxtest::ReadPixel;
using gfxtest::TestWindow;

namespace {
// Destroys whatever layer a test left behind.
class GraphicsLayerTest : public ::testing::Test {
protected:
    void TearDown() override { DestroyGraphicsLayer(); }
};

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const cGameError& error) {
        return error.GetText();
    }
    return "(nothing thrown)";
}

HRESULT WINAPI CountMode(DDSURFACEDESC2*, void* count) {
    ++*static_cast<int*>(count);
    return DDENUMRET_OK;
}

DWORD DisplayBits() {
    HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    return DWORD(bits);
}
}  // namespace

TEST_F(GraphicsLayerTest, WindowedLayerClearsAndBlitsIntoTheWindow) {
    TestWindow window(100, 80, 320, 240);
    DebugCapture capture;
    cGraphicsLayer* layer = CreateGraphicsLayer(window.Handle(), false, 320, 240, 0, AcceptAnyDevice, nullptr);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(Graphics(), layer);
    EXPECT_FALSE(layer->Failed());
    EXPECT_FALSE(layer->IsFullScreen());
    EXPECT_NE(layer->GetDevice(), nullptr);
    EXPECT_NE(layer->GetD3D(), nullptr);
    EXPECT_EQ(layer->GetZBuffer(), nullptr);  // the program's flags ask for none
    EXPECT_FALSE(layer->ZBufferWanted());
    // Wine offers the hardware transform-and-lighting device first.
    EXPECT_TRUE(IsEqualGUID(layer->GetDeviceDescription().deviceGUID, IID_IDirect3DTnLHalDevice));
    EXPECT_TRUE(layer->IsHardwareDevice());
    EXPECT_EQ(layer->ClientRect().right, 320);
    EXPECT_EQ(layer->ClientRect().bottom, 240);
    EXPECT_EQ(layer->ScreenRect().left, 100);
    EXPECT_EQ(layer->ScreenRect().top, 80);
    EXPECT_EQ(layer->ScreenRect().right, 420);
    EXPECT_EQ(layer->ScreenRect().bottom, 320);
    const SIZE back = gfxtest::SurfaceSize(layer->GetBackBuffer());
    EXPECT_EQ(back.cx, 320);
    EXPECT_EQ(back.cy, 240);
    D3DVIEWPORT7 viewport{};
    ASSERT_EQ(layer->GetDevice()->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.dwWidth, 320u);
    EXPECT_EQ(viewport.dwHeight, 240u);
    EXPECT_EQ(viewport.dvMaxZ, 1.0f);
    D3DMATRIX projection{};
    ASSERT_EQ(layer->GetDevice()->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection), D3D_OK);
    EXPECT_NEAR(projection._22, 1.0f, 1e-5f);
    EXPECT_NEAR(projection._11, 0.75f, 1e-5f);
    EXPECT_EQ(projection._34, 1.0f);

    layer->Clear(true, false, 0x00C02040, 1.0f);
    const uint32_t cleared = ReadPixel(layer->GetBackBuffer(), 160, 120);
    EXPECT_TRUE(ColourNear(cleared, 0xC02040, 8)) << Hex(cleared);
    layer->Flip(false);
    // The blit put the back buffer where the window is on the primary surface.
    const uint32_t shown = ReadPixel(layer->GetFrontBuffer(), 100 + 160, 80 + 120);
    EXPECT_TRUE(ColourNear(shown, 0xC02040, 8)) << Hex(shown);
    gfxtest::HoldForScreenshot("windowed 320x240 at (100,80), colour C02040", [&] { layer->Flip(false); });
    EXPECT_EQ(capture.Text(), "");
}

TEST_F(GraphicsLayerTest, WindowedFlipFollowsAWindowThatMoved) {
    TestWindow window(40, 40, 160, 120);
    cGraphicsLayer* layer = CreateGraphicsLayer(window.Handle(), false, 160, 120, 0, AcceptAnyDevice, nullptr);
    layer->Clear(true, false, 0x00204080, 1.0f);
    layer->Flip(false);
    EXPECT_TRUE(ColourNear(ReadPixel(layer->GetFrontBuffer(), 40 + 80, 40 + 60), 0x204080, 8));
    SetWindowPos(window.Handle(), nullptr, 500, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    gfxtest::PumpMessages();
    layer->Clear(true, false, 0x00F0A020, 1.0f);
    layer->Flip(false);
    EXPECT_EQ(layer->ScreenRect().left, 500);
    EXPECT_EQ(layer->ScreenRect().bottom, 420);
    const uint32_t shown = ReadPixel(layer->GetFrontBuffer(), 500 + 80, 300 + 60);
    EXPECT_TRUE(ColourNear(shown, 0xF0A020, 8)) << Hex(shown);
}

TEST_F(GraphicsLayerTest, SecondLayerIsRefusedAndTheFirstKeepsWorking) {
    TestWindow window(0, 0, 200, 150);
    cGraphicsLayer* first = CreateGraphicsLayer(window.Handle(), false, 200, 150, 0, AcceptAnyDevice, nullptr);
    EXPECT_EQ(ErrorOf([&] { CreateGraphicsLayer(window.Handle(), false, 200, 150, 0, AcceptAnyDevice, nullptr); }),
              "cGraphicsLayer object already instantiated\n");
    EXPECT_EQ(ErrorOf([&] { cGraphicsLayer another(window.Handle()); }),
              "cGraphicsLayer object already instantiated\n");
    ASSERT_EQ(Graphics(), first);
    first->Clear(true, false, 0x000000FF, 1.0f);
    EXPECT_TRUE(ColourNear(ReadPixel(first->GetBackBuffer(), 10, 10), 0x0000FF, 8));
    DestroyGraphicsLayer();
    EXPECT_EQ(Graphics(), nullptr);
}

TEST_F(GraphicsLayerTest, DestroyReleasesEverythingCompletely) {
    TestWindow window(0, 0, 200, 150);
    DebugCapture capture;
    CreateGraphicsLayer(window.Handle(), false, 200, 150, kGfxZBuffer, AcceptAnyDevice, nullptr);
    DestroyGraphicsLayer();
    EXPECT_EQ(Graphics(), nullptr);
    EXPECT_EQ(capture.Text().find("[ExtraSafeRelease]"), std::string::npos) << capture.Text();
    // A new layer can be made afterwards.
    EXPECT_NE(CreateGraphicsLayer(window.Handle(), false, 200, 150, 0, AcceptAnyDevice, nullptr), nullptr);
}

TEST_F(GraphicsLayerTest, LayerOutlivingItsWindowIsReleasedCleanly) {
    // The saver's window is destroyed before its clean-up releases the layer.
    for (uint32_t flags : {0u, unsigned(kGfxZBuffer)}) {
        auto* window = new TestWindow(0, 0, 200, 150);
        CreateGraphicsLayer(window->Handle(), false, 200, 150, flags, AcceptAnyDevice, nullptr);
        Graphics()->Clear(true, false, 0, 1.0f);
        Graphics()->Flip(false);
        delete window;
        DebugCapture capture;
        DestroyGraphicsLayer();
        EXPECT_EQ(Graphics(), nullptr);
        EXPECT_EQ(capture.Text(), "") << "flags " << flags;
    }
}

TEST_F(GraphicsLayerTest, ReleaseReportsAnInterfaceStillHeld) {
    TestWindow window(0, 0, 200, 150);
    cGraphicsLayer* layer = CreateGraphicsLayer(window.Handle(), false, 200, 150, 0, AcceptAnyDevice, nullptr);
    LPDIRECTDRAW7 extra = layer->GetDD();
    extra->AddRef();
    DebugCapture capture;
    DestroyGraphicsLayer();
    EXPECT_NE(capture.Text().find("[ExtraSafeRelease]: ERROR: Interface was not released enough!"), std::string::npos)
        << capture.Text();
    EXPECT_EQ(extra->Release(), 0u);
}

TEST_F(GraphicsLayerTest, DeviceChoiceFollowsTheFlagsAndTheFilter) {
    TestWindow window(0, 0, 160, 120);
    cGraphicsLayer* layer = CreateGraphicsLayer(window.Handle(), false, 160, 120, kGfxNoHardware, AcceptAnyDevice, nullptr);
    EXPECT_TRUE(IsEqualGUID(layer->GetDeviceDescription().deviceGUID, IID_IDirect3DRGBDevice));
    EXPECT_FALSE(layer->IsHardwareDevice());
    DestroyGraphicsLayer();

    // A filter that refuses the transform-and-lighting device leaves the plain hardware one.
    int seen = 0;
    layer = CreateGraphicsLayer(window.Handle(), false, 160, 120, 0,
                                [&](const D3DDEVICEDESC7& d) {
                                    ++seen;
                                    return !IsEqualGUID(d.deviceGUID, IID_IDirect3DTnLHalDevice);
                                }, nullptr);
    EXPECT_TRUE(IsEqualGUID(layer->GetDeviceDescription().deviceGUID, IID_IDirect3DHALDevice));
    EXPECT_TRUE(layer->IsHardwareDevice());
    EXPECT_GE(seen, 3);  // every device that matched one of the searched kinds
    DestroyGraphicsLayer();

    DebugCapture capture;
    layer = nullptr;
    EXPECT_EQ(ErrorOf([&] {
                  CreateGraphicsLayer(window.Handle(), false, 160, 120, kGfxNoHardware | kGfxNoSoftware,
                                      AcceptAnyDevice, nullptr);
              }),
              "No valid devices were found");
    ASSERT_NE(Graphics(), nullptr);  // left alive, partly built, for the owner to destroy
    EXPECT_TRUE(Graphics()->Failed());
    EXPECT_EQ(Graphics()->GetDevice(), nullptr);
    EXPECT_NE(capture.Text().find("*** [ERROR] cGameError thrown! text: [No valid devices were found]"),
              std::string::npos);
    EXPECT_EQ(ErrorOf([&] { DestroyGraphicsLayer(); }), "(nothing thrown)");

    EXPECT_EQ(ErrorOf([&] {
                  CreateGraphicsLayer(window.Handle(), false, 160, 120, 0,
                                      [](const D3DDEVICEDESC7&) -> bool { throw 5; }, nullptr);
              }),
              "No valid devices were found");
}

TEST_F(GraphicsLayerTest, ZBufferFormatsFollowTheFlags) {
    TestWindow window(0, 0, 160, 120);
    cGraphicsLayer* layer = CreateGraphicsLayer(window.Handle(), false, 160, 120, kGfxZBuffer, AcceptAnyDevice, nullptr);
    ASSERT_NE(layer->GetZBuffer(), nullptr);
    EXPECT_TRUE(layer->ZBufferWanted());
    EXPECT_NE(layer->GetZBufferFormat().dwFlags & DDPF_ZBUFFER, 0u);
    EXPECT_GE(layer->GetZBufferFormat().dwZBufferBitDepth - layer->GetZBufferFormat().dwStencilBitDepth, 15u);
    EXPECT_EQ(gfxtest::SurfaceSize(layer->GetZBuffer()).cx, 160);
    DWORD zEnable = 0;
    layer->GetDevice()->GetRenderState(D3DRENDERSTATE_ZENABLE, &zEnable);
    EXPECT_NE(zEnable, 0u);
    DebugCapture capture;
    layer->Clear(true, true, 0x00FF0000, 1.0f);
    EXPECT_EQ(capture.Text(), "");
    DestroyGraphicsLayer();

    layer = CreateGraphicsLayer(window.Handle(), false, 160, 120, kGfxZBuffer24, AcceptAnyDevice, nullptr);
    ASSERT_NE(layer->GetZBuffer(), nullptr);
    EXPECT_GE(layer->GetZBufferFormat().dwZBufferBitDepth - layer->GetZBufferFormat().dwStencilBitDepth, 24u);
    DestroyGraphicsLayer();

    // Stencil formats are offered along with the plain depth formats.
    layer = CreateGraphicsLayer(window.Handle(), false, 160, 120, kGfxZBuffer | kGfxStencil8, AcceptAnyDevice, nullptr);
    ASSERT_NE(layer->GetZBuffer(), nullptr);
    EXPECT_GE(layer->GetZBufferFormat().dwStencilBitDepth, 8u);
    EXPECT_NE(layer->GetZBufferFormat().dwFlags & DDPF_STENCILBUFFER, 0u);
}

TEST_F(GraphicsLayerTest, ClearOfAMissingZBufferIsOnlyReported) {
    TestWindow window(0, 0, 160, 120);
    cGraphicsLayer* layer = CreateGraphicsLayer(window.Handle(), false, 160, 120, 0, AcceptAnyDevice, nullptr);
    DebugCapture capture;
    layer->Clear(false, true, 0, 1.0f);
    EXPECT_EQ(capture.Text(), "[cGraphicsLayer::Clear]: Clear failed\n");
}

TEST_F(GraphicsLayerTest, StepsWithoutTheirPrerequisitesFailWithTheirTexts) {
    TestWindow window(0, 0, 160, 120);
    auto* layer = new cGraphicsLayer(window.Handle());
    EXPECT_FALSE(layer->Failed());
    {
        DebugCapture capture;
        layer->InitD3D(0, AcceptAnyDevice);
        EXPECT_TRUE(layer->Failed());
        EXPECT_EQ(capture.Text(),
                  "[cGraphicsLayer::InitD3DWindowed]: Error! DDraw not set up correctly; cannot set up D3D!\n");
    }
    {
        DebugCapture capture;
        layer->MakeViewport();
        EXPECT_EQ(capture.Text(), "[cGraphicsLayer::MakeViewport]: no device\n");
    }
    {
        DebugCapture capture;
        layer->Clear(true, false, 0, 1.0f);  // no back buffer: nothing to clear, nothing said
        layer->Flip(false);
        EXPECT_EQ(capture.Text(), "[cGraphicsLayer::Flip]: Blt failed\n");
    }
    EXPECT_EQ(ErrorOf([&] { layer->MakeZBuffer(); }),
              "Failed to create a Z-Buffer surface.\nMost likely the application ran out of memory");
    EXPECT_EQ(layer->MakeProjectionMatrix(), -1);
}

TEST_F(GraphicsLayerTest, BackBufferOfAnEmptyWindowFails) {
    TestWindow window(0, 0, 0, 0);
    EXPECT_EQ(ErrorOf([&] { CreateGraphicsLayer(window.Handle(), false, 0, 0, 0, AcceptAnyDevice, nullptr); }),
              "back buffer creation failed");
    EXPECT_TRUE(Graphics()->Failed());
}

TEST_F(GraphicsLayerTest, ProjectionOfEqualPlanesLeavesTheDeviceAlone) {
    TestWindow window(0, 0, 400, 200);
    cGraphicsLayer* layer = CreateGraphicsLayer(window.Handle(), false, 400, 200, 0, AcceptAnyDevice, nullptr);
    D3DMATRIX before{};
    layer->GetDevice()->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &before);
    EXPECT_NEAR(before._11, 0.5f, 1e-5f);  // height / width
    layer->SetProjectionParameters(1.5707964f, 5.0f, 5.0f);
    EXPECT_EQ(layer->MakeProjectionMatrix(), -1);
    D3DMATRIX after{};
    layer->GetDevice()->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    layer->SetProjectionParameters(1.0f, 1.0f, 100.0f);
    EXPECT_EQ(layer->MakeProjectionMatrix(), 0);
    layer->GetDevice()->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &after);
    EXPECT_NEAR(after._22, std::cos(0.5f) / std::sin(0.5f), 1e-5f);
}

TEST_F(GraphicsLayerTest, TransformsReachTheDevice) {
    TestWindow window(0, 0, 160, 120);
    cGraphicsLayer* layer = CreateGraphicsLayer(window.Handle(), false, 160, 120, 0, AcceptAnyDevice, nullptr);
    Matrix4 world = kIdentityMatrix;
    SetTranslation(world, 0.2f, 0.08f, 0.9f);
    layer->SetWorldMatrix(world);
    Matrix4 view = kIdentityMatrix;
    AddTranslation(view, 1, 2, 3);
    layer->SetViewMatrix(view);
    D3DMATRIX got{};
    layer->GetDevice()->GetTransform(D3DTRANSFORMSTATE_WORLD, &got);
    EXPECT_EQ(got._41, 0.2f);
    EXPECT_EQ(got._43, 0.9f);
    layer->GetDevice()->GetTransform(D3DTRANSFORMSTATE_VIEW, &got);
    EXPECT_EQ(got._42, 2.0f);
    layer->BeginScene();
    layer->EndScene();
}

TEST_F(GraphicsLayerTest, DirectDrawOnlyListsDisplayModes) {
    TestWindow window(0, 0, 160, 120);
    cGraphicsLayer* layer = CreateDDrawOnly(window.Handle(), nullptr);
    ASSERT_NE(layer->GetDD(), nullptr);
    EXPECT_EQ(layer->GetDevice(), nullptr);
    EXPECT_EQ(layer->GetFrontBuffer(), nullptr);
    EXPECT_FALSE(layer->IsFullScreen());
    int modes = 0;
    layer->GetDD()->EnumDisplayModes(0, nullptr, &modes, CountMode);
    EXPECT_GT(modes, 0);
}

TEST_F(GraphicsLayerTest, FullScreen16BitFlipChain) {
    TestWindow window(0, 0, 800, 600, true);
    DebugCapture capture;
    cGraphicsLayer* layer = CreateGraphicsLayer(window.Handle(), true, 800, 600, kGfx16BitMode, AcceptAnyDevice, nullptr);
    EXPECT_TRUE(layer->IsFullScreen());
    EXPECT_FALSE(layer->Failed());
    EXPECT_EQ(gfxtest::SurfaceBits(layer->GetBackBuffer()), 16);
    const SIZE back = gfxtest::SurfaceSize(layer->GetBackBuffer());
    EXPECT_EQ(back.cx, 800);
    EXPECT_EQ(back.cy, 600);
    EXPECT_EQ(layer->ScreenRect().right, 800);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(DisplayBits(), 16u);
    layer->Clear(true, false, 0x0000FF00, 1.0f);
    layer->Flip(false);
    const uint32_t shown = ReadPixel(layer->GetFrontBuffer(), 400, 300);
    EXPECT_TRUE(ColourNear(shown, 0x00FF00, 8)) << Hex(shown);
    // The back buffer of the chain is drawn to again after the flip.
    layer->Clear(true, false, 0x00FF0000, 1.0f);
    layer->Flip(true);
    EXPECT_TRUE(ColourNear(ReadPixel(layer->GetFrontBuffer(), 10, 590), 0xFF0000, 8));
    gfxtest::HoldForScreenshot("full screen 800x600x16, red");
    DestroyGraphicsLayer();
    EXPECT_EQ(capture.Text(), "");
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);  // mode given back with the layer
}

TEST_F(GraphicsLayerTest, FullScreen32BitAtTheDesktopSize) {
    TestWindow window(0, 0, 1024, 768, true);
    cGraphicsLayer* layer = CreateGraphicsLayer(window.Handle(), true, 1024, 768, 0, AcceptAnyDevice, nullptr);
    EXPECT_EQ(gfxtest::SurfaceBits(layer->GetBackBuffer()), 32);
    layer->Clear(true, false, 0x00336699, 1.0f);
    layer->Flip(false);
    EXPECT_TRUE(ColourNear(ReadPixel(layer->GetFrontBuffer(), 1000, 700), 0x336699, 8));
}

TEST_F(GraphicsLayerTest, FullScreenModeFallsBackTo640x480) {
    TestWindow window(0, 0, 640, 480, true);
    DebugCapture capture;
    // No driver offers 1000 x 500: 16 bits fails as well, then 640 x 480 x 16 is set.
    cGraphicsLayer* layer = CreateGraphicsLayer(window.Handle(), true, 1000, 500, 0, AcceptAnyDevice, nullptr);
    EXPECT_NE(capture.Text().find("Inputted resolution failed, trying 640x480x16\n"), std::string::npos);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
    // The back buffer, the viewport and the rectangles are those of the mode that was set.
    EXPECT_FALSE(layer->Failed());
    EXPECT_EQ(gfxtest::SurfaceSize(layer->GetBackBuffer()).cx, 640);
    EXPECT_EQ(layer->ClientRect().right, 640);
    EXPECT_EQ(layer->ScreenRect().bottom, 480);
    D3DVIEWPORT7 viewport{};
    layer->GetDevice()->GetViewport(&viewport);
    EXPECT_EQ(viewport.dwWidth, 640u);
}
