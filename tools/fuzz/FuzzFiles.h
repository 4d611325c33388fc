// Scratch files of the fuzz targets: one folder per fuzzing process, removed at exit.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace fuzzfiles {

// A folder of this process below the temporary folder; 'suffix' ends its name.
inline const std::string& ScratchFolder(const char* suffix = "")
{
    static std::string folder;
    if (folder.empty()) {
        const char* tmp = getenv("TMPDIR");
        folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/zephyl-fuzz-" + std::to_string(getpid()) + suffix;
        std::string command = "mkdir -p '" + folder + "'";
        if (system(command.c_str()) != 0)
            abort();
        static std::string removeAtExit = "rm -rf '" + folder + "'";
        atexit([] { (void)!system(removeAtExit.c_str()); });
    }
    return folder;
}

inline void Write(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || (size && fwrite(data, 1, size, f) != size) || fclose(f) != 0)
        abort();
}

}  // namespace fuzzfiles
