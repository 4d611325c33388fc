// cGraphicsLayer on DirectDraw 7 and Direct3D 7: set-up, per-frame calls and the release
// order. Every interface it holds is released by ExtraSafeReleaseAll.
#include "gfx/GraphicsLayer.h"

#include <cstring>
#include <vector>

#include "gfx/DebugOutput.h"

cGraphicsLayer* cGraphicsLayer::s_instance = nullptr;

bool AcceptAnyDevice(const D3DDEVICEDESC7&) { return true; }

void ReportUnreleasedInterface() {
    DebugOutput("[ExtraSafeRelease]: ERROR: Interface was not released enough!");
}

namespace {
const GUID& DeviceGuid(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::TnLHal: return IID_IDirect3DTnLHalDevice;
    case DeviceKind::Hal: return IID_IDirect3DHALDevice;
    case DeviceKind::RGB: return IID_IDirect3DRGBDevice;
    case DeviceKind::Ref: break;
    }
    return IID_IDirect3DRefDevice;
}

struct DeviceSearch {
    const GUID* wanted;
    const DeviceFilter* filter;
    std::vector<D3DDEVICEDESC7>* candidates;
};

HRESULT CALLBACK EnumDeviceCallback(char*, char*, D3DDEVICEDESC7* desc, void* context) {
    auto* search = static_cast<DeviceSearch*>(context);
    if (!desc || !IsEqualGUID(desc->deviceGUID, *search->wanted)) return D3DENUMRET_OK;
    // The filter is the caller's code: nothing it throws may cross into DirectX.
    try {
        if (!*search->filter || (*search->filter)(*desc)) search->candidates->push_back(*desc);
    } catch (...) {
    }
    return D3DENUMRET_OK;
}

HRESULT CALLBACK EnumZBufferCallback(DDPIXELFORMAT* format, void* context) {
    if (format) {
        PixelFormat copy;
        std::memcpy(&copy, format, sizeof copy);
        static_cast<std::vector<PixelFormat>*>(context)->push_back(copy);
    }
    return D3DENUMRET_OK;
}

void SetTransform(LPDIRECT3DDEVICE7 device, D3DTRANSFORMSTATETYPE which, const Matrix4& matrix) {
    if (!device) return;
    static_assert(sizeof(D3DMATRIX) == sizeof(Matrix4), "same layout");
    D3DMATRIX d3d;
    std::memcpy(&d3d, &matrix, sizeof d3d);
    device->SetTransform(which, &d3d);
}
}  // namespace

cGraphicsLayer::cGraphicsLayer(HWND window) : m_window(window) {
    if (s_instance) throw cGameError("cGraphicsLayer object already instantiated\n");
    s_instance = this;
}

cGraphicsLayer::~cGraphicsLayer() {
    ExtraSafeReleaseAll();
    if (s_instance == this) s_instance = nullptr;
}

void cGraphicsLayer::ExtraSafeReleaseAll() {
    if (m_dd && IsWindow(m_window)) m_dd->SetCooperativeLevel(m_window, DDSCL_NORMAL);
    if (m_device) {
        for (DWORD stage = 0; stage < 8; ++stage) m_device->SetTexture(stage, nullptr);
        ExtraSafeRelease(m_device, true);
    }
    ExtraSafeRelease(m_backBuffer, false);
    ExtraSafeRelease(m_zBuffer, false);
    ExtraSafeRelease(m_primary, false);
    ExtraSafeRelease(m_d3d, false);
    ExtraSafeRelease(m_dd, true);
}

void cGraphicsLayer::InitDDrawFullScreen(int width, int height, int bits) {
    m_fullScreen = true;
    if (FAILED(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&m_dd), IID_IDirectDraw7, nullptr))) {
        m_dd = nullptr;
        m_failed = 1;
        throw cGameError("Could not create DirectDraw");
    }
    if (FAILED(m_dd->SetCooperativeLevel(m_window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT)))
        throw cGameError("Couldn't set coop level");
    SetRect(&m_screenRect, 0, 0, width, height);
    SetRect(&m_clientRect, 0, 0, width, height);
    DisplayMode mode{};
    const bool modeSet = SetDisplayModeWithFallback(width, height, bits, [this](int w, int h, int b) {
        return SUCCEEDED(m_dd->SetDisplayMode(DWORD(w), DWORD(h), DWORD(b), 0, 0));
    }, mode);
    if (!modeSet) {
        m_failed = 1;
        throw cGameError("Can't set display mode");
    }
    // After the 640 x 480 fallback the flip chain, viewport and projection are that size:
    // a viewport larger than the back buffer could not be set.
    SetRect(&m_screenRect, 0, 0, mode.width, mode.height);
    SetRect(&m_clientRect, 0, 0, mode.width, mode.height);
    m_modeBits = mode.bits;
    MakeFlipChain();
}

void cGraphicsLayer::MakeFlipChain() {
    ExtraSafeRelease(m_backBuffer, false);
    ExtraSafeRelease(m_primary, false);
    if (!m_dd) {
        m_failed = 1;
        throw cGameError("Error: Can't create primary surface");
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    desc.dwBackBufferCount = 1;
    if (FAILED(m_dd->CreateSurface(&desc, &m_primary, nullptr))) {
        m_primary = nullptr;
        m_failed = 1;
        throw cGameError("Error: Can't create primary surface");
    }
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    if (FAILED(m_primary->GetAttachedSurface(&caps, &m_backBuffer))) {
        m_backBuffer = nullptr;
        m_failed = 1;
        throw cGameError("Error: Can't get the backbuffer");
    }
}

void cGraphicsLayer::UpdateScreenRect() {
    GetClientRect(m_window, &m_clientRect);
    m_screenRect = m_clientRect;
    POINT topLeft = {m_screenRect.left, m_screenRect.top};
    POINT bottomRight = {m_screenRect.right, m_screenRect.bottom};
    ClientToScreen(m_window, &topLeft);
    ClientToScreen(m_window, &bottomRight);
    SetRect(&m_screenRect, topLeft.x, topLeft.y, bottomRight.x, bottomRight.y);
}

void cGraphicsLayer::InitDDrawWindowed(const GUID* driver) {
    InitDDrawOnly(driver);
    if (FAILED(m_dd->SetCooperativeLevel(m_window, DDSCL_NORMAL)))
        throw cGameError("SetCooperativeLevel failed");
    MakeWindowedPrimary();
    MakeBackBuffer();
}

void cGraphicsLayer::MakeWindowedPrimary() {
    ExtraSafeRelease(m_primary, false);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (FAILED(m_dd->CreateSurface(&desc, &m_primary, nullptr))) {
        m_primary = nullptr;
        m_failed = 1;
        throw cGameError("Primary surface creation failed");
    }
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    if (FAILED(m_dd->CreateClipper(0, &clipper, nullptr)) || !clipper)
        throw cGameError("Clipper creation failed");
    clipper->SetHWnd(0, m_window);
    m_primary->SetClipper(clipper);
    clipper->Release();  // the primary surface keeps its own reference
}

void cGraphicsLayer::MakeBackBuffer() {
    ExtraSafeRelease(m_backBuffer, false);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    desc.dwWidth = DWORD(m_clientRect.right);
    desc.dwHeight = DWORD(m_clientRect.bottom);
    if (!m_dd || m_clientRect.right <= 0 || m_clientRect.bottom <= 0 ||
        FAILED(m_dd->CreateSurface(&desc, &m_backBuffer, nullptr))) {
        m_backBuffer = nullptr;
        m_failed = 1;
        throw cGameError("back buffer creation failed");
    }
}

void cGraphicsLayer::InitDDrawOnly(const GUID* driver) {
    m_fullScreen = false;
    UpdateScreenRect();
    if (FAILED(DirectDrawCreateEx(const_cast<GUID*>(driver), reinterpret_cast<void**>(&m_dd),
                                  IID_IDirectDraw7, nullptr))) {
        m_dd = nullptr;
        m_failed = 1;
        throw cGameError("DirectDrawCreateEx failed");
    }
}

void cGraphicsLayer::InitD3D(uint32_t flags, const DeviceFilter& filter) {
    if (!m_dd || !m_primary || !m_backBuffer) {
        m_failed = 1;
        DebugOutput("[cGraphicsLayer::InitD3DWindowed]: Error! DDraw not set up correctly; cannot set up D3D!\n");
        return;
    }
    ExtraSafeRelease(m_device, false);
    ExtraSafeRelease(m_d3d, false);
    if (FAILED(m_dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&m_d3d)))) {
        m_d3d = nullptr;
        m_failed = 1;
        throw cGameError("D3D QI failed");
    }

    std::vector<D3DDEVICEDESC7> candidates;
    std::vector<DeviceKind> kinds;
    for (DeviceKind kind : DeviceSearchOrder(flags)) {
        DeviceSearch search{&DeviceGuid(kind), &filter, &candidates};
        const size_t before = candidates.size();
        m_d3d->EnumDevices(EnumDeviceCallback, &search);
        kinds.insert(kinds.end(), candidates.size() - before, kind);
    }
    if (candidates.empty()) {
        m_failed = 1;
        throw cGameError("No valid devices were found");
    }
    m_deviceDesc = candidates.front();
    m_hardwareDevice = ::IsHardwareDevice(kinds.front());

    if (WantsZBuffer(flags)) {
        m_zBufferWanted = true;
        std::vector<PixelFormat> formats;
        m_d3d->EnumZBufferFormats(m_deviceDesc.deviceGUID, EnumZBufferCallback, &formats);
        const int chosen = ChooseZBufferFormat(formats, flags);
        if (chosen < 0) {
            m_failed = 1;
            throw cGameError("[InitD3D]: No good z-buffer format!\n");
        }
        std::memcpy(&m_zBufferFormat, &formats[size_t(chosen)], sizeof m_zBufferFormat);
        MakeZBuffer();
    }

    if (FAILED(m_d3d->CreateDevice(m_deviceDesc.deviceGUID, m_backBuffer, &m_device))) {
        m_device = nullptr;
        m_failed = 1;
        throw cGameError("CreateDevice failed");
    }
    MakeViewport();
    MakeProjectionMatrix();
}

void cGraphicsLayer::MakeZBuffer() {
    if (m_zBuffer && m_backBuffer) m_backBuffer->DeleteAttachedSurface(0, m_zBuffer);
    ExtraSafeRelease(m_zBuffer, false);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (m_hardwareDevice ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
    desc.dwWidth = DWORD(m_clientRect.right);
    desc.dwHeight = DWORD(m_clientRect.bottom);
    desc.ddpfPixelFormat = m_zBufferFormat;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    if (!m_dd || FAILED(m_dd->CreateSurface(&desc, &m_zBuffer, nullptr))) {
        m_zBuffer = nullptr;
        m_failed = 1;
        throw cGameError("Failed to create a Z-Buffer surface.\nMost likely the application ran out of memory");
    }
    if (!m_backBuffer || FAILED(m_backBuffer->AddAttachedSurface(m_zBuffer))) {
        m_failed = 1;
        throw cGameError("[MakeZBuffer]: AddAttachedSurface failed!\n");
    }
    if (m_device) {
        if (FAILED(m_device->SetRenderTarget(m_backBuffer, 0))) {
            m_failed = 1;
            throw cGameError("[MakeZBuffer]: SetRenderTarget failed!\n");
        }
        m_device->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_TRUE);
    }
}

void cGraphicsLayer::MakeViewport() {
    if (!m_device) {
        m_failed = 1;
        DebugOutput("[cGraphicsLayer::MakeViewport]: no device\n");
        return;
    }
    D3DVIEWPORT7 viewport{};
    viewport.dwX = 0;
    viewport.dwY = 0;
    viewport.dwWidth = DWORD(m_clientRect.right);
    viewport.dwHeight = DWORD(m_clientRect.bottom);
    viewport.dvMinZ = 0.0f;
    viewport.dvMaxZ = 1.0f;
    if (FAILED(m_device->SetViewport(&viewport))) {
        m_failed = 1;
        throw cGameError("viewport setting failed.");
    }
}

int cGraphicsLayer::MakeProjectionMatrix() {
    Matrix4 projection;
    if (!MakeLayerProjection(m_fov, m_near, m_far, m_clientRect.right, m_clientRect.bottom, projection))
        return -1;
    if (!m_device) return -1;
    SetTransform(m_device, D3DTRANSFORMSTATE_PROJECTION, projection);
    return 0;
}

void cGraphicsLayer::SetProjectionParameters(float fov, float zNear, float zFar) {
    m_fov = fov;
    m_near = zNear;
    m_far = zFar;
}

void cGraphicsLayer::Clear(bool target, bool zBuffer, DWORD colour, float depth) {
    if (!m_backBuffer) return;
    const DWORD flags = (target ? D3DCLEAR_TARGET : 0) | (zBuffer ? D3DCLEAR_ZBUFFER : 0);
    const HRESULT result = m_device ? m_device->Clear(0, nullptr, flags, colour, depth, 0) : E_FAIL;
    if (FAILED(result)) {
        DebugOutput("[cGraphicsLayer::Clear]: Clear failed\n");
        NoteSurfaceFailure(result);
    }
}

void cGraphicsLayer::Flip(bool noWait) {
    if (m_fullScreen) {
        const DWORD flags = DDFLIP_WAIT | (noWait ? DDFLIP_NOVSYNC : 0);
        const HRESULT result = m_primary ? m_primary->Flip(nullptr, flags) : E_FAIL;
        if (FAILED(result)) {
            DebugOutput("[cGraphicsLayer::Flip]: Flip failed\n");
            NoteSurfaceFailure(result);
        }
        return;
    }
    if (!noWait && m_dd) m_dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    // The preview's window moves with the display settings dialog: follow it.
    POINT origin = {0, 0};
    if (ClientToScreen(m_window, &origin))
        SetRect(&m_screenRect, origin.x, origin.y, origin.x + m_clientRect.right, origin.y + m_clientRect.bottom);
    const HRESULT result = m_primary && m_backBuffer
                               ? m_primary->Blt(&m_screenRect, m_backBuffer, nullptr, DDBLT_WAIT, nullptr)
                               : E_FAIL;
    if (FAILED(result)) {
        DebugOutput("[cGraphicsLayer::Flip]: Blt failed\n");
        NoteSurfaceFailure(result);
    }
}

void cGraphicsLayer::NoteSurfaceFailure(HRESULT result) {
    if (result == DDERR_SURFACELOST) {
        m_surfacesLost = true;
        return;
    }
    // Some drivers fail the call with another code while the screen belongs to another
    // program; the cooperative level tells.
    if (m_dd && FAILED(m_dd->TestCooperativeLevel())) m_surfacesLost = true;
}

HRESULT cGraphicsLayer::RestoreSurfaces() {
    if (!m_dd || (m_fullScreen && !m_primary)) return E_FAIL;
    HRESULT result = m_dd->TestCooperativeLevel();
    if (m_fullScreen) {
        if (FAILED(result)) return result;
        // Whoever took the screen may have left it in another mode.
        DDSURFACEDESC2 mode{};
        mode.dwSize = sizeof mode;
        const bool sameMode = SUCCEEDED(m_dd->GetDisplayMode(&mode)) && int(mode.dwWidth) == m_clientRect.right &&
                              int(mode.dwHeight) == m_clientRect.bottom &&
                              int(mode.ddpfPixelFormat.dwRGBBitCount) == m_modeBits;
        if (!sameMode) {
            result = m_dd->SetDisplayMode(DWORD(m_clientRect.right), DWORD(m_clientRect.bottom), DWORD(m_modeBits), 0, 0);
            if (FAILED(result)) return result;
        }
    } else if (FAILED(result) && result != DDERR_WRONGMODE) {
        return result;
    }
    // Restores every surface of the DirectDraw object (the flip chain, the z-buffer, the
    // textures); the results are read from the surfaces themselves below.
    m_dd->RestoreAllSurfaces();
    if (!m_fullScreen &&
        (!m_primary || (m_primary->IsLost() == DDERR_SURFACELOST && m_primary->Restore() == DDERR_WRONGMODE))) {
        // A windowed primary surface made in another display mode cannot come back: a new
        // one is made in the mode now in force.
        try {
            MakeWindowedPrimary();
        } catch (const cGameError&) {
            m_failed = 0;
            return DDERR_WRONGMODE;
        }
    }
    for (LPDIRECTDRAWSURFACE7 surface : {m_primary, m_backBuffer, m_zBuffer}) {
        if (!surface || surface->IsLost() != DDERR_SURFACELOST) continue;
        result = surface->Restore();
        if (FAILED(result)) return result;
    }
    if (m_device) {
        D3DVIEWPORT7 viewport{};
        viewport.dwWidth = DWORD(m_clientRect.right);
        viewport.dwHeight = DWORD(m_clientRect.bottom);
        viewport.dvMaxZ = 1.0f;
        m_device->SetViewport(&viewport);
    }
    m_surfacesLost = false;
    return DD_OK;
}

void cGraphicsLayer::BeginScene() {
    if (m_device) m_device->BeginScene();
}

void cGraphicsLayer::EndScene() {
    if (m_device) m_device->EndScene();
}

void cGraphicsLayer::SetViewMatrix(const Matrix4& matrix) {
    SetTransform(m_device, D3DTRANSFORMSTATE_VIEW, matrix);
}

void cGraphicsLayer::SetWorldMatrix(const Matrix4& matrix) {
    SetTransform(m_device, D3DTRANSFORMSTATE_WORLD, matrix);
}

void cGraphicsLayer::SetProjectionMatrix(const Matrix4& matrix) {
    SetTransform(m_device, D3DTRANSFORMSTATE_PROJECTION, matrix);
}

cGraphicsLayer* CreateGraphicsLayer(HWND window, bool fullScreen, int width, int height,
                                    uint32_t flags, const DeviceFilter& filter, const GUID* driver) {
    auto* layer = new cGraphicsLayer(window);
    if (fullScreen)
        layer->InitDDrawFullScreen(width, height, FullScreenBits(flags));
    else
        layer->InitDDrawWindowed(driver);
    layer->InitD3D(flags, filter);
    return layer;
}

cGraphicsLayer* CreateDDrawOnly(HWND window, const GUID* driver) {
    auto* layer = new cGraphicsLayer(window);
    layer->InitDDrawOnly(driver);
    return layer;
}

void DestroyGraphicsLayer() { delete cGraphicsLayer::GetGraphics(); }
