// The flag scene of a saver run. Owns, from initStates to CleanUp: the graphics layer, the
// flag, the shadow texture, the desktop copy and (through its hooks) the quote show.
#include "scene/Scene.h"

#include <windows.h>
#include <d3d.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <ios>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/Globals.h"
#include "core/SaverState.h"
#include "content/Picture.h"
#include "diag/Log.h"
#include "gfx/GraphicsLayer.h"
#include "gfx/Texture.h"
#include "core/RunWindow.h"
#include "scene/Flag.h"
#include "scene/FrameClock.h"
#include "scene/FrameRate.h"
#include "scene/SceneGeometry.h"

namespace {

const char* const kFlagImageError = "Could not load flag image! Try re-installing the screensaver.";
const char* const kShadowImageError = "Could not load shadow image! Try re-installing the screensaver.";
const char* const kErrorCaption = "ERROR";

SceneQuoteHooks gQuoteHooks;
cFlag* gFlag = nullptr;
cTexture* gShadow = nullptr;
cTexture* gDesktop = nullptr;
bool gQuoteShowUp = false;
int gColourDepth = 16;
int gMaxTextureSize = 0;
int gDrawWidth = 0, gDrawHeight = 0;
bool gFadeInEnabled = false;
bool gFadeInDone = false;
scene::FadeInClock gFade;
D3DMATERIAL7 gMaterial = {};
bool gFlagStatesSet = false;  // the device holds the flag's transform, material, light, blending

// The flag's world matrix never changes: it is worked out once.
const Matrix4& FlagWorld() {
    static const Matrix4 world = scene::FlagWorldMatrix();
    return world;
}

bool QuotesOn() { return ss && ss->ShowQuotes != 0 && gQuoteShowUp; }

void ShowSceneError(const char* text) { ShowSetUpMessage(nullptr, kErrorCaption, text, MB_ICONERROR); }

LPDIRECT3DDEVICE7 Device() {
    cGraphicsLayer* g = Graphics();
    return g ? g->GetDevice() : nullptr;
}

int DisplayBitsPerPixel() {
    HDC screen = GetDC(nullptr);
    const int bits = screen ? GetDeviceCaps(screen, BITSPIXEL) : 32;
    if (screen) ReleaseDC(nullptr, screen);
    return bits;
}

// Reports the adapter and remembers a new one in "VideoGUID" (written only when it changed).
void NoteVideoAdapter(cGraphicsLayer& g) {
    DDDEVICEIDENTIFIER2 id;
    std::memset(&id, 0, sizeof(id));
    if (!g.GetDD() || FAILED(g.GetDD()->GetDeviceIdentifier(&id, 0))) {
        ZLOG(LogError, "Couldn't get the video card type");
        return;
    }
    id.szDescription[sizeof(id.szDescription) - 1] = 0;
    ZLOG(LogInfo, "Video card: " << id.szDescription << " rev: " << id.dwRevision);
    static_assert(sizeof(id.guidDeviceIdentifier) == 16, "a GUID is 16 bytes");
    if (ss && std::memcmp(&id.guidDeviceIdentifier, ss->VideoGUID, 16) != 0) {
        RememberVideoGuid(kProductKey, &id.guidDeviceIdentifier);
        std::memcpy(ss->VideoGUID, &id.guidDeviceIdentifier, 16);
    }
}

int BackBufferDepth(cGraphicsLayer& g) {
    LPDIRECTDRAWSURFACE7 back = g.GetBackBuffer();
    if (!back) return 16;
    DDPIXELFORMAT format;
    std::memset(&format, 0, sizeof(format));
    format.dwSize = sizeof(format);
    if (FAILED(back->GetPixelFormat(&format))) return 16;
    return static_cast<int>(format.dwRGBBitCount);
}

// The quote show's part of the set-up: its content, the shadow picture, the show itself.
bool SetUpQuoteShow() {
    if (!gQuoteHooks.setUp) {
        ZLOG(LogWarning, "Quotations are on but this build has no quote show");
        return true;
    }
    if (gQuoteHooks.openContent && !gQuoteHooks.openContent()) return false;
    { cTexture formats; }  // fills the texture format list
    const bool deep = gQuoteHooks.textureDepth ? gQuoteHooks.textureDepth() == 32 : HasRGBFormat(32) && HasAlphaFormat();
    const std::string& path = deep ? Paths.shadow5 : Paths.shadow7;
    const int depth = deep ? 32 : 16;
    ZLOG(LogInfo, "Loading shadow texture");
    Picture shadow;
    if (!shadow.LoadFromFile(path.c_str())) {
        ZLOG(LogError, kShadowImageError);
        ShowSceneError(kShadowImageError);
        return false;
    }
    gShadow = MakeTextureFromPicture(depth, shadow, 1);
    ZLOG(LogInfo, "Setting up quote show");
    gQuoteShowUp = true;
    return gQuoteHooks.setUp(gShadow);
}

bool LoadFlag() {
    ZLOG(LogInfo, "Setting flag");
    gFlag = new cFlag();
    Picture picture;
    if (!picture.LoadFromFile(Paths.flagPicture.c_str())) {
        ZLOG(LogError, kFlagImageError);
        ShowSceneError(kFlagImageError);
        return false;
    }
    gFlag->SetSize(scene::kFlagSize);
    gFlag->SetAspect(scene::kFlagAspectW, scene::kFlagAspectH);
    // The settings store keeps "Quality" as found; a value that is not a size at all
    // shows the flag at the default quality rather than no flag.
    const int kDefaultQuality = 2048;
    const int quality = ss && ss->Quality > 0 ? ss->Quality : kDefaultQuality;
    // A flag with cells left without their texture would show white cells: that is no flag.
    if (!SplitImageIntoTiles(picture, *gFlag, quality <= 1024 ? 8 : 16, gMaxTextureSize, gColourDepth, false,
                             true, quality)) {
        ZLOG(LogError, "Could not make every tile of the flag");
        ZLOG(LogError, kFlagImageError);
        ShowSceneError(kFlagImageError);
        return false;
    }
    ZLOG(LogInfo, "Successfully exiting initStates()");
    picture.Release();
    return true;
}

void SetRenderState(LPDIRECT3DDEVICE7 device, D3DRENDERSTATETYPE state, DWORD value) {
    device->SetRenderState(state, value);
}
void SetStageState(LPDIRECT3DDEVICE7 device, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    device->SetTextureStageState(0, state, value);
}

// The flag's transform, light and ambient for the fade-in frames.
void DrawFlagLit(LPDIRECT3DDEVICE7 device) {
    Graphics()->SetWorldMatrix(FlagWorld());
    device->LightEnable(0, TRUE);
    SetRenderState(device, D3DRENDERSTATE_AMBIENT, scene::kFlagAmbient);
}

}  // namespace

void SetSceneQuoteHooks(const SceneQuoteHooks& hooks) { gQuoteHooks = hooks; }

bool initStates(int width, int height) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    gDrawWidth = width;
    gDrawHeight = height;
    gFadeInEnabled = gFadeInDone = false;
    gFade = scene::FadeInClock();
    try {
        HWND window = ss && ss->Window ? ss->Window : hScrWindow;
        const uint32_t flags = DisplayBitsPerPixel() == 16 ? kGfx16BitMode : 0;
        CreateGraphicsLayer(window, RunMode != ModePreview, width, height, flags, AcceptAnyDevice, nullptr);
    } catch (const cGameError& error) {
        ZLOG(LogCritical, error.GetText());
        return false;
    }
    cGraphicsLayer* g = Graphics();
    if (!g || g->Failed() || !g->GetDevice()) {
        ZLOG(LogCritical, "Error creating Direct3D");
        return false;
    }
    // The layer may have fallen back to 640 x 480: the scene draws at the size it got.
    if (g->Width() > 0 && g->Height() > 0) {
        gDrawWidth = g->Width();
        gDrawHeight = g->Height();
    }
    // Texture creation is the other thrower; a failure there ends the set-up the same way.
    try {
        NoteVideoAdapter(*g);
        const D3DDEVICEDESC7& desc = g->GetDeviceDescription();
        gMaxTextureSize = static_cast<int>(std::min(desc.dwMaxTextureWidth, desc.dwMaxTextureHeight));
        ZLOG(LogInfo, "Max texture size: " << gMaxTextureSize);
        gColourDepth = BackBufferDepth(*g);
        FrameStepFilter().SetLength(scene::kStepFilterLength);
        if (ss && ss->ShowQuotes && !SetUpQuoteShow()) return false;
        return LoadFlag();
    } catch (const cGameError& error) {
        ZLOG(LogCritical, error.GetText());
        return false;
    }
}

namespace {

// Projection, fixed render states, texture stage, view and light: everything initD3D gives
// the device, set again after the surfaces come back.
void SetSceneStates(cGraphicsLayer& g, LPDIRECT3DDEVICE7 device) {
    g.SetProjectionMatrix(scene::ProjectionFor(gDrawWidth, gDrawHeight));

    SetRenderState(device, D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
    SetRenderState(device, D3DRENDERSTATE_LIGHTING, TRUE);
    SetRenderState(device, D3DRENDERSTATE_DITHERENABLE, TRUE);
    SetRenderState(device, D3DRENDERSTATE_SPECULARENABLE, FALSE);
    SetRenderState(device, D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    SetRenderState(device, D3DRENDERSTATE_ZENABLE, FALSE);
    SetRenderState(device, D3DRENDERSTATE_AMBIENT, 0);
    SetRenderState(device, D3DRENDERSTATE_COLORVERTEX, TRUE);
    SetRenderState(device, D3DRENDERSTATE_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    SetRenderState(device, D3DRENDERSTATE_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    SetRenderState(device, D3DRENDERSTATE_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
    SetRenderState(device, D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);

    SetStageState(device, D3DTSS_MIPFILTER, D3DTFP_LINEAR);
    SetStageState(device, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    SetStageState(device, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    SetStageState(device, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    SetStageState(device, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    SetStageState(device, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    SetStageState(device, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);

    g.SetViewMatrix(kIdentityMatrix);

    D3DLIGHT7 light;
    std::memset(&light, 0, sizeof(light));
    light.dltType = D3DLIGHT_DIRECTIONAL;
    light.dcvDiffuse.r = light.dcvDiffuse.g = light.dcvDiffuse.b = scene::kLightDiffuse;
    float direction[3];
    scene::LightDirection(direction);
    light.dvDirection.x = direction[0];
    light.dvDirection.y = direction[1];
    light.dvDirection.z = direction[2];
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    gFlagStatesSet = false;
}

}  // namespace

bool initD3D(int width, int height) {
    ZLOG_FUNCTION("initD3D");
    cGraphicsLayer* g = Graphics();
    LPDIRECT3DDEVICE7 device = Device();
    if (g && device) {
        // The size the layer really drew at (after a 640 x 480 fall-back it differs from
        // the size asked for).
        if (gDrawWidth <= 0 || gDrawHeight <= 0) {
            gDrawWidth = width;
            gDrawHeight = height;
        }
        SetSceneStates(*g, device);
    }
    if (ss && ss->ShowQuotes && gQuoteHooks.freeBundleData) gQuoteHooks.freeBundleData();

    gFadeInEnabled = g && device &&
                     scene::ShouldFadeIn(DisplayModeChanged, RequestedMode.width, RequestedMode.height,
                                         OriginalMode.width, OriginalMode.height, RunMode == ModePreview);
    if (gFadeInEnabled) {
        // A desktop that cannot be copied only costs the fade-in, never the run.
        try {
            gFadeInEnabled = GrabDesktop();
        } catch (const cGameError& error) {
            ZLOG(LogError, error.GetText());
            gFadeInEnabled = false;
        }
        if (!gFadeInEnabled) {
            delete gDesktop;
            gDesktop = nullptr;
        }
    }
    ZLOG(LogInfo, "Successfully exiting initD3D()");
    ZLOG_RETURN(true);
}

bool GrabDesktop() {
    delete gDesktop;
    gDesktop = nullptr;
    if (gDrawWidth <= 0 || gDrawHeight <= 0) return false;
    // The screen's context goes back also when the texture creation throws.
    struct ScreenDC {
        HDC dc = GetDC(nullptr);
        ~ScreenDC() {
            if (dc) ReleaseDC(nullptr, dc);
        }
    } screen;
    if (!screen.dc) return false;
    std::unique_ptr<cTexture> copy(new cTexture());
    copy->CreateForDepth(gDrawWidth, gDrawHeight, gColourDepth, kPlainSurface, 1);
    HDC dc = nullptr;
    bool ok = false;
    if (copy->Surface() && SUCCEEDED(copy->Surface()->GetDC(&dc))) {
        ok = BitBlt(dc, 0, 0, gDrawWidth, gDrawHeight, screen.dc, 0, 0, SRCCOPY) != 0;
        copy->Surface()->ReleaseDC(dc);
    }
    // The desktop cannot be copied again once the flag covers it: kept for a lost surface.
    if (ok) copy->KeepContent();
    if (ok) gDesktop = copy.release();
    return ok;
}

void SetMaterialColour(float r, float g, float b, float a) {
    std::memset(&gMaterial, 0, sizeof(gMaterial));
    gMaterial.diffuse.r = gMaterial.ambient.r = r;
    gMaterial.diffuse.g = gMaterial.ambient.g = g;
    gMaterial.diffuse.b = gMaterial.ambient.b = b;
    gMaterial.diffuse.a = gMaterial.ambient.a = a;
    if (LPDIRECT3DDEVICE7 device = Device()) device->SetMaterial(&gMaterial);
}

bool FadeInFromDesktop(int milliseconds) {
    D3DMATERIAL7 fade;
    std::memset(&fade, 0, sizeof(fade));
    if (gFade.Advance(milliseconds) || !gDesktop) {
        delete gDesktop;
        gDesktop = nullptr;
        return true;
    }
    cGraphicsLayer* g = Graphics();
    LPDIRECT3DDEVICE7 device = Device();
    if (!g || !device) return true;
    g->Clear(true, false, 0, 1.0f);
    if (g->GetBackBuffer() && gDesktop->Surface()) {
        const HRESULT result = g->GetBackBuffer()->Blt(nullptr, gDesktop->Surface(), nullptr, DDBLT_WAIT, nullptr);
        if (FAILED(result)) g->NoteSurfaceFailure(result);
    }

    fade.diffuse.r = fade.diffuse.g = fade.diffuse.b = 1.0f;
    fade.diffuse.a = gFade.alpha;
    fade.ambient.r = fade.ambient.g = fade.ambient.b = fade.ambient.a = 1.0f;
    device->SetMaterial(&fade);

    SetRenderState(device, D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    SetRenderState(device, D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    SetRenderState(device, D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    SetStageState(device, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    SetStageState(device, D3DTSS_ALPHAOP, D3DTOP_MODULATE);

    DrawFlagLit(device);
    if (gFlag) gFlag->Draw();
    g->Flip(false);
    gFade.FrameDrawn();
    return false;
}

void RenderFrame() {
    const int64_t workStart = MarkFrameWork();
    const double ms = MeasureFrame();
    cGraphicsLayer* g = Graphics();
    LPDIRECT3DDEVICE7 device = Device();
    if (!g || !device || !gFlag) return;
    gFlag->Update(SmoothedStep());
    if (gFadeInEnabled && !gFadeInDone) {
        gFadeInDone = FadeInFromDesktop(WholeMilliseconds(ms));
        gFlagStatesSet = false;
        return;
    }
    const int64_t drawStart = MarkFrameWork();
    g->Clear(true, false, 0, 1.0f);
    // The device keeps its states between frames: the flag's are set again only after the
    // quote show or the fade-in changed them.
    if (!gFlagStatesSet) {
        g->SetWorldMatrix(FlagWorld());
        SetMaterialColour(1, 1, 1, 1);
        device->LightEnable(0, TRUE);
        SetRenderState(device, D3DRENDERSTATE_AMBIENT, scene::kFlagAmbient);
        SetRenderState(device, D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
        gFlagStatesSet = true;
    }
    gFlag->Draw();

    if (QuotesOn()) {
        g->SetWorldMatrix(kIdentityMatrix);
        if (gQuoteHooks.update) gQuoteHooks.update(WholeMilliseconds(ms));
        device->LightEnable(0, FALSE);
        SetRenderState(device, D3DRENDERSTATE_AMBIENT, scene::kQuoteAmbient);
        SetRenderState(device, D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        SetRenderState(device, D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        SetRenderState(device, D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        SetStageState(device, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        SetRenderState(device, D3DRENDERSTATE_ZENABLE, FALSE);
        SetRenderState(device, D3DRENDERSTATE_ZWRITEENABLE, FALSE);
        if (gQuoteHooks.draw) gQuoteHooks.draw();
        gFlagStatesSet = false;
    }
    // No device context of the back buffer here: taking one makes the renderer finish and copy
    // every frame for GDI, and the waiting flip of a one-back-buffer chain already keeps the
    // drawing from running ahead of the screen.
    EndFrameWork(workStart, drawStart);
    g->Flip(false);
}

bool SceneSurfacesLost() {
    cGraphicsLayer* g = Graphics();
    return g && g->SurfacesLost();
}

bool RestoreSceneSurfaces() {
    cGraphicsLayer* g = Graphics();
    LPDIRECT3DDEVICE7 device = Device();
    if (!g || !device) return false;
    // Each new reason for waiting is logged once, not every try.
    static HRESULT lastReason = S_OK;
    const HRESULT result = g->RestoreSurfaces();
    if (FAILED(result)) {
        if (result != lastReason)
            ZLOG(LogInfo, "Surfaces not restored yet: 0x" << std::hex << static_cast<unsigned long>(result) << std::dec);
        lastReason = result;
        return false;
    }
    lastReason = S_OK;
    const int filled = RestoreTextureContents();
    if (QuotesOn() && gQuoteHooks.restore) gQuoteHooks.restore();
    SetSceneStates(*g, device);
    ZLOG(LogInfo, "Textures filled again: " << filled);
    return true;
}

void CleanUp() {
    ZLOG_FUNCTION("CleanUp");
    if (gQuoteShowUp && gQuoteHooks.destroyContent) gQuoteHooks.destroyContent();
    delete gFlag;
    gFlag = nullptr;
    delete gShadow;
    gShadow = nullptr;
    delete gDesktop;
    gDesktop = nullptr;
    if (gQuoteShowUp && gQuoteHooks.destroy) gQuoteHooks.destroy();
    gQuoteShowUp = false;
    ZLOG(LogInfo, "Setting current texture to NULL");
    if (LPDIRECT3DDEVICE7 device = Device()) device->SetTexture(0, nullptr);
    ZLOG(LogInfo, "Deleting graphics object");
    DestroyGraphicsLayer();
    gFadeInEnabled = gFadeInDone = false;
    gFlagStatesSet = false;
    gFade = scene::FadeInClock();
    LogFrameStats();
    ZLOG(LogInfo, "Successfully exiting CleanUp()");
    ZLOG_RETURN();
}
