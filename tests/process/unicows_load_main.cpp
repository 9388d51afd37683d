// ovunicowsload.exe [RECORD]: loads the Unicode layer the way the layer itself would and writes
// the loaded module's path (UTF-16, no terminator) to RECORD. The loader ends the process with
// -1 when the library is nowhere.
#include <windows.h>

#include "host/unicode_layer.h"

int wmain(int argc, wchar_t** argv) {
    HMODULE module = LoadUnicowsLayer();
    wchar_t path[MAX_PATH] = {};
    DWORD chars = GetModuleFileNameW(module, path, MAX_PATH);
    if (argc > 1) {
        HANDLE file = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return 2;
        }
        DWORD put = 0;
        WriteFile(file, path, chars * sizeof(wchar_t), &put, nullptr);
        CloseHandle(file);
    }
    return 0;
}
