// cTexture: one Direct3D texture (a DirectDraw 7 surface with its mipmap chain when the
// device filters mipmaps), 32-bit ARGB or 16-bit RGB, or a plain off-screen surface (kind
// kPlainSurface). It owns its surface and releases it on destruction. Creation needs the
// graphics layer's device and throws cGameError when it fails. A texture may keep a copy of
// its top level in system memory, to fill it again after its surface was lost.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/GameError.h"
#include "gfx/TextureRules.h"

constexpr int kTextureSurface = 0;
// An off-screen plain surface in the display's own format (blitted onto the back buffer).
constexpr int kPlainSurface = -1;
// An off-screen plain surface in the asked texture format (drawn into through GDI and
// blitted into textures of that format, so that the blit converts nothing).
constexpr int kPlainSurfaceInFormat = -2;

class cTexture {
public:
    // Makes sure the process-wide list of texture formats is filled (may throw).
    cTexture();
    virtual ~cTexture();
    cTexture(const cTexture&) = delete;
    cTexture& operator=(const cTexture&) = delete;

    void Create32(int width, int height, int kind, int mipLevels);
    void Create16(int width, int height, int kind, int mipLevels);
    // 32 -> Create32, any other depth -> Create16.
    void CreateForDepth(int width, int height, int depth, int kind, int mipLevels);

    // The top-level surface (device contexts, locking, setting the texture on the device).
    LPDIRECTDRAWSURFACE7 Surface() const { return m_surface; }
    // Fills every lower mipmap level from the level above.
    void GenerateMipmaps();
    // Fills mipmap level `level` (1 is the first below the top) from the level above it;
    // false when the chain has no such level or it cannot be locked.
    bool FillMipmapLevel(int level);
    // Fills the top level from 32-bit pixels B, G, R, x (see CopyBgrxPixels); false when
    // the surface cannot be locked.
    bool FillFromBgrx(const void* pixels, int pitch, bool bottomUp);

    // The description the surface was made with; its pixel format is the matching entry of
    // the device's texture format list.
    const DDSURFACEDESC2& Description() const { return m_desc; }
    int Kind() const { return m_kind; }
    int Width() const { return int(m_desc.dwWidth); }
    int Height() const { return int(m_desc.dwHeight); }
    // Levels in the surface's chain (1 without mipmaps, 0 without a surface).
    int LevelCount() const;

    // Copies the top level as it is now into system memory (called by whoever filled it).
    // False when the surface cannot be read; nothing is kept then.
    bool KeepContent();
    bool HasKeptContent() const { return !m_kept.empty(); }
    // Restores the surface when it is lost, writes the kept copy back and fills the
    // mipmaps again. False without a kept copy or when the surface cannot be written.
    bool RestoreContent();
    const std::string& Name() const { return m_name; }

private:
    void Create(int width, int height, int kind, int mipLevels, const PixelFormat& format);
    void ReleaseSurface();

    LPDIRECTDRAWSURFACE7 m_surface = nullptr;
    DDSURFACEDESC2 m_desc{};
    std::vector<uint8_t> m_kept;  // top-level rows, m_keptRowBytes each
    size_t m_keptRowBytes = 0;
    std::string m_name;
    int m_kind = kTextureSurface;
};

// Fills the process-wide texture format list from the graphics layer's device, once.
// Throws cGameError("Couldn't enumerate texture formats") when that fails.
void EnsureTextureFormats();
// Some listed format has the RGB flag and exactly `bits` bits per pixel.
bool HasRGBFormat(int bits);
// Some listed format has alpha pixels.
bool HasAlphaFormat();
// The device filters between mipmap levels (textures get mipmap chains).
bool TexturesMipmapCapable();
// After the surfaces were lost and restored: every live texture restores its surface and
// writes back its kept content. Returns how many textures were filled again. Main thread.
int RestoreTextureContents();
