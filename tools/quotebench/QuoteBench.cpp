// Frame-time benchmark of the quote show: the full-screen scene (800 x 600 x 32) for a
// fixed time with quotations off, then with them on and short timings, so that many
// picture decodes and caption renders happen. Prints the median and largest frame time of
// each run, and of the quote run's frames while a quote is being prepared (picture
// decoding or caption rendering on the workers) and its texture made.
// Usage (under Wine, from tools/bench-quotes.sh): quotebench.exe DIST_FOLDER SECONDS
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/Globals.h"
#include "core/SaverState.h"
#include "quotes/QuoteScene.h"
#include "quotes/QuoteShow.h"
#include "saver/Saver.h"
#include "scene/FrameClock.h"
#include "scene/Scene.h"

namespace {

LRESULT CALLBACK BenchWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

struct Stats {
    double median = 0, p90 = 0, max = 0;
    size_t frames = 0;
};

Stats Summarise(std::vector<double> t) {
    Stats s;
    s.frames = t.size();
    if (t.empty()) return s;
    std::sort(t.begin(), t.end());
    s.median = t[t.size() / 2];
    s.p90 = t[t.size() * 9 / 10];
    s.max = t.back();
    return s;
}

// Frame times (ms) of a run; `preparing` gets those of frames in which a quote was being
// prepared or became current.
bool Run(bool quotes, DWORD seconds, std::vector<double>& all, std::vector<double>& preparing) {
    ss->ShowQuotes = quotes ? 1 : 0;
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "ZephylQuoteBench", "Zephyl Saver", WS_POPUP | WS_VISIBLE, 0, 0,
                                  800, 600, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    hScrWindow = window;
    ss->Window = window;
    ScreenWidth = 800;
    ScreenHeight = 600;
    if (!initStates(800, 600) || !initD3D(800, 600)) {
        CleanUp();
        DestroyWindow(window);
        return false;
    }
    // Warm-up: the device builds its shaders on the first frames.
    for (int i = 0; i < 30; ++i) RenderFrame();
    ResetFrameClock();
    const DWORD start = GetTickCount();
    LARGE_INTEGER freq, a, b;
    QueryPerformanceFrequency(&freq);
    while (GetTickCount() - start < seconds * 1000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        const QuoteShow* show = TheQuoteShow();
        const bool between = show && !show->Current();
        const int shownBefore = show ? show->QuotesShown() : 0;
        QueryPerformanceCounter(&a);
        RenderFrame();
        QueryPerformanceCounter(&b);
        const double ms = double(b.QuadPart - a.QuadPart) * 1000.0 / double(freq.QuadPart);
        all.push_back(ms);
        if (show && (between || show->QuotesShown() != shownBefore)) preparing.push_back(ms);
        Sleep(5);
    }
    CleanUp();
    DestroyWindow(window);
    return true;
}

void Print(const char* what, const Stats& s) {
    std::printf("%-34s frames %6u  median %7.2f ms  90%% %7.2f ms  max %7.2f ms\n", what, unsigned(s.frames), s.median,
                s.p90, s.max);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: quotebench DIST_FOLDER SECONDS\n");
        return 2;
    }
    std::string dist = argv[1];
    if (!dist.empty() && dist.back() != '\\') dist += '\\';
    const DWORD seconds = DWORD(std::atoi(argv[2]));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = BenchWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZephylQuoteBench";
    RegisterClassA(&wc);
    ss = new SaverState();
    ss->QuoteInterval = 1;
    ss->QuoteDuration = 3;
    Paths.imageBundle = dist + "images.bdl";
    Paths.quoteBundle = dist + "quotes.bdl";
    Paths.fontFile = dist + "VIVALDII.TTF";
    Paths.shadow5 = dist + "shadow5.png";
    Paths.shadow7 = dist + "shadow7.png";
    Paths.flagPicture = dist + "Zephyl.gif";
    RunMode = ModeSaver;
    DisplayModeChanged = true;
    OriginalMode = ScreenMode{1024, 768, 32};
    RequestedMode = ScreenMode{800, 600, 32};
    InstallQuoteShow();

    std::vector<double> off, offUnused, on, preparing;
    if (!Run(false, seconds, off, offUnused) || !Run(true, seconds, on, preparing)) {
        std::fprintf(stderr, "the scene could not be set up\n");
        return 1;
    }
    Print("quotes off", Summarise(off));
    Print("quotes on", Summarise(on));
    Print("quotes on, while preparing a quote", Summarise(preparing));
    const Stats base = Summarise(off), prep = Summarise(preparing);
    size_t over = 0;
    for (double t : preparing)
        if (t > 2 * base.median) ++over;
    std::printf("longest preparing frame / median frame with quotes off: %.2f; preparing frames over twice that "
                "median: %u of %u\n",
                base.median > 0 ? prep.max / base.median : 0.0, unsigned(over), unsigned(preparing.size()));
    delete ss;
    ss = nullptr;
    return 0;
}
