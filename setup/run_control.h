// The spine of a run: options, log, the role mutexes, the role object, a hidden main window,
// one worker thread for the role's phases, the message pump, and the restart at the end.
#pragma once
#include <windows.h>

// Posted by the worker (both parameters 0) when the role's last phase has run.
const UINT SetupDoneMessage = 0x1406;

// The whole run for the ANSI command line (the text after the program name); the exit code.
int RunSetup(const char* commandLine);

// 0, or 9044 when a conflicting run holds its mutex. `held` receives the cleanup mutex for the
// cleanup role, or the handle obtained for a conflicting mutex on 9044; otherwise null.
int AcquireRoleMutex(int role, HANDLE* held);
// Creates the named mutex owned; true on a conflict (not created, or it already existed).
// With keep the handle stays in `handle`; otherwise it is released and closed at once.
bool TryCreateMutex(const wchar_t* name, HANDLE* handle, bool keep);
// Creates the role object, its window and the worker thread; the thread handle, or null when the
// role ran synchronously or was never created.
HANDLE StartWorker(int role);
HWND CreateMainWindow();
// Pumps messages until the worker is done; the role's result.
int RunMessageLoop(HANDLE worker);
// Enables the shutdown privilege on the NT family and asks Windows to restart.
void RestartWindows();
// Tests observe the restart instead of having it (null restores RestartWindows).
void SetRestartHandlerForTests(void (*handler)());
