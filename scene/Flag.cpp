// cFlag's drawing and texture ownership, and the tiling of a picture into cell textures.
#include "scene/Flag.h"

#include <windows.h>
#include <d3d.h>

#include <memory>

#include "content/Picture.h"
#include "gfx/GraphicsLayer.h"
#include "gfx/Texture.h"
#include "scene/TilePlan.h"

cFlag::~cFlag() { ReleaseTextures(); }

void cFlag::ReleaseTextures() {
    for (cFlagCell& cell : Cells()) {
        delete cell.texture;
        cell.texture = nullptr;
    }
    AddLoadedTiles(-LoadedTiles());
}

void cFlag::Draw() {
    if (!Built()) Build();
    cGraphicsLayer* g = Graphics();
    if (!g || !g->GetDevice()) return;
    LPDIRECT3DDEVICE7 device = g->GetDevice();
    g->BeginScene();
    const int cols = Cols(), rows = Rows();
    for (int col = 0; col < cols; ++col) {
        for (int row = 0; row < rows; ++row) {
            cFlagCell& cell = Cell(row, col);
            device->SetTexture(0, cell.texture ? cell.texture->Surface() : nullptr);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1,
                                         cell.vertices, 4, cell.indices, 6, 0);
        }
    }
    g->EndScene();
}

namespace {

// Makes a texture for a back buffer of the given depth; a depth without a texture format
// of its own (24 or 8 bits) gets the format the device offers (see TextureDepthFor).
std::unique_ptr<cTexture> NewTexture(int depth, int width, int height, int mipLevels) {
    std::unique_ptr<cTexture> texture(new cTexture());  // fills the format list
    if (TextureDepthFor(depth, TextureFormats::List()) == 32)
        texture->Create32(width, height, kTextureSurface, mipLevels);
    else
        texture->Create16(width, height, kTextureSurface, mipLevels);
    return texture;
}

// Draws the source rectangle of the picture into the whole texture, then fills its mipmaps.
bool FillTexture(cTexture& texture, Picture& picture, const TileRect& source, int width, int height,
                 bool halftone) {
    LPDIRECTDRAWSURFACE7 surface = texture.Surface();
    HDC dc = nullptr;
    if (!surface || FAILED(surface->GetDC(&dc))) return false;
    if (halftone) {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
    }
    picture.Render(dc, 0, 0, width, height, source.x, source.y, source.width, source.height);
    surface->ReleaseDC(dc);
    texture.GenerateMipmaps();
    // What is needed to fill it again after the surfaces were lost.
    texture.KeepContent();
    return true;
}

bool LoadTile(int depth, Picture& picture, int width, int height, bool scaled, cFlag& flag, int mipLevels) {
    const int i = flag.LoadedTiles();
    if (i < 0 || i > flag.Rows() * flag.Cols() - 1) return false;
    TilePlan plan;
    plan.pictureWidth = picture.Width();
    plan.pictureHeight = picture.Height();
    plan.width = width;
    plan.height = height;
    plan.scaled = scaled;
    plan.cols = flag.Cols();
    plan.rows = flag.Rows();
    TileJob job;
    if (!PlanTile(plan, i, &job)) return false;
    cFlagCell& cell = flag.Cell(job.row, job.col);
    if (scaled && cell.sourceTileWidth > 0 && cell.sourceTileHeight > 0) {
        job.source.width = static_cast<int>(cell.sourceTileWidth);
        job.source.height = static_cast<int>(cell.sourceTileHeight);
        job.source.x = job.source.width * job.col;
        job.source.y = (plan.rows - job.row - 1) * job.source.height;
    }
    if (job.textureWidth <= 0 || job.textureHeight <= 0) return false;
    std::unique_ptr<cTexture> texture = NewTexture(depth, job.textureWidth, job.textureHeight, mipLevels);
    if (!texture) return false;
    FillTexture(*texture, picture, job.source, job.textureWidth, job.textureHeight, scaled);
    delete cell.texture;
    cell.texture = texture.release();
    flag.AddLoadedTiles(1);
    return true;
}

}  // namespace

bool LoadNextTile(int depth, Picture& picture, cFlag& flag, int mipLevels) {
    return LoadTile(depth, picture, picture.Width(), picture.Height(), false, flag, mipLevels);
}

bool LoadNextTileScaled(int depth, Picture& picture, int limitedWidth, int limitedHeight, cFlag& flag,
                        int mipLevels) {
    return LoadTile(depth, picture, limitedWidth, limitedHeight, true, flag, mipLevels);
}

bool SplitImageIntoTiles(Picture& picture, cFlag& flag, int tileWidth, int maxTextureSize, int depth,
                         bool mipmap, bool limit, int limitSize) {
    const TilePlan plan = PlanTiles(picture.Width(), picture.Height(), tileWidth, maxTextureSize, limit, limitSize);
    flag.ReleaseTextures();
    flag.SetGrid(plan.cols, plan.rows);
    const int mipLevels = TileMipLevels(mipmap);
    if (plan.scaled) {
        for (cFlagCell& cell : flag.Cells()) {
            cell.sourceTileWidth = static_cast<uint32_t>(plan.pictureWidth / plan.cols);
            cell.sourceTileHeight = static_cast<uint32_t>(plan.pictureHeight / plan.rows);
        }
    }
    // A tile that cannot be made ends the tiling instead of asking for it forever.
    while (!flag.AllTilesLoaded()) {
        const bool made = plan.scaled ? LoadNextTileScaled(depth, picture, plan.width, plan.height, flag, mipLevels)
                                      : LoadNextTile(depth, picture, flag, mipLevels);
        if (!made) return false;
    }
    return true;
}

cTexture* MakeTextureFromPicture(int depth, Picture& picture, int mipLevels) {
    const int w = picture.Width(), h = picture.Height();
    if (w <= 0 || h <= 0) return nullptr;
    std::unique_ptr<cTexture> texture = NewTexture(depth, w, h, mipLevels);
    if (!texture) return nullptr;
    if (!FillTexture(*texture, picture, TileRect{0, 0, w, h}, w, h, false)) return nullptr;
    return texture.release();
}
