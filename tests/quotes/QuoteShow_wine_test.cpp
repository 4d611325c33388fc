// The quote show on the real device under Wine, in this process: quotations fading in and
// out over the flag with their framed pictures (found in screen grabs at the expected
// times), at 32 and 16 bits and with the largest texture limited to 256 and 128; no thread,
// GDI object or font-table entry left after the clean-up; the content failures. The flag is
// a plain grey picture here, so the white caption, the coloured picture and the dark frame
// can be told from it. Screen grabs are written beside the test binary.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/Globals.h"
#include "core/SaverState.h"
#include "content/Bundle.h"
#include "content/BundleWriter.h"
#include "diag/Log.h"
#include "gfx/GraphicsLayer.h"
#include "gfx/Texture.h"
#include "quotes/QuoteScene.h"
#include "quotes/QuoteShow.h"
#include "saver/Saver.h"
#include "scene/Flag.h"
#include "scene/FrameClock.h"
#include "scene/Scene.h"
#include "support/ScreenShot.h"
#include "support/WineTest.h"

namespace {

using wt::Shot;

const char* const kImageBundleBox = "Could not open image bundle!";
const char* const kQuoteBundleBox = "Could not open quote bundle!";
const char* const kFace = "Zephyl Script";
const int kW = 800, kH = 600;

std::string ShotPath(const std::string& name) { return wt::WindowsPath(QUOTE_SHOT_DIR) + name; }

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// One pass of the main loop.
void Frame() {
    PumpMessages();
    RenderFrame();
    Sleep(5);
}

int ThreadCount() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 e = {};
    e.dwSize = sizeof e;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &e); ok; ok = Thread32Next(snap, &e))
        if (e.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    CloseHandle(snap);
    return n;
}

// Threads of this process other than the calling one whose start address lies in the
// program's own module (the workers start there; the system's threads do not); `starts`
// gets where every thread starts, for a failure message.
int OwnThreads(std::string* starts) {
    typedef LONG(WINAPI * QueryThread)(HANDLE, int, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (!query || snap == INVALID_HANDLE_VALUE) return -1;
    const HMODULE self = GetModuleHandleA(nullptr);
    THREADENTRY32 e = {};
    e.dwSize = sizeof e;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &e); ok; ok = Thread32Next(snap, &e)) {
        if (e.th32OwnerProcessID != GetCurrentProcessId() || e.th32ThreadID == GetCurrentThreadId()) continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, e.th32ThreadID);
        void* start = nullptr;
        const int kStartAddress = 9;
        if (thread && query(thread, kStartAddress, &start, sizeof start, nullptr) == 0) {
            HMODULE module = nullptr;
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               static_cast<const char*>(start), &module);
            char name[MAX_PATH] = "?";
            if (module) GetModuleFileNameA(module, name, sizeof name);
            char where[32];
            std::snprintf(where, sizeof where, "@%p ", start);
            if (module == self) ++n;
            if (starts) *starts += std::string(module == self ? "own" : name) + where;
        }
        if (thread) CloseHandle(thread);
    }
    CloseHandle(snap);
    return n;
}

int GdiObjects() { return int(wt::OwnResourceCounts().gdi); }

int CALLBACK FoundFont(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontInstalled(const char* face) {
    HDC dc = GetDC(nullptr);
    LOGFONTA lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExA(dc, &lf, FoundFont, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

// Screen rectangle of a world-space box at depth z (800 x 600, 4 : 3 projection).
RECT Project(float left, float right, float bottom, float top, float z) {
    auto sx = [&](float x) { return int(kW / 2.0 + kW / 2.0 * x / (0.77 * z)); };
    auto sy = [&](float y) { return int(kH / 2.0 - kH / 2.0 * y / (0.575 * z)); };
    RECT r = {sx(left), sy(top), sx(right), sy(bottom)};
    r.left = std::max(0L, r.left);
    r.top = std::max(0L, r.top);
    r.right = std::min(long(kW), r.right);
    r.bottom = std::min(long(kH), r.bottom);
    return r;
}

// A rectangle of the 800 x 600 frame in a frame of w x h.
RECT Scaled(const RECT& r, int w, int h) {
    return {r.left * w / kW, r.top * h / kH, r.right * w / kW, r.bottom * h / kH};
}

struct Region {
    int pixels = 0, white = 0, coloured = 0;
    double brightness = 0;  // mean of R + G + B
    std::vector<int> rowWhite;
};

Region Measure(const Shot& s, const RECT& r) {
    Region out;
    for (int y = r.top; y < r.bottom; ++y) {
        int rowWhite = 0;
        for (int x = r.left; x < r.right; ++x) {
            const uint32_t p = s.At(x, y);
            const int R = Shot::R(p), G = Shot::G(p), B = Shot::B(p);
            ++out.pixels;
            if (std::min({R, G, B}) > 180) ++rowWhite;
            if (std::max({R, G, B}) - std::min({R, G, B}) > 12) ++out.coloured;
            out.brightness += R + G + B;
        }
        out.white += rowWhite;
        out.rowWhite.push_back(rowWhite);
    }
    if (out.pixels) out.brightness /= out.pixels;
    return out;
}

// Where the current quote's parts are on the screen.
struct Layout {
    RECT picture{}, text{}, frameTop{}, frameBottom{};
};

Layout Locate(const QuoteShow& show) {
    Layout l;
    const cFlag* pic = show.PictureCloth();
    const QuoteRecord* q = show.Current();
    if (!pic || !q) return l;
    const float dx = -1.2f, z = 3.0f, inset = 0.03f;
    l.picture = Project(pic->XMin() + dx + inset, pic->XMax() + dx - inset, pic->YMin() + inset, pic->YMax() - inset, z);
    l.frameTop = Project(pic->XMin() + dx, pic->XMax() + dx, pic->YMax() + 0.02f, pic->YMax() + 0.12f, z);
    l.frameBottom = Project(pic->XMin() + dx, pic->XMax() + dx, pic->YMin() - 0.12f, pic->YMin() - 0.02f, z);
    const float tz = quotes::TextDepth(show.Progress());
    const float cx = q->header.textX + quotes::TextShift(show.Progress());
    const float hw = q->header.backdropWidth * 0.5f, hh = q->header.backdropHeight * 0.5f;
    l.text = Project(cx - hw, cx + hw, -hh, hh, tz);
    return l;
}

// Correlation of two row profiles resampled to the same length.
double ProfileCorrelation(const std::vector<int>& a, const std::vector<int>& b) {
    const size_t n = 64;
    auto sample = [&](const std::vector<int>& v, size_t i) { return v.empty() ? 0.0 : double(v[i * v.size() / n]); };
    double ma = 0, mb = 0;
    for (size_t i = 0; i < n; ++i) {
        ma += sample(a, i);
        mb += sample(b, i);
    }
    ma /= n;
    mb /= n;
    double sab = 0, saa = 0, sbb = 0;
    for (size_t i = 0; i < n; ++i) {
        const double x = sample(a, i) - ma, y = sample(b, i) - mb;
        sab += x * y;
        saa += x * x;
        sbb += y * y;
    }
    return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0.0;
}

LRESULT CALLBACK TestWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }


class QuoteShowWine : public ::testing::Test {
public:
    void SetUp() override {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "ZephylQuoteTest";
        RegisterClassA(&wc);
        ss = new SaverState();
        ss->ShowQuotes = 1;
        ss->QuoteInterval = 1;
        ss->QuoteDuration = 6;
        const std::string dist = wt::DistFolder();
        Paths.imageBundle = dist + "images.bdl";
        Paths.quoteBundle = dist + "quotes.bdl";
        Paths.fontFile = dist + "VIVALDII.TTF";
        Paths.shadow5 = dist + "shadow5.png";
        Paths.shadow7 = dist + "shadow7.png";
        Paths.flagPicture = wt::WindowsPath(QUOTE_SHOT_DIR) + "grey-flag.gif";
        // No fade-in from the desktop: the mode "changed" size.
        DisplayModeChanged = true;
        OriginalMode = ScreenMode{1024, 768, 32};
        RequestedMode = ScreenMode{kW, kH, 32};
        RunMode = ModeSaver;
        InstallQuoteShow();
        SetQuoteShowLimits(0, 0);
    }
    void TearDown() override {
        CleanUp();
        SetQuoteShowLimits(0, 0);
        if (window) DestroyWindow(window);
        window = nullptr;
        hScrWindow = nullptr;
        delete ss;
        ss = nullptr;
        ChangeDisplaySettingsA(nullptr, 0);
        PumpMessages();
    }

    void MakeWindow(int w, int h, bool fullScreen) {
        window = CreateWindowExA(fullScreen ? WS_EX_TOPMOST : 0, "ZephylQuoteTest", "Zephyl Saver",
                                 WS_POPUP | WS_VISIBLE, 0, 0, w, h, nullptr, nullptr, GetModuleHandleA(nullptr),
                                 nullptr);
        ASSERT_NE(window, nullptr);
        hScrWindow = window;
        ss->Window = window;
        ScreenWidth = w;
        ScreenHeight = h;
        PumpMessages();
    }

    bool Start() {
        MakeWindow(kW, kH, true);
        if (!initStates(kW, kH) || !initD3D(kW, kH)) return false;
        if (TheQuoteShow()) TheQuoteShow()->SeedOrder(7);
        ResetFrameClock();
        return TheQuoteShow() != nullptr;
    }

    // Renders until `done` holds or `ms` pass; false on time-out.
    template <typename F>
    bool RenderUntil(F done, DWORD ms) {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > ms) return false;
            Frame();
        }
        return true;
    }

    HWND window = nullptr;
};

struct QuoteShots {
    Shot full, fading, pause;
    Layout layout;
    Region fullText, fadingText, pauseText, picture, pausePicture, frame, pauseFrame;
    std::string pictureName;               // the quote's picture
    const cTexture* pictureTexture = nullptr;  // and the texture it was drawn with
};

// Follows the next quote: a grab when it is fully visible, one late in its fade-out and one
// in the pause after it, each measured where the quote's parts are.
void FollowQuote(QuoteShowWine& t, const std::string& name, QuoteShots& out, bool* ok) {
    QuoteShow* show = TheQuoteShow();
    const int before = show->QuotesShown();
    *ok = false;
    if (!t.RenderUntil([&] { return show->QuotesShown() > before; }, 20000)) return;
    const QuoteRecord* quote = show->Current();
    if (!t.RenderUntil([&] { return show->Current() != quote || (show->QuoteTime() >= 1600 && show->Alpha() == 1.0f); },
                       10000) ||
        show->Current() != quote)
        return;
    out.layout = Locate(*show);
    out.pictureName = quote->picture;
    if (const cFlag* picture = show->PictureCloth()) out.pictureTexture = picture->Cells()[0].texture;
    const float alphaFull = show->Alpha();
    out.full = wt::GrabPresented(kW, kH);
    wt::SaveBmp(out.full, ShotPath(name + "-full.bmp"));
    if (!t.RenderUntil([&] { return show->Current() != quote || show->Alpha() < 0.5f; }, 10000) ||
        show->Current() != quote)
        return;
    out.fading = wt::GrabPresented(kW, kH);
    wt::SaveBmp(out.fading, ShotPath(name + "-fading.bmp"));
    const Layout fadeLayout = Locate(*show);
    if (!t.RenderUntil([&] { return !show->Current(); }, 10000)) return;
    Frame();
    out.pause = wt::GrabPresented(kW, kH);
    wt::SaveBmp(out.pause, ShotPath(name + "-pause.bmp"));
    out.fullText = Measure(out.full, out.layout.text);
    out.fadingText = Measure(out.fading, fadeLayout.text);
    out.pauseText = Measure(out.pause, out.layout.text);
    out.picture = Measure(out.full, out.layout.picture);
    out.pausePicture = Measure(out.pause, out.layout.picture);
    Region top = Measure(out.full, out.layout.frameTop), bottom = Measure(out.full, out.layout.frameBottom);
    Region pTop = Measure(out.pause, out.layout.frameTop), pBottom = Measure(out.pause, out.layout.frameBottom);
    out.frame.brightness = (top.brightness + bottom.brightness) / 2;
    out.pauseFrame.brightness = (pTop.brightness + pBottom.brightness) / 2;
    *ok = alphaFull == 1.0f;
}

void ExpectQuoteSeen(const QuoteShots& s, bool frame, const std::string& what) {
    EXPECT_GT(s.fullText.white, 40) << what << ": white caption pixels when fully visible";
    EXPECT_LT(s.fadingText.white, s.fullText.white) << what << ": the caption fades out";
    EXPECT_LT(s.pauseText.white, 20) << what << ": no caption in the pause";
    ASSERT_GT(s.picture.pixels, 1000) << what;
    EXPECT_GT(s.picture.coloured, s.picture.pixels / 5) << what << ": the picture's colours";
    EXPECT_LT(s.pausePicture.coloured, s.pausePicture.pixels / 20) << what << ": grey flag in the pause";
    if (frame)
        EXPECT_LT(s.frame.brightness, s.pauseFrame.brightness * 0.85) << what << ": the soft frame darkens the flag";
}

// Every shipped caption, laid out by the program's own font and text drawing, keeps the
// lines the build broke it into and fits inside its backdrop and its quad, unstretched.
void ExpectCaptionsFit(const QuoteShow& show) {
    ASSERT_GE(show.QuoteCount(), 40);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, show.CaptionFont());
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    EXPECT_EQ(tm.tmHeight, 24);
    EXPECT_EQ(tm.tmWeight, 700);
    char face[LF_FACESIZE] = {};
    GetTextFaceA(dc, sizeof face, face);
    EXPECT_STREQ(face, kFace) << "the shipped font, not a stand-in";
    for (int i = 0; i < show.QuoteCount(); ++i) {
        const QuoteRecord& q = *show.Quote(i);
        RECT r = {2, 2, 512, 256};
        const int height = DrawTextA(dc, q.text.c_str(), -1, &r, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
        int lines = 1, widest = 0;
        size_t start = 0;
        for (size_t end = q.text.find("\r\n"); ; end = q.text.find("\r\n", start)) {
            const std::string line = q.text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            SIZE size = {};
            GetTextExtentPoint32A(dc, line.c_str(), int(line.size()), &size);
            widest = std::max(widest, int(size.cx));
            if (end == std::string::npos) break;
            ++lines;
            start = end + 2;
        }
        const float scale = q.header.textWidth / 512.0f;
        SCOPED_TRACE(q.text);
        EXPECT_EQ(height, lines * tm.tmHeight) << "no line broken again";
        EXPECT_LE(lines, 4);
        EXPECT_FLOAT_EQ(q.header.textHeight / 256.0f, scale) << "unstretched";
        EXPECT_LE((widest + 2 + 16) * scale, q.header.backdropWidth) << "8 pixels of backdrop either side";
        EXPECT_LE((height + 2) * scale, q.header.backdropHeight);
        EXPECT_GE((1.0f - q.header.emptyBottom) * 256.0f, float(height + 2)) << "no line cut off";
    }
    SelectObject(dc, old);
    DeleteDC(dc);
}

}  // namespace

// Three quotes in a row at 32 bits, with the leak counts: the set-up and clean-up of a run
// without quotes is the baseline, so only what the show adds is counted.
TEST_F(QuoteShowWine, ThreeQuotesInARowThenNothingLeftBehind) {
    ss->ShowQuotes = 0;
    MakeWindow(kW, kH, true);
    ASSERT_TRUE(initStates(kW, kH));
    ASSERT_TRUE(initD3D(kW, kH));
    for (int i = 0; i < 5; ++i) Frame();
    CleanUp();
    DestroyWindow(window);
    window = nullptr;
    PumpMessages();
    // The test framework keeps a thread of its own for this thread's scoped traces: let it
    // start before counting.
    { SCOPED_TRACE("baseline"); }
    const int threads = ThreadCount(), gdi = GdiObjects(), ownThreads = OwnThreads(nullptr);
    ASSERT_FALSE(FontInstalled(kFace));

    ss->ShowQuotes = 1;
    ASSERT_TRUE(Start());
    QuoteShow* show = TheQuoteShow();
    EXPECT_TRUE(show->HasCaptions());
    EXPECT_TRUE(FontInstalled(kFace)) << "the shipped font is in the font table during the run";
    EXPECT_EQ(show->TextureDepth(), 32);
    EXPECT_EQ(show->CaptionCols() * show->CaptionRows(), 1);
    ExpectCaptionsFit(*show);
    // A picture of the same size as the one before is drawn into its texture, not a new one.
    QuoteShots previous;
    int changes = 0;
    for (int i = 0; i < 3; ++i) {
        QuoteShots shots;
        bool ok = false;
        FollowQuote(*this, "quotes-32bit-" + std::to_string(i + 1), shots, &ok);
        ASSERT_TRUE(ok) << "quote " << i + 1;
        ExpectQuoteSeen(shots, true, "quote " + std::to_string(i + 1));
        ASSERT_TRUE(shots.pictureTexture) << "quote " << i + 1;
        if (i > 0 && shots.pictureName != previous.pictureName) {
            ++changes;
            EXPECT_EQ(shots.pictureTexture, previous.pictureTexture) << previous.pictureName << " -> " << shots.pictureName;
        }
        previous = std::move(shots);
    }
    EXPECT_GT(changes, 0) << "three quotes in a row showed one picture";
    EXPECT_GE(show->QuotesShown(), 3);
    CleanUp();
    DestroyWindow(window);
    window = nullptr;
    PumpMessages();
    EXPECT_EQ(TheQuoteShow(), nullptr);
    // A joined thread may still be listed for a moment while the system removes it.
    std::string threadStarts;
    for (int i = 0; i < 40 && OwnThreads(nullptr) != ownThreads; ++i) Sleep(50);
    EXPECT_EQ(OwnThreads(&threadStarts), ownThreads) << "both workers joined; threads start at " << threadStarts;
    EXPECT_EQ(ThreadCount(), threads) << threadStarts;
    EXPECT_EQ(GdiObjects(), gdi) << "fonts, brushes and contexts all released";
    EXPECT_FALSE(FontInstalled(kFace)) << "the font file left the font table";
}

// The caption in tiles: two (largest texture 256) and eight (128), at 32 bits, and the
// 16-bit path (16-bit display, 16-bit textures, the colour-blended frame and caption).
// The same first quote as the one-tile run: its rows of text must come out in the same
// order (upright) and whole.
TEST_F(QuoteShowWine, CaptionTilesAndSixteenBitTextures) {
    struct Case {
        const char* name;
        int maxTexture, depth, displayBits, tiles;
    } cases[] = {{"tiles1", 0, 0, 32, 1}, {"tiles2", 256, 0, 32, 2}, {"tiles8", 128, 0, 32, 8},
                 {"16bit-tiles8", 128, 16, 16, 8}};
    std::vector<int> reference;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.displayBits == 16) {
            DEVMODEA mode = {};
            mode.dmSize = sizeof(mode);
            mode.dmPelsWidth = kW;
            mode.dmPelsHeight = kH;
            mode.dmBitsPerPel = 16;
            mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
            ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
            RequestedMode = ScreenMode{kW, kH, 16};
        }
        SetQuoteShowLimits(c.maxTexture, c.depth);
        ASSERT_TRUE(Start());
        QuoteShow* show = TheQuoteShow();
        EXPECT_EQ(show->CaptionCols() * show->CaptionRows(), c.tiles);
        if (c.depth) EXPECT_EQ(show->TextureDepth(), c.depth);
        QuoteShots shots;
        bool ok = false;
        FollowQuote(*this, std::string("quotes-") + c.name, shots, &ok);
        ASSERT_TRUE(ok);
        ExpectQuoteSeen(shots, show->TextureDepth() == 32, c.name);
        if (reference.empty()) {
            reference = shots.fullText.rowWhite;
        } else {
            std::vector<int> flipped(reference.rbegin(), reference.rend());
            const double same = ProfileCorrelation(shots.fullText.rowWhite, reference);
            EXPECT_GT(same, 0.7) << "rows of text as in the one-tile caption";
            EXPECT_GT(same, ProfileCorrelation(shots.fullText.rowWhite, flipped)) << "upright, not upside down";
        }
        CleanUp();
        DestroyWindow(window);
        window = nullptr;
        ChangeDisplaySettingsA(nullptr, 0);
        PumpMessages();
    }
}

// The caption is drawn in the tiles' 32-bit format whatever the display's depth: its
// shadow pixels (0x0A0A0A) reach the tile unchanged and get the alpha of their brightness
// (254), on a 16-bit display as on a 32-bit one.
TEST_F(QuoteShowWine, CaptionShadowKeepsItsStrengthOnASixteenBitDisplay) {
    for (int displayBits : {16, 32}) {
        SCOPED_TRACE(displayBits);
        if (displayBits == 16) {
            DEVMODEA mode = {};
            mode.dmSize = sizeof(mode);
            mode.dmPelsWidth = kW;
            mode.dmPelsHeight = kH;
            mode.dmBitsPerPel = 16;
            mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
            ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
        }
        RequestedMode = ScreenMode{kW, kH, displayBits};
        SetQuoteShowLimits(0, 32);
        ASSERT_TRUE(Start());
        QuoteShow* show = TheQuoteShow();
        ASSERT_TRUE(RenderUntil([&] { return show->Current() && show->Caption()->IsDone(); }, 30000));
        cTexture* tile = show->CaptionTexture(0);
        ASSERT_NE(tile, nullptr);
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        ASSERT_EQ(tile->Surface()->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
        ASSERT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 32u);
        int shadow = 0, shadowAlpha254 = 0, text = 0;
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            const BYTE* p = static_cast<const BYTE*>(desc.lpSurface) + desc.lPitch * LONG(y);
            for (DWORD x = 0; x < desc.dwWidth; ++x, p += 4) {
                if (p[0] == 10 && p[1] == 10 && p[2] == 10) {
                    ++shadow;
                    if (p[3] == 254) ++shadowAlpha254;
                }
                if (p[0] == 255 && p[1] == 255 && p[2] == 255 && p[3] == 255) ++text;
            }
        }
        tile->Surface()->Unlock(nullptr);
        EXPECT_GT(shadow, 50) << "pixels of the shadow colour itself";
        EXPECT_EQ(shadowAlpha254, shadow) << "the shadow's alpha is 10 + 10 + 10 over 30.000002";
        EXPECT_GT(text, 50) << "the white text";
        CleanUp();
        DestroyWindow(window);
        window = nullptr;
        ChangeDisplaySettingsA(nullptr, 0);
        PumpMessages();
    }
}

// A caption that cannot be rendered (here: its drawing surface's device context is taken)
// leaves its quote without text, not with the previous quote's; the next caption is whole.
TEST_F(QuoteShowWine, QuoteWhoseCaptionFailedIsDrawnWithoutText) {
    ASSERT_TRUE(Start());
    QuoteShow* show = TheQuoteShow();
    ASSERT_TRUE(RenderUntil([&] { return show->Current() && show->Caption()->IsDone(); }, 30000));
    EXPECT_TRUE(show->QuoteHasCaption());
    const int first = show->QuotesShown();
    HDC held = nullptr;
    ASSERT_EQ(show->Caption()->DrawingSurface()->Surface()->GetDC(&held), DD_OK);
    // The next quote is prepared on the first frame of the pause.
    ASSERT_TRUE(RenderUntil([&] { return !show->Current(); }, 30000));
    Frame();
    show->Caption()->DrawingSurface()->Surface()->ReleaseDC(held);
    EXPECT_FALSE(show->QuoteHasCaption());
    QuoteShots without;
    bool ok = false;
    FollowQuote(*this, "quotes-caption-failed", without, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(show->QuotesShown(), first + 1);
    EXPECT_LT(without.fullText.white, 20) << "no caption drawn, not the previous quote's";
    ASSERT_GT(without.picture.pixels, 1000);
    EXPECT_GT(without.picture.coloured, without.picture.pixels / 5) << "the picture is still shown";
    QuoteShots with;
    FollowQuote(*this, "quotes-caption-again", with, &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(show->QuoteHasCaption());
    EXPECT_GT(with.fullText.white, 40) << "the next caption is drawn again";
}

// Content that is missing or damaged: each gives its message box or falls back, and the
// set-up never crashes. A windowed (preview-sized) scene is enough here.
class QuoteContentWine : public QuoteShowWine {
protected:
    std::string Folder() {
        const std::string f = wt::WindowsPath(QUOTE_SHOT_DIR) + "content\\";
        CreateDirectoryA(f.c_str(), nullptr);
        return f;
    }
    bool StartSmall() {
        RunMode = ModePreview;
        MakeWindow(320, 240, false);
        if (!initStates(320, 240) || !initD3D(320, 240)) return false;
        ResetFrameClock();
        return TheQuoteShow() != nullptr;
    }
};

TEST_F(QuoteContentWine, MissingBundlesTellTheUserAndEndTheSetUp) {
    struct Case {
        bool images;
        const char* box;
        const char* log;
    } cases[] = {{true, kImageBundleBox, "Could not open the image bundle!"},
                 {false, kQuoteBundleBox, "Could not open the quote bundle!"}};
    for (const Case& c : cases) {
        const std::string dist = wt::DistFolder();
        Paths.imageBundle = c.images ? Folder() + "no-images.bdl" : dist + "images.bdl";
        Paths.quoteBundle = c.images ? dist + "quotes.bdl" : Folder() + "no-quotes.bdl";
        ss->MessageBoxUp = 0;
        wt::BoxWatcher watcher;
        watcher.Start();
        RunMode = ModePreview;
        MakeWindow(320, 240, false);
        EXPECT_FALSE(initStates(320, 240));
        watcher.Join();
        ASSERT_TRUE(watcher.seen) << c.box;
        EXPECT_EQ(watcher.info.caption, "ERROR");
        EXPECT_EQ(watcher.info.text, c.box);
        EXPECT_EQ(ss->MessageBoxUp, 1);
        EXPECT_EQ(TheQuoteShow(), nullptr);
        CleanUp();
        DestroyWindow(window);
        window = nullptr;
    }
}

// Damaged quote entries are skipped and the rest shown; a picture that is no picture, or one
// larger than the device's largest texture, makes its quote run without it; a quote whose
// picture has no layout is passed over; a missing font leaves the captions out while the
// pictures are still shown.
TEST_F(QuoteContentWine, DamagedContentFallsBackGracefully) {
    const std::string folder = Folder();
    Bundle shipped;
    ASSERT_TRUE(shipped.Open(wt::DistFolder() + "quotes.bdl"));
    BundleCategory* shippedQuotes = shipped.FindCategory("quotes");
    ASSERT_NE(shippedQuotes, nullptr);
    const uint8_t* first = shippedQuotes->ReadEntry(shippedQuotes->Entry(0));
    ASSERT_NE(first, nullptr);
    const std::string entry(reinterpret_cast<const char*>(first), shippedQuotes->Entry(0)->Size());
    const size_t nameEnd = entry.find('\0', 56);
    ASSERT_NE(nameEnd, std::string::npos);
    const std::string goodPicture = entry.substr(56, nameEnd - 56);
    auto naming = [&](const std::string& name) { return entry.substr(0, 56) + name + entry.substr(nameEnd); };
    std::string nan = entry;
    const uint32_t nanBits = 0x7FC00000;
    nan.replace(20, 4, reinterpret_cast<const char*>(&nanBits), 4);

    BundleWriter quotes;
    quotes.BeginCategory("quotes");
    for (const auto& q : std::vector<std::pair<std::string, std::string>>{
             {"broken-picture", naming("broken")}, {"huge-picture", naming("huge")},
             {"short", entry.substr(0, 40)}, {"nan", nan},
             {"no-layout", naming("nolayout")}, {"no-nul", entry.substr(0, entry.size() - 1)}, {"good", entry}})
        ASSERT_TRUE(quotes.AddEntry(q.first, q.second.data(), q.second.size()));
    ASSERT_TRUE(WriteWholeFile(folder + "quotes.bdl", quotes.Finish()));

    Bundle shippedImages;
    ASSERT_TRUE(shippedImages.Open(wt::DistFolder() + "images.bdl"));
    BundleCategory* pictures = shippedImages.FindCategory("image");
    ASSERT_NE(pictures, nullptr);
    BundleEntry* picture = pictures->FindEntry(goodPicture.c_str());
    ASSERT_NE(picture, nullptr);
    const uint8_t* jpeg = pictures->ReadEntry(picture);
    ASSERT_NE(jpeg, nullptr);
    const char notAPicture[] = "This is text, not a picture.";
    auto dims = [](const std::string& name) {  // 320 x 240
        std::string d("\x40\x01\0\0\xF0\0\0\0", 8);
        d += name;
        d.push_back('\0');
        return std::vector<uint8_t>(d.begin(), d.end());
    };
    bool hugeRead = false;
    const std::string huge = wt::ReadFile(wt::WindowsPath(QUOTE_SHOT_DIR) + "huge.png", &hugeRead);
    ASSERT_TRUE(hugeRead);
    BundleWriter images;
    images.BeginCategory("image");
    images.AddEntry("broken", notAPicture, sizeof notAPicture);
    images.AddEntry("huge", huge.data(), huge.size());
    images.AddEntry("nolayout", jpeg, picture->Size());
    images.AddEntry(goodPicture, jpeg, picture->Size());
    images.BeginCategory("dims");
    images.AddEntry("broken", dims("broken"));
    images.AddEntry("huge", dims("huge"));
    images.AddEntry("cut", dims("cut").data(), 6);
    images.AddEntry(goodPicture, dims(goodPicture));
    ASSERT_TRUE(WriteWholeFile(folder + "images.bdl", images.Finish()));

    Paths.imageBundle = folder + "images.bdl";
    Paths.quoteBundle = folder + "quotes.bdl";
    Paths.fontFile = folder + "no-such-font.TTF";
    ss->QuoteDuration = 2;
    ASSERT_TRUE(StartSmall());
    const D3DDEVICEDESC7& device = Graphics()->GetDeviceDescription();
    ASSERT_GT(16400u, std::min(device.dwMaxTextureWidth, device.dwMaxTextureHeight)) << "the device takes textures as wide as huge.png";
    QuoteShow* show = TheQuoteShow();
    EXPECT_EQ(show->QuoteCount(), 4) << "the short, NaN and unterminated entries are skipped";
    EXPECT_FALSE(show->HasCaptions());
    bool goodWithPicture = false, brokenWithout = false, hugeWithout = false, noLayout = false;
    const bool finished = RenderUntil(
        [&] {
            if (const QuoteRecord* q = show->Current()) {
                if (q->picture == goodPicture && show->HasPicture()) goodWithPicture = true;
                if (q->picture == "broken" && !show->HasPicture()) brokenWithout = true;
                if (q->picture == "huge" && !show->HasPicture()) hugeWithout = true;
                if (q->picture == "nolayout") noLayout = true;
            }
            return goodWithPicture && brokenWithout && hugeWithout && show->QuotesShown() >= 4;
        },
        90000);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(goodWithPicture) << "the good quote is shown with its picture, without a caption";
    EXPECT_TRUE(brokenWithout) << "a picture that is no picture leaves its quote without one";
    EXPECT_TRUE(hugeWithout) << "a picture larger than any texture leaves its quote without one";
    EXPECT_FALSE(noLayout) << "a quote whose picture has no layout is passed over";

    // Fully visible, the good quote shows its picture over the flag and no caption.
    ASSERT_TRUE(RenderUntil(
        [&] {
            const QuoteRecord* q = show->Current();
            return q && q->picture == goodPicture && show->HasPicture() && show->QuoteTime() >= 1600 &&
                   show->Alpha() == 1.0f;
        },
        60000));
    const Layout layout = Locate(*show);
    const Shot shot = wt::GrabPresented(320, 240);
    wt::SaveBmp(shot, ShotPath("quotes-damaged.bmp"));
    const Region shown = Measure(shot, Scaled(layout.picture, 320, 240));
    const Region caption = Measure(shot, Scaled(layout.text, 320, 240));
    ASSERT_GT(shown.pixels, 500);
    EXPECT_GT(shown.coloured, shown.pixels / 5) << "the good quote's picture in its place";
    ASSERT_GT(caption.pixels, 500);
    EXPECT_LT(caption.white, 10) << "no caption without the font";
    EXPECT_LT(caption.coloured, caption.pixels / 20) << "the grey flag where the caption would be";
}
