// Stand-in for the Unicode layer library: loadable, and recognisable by its export.
#include <windows.h>

extern "C" __declspec(dllexport) int OvUnicowsStandIn(void) {
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
