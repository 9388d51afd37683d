// Counts the sessions of the local server through the terminal-services interface, which NT 4.0
// workstations and the 9x family lack: everything is bound by name for the length of one check.
#include "process/session_check.h"

#include "host/handles.h"
#include "host/paths.h"
#include "host/system.h"
#include "host/text.h"
#include "log/logger.h"
#include "setup/errors.h"

namespace {

const unsigned kMsgSessionCount = 25507;
const DWORD kSessionsInUseLimit = 2;

const SessionApi* g_testApi = nullptr;  // replaced only by tests

template <typename T>
void Bind(T* slot, HMODULE module, const char* name) {
    *slot = module != nullptr ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                              : nullptr;
}

// By full path: a bare name would let a file planted beside the setup program be loaded first.
HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t directory[kPathChars];
    if (!GetWinSysDir(directory, kPathChars)) {
        UINT length = GetSystemDirectoryW(directory, static_cast<UINT>(kPathChars));
        if (length == 0 || length >= kPathChars) {
            return nullptr;
        }
    }
    wchar_t path[kPathChars];
    if (!AppendPath(path, kPathChars, directory, name)) {
        return nullptr;
    }
    return LoadLibraryW(path);
}

void FreeSessionMemory(const SessionApi& api, void* memory) {
    // Without the release entry point the buffer is left to the system: nothing else may free it.
    if (memory != nullptr && api.freeMemory != nullptr) {
        api.freeMemory(memory);
    }
}

// A disconnected session is in use only while a user is still logged on to it.
bool HasUserName(const SessionApi& api, DWORD sessionId) {
    LPWSTR name = nullptr;
    DWORD bytes = 0;
    if (!api.querySessionInformation(WTS_CURRENT_SERVER_HANDLE, sessionId, WTSUserName, &name, &bytes)) {
        return false;
    }
    bool named = name != nullptr && bytes >= sizeof(wchar_t) && name[0] != L'\0';
    FreeSessionMemory(api, name);
    return named;
}

int CountSessions(const SessionApi& api) {
    if (api.processIdToSessionId == nullptr || api.enumerateSessions == nullptr ||
        api.querySessionInformation == nullptr) {
        return 0;
    }
    DWORD ownSession = 0;
    if (!api.processIdToSessionId(GetCurrentProcessId(), &ownSession)) {
        return 0;
    }
    WTS_SESSION_INFOW* sessions = nullptr;
    DWORD count = 0;
    if (!api.enumerateSessions(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count)) {
        return 0;
    }
    DWORD inUse = 0;
    for (DWORD i = 0; sessions != nullptr && i < count; ++i) {
        if (sessions[i].State == WTSActive ||
            (sessions[i].State == WTSDisconnected && HasUserName(api, sessions[i].SessionId))) {
            ++inUse;
        }
    }
    FreeSessionMemory(api, sessions);
    if (inUse < kSessionsInUseLimit) {
        return 0;
    }
    Logger::Get().Value(kMsgSessionCount, inUse, nullptr);
    return ErrorOtherSessions;
}

}  // namespace

void SetSessionApi(const SessionApi* api) {
    g_testApi = api;
}

int CheckSessions() {
    if (!IsWindowsNT()) {
        return 0;
    }
    if (g_testApi != nullptr) {
        return CountSessions(*g_testApi);
    }
    // Already in every process: looked up, never loaded or freed.
    HMODULE kernel = GetModuleHandleW(L"KERNEL32.DLL");
    ScopedModule terminalServices(LoadSystemLibrary(L"WTSAPI32.DLL"));
    SessionApi api;
    Bind(&api.processIdToSessionId, kernel, "ProcessIdToSessionId");
    Bind(&api.enumerateSessions, terminalServices.Get(), "WTSEnumerateSessionsW");
    Bind(&api.querySessionInformation, terminalServices.Get(), "WTSQuerySessionInformationW");
    Bind(&api.freeMemory, terminalServices.Get(), "WTSFreeMemory");
    return CountSessions(api);
}
