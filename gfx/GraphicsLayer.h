// cGraphicsLayer: the one DirectDraw 7 / Direct3D 7 device of the process. It owns the
// DirectDraw object, the primary surface, the back buffer, the optional z-buffer, the
// Direct3D object and the device, and releases them all when destroyed. The creation
// functions construct it and register it as the instance that Graphics() returns; the
// caller destroys it with DestroyGraphicsLayer (or delete). Set-up throws cGameError.
#pragma once

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <cstdint>
#include <functional>

#include "gfx/Colour.h"
#include "gfx/GameError.h"
#include "gfx/GraphicsRules.h"
#include "gfx/Matrix.h"

// Decides whether a device the layer found may be used; sees its description.
using DeviceFilter = std::function<bool(const D3DDEVICEDESC7&)>;
bool AcceptAnyDevice(const D3DDEVICEDESC7& description);

class cGraphicsLayer {
public:
    // Throws cGameError("cGraphicsLayer object already instantiated\n") while another
    // instance exists.
    explicit cGraphicsLayer(HWND window);
    ~cGraphicsLayer();
    cGraphicsLayer(const cGraphicsLayer&) = delete;
    cGraphicsLayer& operator=(const cGraphicsLayer&) = delete;

    static cGraphicsLayer* GetGraphics() { return s_instance; }

    // Set-up steps (each throws cGameError on failure; most set the failed flag first).
    void InitDDrawFullScreen(int width, int height, int bits);
    void InitDDrawWindowed(const GUID* driver);  // null: the primary display driver
    void InitDDrawOnly(const GUID* driver);
    void InitD3D(uint32_t flags, const DeviceFilter& filter);

    void MakeFlipChain();
    void MakeBackBuffer();
    void MakeZBuffer();
    void MakeViewport();
    // 0 when set on the device, -1 when the planes or the field of view are degenerate.
    int MakeProjectionMatrix();
    void UpdateScreenRect();

    // Per frame; failures only go to the debugger output. A failure because the surfaces
    // were lost (another program took the screen) is remembered: SurfacesLost.
    void Clear(bool target, bool zBuffer, DWORD colour, float depth);
    void Flip(bool noWait = false);

    // True once a per-frame call met lost surfaces, until RestoreSurfaces succeeds.
    bool SurfacesLost() const { return m_surfacesLost; }
    // Takes a failed surface call's result in (DDERR_SURFACELOST, or any failure while the
    // exclusive mode is gone, marks the surfaces lost).
    void NoteSurfaceFailure(HRESULT result);
    // One try at getting the surfaces back: once the exclusive mode can be had again, puts
    // the run's display mode back when it was changed, restores every surface of the
    // DirectDraw object and sets the viewport again. DD_OK when done; otherwise the reason,
    // and the caller tries again later. The content of the surfaces is the caller's.
    HRESULT RestoreSurfaces();
    void BeginScene();
    void EndScene();
    void SetViewMatrix(const Matrix4& matrix);
    void SetWorldMatrix(const Matrix4& matrix);
    void SetProjectionMatrix(const Matrix4& matrix);

    LPDIRECT3DDEVICE7 GetDevice() const { return m_device; }
    LPDIRECTDRAW7 GetDD() const { return m_dd; }
    LPDIRECT3D7 GetD3D() const { return m_d3d; }
    LPDIRECTDRAWSURFACE7 GetFrontBuffer() const { return m_primary; }
    LPDIRECTDRAWSURFACE7 GetBackBuffer() const { return m_backBuffer; }
    LPDIRECTDRAWSURFACE7 GetZBuffer() const { return m_zBuffer; }
    const D3DDEVICEDESC7& GetDeviceDescription() const { return m_deviceDesc; }
    bool Failed() const { return m_failed != 0; }
    bool IsFullScreen() const { return m_fullScreen; }
    bool IsHardwareDevice() const { return m_hardwareDevice; }
    bool ZBufferWanted() const { return m_zBufferWanted; }
    const DDPIXELFORMAT& GetZBufferFormat() const { return m_zBufferFormat; }
    HWND GetWindow() const { return m_window; }
    const RECT& ScreenRect() const { return m_screenRect; }
    const RECT& ClientRect() const { return m_clientRect; }
    int Width() const { return m_clientRect.right; }
    int Height() const { return m_clientRect.bottom; }

    // The layer's projection parameters (used by MakeProjectionMatrix).
    void SetProjectionParameters(float fov, float zNear, float zFar);

private:
    void ExtraSafeReleaseAll();
    // The windowed primary surface with its clipper.
    void MakeWindowedPrimary();

    HWND m_window;
    LPDIRECT3DDEVICE7 m_device = nullptr;
    LPDIRECTDRAW7 m_dd = nullptr;
    LPDIRECT3D7 m_d3d = nullptr;
    LPDIRECTDRAWSURFACE7 m_primary = nullptr;
    LPDIRECTDRAWSURFACE7 m_backBuffer = nullptr;
    LPDIRECTDRAWSURFACE7 m_zBuffer = nullptr;
    D3DDEVICEDESC7 m_deviceDesc{};
    uint32_t m_failed = 0;
    DDPIXELFORMAT m_zBufferFormat{};
    float m_fov = 1.5707964f;
    float m_near = 1.0f;
    float m_far = 1000.0f;
    bool m_fullScreen = false;
    bool m_hardwareDevice = false;
    bool m_zBufferWanted = false;
    bool m_surfacesLost = false;
    int m_modeBits = 0;  // the full-screen mode's depth (its size is the client rectangle's)
    RECT m_screenRect{};
    RECT m_clientRect{};

    static cGraphicsLayer* s_instance;
};

// The instance, null when none exists.
inline cGraphicsLayer* Graphics() { return cGraphicsLayer::GetGraphics(); }

// Constructs the instance and sets it up: full screen (32 bits per pixel, 16 when flags
// has kGfx16BitMode) or windowed into the window's client area, then Direct3D. Returns the
// instance; when a step throws, the partly built instance stays registered for the caller
// to destroy.
cGraphicsLayer* CreateGraphicsLayer(HWND window, bool fullScreen, int width, int height,
                                    uint32_t flags, const DeviceFilter& filter,
                                    const GUID* driver);
// Constructs the instance with DirectDraw only (listing display modes).
cGraphicsLayer* CreateDDrawOnly(HWND window, const GUID* driver);
// Destroys the instance, if any.
void DestroyGraphicsLayer();

// Releases a COM interface once and nulls the pointer. For the interfaces that must be gone
// afterwards (the device, DirectDraw), a reference count left above zero is written to the
// debugger output.
void ReportUnreleasedInterface();
template <typename T>
void ExtraSafeRelease(T*& iface, bool mustBeLast) {
    if (!iface) return;
    const ULONG left = iface->Release();
    iface = nullptr;
    if (mustBeLast && left > 0) ReportUnreleasedInterface();
}
