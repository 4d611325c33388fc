// A stand-in ddraw.dll whose DirectDraw creation always fails: put beside the program
// (with Wine told to prefer native DLLs) it shows how the program copes without DirectDraw.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT WINAPI DirectDrawCreateEx(GUID*, void** out, REFIID, IUnknown*) {
    if (out) *out = nullptr;
    return E_FAIL;
}
