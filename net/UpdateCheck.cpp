// Placeholder until the update check lands: the button does nothing visible yet.
#include "net/UpdateCheck.h"

UpdateContext& TheUpdateContext() {
    static UpdateContext context;
    return context;
}

bool CheckForUpdates(UpdateContext*) { return false; }

void CALLBACK UpdateTimerProc(HWND, UINT, UINT_PTR, DWORD) {}

void StartUpdateCheck() {}
