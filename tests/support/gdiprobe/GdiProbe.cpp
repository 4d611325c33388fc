// gdiprobe.dll: counts the GDI objects of the process it is loaded into. The soak run loads
// it into the running saver with a remote thread, because the system reports no GDI count
// for another process under Wine, and unloads it after the count.
#include <windows.h>

#include "support/GdiTable.h"

// Thread procedure run in the sampled process: the number of live GDI objects.
extern "C" __declspec(dllexport) DWORD WINAPI CountGdiObjects(LPVOID) {
    if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return count;
    return wt::WalkGdiTable([](DWORD) {});
}
