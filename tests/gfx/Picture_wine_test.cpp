// Picture decoding under Wine: GIF, PNG, JPEG and BMP through the OLE loader, TIFF through the
// second decoder, from files and from memory, on the main thread and on a worker thread;
// pixel sizes, the bottom-up 32-bit bitmap, drawing of source rectangles, and files that
// are not pictures.
#include "content/Picture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "GfxTestSupport.h"

using gfxtest::ColourNear;
using gfxtest::Hex;

namespace {
constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00, kWhite = 0xFFFFFF;

std::string ImagePath(const std::string& name) {
    std::string path = std::string("Z:") + GFX_TEST_IMAGES + "/" + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::vector<char> ReadBytes(const std::string& name) {
    std::ifstream in(ImagePath(name), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Pixel (x, y), y from the top, of a picture's bottom-up 32-bit bitmap, as 0xRRGGBB.
uint32_t BitmapPixel(Picture& picture, int x, int y) {
    const auto* bits = static_cast<const uint8_t*>(picture.GetBits());
    if (!bits) return 0xFFFFFFFFu;
    const uint8_t* p = bits + (size_t(picture.Height() - 1 - y) * picture.Width() + x) * 4;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// The four quarters of the test picture, sampled away from the edges (JPEG blurs them).
void ExpectQuadColours(Picture& picture, int tolerance, const std::string& what) {
    ASSERT_EQ(picture.Width(), 64) << what;
    ASSERT_EQ(picture.Height(), 48) << what;
    const struct {
        int x, y;
        uint32_t colour;
    } samples[] = {{8, 6, kRed}, {56, 6, kBlue}, {8, 42, kGreen}, {56, 42, kWhite}, {24, 18, kRed}, {40, 30, kWhite}};
    for (const auto& s : samples) {
        const uint32_t got = BitmapPixel(picture, s.x, s.y);
        EXPECT_TRUE(ColourNear(got, s.colour, tolerance))
            << what << " at (" << s.x << "," << s.y << "): got " << Hex(got) << ", expected " << Hex(s.colour);
    }
}

// A top-down 32-bit DIB section the tests draw into.
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint32_t* bits = nullptr;
    int width, height;
    Canvas(int w, int h) : width(w), height(h) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        old = SelectObject(dc, bitmap);
        for (int i = 0; i < w * h; ++i) bits[i] = 0x00808080;
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    uint32_t At(int x, int y) {
        GdiFlush();
        return bits[y * width + x] & 0xFFFFFF;
    }
};
}  // namespace

TEST(Picture, DecodesEachFormatFromAFile) {
    const struct {
        const char* name;
        int tolerance;
    } files[] = {{"quad.gif", 0}, {"quad.png", 0}, {"quad24.png", 0}, {"quad.jpg", 24}, {"quad.bmp", 0}, {"quad.tif", 0}};
    for (const auto& f : files) {
        Picture picture;
        ASSERT_TRUE(picture.LoadFromFile(ImagePath(f.name).c_str())) << f.name;
        EXPECT_TRUE(picture.Loaded());
        ExpectQuadColours(picture, f.tolerance, f.name);
    }
}

TEST(Picture, DecodesEachFormatFromMemory) {
    const struct {
        const char* name;
        int tolerance;
    } files[] = {{"quad.gif", 0}, {"quad.png", 0}, {"quad.jpg", 24}, {"quad.bmp", 0}, {"quad.tif", 0}};
    for (const auto& f : files) {
        const std::vector<char> bytes = ReadBytes(f.name);
        ASSERT_FALSE(bytes.empty()) << f.name;
        Picture picture;
        ASSERT_TRUE(picture.LoadFromMemory(bytes.data(), bytes.size())) << f.name;
        ExpectQuadColours(picture, f.tolerance, f.name);
    }
}

TEST(Picture, DecodesOnAWorkerThread) {
    // The quote show decodes its pictures on a thread of its own, where nobody set up COM.
    for (const char* name : {"quad.jpg", "quad.tif"}) {
        const std::vector<char> bytes = ReadBytes(name);
        bool loaded = false;
        int width = 0;
        std::thread worker([&] {
            Picture picture;
            loaded = picture.LoadFromMemory(bytes.data(), bytes.size());
            width = picture.Width();
            loaded = loaded && picture.GetBits() != nullptr;
        });
        worker.join();
        EXPECT_TRUE(loaded) << name;
        EXPECT_EQ(width, 64) << name;
    }
}

TEST(Picture, SizeComesFromTheHimetricExtentAtScreenResolution) {
    Picture picture;
    ASSERT_TRUE(picture.LoadFromFile(ImagePath("tall.png").c_str()));
    EXPECT_EQ(picture.Width(), 96);
    EXPECT_EQ(picture.Height(), 192);
    HBITMAP bitmap = picture.GetBitmap();
    ASSERT_NE(bitmap, nullptr);
    DIBSECTION section{};
    ASSERT_EQ(GetObjectA(bitmap, sizeof section, &section), int(sizeof section));
    EXPECT_EQ(section.dsBm.bmWidth, 96);
    EXPECT_EQ(section.dsBm.bmHeight, 192);
    EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(section.dsBm.bmWidthBytes, 96 * 4);
    EXPECT_EQ(section.dsBmih.biHeight, 192);  // positive: bottom-up
    EXPECT_EQ(section.dsBmih.biCompression, DWORD(BI_RGB));
    // The first row in memory is the picture's bottom row (magenta); the last is its top (yellow).
    const auto* bits = static_cast<const uint8_t*>(picture.GetBits());
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(bits[0], 0xFF);  // blue
    EXPECT_EQ(bits[1], 0x00);  // green
    EXPECT_EQ(bits[2], 0xFF);  // red
    const uint8_t* top = bits + size_t(191) * 96 * 4;
    EXPECT_EQ(top[0], 0x00);
    EXPECT_EQ(top[1], 0xFF);
    EXPECT_EQ(top[2], 0xFF);
}

TEST(Picture, BitmapIsMadeOnceAndBitsFollowIt) {
    Picture picture;
    ASSERT_TRUE(picture.LoadFromFile(ImagePath("quad.gif").c_str()));
    void* bits = picture.GetBits();  // makes the bitmap first
    ASSERT_NE(bits, nullptr);
    HBITMAP bitmap = picture.GetBitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(picture.GetBitmap(), bitmap);
    EXPECT_EQ(picture.GetBits(), bits);
}

TEST(Picture, SecondLoadReplacesTheFirst) {
    Picture picture;
    ASSERT_TRUE(picture.LoadFromFile(ImagePath("quad.png").c_str()));
    HBITMAP first = picture.GetBitmap();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(picture.LoadFromFile(ImagePath("tall.png").c_str()));
    EXPECT_EQ(picture.Width(), 96);
    EXPECT_EQ(picture.Height(), 192);
    // The first bitmap was deleted with the first picture.
    BITMAP info;
    EXPECT_EQ(GetObjectA(first, sizeof info, &info), 0);
    EXPECT_TRUE(ColourNear(BitmapPixel(picture, 10, 10), 0xFFFF00, 0));
    EXPECT_TRUE(ColourNear(BitmapPixel(picture, 10, 150), 0xFF00FF, 0));
}

TEST(Picture, RenderDrawsSourceRectangles) {
    Picture picture;
    ASSERT_TRUE(picture.LoadFromFile(ImagePath("quad.png").c_str()));
    {
        Canvas canvas(64, 48);
        EXPECT_EQ(picture.Render(canvas.dc, 0, 0, 64, 48, 0, 0, 64, 48), S_OK);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                const uint32_t want = y < 24 ? (x < 32 ? kRed : kBlue) : (x < 32 ? kGreen : kWhite);
                ASSERT_EQ(canvas.At(x, y), want) << "unscaled copy at " << x << "," << y;
            }
    }
    {
        // The right half only, into a canvas of that size.
        Canvas canvas(32, 48);
        picture.Render(canvas.dc, 0, 0, 32, 48, 32, 0, 32, 48);
        EXPECT_EQ(canvas.At(2, 2), kBlue);
        EXPECT_EQ(canvas.At(29, 2), kBlue);
        EXPECT_EQ(canvas.At(2, 45), kWhite);
        EXPECT_EQ(canvas.At(29, 45), kWhite);
    }
    {
        // The bottom strip (as the flag's row 0 takes it), stretched twice as wide.
        Canvas canvas(128, 24);
        picture.Render(canvas.dc, 0, 0, 128, 24, 0, 24, 64, 24);
        EXPECT_EQ(canvas.At(4, 4), kGreen);
        EXPECT_EQ(canvas.At(60, 20), kGreen);
        EXPECT_EQ(canvas.At(68, 4), kWhite);
        EXPECT_EQ(canvas.At(124, 20), kWhite);
    }
    {
        // Drawn at an offset: the rest of the canvas is untouched.
        Canvas canvas(100, 100);
        picture.Render(canvas.dc, 30, 40, 64, 48, 0, 0, 64, 48);
        EXPECT_EQ(canvas.At(10, 10), 0x808080u);
        EXPECT_EQ(canvas.At(32, 42), kRed);
        EXPECT_EQ(canvas.At(92, 86), kWhite);
    }
}

TEST(Picture, FilesThatAreNotPicturesFailCleanly) {
    Picture picture;
    const std::vector<char> text = ReadBytes("notapicture.jpg");
    ASSERT_FALSE(text.empty());
    EXPECT_FALSE(picture.LoadFromMemory(text.data(), text.size()));
    EXPECT_FALSE(picture.Loaded());
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_EQ(picture.Height(), 0);
    EXPECT_EQ(picture.GetBitmap(), nullptr);
    EXPECT_EQ(picture.GetBits(), nullptr);
    EXPECT_EQ(picture.Render(GetDC(nullptr), 0, 0, 1, 1, 0, 0, 1, 1), E_POINTER);
    EXPECT_FALSE(picture.LoadFromFile(ImagePath("notapicture.jpg").c_str()));
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_EQ(picture.GetBitmap(), nullptr);
}

TEST(Picture, DamagedPicturesNeverCrash) {
    for (const char* name : {"quad.gif", "quad.png", "quad.jpg", "quad.tif", "quad.bmp"}) {
        const std::vector<char> bytes = ReadBytes(name);
        // Cut short at several places, and with bytes flipped in the middle.
        for (size_t keep : {size_t(1), size_t(10), size_t(30), bytes.size() / 2, bytes.size() - 1}) {
            Picture picture;
            const bool loaded = picture.LoadFromMemory(bytes.data(), keep);
            if (loaded) {
                EXPECT_GT(picture.Width(), 0) << name << " cut at " << keep;
                EXPECT_NE(picture.GetBits(), nullptr) << name << " cut at " << keep;
            } else {
                EXPECT_EQ(picture.Width(), 0);
                EXPECT_EQ(picture.GetBitmap(), nullptr);
            }
        }
        std::vector<char> damaged = bytes;
        for (size_t i = damaged.size() / 4; i < damaged.size(); i += 7) damaged[i] = char(~damaged[i]);
        Picture picture;
        if (picture.LoadFromMemory(damaged.data(), damaged.size())) picture.GetBits();
    }
    Picture picture;
    EXPECT_FALSE(picture.LoadFromMemory(nullptr, 100));
    const char one = 'G';
    EXPECT_FALSE(picture.LoadFromMemory(&one, 0));
    EXPECT_EQ(picture.Width(), 0);
}

// Every way a load can fail leaves the object empty, not holding the picture before it.
TEST(Picture, FailedLoadEmptiesAPictureThatWasLoaded) {
    const std::vector<char> text = ReadBytes("notapicture.jpg");
    const std::string longPath = ImagePath("quad.gif") + "\\" + std::string(300, 'x');
    const char one = 'x';
    const struct {
        const char* what;
        std::function<bool(Picture&)> load;
    } failures[] = {
        {"not a picture", [&](Picture& p) { return p.LoadFromMemory(text.data(), text.size()); }},
        {"null bytes", [](Picture& p) { return p.LoadFromMemory(nullptr, 100); }},
        {"size 0", [&](Picture& p) { return p.LoadFromMemory(&one, 0); }},
        {"null path", [](Picture& p) { return p.LoadFromFile(nullptr); }},
        {"long path", [&](Picture& p) { return p.LoadFromFile(longPath.c_str()); }},
        {"missing file", [](Picture& p) { return p.LoadFromFile("Z:\\no\\such\\folder\\Zephyl.gif"); }},
    };
    for (const auto& failure : failures) {
        Picture picture;
        ASSERT_TRUE(picture.LoadFromFile(ImagePath("quad.gif").c_str()));
        ASSERT_NE(picture.GetBitmap(), nullptr);
        EXPECT_FALSE(failure.load(picture)) << failure.what;
        EXPECT_FALSE(picture.Loaded()) << failure.what;
        EXPECT_EQ(picture.Width(), 0) << failure.what;
        EXPECT_EQ(picture.Height(), 0) << failure.what;
        EXPECT_EQ(picture.GetBitmap(), nullptr) << failure.what;
    }
}

TEST(Picture, BadPathsFail) {
    Picture picture;
    EXPECT_FALSE(picture.LoadFromFile(nullptr));
    EXPECT_FALSE(picture.LoadFromFile(""));
    EXPECT_FALSE(picture.LoadFromFile(ImagePath("no such picture.gif").c_str()));
    EXPECT_FALSE(picture.LoadFromFile("Z:\\no\\such\\folder\\Zephyl.gif"));
    // Longer than a Windows path: refused rather than cut short into another name.
    const std::string longPath = ImagePath("quad.gif") + "\\" + std::string(300, 'x');
    EXPECT_FALSE(picture.LoadFromFile(longPath.c_str()));
    EXPECT_EQ(picture.Width(), 0);
}

TEST(Picture, ReleaseEmptiesThePicture) {
    Picture picture;
    ASSERT_TRUE(picture.LoadFromFile(ImagePath("quad.jpg").c_str()));
    HBITMAP bitmap = picture.GetBitmap();
    ASSERT_NE(bitmap, nullptr);
    picture.Release();
    EXPECT_FALSE(picture.Loaded());
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_EQ(picture.Height(), 0);
    EXPECT_EQ(picture.GetBits(), nullptr);
    BITMAP info;
    EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), 0);
    picture.Release();  // twice is harmless
}

TEST(Picture, SecondDecoderTakesWhatTheOleLoaderRefuses) {
    // The OLE loader does not know TIFF, so these loads go through the second decoder, the
    // way PNG files do on Windows itself.
    const std::string path = ImagePath("quad.tif");
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    IPicture* ole = nullptr;
    EXPECT_TRUE(FAILED(OleLoadPicturePath(wide, nullptr, 0, 0, IID_IPicture, reinterpret_cast<void**>(&ole))));
    if (ole) ole->Release();
    Picture picture;
    ASSERT_TRUE(picture.LoadFromFile(path.c_str()));
    ExpectQuadColours(picture, 0, "quad.tif from the file");
    Canvas canvas(32, 24);
    picture.Render(canvas.dc, 0, 0, 32, 24, 32, 24, 32, 24);  // bottom-right quarter
    EXPECT_EQ(canvas.At(16, 12), kWhite);
    const std::vector<char> bytes = ReadBytes("quad.tif");
    ASSERT_TRUE(picture.LoadFromMemory(bytes.data(), bytes.size()));
    ExpectQuadColours(picture, 0, "quad.tif from memory");
}
