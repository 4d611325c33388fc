// Placeholder until the about box and the speed-up tips land.
#include "ui/AboutBox.h"

void RunAboutBox(HWND) {}
void RunSpeedTips(HWND) {}
