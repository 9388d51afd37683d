// STUB: replaced by the real implementation.
#include "host/win_file.h"
bool WinFile::ReadAt(DWORD, void*, DWORD, DWORD*) { return false; }
bool WinFile::WriteAt(DWORD, const void*, DWORD) { return false; }
bool WinFile::GetSize(DWORD*) { return false; }
bool WinFile::SetSize(DWORD) { return false; }
bool WinFile::Open(const wchar_t*, int) { return false; }
void WinFile::Close() {}
