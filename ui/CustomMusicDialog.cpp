// The custom music dialog (dialog 154) and the two open-file records of its "Add File(s)".
// Each list row owns a heap copy of its entry (freed with the row); the records and their
// file-name buffers live as long as the process.
#include "ui/CustomMusicDialog.h"

#include <commdlg.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "core/Globals.h"
#include "diag/Log.h"
#include "core/Playlist.h"
#include "resources/resource.h"
#include "ui/KeyboardHook.h"
#include "ui/SongListRules.h"
#include "ui/Tooltip.h"

namespace {

const DWORD kOpenRecordSize = 76;  // the record size every Windows since 95 and NT 4 accepts
const DWORD kOpenOptions = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                           OFN_HIDEREADONLY | OFN_ENABLEHOOK;  // 0x81A24
const DWORD kInitialBuffer = 1024;
const DWORD kBufferSpare = 260;
const char* const kOpenTitle = "Select a song or playlist";
const char* const kRecordProperty = "OFN";
const wchar_t* const kRefusedCaption = L"Error";

const char* const kAddTip = "Click to add songs to your playlist";
const char* const kClearTip = "Click to remove all songs from your playlist";
const char* const kRemoveTip = "Click to remove the selected songs from the playlist";
const char* const kUpTip = "Click to move the selected files up in the play order";
const char* const kDownTip = "Click to move the selected files down in the play order";

struct OpenRecords {
    bool prepared = false;
    OPENFILENAMEA narrow = {};
    OPENFILENAMEW wide = {};
    std::string narrowFilter;
    std::wstring wideFilter;
    std::wstring wideTitle;
    std::vector<char> narrowBuffer;
    std::vector<wchar_t> wideBuffer;
    wchar_t initialFolder[MAX_PATH] = {};
};
OpenRecords gOpen;

struct DialogState {
    HWND tooltips[5] = {};
};

std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), &wide[0], n);
    return wide;
}

std::string Narrow(const wchar_t* text, int length) {
    if (length <= 0) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(size_t(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, &narrow[0], n, nullptr, nullptr);
    return narrow;
}

// `text` in the system code page, and whether that kept every character (no "?" or
// best-fit stand-ins: converting back gives the same text).
bool ToCodePage(const std::wstring& text, std::string& narrow) {
    narrow = Narrow(text.data(), int(text.size()));
    return Widen(narrow) == text;
}

// The path a chosen file is kept under in the narrow playlist: its own when the code page
// holds it, else its short (8.3) path; empty when neither can be stored.
std::string PlaylistPathOf(const std::wstring& file) {
    std::string path, shortPath;
    const bool whole = ToCodePage(file, path);
    bool shortWhole = false;
    if (!whole) {
        std::vector<wchar_t> buffer(MAX_PATH);
        DWORD n = GetShortPathNameW(file.c_str(), buffer.data(), DWORD(buffer.size()));
        if (n >= buffer.size()) {
            buffer.resize(n + 1);
            n = GetShortPathNameW(file.c_str(), buffer.data(), DWORD(buffer.size()));
        }
        if (n > 0 && n < buffer.size()) shortWhole = ToCodePage(std::wstring(buffer.data(), n), shortPath);
    }
    return PlaylistPathFor(path, whole, shortPath, shortWhole);
}

// Makes room for `specLength` characters of selected names and the folder before them.
template <typename Record, typename Char>
void GrowBuffer(Record& record, std::vector<Char>& buffer, DWORD specLength) {
    const DWORD needed = specLength + kBufferSpare;
    if (record.nMaxFile >= needed) return;
    buffer.assign(needed, Char());
    record.lpstrFile = buffer.data();
    record.nMaxFile = needed;
}

// Grows the file-name buffer of the record in use so that the selection being made fits.
UINT_PTR CALLBACK OpenFileHook(HWND hookDialog, UINT message, WPARAM, LPARAM lParam) {
    HWND openDialog = GetParent(hookDialog);
    switch (message) {
    case WM_INITDIALOG:
        if (!SetPropA(openDialog, kRecordProperty, reinterpret_cast<HANDLE>(lParam)))
            MessageBoxA(hookDialog, "SET PRop Failed", "ERROR", MB_OK);
        return TRUE;
    case WM_NOTIFY: {
        auto* notify = reinterpret_cast<NMHDR*>(lParam);
        if (notify->code != CDN_SELCHANGE) return FALSE;
        void* record = GetPropA(openDialog, kRecordProperty);
        if (record == &gOpen.wide)
            GrowBuffer(gOpen.wide, gOpen.wideBuffer, DWORD(SendMessageW(openDialog, CDM_GETSPEC, 0, 0)));
        else if (record == &gOpen.narrow)
            GrowBuffer(gOpen.narrow, gOpen.narrowBuffer, DWORD(SendMessageA(openDialog, CDM_GETSPEC, 0, 0)));
        return FALSE;
    }
    case WM_DESTROY:
        RemovePropA(openDialog, kRecordProperty);
        return FALSE;
    }
    return FALSE;
}

// Shows the open-file dialog; the chosen files in selection order, none when cancelled.
std::vector<std::string> AskForSongFiles(HWND dialog) {
    if (!gOpen.prepared) PrepareSongOpenDialogs(dialog);
    std::vector<std::string> files;
    BOOL chosen;
    if (IsWin2kOrLater) {
        gOpen.wide.hwndOwner = dialog;
        chosen = GetOpenFileNameW(&gOpen.wide);
    } else {
        gOpen.narrow.hwndOwner = dialog;
        chosen = GetOpenFileNameA(&gOpen.narrow);
    }
    if (!chosen) {
        DWORD error = CommDlgExtendedError();
        if (error) {
            ZLOG(LogError, "Open-file dialog failed, error 0x" << std::hex << error);
            MessageBoxA(dialog, "Error with dialog selection!", "Error", MB_OK | MB_ICONERROR);
            if (error == FNERR_BUFFERTOOSMALL) MessageBoxA(dialog, "Buffer too small", "", MB_OK);
        }
    } else if (IsWin2kOrLater) {
        const wchar_t* buffer = gOpen.wide.lpstrFile;
        const size_t size = gOpen.wide.nMaxFile;
        size_t used = 0;  // up to and including the list's closing NUL
        while (used + 1 < size && (buffer[used] != L'\0' || buffer[used + 1] != L'\0')) ++used;
        const bool multiple = gOpen.wide.nFileOffset > wcsnlen(buffer, size);
        std::vector<std::wstring> refused;
        for (const std::wstring& file : SelectedWideFilePaths(buffer, used + 1, multiple)) {
            std::string path = PlaylistPathOf(file);
            if (path.empty())
                refused.push_back(file);
            else
                files.push_back(path);
        }
        if (!refused.empty()) {
            ZLOG(LogError, refused.size() << " chosen file(s) have names the code page cannot hold");
            MessageBoxW(dialog, RefusedSongsText(refused).c_str(), kRefusedCaption, MB_OK | MB_ICONWARNING);
        }
        gOpen.wide.lpstrInitialDir = nullptr;
    } else {
        const char* buffer = gOpen.narrow.lpstrFile;
        const bool multiple = gOpen.narrow.nFileOffset > strnlen(buffer, gOpen.narrow.nMaxFile);
        files = SelectedFilePaths(buffer, gOpen.narrow.nMaxFile, multiple);
        gOpen.narrow.lpstrInitialDir = nullptr;
    }
    if (gOpen.wide.lpstrFile) gOpen.wide.lpstrFile[0] = gOpen.wide.lpstrFile[1] = L'\0';
    if (gOpen.narrow.lpstrFile) gOpen.narrow.lpstrFile[0] = gOpen.narrow.lpstrFile[1] = '\0';
    return files;
}

HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_MUSIC_LIST); }

int RowCount(HWND dialog) { return int(SendMessageA(List(dialog), LB_GETCOUNT, 0, 0)); }

std::string* RowEntry(HWND list, int row) {
    LRESULT data = SendMessageA(list, LB_GETITEMDATA, row, 0);
    return data == LB_ERR ? nullptr : reinterpret_cast<std::string*>(data);
}

void UpdateCount(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_MUSIC_COUNT, SongCountText(RowCount(dialog)).c_str());
}

void AddRows(HWND dialog, const std::vector<std::string>& entries) {
    HWND list = List(dialog);
    if (entries.empty()) return;
    // Reserve the rows at once and draw once: a playlist may hold many thousands.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_INITSTORAGE, entries.size(), entries.size() * 32);
    for (const std::string& entry : entries) {
        auto* data = new std::string(entry);
        LRESULT row = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(SongRowText(entry).c_str()));
        if (row == LB_ERR || row == LB_ERRSPACE) {
            delete data;
            ZLOG(LogError, "Song list is full at " << RowCount(dialog) << " rows");
            break;
        }
        SendMessageA(list, LB_SETITEMDATA, row, reinterpret_cast<LPARAM>(data));
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void ClearRows(HWND dialog) {
    HWND list = List(dialog);
    int count = RowCount(dialog);
    for (int row = 0; row < count; ++row) {
        delete RowEntry(list, row);
        SendMessageA(list, LB_SETITEMDATA, row, 0);
    }
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
}

std::vector<int> SelectedRows(HWND list) {
    LRESULT count = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
    if (count == LB_ERR || count <= 0) return {};
    std::vector<int> rows(static_cast<size_t>(count));
    LRESULT got = SendMessageA(list, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(rows.data()));
    rows.resize(got == LB_ERR ? 0 : size_t(got));
    return rows;  // ascending
}

void RemoveSelected(HWND dialog) {
    HWND list = List(dialog);
    for (int row : RemovalOrder(SelectedRows(list))) {
        delete RowEntry(list, row);
        SendMessageA(list, LB_DELETESTRING, row, 0);
    }
    UpdateCount(dialog);
}

void ApplyMoves(HWND list, const std::vector<RowMove>& moves) {
    for (const RowMove& move : moves) {
        LRESULT length = SendMessageA(list, LB_GETTEXTLEN, move.take, 0);
        if (length == LB_ERR) continue;
        std::vector<char> text(size_t(length) + 1, '\0');
        SendMessageA(list, LB_GETTEXT, move.take, reinterpret_cast<LPARAM>(text.data()));
        LRESULT data = SendMessageA(list, LB_GETITEMDATA, move.take, 0);
        bool selected = SendMessageA(list, LB_GETSEL, move.take, 0) > 0;
        SendMessageA(list, LB_DELETESTRING, move.take, 0);
        LRESULT row = SendMessageA(list, LB_INSERTSTRING, move.insertAt, reinterpret_cast<LPARAM>(text.data()));
        if (row == LB_ERR || row == LB_ERRSPACE) {
            delete reinterpret_cast<std::string*>(data);
            continue;
        }
        SendMessageA(list, LB_SETITEMDATA, row, data);
        if (selected) SendMessageA(list, LB_SETSEL, TRUE, row);
    }
}

void AddFiles(HWND dialog) {
    std::vector<std::string> entries;
    for (const std::string& file : AskForSongFiles(dialog)) {
        std::vector<std::string> more = SongEntriesFor(file);
        entries.insert(entries.end(), more.begin(), more.end());
    }
    AddRows(dialog, entries);
    UpdateCount(dialog);
}

void SaveList(HWND dialog) {
    HWND list = List(dialog);
    int count = RowCount(dialog);
    const std::string& path = Paths.customPlaylist;
    if (count == 0) {
        DeleteFileA(path.c_str());
        return;
    }
    // Entries are written whole, however long: the list is ours to size.
    std::vector<std::string> entries;
    for (int row = 0; row < count; ++row)
        if (const std::string* entry = RowEntry(list, row)) entries.push_back(*entry);
    Playlist playlist;
    playlist.AddEntries(entries);
    if (!playlist.Save(path, Playlist::TypeM3U)) ZLOG(LogError, "Could not write the playlist " << path);
}

void InitDialog(HWND dialog) {
    auto* state = new DialogState;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    Playlist playlist;
    std::vector<std::string> entries;
    if (playlist.Load(Paths.customPlaylist))
        for (int i = 0; i < playlist.Count(); ++i) entries.push_back(playlist.Entry(i));
    AddRows(dialog, entries);
    UpdateCount(dialog);

    const struct {
        int id;
        const char* text;
    } tips[] = {{IDC_MUSIC_ADD, kAddTip}, {IDC_MUSIC_CLEAR, kClearTip}, {IDC_MUSIC_REMOVE, kRemoveTip},
                {IDC_MUSIC_UP, kUpTip}, {IDC_MUSIC_DOWN, kDownTip}};
    for (size_t i = 0; i < 5; ++i) state->tooltips[i] = AddTooltip(GetDlgItem(dialog, tips[i].id), tips[i].text);
    InstallDialogKeyHook(dialog);
}

INT_PTR CALLBACK CustomMusicProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(dialog);
        return TRUE;
    case WM_KEYDOWN:
        // The hook forwards keys typed into the open-file dialog and message boxes too.
        if (wParam == VK_DELETE && GetActiveWindow() == dialog) RemoveSelected(dialog);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_MUSIC_ADD:
            AddFiles(dialog);
            return TRUE;
        case IDC_MUSIC_REMOVE:
            RemoveSelected(dialog);
            return TRUE;
        case IDC_MUSIC_CLEAR:
            ClearRows(dialog);
            UpdateCount(dialog);
            return TRUE;
        case IDC_MUSIC_UP:
            ApplyMoves(List(dialog), MoveUpPlan(RowCount(dialog), SelectedRows(List(dialog))));
            return TRUE;
        case IDC_MUSIC_DOWN:
            ApplyMoves(List(dialog), MoveDownPlan(RowCount(dialog), SelectedRows(List(dialog))));
            return TRUE;
        case IDOK:
            SaveList(dialog);
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            if (MessageBoxA(dialog, "Are you sure you want to lose your changes?", "Are you sure?",
                            MB_YESNO | MB_ICONQUESTION) == IDYES)
                EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY: {
        ClearRows(dialog);
        auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (state)
            for (HWND tip : state->tooltips)
                if (tip) DestroyWindow(tip);
        SetWindowLongPtrA(dialog, DWLP_USER, 0);
        delete state;
        RemoveDialogKeyHook();
        return FALSE;
    }
    }
    return FALSE;
}

template <typename Record, typename Char>
void FillRecord(Record& record, HWND owner, const Char* filter, const Char* title, std::vector<Char>& buffer) {
    buffer.assign(kInitialBuffer, Char());
    record = Record();
    record.lStructSize = kOpenRecordSize;
    record.hwndOwner = owner;
    record.lpstrFilter = filter;
    record.nFilterIndex = 2;  // "All supported types"
    record.lpstrFile = buffer.data();
    record.nMaxFile = kInitialBuffer;
    record.lpstrTitle = title;
    record.Flags = kOpenOptions;
    record.lCustData = reinterpret_cast<LPARAM>(&record);
    record.lpfnHook = OpenFileHook;
}

}  // namespace

void PrepareSongOpenDialogs(HWND owner) {
    gOpen.narrowFilter = SongOpenFilter();
    gOpen.wideFilter = Widen(gOpen.narrowFilter);
    gOpen.wideTitle = Widen(kOpenTitle);
    FillRecord(gOpen.narrow, owner, gOpen.narrowFilter.c_str(), kOpenTitle, gOpen.narrowBuffer);
    FillRecord(gOpen.wide, owner, gOpen.wideFilter.c_str(), gOpen.wideTitle.c_str(), gOpen.wideBuffer);
    if (IsWin2kOrLater) {
        if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYMUSIC, nullptr, SHGFP_TYPE_CURRENT, gOpen.initialFolder)) ||
            SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, gOpen.initialFolder)))
            gOpen.wide.lpstrInitialDir = gOpen.initialFolder;
    }
    gOpen.prepared = true;
}

void RunCustomMusicDialog(HWND owner) {
    if (DialogBoxParamA(InstanceHandle, MAKEINTRESOURCEA(IDD_CUSTOM_MUSIC), owner, CustomMusicProc, 0) == -1)
        ZLOG(LogError, "Custom music dialog failed, error " << GetLastError());
}
