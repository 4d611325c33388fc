// The installation folder as the installer recorded it: the machine-wide value
// "Install_Dir_Zephyl" of Software\Telmoro\Zephyl, read by the launcher and by the
// forwarding screen saver.
#pragma once

#include <string>

// The folder, with environment variables expanded; false when it cannot be read.
bool ReadInstallFolder(std::string& folder);
