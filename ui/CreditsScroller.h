// The about box's credits animation: a star field and rising credit lines drawn into an
// off-screen bitmap and copied to the target window in one go. Windows only. The scroller
// owns its memory device context, its bitmap and the font handed to SetFont.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/CreditsMotion.h"

class CreditsScroller {
public:
    CreditsScroller() = default;
    ~CreditsScroller();
    CreditsScroller(const CreditsScroller&) = delete;
    CreditsScroller& operator=(const CreditsScroller&) = delete;

    // Draws into `target`'s client area from now on; false when no off-screen bitmap
    // could be made.
    bool Attach(HWND target);
    void SetFont(HFONT font);
    void SetTextColour(COLORREF colour);
    void AddLine(const std::string& text);
    void Start();
    // Advances by the time since the previous frame and copies the picture to `dc`.
    void DrawFrame(HDC dc);
    void Stop() { m_running = false; }

    HDC WindowDC() const { return m_windowDC; }
    bool Running() const { return m_running; }

private:
    int64_t Now() const;
    void Release();

    HWND m_target = nullptr;
    RECT m_client = {};
    HDC m_windowDC = nullptr;
    HDC m_memoryDC = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_oldBitmap = nullptr;
    HFONT m_font = nullptr;
    HGDIOBJ m_oldFont = nullptr;
    COLORREF m_textColour = RGB(160, 168, 248);
    bool m_highResolution = false;
    int64_t m_frequency = 0;
    int64_t m_lastTime = 0;
    std::vector<std::string> m_lines;
    CreditsMotion m_motion;
    bool m_running = false;
};
