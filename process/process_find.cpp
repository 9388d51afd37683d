// STUB: replaced by the real implementation.
#include "process/process_find.h"
DWORD GetPerfCounterIndex(const wchar_t*) { return 0; }
DWORD FindProcessId(const wchar_t*, const wchar_t*) { return 0; }
DWORD WaitForProcess(const wchar_t*, const wchar_t*, DWORD) { return 0; }
void SetPerfDataSource(const PerfDataSource*) {}
DWORD FindProcessIdInPerfData(const wchar_t*) { return 0; }
