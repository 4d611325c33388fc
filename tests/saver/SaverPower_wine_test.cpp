// The real ZephylSaver.scr under Wine with the display switched off and on again during a
// full-screen run: the system's console display state report is delivered to the saver
// window (its setting record written into the saver's own memory, as the system does), and
// the log and "AvgFps" show what the run drew while the display was dark; the music heard
// on the null sink goes on in the dark and stops across a suspend of the machine.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/SoundRecorder.h"
#include "support/WineTest.h"

namespace {

using wt::LogText;

const DWORD kStartMs = 60000;  // D3D on llvmpipe and the mode switch take a while under Wine
const DWORD kEndMs = 15000;
const DWORD kLogMs = 10000;

const GUID kConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
const WPARAM kPowerSettingChange = 0x8013;
struct PowerSetting {
    GUID setting;
    DWORD dataLength;
    DWORD data;
};

bool SendDisplayState(HANDLE process, HWND window, DWORD state) {
    void* remote = VirtualAllocEx(process, nullptr, sizeof(PowerSetting), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return false;
    const PowerSetting setting = {kConsoleDisplayState, sizeof(DWORD), state};
    DWORD_PTR result = 0;
    const bool ok = WriteProcessMemory(process, remote, &setting, sizeof setting, nullptr) &&
                    SendMessageTimeoutA(window, WM_POWERBROADCAST, kPowerSettingChange,
                                        reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, kLogMs, &result);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return ok;
}

// The numbers of every log line holding `text` followed by a number ("... after 123 frames").
std::vector<long> NumbersAfter(const std::string& log, const std::string& text) {
    std::vector<long> numbers;
    for (const std::string& line : wt::Lines(log)) {
        size_t at = line.find(text);
        if (at != std::string::npos) numbers.push_back(std::strtol(line.c_str() + at + text.size(), nullptr, 10));
    }
    return numbers;
}

// Waits until the log holds `count` lines with `text`.
bool WaitForLines(const std::string& text, size_t count, DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        if (NumbersAfter(LogText(), text).size() >= count) return true;
        wt::PumpFor(50);
    } while (GetTickCount() - start < ms);
    return false;
}

// Starts a full-screen run of the installed copy and waits for its main loop; `process` can
// write into the saver's memory (the caller closes it).
void StartRun(const std::string& folder, wt::Process& saver, HWND& window, HANDLE& process) {
    ASSERT_TRUE(saver.Start(folder + "ZephylSaver.scr", "/s"));
    window = wt::WaitForWindow(saver.Id(), "ZephylSaver", kStartMs);
    ASSERT_NE(nullptr, window) << LogText();
    ASSERT_TRUE(wt::WaitForLog("Entering main loop...", kStartMs)) << LogText();
    process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE, saver.Id());
    ASSERT_NE(nullptr, process);
}

const char* const kPaused = "Drawing paused after ";
const char* const kResumed = "Drawing resumed after ";

using ::testing::Test;

TEST(SaverPower, NothingIsDrawnWhileTheDisplayIsOffAndTheRunStillEndsOnInput) {
    wt::ResetProductState(true);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 0);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowQuotes", 0);
    DeleteFileA(wt::LogPath().c_str());
    const std::string folder = wt::InstallCopy("power");
    wt::Process saver;
    HWND window = nullptr;
    HANDLE process = nullptr;
    StartRun(folder, saver, window, process);
    if (Test::HasFatalFailure()) return;
    EXPECT_NE(std::string::npos, LogText().find("Power: watching the console display state")) << LogText();
    wt::PumpFor(2000);

    // Off for ten seconds: the frame count stands still.
    ASSERT_TRUE(SendDisplayState(process, window, 0));
    ASSERT_TRUE(WaitForLines(kPaused, 1, kLogMs)) << LogText();
    wt::PumpFor(10000);
    EXPECT_TRUE(NumbersAfter(LogText(), kResumed).empty()) << "drew while the display was off";
    // Dimmed is still lit; then on again.
    ASSERT_TRUE(SendDisplayState(process, window, 2));
    const DWORD litFrom = GetTickCount();
    ASSERT_TRUE(WaitForLines(kResumed, 1, kLogMs)) << LogText();
    wt::PumpFor(3000);

    // Off again, measuring the frame rate of the lit stretch in between from outside.
    ASSERT_TRUE(SendDisplayState(process, window, 0));
    const DWORD litMs = GetTickCount() - litFrom;
    ASSERT_TRUE(WaitForLines(kPaused, 2, kLogMs)) << LogText();
    const std::vector<long> paused = NumbersAfter(LogText(), kPaused);
    const std::vector<long> resumed = NumbersAfter(LogText(), kResumed);
    ASSERT_EQ(2u, paused.size());
    ASSERT_EQ(1u, resumed.size());
    EXPECT_GT(paused[0], 0);
    EXPECT_EQ(paused[0], resumed[0]) << "frames drawn while the display was off";
    EXPECT_GT(paused[1], resumed[0] + 10) << "drawing did not start again";
    const double litFps = (paused[1] - resumed[0]) * 1000.0 / litMs;

    // A key press ends the run while the display is still off.
    wt::PumpFor(1000);
    wt::PressKey('A');
    ASSERT_TRUE(wt::WaitExitPumping(saver, kEndMs)) << LogText();
    CloseHandle(process);
    ChangeDisplaySettingsA(nullptr, 0);
    const std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("Key pressed -- Quitting screensaver")) << log;
    const std::vector<long> total = NumbersAfter(log, "Frames drawn: ");
    ASSERT_EQ(1u, total.size()) << log;
    EXPECT_EQ(paused[1], total[0]) << "drew after the display went off again";
    EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").AsDword());

    // Had the ten dark seconds counted, the average would hold forty samples of almost no
    // frames against about twenty lit ones: a third of the lit rate. Counted or not, pauses
    // of a loaded machine pull the average below the rate measured from outside.
    const double average = std::strtod(wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "AvgFps").AsString().c_str(),
                                       nullptr);
    EXPECT_GT(average, 0.5 * litFps) << "AvgFps " << average << ", lit " << litFps << " fps";
}

TEST(SaverPower, MusicGoesOnInTheDarkAndStopsAcrossASuspend) {
    wt::ResetProductState(true);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 1);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShuffleMusic", 0);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "DefaultMusic", 0);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CustomMusic", 1);
    wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "MusicVol", "255");
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowQuotes", 0);
    DeleteFileA(wt::LogPath().c_str());
    const std::string folder = wt::InstallCopy("power-music");
    const std::string first = folder + "first.wav", second = folder + "second.wav";
    ASSERT_TRUE(wt::WriteFile(first, wt::ToneWav(3.0, 440)));
    ASSERT_TRUE(wt::WriteFile(second, wt::ToneWav(6.0, 660)));
    ASSERT_TRUE(wt::WriteFile(wt::UserPlaylist(), "#EXTM3U\r\n" + first + "\r\n" + second + "\r\n"));
    ASSERT_GT(waveOutGetNumDevs(), 0u) << "no wave-out device: the test needs the PulseAudio null sink";
    wt::SoundRecorder recorder;
    ASSERT_TRUE(recorder.Start(folder));

    wt::Process saver;
    HWND window = nullptr;
    HANDLE process = nullptr;
    StartRun(folder, saver, window, process);
    if (Test::HasFatalFailure()) return;
    // Dark from the start: the first song, the gap and the start of the second are heard
    // without a frame drawn.
    ASSERT_TRUE(SendDisplayState(process, window, 0));
    wt::PumpFor(7500);
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(window, WM_POWERBROADCAST, 0x4 /* PBT_APMSUSPEND */, 0, SMTO_NORMAL, kLogMs,
                                    &result));
    wt::PumpFor(2000);
    ASSERT_TRUE(SendMessageTimeoutA(window, WM_POWERBROADCAST, 0x12 /* PBT_APMRESUMEAUTOMATIC */, 0, SMTO_NORMAL,
                                    kLogMs, &result));
    wt::PumpFor(2000);
    ASSERT_TRUE(SendDisplayState(process, window, 1));
    wt::PumpFor(2500);  // the rest of the second song
    wt::Recording recording;
    EXPECT_TRUE(recorder.Stop(recording));
    wt::PressKey(VK_ESCAPE);
    ASSERT_TRUE(wt::WaitExitPumping(saver, kEndMs)) << LogText();
    CloseHandle(process);
    ChangeDisplaySettingsA(nullptr, 0);
    DeleteFileA(wt::UserPlaylist().c_str());

    const std::vector<double> tones = {440, 660};
    std::vector<wt::Section> s = wt::Sections(recording, tones);
    if (!s.empty() && s.front().tone == wt::kSilent) s.erase(s.begin());
    const std::string heard = wt::Describe(s, tones);
    ASSERT_GE(s.size(), 5u) << heard;
    EXPECT_EQ(0, s[0].tone) << heard;
    EXPECT_NEAR(3.0, s[0].loud, 0.3) << heard;
    // The gap between songs runs on the wall clock while nothing is drawn.
    EXPECT_EQ(wt::kSilent, s[1].tone) << heard;
    EXPECT_GE(s[1].length, 1.9) << heard;
    EXPECT_LE(s[1].length, 2.9) << heard;
    EXPECT_EQ(1, s[2].tone) << heard;
    // Suspended: the output is closed for the two seconds, and the song goes on after.
    EXPECT_EQ(wt::kSilent, s[3].tone) << heard;
    EXPECT_GE(s[3].length, 1.5) << heard;
    EXPECT_EQ(1, s[4].tone) << heard;
    EXPECT_NEAR(6.0, s[2].loud + s[4].loud, 0.6) << "the second song, heard in two parts; " << heard;

    const std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("Power: suspending, sound output closed")) << log;
    EXPECT_NE(std::string::npos, log.find("Power: resumed, sound output reopened")) << log;
    const std::vector<long> paused = NumbersAfter(log, kPaused);
    const std::vector<long> resumed = NumbersAfter(log, kResumed);
    ASSERT_EQ(1u, paused.size()) << log;
    ASSERT_EQ(1u, resumed.size()) << log;
    EXPECT_EQ(paused[0], resumed[0]) << "frames drawn while the display was off";
}

}  // namespace
