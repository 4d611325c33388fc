// Which recorded user folders the uninstall may remove, as a rule on paths alone. The record
// lives in the machine registry, so every recorded path is checked before anything below it
// goes; Housekeeping.cpp adds the checks that need the file system (drive kind, links).
#pragma once

#include <string>
#include <vector>

// True when `path` is a path on a drive letter ("C:\..."): not a network share, device or
// "\\?\" path, and no part of it is ".", "..", holds a stream or wildcard character, or ends
// in a dot or space (which Windows drops, so that the path would name another folder).
bool IsLocalDrivePath(const std::string& path);

// The folders from the drive's root down to `path` itself: "C:\", "C:\Users", ...,
// "C:\Users\anna\AppData\Roaming\Telmoro\Zephyl" (backslashes, none at the end but the
// root's). Empty when `path` is not a local drive path.
std::vector<std::string> FolderChain(const std::string& path);

// True when `path` lies strictly below one of `folders`, without regard to case (ASCII)
// and with either kind of slash, at a folder boundary ("C:\Users\ann" does not hold
// "C:\Users\anna\...").
bool IsBelowAnyFolder(const std::string& path, const std::vector<std::string>& folders);

// The rule as a whole: a user folder of this program (IsRecordedUserFolder) on a local drive
// and, when the system names its profile folders (`profiles` not empty), below one of them.
bool MayRemoveUserFolder(const std::string& path, const std::vector<std::string>& profiles);
