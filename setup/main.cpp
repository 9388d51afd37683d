// Entry point of the setup engine: the whole run happens in RunSetup; its result is the
// process exit code.
#include <windows.h>

#include "setup/run_control.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    return RunSetup(commandLine);
}
