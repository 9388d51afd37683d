// ovsleeper.exe MILLISECONDS EXITCODE [EVENT]
// Stays alive for MILLISECONDS (-1: without limit) or until the named event is set, whichever
// comes first, then ends with EXITCODE. Without arguments: ends at once with 0.
#include <stdlib.h>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    DWORD wait = argc > 1 ? static_cast<DWORD>(wcstol(argv[1], nullptr, 10)) : 0;
    UINT code = argc > 2 ? static_cast<UINT>(wcstoul(argv[2], nullptr, 10)) : 0;
    HANDLE event = nullptr;
    if (argc > 3) {
        event = CreateEventW(nullptr, TRUE, FALSE, argv[3]);
    }
    if (event != nullptr) {
        WaitForSingleObject(event, wait);
        CloseHandle(event);
    } else {
        Sleep(wait);
    }
    return static_cast<int>(code);
}
