// Screen grabs of the presented frame and BMP files of them.
#include "support/ScreenShot.h"

#include <ddraw.h>

#include <cstdio>

#include "gfx/GraphicsLayer.h"

namespace wt {

Shot GrabDC(HDC source, int x, int y, int w, int h) {
    Shot shot;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = memory ? CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (!bitmap) {
        if (memory) DeleteDC(memory);
        return shot;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, source, x, y, SRCCOPY);
    GdiFlush();
    shot.width = w;
    shot.height = h;
    shot.pixels.assign(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + w * h);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return shot;
}

Shot GrabPresented(int w, int h) {
    cGraphicsLayer* g = Graphics();
    if (g && g->IsFullScreen() && g->GetFrontBuffer()) {
        HDC dc = nullptr;
        if (SUCCEEDED(g->GetFrontBuffer()->GetDC(&dc))) {
            Shot s = GrabDC(dc, 0, 0, w, h);
            g->GetFrontBuffer()->ReleaseDC(dc);
            return s;
        }
    }
    HDC screen = GetDC(nullptr);
    RECT r = {0, 0, w, h};
    if (g) r = g->ScreenRect();
    Shot s = GrabDC(screen, r.left, r.top, w, h);
    ReleaseDC(nullptr, screen);
    return s;
}

bool SaveBmp(const Shot& shot, const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER head = {};
    head.biSize = sizeof(head);
    head.biWidth = shot.width;
    head.biHeight = -shot.height;
    head.biPlanes = 1;
    head.biBitCount = 32;
    const DWORD bytes = static_cast<DWORD>(shot.pixels.size() * 4);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(head);
    file.bfSize = file.bfOffBits + bytes;
    bool ok = std::fwrite(&file, sizeof(file), 1, f) == 1 && std::fwrite(&head, sizeof(head), 1, f) == 1 &&
              std::fwrite(shot.pixels.data(), 1, bytes, f) == bytes;
    return std::fclose(f) == 0 && ok;
}

}  // namespace wt
