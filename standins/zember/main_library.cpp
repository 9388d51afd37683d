// Stand-in for the anti-spam component's main library "Z.dll". Only its version resource
// (main_library.rc) is ever looked at, and only as data.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
