// Entry point of the setup engine. Run control arrives with the roles; until then the
// program opens the log and ends with success.
#include <windows.h>

#include "log/logger.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    Logger::Get().Open(L"C:\\ovkestralog.txt", false);
    Logger::Get().Close(0);
    return 0;
}
