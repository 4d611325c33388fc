// Counting a process's GDI objects from inside it, where GetGuiResources reports none
// (Wine): its GDI table takes a handle whose upper half is zero as its index alone, so every
// slot is asked for its object type.
#pragma once

#include <windows.h>

namespace wt {

// Calls `seen(type)` for each live object; returns how many there are.
template <typename Seen>
DWORD WalkGdiTable(Seen seen) {
    DWORD count = 0;
    for (ULONG_PTR index = 1; index < 0x10000; ++index)
        if (DWORD type = GetObjectType(reinterpret_cast<HGDIOBJ>(index))) {
            ++count;
            seen(type);
        }
    return count;
}

}  // namespace wt
