// STUB: replaced by the real implementation.
#include "host/files.h"
bool FileExists(const wchar_t*) { return false; }
bool CreateDirectoryPath(const wchar_t*) { return false; }
bool CopyFileChecked(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, wchar_t*) { return false; }
bool DeleteFileOrDefer(const wchar_t*) { return false; }
bool MoveFileAtReboot(const wchar_t*, const wchar_t*) { return false; }
bool DeleteDirectoryTree(const wchar_t*, bool, wchar_t*) { return false; }
bool RemoveEmptyDirectories(const wchar_t*, bool) { return false; }
bool DirectoryHasSubdirectories(const wchar_t*) { return true; }
