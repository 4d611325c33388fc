// Frame-time benchmark of the full-screen scene (800 x 600 x 32) under changes that used to
// stall the frame thread: quotations changing every 2 s (picture decoding, caption
// rendering, texture making), and songs changing every 2 s from a source that takes 200 ms
// per open, with the player opening them on its worker (the program's way) and, for
// comparison, on the frame thread. Each run lasts SECONDS; it prints the median, 99th
// percentile and largest frame time of each against the run without changes, and for the
// quote run the frames in which a quote was being prepared.
// Usage (under Wine, from tools/bench-quotes.sh): quotebench.exe DIST_FOLDER SECONDS
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audio/fmod.h"
#include "content/Bundle.h"
#include "core/Globals.h"
#include "core/Playlist.h"
#include "core/SaverState.h"
#include "music/FmodSound.h"
#include "music/MusicPlayer.h"
#include "quotes/QuoteScene.h"
#include "quotes/QuoteShow.h"
#include "saver/Saver.h"
#include "scene/FrameClock.h"
#include "scene/Scene.h"

namespace {

const DWORD kChangeEveryMs = 2000;
const DWORD kSlowOpenMs = 200;

LRESULT CALLBACK BenchWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

// fmod.dll, where opening a song takes kSlowOpenMs longer, as from a slow share.
class SlowSound : public FmodSound {
public:
    FSOUND_STREAM* StreamOpen(const char* nameOrData, unsigned mode, int offset, int length) override {
        if (slow) Sleep(kSlowOpenMs);
        return FmodSound::StreamOpen(nameOrData, mode, offset, length);
    }
    bool slow = false;
};

class QuietHost : public MusicHost {
public:
    void ShowInitError(const std::string& text) override { std::fprintf(stderr, "sound: %s\n", text.c_str()); }
    void SetCriticalError(int) override {}
    std::string DocumentsFolder() override { return std::string(); }
    std::vector<std::string> ListFiles(const std::string&, const char*) override { return {}; }
    std::vector<std::string> ListFolders(const std::string&) override { return {}; }
    uint32_t TimeSeconds() override { return 1; }
};

struct Stats {
    double median = 0, p99 = 0, max = 0;
    size_t frames = 0;
};

Stats Summarise(std::vector<double> t) {
    Stats s;
    s.frames = t.size();
    if (t.empty()) return s;
    std::sort(t.begin(), t.end());
    s.median = t[t.size() / 2];
    s.p99 = t[std::min(t.size() - 1, t.size() * 99 / 100)];
    s.max = t.back();
    return s;
}

enum class Music { Off, Steady, ChangingOnWorker, ChangingOnFrameThread };

struct RunSpec {
    const char* name;
    bool quotes;
    bool quotesChanging;
    Music music;
};

struct RunResult {
    std::vector<double> all, preparing, becomingCurrent;
    int songsStarted = 0;
    int quotesShown = 0;
};

std::string gMusicBundle;

// Frame times (ms) of the main loop's work (a skip, the frame and the music update) of one run;
// `preparing` gets those of frames in which the next quote was being prepared, and
// `becomingCurrent` those in which it was finished and first drawn.
bool Run(const RunSpec& spec, DWORD seconds, RunResult& out) {
    ss->ShowQuotes = spec.quotes ? 1 : 0;
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
    if (QuoteShow* show = TheQuoteShow()) {
        // A quote every 2 s: 1 s shown, 1 s between (shorter than the settings allow).
        if (spec.quotesChanging) {
            show->SetDuration(1000);
            show->SetInterval(1000);
        }
    }

    SlowSound sound;
    QuietHost host;
    Playlist list;
    Bundle bundle;
    int32_t playMusic = 1;
    InlineSongOpenWorker frameThread;
    std::unique_ptr<MusicPlayer> player;
    if (spec.music != Music::Off) {
        player.reset(new MusicPlayer(sound, host, list, bundle, playMusic,
                                     spec.music == Music::ChangingOnFrameThread ? &frameThread : nullptr));
        MusicSettings settings;
        settings.shuffleMusic = false;
        settings.defaultMusic = true;
        settings.musicVolume = 64;
        settings.musicBundle = gMusicBundle;
        if (!player->Init(settings)) std::fprintf(stderr, "%s: no music\n", spec.name);
        sound.slow = true;
    }
    const bool changingSongs = spec.music == Music::ChangingOnWorker || spec.music == Music::ChangingOnFrameThread;

    // Warm-up: the device builds its shaders on the first frames.
    for (int i = 0; i < 30; ++i) RenderFrame();
    ResetFrameClock();
    const DWORD start = GetTickCount();
    DWORD lastChange = start;
    int lastIndex = player ? player->CurrentIndex() : 0;
    LARGE_INTEGER freq, a, b;
    QueryPerformanceFrequency(&freq);
    while (GetTickCount() - start < seconds * 1000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        const QuoteShow* show = TheQuoteShow();
        const bool between = show && !show->Current();
        const int shownBefore = show ? show->QuotesShown() : 0;
        QueryPerformanceCounter(&a);
        // The skip belongs to the pass: the right arrow's window procedure runs on the
        // main thread while the pass drains its messages.
        if (changingSongs && GetTickCount() - lastChange >= kChangeEveryMs) {
            player->NextSong();
            lastChange = GetTickCount();
        }
        RenderFrame();
        if (player) player->Update(FrameMilliseconds());
        QueryPerformanceCounter(&b);
        const double ms = double(b.QuadPart - a.QuadPart) * 1000.0 / double(freq.QuadPart);
        out.all.push_back(ms);
        if (show && show->QuotesShown() != shownBefore)
            out.becomingCurrent.push_back(ms);
        else if (between)
            out.preparing.push_back(ms);
        if (player && !player->InGap() && player->CurrentIndex() != lastIndex) {
            lastIndex = player->CurrentIndex();
            ++out.songsStarted;
        }
        Sleep(5);
    }
    if (const QuoteShow* show = TheQuoteShow()) out.quotesShown = show->QuotesShown();
    if (player) player->Shutdown();
    player.reset();
    CleanUp();
    DestroyWindow(window);
    return true;
}

// One line of figures, with the share of passes over twice the median of the run without
// changes: llvmpipe and Wine put some there in every run, so a change shows as a larger share.
void Print(const char* what, const std::vector<double>& times, const Stats& base) {
    const Stats s = Summarise(times);
    size_t over = 0;
    for (double t : times)
        if (t > 2 * base.median) ++over;
    std::printf("%-46s frames %6u  median %6.2f ms  99%% %7.2f ms  max %7.2f ms  (x%.2f, x%.2f, x%.2f)  "
                "over 2x base median %4.1f%%\n",
                what, unsigned(s.frames), s.median, s.p99, s.max, base.median > 0 ? s.median / base.median : 0.0,
                base.p99 > 0 ? s.p99 / base.p99 : 0.0, base.max > 0 ? s.max / base.max : 0.0,
                times.empty() ? 0.0 : 100.0 * over / times.size());
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
    gMusicBundle = dist + "music.bdl";
    RunMode = ModeSaver;
    DisplayModeChanged = true;
    OriginalMode = ScreenMode{1024, 768, 32};
    RequestedMode = ScreenMode{800, 600, 32};
    InstallQuoteShow();

    const RunSpec runs[] = {
        {"no changes (quotes off, one song playing)", false, false, Music::Steady},
        {"songs every 2 s, 200 ms opens, on the worker", false, false, Music::ChangingOnWorker},
        {"songs every 2 s, 200 ms opens, on the frame", false, false, Music::ChangingOnFrameThread},
        {"quotes every 2 s (no music)", true, true, Music::Off},
    };
    RunResult results[sizeof runs / sizeof runs[0]];
    for (size_t i = 0; i < sizeof runs / sizeof runs[0]; ++i) {
        if (!Run(runs[i], seconds, results[i])) {
            std::fprintf(stderr, "the scene could not be set up\n");
            return 1;
        }
    }
    const Stats base = Summarise(results[0].all);
    std::printf("main-loop pass (skip, frame, music update); ratios to the first run\n");
    for (size_t i = 0; i < sizeof runs / sizeof runs[0]; ++i) {
        Print(runs[i].name, results[i].all, base);
        if (runs[i].music == Music::ChangingOnWorker || runs[i].music == Music::ChangingOnFrameThread)
            std::printf("%-46s songs started %d\n", "", results[i].songsStarted);
    }
    const RunResult& q = results[3];
    Print("  quotes: frames preparing the next quote", q.preparing, base);
    Print("  quotes: frames a quote became current in", q.becomingCurrent, base);
    std::printf("quotes shown %d\n", q.quotesShown);
    delete ss;
    ss = nullptr;
    return 0;
}
