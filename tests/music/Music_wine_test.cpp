// Drives the real ZephylSaver.scr under Wine with music on: songs of a music.bdl made by
// the test, the arrow keys during a run, the sound error when no song can be opened, and
// the user's playlist filled from the documents folder.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "content/BundleWriter.h"
#include "support/WineTest.h"

namespace {

using wt::LogPath;
using wt::LogText;
using wt::PressKey;
using wt::PumpFor;
using wt::WaitForLog;

const DWORD kStartMs = 60000;  // D3D on llvmpipe and the mode switch take a while under Wine
const DWORD kEndMs = 15000;

class MusicRun : public ::testing::Test {
protected:
    void SetUp() override {
        wt::ResetProductState(true);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 1);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShuffleMusic", 0);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "DefaultMusic", 1);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CustomMusic", 0);
        wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowQuotes", 0);
        wt::WriteString(HKEY_CURRENT_USER, wt::kProductKey, "DispModeWidth", "0");
        DeleteFileA(LogPath().c_str());
        DeleteFileA(wt::UserPlaylist().c_str());
        m_folder = wt::InstallCopy("music");
        m_exe = m_folder + "ZephylSaver.scr";
        ASSERT_TRUE(wt::FileExists(m_exe)) << m_exe;
        SetCursorPos(300, 300);
    }
    void TearDown() override {
        if (m_process.Running()) m_process.Kill();
        DeleteFileA(wt::UserPlaylist().c_str());
    }

    // music.bdl of the installed copy: category "music" with the given songs.
    void WriteMusicBundle(const std::vector<std::pair<std::string, std::string>>& songs) {
        BundleWriter w;
        ASSERT_TRUE(w.BeginCategory("music"));
        for (const auto& s : songs) ASSERT_TRUE(w.AddEntry(s.first, s.second.data(), s.second.size()));
        std::vector<uint8_t> bytes = w.Finish();
        ASSERT_TRUE(wt::WriteFile(m_folder + "music.bdl", std::string(bytes.begin(), bytes.end())));
    }

    bool StartRun() {
        if (!m_process.Start(m_exe, "/s")) return false;
        return wt::WaitForWindow(m_process.Id(), "ZephylSaver", kStartMs) != nullptr;
    }

    void EndRun() {
        PressKey(VK_ESCAPE);
        ASSERT_TRUE(wt::WaitExitPumping(m_process, kEndMs)) << "the run did not end; log:\n" << LogText();
    }

    std::string m_folder;
    std::string m_exe;
    wt::Process m_process;
};

TEST_F(MusicRun, BundleSongsPlayAndArrowKeysSteerWithoutEndingTheRun) {
    WriteMusicBundle({{"skip.mp3", "ID3 not attempted"}, {"one.wav", wt::ToneWav(1.0, 440)},
                      {"TWO.WAV", wt::ToneWav(1.0, 660)}});
    ASSERT_TRUE(StartRun()) << LogText();
    ASSERT_TRUE(WaitForLog("Entering main loop...", kStartMs)) << LogText();
    std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("Enter function: initSound()")) << log;
    EXPECT_NE(std::string::npos, log.find("Initializing with FSUOND_Init(44100,1,0)"));
    EXPECT_EQ(std::string::npos, log.find("Attempting to open file \"?skip.mp3\""));
    EXPECT_NE(std::string::npos, log.find("Attempting to open file \"?one.wav\""));
    EXPECT_NE(std::string::npos, log.find("Successfully exiting initSound()"));
    EXPECT_EQ(std::string::npos, log.find("Unable to open any valid songs!"));
    EXPECT_TRUE(wt::WindowsOf(m_process.Id(), "#32770").empty()) << "no message box expected";

    // The first song ends after a second; the gap and the next song follow while the
    // arrow keys skip, go back, pause and resume.
    PumpFor(3500);
    for (WORD key : {VK_RIGHT, VK_LEFT, VK_DOWN, VK_DOWN, VK_UP, VK_RIGHT, VK_DOWN, VK_RIGHT, VK_UP}) {
        PressKey(key);
        PumpFor(400);
        ASSERT_TRUE(m_process.Running()) << "arrow key " << key << " ended the run; log:\n" << LogText();
    }
    EXPECT_EQ(std::string::npos, LogText().find("Quitting screensaver"));
    EXPECT_TRUE(wt::WindowsOf(m_process.Id(), "#32770").empty());

    EndRun();
    log = LogText();
    EXPECT_NE(std::string::npos, log.find("Enter function: ShutdownSound()")) << log;
    EXPECT_NE(std::string::npos, log.find("Closing FMOD (FSOUND_Close())"));
    EXPECT_NE(std::string::npos, log.find("Successfully exiting ShutdownSound()"));
    EXPECT_EQ(std::string::npos, log.find("Exception caught"));
    EXPECT_EQ(0u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").AsDword());
    // The player switches music off only in memory.
    EXPECT_EQ(1u, wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic").AsDword());
}

TEST_F(MusicRun, NoPlayableSongShowsTheSoundErrorAndTheRunGoesOn) {
    WriteMusicBundle({{"only.mp3", "ID3 data"}});
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "ShowBugReport", 0);
    ASSERT_TRUE(m_process.Start(m_exe, "/s"));
    wt::MessageBoxInfo box;
    ASSERT_TRUE(wt::WaitForMessageBox(m_process.Id(), kStartMs, box)) << LogText();
    EXPECT_EQ("Error initializing sound", box.caption);
    EXPECT_EQ(0u, box.text.find("An error was encountered while initializing the sound subsystem.")) << box.text;
    EXPECT_NE(std::string::npos, LogText().find("Unable to open any valid songs!"));
    wt::PressOk(box.window);
    ASSERT_TRUE(WaitForLog("Entering main loop...", kStartMs)) << LogText();
    PumpFor(500);
    PressKey(VK_RIGHT);  // music is off now: nothing happens
    PumpFor(500);
    EXPECT_TRUE(m_process.Running());
    EXPECT_EQ(std::string::npos, LogText().find("Quitting screensaver"));
    // The failed sound start counts as a failed run: the program says so when it ends.
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(wt::WaitForMessageBox(m_process.Id(), kEndMs, box)) << LogText();
    EXPECT_EQ("Error initializing", box.caption);
    wt::PressOk(box.window);
    EXPECT_TRUE(m_process.WaitExit(kEndMs));
}

TEST_F(MusicRun, EmptyUserPlaylistIsFilledFromTheDocumentsFolder) {
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "CustomMusic", 1);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "DefaultMusic", 0);
    char docs[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, docs, CSIDL_PERSONAL, TRUE));
    std::string folder = std::string(docs) + "\\ZephylMusicTest";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string song = folder + "\\found.wav";
    ASSERT_TRUE(wt::WriteFile(song, wt::ToneWav(0.5, 500)));

    ASSERT_TRUE(StartRun()) << LogText();
    ASSERT_TRUE(WaitForLog("Successfully exiting initSound()", kStartMs)) << LogText();
    EXPECT_NE(std::string::npos, LogText().find("Reading playlist"));
    EXPECT_NE(std::string::npos, LogText().find("Attempting to open file \"")) << LogText();
    bool ok = false;
    std::string playlist = wt::ReadFile(wt::UserPlaylist(), &ok);
    EXPECT_TRUE(ok) << wt::UserPlaylist();
    EXPECT_EQ(0u, playlist.find("#EXTM3U\r\n")) << playlist;
    EXPECT_NE(std::string::npos, playlist.find("#EXTINF:-1,found\r\n" + song + "\r\n")) << playlist;
    EndRun();

    DeleteFileA(song.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
