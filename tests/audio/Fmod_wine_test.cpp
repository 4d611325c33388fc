// The built fmod.dll under Wine, loaded by name the way the screen saver loads it: songs
// played through the PulseAudio null sink are recorded with parec and checked on the
// recording (sound where expected, silence at volume 0 and while paused, lengths, pitch, a
// pause, resume and stop heard at once rather than after the output's queue), and a
// process without a sound server gets error 3 from FSOUND_Init.
#include "audio/WavBuilder.h"
#include "support/WineTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

struct Fmod {
    typedef signed char(__stdcall* IntFn)(int);
    typedef signed char(__stdcall* InitFn)(int, int, unsigned);
    typedef void(__stdcall* CloseFn)();
    typedef int(__stdcall* GetErrorFn)();
    typedef void*(__stdcall* OpenFn)(const char*, unsigned, int, int);
    typedef int(__stdcall* PlayFn)(int, void*);
    typedef signed char(__stdcall* StreamFn)(void*);
    typedef signed char(__stdcall* ChannelIntFn)(int, int);
    typedef signed char(__stdcall* PausedFn)(int, signed char);

    HMODULE dll = nullptr;
    IntFn SetBufferSize = nullptr, SetDriver = nullptr, IsPlaying = nullptr;
    InitFn Init = nullptr;
    CloseFn Close = nullptr;
    GetErrorFn GetError = nullptr;
    OpenFn StreamOpen = nullptr;
    PlayFn StreamPlay = nullptr;
    StreamFn StreamStop = nullptr, StreamClose = nullptr;
    ChannelIntFn SetPan = nullptr, SetVolume = nullptr;
    PausedFn SetPaused = nullptr;

    template <class T> void Get(T& fn, const char* name)
    {
        fn = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    }

    bool Load()
    {
        dll = LoadLibraryA((wt::DistFolder() + "fmod.dll").c_str());
        if (!dll)
            return false;
        Get(SetBufferSize, "FSOUND_SetBufferSize");
        Get(SetDriver, "FSOUND_SetDriver");
        Get(Init, "FSOUND_Init");
        Get(Close, "FSOUND_Close");
        Get(GetError, "FSOUND_GetError");
        Get(StreamOpen, "FSOUND_Stream_Open");
        Get(StreamPlay, "FSOUND_Stream_Play");
        Get(StreamStop, "FSOUND_Stream_Stop");
        Get(StreamClose, "FSOUND_Stream_Close");
        Get(SetPan, "FSOUND_SetPan");
        Get(SetVolume, "FSOUND_SetVolume");
        Get(SetPaused, "FSOUND_SetPaused");
        Get(IsPlaying, "FSOUND_IsPlaying");
        return SetBufferSize && SetDriver && Init && Close && GetError && StreamOpen && StreamPlay && StreamStop &&
               StreamClose && SetPan && SetVolume && SetPaused && IsPlaying;
    }
    ~Fmod()
    {
        if (dll)
            FreeLibrary(dll);
    }
};

const int kAll = -3;
const int kFree = -1;
const int kStereoPan = -1;
const unsigned kModeFile = 0x2130;
const unsigned kModeMemory = 0xA130;

std::string UnixPath(const std::string& windowsPath)
{
    typedef char*(__cdecl * ToUnix)(const WCHAR*);
    ToUnix toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix)
        return std::string();
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH);
    char* unixName = toUnix(wide);
    if (!unixName)
        return std::string();
    std::string s(unixName);
    HeapFree(GetProcessHeap(), 0, unixName);
    return s;
}

std::string TempFolder()
{
    char buf[MAX_PATH];
    GetTempPathA(MAX_PATH, buf);
    std::string folder = std::string(buf) + "zaudio_wine\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// Runs a Unix command line through /bin/sh (Wine starts Unix programs by their path).
bool RunUnix(const std::string& script, HANDLE* process = nullptr)
{
    std::string cmd = "/bin/sh -c \"" + script + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back(0);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    if (process)
        *process = pi.hProcess;
    else {
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
    }
    return true;
}

// parec on the default sink's monitor, 44100 Hz 16-bit stereo raw, into a file.
class Recorder {
public:
    bool Start(const std::string& folder)
    {
        m_raw = UnixPath(folder + "rec.raw");
        m_pid = UnixPath(folder + "rec.pid");
        if (m_raw.empty() || m_pid.empty())
            return false;
        std::remove((folder + "rec.raw").c_str());
        m_rawWindows = folder + "rec.raw";
        std::string script = "echo $$ > '" + m_pid + "'; exec parec -d @DEFAULT_MONITOR@ --raw --format=s16le "
                             "--rate=44100 --channels=2 --latency-msec=20 '" + m_raw + "'";
        if (!RunUnix(script, &m_process))
            return false;
        // Recording has begun once the file exists and grows.
        for (int i = 0; i < 100; ++i) {
            Sleep(50);
            WIN32_FILE_ATTRIBUTE_DATA a;
            if (GetFileAttributesExA(m_rawWindows.c_str(), GetFileExInfoStandard, &a) && a.nFileSizeLow > 0)
                return true;
        }
        return false;
    }

    std::vector<int16_t> Stop()
    {
        RunUnix("kill $(cat '" + m_pid + "')");
        if (m_process) {
            CloseHandle(m_process);
            m_process = nullptr;
        }
        // Wine cannot wait for a Unix process: the recording is complete once it stops growing.
        DWORD last = MAXDWORD;
        for (int i = 0; i < 50; ++i) {
            Sleep(100);
            WIN32_FILE_ATTRIBUTE_DATA a;
            DWORD size = GetFileAttributesExA(m_rawWindows.c_str(), GetFileExInfoStandard, &a) ? a.nFileSizeLow : 0;
            if (size == last)
                break;
            last = size;
        }
        std::vector<uint8_t> bytes = wavtest::ReadFile(m_rawWindows);
        std::vector<int16_t> samples(bytes.size() / 2);
        if (!samples.empty())
            memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }

    ~Recorder()
    {
        if (m_process) {
            RunUnix("kill $(cat '" + m_pid + "')");
            CloseHandle(m_process);
        }
    }

private:
    std::string m_raw, m_pid, m_rawWindows;
    HANDLE m_process = nullptr;
};

// A stretch of the recording that is loud, in seconds: from its first to its last loud
// window, and how much of it is loud. Under load the sound server can fall behind for a
// moment and insert silence (nothing is lost, the rest comes later), so what a song
// contributed is its loud time, not the stretch's length.
struct Span {
    double start, length, loud;
    std::vector<size_t> windows;
};

const int kRate = 44100;
const int kWindow = kRate / 50;  // 20 ms
const double kWindowSeconds = 1.0 / 50;

bool WindowLoud(const std::vector<int16_t>& s, size_t w)
{
    double sum = 0;
    for (size_t i = w * kWindow * 2; i < (w + 1) * kWindow * 2; ++i)
        sum += double(s[i]) * s[i];
    return std::sqrt(sum / (kWindow * 2)) > 327.0;  // 1% of full scale
}

// Loud stretches of stereo samples; silences shorter than 400 ms do not split a stretch.
std::vector<Span> LoudSpans(const std::vector<int16_t>& s)
{
    std::vector<bool> loud;
    for (size_t w = 0; (w + 1) * kWindow * 2 <= s.size(); ++w)
        loud.push_back(WindowLoud(s, w));
    std::vector<Span> spans;
    size_t i = 0;
    while (i < loud.size()) {
        if (!loud[i]) {
            ++i;
            continue;
        }
        Span span = {i * kWindowSeconds, 0, 0, {}};
        size_t lastLoud = i;
        for (size_t j = i; j < loud.size() && j - lastLoud < 20; ++j) {
            if (loud[j]) {
                lastLoud = j;
                span.windows.push_back(j);
            }
        }
        span.length = (lastLoud + 1 - i) * kWindowSeconds;
        span.loud = span.windows.size() * kWindowSeconds;
        spans.push_back(span);
        i = lastLoud + 1;
    }
    return spans;
}

double PeakOf(const std::vector<int16_t>& s, const Span& span)
{
    int peak = 0;
    for (size_t w : span.windows)
        for (size_t i = w * kWindow * 2; i < (w + 1) * kWindow * 2; ++i)
            peak = std::max(peak, std::abs(int(s[i])));
    return peak / 32768.0;
}

// The pitch of a sine from the rising zero crossings of the left channel: in each window
// inside a run of sound, the crossings over the time from the first to the last, and the
// median of the windows. A moment's drop-out of the sound server spoils the window it falls
// in, not the median.
int CrossingsPerSecond(const std::vector<int16_t>& s, const Span& span)
{
    std::vector<double> perWindow;
    for (size_t k = 1; k + 1 < span.windows.size(); ++k) {
        // Only windows inside a run of sound: the first and last are partly silent.
        size_t w = span.windows[k];
        if (span.windows[k - 1] != w - 1 || span.windows[k + 1] != w + 1)
            continue;
        size_t first = 0, last = 0;
        int n = 0;
        for (size_t i = w * kWindow + 1; i < (w + 1) * kWindow; ++i) {
            if (s[2 * (i - 1)] < 0 && s[2 * i] >= 0) {
                if (n++ == 0)
                    first = i;
                last = i;
            }
        }
        if (n >= 2)
            perWindow.push_back((n - 1) * double(kRate) / double(last - first));
    }
    if (perWindow.empty())
        return 0;
    std::nth_element(perWindow.begin(), perWindow.begin() + perWindow.size() / 2, perWindow.end());
    return static_cast<int>(std::lround(perWindow[perWindow.size() / 2]));
}

// Polls until the channel stops playing; returns seconds waited (or -1 after maxSeconds).
double WaitUntilStopped(Fmod& f, int channel, double maxSeconds)
{
    DWORD start = GetTickCount();
    while (f.IsPlaying(channel)) {
        if (GetTickCount() - start > maxSeconds * 1000)
            return -1;
        Sleep(10);
    }
    return (GetTickCount() - start) / 1000.0;
}

std::string Describe(const std::vector<Span>& spans)
{
    std::string s;
    char buf[64];
    for (const Span& sp : spans) {
        snprintf(buf, sizeof buf, "[at %.2f +%.2f, loud %.2f] ", sp.start, sp.length, sp.loud);
        s += buf;
    }
    return s;
}

}  // namespace

TEST(FmodDll, ExportsEveryFunctionByItsPlainName)
{
    Fmod f;
    ASSERT_TRUE(f.Load()) << "fmod.dll from " << wt::DistFolder() << " with all 13 FSOUND exports";
    EXPECT_EQ(GetProcAddress(f.dll, "_FSOUND_Init@12"), nullptr);
    EXPECT_EQ(GetProcAddress(f.dll, "FSOUND_Init@12"), nullptr);
}

TEST(FmodDll, MissingDriverIsAnInitError)
{
    Fmod f;
    ASSERT_TRUE(f.Load());
    ASSERT_TRUE(f.SetDriver(99));
    EXPECT_FALSE(f.Init(44100, 1, 0));
    EXPECT_EQ(f.GetError(), 3);
    ASSERT_TRUE(f.SetDriver(0));
}

TEST(FmodDll, PlaysWavAndOggThroughTheSoundServer)
{
    Fmod f;
    ASSERT_TRUE(f.Load());
    ASSERT_GT(waveOutGetNumDevs(), 0u) << "no wave-out device: the test needs the PulseAudio null sink";
    std::string folder = TempFolder();

    // 3 s of 440 Hz at 22050 Hz mono (resampled on the way), 5 s of 660 Hz at 44100 stereo.
    std::string wav1 = folder + "a440.wav", wav2 = folder + "b660.wav";
    ASSERT_TRUE(wavtest::WriteFile(wav1, wavtest::SineWav(22050, 1, 440, 0.5, 3 * 22050)));
    ASSERT_TRUE(wavtest::WriteFile(wav2, wavtest::SineWav(44100, 2, 660, 0.4, 5 * 44100)));
    std::vector<uint8_t> ogg = wavtest::ReadFile(wt::SourceFolder() + "tests\\audio\\data\\tone440_stereo.ogg");
    ASSERT_FALSE(ogg.empty());

    ASSERT_TRUE(f.SetBufferSize(250));
    ASSERT_TRUE(f.SetDriver(0));
    ASSERT_TRUE(f.Init(44100, 1, 0)) << "error " << f.GetError();
    ASSERT_TRUE(f.SetVolume(kAll, 255));

    Recorder rec;
    ASSERT_TRUE(rec.Start(folder)) << "parec did not start";
    Sleep(600);

    // Song 1: plays to its end.
    void* s1 = f.StreamOpen(wav1.c_str(), kModeFile, 0, 0);
    ASSERT_NE(s1, nullptr) << f.GetError();
    int ch = f.StreamPlay(kFree, s1);
    ASSERT_GE(ch, 0);
    f.SetPan(ch, kStereoPan);
    f.SetVolume(kAll, 255);
    double played1 = WaitUntilStopped(f, ch, 10);
    // Wall-clock times: the end comes no sooner than the song's length, and late only by
    // the output's buffer and any stall of the sound server.
    EXPECT_GE(played1, 2.7);
    EXPECT_LE(played1, 4.0);
    EXPECT_FALSE(f.IsPlaying(ch));
    f.StreamStop(s1);
    f.StreamClose(s1);
    Sleep(800);

    // Song 2, a skip through it: 1 s heard, 1 s at volume 0, 1 s heard, 1 s paused, 0.5 s
    // heard, 0.5 s at volume 0, 1 s heard, then stopped. A start or a volume change is heard
    // once the output's queue has played (0.25 s and the sound server's own delay), while a
    // pause, a resume and a stop are heard at once: each stretch between a volume change
    // and one of those is longer or shorter than its wall time by that delay.
    void* s2 = f.StreamOpen(wav2.c_str(), kModeFile, 0, 0);
    ASSERT_NE(s2, nullptr) << f.GetError();
    ch = f.StreamPlay(kFree, s2);
    ASSERT_GE(ch, 0);
    f.SetPan(ch, kStereoPan);
    Sleep(1000);
    f.SetVolume(kAll, 0);
    Sleep(1000);
    f.SetVolume(kAll, 255);
    Sleep(1000);
    f.SetPaused(ch, 1);
    Sleep(1000);
    EXPECT_TRUE(f.IsPlaying(ch)) << "a paused song has not ended";
    f.SetPaused(ch, 0);
    Sleep(500);
    f.SetVolume(kAll, 0);
    Sleep(500);
    f.SetVolume(kAll, 255);
    Sleep(1000);
    EXPECT_TRUE(f.IsPlaying(ch)) << "the song is longer than what was heard of it";
    f.StreamStop(s2);
    EXPECT_FALSE(f.IsPlaying(ch));
    f.StreamClose(s2);
    Sleep(800);

    // Song 3: Ogg Vorbis from memory.
    void* s3 = f.StreamOpen(reinterpret_cast<const char*>(ogg.data()), kModeMemory, 0, static_cast<int>(ogg.size()));
    ASSERT_NE(s3, nullptr) << f.GetError();
    ch = f.StreamPlay(kFree, s3);
    ASSERT_GE(ch, 0);
    f.SetVolume(kAll, 255);
    double played3 = WaitUntilStopped(f, ch, 10);
    EXPECT_GE(played3, 0.7);
    EXPECT_LE(played3, 2.0);
    f.StreamClose(s3);
    Sleep(1000);

    std::vector<int16_t> samples = rec.Stop();
    f.Close();
    ASSERT_GT(samples.size(), static_cast<size_t>(kRate * 2 * 12)) << "recording too short";

    std::vector<Span> spans = LoudSpans(samples);
    ASSERT_EQ(spans.size(), 6u) << "loud stretches: " << Describe(spans);
    EXPECT_NEAR(spans[0].loud, 3.0, 0.15) << Describe(spans);
    EXPECT_NEAR(spans[5].loud, 1.0, 0.15) << Describe(spans);
    // Song 2: the queue's delay d is at least 0.15 s (0.25 s of queue less a block of
    // 62.5 ms, less what a loaded machine may blur); were a pause, resume or stop left to
    // the queue as well, every stretch would be its wall time.
    EXPECT_NEAR(spans[1].loud, 1.0, 0.15) << "start and volume change wait alike; " << Describe(spans);
    EXPECT_GE(spans[2].loud, 0.5) << Describe(spans);
    EXPECT_LE(spans[2].loud, 0.85) << "the pause is heard at once; " << Describe(spans);
    EXPECT_GE(spans[3].loud, 0.65) << "the resume is heard at once; " << Describe(spans);
    EXPECT_LE(spans[3].loud, 1.0) << Describe(spans);
    EXPECT_GE(spans[4].loud, 0.5) << Describe(spans);
    EXPECT_LE(spans[4].loud, 0.85) << "the stop is heard at once; " << Describe(spans);
    // Nothing of the song is lost or heard twice around the pause: 3.5 s of it were loud.
    EXPECT_NEAR(spans[1].loud + spans[2].loud + spans[3].loud + spans[4].loud, 3.5, 0.15) << Describe(spans);
    // The volume-0 second is a silent gap of about a second; the paused second is exact.
    EXPECT_NEAR(spans[2].start - (spans[1].start + spans[1].length), 1.0, 0.3) << Describe(spans);
    EXPECT_NEAR(spans[3].start - (spans[2].start + spans[2].length), 1.0, 0.1) << Describe(spans);

    EXPECT_NEAR(CrossingsPerSecond(samples, spans[0]), 440, 10) << "pitch of the resampled WAV";
    EXPECT_NEAR(CrossingsPerSecond(samples, spans[1]), 660, 10);
    EXPECT_NEAR(CrossingsPerSecond(samples, spans[5]), 440, 10) << "pitch of the Ogg song";
    EXPECT_NEAR(PeakOf(samples, spans[0]), 0.5, 0.05);
    EXPECT_NEAR(PeakOf(samples, spans[1]), 0.4, 0.05);
}

TEST(FmodDll, OpenRefusesMp3AndReportsAMissingWindowsMediaCodec)
{
    Fmod f;
    ASSERT_TRUE(f.Load());
    ASSERT_TRUE(f.Init(44100, 1, 0)) << "error " << f.GetError();
    std::string folder = TempFolder();

    std::string mp3 = folder + "song.mp3";
    std::vector<uint8_t> mp3Bytes = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0, 0xFF, 0xFB, 0x90, 0x64};
    mp3Bytes.resize(4000, 0x55);
    ASSERT_TRUE(wavtest::WriteFile(mp3, mp3Bytes));
    EXPECT_EQ(f.StreamOpen(mp3.c_str(), kModeFile, 0, 0), nullptr);
    EXPECT_EQ(f.GetError(), 10);

    EXPECT_EQ(f.StreamOpen((folder + "no such song.ogg").c_str(), kModeFile, 0, 0), nullptr);
    EXPECT_EQ(f.GetError(), 9);

    // An ASF header with nothing a Windows Media reader could play.
    std::vector<uint8_t> asf = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    asf.resize(2000, 0);
    std::string wma = folder + "broken.wma";
    ASSERT_TRUE(wavtest::WriteFile(wma, asf));
    EXPECT_EQ(f.StreamOpen(wma.c_str(), kModeFile, 0, 0), nullptr);
    EXPECT_EQ(f.GetError(), 18);
    EXPECT_EQ(f.StreamOpen(reinterpret_cast<const char*>(asf.data()), kModeMemory, 0, static_cast<int>(asf.size())),
              nullptr);
    EXPECT_EQ(f.GetError(), 18);

    // Ogg Vorbis from a file path opens too (the user's own songs come that way).
    std::string ogg = wt::SourceFolder() + "tests\\audio\\data\\tone1000_mono22k.ogg";
    void* s = f.StreamOpen(ogg.c_str(), kModeFile, 0, 0);
    EXPECT_NE(s, nullptr) << f.GetError();
    if (s)
        EXPECT_TRUE(f.StreamClose(s));
    f.Close();
}

// A process whose sound server cannot be reached has no wave-out device.
TEST(FmodDll, NoSoundDeviceMeansError3)
{
    if (getenv("ZAUDIO_NO_DEVICE_CHILD")) {
        Fmod f;
        ASSERT_TRUE(f.Load());
        bool ok = f.Init(44100, 1, 0);
        int error = f.GetError();
        if (ok)
            f.Close();
        std::string out = std::string(getenv("ZAUDIO_NO_DEVICE_CHILD"));
        wt::WriteFile(out, ok ? std::string("initialised") : std::to_string(error));
        return;
    }
    std::string folder = TempFolder();
    std::string result = folder + "nodevice.txt";
    DeleteFileA(result.c_str());
    wt::WriteFile(folder + "client.conf", "autospawn = no\n");

    // The sound server is found through the Unix environment, so the child is started
    // from a shell that points it at a socket that does not exist (and forbids autospawn).
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string script = "ZAUDIO_NO_DEVICE_CHILD='" + result + "' PULSE_SERVER=unix:/nonexistent/zaudio-no-server "
                         "PULSE_CLIENTCONFIG='" + UnixPath(folder + "client.conf") + "' wine '" +
                         UnixPath(self) + "' --gtest_filter=FmodDll.NoSoundDeviceMeansError3 >/dev/null 2>&1; true";
    HANDLE child = nullptr;
    ASSERT_TRUE(RunUnix(script, &child));
    // Wine hands out no waitable handle for a Unix process: the child's file tells the end.
    for (int i = 0; i < 600 && !wt::FileExists(result); ++i)
        Sleep(100);
    Sleep(200);
    if (child)
        CloseHandle(child);
    EXPECT_EQ(wt::ReadFile(result), "3") << "FSOUND_Init's error code without a sound device";
}
