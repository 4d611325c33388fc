// The run modes the command line selects.
#pragma once

enum RunModeValue : int {
    ModeNone = 0,
    ModeConfig = 1,
    ModeChangePassword = 2,
    ModePreview = 3,
    ModeSaver = 4,
};
