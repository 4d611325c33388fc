// A frame that fails inside a real full-screen run (DoSaver in this process, in Wine's
// virtual desktop): the run ends, the failure is recorded, and the log tells what happened
// and nothing that did not.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "core/Globals.h"
#include "core/SaverState.h"
#include "diag/Log.h"
#include "gfx/GameError.h"
#include "saver/Saver.h"
#include "scene/Scene.h"
#include "support/WineTest.h"

namespace {

int gFrames = 0;

// The quote show's frame hook stands in for any drawing step that throws.
void FailingUpdate(int) {
    if (++gFrames == 20) throw cGameError("Couldn't create surface");
}

TEST(SaverFrameError, EndsTheRunWithoutBlamingTheUser) {
    wt::ResetProductState(true);
    const std::string logPath = wt::WindowsPath(SAVER_TEST_DIR) + "frame-error-log.txt";
    InstanceHandle = GetModuleHandleA(nullptr);
    RunMode = ModeSaver;
    Paths.flagPicture = wt::WindowsPath(SAVER_FLAG_DIR) + "Zephyl.gif";
    Paths.shadow5 = Paths.shadow7 = Paths.flagPicture;  // any picture serves as the shadow
    ss = new SaverState();
    ss->PlayMusic = 0;
    ss->ShowQuotes = 1;
    ss->DispModeWidth = 0;  // the desktop's own mode: no switch
    ss->BlankAllScreens = 0;
    SceneQuoteHooks hooks;
    hooks.setUp = [](cTexture*) { return true; };
    hooks.update = FailingUpdate;
    SetSceneQuoteHooks(hooks);
    gLog = new cLog(logPath);
    gLog->Start();

    DoSaver(nullptr, SW_SHOWNORMAL);

    delete gLog;
    gLog = nullptr;
    SetSceneQuoteHooks(SceneQuoteHooks());
    EXPECT_EQ(gFrames, 20);
    EXPECT_EQ(ss->CriticalError, 2);
    EXPECT_EQ(wt::ReadValue(HKEY_CURRENT_USER, wt::kProductKey, "CriticalError").AsDword(), 2u);
    EXPECT_EQ(ss->InputArmed, 0);
    EXPECT_EQ(hScrWindow, nullptr);
    EXPECT_TRUE(wt::WindowsOf(GetCurrentProcessId(), "ZephylSaver").empty());
    delete ss;
    ss = nullptr;
    wt::ResetProductState(true);

    const std::string log = wt::ReadFile(logPath);
    EXPECT_NE(log.find("Entering main loop..."), std::string::npos) << log;
    EXPECT_NE(log.find("Couldn't create surface"), std::string::npos) << log;
    EXPECT_NE(log.find("Exited main loop."), std::string::npos) << log;
    EXPECT_NE(log.find("Exit function: DoSaver()"), std::string::npos) << log;
    // Nobody pressed, clicked, moved or switched away: no line may say so.
    EXPECT_EQ(log.find("Quitting screensaver"), std::string::npos) << log;
}

}  // namespace
