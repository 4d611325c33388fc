// What a user hears from the real ZephylSaver.scr under Wine: the null sink's output is
// recorded while a full-screen run plays a playlist of short tones (a different pitch per
// song), and the recording is cut into silence and tone sections: the song order and
// lengths, the 2000 ms gap, the arrow keys, volume 0, a list without playable songs and a
// process without a sound device.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/SoundRecorder.h"
#include "support/WineTest.h"

namespace {

const DWORD kStartMs = 60000;  // D3D on llvmpipe takes a while under Wine
const DWORD kEndMs = 15000;
const DWORD kBoxMs = 30000;
const std::vector<double> kTones = {440, 660, 880};
enum Tone { k440 = 0, k660 = 1, k880 = 2 };

class MusicSound : public ::testing::Test {
protected:
    void SetUp() override {
        wt::ResetProductState(true);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 1);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShuffleMusic", 0);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "DefaultMusic", 0);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CustomMusic", 1);
        wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "MusicVol", "255");
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowQuotes", 0);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowBugReport", 0);
        wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "DispModeWidth", "0");
        DeleteFileA(wt::LogPath().c_str());
        DeleteFileA(wt::UserPlaylist().c_str());
        m_folder = wt::InstallCopy("sound");
        m_exe = m_folder + "ZephylSaver.scr";
        ASSERT_TRUE(wt::FileExists(m_exe)) << m_exe;
        ASSERT_GT(waveOutGetNumDevs(), 0u) << "no wave-out device: the tests need the PulseAudio null sink";
        SetCursorPos(300, 300);
    }

    void TearDown() override {
        if (m_process.Running()) m_process.Kill();
        DeleteFileA(wt::UserPlaylist().c_str());
    }

    // A song file beside the installed program; returns its path.
    std::string Song(const std::string& name, const std::string& bytes) {
        std::string path = m_folder + name;
        EXPECT_TRUE(wt::WriteFile(path, bytes)) << path;
        return path;
    }
    std::string OggSong(const std::string& name) {
        bool ok = false;
        std::string bytes = wt::ReadFile(wt::SourceFolder() + "tests\\music\\data\\tone880.ogg", &ok);
        EXPECT_TRUE(ok) << "tests/music/data/tone880.ogg";
        return Song(name, bytes);
    }
    void WritePlaylist(const std::vector<std::string>& songs) {
        std::string text = "#EXTM3U\r\n";
        for (const std::string& s : songs) text += s + "\r\n";
        // In a fresh prefix no run has made the user's folder yet.
        std::string folder = wt::UserDataFolder();
        for (size_t at = folder.find('\\', 3); at != std::string::npos; at = folder.find('\\', at + 1))
            CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
        ASSERT_TRUE(wt::WriteFile(wt::UserPlaylist(), text));
    }

    void StartRecording() { ASSERT_TRUE(m_recorder.Start(m_folder)) << "parec did not start recording"; }
    // The sections of the recording, the silence before the first sound left out.
    std::vector<wt::Section> StopRecording() {
        wt::Recording recording;
        EXPECT_TRUE(m_recorder.Stop(recording)) << "nothing was recorded";
        EXPECT_EQ(44100, recording.rate);
        m_peak = wt::Peak(recording);
        std::vector<wt::Section> sections = wt::Sections(recording, kTones);
        if (!sections.empty() && sections.front().tone == wt::kSilent) sections.erase(sections.begin());
        printf("heard: %s\n", wt::Describe(sections, kTones).c_str());
        fflush(stdout);
        return sections;
    }

    // A full-screen run whose music has started and whose main loop runs.
    void StartRun() {
        ASSERT_TRUE(m_process.Start(m_exe, "/s"));
        ASSERT_TRUE(wt::WaitForLog("Entering main loop...", kStartMs)) << wt::LogText();
    }

    void EndRun() {
        wt::PressKey(VK_ESCAPE);
        ASSERT_TRUE(wt::WaitExitPumping(m_process, kEndMs)) << "the run did not end; log:\n" << wt::LogText();
    }

    // The failed sound start made the run a failed one: the program says so at its end.
    void EndFailedRun() {
        wt::PressKey(VK_ESCAPE);
        wt::MessageBoxInfo box;
        ASSERT_TRUE(wt::WaitForMessageBox(m_process.Id(), kEndMs, box)) << wt::LogText();
        EXPECT_EQ("Error initializing", box.caption);
        wt::PressOk(box.window);
        ASSERT_TRUE(wt::WaitExitPumping(m_process, kEndMs));
    }

    void ExpectSoundErrorBox() {
        wt::MessageBoxInfo box;
        ASSERT_TRUE(wt::WaitForMessageBox(m_process.Id(), kBoxMs, box)) << wt::LogText();
        EXPECT_EQ("Error initializing sound", box.caption);
        EXPECT_EQ(0u, box.text.find("An error was encountered while initializing the sound subsystem.")) << box.text;
        EXPECT_TRUE(box.hasIcon);
        wt::PressOk(box.window);
    }

    std::string m_folder;
    std::string m_exe;
    wt::Process m_process;
    wt::SoundRecorder m_recorder;
    double m_peak = 0;
};

std::string Describe(const std::vector<wt::Section>& s) { return wt::Describe(s, kTones); }

// The silence between two songs: 2000 ms of frame time, plus up to one frame (the gap
// timer is checked once per frame) and the time the next song's stream takes to sound.
void ExpectGap(const wt::Section& gap, const std::vector<wt::Section>& s) {
    EXPECT_EQ(wt::kSilent, gap.tone) << Describe(s);
    EXPECT_GE(gap.length, 1.9) << "the gap between songs; " << Describe(s);
    EXPECT_LE(gap.length, 2.9) << "the gap between songs; " << Describe(s);
}

TEST_F(MusicSound, EachSongPlaysItsLengthWithTwoSecondsOfSilenceBetween) {
    std::string first = Song("first.wav", wt::ToneWav(1.2, 440));
    std::string second = OggSong("second.ogg");
    WritePlaylist({first, second});
    StartRecording();
    StartRun();
    // first (1.2 s), the gap, second (1 s), the gap, first again: the list wraps around.
    wt::PumpFor(9000);
    std::vector<wt::Section> s = StopRecording();
    EndRun();

    ASSERT_GE(s.size(), 5u) << Describe(s);
    EXPECT_EQ(k440, s[0].tone) << Describe(s);
    EXPECT_NEAR(1.2, s[0].loud, 0.2) << Describe(s);
    ExpectGap(s[1], s);
    EXPECT_EQ(k880, s[2].tone) << Describe(s);
    EXPECT_NEAR(1.0, s[2].loud, 0.2) << Describe(s);
    ExpectGap(s[3], s);
    EXPECT_EQ(k440, s[4].tone) << "after the last song the first plays again; " << Describe(s);
    for (const wt::Section& section : s) EXPECT_NE(wt::kUnknown, section.tone) << Describe(s);

    std::string log = wt::LogText();
    EXPECT_NE(std::string::npos, log.find("Attempting to open file \"" + first + "\"")) << log;
    EXPECT_EQ(std::string::npos, log.find("Exception caught"));
}

TEST_F(MusicSound, RightSkipsAtOnceDownPausesAndResumesUpResumes) {
    std::string first = Song("first.wav", wt::ToneWav(3.0, 440));
    std::string second = Song("second.wav", wt::ToneWav(3.0, 660));
    std::string third = OggSong("third.ogg");
    WritePlaylist({first, second, third});
    StartRecording();
    StartRun();
    wt::PumpFor(1000);
    wt::PressKey(VK_RIGHT);  // first stops, second starts without the gap
    wt::PumpFor(1000);
    wt::PressKey(VK_DOWN);   // pause
    wt::PumpFor(1500);
    wt::PressKey(VK_DOWN);   // resume
    wt::PumpFor(800);
    wt::PressKey(VK_DOWN);   // pause
    wt::PumpFor(1500);
    wt::PressKey(VK_UP);     // resume
    wt::PumpFor(2500);       // the rest of second (1.2 s), then the gap
    std::vector<wt::Section> s = StopRecording();
    ASSERT_TRUE(m_process.Running()) << "an arrow key ended the run";
    EXPECT_EQ(std::string::npos, wt::LogText().find("Quitting screensaver"));
    EndRun();

    ASSERT_GE(s.size(), 6u) << Describe(s);
    size_t i = 0;
    EXPECT_EQ(k440, s[i].tone) << Describe(s);
    EXPECT_LT(s[i].loud, 2.5) << "the first song was cut short; " << Describe(s);
    ++i;
    if (s[i].tone == wt::kSilent) {
        EXPECT_LT(s[i].length, 0.5) << "the skip starts the next song at once; " << Describe(s);
        ++i;
    }
    // second: heard, paused, heard, paused, heard to its end.
    const int expectTone[] = {k660, wt::kSilent, k660, wt::kSilent, k660};
    const double expectLength[] = {1.0, 1.5, 0.8, 1.5, 1.2};
    double heard = 0;
    for (int k = 0; k < 5 && i < s.size(); ++k, ++i) {
        EXPECT_EQ(expectTone[k], s[i].tone) << "section " << i << "; " << Describe(s);
        double length = s[i].tone == wt::kSilent ? s[i].length : s[i].loud;
        EXPECT_NEAR(expectLength[k], length, 0.45) << "section " << i << "; " << Describe(s);
        if (s[i].tone == k660) heard += s[i].loud;
    }
    // Each section may gain up to a window at either edge: 3 x 2 x 50 ms.
    EXPECT_NEAR(3.0, heard, 0.35) << "the paused song is heard whole, once; " << Describe(s);
    ASSERT_EQ(i + 1, s.size()) << "only the gap after the second song follows; " << Describe(s);
    EXPECT_EQ(wt::kSilent, s[i].tone) << Describe(s);
}

TEST_F(MusicSound, LeftOnTheFirstSongGoesToTheLastAtOnceThenOnForward) {
    std::string first = Song("first.wav", wt::ToneWav(3.0, 440));
    std::string second = Song("second.wav", wt::ToneWav(1.0, 660));
    std::string third = OggSong("third.ogg");
    WritePlaylist({first, second, third});
    StartRecording();
    StartRun();
    wt::PumpFor(800);
    wt::PressKey(VK_LEFT);
    wt::PumpFor(4500);  // third (1 s), the gap, then first again: forward, not back to second
    std::vector<wt::Section> s = StopRecording();
    EndRun();

    ASSERT_GE(s.size(), 4u) << Describe(s);
    EXPECT_EQ(k440, s[0].tone) << Describe(s);
    EXPECT_LT(s[0].loud, 2.5) << "the first song was cut short; " << Describe(s);
    size_t i = 1;
    if (s[i].tone == wt::kSilent) EXPECT_LT(s[i++].length, 0.5) << "the skip is at once; " << Describe(s);
    ASSERT_LT(i + 2, s.size()) << Describe(s);
    EXPECT_EQ(k880, s[i].tone) << "back from the first song is the last; " << Describe(s);
    EXPECT_NEAR(1.0, s[i].loud, 0.2) << Describe(s);
    ExpectGap(s[i + 1], s);
    EXPECT_EQ(k440, s[i + 2].tone) << "after the last song the list wraps forward; " << Describe(s);
}

TEST_F(MusicSound, ASkipWhilePausedPlaysTheNextSongButNothingFollowsUntilResumed) {
    std::string first = Song("first.wav", wt::ToneWav(3.0, 440));
    std::string second = Song("second.wav", wt::ToneWav(1.0, 660));
    std::string third = OggSong("third.ogg");
    WritePlaylist({first, second, third});
    StartRecording();
    StartRun();
    wt::PumpFor(700);
    wt::PressKey(VK_DOWN);   // pause first
    wt::PumpFor(1000);
    wt::PressKey(VK_RIGHT);  // second plays although paused
    wt::PumpFor(3500);       // second ends; the pause holds the list
    wt::PressKey(VK_UP);     // resume: the gap, then third
    wt::PumpFor(3800);
    std::vector<wt::Section> s = StopRecording();
    EndRun();

    // A slow start of the run may push the gap after the third song past the recording's end.
    ASSERT_GE(s.size(), 5u) << Describe(s);
    ASSERT_LE(s.size(), 6u) << Describe(s);
    EXPECT_EQ(k440, s[0].tone) << Describe(s);
    EXPECT_EQ(wt::kSilent, s[1].tone) << Describe(s);
    EXPECT_NEAR(1.0, s[1].length, 0.4) << "paused; " << Describe(s);
    EXPECT_EQ(k660, s[2].tone) << Describe(s);
    EXPECT_NEAR(1.0, s[2].loud, 0.2) << "the whole second song; " << Describe(s);
    EXPECT_EQ(wt::kSilent, s[3].tone) << Describe(s);
    // 2.5 s held by the pause, then the 2 s gap after the up arrow.
    EXPECT_GT(s[3].length, 3.9) << "nothing may follow while the pause holds; " << Describe(s);
    EXPECT_LT(s[3].length, 5.4) << Describe(s);
    EXPECT_EQ(k880, s[4].tone) << Describe(s);
    EXPECT_NEAR(1.0, s[4].loud, 0.2) << Describe(s);
    if (s.size() == 6) EXPECT_EQ(wt::kSilent, s[5].tone) << Describe(s);
}

TEST_F(MusicSound, VolumeZeroIsSilent) {
    wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "MusicVol", "0");
    std::string song = Song("quiet.wav", wt::ToneWav(1.5, 440));
    WritePlaylist({song});
    StartRecording();
    StartRun();
    wt::PumpFor(2500);
    std::vector<wt::Section> s = StopRecording();
    EndRun();
    std::string log = wt::LogText();
    EXPECT_NE(std::string::npos, log.find("Attempting to open file \"" + song + "\"")) << log;
    EXPECT_NE(std::string::npos, log.find("Successfully exiting initSound()"));
    EXPECT_TRUE(s.empty()) << Describe(s);
    EXPECT_LT(m_peak, 0.01);
}

TEST_F(MusicSound, OnlyMp3FilesGiveTheSoundErrorAndTheRunGoesOnSilently) {
    std::string a = Song("a.mp3", "ID3\x03 not a song the player attempts");
    std::string b = Song("B.MP3", wt::ToneWav(1.0, 440));  // a playable sound, but of a type never attempted
    WritePlaylist({a, b});
    StartRecording();
    ASSERT_TRUE(m_process.Start(m_exe, "/s"));
    ExpectSoundErrorBox();
    EXPECT_EQ(1u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").AsDword());
    std::string log = wt::LogText();
    EXPECT_NE(std::string::npos, log.find("Unable to open any valid songs!")) << log;
    EXPECT_EQ(std::string::npos, log.find("Attempting to open file"));
    ASSERT_TRUE(wt::WaitForLog("Entering main loop...", kStartMs)) << wt::LogText();
    wt::PumpFor(1000);
    wt::PressKey(VK_RIGHT);  // music is off: nothing happens
    wt::PumpFor(1000);
    EXPECT_TRUE(m_process.Running());
    std::vector<wt::Section> s = StopRecording();
    EXPECT_TRUE(s.empty()) << Describe(s);
    EndFailedRun();
}

TEST_F(MusicSound, NoSoundDeviceShowsTheOutputDeviceError) {
    WritePlaylist({Song("song.wav", wt::ToneWav(1.0, 440))});
    // The sound server is found through the Unix environment, which a Windows process
    // passes on unchanged: the run is started from a shell pointing it at a server that
    // does not exist (and forbidding the client to start one).
    std::string conf = m_folder + "client.conf";
    ASSERT_TRUE(wt::WriteFile(conf, "autospawn = no\n"));
    std::string script = "PULSE_SERVER=unix:/nonexistent/zephyl-no-sound-server PULSE_CLIENTCONFIG='" +
                         wt::UnixPath(conf) + "' exec wine '" + wt::UnixPath(m_exe) + "' /s </dev/null >/dev/null 2>&1";
    HANDLE shell = nullptr;
    ASSERT_TRUE(wt::RunUnix(script, &shell));
    if (shell) CloseHandle(shell);
    ASSERT_TRUE(m_process.Attach(wt::WaitForProcessNamed("ZephylSaver.scr", kStartMs))) << "the run did not start";
    wt::MessageBoxInfo box;
    ASSERT_TRUE(wt::WaitForMessageBox(m_process.Id(), kBoxMs, box)) << wt::LogText();
    EXPECT_EQ("ERROR in initSound()", box.caption);
    EXPECT_EQ("Error initializing output device.", box.text);
    wt::PressOk(box.window);
    EXPECT_TRUE(wt::WaitForLog("FSOUND_Init() returned an error!", kBoxMs)) << wt::LogText();
    ExpectSoundErrorBox();
    ASSERT_TRUE(wt::WaitForLog("Entering main loop...", kStartMs)) << wt::LogText();
    wt::PumpFor(500);
    EXPECT_TRUE(m_process.Running());
    EndFailedRun();
}

}  // namespace
