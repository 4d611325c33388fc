// The quote show on the Direct3D device: quote records, the picture loader and the show's
// timeline, picture and caption drawing.
#include "quotes/QuoteShow.h"

#include <d3d.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "content/Bundle.h"
#include "content/Picture.h"
#include "diag/Log.h"
#include "gfx/GameError.h"
#include "gfx/GraphicsLayer.h"
#include "gfx/Texture.h"
#include "scene/Flag.h"
#include "scene/Scene.h"

namespace {

// Position, diffuse colour and one texture coordinate set.
struct QuadVertex {
    float x, y, z;
    DWORD colour;
    float u, v;
};
const DWORD kQuadFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
WORD kQuadIndices[6] = {0, 1, 2, 0, 2, 3};
const int kCaptionMipLevels = 4;
const int kPictureMipLevels = 4;

LPDIRECT3DDEVICE7 Device() {
    cGraphicsLayer* g = Graphics();
    return g ? g->GetDevice() : nullptr;
}

// The device's largest texture side (0 when unknown).
int DeviceMaxTexture() {
    cGraphicsLayer* g = Graphics();
    if (!g) return 0;
    const D3DDEVICEDESC7& desc = g->GetDeviceDescription();
    return int(std::min(desc.dwMaxTextureWidth, desc.dwMaxTextureHeight));
}

void DrawQuad(LPDIRECT3DDEVICE7 device, QuadVertex* v) {
    Graphics()->BeginScene();
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, kQuadFvf, v, 4, kQuadIndices, 6, 0);
    Graphics()->EndScene();
}

void SetBlend(LPDIRECT3DDEVICE7 device, DWORD source, DWORD destination) {
    device->SetRenderState(D3DRENDERSTATE_SRCBLEND, source);
    device->SetRenderState(D3DRENDERSTATE_DESTBLEND, destination);
}

void SetAlphaArgument(LPDIRECT3DDEVICE7 device, DWORD argument) {
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, argument);
}

}  // namespace

bool QuoteRecord::Parse(const uint8_t* blob, size_t size) {
    return quotes::ParseQuoteEntry(blob, size, &header, &picture, &text);
}

void QuoteRecord::BuildGrid(int c, int r, cTexture** textures) {
    header.backdropHalfWidth = header.backdropWidth * 0.5f;
    header.backdropHalfHeight = header.backdropHeight * 0.5f;
    cols = c;
    rows = r;
    grid = quotes::BuildGridCells(c, r, header);
    cellTextures.assign(grid.size(), nullptr);
    for (size_t i = 0; i < grid.size() && textures; ++i) cellTextures[i] = textures[grid[i].texture];
}

void QuoteRecord::DrawText(cTexture* shadow, float alpha, int depth) {
    LPDIRECT3DDEVICE7 device = Device();
    if (!device) return;
    if (shadow) {
        if (depth == 32) {
            SetAlphaArgument(device, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE);
            SetBlend(device, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        } else {
            SetAlphaArgument(device, D3DTA_DIFFUSE);
            SetBlend(device, D3DBLEND_INVSRCCOLOR, D3DBLEND_INVSRCCOLOR);
            SetMaterialColour(alpha, alpha, alpha, 1.0f);
        }
        const float w = header.backdropHalfWidth, h = header.backdropHalfHeight;
        QuadVertex quad[4] = {{-w, h, 0, 0xFFFFFFFF, 0, 1},
                              {-w, -h, 0, 0xFFFFFFFF, 0, 0},
                              {w, -h, 0, 0xFFFFFFFF, 1, 0},
                              {w, h, 0, 0xFFFFFFFF, 1, 1}};
        device->SetTexture(0, shadow->Surface());
        DrawQuad(device, quad);
    }
    if (depth == 16) {
        SetBlend(device, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR);
        SetAlphaArgument(device, D3DTA_DIFFUSE);
        SetMaterialColour(alpha, alpha, alpha, 1.0f);
    }
    for (size_t i = 0; i < grid.size(); ++i) {
        const quotes::GridCell& c = grid[i];
        QuadVertex quad[4] = {{c.x0, c.y1, 0, 0xFFFFFFFF, 0, 0},
                              {c.x0, c.y0, 0, 0xFFFFFFFF, 0, 1 - c.crop},
                              {c.x1, c.y0, 0, 0xFFFFFFFF, c.uExtent, 1 - c.crop},
                              {c.x1, c.y1, 0, 0xFFFFFFFF, c.uExtent, 0}};
        device->SetTexture(0, cellTextures[i] ? cellTextures[i]->Surface() : nullptr);
        DrawQuad(device, quad);
    }
}

PictureLoader::PictureLoader(BundleCategory* category, BundleEntry* entry, uint32_t width, uint32_t height,
                             std::string name, int depth, int maxTexture)
    : m_category(category), m_entry(entry), m_width(width), m_height(height), m_name(std::move(name)),
      m_depth(depth), m_maxTexture(maxTexture) {}

PictureLoader::~PictureLoader() {
    Join();
    delete m_flag;
}

bool PictureLoader::StartLoading() {
    m_picture.reset(new Picture());
    return StartBelowNormal(*this);
}

void PictureLoader::OfferTexture(std::unique_ptr<cTexture> spare) { m_spare = std::move(spare); }

void PictureLoader::Settle(int state, int error) {
    m_mutex.Lock();
    m_error = error;
    m_state = state;
    m_mutex.Unlock();
}

DWORD PictureLoader::Run() {
    if (!m_category || !m_entry) {
        Settle(m_state, NoCategory);
        return 0;
    }
    m_state = Reading;
    const uint8_t* blob = m_category->ReadEntry(m_entry);
    if (!blob) {
        Settle(Reading, Unreadable);
        return 0;
    }
    m_state = Decoding;
    // A blob that is not a picture would leave an empty picture: no texture can come of it.
    if (!m_picture->LoadFromMemory(blob, m_entry->Size()) || m_picture->Width() <= 0 || m_picture->Height() <= 0) {
        Settle(Decoding, NotAPicture);
        return 0;
    }
    // The picture becomes one texture of its own size: one the device cannot have leaves
    // the quote without its picture, like a picture that does not decode.
    if (m_maxTexture > 0 && (m_picture->Width() > m_maxTexture || m_picture->Height() > m_maxTexture)) {
        Settle(Decoding, NoTexture);
        return 0;
    }
    m_state = Building;
    // Drawn into memory here, so that the main thread only copies pixels.
    if (!m_picture->GetBits()) {
        Settle(Building, NoTexture);
        return 0;
    }
    cFlag* flag = new cFlag();
    flag->SetAspect(int(m_width), int(m_height));
    flag->SetGrid(1, 1);
    m_flag = flag;
    Settle(Decoded, None);
    return 0;
}

void PictureLoader::Poll() {
    if (m_state < Decoded || m_error != None || m_state == Done || !m_flag) return;
    m_state = MakingTextures;
    const int step = m_step++;
    if (step == 0) {
        if (m_spare && m_spare->Width() == m_picture->Width() && m_spare->Height() == m_picture->Height()) {
            m_texture = std::move(m_spare);
            return;
        }
        m_spare.reset();
        try {
            m_texture.reset(new cTexture());
            m_texture->CreateForDepth(m_picture->Width(), m_picture->Height(), m_depth, kTextureSurface,
                                      kPictureMipLevels);
        } catch (const cGameError&) {
            m_texture.reset();
            m_error = NoTexture;
        }
        return;
    }
    if (step == 1) {
        if (!m_texture->FillFromBgrx(m_picture->GetBits(), m_picture->Width() * 4, true)) m_error = NoTexture;
        return;
    }
    if (m_texture->FillMipmapLevel(step - 1)) return;
    cFlagCell& cell = m_flag->Cell(0, 0);
    delete cell.texture;
    cell.texture = m_texture.release();
    m_flag->AddLoadedTiles(1);
    m_state = Done;
    m_picture.reset();
}

cFlag* PictureLoader::Finish() {
    while (m_error == None && m_state >= Decoded && m_state != Done) Poll();
    if (m_error != None || m_state != Done) return nullptr;
    cFlag* flag = m_flag;
    m_flag = nullptr;
    return flag;
}

QuoteShow::QuoteShow() : m_order(static_cast<uint32_t>(std::time(nullptr))) {}

QuoteShow::~QuoteShow() {
    DeleteLoader();
    delete m_picture;
    m_picture = nullptr;
    // The renderer's worker blits into the caption textures: it goes first.
    m_caption.reset();
    for (cTexture* t : m_captionTextures) delete t;
    m_captionTextures.clear();
}

void QuoteShow::SetImages(BundleCategory** categories, int categoryCount, const PictureLayout* layouts,
                          int layoutCount) {
    if (!categories) return;
    m_categories.assign(categories, categories + (categoryCount > 0 ? categoryCount : 0));
    m_layouts = layouts;
    m_layoutCount = layoutCount;
}

void QuoteShow::Init(int maxTexture, int depth, const std::string& fontFile, const std::string& face,
                     QuoteRecord* quotes, int count) {
    m_depth = depth;
    m_quotes = quotes;
    m_count = count;
    m_fontFile = fontFile;
    m_face = face;
    m_caption.reset(new CaptionRenderer());
    CaptionRenderer& c = *m_caption;
    c.SetFormat(DT_CENTER | DT_WORDBREAK);
    c.SetSize(quotes::kCaptionWidth, quotes::kCaptionHeight, maxTexture, depth);
    m_cols = c.Cols();
    m_rows = c.Rows();
    for (int i = 0; i < m_cols * m_rows; ++i) {
        std::unique_ptr<cTexture> t(new cTexture());
        t->CreateForDepth(c.TileWidth(), c.TileHeight(), depth, kTextureSurface, kCaptionMipLevels);
        m_captionTextures.push_back(t.release());
    }
    c.SetBackground(0);
    c.SetShadow(true);
    c.SetShadowOffset(2);
    c.SetBrightnessScale(10);
    c.SetAlphaFromBrightness(depth == 32);
    c.SetProgressive(true);
    m_captionReady = c.SetFont(fontFile.c_str(), face.c_str(), 24, 0, 700, 0xFFFFFF, 0, 0, 0, OUT_TT_PRECIS,
                               ANTIALIASED_QUALITY, 0);
    if (!m_captionReady) ZLOG(LogError, "Could not load the caption font " << fontFile << ": quotations are shown without text");
}

void QuoteShow::DeleteLoader() {
    delete m_loader;
    m_loader = nullptr;
    m_loading = false;
}

void QuoteShow::MakeCurrent() {
    if (!m_pending) return;
    if (m_caption && m_caption->IsDone()) m_caption->CopyRemainingTiles();
    m_current = m_pending;
    m_pending = nullptr;
    m_keptPicture = false;
    m_timeline = quotes::QuoteTimeline();
    ++m_shown;
    ZLOG(LogInfo, "Showing quote " << m_index << " with picture " << m_current->picture
                                   << (m_picture ? "" : " (no picture)"));
}

void QuoteShow::Update(int ms) {
    if (m_current) {
        if (m_caption && m_caption->IsDone()) m_caption->CopyRemainingTiles();
        if (quotes::AdvanceQuote(m_timeline, ms, m_duration)) {
            m_pauseTime = 0;
            m_current = nullptr;
        }
    } else {
        m_pauseTime += ms;
        if (!m_loader && !m_pending) {
            NextQuote();
        } else if (m_loader) {
            if (m_caption && m_caption->IsDone()) m_caption->CopyNextTile();
            if (m_loader->State() >= PictureLoader::Decoded && m_loader->ErrorCode() == PictureLoader::None)
                m_loader->Poll();
        }
        if (m_pauseTime >= m_interval) {
            if (m_loader && m_loader->State() >= PictureLoader::Decoded &&
                m_loader->ErrorCode() == PictureLoader::None) {
                delete m_picture;
                m_picture = m_loader->Finish();
                if (!m_picture)
                    ZLOG(LogError, "Could not make the texture of the picture " << m_loader->Name() << " (error "
                                                                                << m_loader->ErrorCode() << ")");
                DeleteLoader();
                MakeCurrent();
            } else if (!m_loader && m_pending && m_keptPicture) {
                MakeCurrent();
            }
        }
    }
    if (m_loader && m_loader->ErrorCode() != PictureLoader::None) {
        ZLOG(LogError, "Could not load the picture " << m_loader->Name() << " (error " << m_loader->ErrorCode()
                                                     << ")");
        DeleteLoader();
        MakeCurrent();
    }
}

void QuoteShow::NextQuote() {
    m_quoteCaption = false;
    m_index = m_order.Next(m_count);
    if (m_index < 0 || !m_quotes) return;
    QuoteRecord* quote = &m_quotes[m_index];
    m_pending = quote;
    m_timeline = quotes::QuoteTimeline();
    m_pauseTime = 0;
    // A quote passed over costs no caption; one without a picture entry is current at once.
    if (!StartPicture()) {
        m_pending = nullptr;
        return;
    }
    quote->BuildGrid(m_cols, m_rows, m_captionTextures.data());
    // A caption that cannot be rendered leaves the textures with the previous quote's text:
    // this quote is then drawn without one.
    m_quoteCaption = m_captionReady && m_caption->RenderText(quote->text.c_str(), m_captionTextures.data(),
                                                             int(m_captionTextures.size())) > 0;
}

bool QuoteShow::StartPicture() {
    m_loading = false;
    m_keptPicture = false;
    const std::string& name = m_pending->picture;
    if (m_picture && name == m_pictureName) {
        // The picture on the cloth is this quote's: keep it, load nothing.
        m_keptPicture = true;
        return true;
    }
    m_pictureName = name;
    // The picture leaves the cloth; its texture may carry the next one.
    std::unique_ptr<cTexture> spare;
    if (m_picture && !m_picture->Cells().empty()) {
        spare.reset(m_picture->Cells()[0].texture);
        m_picture->Cells()[0].texture = nullptr;
    }
    delete m_picture;
    m_picture = nullptr;
    const PictureLayout* layout = nullptr;
    for (int i = 0; i < m_layoutCount && !layout; ++i)
        if (m_layouts[i].name == name) layout = &m_layouts[i];
    if (!layout) {
        m_pictureName.clear();
        return false;
    }
    m_layout = *layout;
    for (BundleCategory* category : m_categories) {
        if (!category) continue;
        for (size_t i = 0; i < category->EntryCount(); ++i) {
            BundleEntry* entry = category->Entry(i);
            if (entry->Name() != name) continue;
            m_loader = new PictureLoader(category, entry, m_layout.width, m_layout.height, m_layout.name, m_depth,
                                         DeviceMaxTexture());
            m_loader->OfferTexture(std::move(spare));
            if (!m_loader->StartLoading()) {
                DeleteLoader();
                break;
            }
            m_loading = true;
            return true;
        }
    }
    // No such picture: the quote is shown at once, without a picture (and so not drawn).
    m_pictureName.clear();
    MakeCurrent();
    return true;
}

void QuoteShow::RedrawCaption() {
    // The tiles hold the caption of the quote waiting for its turn, else the current one's.
    const QuoteRecord* quote = m_pending ? m_pending : m_current;
    if (!quote || !m_captionReady || !m_caption) return;
    m_caption->RenderText(quote->text.c_str(), m_captionTextures.data(), int(m_captionTextures.size()));
}

void QuoteShow::Draw() {
    LPDIRECT3DDEVICE7 device = Device();
    if (!device || !m_current || !m_picture) return;
    const bool withText = m_quoteCaption && m_caption && m_caption->IsDone();
    if (m_quoteCaption && !withText) return;
    const float alpha = m_timeline.alpha;
    const float z = quotes::TextDepth(m_timeline.progress);

    Matrix4 world = kIdentityMatrix;
    AddTranslation(world, quotes::kPictureX, 0.0f, quotes::kTextStartDepth);
    Graphics()->SetWorldMatrix(world);
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    SetMaterialColour(1, 1, 1, alpha);

    if (!m_picture->Built()) m_picture->Build();
    const float l = m_picture->XMin(), r = m_picture->XMax(), t = m_picture->YMax(), b = m_picture->YMin();
    if (m_depth == 32 && m_shadow) {
        SetAlphaArgument(device, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE);
        SetBlend(device, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        device->SetTexture(0, m_shadow->Surface());
        quotes::FrameQuad frame[8];
        quotes::ShadowFrameQuads(l, r, t, b, quotes::kFrameWidth, frame);
        for (const quotes::FrameQuad& f : frame) {
            QuadVertex quad[4];
            for (int i = 0; i < 4; ++i) quad[i] = {f.x[i], f.y[i], 0, 0xFFFFFFFF, f.u[i], f.v[i]};
            DrawQuad(device, quad);
        }
    }

    SetBlend(device, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    SetAlphaArgument(device, D3DTA_DIFFUSE);
    SetMaterialColour(1, 1, 1, alpha);
    m_picture->Draw();

    SetMaterialColour(0, 0, 0, alpha);
    QuadVertex outline[5] = {{l, t, 0, 0xFFFFFFFF, 0, 0},
                             {l, b, 0, 0xFFFFFFFF, 0, 0},
                             {r, b, 0, 0xFFFFFFFF, 0, 0},
                             {r, t, 0, 0xFFFFFFFF, 0, 0},
                             {l, t, 0, 0xFFFFFFFF, 0, 0}};
    device->SetTexture(0, nullptr);
    Graphics()->BeginScene();
    device->DrawPrimitive(D3DPT_LINESTRIP, kQuadFvf, outline, 5, 0);
    Graphics()->EndScene();

    if (!withText) return;
    world = kIdentityMatrix;
    AddTranslation(world, m_current->header.textX - (z - quotes::kTextStartDepth) * 0.5f, 0.0f, z);
    Graphics()->SetWorldMatrix(world);
    SetMaterialColour(1, 1, 1, alpha);
    m_current->DrawText(m_shadow, alpha, m_depth);
}
