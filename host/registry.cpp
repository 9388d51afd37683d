// STUB: replaced by the real implementation.
#include "host/registry.h"
LONG RegReadString(HKEY, const wchar_t*, const wchar_t*, void*, DWORD) { return 1; }
LONG RegWriteValue(HKEY, DWORD, const wchar_t*, const wchar_t*, const wchar_t*) { return 1; }
bool RegDeleteValue(HKEY, const wchar_t*, const wchar_t*) { return false; }
bool RegCreateKeyPath(HKEY, const wchar_t*) { return false; }
bool RegDeleteEmptyKey(HKEY, const wchar_t*, bool) { return false; }
LONG RegDeleteKeyTree(HKEY, const wchar_t*) { return 1; }
LONG RegQueryKeyCounts(HKEY, const wchar_t*, DWORD*, DWORD*) { return 1; }
bool RegKeyHasSubkeys(HKEY, const wchar_t*) { return true; }
void RegCopyValue(HKEY, HKEY, const wchar_t*, bool) {}
void RegReadDirectory(const wchar_t*, const wchar_t*, wchar_t*, wchar_t**, DWORD) {}
