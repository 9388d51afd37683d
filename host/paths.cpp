// STUB: replaced by the real implementation.
#include "host/paths.h"
bool AppendPath(wchar_t*, size_t, const wchar_t*, const wchar_t*) { return false; }
bool BuildCommandLine(wchar_t*, size_t, const wchar_t*, const wchar_t*, const wchar_t*, ...) { return false; }
bool GetAppFilePath(wchar_t*, size_t, const wchar_t*, const wchar_t*) { return false; }
bool EnsureTrailingChar(wchar_t*, size_t, wchar_t) { return false; }
void StripLastPathComponent(wchar_t*) {}
void TrimLeadingSpaces(wchar_t*) {}
void TrimTrailingSpaces(wchar_t*) {}
void TrimLeadingChar(wchar_t*, wchar_t) {}
void TrimTrailingChar(wchar_t*, wchar_t) {}
void RemoveTrailingChar(wchar_t*, wchar_t) {}
wchar_t* FindFirstChar(wchar_t, const wchar_t*) { return nullptr; }
wchar_t* FindLastChar(wchar_t, const wchar_t*) { return nullptr; }
unsigned long ParseDecimal(const wchar_t*) { return 0; }
int CompareVersionStrings(const wchar_t*, const wchar_t*) { return 0; }
bool FindFreeNumberedName(wchar_t*, size_t, const wchar_t*, const wchar_t*, int, int) { return false; }
AnsiText::~AnsiText() {}
AnsiText::AnsiText(AnsiText&&) {}
AnsiText& AnsiText::operator=(AnsiText&&) { return *this; }
size_t AnsiText::size() const { return 0; }
void AnsiText::Adopt(char*) {}
WideText::~WideText() {}
WideText::WideText(WideText&&) {}
WideText& WideText::operator=(WideText&&) { return *this; }
size_t WideText::size() const { return 0; }
void WideText::Adopt(wchar_t*) {}
AnsiText WideToMultiByte(const wchar_t*) { return AnsiText(); }
WideText MultiByteToWide(const char*) { return WideText(); }
