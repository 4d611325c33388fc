// cTexture on DirectDraw 7 surfaces, the process-wide texture format list and the mipmap
// filling. The surface belongs to the texture; the format list lives until the process ends.
#include "gfx/Texture.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "gfx/GraphicsLayer.h"

namespace {
// A chain is never longer than this (32-bit sizes); guards against a looping attachment.
constexpr int kMaxLevels = 32;

HRESULT CALLBACK EnumTextureFormatCallback(DDPIXELFORMAT* format, void* context) {
    if (format) {
        PixelFormat copy;
        std::memcpy(&copy, format, sizeof copy);
        static_cast<std::vector<PixelFormat>*>(context)->push_back(copy);
    }
    return D3DENUMRET_OK;  // every format, never stopping early
}

// Every texture alive, to fill them again after a loss of the surfaces.
std::mutex gLiveMutex;
std::vector<cTexture*>& LiveTextures() {
    static std::vector<cTexture*> live;
    return live;
}

TexelBlock BlockOf(const DDSURFACEDESC2& desc) {
    TexelBlock block;
    block.bits = static_cast<uint8_t*>(desc.lpSurface);
    block.pitch = int(desc.lPitch);
    block.width = int(desc.dwWidth);
    block.height = int(desc.dwHeight);
    std::memcpy(&block.format, &desc.ddpfPixelFormat, sizeof block.format);
    return block;
}

// Fills one mipmap level from the level above it.
void FillLevel(LPDIRECTDRAWSURFACE7 parent, LPDIRECTDRAWSURFACE7 child) {
    DDSURFACEDESC2 childDesc{};
    childDesc.dwSize = sizeof childDesc;
    if (FAILED(child->Lock(nullptr, &childDesc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr))) return;
    DDSURFACEDESC2 parentDesc{};
    parentDesc.dwSize = sizeof parentDesc;
    if (FAILED(parent->Lock(nullptr, &parentDesc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) {
        child->Unlock(nullptr);
        return;
    }
    TexelBlock childBlock = BlockOf(childDesc);
    DownsampleLevel(BlockOf(parentDesc), childBlock);
    parent->Unlock(nullptr);
    child->Unlock(nullptr);
}
}  // namespace

void EnsureTextureFormats() {
    if (!TextureFormats::Empty()) return;
    cGraphicsLayer* graphics = Graphics();
    LPDIRECT3DDEVICE7 device = graphics ? graphics->GetDevice() : nullptr;
    std::vector<PixelFormat> formats;
    formats.reserve(100);
    if (!device || FAILED(device->EnumTextureFormats(EnumTextureFormatCallback, &formats)))
        throw cGameError("Couldn't enumerate texture formats");
    const DWORD filterCaps = graphics->GetDeviceDescription().dpcTriCaps.dwTextureFilterCaps;
    TextureFormats::Fill(formats, (filterCaps & (D3DPTFILTERCAPS_MIPNEAREST | D3DPTFILTERCAPS_MIPLINEAR)) != 0);
}

bool HasRGBFormat(int bits) { return bits > 0 && ListHasRGBFormat(TextureFormats::List(), uint32_t(bits)); }

bool HasAlphaFormat() { return ListHasAlphaFormat(TextureFormats::List()); }

bool TexturesMipmapCapable() { return TextureFormats::MipmapCapable(); }

cTexture::cTexture() {
    EnsureTextureFormats();
    std::lock_guard<std::mutex> lock(gLiveMutex);
    LiveTextures().push_back(this);
}

cTexture::~cTexture() {
    ReleaseSurface();
    std::lock_guard<std::mutex> lock(gLiveMutex);
    std::vector<cTexture*>& live = LiveTextures();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

int RestoreTextureContents() {
    std::vector<cTexture*> live;
    {
        std::lock_guard<std::mutex> lock(gLiveMutex);
        live = LiveTextures();
    }
    int filled = 0;
    for (cTexture* texture : live) {
        if (texture->HasKeptContent()) {
            if (texture->RestoreContent()) ++filled;
        } else if (texture->Surface() && texture->Surface()->IsLost() == DDERR_SURFACELOST) {
            texture->Surface()->Restore();
        }
    }
    return filled;
}

bool cTexture::KeepContent() {
    m_kept.clear();
    m_keptRowBytes = 0;
    if (!m_surface) return false;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(m_surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) return false;
    const size_t rowBytes = size_t(desc.dwWidth) * (desc.ddpfPixelFormat.dwRGBBitCount / 8);
    if (desc.lpSurface && rowBytes > 0 && size_t(desc.lPitch) >= rowBytes) {
        m_kept.resize(rowBytes * desc.dwHeight);
        const auto* source = static_cast<const uint8_t*>(desc.lpSurface);
        for (DWORD y = 0; y < desc.dwHeight; ++y)
            std::memcpy(&m_kept[rowBytes * y], source + size_t(desc.lPitch) * y, rowBytes);
        m_keptRowBytes = rowBytes;
    }
    m_surface->Unlock(nullptr);
    return !m_kept.empty();
}

bool cTexture::RestoreContent() {
    if (!m_surface || m_kept.empty()) return false;
    if (m_surface->IsLost() == DDERR_SURFACELOST && FAILED(m_surface->Restore())) return false;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(m_surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr))) return false;
    const size_t rowBytes = size_t(desc.dwWidth) * (desc.ddpfPixelFormat.dwRGBBitCount / 8);
    const bool fits = desc.lpSurface && rowBytes == m_keptRowBytes && m_kept.size() == rowBytes * desc.dwHeight &&
                      size_t(desc.lPitch) >= rowBytes;
    if (fits) {
        auto* target = static_cast<uint8_t*>(desc.lpSurface);
        for (DWORD y = 0; y < desc.dwHeight; ++y)
            std::memcpy(target + size_t(desc.lPitch) * y, &m_kept[rowBytes * y], rowBytes);
    }
    m_surface->Unlock(nullptr);
    if (fits) GenerateMipmaps();
    return fits;
}

void cTexture::ReleaseSurface() {
    m_kept.clear();
    m_keptRowBytes = 0;
    if (m_surface) {
        m_surface->Release();
        m_surface = nullptr;
    }
}

void cTexture::Create32(int width, int height, int kind, int mipLevels) {
    Create(width, height, kind, mipLevels, kTextureFormat32);
}

void cTexture::Create16(int width, int height, int kind, int mipLevels) {
    Create(width, height, kind, mipLevels, kTextureFormat16);
}

void cTexture::CreateForDepth(int width, int height, int depth, int kind, int mipLevels) {
    if (depth == 32)
        Create32(width, height, kind, mipLevels);
    else
        Create16(width, height, kind, mipLevels);
}

void cTexture::Create(int width, int height, int kind, int mipLevels, const PixelFormat& format) {
    ReleaseSurface();
    const int levels = MipLevelCount(width, height, mipLevels);
    EnsureTextureFormats();

    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_MIPMAPCOUNT;
    desc.dwHeight = DWORD(height);
    desc.dwWidth = DWORD(width);
    desc.dwMipMapCount = DWORD(levels);
    std::memcpy(&desc.ddpfPixelFormat, &format, sizeof desc.ddpfPixelFormat);
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    if (kind == kPlainSurfaceInFormat) {
        desc.dwFlags &= ~DWORD(DDSD_MIPMAPCOUNT);
        desc.dwMipMapCount = 0;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        desc.ddsCaps.dwCaps2 = 0;
    } else if (kind == kPlainSurface) {
        // A plain surface is blitted onto the back buffer: in the display's own format
        // the blit is a plain copy. A converting blit (32-bit with alpha onto the 32-bit
        // back buffer) leaves Wine's Direct3D with extra work on every later frame, for
        // the rest of the run: a fifth of the frame rate at 1024 x 768 x 32.
        desc.dwFlags &= ~DWORD(DDSD_MIPMAPCOUNT | DDSD_PIXELFORMAT);
        desc.dwMipMapCount = 0;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        desc.ddsCaps.dwCaps2 = 0;  // Direct3D manages textures only
    }
    if (!TextureFormats::MipmapCapable()) {
        desc.ddsCaps.dwCaps &= ~DWORD(DDSCAPS_MIPMAP | DDSCAPS_COMPLEX);
        desc.dwFlags &= ~DWORD(DDSD_MIPMAPCOUNT);
        desc.dwMipMapCount = 0;
    }
    m_desc = desc;
    m_kind = kind;

    cGraphicsLayer* graphics = Graphics();
    LPDIRECTDRAW7 dd = graphics ? graphics->GetDD() : nullptr;
    if (width <= 0 || height <= 0 || !dd || FAILED(dd->CreateSurface(&desc, &m_surface, nullptr))) {
        m_surface = nullptr;
        throw cGameError("Couldn't create surface");
    }
    if (kind == kPlainSurface || kind == kPlainSurfaceInFormat) {
        DDSURFACEDESC2 made{};
        made.dwSize = sizeof made;
        if (SUCCEEDED(m_surface->GetSurfaceDesc(&made))) m_desc.ddpfPixelFormat = made.ddpfPixelFormat;
        return;
    }
    const std::vector<PixelFormat> formats = TextureFormats::List();
    const int match = FindMatchingFormat(formats, format);
    if (match >= 0) std::memcpy(&m_desc.ddpfPixelFormat, &formats[size_t(match)], sizeof m_desc.ddpfPixelFormat);
}

void cTexture::GenerateMipmaps() {
    if (!m_surface || !TextureFormats::MipmapCapable()) return;
    LPDIRECTDRAWSURFACE7 parent = m_surface;
    parent->AddRef();
    for (int level = 1; level < kMaxLevels; ++level) {
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
        LPDIRECTDRAWSURFACE7 child = nullptr;
        if (FAILED(parent->GetAttachedSurface(&caps, &child)) || !child) break;
        FillLevel(parent, child);
        parent->Release();
        parent = child;
    }
    parent->Release();
}

bool cTexture::FillMipmapLevel(int level) {
    if (!m_surface || level < 1 || level >= kMaxLevels || !TextureFormats::MipmapCapable()) return false;
    LPDIRECTDRAWSURFACE7 parent = m_surface;
    parent->AddRef();
    for (int i = 1; i < level; ++i) {
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
        LPDIRECTDRAWSURFACE7 next = nullptr;
        const bool found = SUCCEEDED(parent->GetAttachedSurface(&caps, &next)) && next;
        parent->Release();
        if (!found) return false;
        parent = next;
    }
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
    LPDIRECTDRAWSURFACE7 child = nullptr;
    const bool found = SUCCEEDED(parent->GetAttachedSurface(&caps, &child)) && child;
    if (found) {
        FillLevel(parent, child);
        child->Release();
    }
    parent->Release();
    return found;
}

bool cTexture::FillFromBgrx(const void* pixels, int pitch, bool bottomUp) {
    if (!m_surface || !pixels) return false;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(m_surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr))) return false;
    TexelBlock block = BlockOf(desc);
    CopyBgrxPixels(static_cast<const uint8_t*>(pixels), pitch, bottomUp, block);
    m_surface->Unlock(nullptr);
    return true;
}

int cTexture::LevelCount() const {
    if (!m_surface) return 0;
    int count = 1;
    LPDIRECTDRAWSURFACE7 level = m_surface;
    level->AddRef();
    while (count < kMaxLevels) {
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
        LPDIRECTDRAWSURFACE7 next = nullptr;
        if (FAILED(level->GetAttachedSurface(&caps, &next)) || !next) break;
        level->Release();
        level = next;
        ++count;
    }
    level->Release();
    return count;
}
