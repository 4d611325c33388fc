// Placeholder until the hyperlink control lands.
#include "ui/Hyperlink.h"

bool MakeHyperlink(HWND, int) { return true; }
