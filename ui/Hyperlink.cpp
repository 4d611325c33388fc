// Hyperlinks made from static controls: the control's and its dialog's window procedures
// are replaced; every piece of state lives in window properties of the two windows.
// The underlined font belongs to the control and is deleted when the control goes.
#include "ui/Hyperlink.h"

namespace {

const char kOriginalProc[] = "_Hyperlink_Original_Proc_";
const char kOriginalFont[] = "_Hyperlink_Original_Font_";
const char kUnderlineFont[] = "_Hyperlink_Underline_Font_";
const char kFromStatic[] = "_Hyperlink_From_Static_";

constexpr COLORREF kLinkColour = 0xC00000;  // red 0, green 0, blue 192

WNDPROC OriginalProc(HWND window) {
    return reinterpret_cast<WNDPROC>(GetPropA(window, kOriginalProc));
}

LRESULT CALLBACK HyperlinkParentProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC previous = OriginalProc(dialog);
    if (!previous)
        return DefWindowProcA(dialog, message, wParam, lParam);
    switch (message) {
    case WM_CTLCOLORSTATIC: {
        LRESULT brush = CallWindowProcA(previous, dialog, message, wParam, lParam);
        if (GetPropA(reinterpret_cast<HWND>(lParam), kFromStatic))
            SetTextColor(reinterpret_cast<HDC>(wParam), kLinkColour);
        return brush;
    }
    case WM_DESTROY:
        SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropA(dialog, kOriginalProc);
        return CallWindowProcA(previous, dialog, message, wParam, lParam);
    default:
        return CallWindowProcA(previous, dialog, message, wParam, lParam);
    }
}

void ShowFont(HWND control, const char* property) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetPropA(control, property)), TRUE);
}

LRESULT CALLBACK HyperlinkControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC previous = OriginalProc(control);
    if (!previous)
        return DefWindowProcA(control, message, wParam, lParam);
    switch (message) {
    case WM_SETCURSOR: {
        HCURSOR hand = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND, absent before Windows 2000
        SetCursor(hand ? hand : LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));
        return TRUE;
    }
    case WM_MOUSEMOVE:
        if (GetCapture() != control) {
            ShowFont(control, kUnderlineFont);
            SetCapture(control);
        } else {
            POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ClientToScreen(control, &point);
            RECT rect;
            GetWindowRect(control, &rect);
            if (!PtInRect(&rect, point)) {
                ShowFont(control, kOriginalFont);
                ReleaseCapture();
            }
        }
        break;
    case WM_CAPTURECHANGED:
        // A click that opens another window takes the capture away: drop the underline too.
        if (reinterpret_cast<HWND>(lParam) != control)
            ShowFont(control, kOriginalFont);
        break;
    case WM_DESTROY: {
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetPropA(control, kOriginalFont)), FALSE);
        if (HFONT underline = static_cast<HFONT>(GetPropA(control, kUnderlineFont)))
            DeleteObject(underline);
        RemovePropA(control, kOriginalProc);
        RemovePropA(control, kOriginalFont);
        RemovePropA(control, kUnderlineFont);
        RemovePropA(control, kFromStatic);
        return CallWindowProcA(previous, control, message, wParam, lParam);
    }
    default:
        break;
    }
    return CallWindowProcA(previous, control, message, wParam, lParam);
}

}  // namespace

bool MakeHyperlink(HWND dialog, int controlId) {
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(dialog, GWLP_WNDPROC)) != HyperlinkParentProc) {
        SetPropA(dialog, kOriginalProc, reinterpret_cast<HANDLE>(GetWindowLongPtrA(dialog, GWLP_WNDPROC)));
        SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HyperlinkParentProc));
    }

    HWND control = GetDlgItem(dialog, controlId);
    SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY);
    SetPropA(control, kOriginalProc, reinterpret_cast<HANDLE>(GetWindowLongPtrA(control, GWLP_WNDPROC)));
    SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HyperlinkControlProc));

    HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    SetPropA(control, kOriginalFont, font);
    LOGFONTA description = {};
    GetObjectA(font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT), sizeof description, &description);
    description.lfUnderline = TRUE;
    SetPropA(control, kUnderlineFont, CreateFontIndirectA(&description));
    SetPropA(control, kFromStatic, reinterpret_cast<HANDLE>(1));
    return true;
}
