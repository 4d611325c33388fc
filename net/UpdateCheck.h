// The update check: one process-wide request context, the check itself and the timer
// that gives up after 10 seconds without a connection, or 30 seconds after the press when
// the server has not finished by then. Runs on the dialog's thread.
#pragma once

#include <windows.h>

class NetClient;

typedef void (*NetCallback)(NetClient* client, void* userData, int event);

struct UpdateContext {
    char host[256];
    char path[128];
    char version[16];
    bool connected;
    NetCallback callback;
    NetClient* client;
    UINT_PTR timer;  // the running 10-second timer, 0 when none
    int ticks;       // of that timer since the press
    bool answered;   // some of the reply has arrived
};

// The one context, reused for every check.
UpdateContext& TheUpdateContext();

// Starts a check with a filled context; false when the client could not be set up.
bool CheckForUpdates(UpdateContext* context);

// Timer procedure of the 10-second timer the dialog starts without a window: ends a check
// that has no connection at its first tick, or has not finished by its third.
void CALLBACK UpdateTimerProc(HWND, UINT, UINT_PTR timerId, DWORD);

// What the "Check for Updates" button does: fills the context with the vendor's host,
// "/updates/zephyl_update.php" and "1.0", starts the check and its timer.
// A press while a check is running is ignored.
void StartUpdateCheck();
