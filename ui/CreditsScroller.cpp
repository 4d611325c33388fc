// The about box's credits animation (see CreditsScroller.h).
#include "ui/CreditsScroller.h"

#include <mmsystem.h>

#include "diag/Log.h"

CreditsScroller::~CreditsScroller() {
    Release();
    if (m_font) DeleteObject(m_font);
}

void CreditsScroller::Release() {
    m_running = false;
    if (m_memoryDC) {
        if (m_oldFont) SelectObject(m_memoryDC, m_oldFont);
        if (m_oldBitmap) SelectObject(m_memoryDC, m_oldBitmap);
        DeleteDC(m_memoryDC);
    }
    if (m_bitmap) DeleteObject(m_bitmap);
    if (m_windowDC) ReleaseDC(m_target, m_windowDC);
    m_memoryDC = nullptr;
    m_bitmap = nullptr;
    m_oldBitmap = nullptr;
    m_oldFont = nullptr;
    m_windowDC = nullptr;
}

bool CreditsScroller::Attach(HWND target) {
    Release();
    m_target = target;
    GetClientRect(target, &m_client);
    m_windowDC = GetDC(target);
    if (!m_windowDC) {
        ZLOG(LogError, "Credits: GetDC failed, error " << GetLastError());
        return false;
    }
    m_memoryDC = CreateCompatibleDC(m_windowDC);
    m_bitmap = CreateCompatibleBitmap(m_windowDC, m_client.right - m_client.left, m_client.bottom - m_client.top);
    if (!m_memoryDC || !m_bitmap) {
        ZLOG(LogError, "Credits: no off-screen bitmap, error " << GetLastError());
        return false;
    }
    m_oldBitmap = SelectObject(m_memoryDC, m_bitmap);
    SetBkMode(m_memoryDC, TRANSPARENT);
    SetTextColor(m_memoryDC, m_textColour);
    if (m_font) m_oldFont = SelectObject(m_memoryDC, m_font);
    LARGE_INTEGER frequency;
    m_highResolution = QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0;
    m_frequency = m_highResolution ? frequency.QuadPart : 0;
    return true;
}

void CreditsScroller::SetFont(HFONT font) {
    if (m_memoryDC && font) {
        HGDIOBJ previous = SelectObject(m_memoryDC, font);
        if (!m_oldFont) m_oldFont = previous;
    }
    if (m_font && m_font != font) DeleteObject(m_font);
    m_font = font;
}

void CreditsScroller::SetTextColour(COLORREF colour) {
    m_textColour = colour;
    if (m_memoryDC) SetTextColor(m_memoryDC, colour);
}

void CreditsScroller::AddLine(const std::string& text) { m_lines.push_back(text); }

int64_t CreditsScroller::Now() const {
    if (m_highResolution) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return now.QuadPart;
    }
    return timeGetTime();
}

void CreditsScroller::Start() {
    m_running = true;
    m_motion.Start(m_client.right - m_client.left, m_client.bottom - m_client.top, int(m_lines.size()));
    m_lastTime = Now();
}

void CreditsScroller::DrawFrame(HDC dc) {
    if (!m_running || !m_memoryDC || !dc) return;
    const int64_t now = Now();
    const int64_t elapsed = m_highResolution ? CreditsMotion::ElapsedMs(now, m_lastTime, m_frequency)
                                             : static_cast<int64_t>(static_cast<DWORD>(now - m_lastTime));
    m_lastTime = now;
    const float frames = CreditsMotion::FramesIn(elapsed);
    const int width = m_motion.Width();
    const int height = m_motion.Height();

    RECT all = {0, 0, width, height};
    FillRect(m_memoryDC, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    for (int i = CreditsMotion::kLayers - 1; i >= 0; --i) {
        const int grey = CreditsMotion::LayerGrey(i);
        for (const StarPoint& star : m_motion.Stars(i))
            SetPixel(m_memoryDC, int(star.x), int(star.y), RGB(grey, grey, grey));
    }
    const std::vector<float>& tops = m_motion.LineTops();
    for (size_t k = 0; k < m_lines.size(); ++k) {
        if (!m_motion.LineVisible(int(k))) continue;
        RECT line = {0, int(tops[k]), width, int(tops[k]) + CreditsMotion::kLineHeight};
        DrawTextA(m_memoryDC, m_lines[k].c_str(), -1, &line, DT_CENTER | DT_NOPREFIX | DT_SINGLELINE);
    }
    m_motion.Advance(frames);
    BitBlt(dc, 0, 0, width, height, m_memoryDC, 0, 0, SRCCOPY);
}
