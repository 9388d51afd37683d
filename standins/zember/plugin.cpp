// Stand-in for the anti-spam component's mail plug-ins ("ZAddIn.dll", "ZOEHook.dll"). It
// keeps its registration in "<own path>.registered" (the value DllIsRegistered reports,
// in decimal; no file: not registered) and appends one line per call to "<own path>.calls":
//   DllIsRegistered
//   DllInstall <install flag as passed> <command line>
// Built with OV_WITHOUT_IS_REGISTERED it lacks the "DllIsRegistered" export.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

HMODULE self;

// `suffix` appended to this DLL's own path (ANSI: the test folders are plain ASCII).
void OwnFile(char* path, size_t size, const char* suffix) {
    char module[MAX_PATH] = {};
    GetModuleFileNameA(self, module, MAX_PATH);
    _snprintf(path, size, "%s%s", module, suffix);
    path[size - 1] = '\0';
}

void Record(const char* line) {
    char path[MAX_PATH + 16];
    OwnFile(path, sizeof(path), ".calls");
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}

#ifndef OV_WITHOUT_IS_REGISTERED
DWORD ReadRegistration() {
    char path[MAX_PATH + 16];
    OwnFile(path, sizeof(path), ".registered");
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 0;
    }
    char text[32] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof(text) - 1, &read, nullptr);
    CloseHandle(file);
    return static_cast<DWORD>(strtoul(text, nullptr, 0));
}
#endif

void WriteRegistration(bool registered) {
    char path[MAX_PATH + 16];
    OwnFile(path, sizeof(path), ".registered");
    if (!registered) {
        DeleteFileA(path);
        return;
    }
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, "1", 1, &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" {

#ifndef OV_WITHOUT_IS_REGISTERED
__declspec(dllexport) HRESULT WINAPI DllIsRegistered(DWORD* registered) {
    Record("DllIsRegistered");
    *registered = ReadRegistration();
    return S_OK;
}
#endif

__declspec(dllexport) HRESULT WINAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    char text[256] = {};
    if (commandLine) {
        WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, text, sizeof(text) - 1, nullptr, nullptr);
    }
    char line[300];
    _snprintf(line, sizeof(line), "DllInstall %d %s", install, commandLine ? text : "(null)");
    line[sizeof(line) - 1] = '\0';
    Record(line);
    WriteRegistration(install != FALSE);
    return S_OK;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
    }
    return TRUE;
}

}  // extern "C"
