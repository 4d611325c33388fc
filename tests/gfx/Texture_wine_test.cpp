// Textures on Wine's Direct3D: the format list, both formats, the mip-level rule as the
// surfaces show it, GenerateMipmaps on real surfaces, filling from a picture, drawing a
// texture on the device, plain off-screen surfaces and the creation errors.
#include "gfx/Texture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GfxTestSupport.h"
#include "content/Picture.h"
#include "gfx/GraphicsLayer.h"

using gfxtest::ColourNear;
using gfxtest::Hex;
using gfxtest::ReadPixel;

namespace {
std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const cGameError& error) {
        return error.GetText();
    }
    return "(nothing thrown)";
}

std::string ImagePath(const std::string& name) {
    std::string path = std::string("Z:") + GFX_TEST_IMAGES + "/" + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// The surfaces of a texture's chain, top level first; each holds a reference.
std::vector<LPDIRECTDRAWSURFACE7> Levels(LPDIRECTDRAWSURFACE7 top) {
    std::vector<LPDIRECTDRAWSURFACE7> levels;
    if (!top) return levels;
    top->AddRef();
    levels.push_back(top);
    for (;;) {
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
        LPDIRECTDRAWSURFACE7 next = nullptr;
        if (FAILED(levels.back()->GetAttachedSurface(&caps, &next)) || !next || levels.size() > 32) break;
        levels.push_back(next);
    }
    return levels;
}

void ReleaseAll(std::vector<LPDIRECTDRAWSURFACE7>& levels) {
    for (auto* s : levels) s->Release();
    levels.clear();
}

// Writes every texel of a level through `value(x, y)` (raw 16- or 32-bit texel).
void FillLevel(LPDIRECTDRAWSURFACE7 surface, const std::function<uint32_t(int, int)>& value) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    auto* bits = static_cast<uint8_t*>(desc.lpSurface);
    for (DWORD y = 0; y < desc.dwHeight; ++y)
        for (DWORD x = 0; x < desc.dwWidth; ++x) {
            const uint32_t v = value(int(x), int(y));
            if (desc.ddpfPixelFormat.dwRGBBitCount == 32)
                std::memcpy(bits + y * desc.lPitch + x * 4, &v, 4);
            else {
                const uint16_t v16 = uint16_t(v);
                std::memcpy(bits + y * desc.lPitch + x * 2, &v16, 2);
            }
        }
    surface->Unlock(nullptr);
}

uint32_t RawTexel(LPDIRECTDRAWSURFACE7 surface, int x, int y) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) return 0xDEADBEEF;
    const auto* bits = static_cast<const uint8_t*>(desc.lpSurface);
    uint32_t v = 0;
    std::memcpy(&v, bits + y * desc.lPitch + x * int(desc.ddpfPixelFormat.dwRGBBitCount / 8),
                desc.ddpfPixelFormat.dwRGBBitCount / 8);
    surface->Unlock(nullptr);
    return v;
}

class TextureTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_window = std::make_unique<gfxtest::TestWindow>(200, 150, 256, 192);
        CreateGraphicsLayer(m_window->Handle(), false, 256, 192, 0, AcceptAnyDevice, nullptr);
    }
    void TearDown() override {
        DestroyGraphicsLayer();
        m_window.reset();
    }
    std::unique_ptr<gfxtest::TestWindow> m_window;
};
}  // namespace

TEST_F(TextureTest, FormatListHoldsBothFormatsOfTheDevice) {
    cTexture texture;
    EXPECT_FALSE(TextureFormats::Empty());
    EXPECT_TRUE(HasRGBFormat(16));
    EXPECT_TRUE(HasRGBFormat(32));
    EXPECT_FALSE(HasRGBFormat(13));
    EXPECT_TRUE(HasAlphaFormat());
    // Wine's Direct3D filters between mipmap levels.
    EXPECT_TRUE(TexturesMipmapCapable());
    const std::vector<PixelFormat> list = TextureFormats::List();
    EXPECT_GE(FindMatchingFormat(list, kTextureFormat32), 0);
    EXPECT_GE(FindMatchingFormat(list, kTextureFormat16), 0);
}

TEST_F(TextureTest, ThirtyTwoAndSixteenBitSurfaces) {
    cTexture t32;
    t32.Create32(64, 32, kTextureSurface, 1);
    ASSERT_NE(t32.Surface(), nullptr);
    EXPECT_EQ(gfxtest::SurfaceBits(t32.Surface()), 32);
    EXPECT_EQ(t32.Description().ddpfPixelFormat.dwRGBBitCount, 32u);
    EXPECT_EQ(t32.Description().ddpfPixelFormat.dwRGBAlphaBitMask, 0xFF000000u);
    EXPECT_NE(t32.Description().ddpfPixelFormat.dwFlags & DDPF_ALPHAPIXELS, 0u);
    EXPECT_EQ(t32.Width(), 64);
    EXPECT_EQ(t32.Height(), 32);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    t32.Surface()->GetSurfaceDesc(&desc);
    EXPECT_NE(desc.ddsCaps.dwCaps & DDSCAPS_TEXTURE, 0u);
    EXPECT_NE(desc.ddsCaps.dwCaps2 & DDSCAPS2_TEXTUREMANAGE, 0u);

    cTexture t16;
    t16.Create16(64, 32, kTextureSurface, 1);
    EXPECT_EQ(gfxtest::SurfaceBits(t16.Surface()), 16);
    EXPECT_EQ(t16.Description().ddpfPixelFormat.dwRBitMask, 0xF800u);
    EXPECT_EQ(t16.Description().ddpfPixelFormat.dwRGBAlphaBitMask, 0u);

    cTexture other;
    other.CreateForDepth(16, 16, 24, kTextureSurface, 1);  // any depth but 32: 16 bits
    EXPECT_EQ(gfxtest::SurfaceBits(other.Surface()), 16);
    other.CreateForDepth(16, 16, 32, kTextureSurface, 1);  // made again: the old surface goes
    EXPECT_EQ(gfxtest::SurfaceBits(other.Surface()), 32);
}

TEST_F(TextureTest, MipLevelsOfTheFlagTileSizes) {
    const struct {
        int w, h, asked, levels;
    } cases[] = {{16, 266, 4, 4}, {8, 266, 4, 4}, {4, 266, 4, 3}, {1, 1, 4, 1}, {256, 256, 1, 1}, {64, 64, 0, 1}};
    for (const auto& c : cases) {
        cTexture texture;
        texture.Create32(c.w, c.h, kTextureSurface, c.asked);
        EXPECT_EQ(texture.LevelCount(), c.levels) << c.w << "x" << c.h << " asking " << c.asked;
    }
    cTexture texture;
    texture.Create16(16, 266, kTextureSurface, 4);
    std::vector<LPDIRECTDRAWSURFACE7> levels = Levels(texture.Surface());
    ASSERT_EQ(levels.size(), 4u);
    const SIZE expected[] = {{16, 266}, {8, 133}, {4, 66}, {2, 33}};
    for (size_t i = 0; i < levels.size(); ++i) {
        const SIZE size = gfxtest::SurfaceSize(levels[i]);
        EXPECT_EQ(size.cx, expected[i].cx) << "level " << i;
        EXPECT_EQ(size.cy, expected[i].cy) << "level " << i;
    }
    ReleaseAll(levels);
}

TEST_F(TextureTest, GenerateMipmapsAveragesThirtyTwoBitLevels) {
    cTexture texture;
    texture.Create32(8, 4, kTextureSurface, 3);  // 8x4, 4x2, 2x1
    std::vector<LPDIRECTDRAWSURFACE7> levels = Levels(texture.Surface());
    ASSERT_EQ(levels.size(), 3u);
    auto top = [](int x, int y) { return uint32_t((x * 30) << 16 | (y * 60) << 8 | (x + y) * 10 | (255 - x * 8) << 24); };
    FillLevel(levels[0], top);
    texture.GenerateMipmaps();
    auto average = [](const std::function<uint32_t(int, int)>& parent, int x, int y) {
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            uint32_t sum = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) sum += (parent(2 * x + dx, 2 * y + dy) >> shift) & 0xFF;
            out |= (sum >> 2) << shift;
        }
        return out;
    };
    auto level1 = [&](int x, int y) { return average(top, x, y); };
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(RawTexel(levels[1], x, y), level1(x, y)) << "level 1 at " << x << "," << y;
    for (int x = 0; x < 2; ++x)
        EXPECT_EQ(RawTexel(levels[2], x, 0), average(level1, x, 0)) << "level 2 at " << x;
    ReleaseAll(levels);
}

TEST_F(TextureTest, GenerateMipmapsAveragesSixteenBitChannels) {
    cTexture texture;
    texture.Create16(4, 4, kTextureSurface, 2);
    std::vector<LPDIRECTDRAWSURFACE7> levels = Levels(texture.Surface());
    ASSERT_EQ(levels.size(), 2u);
    FillLevel(levels[0], [](int x, int y) -> uint32_t {
        if (x < 2 && y < 2) return y == 0 ? 0xF800 : 0x0000;  // red 31, 31, 0, 0
        if (x >= 2 && y < 2) return 0x07E0;                   // green everywhere
        if (x < 2) return (x + y) % 2 ? 0xFFFF : 0x0000;      // white and black
        return 0x001F;
    });
    texture.GenerateMipmaps();
    EXPECT_EQ(RawTexel(levels[1], 0, 0), 0x7800u);
    EXPECT_EQ(RawTexel(levels[1], 1, 0), 0x07E0u);
    EXPECT_EQ(RawTexel(levels[1], 0, 1), 0x7BEFu);  // half of white, per channel
    EXPECT_EQ(RawTexel(levels[1], 1, 1), 0x001Fu);
    ReleaseAll(levels);
}

TEST_F(TextureTest, WithoutMipmapFilteringEveryTextureHasOneLevel) {
    const std::vector<PixelFormat> list = TextureFormats::List();
    TextureFormats::Fill(list, false);
    cTexture texture;
    texture.Create32(16, 266, kTextureSurface, 4);
    EXPECT_EQ(texture.LevelCount(), 1);
    EXPECT_EQ(texture.Description().dwMipMapCount, 0u);
    EXPECT_EQ(texture.Description().ddsCaps.dwCaps & DDSCAPS_MIPMAP, 0u);
    FillLevel(texture.Surface(), [](int, int) { return 0x12345678u; });
    texture.GenerateMipmaps();  // nothing to do
    EXPECT_EQ(RawTexel(texture.Surface(), 3, 3), 0x12345678u);
    TextureFormats::Reset();
}

TEST_F(TextureTest, FilledFromAPictureThroughADeviceContext) {
    Picture picture;
    ASSERT_TRUE(picture.LoadFromFile(ImagePath("quad.png").c_str()));
    for (int depth : {32, 16}) {
        cTexture texture;
        texture.CreateForDepth(64, 48, depth, kTextureSurface, 3);
        HDC dc = nullptr;
        ASSERT_EQ(texture.Surface()->GetDC(&dc), DD_OK);
        picture.Render(dc, 0, 0, 64, 48, 0, 0, 64, 48);
        texture.Surface()->ReleaseDC(dc);
        texture.GenerateMipmaps();
        EXPECT_TRUE(ColourNear(ReadPixel(texture.Surface(), 5, 5), 0xFF0000, 8)) << depth;
        EXPECT_TRUE(ColourNear(ReadPixel(texture.Surface(), 60, 5), 0x0000FF, 8)) << depth;
        EXPECT_TRUE(ColourNear(ReadPixel(texture.Surface(), 5, 44), 0x00FF00, 8)) << depth;
        EXPECT_TRUE(ColourNear(ReadPixel(texture.Surface(), 60, 44), 0xFFFFFF, 8)) << depth;
        std::vector<LPDIRECTDRAWSURFACE7> levels = Levels(texture.Surface());
        ASSERT_EQ(levels.size(), 3u);
        // The 16 x 12 level still shows the four quarters.
        EXPECT_TRUE(ColourNear(ReadPixel(levels[2], 2, 2), 0xFF0000, 12)) << depth << ": " << Hex(ReadPixel(levels[2], 2, 2));
        EXPECT_TRUE(ColourNear(ReadPixel(levels[2], 13, 9), 0xFFFFFF, 12)) << depth;
        ReleaseAll(levels);
    }
}

TEST_F(TextureTest, TextureDrawnOnTheDeviceShowsThePicture) {
    Picture picture;
    ASSERT_TRUE(picture.LoadFromFile(ImagePath("quad.gif").c_str()));
    cTexture texture;
    texture.Create32(64, 48, kTextureSurface, 1);
    HDC dc = nullptr;
    ASSERT_EQ(texture.Surface()->GetDC(&dc), DD_OK);
    picture.Render(dc, 0, 0, 64, 48, 0, 0, 64, 48);
    texture.Surface()->ReleaseDC(dc);
    texture.GenerateMipmaps();

    cGraphicsLayer* layer = Graphics();
    LPDIRECT3DDEVICE7 device = layer->GetDevice();
    struct Vertex {
        float x, y, z, rhw;
        float u, v;
    };
    const Vertex quad[4] = {{0, 0, 0.5f, 1, 0, 0}, {256, 0, 0.5f, 1, 1, 0}, {0, 192, 0.5f, 1, 0, 1}, {256, 192, 0.5f, 1, 1, 1}};
    layer->Clear(true, false, 0x00000000, 1.0f);
    layer->BeginScene();
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    device->SetTexture(0, texture.Surface());
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_POINT);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, const_cast<Vertex*>(quad), 4, 0),
              D3D_OK);
    layer->EndScene();
    device->SetTexture(0, nullptr);
    const uint32_t topLeft = ReadPixel(layer->GetBackBuffer(), 20, 20);
    const uint32_t topRight = ReadPixel(layer->GetBackBuffer(), 236, 20);
    const uint32_t bottomLeft = ReadPixel(layer->GetBackBuffer(), 20, 172);
    const uint32_t bottomRight = ReadPixel(layer->GetBackBuffer(), 236, 172);
    EXPECT_TRUE(ColourNear(topLeft, 0xFF0000, 8)) << Hex(topLeft);
    EXPECT_TRUE(ColourNear(topRight, 0x0000FF, 8)) << Hex(topRight);
    EXPECT_TRUE(ColourNear(bottomLeft, 0x00FF00, 8)) << Hex(bottomLeft);
    EXPECT_TRUE(ColourNear(bottomRight, 0xFFFFFF, 8)) << Hex(bottomRight);
    layer->Flip(false);
    gfxtest::HoldForScreenshot("textured quad at (200,150) 256x192: red, blue / green, white",
                               [&] { layer->Flip(false); });
}

TEST_F(TextureTest, PlainOffscreenSurfaceForTheDesktopCopy) {
    cTexture copy;
    copy.CreateForDepth(256, 192, 32, kPlainSurface, 1);
    ASSERT_NE(copy.Surface(), nullptr);
    EXPECT_EQ(copy.Kind(), kPlainSurface);
    EXPECT_EQ(copy.LevelCount(), 1);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    copy.Surface()->GetSurfaceDesc(&desc);
    EXPECT_NE(desc.ddsCaps.dwCaps & DDSCAPS_OFFSCREENPLAIN, 0u);
    EXPECT_EQ(desc.ddsCaps.dwCaps & DDSCAPS_TEXTURE, 0u);
    // In the back buffer's own format (no alpha on a 32-bit one), so that the fade-in's
    // blit is a copy: a converting one slows every later frame down under Wine.
    DDSURFACEDESC2 back{};
    back.dwSize = sizeof back;
    ASSERT_EQ(Graphics()->GetBackBuffer()->GetSurfaceDesc(&back), DD_OK);
    const DDPIXELFORMAT& made = desc.ddpfPixelFormat;
    EXPECT_EQ(made.dwRGBBitCount, back.ddpfPixelFormat.dwRGBBitCount);
    EXPECT_EQ(made.dwRBitMask, back.ddpfPixelFormat.dwRBitMask);
    EXPECT_EQ(made.dwGBitMask, back.ddpfPixelFormat.dwGBitMask);
    EXPECT_EQ(made.dwBBitMask, back.ddpfPixelFormat.dwBBitMask);
    EXPECT_EQ(made.dwRGBAlphaBitMask, back.ddpfPixelFormat.dwRGBAlphaBitMask);
    EXPECT_EQ(copy.Description().ddpfPixelFormat.dwRGBAlphaBitMask, made.dwRGBAlphaBitMask)
        << "the description tells the surface's real format";
    // Filled through a device context and blitted onto the back buffer, as the fade-in does.
    HDC dc = nullptr;
    ASSERT_EQ(copy.Surface()->GetDC(&dc), DD_OK);
    RECT all = {0, 0, 256, 192};
    HBRUSH brush = CreateSolidBrush(RGB(0x20, 0x80, 0xE0));
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    copy.Surface()->ReleaseDC(dc);
    cGraphicsLayer* layer = Graphics();
    layer->Clear(true, false, 0, 1.0f);
    EXPECT_EQ(layer->GetBackBuffer()->Blt(nullptr, copy.Surface(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_TRUE(ColourNear(ReadPixel(layer->GetBackBuffer(), 128, 96), 0x2080E0, 8));
    copy.GenerateMipmaps();  // a plain surface has no levels below: nothing happens
}

TEST_F(TextureTest, SizesTheDeviceCannotMakeThrow) {
    const DWORD largest = Graphics()->GetDeviceDescription().dwMaxTextureWidth;
    cTexture texture;
    EXPECT_EQ(ErrorOf([&] { texture.Create32(int(largest) * 2, 16, kTextureSurface, 1); }), "Couldn't create surface");
    EXPECT_EQ(texture.Surface(), nullptr);
    EXPECT_EQ(ErrorOf([&] { texture.Create16(0, 16, kTextureSurface, 1); }), "Couldn't create surface");
    EXPECT_EQ(ErrorOf([&] { texture.Create16(-5, -5, kTextureSurface, 1); }), "Couldn't create surface");
    texture.GenerateMipmaps();  // no surface: nothing happens
    EXPECT_EQ(texture.LevelCount(), 0);
}

TEST_F(TextureTest, WithoutADeviceTheFormatsCannotBeListed) {
    DestroyGraphicsLayer();
    TextureFormats::Reset();
    EXPECT_EQ(ErrorOf([] { cTexture texture; }), "Couldn't enumerate texture formats");
    EXPECT_TRUE(TextureFormats::Empty());
    EXPECT_FALSE(HasRGBFormat(16));
    // A DirectDraw-only layer has no device either.
    CreateDDrawOnly(m_window->Handle(), nullptr);
    EXPECT_EQ(ErrorOf([] { cTexture texture; }), "Couldn't enumerate texture formats");
}
