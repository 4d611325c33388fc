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
#include "resources/resource.h"
#include "support/WineTest.h"
#include "ui/AboutBox.h"
#include "ui/ConfigDialog.h"
#include "ui/CustomMusicDialog.h"

namespace {

struct DialogCase {
    const char* caption;
    std::function<void()> run;
    int close;        // the button that ends it without a question
    bool setsIcon;    // it gives its window the program's icon
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

// GDI objects a dialog keeps of its icon after it is gone: under Wine a modal dialog given
// the program's icon keeps bitmaps of it (Windows keeps none). Measured on a bare dialog
// of this process that only sets the icon, five times over.
INT_PTR CALLBACK IconDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        SendMessageA(dialog, WM_SETICON, ICON_BIG,
                     reinterpret_cast<LPARAM>(LoadIconA(InstanceHandle, MAKEINTRESOURCEA(IDI_ZEPHYL))));
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
    return FALSE;
}

DWORD IconObjectsKeptPerDialog() {
    // A template without controls: style, no menu, the standard class, the caption.
    struct {
        DLGTEMPLATE head;
        WORD menu, windowClass;
        wchar_t title[16];
    } dialogTemplate = {{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 0, 0, 0, 0, 160, 80},
                        0,
                        0,
                        L"Icon probe"};
    const DialogCase probe = {"Icon probe",
                              [&dialogTemplate] {
                                  DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &dialogTemplate.head, nullptr,
                                                          IconDialogProc, 0);
                              },
                              IDCANCEL, true};
    if (!OpenAndClose(probe)) return 0;
    const DWORD before = wt::OwnResourceCounts().gdi;
    for (int i = 0; i < 5; ++i)
        if (!OpenAndClose(probe)) return 0;
    return (wt::OwnResourceCounts().gdi - before) / 5;
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
        {"Zephyl Saver  v 1.0", [] { RunConfigDialog(nullptr); }, IDCANCEL, true},
        {"About Zephyl Saver  v 1.0", [] { RunAboutBox(nullptr); }, IDOK, false},
        {"Select Custom Music", [] { RunCustomMusicDialog(nullptr); }, IDOK, false},
    };
    const DWORD iconObjects = IconObjectsKeptPerDialog();
    if (!wt::RunningOnWine()) EXPECT_EQ(iconObjects, 0u) << "a window kept objects of its icon";
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.caption);
        // The first run loads what stays for the process (libraries, fonts, classes).
        ASSERT_TRUE(OpenAndClose(c));
        const wt::ResourceCounts before = wt::OwnResourceCounts();
        for (int i = 0; i < 5; ++i) ASSERT_TRUE(OpenAndClose(c)) << "round " << i + 1;
        const wt::ResourceCounts after = wt::OwnResourceCounts();
        const DWORD keptByThePlatform = c.setsIcon ? 5 * iconObjects : 0;
        EXPECT_EQ(after.gdi, before.gdi + keptByThePlatform)
            << wt::Describe(before) << " -> " << wt::Describe(after) << "; the platform keeps " << iconObjects
            << " per window icon";
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
