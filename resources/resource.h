// Resource ids of ZephylSaver.scr, grouped per user of the resource.
#pragma once

// Program
#define IDI_ZEPHYL 166
#define IDS_DESCRIPTION 1  // the name Windows shows in the screen-saver list

// Version (one place for the numbers)
#define ZEPHYL_VERSION_MAJOR 1
#define ZEPHYL_VERSION_MINOR 0
#define ZEPHYL_VERSION_TEXT "1.0.0.0"

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
