// CaptionRenderer: lays a quotation out with the shipped TrueType font, draws it with a drop
// shadow into an off-screen surface on a worker thread and copies that into the caller's
// tile textures, alpha taken from brightness. It owns its font (and the font file's entry
// in the font table), brush and drawing surface; the tile textures stay the caller's.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "quotes/WorkerThread.h"

class cTexture;

class CaptionRenderer : public WorkerThread {
public:
    CaptionRenderer() = default;
    ~CaptionRenderer() override;

    void SetFormat(UINT flags) { m_format = flags; }
    // Surface size, the device's largest texture side and the depth (16 or 32); works out
    // the tiles and remakes the drawing surface when a font exists. May throw cGameError.
    void SetSize(int width, int height, int maxTexture, int depth);
    void SetBackground(COLORREF colour);
    void SetAlphaFromBrightness(bool on) { m_alphaFromBrightness = on; }
    void SetBrightnessScale(float n);
    void SetShadow(bool on) { m_shadow = on; }
    void SetShadowOffset(int pixels) { m_shadowOffset = pixels; }
    void SetProgressive(bool on) { m_progressive = on; }
    int Cols() const { return m_cols; }
    int Rows() const { return m_rows; }
    int TileWidth() const { return m_tileWidth; }
    int TileHeight() const { return m_tileHeight; }

    // Adds the font file to the font table (once per file) and makes the font; a change of
    // text colour alone makes no new font. False when the file or the font cannot be had.
    bool SetFont(const char* fontFile, const char* face, int height, int width, int weight, COLORREF colour,
                 DWORD italic, DWORD underline, DWORD strikeOut, DWORD outputPrecision, DWORD quality,
                 DWORD pitchAndFamily);
    // Measures the text, then renders it on the worker thread into `textures` (count must be
    // Cols() x Rows()). The laid-out height in pixels, 0 when nothing was started.
    int RenderText(const char* text, cTexture** textures, int count);
    bool IsDone() const { return m_done; }
    // Main thread, after IsDone: copies the next tile; true while more tiles remain.
    bool CopyNextTile();
    // Copies every tile still waiting.
    void CopyRemainingTiles();
    bool TilesPending() const { return m_nextTile < m_cols * m_rows; }
    HFONT Font() const { return m_font; }
    // The surface the captions are drawn into (for the tests).
    cTexture* DrawingSurface() const { return m_surface; }

protected:
    DWORD Run() override;

private:
    void MakeSurface();
    void DrawCaption();
    void CopyTile(int i);
    void ApplyAlpha(cTexture& tile);

    cTexture** m_tiles = nullptr;
    int m_tileCount = 0;
    cTexture* m_surface = nullptr;
    int m_width = 256, m_height = 256, m_maxTexture = 256, m_depth = 16;
    int m_tileWidth = 256, m_tileHeight = 256, m_cols = 1, m_rows = 1;
    UINT m_format = DT_CENTER | DT_WORDBREAK;
    HFONT m_font = nullptr;
    std::string m_fontFile, m_face;
    // Start values no request can match, so that the first SetFont always makes a font.
    int m_fontHeight = 0, m_fontWidth = 0, m_fontWeight = 0;
    COLORREF m_fontColour = 0xFF00FF;
    DWORD m_italic = 9999, m_underline = 9999, m_strikeOut = 9999;
    DWORD m_outputPrecision = DWORD(-6666), m_quality = DWORD(-6666), m_pitchAndFamily = DWORD(-6666);
    COLORREF m_textColour = 0, m_background = 0;
    HBRUSH m_brush = nullptr;
    bool m_alphaFromBrightness = true;
    float m_brightnessScale = 1.0f;
    bool m_shadow = false;
    int m_shadowOffset = 2;
    COLORREF m_shadowColour = 0x0A0A0A;
    bool m_progressive = false;
    int m_nextTile = 9999999;
    std::atomic<bool> m_done{true};
    std::string m_text;
    Mutex m_mutex;
};
