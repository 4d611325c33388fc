// The installed-file list "chk.sum": one "sha256-hex  file-name" line per installed file
// (the format of sha256sum), names relative to the installation folder.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct CheckSumEntry {
    std::array<uint8_t, 32> sha256{};
    std::string name;
};

// False for a malformed list: a line that is not "64 hex digits, blank, blank or '*',
// relative file name", or a list without any entry. Blank lines and CR LF are accepted.
bool ParseCheckSumList(const std::string& text, std::vector<CheckSumEntry>& entries);
