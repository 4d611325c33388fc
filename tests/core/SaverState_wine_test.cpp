// The settings record against Wine's real registry: defaults, load order and leniency,
// the exact types and bytes written, and the crash-detection writers.
#include <gtest/gtest.h>

#include <cstring>

#include "core/SaverState.h"
#include "support/WineTest.h"

namespace {

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        wt::DeleteTree(HKEY_CURRENT_USER, wt::kProductKey);
        wt::DeleteTree(HKEY_LOCAL_MACHINE, wt::kProductKey);
        wt::DeleteValue(HKEY_LOCAL_MACHINE, kSystemSaverKey, "Mute Sound");
        wt::DeleteValue(HKEY_LOCAL_MACHINE, kSystemSaverKey, "Password Delay");
        wt::DeleteValue(HKEY_LOCAL_MACHINE, kSystemSaverKey, "Mouse Threshold");
    }
    void TearDown() override { SetUp(); }

    static SaverState Loaded() {
        SaverState s;
        s.LoadSystemSaverSettings();
        s.LoadSettings();
        return s;
    }
};

TEST_F(Settings, NoUserKeyKeepsEveryDefaultAndSkipsTheMachineValue) {
    const uint8_t guid[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    ASSERT_TRUE(wt::WriteRaw(HKEY_LOCAL_MACHINE, wt::kProductKey, "VideoGUID", REG_BINARY, guid, 16));
    SaverState s = Loaded();
    EXPECT_EQ(s.PlayMusic, 1);
    EXPECT_EQ(s.DebugLog, 1);
    EXPECT_EQ(s.DispModeWidth, 800);
    EXPECT_EQ(s.DispModeHeight, 600);
    EXPECT_EQ(s.DispModeBits, 16);
    EXPECT_EQ(s.ShowQuotes, 0);
    EXPECT_EQ(s.Quality, 2048);
    EXPECT_EQ(s.MusicVol, 255);
    EXPECT_FLOAT_EQ(s.AvgFps, 100.0f);
    EXPECT_EQ(s.PasswordDelay, 15u);
    EXPECT_EQ(s.MouseThreshold, 50);
    for (uint8_t b : s.VideoGUID) EXPECT_EQ(b, 0);
}

TEST_F(Settings, ValuesLoadInOrderAndAsStored) {
    const char* key = wt::kProductKey;
    wt::WriteDword(HKEY_LOCAL_MACHINE, kSystemSaverKey, "Mute Sound", 1);
    wt::WriteDword(HKEY_LOCAL_MACHINE, kSystemSaverKey, "Mouse Threshold", 7);
    wt::WriteDword(HKEY_CURRENT_USER, key, "PlayMusic", 1);
    wt::WriteDword(HKEY_CURRENT_USER, key, "Quality", 0);
    wt::WriteDword(HKEY_CURRENT_USER, key, "ShowSpeedTip", 0);
    wt::WriteString(HKEY_CURRENT_USER, key, "AvgFps", "57.3214");
    wt::WriteString(HKEY_CURRENT_USER, key, "MusicVol", "  9999 loud");
    wt::WriteDword(HKEY_CURRENT_USER, key, "DispModeWidth", 0x00003131);  // the bytes "11\0\0"
    wt::WriteString(HKEY_CURRENT_USER, key, "DispModeHeight", "768");
    const uint8_t guid[16] = {0xAA, 0xBB};
    wt::WriteRaw(HKEY_LOCAL_MACHINE, key, "VideoGUID", REG_BINARY, guid, 16);

    SaverState s = Loaded();
    EXPECT_EQ(s.PlayMusic, 1) << "the user's value is read after the system's mute";
    EXPECT_EQ(s.MouseThreshold, 7);
    EXPECT_EQ(s.Quality, 0) << "nothing is clamped on load";
    EXPECT_EQ(s.ShowSpeedTip, 0);
    EXPECT_FLOAT_EQ(s.AvgFps, 57.3214f);
    EXPECT_EQ(s.MusicVol, 9999);
    EXPECT_EQ(s.DispModeWidth, 11);
    EXPECT_EQ(s.DispModeHeight, 768);
    EXPECT_EQ(s.VideoGUID[0], 0xAA);
    EXPECT_EQ(s.VideoGUID[1], 0xBB);

    wt::WriteString(HKEY_CURRENT_USER, key, "AvgFps", "fast");
    wt::DeleteValue(HKEY_CURRENT_USER, key, "PlayMusic");
    s = Loaded();
    EXPECT_FLOAT_EQ(s.AvgFps, 0.0f);
    EXPECT_EQ(s.PlayMusic, 0) << "a muted system turns music off when the user has no value";
}

TEST_F(Settings, ValuesOfTheWrongTypeOrSizeDoNotHurt) {
    const char* key = wt::kProductKey;
    const uint8_t two[2] = {5, 0};
    wt::WriteRaw(HKEY_CURRENT_USER, key, "Quality", REG_BINARY, two, 2);
    std::string longText(5000, '7');
    wt::WriteString(HKEY_CURRENT_USER, key, "ShowQuotes", longText);
    wt::WriteString(HKEY_CURRENT_USER, key, "MusicVol", longText);
    wt::WriteRaw(HKEY_CURRENT_USER, key, "AvgFps", REG_BINARY, "\xff\xfe\xfd", 3);
    SaverState s = Loaded();
    EXPECT_EQ(s.ShowQuotes, 0) << "a value that does not fit in 4 bytes is not read";
    EXPECT_EQ(s.MusicVol, 255) << "a text longer than the buffer is not read";
    EXPECT_FLOAT_EQ(s.AvgFps, 0.0f);
}

TEST_F(Settings, SaveWritesExactTypesAndPaddedText) {
    SaverState s;
    s.MusicVol = 255;
    s.DispModeWidth = -1;
    s.Quality = 1024;
    s.ShowSpeedTip = 0;
    s.SaveSettings();

    wt::RegValue vol = wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "MusicVol");
    ASSERT_TRUE(vol.exists);
    EXPECT_EQ(vol.type, static_cast<DWORD>(REG_SZ));
    ASSERT_EQ(vol.data.size(), 64u);
    EXPECT_EQ(std::string(vol.data.begin(), vol.data.begin() + 3), "255");
    for (size_t i = 3; i < 64; ++i) EXPECT_EQ(vol.data[i], 0) << i;

    wt::RegValue width = wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "DispModeWidth");
    EXPECT_EQ(width.AsString(), "-1");
    EXPECT_EQ(width.data.size(), 64u);

    wt::RegValue quality = wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "Quality");
    EXPECT_EQ(quality.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(quality.AsDword(), 1024u);
    wt::RegValue tip = wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "ShowSpeedTip");
    EXPECT_EQ(tip.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(tip.AsDword(), 0u);

    for (const char* notSaved : {"CrashFlag", "DoChecksum", "CriticalError", "AvgFps"})
        EXPECT_FALSE(wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, notSaved).exists) << notSaved;

    SaverState back = Loaded();
    EXPECT_EQ(back.Quality, 1024);
    EXPECT_EQ(back.DispModeWidth, -1);
    EXPECT_EQ(back.ShowSpeedTip, 0);
}

TEST_F(Settings, CrashWritersTouchOnlyWhatTheySay) {
    SaverState s;
    s.CrashFlag = 0;
    s.SetCrashFlag(1);
    s.SetDoChecksum(1);
    EXPECT_EQ(s.CrashFlag, 0) << "the record keeps the value read at start";
    EXPECT_EQ(wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CrashFlag").AsDword(), 1u);
    EXPECT_EQ(wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "DoChecksum").AsDword(), 1u);
    s.SetCriticalError(2);
    EXPECT_EQ(s.CriticalError, 2);
    EXPECT_EQ(wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").type,
              static_cast<DWORD>(REG_DWORD));

    EXPECT_TRUE(WriteUserString(wt::kProductKey, "AvgFps", "57.3214"));
    wt::RegValue fps = wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "AvgFps");
    EXPECT_EQ(fps.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(fps.data.size(), 8u);
    const uint8_t guid[16] = {9, 8, 7};
    EXPECT_TRUE(WriteMachineBinary(wt::kProductKey, "VideoGUID", guid, 16));
    wt::RegValue g = wt::ReadValue(HKEY_LOCAL_MACHINE, wt::kProductKey, "VideoGUID");
    EXPECT_EQ(g.type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(g.data.size(), 16u);
    EXPECT_EQ(g.data[2], 7);
}

// "VideoGUID" for an account that may not write the machine key: kept in its own key and
// read from there first. Wine enforces no access list; a machine key that cannot be made
// (below a volatile key) stands for the refused write.
TEST_F(Settings, VideoGuidFallsBackToTheUserKeyWhereTheMachineKeyRefuses) {
    const char* const blockedParent = "Software\\ZephylTestVolatile";
    const char* const blocked = "Software\\ZephylTestVolatile\\Zephyl";
    wt::DeleteTree(HKEY_LOCAL_MACHINE, blockedParent);
    wt::DeleteTree(HKEY_CURRENT_USER, blockedParent);
    HKEY parent = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, blockedParent, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &parent, nullptr), ERROR_SUCCESS);
    RegCloseKey(parent);
    const uint8_t first[16] = {0x11, 0x22, 0x33};
    EXPECT_TRUE(RememberVideoGuid(blocked, first));
    EXPECT_FALSE(wt::KeyExists(HKEY_LOCAL_MACHINE, blocked));
    const wt::RegValue kept = wt::ReadValue(HKEY_CURRENT_USER, blocked, "VideoGUID");
    EXPECT_EQ(kept.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(kept.data, std::vector<uint8_t>(first, first + 16));
    wt::DeleteTree(HKEY_LOCAL_MACHINE, blockedParent);
    wt::DeleteTree(HKEY_CURRENT_USER, blockedParent);

    // The per-user value wins over the machine's; without it the machine's is read.
    const uint8_t machine[16] = {0xAA}, user[16] = {0x55};
    wt::WriteRaw(HKEY_LOCAL_MACHINE, wt::kProductKey, "VideoGUID", REG_BINARY, machine, 16);
    wt::WriteRaw(HKEY_CURRENT_USER, wt::kProductKey, "VideoGUID", REG_BINARY, user, 16);
    EXPECT_EQ(Loaded().VideoGUID[0], 0x55);
    // Where the machine key takes the value, the per-user copy goes.
    const uint8_t fresh[16] = {0x77};
    EXPECT_TRUE(RememberVideoGuid(wt::kProductKey, fresh));
    EXPECT_FALSE(wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "VideoGUID").exists);
    EXPECT_EQ(wt::ReadValue(HKEY_LOCAL_MACHINE, wt::kProductKey, "VideoGUID").data, std::vector<uint8_t>(fresh, fresh + 16));
    EXPECT_EQ(Loaded().VideoGUID[0], 0x77);
}

}  // namespace
