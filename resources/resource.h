// Resource ids of ZephylSaver.scr, grouped per user of the resource.
#pragma once

// Program
#define IDI_ZEPHYL 166
#define IDS_DESCRIPTION 1  // the name Windows shows in the screen-saver list

// About box (dialog 140)
#define IDD_ABOUT 140
#define IDC_ABOUT_LINK 1073
#define IDC_ABOUT_CREDITS 1011
#define IDC_ABOUT_WEBSITE 1012

// Speed-up tips (dialog 141)
#define IDD_SPEED_TIPS 141

// Custom music (dialog 154)
#define IDD_CUSTOM_MUSIC 154
#define IDC_MUSIC_LIST 1103
#define IDC_MUSIC_ADD 3
#define IDC_MUSIC_REMOVE 4
#define IDC_MUSIC_CLEAR 5
#define IDC_MUSIC_UP 1011
#define IDC_MUSIC_DOWN 1012
#define IDC_MUSIC_COUNT 1106

// Configuration dialog (104)
#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif
#define IDD_CONFIG 104
#define IDC_CONFIG_MODES 1024
#define IDC_CONFIG_SUPPORT 1034
#define IDC_CONFIG_HELP 1048
#define IDC_CONFIG_ABOUT 1049
#define IDC_CONFIG_PLAYMUSIC 1059
#define IDC_CONFIG_SHUFFLE 1060
#define IDC_CONFIG_CUSTOM_MUSIC 1087
#define IDC_CONFIG_SPECIALS 1089
#define IDC_CONFIG_UPDATES 1095
#define IDC_CONFIG_VOLUME 1112
#define IDC_CONFIG_SHOWQUOTES 1113
#define IDC_CONFIG_DURATION 1114
#define IDC_CONFIG_INTERVAL 1115
#define IDC_CONFIG_DURATION_LABEL 1116
#define IDC_CONFIG_INTERVAL_LABEL 1117
#define IDC_CONFIG_QUALITY 1118
#define IDC_CONFIG_SKIN 1120

// Error report: offer (155) and comments (156)
#define IDD_ERROR_REPORT 155
#define IDD_REPORT_COMMENTS 156
#define IDC_REPORT_YES 1
#define IDC_REPORT_NO 2
#define IDC_REPORT_SEE 3
#define IDC_REPORT_COMMENTS 1105
#define IDC_REPORT_DONT_SHOW 1108
