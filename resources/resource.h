// Resource ids of ZephylSaver.scr, grouped per user of the resource.
#pragma once

// Program
#define IDI_ZEPHYL 166
#define IDS_DESCRIPTION 1  // the name Windows shows in the screen-saver list

// Version (one place for the numbers)
#define ZEPHYL_VERSION_MAJOR 1
#define ZEPHYL_VERSION_MINOR 0
#define ZEPHYL_VERSION_TEXT "1.0.0.0"
