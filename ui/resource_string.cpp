// STUB: replaced by the real implementation.
#include "ui/resource_string.h"
size_t LoadResourceString(HMODULE, unsigned, wchar_t* b, size_t c) { if (b && c) b[0] = 0; return 0; }
void SetFrameworkStringSource(FrameworkStringSource) {}
