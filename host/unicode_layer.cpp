// STUB: replaced by the real implementation.
#include "host/unicode_layer.h"
extern "C" HMODULE __stdcall LoadUnicowsLayer(void) { return nullptr; }
