// The real ZephylSaver.scr under Wine with its flag picture missing or broken: the user is
// told to re-install, then the run reports the failed set-up, and the program ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/WineTest.h"

namespace {

const char* const kFlagImageError = "Could not load flag image! Try re-installing the screensaver.";
const char* const kInitStatesError = "Problem encountered in initStates().";

// Starts the installed copy full screen and collects every message box it shows, answering
// each, until the program ends.
std::vector<wt::MessageBoxInfo> RunAndCollectBoxes(const std::string& folder) {
    std::vector<wt::MessageBoxInfo> boxes;
    wt::Process saver;
    if (!saver.Start(folder + "ZephylSaver.scr", "/s")) return boxes;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 120000) {
        if (saver.WaitExit(0)) break;
        wt::MessageBoxInfo info;
        if (wt::WaitForMessageBox(saver.Id(), 500, info)) {
            boxes.push_back(info);
            wt::PressOk(info.window);
            Sleep(300);
        }
    }
    if (!saver.WaitExit(1000)) saver.Kill();
    ChangeDisplaySettingsA(nullptr, 0);
    return boxes;
}

void RunWithFlagFile(const std::string& name, const std::string* content) {
    wt::ResetProductState(true);
    wt::WriteDword(HKEY_CURRENT_USER, wt::kProductKey, "PlayMusic", 0);
    const std::string folder = wt::InstallCopy(name);
    const std::string flag = folder + "Zephyl.gif";
    DeleteFileA(flag.c_str());
    if (content) ASSERT_TRUE(wt::WriteFile(flag, *content));
    const std::vector<wt::MessageBoxInfo> boxes = RunAndCollectBoxes(folder);
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_EQ(boxes[0].text, kFlagImageError);
    // (The error icon is checked in-process: icon handles do not compare across processes
    // under Wine.)
    EXPECT_EQ(boxes[1].caption, "ERROR");
    EXPECT_EQ(boxes[1].text, kInitStatesError);
    const std::string log = wt::ReadFile(wt::UserDataFolder() + "ZephylLog.txt");
    EXPECT_NE(log.find("Setting flag"), std::string::npos);
    EXPECT_NE(log.find(kFlagImageError), std::string::npos);
    EXPECT_EQ(log.find("Successfully exiting initStates()"), std::string::npos);
    // The scene was still torn down.
    EXPECT_NE(log.find("Deleting graphics object"), std::string::npos);
}

}  // namespace

TEST(SceneProgram, MissingFlagPicture) { RunWithFlagFile("scene-noflag", nullptr); }

TEST(SceneProgram, FlagPictureThatIsNoPicture) {
    const std::string junk = "This is not a GIF picture at all, just some text.\r\n";
    RunWithFlagFile("scene-badflag", &junk);
}
