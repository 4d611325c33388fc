// Placeholder until tooltips land.
#include "ui/Tooltip.h"

HWND AddTooltip(HWND, const char*) { return nullptr; }
