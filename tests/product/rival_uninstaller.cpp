// A competing product's uninstaller for the conflict tests: "ovrivaluninst.exe <entry> [keep]"
// removes HKLM ...\Uninstall\<entry> unless told to keep it (an uninstaller that fails quietly).
#include <windows.h>
#include <shlwapi.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 2;
    }
    if (argc > 2 && std::wstring(argv[2]) == L"keep") {
        return 0;
    }
    std::wstring key = std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + argv[1];
    return SHDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str()) == ERROR_SUCCESS ? 0 : 1;
}
