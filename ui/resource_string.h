// Numbered texts from the companion resource libraries.
#pragma once
#include <stddef.h>
#include <windows.h>

// The text of `id` into `buffer` (at most `chars` chars with terminator; truncating). A given module
// is asked directly; otherwise the framework (when ready), then "ovavprod.dll" and "kestrares.dll"
// from the program directory, then the program's own resources. Returns the length; 0 and an empty
// buffer when the text is nowhere (also for ids above 0xFFFF). Logs nothing and keeps the caller's
// last error code, so the log can use it for its own texts.
size_t LoadResourceString(HMODULE module, unsigned id, wchar_t* buffer, size_t chars);

// The framework's string lookup, registered while the framework is ready (null: not ready).
// Returns the text length, 0 for none.
typedef int (*FrameworkStringSource)(unsigned id, wchar_t* buffer, int chars);
void SetFrameworkStringSource(FrameworkStringSource source);
