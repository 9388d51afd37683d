// Keeps its own program file in use: signals the first named event once running, then waits
// (at most a minute) for the second before it ends.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        return 2;
    }
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[2]);
    if (ready == nullptr || release == nullptr) {
        return 3;
    }
    SetEvent(ready);
    DWORD waited = WaitForSingleObject(release, 60000);
    CloseHandle(ready);
    CloseHandle(release);
    return waited == WAIT_OBJECT_0 ? 0 : 4;
}
