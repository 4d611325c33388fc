// The about box (dialog resource 140) with its credits scroller, and the speed-up tips
// (dialog resource 141) shown after a slow run.
#pragma once

#include <windows.h>

void RunAboutBox(HWND owner);
void RunSpeedTips(HWND owner);
