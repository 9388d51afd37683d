// The other-session check: setup refuses while a second user session is in use on the machine (fast
// user switching, terminal-server sessions). Only the NT family has sessions; every missing library,
// entry point or failing query makes the check pass, so it refuses only when it could count two.
#pragma once
#include <windows.h>
#include <wtsapi32.h>

// 0, or ErrorOtherSessions (9007) after logging 25507 with the number of sessions in use. A session
// is in use when active, or disconnected with a user name (a user switched away).
int CheckSessions();

// The bound entry points. Tests hand over their own set (a null member is a missing entry point);
// the platform test is not part of it.
struct SessionApi {
    BOOL(WINAPI* processIdToSessionId)(DWORD processId, DWORD* sessionId);
    BOOL(WINAPI* enumerateSessions)
    (HANDLE server, DWORD reserved, DWORD version, WTS_SESSION_INFOW** sessions, DWORD* count);
    BOOL(WINAPI* querySessionInformation)
    (HANDLE server, DWORD sessionId, WTS_INFO_CLASS infoClass, LPWSTR* buffer, DWORD* bytes);
    void(WINAPI* freeMemory)(void* memory);
};
// Null restores the binding from the system's libraries.
void SetSessionApi(const SessionApi* api);
