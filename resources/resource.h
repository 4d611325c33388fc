// Resource ids of ZephylSaver.scr, grouped per user of the resource.
#pragma once

// Program
#define IDI_ZEPHYL 166
#define IDS_DESCRIPTION 1  // the name Windows shows in the screen-saver list

// Version (one place for the numbers)
#define ZEPHYL_VERSION_MAJOR 1
#define ZEPHYL_VERSION_MINOR 0
#define ZEPHYL_VERSION_TEXT "1.0.0.0"

// Error report: offer (155) and comments (156)
#define IDD_ERROR_REPORT 155
#define IDD_REPORT_COMMENTS 156
#define IDC_REPORT_YES 1
#define IDC_REPORT_NO 2
#define IDC_REPORT_SEE 3
#define IDC_REPORT_COMMENTS 1105
#define IDC_REPORT_DONT_SHOW 1108
