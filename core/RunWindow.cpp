// The current saver run's shared values and its set-up message handler.
#include "core/RunWindow.h"

#include "core/SaverState.h"

HWND hScrWindow = nullptr;
HDC hDC = nullptr;
int ScreenWidth = 0;
int ScreenHeight = 0;
ScreenMode RequestedMode;
ScreenMode OriginalMode;
bool DisplayModeChanged = false;

namespace {

SetUpMessageHandler gSetUpMessage = nullptr;

}  // namespace

void SetSetUpMessageHandler(SetUpMessageHandler handler) { gSetUpMessage = handler; }

void ShowSetUpMessage(HWND owner, const char* caption, const char* text, UINT flags) {
    if (gSetUpMessage) {
        gSetUpMessage(owner, caption, text, flags);
    }
    else {
        if (ss) ss->MessageBoxUp = 1;
        MessageBoxA(owner, text, caption, MB_OK | flags);
    }
}
