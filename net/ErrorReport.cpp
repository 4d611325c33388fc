// Placeholder until the error report dialog lands: the offer is skipped.
#include "net/ErrorReport.h"

void ShowErrorReportDialog(HWND) {}
