// Finding a process by name and waiting for it: performance data on the NT family (including
// Citrix instance naming), Toolhelp on the 9x family. Every failure gives 0; nothing is logged.
#pragma once
#include <windows.h>

// Index of an English performance counter or object name ("Process", "ID Process"); 0 when unknown.
DWORD GetPerfCounterIndex(const wchar_t* name);
// Process id of a running process, or 0. processName is the performance-data name ("z-update"),
// executableName the file name ("z-update.exe").
DWORD FindProcessId(const wchar_t* processName, const wchar_t* executableName);
// Waits up to appearTimeout ms for the process to appear (polled every 100 ms; 0 = one search),
// then without limit for it to end. Its exit code, or 0 when both names are empty, it did not
// appear in time or could not be opened.
DWORD WaitForProcess(const wchar_t* processName, const wchar_t* executableName, DWORD appearTimeout);

// The NT path parses a block as RegQueryValueEx(HKEY_PERFORMANCE_DATA) returns it. Tests build such a
// block themselves (Wine's performance data holds no processes) and hand it over here.
// `query` fills `buffer` (bytes) for the object index and returns a system error code.
struct PerfDataSource {
    LONG (*query)(DWORD objectIndex, BYTE* buffer, DWORD* bytes);
    DWORD (*counterIndex)(const wchar_t* name);  // null: GetPerfCounterIndex
    bool (*isCitrix)();                          // null: HKLM "SOFTWARE\Citrix" opens
};
// Null restores the real sources.
void SetPerfDataSource(const PerfDataSource* source);
// The NT-family search alone, whatever the platform (for tests).
DWORD FindProcessIdInPerfData(const wchar_t* processName);
