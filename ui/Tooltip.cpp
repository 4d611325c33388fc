// Tooltip windows and the process-wide list of the configuration dialog's tooltips.
// The list owns the windows in it until DestroyListedTooltips.
#include "ui/Tooltip.h"

#include <commctrl.h>

#include <vector>

namespace {

std::vector<HWND>& TooltipList() {
    static std::vector<HWND> list;
    return list;
}

}  // namespace

HWND AddTooltip(HWND control, const char* text) {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);

    HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, control, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    if (!tip)
        return nullptr;
    SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = control;
    tool.hinst = GetModuleHandleA(nullptr);
    tool.lpszText = const_cast<char*>(text);
    GetClientRect(control, &tool.rect);
    SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    return tip;
}

HWND AddListedTooltip(HWND control, const char* text) {
    HWND tip = AddTooltip(control, text);
    if (tip)
        TooltipList().push_back(tip);
    return tip;
}

int ListedTooltipCount() {
    return static_cast<int>(TooltipList().size());
}

void DestroyListedTooltips() {
    for (HWND tip : TooltipList())
        DestroyWindow(tip);
    TooltipList().clear();
}
