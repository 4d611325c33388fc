// The error report offered after a crashed or failed run: the offer dialog (resource 155),
// the comments dialog (156) and the upload of the anonymised log with the comments.
#pragma once

#include <windows.h>

#include <string>

class NetClient;

// One report and the state of its exchange; made and freed by the offer dialog, which
// waits for the exchange to end.
struct ReportContext {
    std::string path;
    std::string host;
    std::string logPath;
    std::string logData;  // the anonymised log, read by SendReport
    std::string appName;
    std::string appVersion;
    std::string comments;
    NetClient* client = nullptr;
    bool proxyInUse = false;
    bool requestSent = false;  // the socket took the whole request
    bool answered = false;     // the server replied
    bool finished = false;     // the exchange is over, well or not; the client is gone
    bool delivered = false;    // the server took the whole report and answered before closing
};

// Shows the offer dialog modally. A report that is sent has been delivered, or has failed,
// by the time it returns.
void ShowErrorReportDialog(HWND owner);

// Reads the log and starts the upload; true when it is under way. `context` must stay until
// FinishReport has returned.
bool SendReport(ReportContext* context);
// Serves the thread's messages until the report's exchange has ended, at most `ms`; an
// exchange still running then is given up. True when the report was delivered.
bool FinishReport(ReportContext* context, DWORD ms);

// The log text as the report sends it and "See Report" shows it; false when it cannot be read.
bool ReadReportLog(const std::string& logPath, std::string& text);
