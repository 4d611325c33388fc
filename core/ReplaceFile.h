// ReplaceFile: writes a file's new contents beside it and puts them in its place in one step,
// so that the old file is whole until the new one is complete.
#pragma once

#include <string>

// Writes bytes to path + ".new", then moves that over path (replacing it). False when path
// was not replaced: after a failed write the ".new" file is removed and path is untouched;
// after a failed move the ".new" file is kept, so the new contents are not lost either.
// Paths up to the system's longest ordinary path are accepted although ".new" goes beyond it.
bool WriteReplacing(const std::string& path, const std::string& bytes);
