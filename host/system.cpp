// STUB: replaced by the real implementation.
#include "host/system.h"
const OSVERSIONINFOEXW* GetOsVersionInfo() { return nullptr; }
int GetWindowsId() { return 0; }
bool IsWindows9x() { return false; }
bool IsWindowsNT() { return true; }
bool IsNtServer() { return false; }
const wchar_t* GetCurrentAppPath() { return L""; }
const wchar_t* GetCurrentAppDir() { return L""; }
const wchar_t* GetCurrentAppModuleName() { return L""; }
bool GetWinDir(wchar_t*, size_t) { return false; }
bool GetWinSysDir(wchar_t*, size_t) { return false; }
bool GetProgramFilesDir(wchar_t*, size_t) { return false; }
bool GetTempDir(wchar_t*, size_t) { return false; }
bool GetSystemDrive(wchar_t*, size_t) { return false; }
bool GetDocumentsDir(wchar_t*, size_t, bool) { return false; }
bool GetStartProgramsDir(wchar_t*, size_t, bool) { return false; }
bool GetDesktopDir(wchar_t*, size_t, bool) { return false; }
bool GetWindowsShortName(wchar_t*, size_t) { return false; }
bool GetWindowsName(wchar_t*, size_t) { return false; }
bool GetOperatingSystemDescription(wchar_t*, size_t) { return false; }
const wchar_t* GetLocalDateTimeString(wchar_t* b, size_t) { return b; }
bool ExpandEnvironmentPath(wchar_t*, size_t, const wchar_t*) { return false; }
bool PathsEqual(const wchar_t*, const wchar_t*, bool) { return false; }
bool IsDriveRootPath(const wchar_t*, wchar_t, bool) { return false; }
wchar_t* TrimPathEnd(wchar_t*) { return nullptr; }
bool IsWindowsOrSystemPath(const wchar_t*) { return false; }
