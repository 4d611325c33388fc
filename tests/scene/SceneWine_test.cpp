// The flag scene on the real DirectDraw/Direct3D device under Wine: set-up, frames in a
// window and full screen, what the screen shows, the adapter record, the log, and the
// message a broken flag picture gives. Screenshots are written beside the test binary.
#include <gtest/gtest.h>

#include <windows.h>
#include <ddraw.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "core/Globals.h"
#include "core/SaverState.h"
#include "diag/Log.h"
#include "gfx/GraphicsLayer.h"
#include "saver/Saver.h"
#include "scene/FrameClock.h"
#include "scene/Flag.h"
#include "scene/Scene.h"
#include "scene/SceneGeometry.h"
#include "content/Picture.h"
#include "gfx/Texture.h"
#include "support/ScreenShot.h"
#include "support/WineTest.h"

namespace {

const char* const kFlagImageError = "Could not load flag image! Try re-installing the screensaver.";

std::string ShotFolder() { return wt::WindowsPath(SCENE_SHOT_DIR); }
std::string FlagPicturePath() { return wt::WindowsPath(SCENE_FLAG_DIR) + "Zephyl.gif"; }

using wt::GrabPresented;
using wt::Shot;

// Writes the shot beside the test binary, for looking at.
void SaveShot(const Shot& shot, const std::string& name) { wt::SaveBmp(shot, ShotFolder() + name); }

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Renders frames the way the main loop does for at least `ms` milliseconds and at least
// `minFrames` frames (a loaded machine needs long for the device's first drawing, when its
// shaders are built), but never more than a minute; returns the count.
int RenderFor(DWORD ms, int minFrames = 15) {
    ResetFrameClock();
    const DWORD start = GetTickCount();
    int frames = 0;
    while ((GetTickCount() - start < ms || frames < minFrames) && GetTickCount() - start < 60000) {
        PumpMessages();
        RenderFrame();
        ++frames;
        Sleep(5);
    }
    return frames;
}

LRESULT CALLBACK TestWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

class SceneWine : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "ZephylSceneTest";
        wc.hbrBackground = nullptr;  // as the saver's own class: the desktop stays visible
        RegisterClassA(&wc);
        wc.lpszClassName = "ZephylSceneTestLight";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
        RegisterClassA(&wc);
        ss = new SaverState();
        Paths.flagPicture = FlagPicturePath();
        DisplayModeChanged = false;
        RequestedMode = ScreenMode{};
        OriginalMode = ScreenMode{};
    }
    void TearDown() override {
        CleanUp();
        if (window) DestroyWindow(window);
        window = nullptr;
        hScrWindow = nullptr;
        delete ss;
        ss = nullptr;
        if (gLog) {
            delete gLog;
            gLog = nullptr;
        }
        ChangeDisplaySettingsA(nullptr, 0);
        PumpMessages();
    }

    // A window of the given client size at (x, y); popup and top-most for full screen.
    void MakeWindow(int x, int y, int w, int h, bool fullScreen, const char* className = "ZephylSceneTest") {
        window = CreateWindowExA(fullScreen ? WS_EX_TOPMOST : 0, className, "Zephyl Saver", WS_POPUP | WS_VISIBLE,
                                 x, y, w, h, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        hScrWindow = window;
        ss->Window = window;
        ScreenWidth = w;
        ScreenHeight = h;
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
        PumpMessages();
    }

    // Sets up a preview-style windowed scene of w x h at (x, y).
    bool StartWindowed(int x, int y, int w, int h) {
        RunMode = ModePreview;
        MakeWindow(x, y, w, h, false);
        if (!initStates(w, h)) return false;
        return initD3D(w, h);
    }

    // Sets up a full-screen scene of w x h for a run that asked for `requested` on the
    // 1024 x 768 desktop (another size: no fade-in).
    bool StartFullScreen(int w, int h, const ScreenMode& requested) {
        RunMode = ModeSaver;
        OriginalMode = ScreenMode{1024, 768, 32};
        RequestedMode = requested;
        DisplayModeChanged = true;
        MakeWindow(0, 0, w, h, true);
        return initStates(w, h) && initD3D(w, h);
    }

    HWND window = nullptr;
};

// Pixels of the flag are never pure black: the clear colour shows only where it is missing.
int BlackSamplesOnEdges(const Shot& s) {
    int black = 0;
    for (int i = 0; i <= 40; ++i) {
        const int x = (s.width - 1) * i / 40, y = (s.height - 1) * i / 40;
        const uint32_t samples[4] = {s.At(x, 0), s.At(x, s.height - 1), s.At(0, y), s.At(s.width - 1, y)};
        for (uint32_t p : samples)
            if (Shot::Sum(p) == 0) ++black;
    }
    return black;
}

// Mean brightness of a square of the shot.
double MeanBrightness(const Shot& s, int x0, int y0, int size) {
    double sum = 0;
    for (int y = y0; y < y0 + size; ++y)
        for (int x = x0; x < x0 + size; ++x) sum += Shot::Sum(s.At(x, y));
    return sum / (size * size * 3.0);
}

}  // namespace

TEST_F(SceneWine, WindowedFlagWavesAndFillsTheWindow) {
    ASSERT_TRUE(StartWindowed(100, 80, 640, 480));
    RenderFor(1500);
    const Shot first = GrabPresented(640, 480);
    SaveShot(first, "scene-windowed-1.bmp");
    RenderFor(400);
    const Shot second = GrabPresented(640, 480);
    SaveShot(second, "scene-windowed-2.bmp");
    ASSERT_EQ(first.width, 640);
    // The flag covers the whole window: no black along any edge.
    EXPECT_EQ(BlackSamplesOnEdges(first), 0);
    // The picture's night blue dominates the upper middle; the gold sun is in it somewhere.
    int gold = 0, night = 0;
    for (int y = 0; y < 480; y += 4)
        for (int x = 0; x < 640; x += 4) {
            const uint32_t p = first.At(x, y);
            if (Shot::R(p) > 120 && Shot::G(p) > 80 && Shot::B(p) < 90) ++gold;
            if (Shot::B(p) > Shot::R(p) + 20) ++night;
        }
    EXPECT_GT(gold, 100) << "no gold sun on screen";
    EXPECT_GT(night, 5000) << "no blue field on screen";
    // The wave moves: two frames 400 ms apart differ clearly.
    int changed = 0;
    for (size_t i = 0; i < first.pixels.size(); i += 7)
        if (std::abs(Shot::Sum(first.pixels[i]) - Shot::Sum(second.pixels[i])) > 30) ++changed;
    EXPECT_GT(changed, 1000);
    // The frame clock measured the run.
    EXPECT_NE(AverageFrameRate(), 100.0f);
    EXPECT_GT(AverageFrameRate(), 1.0f);
}

TEST_F(SceneWine, FullScreenAt800x600OverfillsTheScreen) {
    RunMode = ModeSaver;
    // A desktop that stays as it is: the scene fades in from a copy of it.
    OriginalMode = ScreenMode{1024, 768, 32};
    RequestedMode = ScreenMode{800, 600, 32};
    DisplayModeChanged = true;
    HDC screen = GetDC(nullptr);
    const int desktopWidth = GetDeviceCaps(screen, HORZRES);
    ReleaseDC(nullptr, screen);
    MakeWindow(0, 0, 800, 600, true);
    ASSERT_TRUE(initStates(800, 600));
    ASSERT_TRUE(initD3D(800, 600));
    // The mode changed size: the desktop is not what the user saw, so nothing is faded.
    ASSERT_NE(desktopWidth, 0);
    RenderFor(1200);
    const Shot shot = GrabPresented(800, 600);
    SaveShot(shot, "scene-fullscreen-800x600.bmp");
    EXPECT_EQ(BlackSamplesOnEdges(shot), 0);
    EXPECT_TRUE(Graphics()->IsFullScreen());
}

TEST_F(SceneWine, SixteenBitDisplayGetsSixteenBitFlag) {
    // The saver's default: the display switched to 800 x 600 x 16 before the scene starts.
    DEVMODEA mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmPelsWidth = 800;
    mode.dmPelsHeight = 600;
    mode.dmBitsPerPel = 16;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    ASSERT_TRUE(StartFullScreen(800, 600, ScreenMode{800, 600, 16}));
    DDPIXELFORMAT format = {};
    format.dwSize = sizeof(format);
    ASSERT_TRUE(SUCCEEDED(Graphics()->GetBackBuffer()->GetPixelFormat(&format)));
    EXPECT_EQ(format.dwRGBBitCount, 16u);
    RenderFor(800);
    const Shot shot = GrabPresented(800, 600);
    SaveShot(shot, "scene-fullscreen-16bit.bmp");
    EXPECT_EQ(BlackSamplesOnEdges(shot), 0);
    int gold = 0;
    for (int y = 0; y < 600; y += 4)
        for (int x = 0; x < 800; x += 4) {
            const uint32_t p = shot.At(x, y);
            if (Shot::R(p) > 120 && Shot::G(p) > 80 && Shot::B(p) < 90) ++gold;
        }
    EXPECT_GT(gold, 100);
}

TEST_F(SceneWine, FadesInFromTheDesktopWhenTheModeKeepsItsSize) {
    RunMode = ModeSaver;
    HDC screen = GetDC(nullptr);
    const int w = GetDeviceCaps(screen, HORZRES), h = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(nullptr, screen);
    OriginalMode = ScreenMode{w, h, 32};
    RequestedMode = ScreenMode{w, h, 32};
    DisplayModeChanged = false;
    // Under Wine the screen behind a window that paints nothing reads as black, where Windows
    // keeps showing the desktop; a light grey window stands in for the desktop the user saw.
    MakeWindow(0, 0, w, h, true, "ZephylSceneTestLight");
    Sleep(200);
    PumpMessages();
    ASSERT_TRUE(initStates(w, h));
    ASSERT_TRUE(initD3D(w, h));
    // The first two frames do not count, whatever their length: the flag is invisible.
    ResetFrameClock();
    RenderFrame();
    EXPECT_FALSE(FadeInFromDesktop(5000));
    const Shot early = GrabPresented(w, h);
    SaveShot(early, "scene-fade-early.bmp");
    // 1250 ms counted: the next frame is drawn with alpha 0.5.
    EXPECT_FALSE(FadeInFromDesktop(1250));
    EXPECT_FALSE(FadeInFromDesktop(0));
    const Shot middle = GrabPresented(w, h);
    SaveShot(middle, "scene-fade-middle.bmp");
    // 2750 ms: alpha 1.1 is above 1.05, so the frame after that ends the fade-in.
    EXPECT_FALSE(FadeInFromDesktop(1500));
    EXPECT_TRUE(FadeInFromDesktop(0));
    RenderFor(500);
    const Shot late = GrabPresented(w, h);
    SaveShot(late, "scene-fade-done.bmp");
    // Grey at first, the flag blended over it half-way, the flag alone at the end.
    const double e = MeanBrightness(early, w / 8, h / 2, 40);
    const double m = MeanBrightness(middle, w / 8, h / 2, 40);
    const double l = MeanBrightness(late, w / 8, h / 2, 40);
    EXPECT_GT(e, 170.0);
    EXPECT_LT(m, e - 20);
    EXPECT_GT(m, l + 20);
    EXPECT_EQ(BlackSamplesOnEdges(late), 0);
}

TEST_F(SceneWine, LowQualityScalesThePicture) {
    ss->Quality = 1024;
    ASSERT_TRUE(StartWindowed(0, 0, 320, 240));
    RenderFor(1000);
    const Shot shot = GrabPresented(320, 240);
    SaveShot(shot, "scene-low-quality.bmp");
    EXPECT_EQ(BlackSamplesOnEdges(shot), 0);
}

TEST_F(SceneWine, NonsenseQualityStillShowsTheFlag) {
    for (int quality : {0, -5, 0x7FFFFFFF}) {
        ss->Quality = quality;
        ASSERT_TRUE(StartWindowed(0, 0, 200, 150)) << quality;
        RenderFor(300);
        const Shot shot = GrabPresented(200, 150);
        SaveShot(shot, "scene-quality-" + std::to_string(quality) + ".bmp");
        EXPECT_GT(Shot::Sum(shot.At(100, 75)), 0) << quality;
        EXPECT_EQ(BlackSamplesOnEdges(shot), 0) << quality;
        CleanUp();
        DestroyWindow(window);
        window = nullptr;
    }
}

TEST_F(SceneWine, RepeatedSetUpLooksTheSame) {
    double brightness[3] = {};
    for (int run = 0; run < 3; ++run) {
        ASSERT_TRUE(StartWindowed(0, 0, 200, 150)) << run;
        RenderFor(300);
        const Shot shot = GrabPresented(200, 150);
        SaveShot(shot, "scene-run-" + std::to_string(run) + ".bmp");
        brightness[run] = MeanBrightness(shot, 0, 0, 150);
        CleanUp();
        DestroyWindow(window);
        window = nullptr;
    }
    EXPECT_NEAR(brightness[1], brightness[0], 12.0);
    EXPECT_NEAR(brightness[2], brightness[0], 12.0);
}

TEST_F(SceneWine, AdapterIdentifierIsRecordedOnlyWhenItChanges) {
    const std::string key = wt::kProductKey;
    wt::DeleteValue(HKEY_LOCAL_MACHINE, key, "VideoGUID");
    ASSERT_TRUE(StartWindowed(0, 0, 160, 120));
    const wt::RegValue written = wt::ReadValue(HKEY_LOCAL_MACHINE, key, "VideoGUID");
    ASSERT_TRUE(written.exists);
    EXPECT_EQ(written.type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(written.data.size(), 16u);
    CleanUp();
    DestroyWindow(window);
    window = nullptr;

    // The same adapter again: nothing is written (the deleted value stays deleted).
    wt::DeleteValue(HKEY_LOCAL_MACHINE, key, "VideoGUID");
    std::memcpy(ss->VideoGUID, written.data.data(), 16);
    ASSERT_TRUE(StartWindowed(0, 0, 160, 120));
    EXPECT_FALSE(wt::ReadValue(HKEY_LOCAL_MACHINE, key, "VideoGUID").exists);
}

TEST_F(SceneWine, LogTellsTheSetUpAndTearDown) {
    const std::string logPath = ShotFolder() + "scene-log.txt";
    gLog = new cLog(logPath);
    gLog->Start();
    ASSERT_TRUE(StartWindowed(0, 0, 160, 120));
    RenderFor(100);
    CleanUp();
    delete gLog;
    gLog = nullptr;
    const std::string text = wt::ReadFile(logPath);
    // The largest texture is the device's own figure: a positive number, whatever it is.
    std::smatch size;
    ASSERT_TRUE(std::regex_search(text, size, std::regex("Max texture size: (\\d+)\r?\n"))) << text;
    EXPECT_GT(std::stol(size[1]), 0) << size[0];
    const char* expected[] = {"Video card: ", " rev: ", "Max texture size: ", "Setting flag",
                              "Successfully exiting initStates()", "Enter function: initD3D()",
                              "Successfully exiting initD3D()", "Exit function: initD3D()",
                              "Enter function: CleanUp()", "Setting current texture to NULL",
                              "Deleting graphics object", "Successfully exiting CleanUp()",
                              "Exit function: CleanUp()"};
    size_t at = 0;
    for (const char* line : expected) {
        const size_t found = text.find(line, at);
        EXPECT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << text;
        if (found != std::string::npos) at = found;
    }
}

TEST_F(SceneWine, MissingFlagPictureTellsTheUser) {
    Paths.flagPicture = ShotFolder() + "no-such-flag.gif";
    RunMode = ModePreview;
    MakeWindow(0, 0, 160, 120, false);
    wt::BoxWatcher watcher;
    watcher.Start();
    EXPECT_FALSE(initStates(160, 120));
    watcher.Join();
    ASSERT_TRUE(watcher.seen);
    EXPECT_EQ(watcher.info.caption, "ERROR");
    EXPECT_EQ(watcher.info.text, kFlagImageError);
    EXPECT_TRUE(watcher.info.hasIcon);
    CleanUp();
    EXPECT_EQ(Graphics(), nullptr);
}

TEST_F(SceneWine, CorruptFlagPictureTellsTheUser) {
    const std::string path = ShotFolder() + "corrupt-Zephyl.gif";
    ASSERT_TRUE(wt::WriteFile(path, std::string("GIF89a\x10\x00\x10\x00garbage that is no picture", 36)));
    Paths.flagPicture = path;
    RunMode = ModePreview;
    MakeWindow(0, 0, 160, 120, false);
    wt::BoxWatcher watcher;
    watcher.Start();
    EXPECT_FALSE(initStates(160, 120));
    watcher.Join();
    ASSERT_TRUE(watcher.seen);
    EXPECT_EQ(watcher.info.text, kFlagImageError);
}

namespace {

DWORD RenderStateOf(D3DRENDERSTATETYPE state) {
    DWORD value = 0xDEADBEEF;
    Graphics()->GetDevice()->GetRenderState(state, &value);
    return value;
}
DWORD StageStateOf(D3DTEXTURESTAGESTATETYPE state) {
    DWORD value = 0xDEADBEEF;
    Graphics()->GetDevice()->GetTextureStageState(0, state, &value);
    return value;
}
struct RenderStateCase {
    const char* name;
    D3DRENDERSTATETYPE state;
    DWORD value;
};
void ExpectRenderStates(const std::vector<RenderStateCase>& cases, const char* when) {
    for (const RenderStateCase& c : cases) EXPECT_EQ(RenderStateOf(c.state), c.value) << c.name << " " << when;
}
void ExpectMatrix(D3DTRANSFORMSTATETYPE which, const Matrix4& expected, const char* what) {
    D3DMATRIX got;
    std::memset(&got, 0, sizeof got);
    ASSERT_TRUE(SUCCEEDED(Graphics()->GetDevice()->GetTransform(which, &got))) << what;
    const float* g = &got._11;
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(g[i], expected.m[i / 4][i % 4], 1e-5f) << what << " element " << i;
}
void ExpectColour(const D3DCOLORVALUE& c, float r, float g, float b, float a, const char* what) {
    EXPECT_FLOAT_EQ(c.r, r) << what;
    EXPECT_FLOAT_EQ(c.g, g) << what;
    EXPECT_FLOAT_EQ(c.b, b) << what;
    EXPECT_FLOAT_EQ(c.a, a) << what;
}

// The states every frame starts from, as initD3D leaves them.
const std::vector<RenderStateCase> kFixedStates = {
    {"CULLMODE", D3DRENDERSTATE_CULLMODE, D3DCULL_CW},
    {"LIGHTING", D3DRENDERSTATE_LIGHTING, TRUE},
    {"DITHERENABLE", D3DRENDERSTATE_DITHERENABLE, TRUE},
    {"SPECULARENABLE", D3DRENDERSTATE_SPECULARENABLE, FALSE},
    {"SHADEMODE", D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
    {"ZENABLE", D3DRENDERSTATE_ZENABLE, FALSE},
    {"COLORVERTEX", D3DRENDERSTATE_COLORVERTEX, TRUE},
    {"DIFFUSEMATERIALSOURCE", D3DRENDERSTATE_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL},
    {"AMBIENTMATERIALSOURCE", D3DRENDERSTATE_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
    {"SPECULARMATERIALSOURCE", D3DRENDERSTATE_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL},
};

SceneQuoteHooks QuietQuoteShow() {
    SceneQuoteHooks hooks;
    hooks.setUp = [](cTexture*) { return true; };
    return hooks;
}

}  // namespace

// What the pixels cannot prove: the device holds the states, light, material and
// transforms the scene means to set, after initD3D and after a frame, with and without the
// quote show.
TEST_F(SceneWine, DeviceHoldsTheDescribedStates) {
    ASSERT_TRUE(StartWindowed(0, 0, 320, 200));
    ExpectRenderStates(kFixedStates, "after initD3D");
    ExpectRenderStates({{"AMBIENT", D3DRENDERSTATE_AMBIENT, 0}, {"ALPHABLENDENABLE", D3DRENDERSTATE_ALPHABLENDENABLE, FALSE}},
                       "after initD3D");
    const struct {
        const char* name;
        D3DTEXTURESTAGESTATETYPE state;
        DWORD value;
    } stages[] = {{"MIPFILTER", D3DTSS_MIPFILTER, D3DTFP_LINEAR}, {"MINFILTER", D3DTSS_MINFILTER, D3DTFN_LINEAR},
                  {"MAGFILTER", D3DTSS_MAGFILTER, D3DTFG_LINEAR}, {"ADDRESSU", D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP},
                  {"ADDRESSV", D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP}, {"ALPHAOP", D3DTSS_ALPHAOP, D3DTOP_MODULATE},
                  {"ALPHAARG1", D3DTSS_ALPHAARG1, D3DTA_DIFFUSE}};
    for (const auto& c : stages) EXPECT_EQ(StageStateOf(c.state), c.value) << c.name;

    LPDIRECT3DDEVICE7 device = Graphics()->GetDevice();
    D3DLIGHT7 light;
    std::memset(&light, 0xCD, sizeof light);
    ASSERT_TRUE(SUCCEEDED(device->GetLight(0, &light)));
    EXPECT_EQ(light.dltType, D3DLIGHT_DIRECTIONAL);
    ExpectColour(light.dcvDiffuse, 0.9f, 0.9f, 0.9f, 0.0f, "light diffuse");
    ExpectColour(light.dcvSpecular, 0, 0, 0, 0, "light specular");
    ExpectColour(light.dcvAmbient, 0, 0, 0, 0, "light ambient");
    EXPECT_NEAR(light.dvDirection.x, -0.5198f, 1e-4f);
    EXPECT_NEAR(light.dvDirection.y, -0.5198f, 1e-4f);
    EXPECT_NEAR(light.dvDirection.z, 0.6780f, 1e-4f);
    BOOL enabled = FALSE;
    ASSERT_TRUE(SUCCEEDED(device->GetLightEnable(0, &enabled)));
    EXPECT_TRUE(enabled);
    ExpectMatrix(D3DTRANSFORMSTATE_VIEW, kIdentityMatrix, "view");
    ExpectMatrix(D3DTRANSFORMSTATE_PROJECTION, scene::ProjectionFor(320, 200), "projection");

    // A frame of the flag alone.
    RenderFor(0, 3);
    ExpectRenderStates(kFixedStates, "after a flag frame");
    ExpectRenderStates({{"AMBIENT", D3DRENDERSTATE_AMBIENT, scene::kFlagAmbient},
                        {"ALPHABLENDENABLE", D3DRENDERSTATE_ALPHABLENDENABLE, FALSE}},
                       "after a flag frame");
    D3DMATERIAL7 material;
    std::memset(&material, 0xCD, sizeof material);
    ASSERT_TRUE(SUCCEEDED(device->GetMaterial(&material)));
    ExpectColour(material.diffuse, 1, 1, 1, 1, "material diffuse");
    ExpectColour(material.ambient, 1, 1, 1, 1, "material ambient");
    ExpectColour(material.specular, 0, 0, 0, 0, "material specular");
    ExpectColour(material.emissive, 0, 0, 0, 0, "material emissive");
    EXPECT_EQ(material.power, 0.0f);
    ASSERT_TRUE(SUCCEEDED(device->GetLightEnable(0, &enabled)));
    EXPECT_TRUE(enabled);
    ExpectMatrix(D3DTRANSFORMSTATE_WORLD, scene::FlagWorldMatrix(), "world after a flag frame");
    CleanUp();
    DestroyWindow(window);
    window = nullptr;

    // With the quote show, its states stand at the end of the frame.
    ss->ShowQuotes = 1;
    Paths.shadow5 = Paths.shadow7 = FlagPicturePath();
    SetSceneQuoteHooks(QuietQuoteShow());
    ASSERT_TRUE(StartWindowed(0, 0, 320, 200));
    RenderFor(0, 3);
    SetSceneQuoteHooks(SceneQuoteHooks());
    device = Graphics()->GetDevice();
    ExpectRenderStates(kFixedStates, "after a quote frame");
    ExpectRenderStates({{"AMBIENT", D3DRENDERSTATE_AMBIENT, scene::kQuoteAmbient},
                        {"ALPHABLENDENABLE", D3DRENDERSTATE_ALPHABLENDENABLE, TRUE},
                        {"SRCBLEND", D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA},
                        {"DESTBLEND", D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA},
                        {"ZWRITEENABLE", D3DRENDERSTATE_ZWRITEENABLE, FALSE}},
                       "after a quote frame");
    EXPECT_EQ(StageStateOf(D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_MODULATE));
    ASSERT_TRUE(SUCCEEDED(device->GetLightEnable(0, &enabled)));
    EXPECT_FALSE(enabled);
    ExpectMatrix(D3DTRANSFORMSTATE_WORLD, kIdentityMatrix, "world after a quote frame");
}

// After the 640 x 480 fall-back of the display mode the scene draws at 640 x 480, and its
// projection is that screen's, not the one of the size asked for.
TEST_F(SceneWine, ProjectionFollowsTheModeFallBack) {
    ASSERT_TRUE(StartFullScreen(1000, 500, ScreenMode{1000, 500, 32}));
    ASSERT_EQ(Graphics()->Width(), 640);
    ASSERT_EQ(Graphics()->Height(), 480);
    ExpectMatrix(D3DTRANSFORMSTATE_PROJECTION, scene::ProjectionFor(640, 480), "projection");
    RenderFor(800);
    const Shot shot = GrabPresented(640, 480);
    SaveShot(shot, "scene-fallback-640x480.bmp");
    EXPECT_EQ(BlackSamplesOnEdges(shot), 0);
}

// A back buffer of 24 or 8 bits (a preview on such a desktop) has no texture format of its
// own: the flag's cells get textures all the same, none is left white.
TEST_F(SceneWine, FlagTilesForDepthsWithoutTheirOwnTextureFormat) {
    ASSERT_TRUE(StartWindowed(0, 0, 160, 120));
    Picture picture;
    ASSERT_TRUE(picture.LoadFromFile(FlagPicturePath().c_str()));
    for (int depth : {24, 8}) {
        cFlag flag;
        // Scaled to 256 x 256: 16 cells keep the test short.
        EXPECT_TRUE(SplitImageIntoTiles(picture, flag, 16, 2048, depth, false, true, 256)) << depth;
        ASSERT_GT(flag.Cols() * flag.Rows(), 0) << depth;
        EXPECT_TRUE(flag.AllTilesLoaded()) << depth;
        int missing = 0;
        for (const cFlagCell& cell : flag.Cells()) missing += cell.texture == nullptr;
        EXPECT_EQ(missing, 0) << depth;
        std::unique_ptr<cTexture> whole(MakeTextureFromPicture(depth, picture, 1));
        ASSERT_NE(whole, nullptr) << depth;
        EXPECT_EQ(whole->Width(), picture.Width()) << depth;
    }
}

// Wine keeps a lost surface's content; a real display driver does not. Standing in for
// that: every texture and off-screen surface is filled black and the flag's culling turned
// round while the surfaces are lost, so that only what the restore puts back can show.
HRESULT CALLBACK WipeSurface(LPDIRECTDRAWSURFACE7 surface, LPDDSURFACEDESC2 desc, LPVOID count) {
    if (desc->ddsCaps.dwCaps & (DDSCAPS_TEXTURE | DDSCAPS_OFFSCREENPLAIN)) {
        DDBLTFX fill = {};
        fill.dwSize = sizeof fill;
        fill.dwFillColor = 0;
        surface->Restore();
        if (SUCCEEDED(surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill)))
            ++*static_cast<int*>(count);
    }
    surface->Release();
    return DDENUMRET_OK;
}

TEST_F(SceneWine, LostSurfacesComeBackWithTheirTexturesAndStates) {
    DEVMODEA mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmPelsWidth = 800;
    mode.dmPelsHeight = 600;
    mode.dmBitsPerPel = 16;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    ASSERT_TRUE(StartFullScreen(800, 600, ScreenMode{800, 600, 16}));
    RenderFor(800);
    EXPECT_FALSE(SceneSurfacesLost());

    // Another mode and back to the desktop's: the next frame meets lost surfaces.
    DEVMODEA small = {};
    small.dmSize = sizeof(small);
    small.dmPelsWidth = 640;
    small.dmPelsHeight = 480;
    small.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    ASSERT_EQ(ChangeDisplaySettingsA(&small, 0), DISP_CHANGE_SUCCESSFUL);
    ASSERT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    PumpMessages();
    RenderFor(300, 3);
    ASSERT_TRUE(SceneSurfacesLost());

    int wiped = 0;
    Graphics()->GetDD()->EnumSurfaces(DDENUMSURFACES_ALL | DDENUMSURFACES_DOESEXIST, nullptr, &wiped, WipeSurface);
    EXPECT_GT(wiped, 10) << "the flag's tiles";
    Graphics()->GetDevice()->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);

    bool restored = false;
    for (int i = 0; i < 40 && !restored; ++i) {
        PumpMessages();
        restored = RestoreSceneSurfaces();
        if (!restored) Sleep(250);
    }
    ASSERT_TRUE(restored);
    EXPECT_FALSE(SceneSurfacesLost());
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 800) << "the run's mode is back";
    ReleaseDC(nullptr, screen);
    RenderFor(800);
    EXPECT_FALSE(SceneSurfacesLost());
    const Shot shot = GrabPresented(800, 600);
    SaveShot(shot, "scene-restored.bmp");
    EXPECT_EQ(BlackSamplesOnEdges(shot), 0);
    int gold = 0;
    for (int y = 0; y < 600; y += 4)
        for (int x = 0; x < 800; x += 4) {
            const uint32_t p = shot.At(x, y);
            if (Shot::R(p) > 120 && Shot::G(p) > 80 && Shot::B(p) < 90) ++gold;
        }
    EXPECT_GT(gold, 100) << "the flag's textures were not filled again";
}

TEST(FrameClockWine, MeasuresTheTimeBetweenFrames) {
    FrameStepFilter().SetLength(20);  // an empty history, as at the start of a run
    ResetFrameClock();
    Sleep(40);
    const double first = MeasureFrame();
    EXPECT_GE(first, 35.0);
    EXPECT_LT(first, 1000.0);
    EXPECT_DOUBLE_EQ(FrameMilliseconds(), first);
    // The first step is half the frame's own step (16.666 ms per unit).
    EXPECT_NEAR(SmoothedStep(), first / 16.666 * 0.5, 1e-4);
    // Without a pause the next frame is short; the step is its half plus a quarter of the first.
    const double second = MeasureFrame();
    EXPECT_LT(second, first);
    EXPECT_NEAR(SmoothedStep(), (second * 0.5 + first * 0.25) / 16.666, 1e-4);
}
