// The about box (dialog 140) with its credits scroller, and the speed-up tips (dialog 141).
// Each box owns what it creates (scroller, font, tooltip, timer) until it is destroyed.
#include "ui/AboutBox.h"

#include <shellapi.h>

#include <string>

#include "core/Globals.h"
#include "core/SaverState.h"
#include "core/Vendor.h"
#include "core/Product.h"
#include "diag/Log.h"
#include "resources/resource.h"
#include "ui/CreditsScroller.h"
#include "ui/Hyperlink.h"
#include "ui/Tooltip.h"

namespace {

const UINT_PTR kCreditsTimer = 123;
const UINT kCreditsPeriodMs = 1;
const char* const kWebsiteTooltip = "Click to visit Telmoro Software's website";

struct AboutState {
    CreditsScroller scroller;
    HWND tooltip = nullptr;
};

void OpenHomePage(HWND owner) {
    const std::string url = std::string("http://") + kVendorHost + "/";
    ShellExecuteA(owner, "open", url.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

HFONT CreateCreditsFont() {
    return CreateFontA(20, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
}

void InitAboutBox(HWND dialog) {
    auto* state = new AboutState;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    SetDlgItemTextA(dialog, IDC_ABOUT_LINK, kVendorHost);
    SetDlgItemTextA(dialog, IDC_ABOUT_WEBSITE, kVendorHost);
    MakeHyperlink(dialog, IDC_ABOUT_LINK);
    SetTimer(dialog, kCreditsTimer, kCreditsPeriodMs, nullptr);
    state->tooltip = AddTooltip(GetDlgItem(dialog, IDC_ABOUT_WEBSITE), kWebsiteTooltip);

    HFONT font = CreateCreditsFont();
    for (const char* line : CreditsLines()) state->scroller.AddLine(line);
    state->scroller.Attach(GetDlgItem(dialog, IDC_ABOUT_CREDITS));
    state->scroller.SetFont(font);
    state->scroller.SetTextColour(RGB(160, 168, 248));
    state->scroller.Start();

    const std::string caption = std::string("About ") + kProductName + "  v " + kVersionText;
    SetWindowTextA(dialog, caption.c_str());
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<AboutState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        InitAboutBox(dialog);
        return TRUE;
    case WM_TIMER:
        if (wParam == kCreditsTimer && state) state->scroller.DrawFrame(state->scroller.WindowDC());
        return TRUE;
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (wParam != IDC_ABOUT_CREDITS || !state) return FALSE;
        state->scroller.DrawFrame(item->hDC);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case IDC_ABOUT_WEBSITE:
        case IDC_ABOUT_LINK:
            OpenHomePage(dialog);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        if (state) {
            state->scroller.Stop();
            KillTimer(dialog, kCreditsTimer);
            if (state->tooltip) DestroyWindow(state->tooltip);
            SetWindowLongPtrA(dialog, DWLP_USER, 0);
            delete state;
        }
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK SpeedTipsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        EndDialog(dialog, IDOK);
        return TRUE;
    case IDCANCEL:  // "Never show this window again!", Escape and the close box
        if (ss) {
            ss->ShowSpeedTip = 0;
            ss->SaveSettings();
        }
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void RunAboutBox(HWND owner) {
    if (DialogBoxParamA(InstanceHandle, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutProc, 0) == -1)
        ZLOG(LogError, "About box failed, error " << GetLastError());
}

void RunSpeedTips(HWND owner) {
    if (DialogBoxParamA(InstanceHandle, MAKEINTRESOURCEA(IDD_SPEED_TIPS), owner, SpeedTipsProc, 0) == -1)
        ZLOG(LogError, "Speed-up tips failed, error " << GetLastError());
}
