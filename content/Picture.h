// Picture: decodes a GIF, JPEG, PNG or other picture file from memory or from a path with the
// platform's picture loader, knows its size in screen pixels, draws any rectangle of it into
// a device context, and makes a 32-bit bottom-up DIB section of it on demand. The picture
// owns the decoded object and the bitmap; GetBits' memory stays valid until Release, the
// next load or destruction. One thread at a time.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstddef>
#include <cstdint>

class Picture {
public:
    Picture();
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Decodes a whole picture file held in memory; false when it is not a picture.
    bool LoadFromMemory(const void* bytes, size_t size);
    // Decodes the picture file at an ANSI path (at most 259 characters).
    bool LoadFromFile(const char* path);

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    bool Loaded() const { return m_picture != nullptr; }

    // Draws the source rectangle (picture pixels, origin top-left) stretched into
    // (x, y, cx, cy) of the context. E_POINTER when nothing is loaded.
    HRESULT Render(HDC dc, int x, int y, int cx, int cy, int srcX, int srcY, int srcCx, int srcCy);

    // The picture as a width x height 32-bit DIB section, rows bottom-up, pixels B, G, R, 0.
    // Made once; null when nothing is loaded or it cannot be made.
    HBITMAP GetBitmap();
    // The bitmap's pixels, making the bitmap first when needed; null on failure.
    void* GetBits();

    // Drops the decoded picture and (when owned) the bitmap.
    void Release();

private:
    bool FinishLoad(IPicture* picture, HRESULT result, int32_t pixelWidth, int32_t pixelHeight);

    IPicture* m_picture = nullptr;
    int32_t m_width = 0;
    int32_t m_height = 0;
    OLE_XSIZE_HIMETRIC m_naturalWidth = 0;
    OLE_YSIZE_HIMETRIC m_naturalHeight = 0;
    int32_t m_dpiX = 96;
    int32_t m_dpiY = 96;
    HDC m_memoryDC = nullptr;
    HBITMAP m_bitmap = nullptr;
    void* m_bits = nullptr;
    bool m_ownsBitmap = true;
};
