// Entry point of the setup engine: the whole run happens in RunSetup; its result is the
// process exit code.
//
// The program starts here directly, without the C run-time's start-up code (about 10 KB it
// does not need): it has no global constructors, no exit-time destructors and no thread-local
// data, and msvcrt.dll initialises itself when it is loaded.
#include <windows.h>

#include "setup/run_control.h"

namespace {

// The command line after the program's name, as WinMain would receive it.
char* ArgumentsOf(char* line) {
    bool quoted = false;
    while (*line != '\0' && (quoted || (*line != ' ' && *line != '\t'))) {
        if (*line == '"') {
            quoted = !quoted;
        }
        ++line;
    }
    while (*line == ' ' || *line == '\t') {
        ++line;
    }
    return line;
}

}  // namespace

// Windows 9x and NT start a program with the stack aligned to 4 bytes only.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
    ExitProcess(static_cast<UINT>(RunSetup(ArgumentsOf(GetCommandLineA()))));
}

// Called only if a pure virtual function were ever called through a broken object.
extern "C" void __cxa_pure_virtual() {
    ExitProcess(255);
}
