// The update check: posts the program's version to the vendor's update script and shows
// the answer (a download prompt or a note); a 10-second timer reports a failed connection.
#include "net/UpdateCheck.h"

#include <shellapi.h>

#include <cstring>
#include <exception>
#include <string>

#include "core/Vendor.h"
#include "core/Product.h"
#include "diag/Log.h"
#include "net/HttpText.h"
#include "net/NetClient.h"

namespace {

const char* const kUpdatePath = "/updates/zephyl_update.php";
const UINT kTimerMs = 10000;
// A server or proxy that never answers or never closes: the check ends 30 s after the press.
const int kMostTicks = 3;

const char* const kExceptionText = "UPDATE CLIENT EXCEPTION!";
const char* const kExceptionCaption = "UpdateClient";
const char* const kFoundCaption = "Update found!";
const char* const kFoundText = "An update was found!  Would you like to update now?";
const char* const kNoteCaption = "Note";
const char* const kLatestText = "You currently have the most recent version.";
const char* const kFailedCaption = "Could not connect";
const char* const kFailedText =
    "Unable to connect to check for updates.\nMake sure you are connected to the internet.\n(Connection failed)";

// State of the one check at a time.
bool gProxyInUse = false;
bool gDone = false;
// A reply's box is up: the client is in use below it.
bool gShowing = false;

void CopyText(char* to, size_t size, const char* from) {
    strncpy(to, from, size - 1);
    to[size - 1] = '\0';
}

void EndCheck(NetClient* client, UpdateContext* context) {
    delete client;
    context->client = nullptr;
    context->connected = false;
    gDone = true;
}

// One piece of the reply: a download prompt when it holds a web link, a note when it
// holds only a message.
void ShowReply(const std::string& reply) {
    std::string link;
    ReplyNote message = FindMessage(reply);
    if (FindWebLink(reply, link)) {
        std::string text = message.closed ? message.text : kFoundText;
        ZLOG(LogInfo, "Update found: " << link);
        if (MessageBoxA(GetFocus(), text.c_str(), kFoundCaption, MB_YESNO) == IDYES)
            ShellExecuteA(nullptr, nullptr, link.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
    } else if (message.opened) {
        std::string text = message.closed ? message.text : kLatestText;
        MessageBoxA(GetFocus(), text.c_str(), kNoteCaption, MB_OK | MB_ICONINFORMATION);
    }
}

void UpdateCallback(NetClient* client, void* userData, int event) {
    UpdateContext* context = static_cast<UpdateContext*>(userData);
    switch (event) {
    case kNetConnected: {
        if (!client) return;
        context->connected = true;
        SendForm(client, context->host, context->path, FormBody({{"version", context->version}}), gProxyInUse);
        break;
    }
    case kNetData: {
        std::string reply;
        if (!client || gDone || !ReceiveText(client, reply)) break;
        context->answered = true;
        gShowing = true;
        ShowReply(reply);
        gShowing = false;
        break;
    }
    case kNetClosed:
        if (!gDone) EndCheck(client, context);
        break;
    case kNetConnectFailed: {
        if (gDone) return;
        bool answered = context->answered;
        EndCheck(client, context);
        // A server that answered but never closed has said what it had to say.
        if (answered) {
            ZLOG(LogError, "Update check: the server did not close the connection");
            break;
        }
        ZLOG(LogError, "Update check: no answer in time");
        MessageBoxA(GetFocus(), kFailedText, kFailedCaption, MB_OK);
        break;
    }
    default:
        break;
    }
}

}  // namespace

UpdateContext& TheUpdateContext() {
    static UpdateContext context;
    return context;
}

bool CheckForUpdates(UpdateContext* context) {
    gDone = false;
    try {
        context->callback = UpdateCallback;
        context->client = ConnectClient(UpdateCallback, context, context->host, gProxyInUse);
        return true;
    } catch (const std::exception&) {
        MessageBoxA(GetFocus(), kExceptionText, kExceptionCaption, MB_OK);
        return false;
    }
}

void CALLBACK UpdateTimerProc(HWND, UINT, UINT_PTR timerId, DWORD) {
    UpdateContext& context = TheUpdateContext();
    if (!context.client) return;
    ++context.ticks;
    if (context.connected && context.ticks < kMostTicks) return;
    // The user is reading a reply's box: the check ends with the next tick at the earliest.
    if (gShowing) return;
    // Killed before the box: its message loop would run this procedure again.
    KillTimer(nullptr, timerId);
    if (context.timer == timerId) context.timer = 0;
    context.callback(context.client, &context, kNetConnectFailed);
}

void StartUpdateCheck() {
    UpdateContext& context = TheUpdateContext();
    if (context.client) return;
    // The timer of an earlier check would otherwise cut this one short.
    if (context.timer) {
        KillTimer(nullptr, context.timer);
        context.timer = 0;
    }
    CopyText(context.host, sizeof context.host, kVendorHost);
    CopyText(context.path, sizeof context.path, kUpdatePath);
    CopyText(context.version, sizeof context.version, kVersionText);
    context.connected = false;
    context.ticks = 0;
    context.answered = false;
    if (CheckForUpdates(&context)) context.timer = SetTimer(nullptr, 0, kTimerMs, UpdateTimerProc);
}
