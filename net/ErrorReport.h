// The error report offered after a crashed or failed run: the offer dialog (resource 155),
// the comments dialog (156) and the upload of the anonymised log with the comments.
#pragma once

#include <windows.h>

#include <string>

class NetClient;

// One report; made by the offer dialog, freed by the upload when the server closes.
struct ReportContext {
    std::string path;
    std::string host;
    std::string logPath;
    std::string logData;  // the anonymised log, read by SendReport
    std::string appName;
    std::string appVersion;
    std::string comments;
    NetClient* client = nullptr;
};

// Shows the offer dialog modally; a report that is sent goes on in the background, served
// by the thread's next message loop.
void ShowErrorReportDialog(HWND owner);

// Reads the log and starts the upload; true when it is under way. On true the upload owns
// `context` and frees it when it ends.
bool SendReport(ReportContext* context);

// The log text as the report sends it and "See Report" shows it; false when it cannot be read.
bool ReadReportLog(const std::string& logPath, std::string& text);
