// STUB: replaced by the real implementation.
#include "host/shortcuts.h"
bool CreateShortcut(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                    int) { return false; }
bool CreateUrlShortcut(const wchar_t*, const wchar_t*, const wchar_t*) { return false; }
