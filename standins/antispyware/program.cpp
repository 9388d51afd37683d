// Stand-in for the anti-spyware product's own programs "pellmar5.exe" and
// "pmactivedetection.exe" (one source, two names): files for the firewall's trust list and
// targets of the desktop shortcut. Started, it records and ends.
//
// Record "<its file name without .exe>": command line, folder (working folder).
#include <windows.h>

#include "machine.h"
#include "standin.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    std::wstring name = aspm::ModulePath();
    name = name.substr(name.find_last_of(L'\\') + 1);
    size_t dot = name.find_last_of(L'.');
    standin::Record(name.substr(0, dot),
                    {{L"command line", GetCommandLineW()}, {L"folder", aspm::CurrentFolder()}});
    return 0;
}
