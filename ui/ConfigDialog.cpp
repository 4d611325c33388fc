// The configuration dialog (resource 104): the skin picture read from the program file,
// the settings shown in controls and saved on OK, the display-mode list, help and web pages.
// It owns, for as long as it runs, the program bundle, the skin bitmap, its tooltips, the
// keyboard hook and the DirectDraw-only graphics layer.
#include "ui/ConfigDialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/Globals.h"
#include "core/SaverState.h"
#include "core/Vendor.h"
#include "core/Product.h"
#include "content/Bundle.h"
#include "content/Picture.h"
#include "diag/Log.h"
#include "gfx/GraphicsLayer.h"
#include "net/UpdateCheck.h"
#include "resources/resource.h"
#include "ui/AboutBox.h"
#include "ui/ConfigRules.h"
#include "ui/CustomMusicDialog.h"
#include "ui/KeyboardHook.h"
#include "ui/Tooltip.h"

namespace {

const char kSkinEntry[] = "menuskin.jpg";
const char kHtmlHelpName[] = "ZephylSaver.htm";
const char kHomePage[] = "/";
const char kSupportPage[] = "/support/";
const char kSpecialsPage[] = "/specials.htm";
const char kDurationPrefix[] = "Show each quote for ";
const char kIntervalPrefix[] = "Time between quotes: ";
const char kErrorCaption[] = "ERROR";
const char kOpenSkinError[] =
    "Error opening menu graphic! File probably corrupt.\nTry re-installing or re-downloading this screensaver";
const char kReadSkinError[] =
    "Error reading menu graphic! File probably corrupt.\nTry re-installing or re-downloading this screensaver";
const char kLoadSkinError[] =
    "Error loading menu graphic! File probably corrupt.\nTry re-installing or re-downloading this screensaver";
const char kDirectDrawError[] = "There was a problem initializing DirectDraw.";
const char kNoChange[] = "No change";

// The left column of the dialog, left of every visible control (dialog units).
constexpr int kSkinAreaWidth = 102;

// Shows the speed-up tips once the dialog is on screen.
constexpr UINT kShowSpeedTips = WM_APP + 1;

Bundle g_programBundle;
Picture g_skin;
HBITMAP g_scaledSkin = nullptr;
std::vector<DisplayModeRecord> g_displayModes;
bool g_madeGraphicsLayer = false;

struct ControlTip {
    int id;
    const char* text;
};

void OpenVendorPage(HWND dialog, const char* path) {
    const std::string url = std::string("http://") + kVendorHost + path;
    ShellExecuteA(dialog, "open", url.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

// WinHelp files no longer open on current Windows; the HTML help beside the program does.
void ShowHelp(HWND dialog) {
    if (GetFileAttributesA(Paths.helpFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
        WinHelpA(dialog, Paths.helpFile.c_str(), HELP_CONTENTS, 0);
        return;
    }
    const std::string html = ProgramFolder + kHtmlHelpName;
    ShellExecuteA(dialog, "open", html.c_str(), nullptr, ProgramFolder.c_str(), SW_SHOWNORMAL);
}

void ErrorBox(HWND dialog, const char* text) { MessageBoxA(dialog, text, kErrorCaption, MB_OK); }

// The picture's bitmap at the size the skin column has at this screen's DPI; sets the
// size of its button.
HBITMAP FitSkinBitmap(HWND dialog, HBITMAP bitmap, int* width, int* height) {
    RECT column = {0, 0, kSkinAreaWidth, 0};
    MapDialogRect(dialog, &column);
    RECT client;
    GetClientRect(dialog, &client);
    const SkinFit fit = FitSkin(g_skin.Width(), g_skin.Height(), column.right, client.bottom);
    *width = fit.width;
    *height = fit.height;
    if (!fit.scaled)
        return bitmap;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = fit.width;
    info.bmiHeader.biHeight = fit.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP scaled = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC from = CreateCompatibleDC(nullptr);
    HDC to = CreateCompatibleDC(nullptr);
    bool drawn = false;
    if (scaled && from && to) {
        HGDIOBJ oldFrom = SelectObject(from, bitmap);
        HGDIOBJ oldTo = SelectObject(to, scaled);
        SetStretchBltMode(to, HALFTONE);
        SetBrushOrgEx(to, 0, 0, nullptr);
        drawn = StretchBlt(to, fit.drawX, 0, fit.drawWidth, fit.drawHeight, from, 0, 0, g_skin.Width(),
                           g_skin.Height(), SRCCOPY);
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
    }
    if (from) DeleteDC(from);
    if (to) DeleteDC(to);
    if (!drawn) {
        // The picture as it is, cut to the column.
        if (scaled) DeleteObject(scaled);
        *width = std::min<int>(g_skin.Width(), column.right);
        *height = std::min<int>(g_skin.Height(), client.bottom);
        return bitmap;
    }
    g_scaledSkin = scaled;
    return scaled;
}

// False only when the picture is in the file but cannot be decoded: the dialog then ends.
bool LoadSkin(HWND dialog) {
    ZLOG(LogInfo, "Opening bundled menu graphic");
    if (!g_programBundle.Open(ModulePath)) {
        ErrorBox(dialog, kOpenSkinError);
        ZLOG(LogError, "Could not open menu graphic!");
        return true;
    }
    ZLOG(LogInfo, "Reading bundled menu graphic");
    const uint8_t* bytes = g_programBundle.EntryData(kSkinEntry);
    if (!bytes) {
        ErrorBox(dialog, kReadSkinError);
        ZLOG(LogError, "Could not read menu graphic!");
        return true;
    }
    if (!g_skin.LoadFromMemory(bytes, g_programBundle.EntrySize(kSkinEntry))) {
        ErrorBox(dialog, kLoadSkinError);
        ZLOG(LogError, "Could not load menu graphic!");
        return false;
    }
    ZLOG(LogInfo, "Acquiring bitmap object from image data");
    HBITMAP bitmap = g_skin.GetBitmap();
    if (!bitmap) {
        ZLOG(LogError, "Could not acquire bitmap object!");
        return true;
    }
    int width = 0;
    int height = 0;
    bitmap = FitSkinBitmap(dialog, bitmap, &width, &height);
    HWND button = GetDlgItem(dialog, IDC_CONFIG_SKIN);
    MoveWindow(button, 0, 0, width, height, FALSE);
    SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
    return true;
}

void SetupTrackBar(HWND dialog, int id, int low, int high, int ticks, int position) {
    HWND bar = GetDlgItem(dialog, id);
    SendMessageA(bar, TBM_SETRANGE, FALSE, MAKELPARAM(low, high));
    SendMessageA(bar, TBM_SETTICFREQ, ticks, 0);
    SendMessageA(bar, TBM_SETPOS, TRUE, position);
}

int TrackBarPosition(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageA(dialog, id, TBM_GETPOS, 0, 0));
}

void ShowDurationLabel(HWND dialog, int labelId, const char* prefix, int position) {
    SetDlgItemTextA(dialog, labelId, DurationLabel(prefix, SecondsFromPosition(position)).c_str());
}

void FillControls(HWND dialog) {
    CheckDlgButton(dialog, IDC_CONFIG_PLAYMUSIC, ss->PlayMusic ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_CONFIG_SHUFFLE, ss->ShuffleMusic ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_CONFIG_SHOWQUOTES, ss->ShowQuotes ? BST_CHECKED : BST_UNCHECKED);
    SetupTrackBar(dialog, IDC_CONFIG_VOLUME, 0, 255, 16, VolumePosition(ss->MusicVol));
    SetupTrackBar(dialog, IDC_CONFIG_QUALITY, 0, 2, 1, QualityPosition(ss->Quality));
    SetupTrackBar(dialog, IDC_CONFIG_DURATION, 1, 60, 2, DurationPosition(ss->QuoteDuration));
    SetupTrackBar(dialog, IDC_CONFIG_INTERVAL, 0, 60, 2, DurationPosition(ss->QuoteInterval));
    // The labels say what OK will store: the positions after the bars kept them in range.
    ShowDurationLabel(dialog, IDC_CONFIG_DURATION_LABEL, kDurationPrefix, TrackBarPosition(dialog, IDC_CONFIG_DURATION));
    ShowDurationLabel(dialog, IDC_CONFIG_INTERVAL_LABEL, kIntervalPrefix, TrackBarPosition(dialog, IDC_CONFIG_INTERVAL));

    const std::string about = std::string("About ") + kProductName + kVersionText;
    const ControlTip tips[] = {
        {IDC_CONFIG_CUSTOM_MUSIC, "Click here to select custom music"},
        {IDC_CONFIG_PLAYMUSIC, "Play music when the screensaver runs"},
        {IDC_CONFIG_SHUFFLE, "Randomly shuffle the order of the music"},
        {IDC_CONFIG_VOLUME, "Adjusts music volume"},
        {IDC_CONFIG_MODES, "Display modes (smaller numbers are faster, higher numbers look better)"},
        {IDC_CONFIG_HELP, "View help on configuring this screensaver"},
        {IDC_CONFIG_SUPPORT, "Click to obtain support for this product"},
        {IDC_CONFIG_QUALITY, "Changes the visual quality of the flag"},
        {IDC_CONFIG_ABOUT, about.c_str()},
        {IDC_CONFIG_SKIN, "Click to visit Telmoro Software's website"},
        {IDC_CONFIG_SPECIALS, "Click to see Telmoro Software's current special offers!"},
        {IDC_CONFIG_UPDATES, "Click to check for updates to this product"},
        {IDOK, "Click to save your settings and exit"},
        {IDCANCEL, "Click to discard your changes and exit"},
    };
    for (const ControlTip& tip : tips)
        AddListedTooltip(GetDlgItem(dialog, tip.id), tip.text);
}

HRESULT WINAPI CollectMode(LPDDSURFACEDESC2 description, LPVOID context) {
    auto* found = static_cast<std::vector<DisplayModeRecord>*>(context);
    found->push_back({static_cast<int32_t>(description->dwWidth), static_cast<int32_t>(description->dwHeight),
                      static_cast<int32_t>(description->ddpfPixelFormat.dwRGBBitCount)});
    return DDENUMRET_OK;
}

void FillDisplayModes(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_CONFIG_MODES);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kNoChange));
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    g_displayModes.clear();
    try {
        // A layer that fails part-way stays registered and is still ours to destroy.
        g_madeGraphicsLayer = Graphics() == nullptr;
        CreateDDrawOnly(dialog, nullptr);
    } catch (const cGameError& error) {
        ZLOG(LogCritical, error.GetText());
        ErrorBox(dialog, kDirectDrawError);
    }
    cGraphicsLayer* layer = Graphics();
    if (!layer || layer->Failed() || !layer->GetDD())
        return;

    std::vector<DisplayModeRecord> found;
    layer->GetDD()->EnumDisplayModes(0, nullptr, &found, CollectMode);
    g_displayModes = OfferedDisplayModes(found);
    for (const DisplayModeRecord& mode : g_displayModes) {
        const LRESULT row = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(DisplayModeText(mode).c_str()));
        SendMessageA(list, LB_SETITEMDATA, row, reinterpret_cast<LPARAM>(&mode));
    }
    const int match = FindDisplayMode(g_displayModes, ss->DispModeWidth, ss->DispModeHeight, ss->DispModeBits);
    if (match >= 0)
        SendMessageA(list, LB_SETCURSEL, match + 1, 0);
}

void InitDialog(HWND dialog) {
    SendMessageA(dialog, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadIconA(InstanceHandle, MAKEINTRESOURCEA(IDI_ZEPHYL))));
    InstallDialogKeyHook(dialog);
    ZLOG_FUNCTION("WM_INITDIALOG");
    ZLOG(LogInfo, "Initializing config dialog (WM_INITDIALOG)");

    if (!LoadSkin(dialog)) {
        EndDialog(dialog, IDCANCEL);
        ZLOG_RETURN();
    }
    FillControls(dialog);
    const std::string caption = std::string(kProductName) + "  v " + kVersionText;
    SetWindowTextA(dialog, caption.c_str());
    FillDisplayModes(dialog);

    if (ss->ShowSpeedTip && ss->AvgFps < 10.0f)
        PostMessageA(dialog, kShowSpeedTips, 0, 0);
    ZLOG_RETURN();
}

void SaveControls(HWND dialog) {
    ss->PlayMusic = IsDlgButtonChecked(dialog, IDC_CONFIG_PLAYMUSIC) == BST_CHECKED ? 1 : 0;
    ss->ShuffleMusic = IsDlgButtonChecked(dialog, IDC_CONFIG_SHUFFLE) == BST_CHECKED ? 1 : 0;
    ss->ShowQuotes = IsDlgButtonChecked(dialog, IDC_CONFIG_SHOWQUOTES) == BST_CHECKED ? 1 : 0;
    ss->MusicVol = MusicVolFromPosition(TrackBarPosition(dialog, IDC_CONFIG_VOLUME));
    ss->Quality = QualityFromPosition(TrackBarPosition(dialog, IDC_CONFIG_QUALITY));
    ss->QuoteDuration = SecondsFromPosition(TrackBarPosition(dialog, IDC_CONFIG_DURATION));
    ss->QuoteInterval = SecondsFromPosition(TrackBarPosition(dialog, IDC_CONFIG_INTERVAL));
    ZLOG(LogInfo, "Writing registry settings");
    ss->SaveSettings();
}

void TakeSelectedMode(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_CONFIG_MODES);
    const LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
    const LRESULT data = row == LB_ERR ? 0 : SendMessageA(list, LB_GETITEMDATA, row, 0);
    const auto* mode = data == LB_ERR ? nullptr : reinterpret_cast<const DisplayModeRecord*>(data);
    ss->DispModeWidth = mode ? mode->width : 0;
    ss->DispModeHeight = mode ? mode->height : 0;
    ss->DispModeBits = mode ? mode->bits : 0;
}

void OnCommand(HWND dialog, int id, int code) {
    switch (id) {
    case IDOK:
        SaveControls(dialog);
        EndDialog(dialog, IDOK);
        break;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        break;
    case IDC_CONFIG_MODES:
        if (code == LBN_SELCHANGE) TakeSelectedMode(dialog);
        break;
    case IDC_CONFIG_SUPPORT:
        OpenVendorPage(dialog, kSupportPage);
        break;
    case IDC_CONFIG_HELP:
        ShowHelp(dialog);
        break;
    case IDC_CONFIG_ABOUT:
        RunAboutBox(dialog);
        break;
    case IDC_CONFIG_CUSTOM_MUSIC:
        RemoveDialogKeyHook();
        RunCustomMusicDialog(dialog);
        InstallDialogKeyHook(dialog);
        break;
    case IDC_CONFIG_SPECIALS:
        OpenVendorPage(dialog, kSpecialsPage);
        break;
    case IDC_CONFIG_UPDATES:
        StartUpdateCheck();
        break;
    case IDC_CONFIG_SKIN:
        OpenVendorPage(dialog, kHomePage);
        break;
    default:
        break;
    }
}

void OnDurationScroll(HWND dialog, HWND bar, WPARAM wParam) {
    const int code = LOWORD(wParam);
    const int position = (code == TB_THUMBTRACK || code == TB_THUMBPOSITION)
                             ? static_cast<short>(HIWORD(wParam))
                             : static_cast<int>(SendMessageA(bar, TBM_GETPOS, 0, 0));
    if (bar == GetDlgItem(dialog, IDC_CONFIG_DURATION))
        ShowDurationLabel(dialog, IDC_CONFIG_DURATION_LABEL, kDurationPrefix, position);
    else if (bar == GetDlgItem(dialog, IDC_CONFIG_INTERVAL))
        ShowDurationLabel(dialog, IDC_CONFIG_INTERVAL_LABEL, kIntervalPrefix, position);
}

void OnDestroy() {
    DestroyListedTooltips();
    g_programBundle.Close();
    RemoveDialogKeyHook();
    if (g_madeGraphicsLayer)
        DestroyGraphicsLayer();
    g_madeGraphicsLayer = false;
    if (g_scaledSkin)
        DeleteObject(g_scaledSkin);
    g_scaledSkin = nullptr;
    g_skin.Release();
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(dialog);
        return TRUE;
    case WM_KEYDOWN:
        if (wParam == VK_F1) ShowHelp(dialog);
        return FALSE;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_HSCROLL:
        OnDurationScroll(dialog, reinterpret_cast<HWND>(lParam), wParam);
        return FALSE;
    case kShowSpeedTips:
        RunSpeedTips(dialog);
        return FALSE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

void RunConfigDialog(HWND owner) {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);
    DialogBoxParamA(InstanceHandle, MAKEINTRESOURCEA(IDD_CONFIG), owner, ConfigDialogProc, 0);
}
