// The error report: offer and comments dialogs, the anonymised log, its upload and the
// reply's suggested solution.
#include "net/ErrorReport.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "core/Globals.h"
#include "core/SaverState.h"
#include "core/Vendor.h"
#include "core/Product.h"
#include "diag/Log.h"
#include "net/HttpText.h"
#include "net/NetClient.h"
#include "resources/resource.h"

namespace {

const char* const kReportPath = "/bugs/zephyl_bug.php";
// What "See Report" opens: the text as it will be sent, kept in the program's user folder.
const char* const kReportCopyName = "ZephylReport.txt";
const int kMostCommentChars = 65534;
// How long the offer waits for the server before it tells the user the report failed.
const DWORD kReportWaitMs = 20000;

const char* const kThanksCaption = "Thank you!";
const std::string kThanksText = std::string(
    "Thank you! We will do our best to resolve this issue.\n\n"
    "This report is anonymous so if this problem\n"
    "continues and you need further support,\n"
    "please do not hesitate to get in touch with\n"
    "our Technical Support department either via\n"
    "e-mail or through our online forums.\n\n"
    "Our web address is: http://") + kVendorHost;
const char* const kReportFailedText = "Error reporting error!";
const char* const kExceptionText = "BUG REPORT CLIENT EXCEPTION!";
const char* const kExceptionCaption = "BugReportClient";
const char* const kSolutionCaption = "There appears to be a solution!";
const char* const kSolutionText =
    "There appears to be a suggested solution\nto the problem that caused the error.\n\n"
    "Would you like to see the suggested\nsolution?";

// The comments typed into the last comments dialog.
std::string gComments;

std::string ProfileFolder() {
    char folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, 0, folder)) && folder[0]) return folder;
    DWORD n = GetEnvironmentVariableA("USERPROFILE", folder, sizeof folder);
    return n > 0 && n < sizeof folder ? std::string(folder) : std::string();
}

// The 8.3 form of a path, as older parts of the system write it ("" when there is none).
std::string ShortPath(const std::string& path) {
    if (path.empty()) return std::string();
    char shortPath[MAX_PATH] = {};
    DWORD n = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
    return n > 0 && n < sizeof shortPath ? std::string(shortPath) : std::string();
}

// Ends the exchange: the client is deleted (also when called from its own callback).
void EndExchange(ReportContext* context, NetClient* client) {
    context->finished = true;
    context->delivered = context->requestSent && context->answered;
    context->client = nullptr;
    delete client;
}

void ReportCallback(NetClient* client, void* userData, int event) {
    ReportContext* context = static_cast<ReportContext*>(userData);
    if (!client || context->finished) return;
    switch (event) {
    case kNetConnected:
        context->requestSent = SendForm(client, context->host, context->path,
                                        FormBody({{"logData", context->logData},
                                                  {"comments", context->comments},
                                                  {"appName", context->appName},
                                                  {"appVersion", context->appVersion}}),
                                        context->proxyInUse);
        if (!context->requestSent) EndExchange(context, client);
        break;
    case kNetData: {
        std::string reply, link;
        if (!ReceiveText(client, reply)) return;
        context->answered = true;
        if (FindWebLink(reply, link) &&
            MessageBoxA(GetFocus(), kSolutionText, kSolutionCaption, MB_YESNO) == IDYES)
            ShellExecuteA(nullptr, nullptr, link.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
        break;
    }
    case kNetClosed:
        // A request the socket could not pass on in full did not reach the server.
        if (!client->SentAll()) context->requestSent = false;
        EndExchange(context, client);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK CommentsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(dialog, IDC_REPORT_COMMENTS, EM_LIMITTEXT, kMostCommentChars, 0);
        return TRUE;
    case WM_COMMAND:
        // "Send Report" is the only way out: Escape and Alt+F4 arrive as IDCANCEL.
        if (LOWORD(wParam) == IDOK) {
            std::vector<char> text(kMostCommentChars + 1, '\0');
            GetDlgItemTextA(dialog, IDC_REPORT_COMMENTS, text.data(), int(text.size()));
            gComments = text.data();
            EndDialog(dialog, IDOK);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

std::string ReportCopyPath() { return UserFolder + kReportCopyName; }

void SeeReport(HWND dialog) {
    std::string text;
    ReadReportLog(Paths.logFile, text);
    std::string copy = ReportCopyPath();
    FILE* file = fopen(copy.c_str(), "wb");
    if (!file) {
        ZLOG(LogError, "Could not write " << copy);
        return;
    }
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    written = fclose(file) == 0 && written;
    if (written) ShellExecuteA(dialog, nullptr, copy.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

void SendFromOffer(HWND dialog) {
    if (ss) ss->MessageBoxUp = 1;
    DialogBoxParamA(InstanceHandle, MAKEINTRESOURCEA(IDD_REPORT_COMMENTS), dialog, CommentsProc, 0);
    ReportContext context;
    context.path = kReportPath;
    context.host = kVendorHost;
    context.logPath = Paths.logFile;
    context.appName = kProductName;
    context.appVersion = kVersionText;
    context.comments = gComments;
    bool sent = false;
    if (SendReport(&context)) {
        // The offer stays up, but takes no second press, while the report is on its way.
        EnableWindow(dialog, FALSE);
        sent = FinishReport(&context, kReportWaitMs);
        EnableWindow(dialog, TRUE);
    }
    if (sent)
        MessageBoxA(nullptr, kThanksText.c_str(), kThanksCaption, MB_OK);
    else
        MessageBoxA(nullptr, kReportFailedText, nullptr, MB_OK);
}

INT_PTR CALLBACK OfferProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_REPORT_YES: {
            // The offer is disabled while its report is on its way, but a press can still
            // arrive as a posted command: it must not start a second report inside the first.
            static bool sending = false;
            if (sending) return TRUE;
            sending = true;
            SendFromOffer(dialog);
            sending = false;
            EndDialog(dialog, IDC_REPORT_YES);
            return TRUE;
        }
        case IDC_REPORT_NO:
            EndDialog(dialog, IDC_REPORT_NO);
            return TRUE;
        case IDC_REPORT_SEE:
            SeeReport(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_DESTROY:
        // The viewer has read the copy by now; it is not left in the user's folder.
        DeleteFileA(ReportCopyPath().c_str());
        if (ss) {
            ss->ShowBugReport = IsDlgButtonChecked(dialog, IDC_REPORT_DONT_SHOW) == BST_CHECKED ? 0 : 1;
            ss->SaveSettings();
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

bool ReadReportLog(const std::string& logPath, std::string& text) {
    FILE* file = fopen(logPath.c_str(), "rb");
    if (!file) return false;
    bool ok = fseek(file, 0, SEEK_END) == 0;
    long size = ok ? ftell(file) : -1;
    ok = ok && size >= 0 && fseek(file, 0, SEEK_SET) == 0;
    std::string data(ok ? size_t(size) : 0, '\0');
    ok = ok && fread(&data[0], 1, data.size(), file) == data.size();
    fclose(file);
    if (!ok) return false;
    // The log ends at its first NUL byte.
    data.resize(strlen(data.c_str()));
    ReportIdentity who;
    who.profileFolder = ProfileFolder();
    who.shortProfileFolder = ShortPath(who.profileFolder);
    who.loginName = LoginName();
    text = Anonymise(data, who);
    return true;
}

bool SendReport(ReportContext* context) {
    if (!ReadReportLog(context->logPath, context->logData)) {
        ZLOG(LogError, "Error report: cannot read " << context->logPath);
        return false;
    }
    try {
        context->client = ConnectClient(ReportCallback, context, context->host, context->proxyInUse);
        return true;
    } catch (const std::exception&) {
        MessageBoxA(GetFocus(), kExceptionText, kExceptionCaption, MB_OK);
        return false;
    }
}

bool FinishReport(ReportContext* context, DWORD ms) {
    DWORD start = GetTickCount();
    bool quit = false;
    int quitCode = 0;
    while (!context->finished && !quit) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
        MSG message;
        while (!context->finished && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                quitCode = int(message.wParam);
                break;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    // The quit request belongs to the loop that runs next.
    if (quit) PostQuitMessage(quitCode);
    if (!context->finished) {
        ZLOG(LogError, "Error report: no answer from the server in time");
        EndExchange(context, context->client);
    }
    if (!context->delivered) ZLOG(LogError, "Error report: not delivered");
    return context->delivered;
}

void ShowErrorReportDialog(HWND owner) {
    DialogBoxParamA(InstanceHandle, MAKEINTRESOURCEA(IDD_ERROR_REPORT), owner, OfferProc, 0);
}
