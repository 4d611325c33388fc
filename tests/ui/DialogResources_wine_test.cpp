// The dialogs give back what they take: the configuration dialog, the about box and the
// custom music dialog, each opened and closed again and again on a thread of the test,
// leave this process's GDI objects, USER objects and handles where they were.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "DialogRunner.h"
#include "core/Globals.h"
#include "core/SaverState.h"
#include "support/WineTest.h"
#include "ui/AboutBox.h"
#include "ui/ConfigDialog.h"
#include "ui/CustomMusicDialog.h"

namespace {

struct DialogCase {
    const char* caption;
    std::function<void()> run;
    int close;  // the button that ends it without a question
};

// Opens the dialog, lets it settle and closes it; false when it did not come or go.
bool OpenAndClose(const DialogCase& c) {
    uitest::DialogThread thread(c.run);
    HWND dialog = uitest::WaitForDialog(c.caption, 20000);
    if (!dialog) return false;
    wt::PumpFor(500);
    uitest::PostClick(dialog, c.close);
    return thread.WaitDone(20000);
}

TEST(DialogResources, OpeningAndClosingFiveTimesKeepsEveryCountFlat) {
    ASSERT_TRUE(uitest::UseProgramResources());
    wt::ResetProductState(true);
    const std::string program = wt::DistFolder() + "ZephylSaver.scr";
    std::strncpy(ModulePath, program.c_str(), sizeof ModulePath - 1);
    ProgramFolder = wt::DistFolder();
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    Paths.customPlaylist = std::string(temp) + "zephyl_resources.M3U";
    IsWin2kOrLater = true;
    ss = new SaverState;
    ss->LoadSettings();
    PrepareSongOpenDialogs(nullptr);

    const DialogCase cases[] = {
        {"Zephyl Saver  v 1.0", [] { RunConfigDialog(nullptr); }, IDCANCEL},
        {"About Zephyl Saver  v 1.0", [] { RunAboutBox(nullptr); }, IDOK},
        {"Select Custom Music", [] { RunCustomMusicDialog(nullptr); }, IDOK},
    };
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.caption);
        // The first run loads what stays for the process (libraries, fonts, classes).
        ASSERT_TRUE(OpenAndClose(c));
        const wt::ResourceCounts before = wt::OwnResourceCounts();
        for (int i = 0; i < 5; ++i) ASSERT_TRUE(OpenAndClose(c)) << "round " << i + 1;
        const wt::ResourceCounts after = wt::OwnResourceCounts();
        EXPECT_EQ(after.gdi, before.gdi) << wt::Describe(before) << " -> " << wt::Describe(after);
        EXPECT_EQ(after.user, before.user) << wt::Describe(before) << " -> " << wt::Describe(after);
        // A handle a round would show as five; the system may keep one or two of its own.
        EXPECT_LE(after.handles, before.handles + 2) << wt::Describe(before) << " -> " << wt::Describe(after);
        EXPECT_GT(before.gdi, 0u) << "nothing counted";
        EXPECT_GT(before.handles, 0u) << "nothing counted";
    }
    delete ss;
    ss = nullptr;
    DeleteFileA(Paths.customPlaylist.c_str());
}

}  // namespace
