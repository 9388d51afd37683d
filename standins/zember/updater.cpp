// Stand-in for the anti-spam updater "Z-Update.exe". It writes "Z-Update.record" beside
// itself (written whole, then renamed, so a reader never sees half of it):
//   command line: <GetCommandLineA>
//   folder: <current folder>
//   process: <process id>
// While a file "Z-Update.hold" lies beside it, it stays running (at most a minute) so a test
// can tell that whoever started it did not wait for it.
#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace {

// `name` in this program's folder.
void Beside(char* path, size_t size, const char* name) {
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    char* slash = strrchr(module, '\\');
    if (slash) {
        slash[1] = '\0';
    }
    _snprintf(path, size, "%s%s", module, name);
    path[size - 1] = '\0';
}

void WriteRecord() {
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    char text[2048];
    _snprintf(text, sizeof(text), "command line: %s\r\nfolder: %s\r\nprocess: %lu\r\n", GetCommandLineA(),
              folder, GetCurrentProcessId());
    text[sizeof(text) - 1] = '\0';

    char temporary[MAX_PATH + 32];
    char record[MAX_PATH + 32];
    Beside(temporary, sizeof(temporary), "Z-Update.record.tmp");
    Beside(record, sizeof(record), "Z-Update.record");
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
    MoveFileExA(temporary, record, MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    WriteRecord();
    char hold[MAX_PATH + 32];
    Beside(hold, sizeof(hold), "Z-Update.hold");
    for (int waited = 0; waited < 60000 && GetFileAttributesA(hold) != INVALID_FILE_ATTRIBUTES;
         waited += 50) {
        Sleep(50);
    }
    return 0;
}
