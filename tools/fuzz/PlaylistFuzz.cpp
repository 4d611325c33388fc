// Fuzz target of one playlist reader (the format's extension comes from the build, see
// tools/fuzz.sh): the input is loaded as a playlist file; every entry must be a non-empty
// value without line ends or NUL bytes; saved as M3U and as PLS, the list must read back
// with every entry, each as it is or (for one the reader would take for a comment or trim)
// as its full path.
#include "core/Playlist.h"

#include "FuzzFiles.h"

#include <cstdlib>
#include <unistd.h>

namespace {

// The folder's name holds a ":", so every entry read is absolute in the readers' sense and
// survives saving in any folder.
const std::string& Folder()
{
    return fuzzfiles::ScratchFolder("-C:");
}

void CheckSavedCopy(const Playlist& list, int type, const char* name)
{
    std::string path = Folder() + "/" + name;
    if (!list.Save(path, type))
        abort();
    Playlist back;
    if (!back.Load(path) || back.Count() != list.Count())
        abort();
    static const std::string cwd = [] {
        char buffer[4096];
        return std::string(getcwd(buffer, sizeof buffer) ? buffer : "") + "/";
    }();
    for (int i = 0; i < list.Count(); ++i) {
        const std::string& e = list.Entry(i);
        const std::string& got = back.Entry(i);
        bool asFullPath = (e[0] == '#' || e[0] == ' ' || e[0] == '\t') && got == cwd + e;
        if (got != e && !asFullPath)
            abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = Folder() + "/input" ZEPHYL_FUZZ_EXTENSION;
    fuzzfiles::Write(path, data, size);
    Playlist list;
    if (!list.Load(path))
        abort();
    for (int i = 0; i < list.Count(); ++i) {
        const std::string& e = list.Entry(i);
        if (e.empty() || e.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
            abort();
    }
    if (list.Count() == 0)
        return 0;
    CheckSavedCopy(list, Playlist::TypeM3U, "saved.m3u");
    CheckSavedCopy(list, Playlist::TypePLS, "saved.pls");
    return 0;
}
