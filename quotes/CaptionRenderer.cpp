// The caption renderer: font, measuring, drawing on the worker thread and the tile copy.
#include "quotes/CaptionRenderer.h"

#include <ddraw.h>

#include <memory>

#include "gfx/Texture.h"
#include "quotes/QuoteRules.h"

namespace {

// The caption font is added for this process only (FR_PRIVATE), so that no other program
// lists it. AddFontResourceEx came with Windows 2000: Windows 95/98/ME add it for everyone.
// Both functions have this form (BOOL is an int).
using FontResourceExFn = int(WINAPI*)(LPCSTR, DWORD, PVOID);

FontResourceExFn FontFunction(const char* name) {
    HMODULE gdi = GetModuleHandleA("gdi32.dll");
    return gdi ? reinterpret_cast<FontResourceExFn>(reinterpret_cast<void*>(GetProcAddress(gdi, name))) : nullptr;
}

bool AddPrivateFont(const std::string& file) {
    if (FontResourceExFn add = FontFunction("AddFontResourceExA")) return add(file.c_str(), FR_PRIVATE, nullptr) != 0;
    return AddFontResourceA(file.c_str()) != 0;
}

void RemovePrivateFont(const std::string& file) {
    if (FontResourceExFn remove = FontFunction("RemoveFontResourceExA")) {
        remove(file.c_str(), FR_PRIVATE, nullptr);
        return;
    }
    RemoveFontResourceA(file.c_str());
}

}  // namespace

CaptionRenderer::~CaptionRenderer() {
    Join();
    if (m_font) DeleteObject(m_font);
    if (m_brush) DeleteObject(m_brush);
    delete m_surface;
    // The font file was added for this renderer only; leave the font table as it was.
    if (!m_fontFile.empty()) RemovePrivateFont(m_fontFile);
}

void CaptionRenderer::SetSize(int width, int height, int maxTexture, int depth) {
    m_width = width;
    m_height = height;
    m_maxTexture = maxTexture;
    m_depth = depth;
    m_tileWidth = quotes::CaptionTileSide(width, maxTexture);
    m_tileHeight = quotes::CaptionTileSide(height, maxTexture);
    m_cols = m_tileWidth > 0 ? width / m_tileWidth : 0;
    m_rows = m_tileHeight > 0 ? height / m_tileHeight : 0;
    if (m_font) MakeSurface();
}

void CaptionRenderer::SetBackground(COLORREF colour) {
    m_background = colour;
    if (m_font) MakeSurface();
}

void CaptionRenderer::SetBrightnessScale(float n) { m_brightnessScale = quotes::BrightnessScale(n); }

void CaptionRenderer::MakeSurface() {
    delete m_surface;
    m_surface = nullptr;
    std::unique_ptr<cTexture> surface(new cTexture());
    // Drawn in the tiles' own format (not the display's): the text keeps its smooth edges
    // and its shadow's exact strength, and the copy into the tiles converts nothing.
    surface->CreateForDepth(m_width, m_height, m_depth, kPlainSurfaceInFormat, 1);
    m_surface = surface.release();
}

bool CaptionRenderer::SetFont(const char* fontFile, const char* face, int height, int width, int weight,
                              COLORREF colour, DWORD italic, DWORD underline, DWORD strikeOut,
                              DWORD outputPrecision, DWORD quality, DWORD pitchAndFamily) {
    if (!fontFile || !face) return false;
    m_textColour = colour;
    if (m_fontFile != fontFile) {
        if (!m_fontFile.empty()) RemovePrivateFont(m_fontFile);
        m_fontFile.clear();
        if (!AddPrivateFont(fontFile)) return false;
        m_fontFile = fontFile;
        if (m_font) DeleteObject(m_font);
        m_font = nullptr;
    } else if (m_face != face || m_fontHeight != height || m_fontWidth != width || m_fontWeight != weight ||
               m_italic != italic || m_underline != underline || m_strikeOut != strikeOut ||
               m_outputPrecision != outputPrecision || m_quality != quality ||
               m_pitchAndFamily != pitchAndFamily) {
        if (m_font) DeleteObject(m_font);
        m_font = nullptr;
    } else if (m_font) {
        if (!m_surface) MakeSurface();
        m_fontColour = colour;
        return true;
    }
    m_font = CreateFontA(height, width, 0, 0, weight, italic, underline, strikeOut, ANSI_CHARSET, outputPrecision,
                         CLIP_DEFAULT_PRECIS, quality, pitchAndFamily, face);
    m_face = face;
    m_fontHeight = height;
    m_fontWidth = width;
    m_fontWeight = weight;
    m_fontColour = colour;
    m_italic = italic;
    m_underline = underline;
    m_strikeOut = strikeOut;
    m_outputPrecision = outputPrecision;
    m_quality = quality;
    m_pitchAndFamily = pitchAndFamily;
    if (!m_font) return false;
    if (!m_surface) MakeSurface();
    return true;
}

int CaptionRenderer::RenderText(const char* text, cTexture** textures, int count) {
    if (!m_font || !m_surface || !m_surface->Surface() || !textures || !text || !*text) return 0;
    if (count != m_cols * m_rows) return 0;
    // The previous job may still be running: it owns the surface until it ends.
    Join();
    m_tileCount = count;
    m_tiles = textures;
    HDC dc = nullptr;
    if (FAILED(m_surface->Surface()->GetDC(&dc))) return 0;
    HGDIOBJ oldFont = SelectObject(dc, m_font);
    RECT r = {m_shadowOffset, m_shadowOffset, m_width, m_height};
    const int height = DrawTextA(dc, text, -1, &r, m_format | DT_CALCRECT);
    SelectObject(dc, oldFont);
    m_surface->Surface()->ReleaseDC(dc);
    m_text = text;
    m_nextTile = 9999999;
    m_done = false;
    if (!StartBelowNormal(*this)) {
        m_done = true;
        return 0;
    }
    return height;
}

DWORD CaptionRenderer::Run() {
    DrawCaption();
    if (m_cols < 2 && m_rows < 2) {
        CopyTile(0);
        m_nextTile = 1;
    } else if (m_progressive) {
        m_nextTile = 0;
    } else {
        for (int i = 0; i < m_cols * m_rows; ++i) CopyTile(i);
        m_nextTile = m_cols * m_rows;
    }
    m_mutex.Lock();
    m_done = true;
    m_mutex.Unlock();
    return 0;
}

void CaptionRenderer::DrawCaption() {
    if (!m_surface || !m_surface->Surface()) return;
    HDC dc = nullptr;
    if (FAILED(m_surface->Surface()->GetDC(&dc))) return;
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, m_font);
    HBRUSH brush = CreateSolidBrush(m_background);
    if (brush) {
        if (m_brush) DeleteObject(m_brush);
        m_brush = brush;
    }
    HGDIOBJ oldBrush = SelectObject(dc, m_brush);
    PatBlt(dc, 0, 0, m_width, m_height, PATCOPY);
    if (m_shadow) {
        SetTextColor(dc, m_shadowColour);
        RECT shadow = {m_shadowOffset, m_shadowOffset, m_width, m_height};
        DrawTextA(dc, m_text.c_str(), -1, &shadow, m_format);
        SetTextColor(dc, m_textColour);
        RECT front = {0, 0, m_width - m_shadowOffset, m_height - m_shadowOffset};
        DrawTextA(dc, m_text.c_str(), -1, &front, m_format);
    } else {
        SetTextColor(dc, m_textColour);
        RECT all = {0, 0, m_width, m_height};
        DrawTextA(dc, m_text.c_str(), -1, &all, m_format);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldFont);
    m_surface->Surface()->ReleaseDC(dc);
}

// Tile i is grid cell i, whose rows count from the bottom; the surface's rows count from
// the top, so the bottom grid row takes the surface's bottom strip and the caption stays upright.
void CaptionRenderer::CopyTile(int i) {
    if (!m_tiles || i < 0 || i >= m_tileCount || !m_surface || !m_surface->Surface()) return;
    cTexture* tile = m_tiles[i];
    if (!tile || !tile->Surface()) return;
    const int gridRow = i / m_cols, col = i - gridRow * m_cols;
    const int surfaceRow = m_rows - 1 - gridRow;
    RECT source = {col * m_tileWidth, surfaceRow * m_tileHeight, (col + 1) * m_tileWidth,
                   (surfaceRow + 1) * m_tileHeight};
    if (FAILED(tile->Surface()->Blt(nullptr, m_surface->Surface(), &source, DDBLT_WAIT, nullptr))) return;
    if (m_alphaFromBrightness) ApplyAlpha(*tile);
    tile->GenerateMipmaps();
}

bool CaptionRenderer::CopyNextTile() {
    const int i = m_nextTile;
    if (i > m_cols * m_rows - 1) return false;
    CopyTile(i);
    m_nextTile = i + 1;
    return m_nextTile < m_cols * m_rows;
}

void CaptionRenderer::CopyRemainingTiles() {
    while (CopyNextTile()) {
    }
}

void CaptionRenderer::ApplyAlpha(cTexture& tile) {
    DDSURFACEDESC2 desc;
    ZeroMemory(&desc, sizeof desc);
    desc.dwSize = sizeof desc;
    LPDIRECTDRAWSURFACE7 surface = tile.Surface();
    if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return;
    const int bytes = int(desc.ddpfPixelFormat.dwRGBBitCount / 8);
    const float divisor = quotes::BrightnessDivisor(m_brightnessScale);
    if (bytes == 4) {
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            BYTE* p = static_cast<BYTE*>(desc.lpSurface) + desc.lPitch * LONG(y);
            for (DWORD x = 0; x < desc.dwWidth; ++x, p += bytes)
                p[3] = quotes::AlphaFromBrightness(p[0] + p[1] + p[2], divisor);
        }
    }
    surface->Unlock(nullptr);
}
