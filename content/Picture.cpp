// Picture: decoding through the platform's OLE picture loader, with the Windows Imaging
// Component as second decoder for what the OLE loader refuses (PNG on Windows itself);
// sizing, drawing and the 32-bit DIB section. Owns the picture object and the bitmap.
#include "content/Picture.h"

#include <wincodec.h>

#include <cstring>
#include <limits>

#include "gfx/Himetric.h"

namespace {
// Releases a COM interface at the end of a scope.
template <typename T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

// COM for the length of one load: loading from a path goes through URL monikers and the
// second decoder is a COM object, and the quote show loads on a thread of its own. The
// picture objects made do not depend on it afterwards.
struct ScopedCom {
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~ScopedCom() {
        if (SUCCEEDED(init)) CoUninitialize();
    }
};

// Decodes with WIC into a 32-bit bitmap wrapped in a picture object that owns it. Either
// `path` or (`bytes`, `size`) names the picture. Null when WIC cannot decode it.
IPicture* DecodeWithWic(const wchar_t* path, const void* bytes, size_t size, int32_t& width, int32_t& height) {
    IPicture* picture = nullptr;
    {
        ComPtr<IWICImagingFactory> factory;
        ComPtr<IWICStream> stream;
        ComPtr<IWICBitmapDecoder> decoder;
        ComPtr<IWICBitmapFrameDecode> frame;
        ComPtr<IWICFormatConverter> converter;
        UINT w = 0, h = 0;
        bool ok = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)));
        if (ok && path) {
            ok = SUCCEEDED(factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ,
                                                               WICDecodeMetadataCacheOnDemand, &decoder));
        } else if (ok) {
            ok = bytes && size > 0 && size <= std::numeric_limits<DWORD>::max() &&
                 SUCCEEDED(factory->CreateStream(&stream)) &&
                 SUCCEEDED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(bytes)), DWORD(size))) &&
                 SUCCEEDED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand,
                                                            &decoder));
        }
        ok = ok && SUCCEEDED(decoder->GetFrame(0, &frame)) &&
             SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
             SUCCEEDED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                             nullptr, 0.0, WICBitmapPaletteTypeCustom)) &&
             SUCCEEDED(converter->GetSize(&w, &h));
        // 32767 keeps width x height x 4 within 32 bits.
        ok = ok && w > 0 && h > 0 && w <= 32767 && h <= 32767;
        if (ok) {
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = LONG(w);
            info.bmiHeader.biHeight = -LONG(h);  // top-down, as WIC delivers rows
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            void* bits = nullptr;
            HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
            if (bitmap && bits && SUCCEEDED(converter->CopyPixels(nullptr, w * 4, w * 4 * h, static_cast<BYTE*>(bits)))) {
                PICTDESC desc{};
                desc.cbSizeofstruct = sizeof desc;
                desc.picType = PICTYPE_BITMAP;
                desc.bmp.hbitmap = bitmap;
                if (SUCCEEDED(OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, reinterpret_cast<void**>(&picture))) &&
                    picture) {
                    bitmap = nullptr;  // the picture object owns it now
                    width = int32_t(w);
                    height = int32_t(h);
                } else {
                    picture = nullptr;
                }
            }
            if (bitmap) DeleteObject(bitmap);
        }
    }
    return picture;
}
}  // namespace

Picture::Picture() = default;

Picture::~Picture() { Release(); }

void Picture::Release() {
    if (m_picture) {
        m_picture->Release();
        m_picture = nullptr;
    }
    if (m_memoryDC) {
        DeleteDC(m_memoryDC);
        m_memoryDC = nullptr;
    }
    if (m_bitmap && m_ownsBitmap) DeleteObject(m_bitmap);
    m_bitmap = nullptr;
    m_bits = nullptr;
    m_width = m_height = 0;
    m_naturalWidth = m_naturalHeight = 0;
}

bool Picture::FinishLoad(IPicture* picture, HRESULT result, int32_t pixelWidth, int32_t pixelHeight) {
    if (!picture) return false;
    m_picture = picture;
    m_picture->get_Width(&m_naturalWidth);
    m_picture->get_Height(&m_naturalHeight);
    HDC screen = GetDC(nullptr);
    if (screen) {
        m_dpiX = GetDeviceCaps(screen, LOGPIXELSX);
        m_dpiY = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    if (pixelWidth > 0 && pixelHeight > 0) {
        m_width = pixelWidth;
        m_height = pixelHeight;
    } else {
        m_width = HimetricToPixels(m_naturalWidth, m_dpiX);
        m_height = HimetricToPixels(m_naturalHeight, m_dpiY);
    }
    // A size that does not come out positive cannot be drawn or turned into a bitmap.
    if (FAILED(result) || m_width <= 0 || m_height <= 0) {
        Release();
        return false;
    }
    return true;
}

bool Picture::LoadFromMemory(const void* bytes, size_t size) {
    // Whatever fails below, the previous picture is gone: a failed load leaves the object empty.
    Release();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return false;
    void* locked = bytes ? GlobalLock(block) : nullptr;
    if (!locked) {
        GlobalFree(block);
        return false;
    }
    std::memcpy(locked, bytes, size);
    GlobalUnlock(block);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block, FALSE, &stream)) || !stream) {
        GlobalFree(block);
        return false;
    }
    ScopedCom com;
    IPicture* picture = nullptr;
    const LONG streamSize = size > LONG(std::numeric_limits<LONG>::max()) ? std::numeric_limits<LONG>::max() : LONG(size);
    HRESULT result = OleLoadPicture(stream, streamSize, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture));
    stream->Release();
    GlobalFree(block);
    if (picture) return FinishLoad(picture, result, 0, 0);
    int32_t w = 0, h = 0;
    picture = DecodeWithWic(nullptr, bytes, size, w, h);
    return FinishLoad(picture, S_OK, w, h);
}

bool Picture::LoadFromFile(const char* path) {
    Release();
    if (!path) return false;
    // A longer path would be cut short and could name another file.
    if (std::strlen(path) >= MAX_PATH) return false;
    char narrow[MAX_PATH];
    std::strcpy(narrow, path);
    wchar_t wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide, MAX_PATH) == 0) return false;
    ScopedCom com;
    IPicture* picture = nullptr;
    HRESULT result = OleLoadPicturePath(wide, nullptr, 0, 0, IID_IPicture, reinterpret_cast<void**>(&picture));
    if (picture) return FinishLoad(picture, result, 0, 0);
    int32_t w = 0, h = 0;
    picture = DecodeWithWic(wide, nullptr, 0, w, h);
    return FinishLoad(picture, S_OK, w, h);
}

HRESULT Picture::Render(HDC dc, int x, int y, int cx, int cy, int srcX, int srcY, int srcCx, int srcCy) {
    if (!m_picture) return E_POINTER;
    const HimetricRect src = SourceRectToHimetric(srcX, srcY, srcCx, srcCy, m_naturalHeight, m_dpiX, m_dpiY);
    return m_picture->Render(dc, x, y, cx, cy, src.x, src.y, src.cx, src.cy, nullptr);
}

HBITMAP Picture::GetBitmap() {
    if (!m_picture) return nullptr;
    if (m_bitmap) return m_bitmap;
    HDC screen = GetDC(nullptr);
    m_memoryDC = CreateCompatibleDC(screen);
    if (screen) ReleaseDC(nullptr, screen);
    if (!m_memoryDC) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = m_width;
    info.bmiHeader.biHeight = m_height;  // positive: bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    m_bitmap = CreateDIBSection(m_memoryDC, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
    if (!m_bitmap) {
        DeleteDC(m_memoryDC);
        m_memoryDC = nullptr;
        m_bits = nullptr;
        return nullptr;
    }
    HGDIOBJ previous = SelectObject(m_memoryDC, m_bitmap);
    Render(m_memoryDC, 0, 0, m_width, m_height, 0, 0, m_width, m_height);
    SelectObject(m_memoryDC, previous);
    DeleteDC(m_memoryDC);
    m_memoryDC = nullptr;
    GdiFlush();
    return m_bitmap;
}

void* Picture::GetBits() {
    if (!m_bits) GetBitmap();
    return m_bits;
}
