// Finds the Unicode layer library ("unicows.dll") for the 9x family: the antivirus product's
// folder first, then the normal library search; when it is nowhere, tells the user and ends the
// process with exit code -1. Never returns null. Everything here is ANSI: the layer that would
// carry the wide calls is what is being loaded.
#pragma once
#include <stddef.h>
#include <windows.h>

extern "C" HMODULE __stdcall LoadUnicowsLayer(void);

// The library path inside the antivirus folder `programPath`: a backslash is put between only
// when the folder text is longer than three chars (a drive root such as "C:\" has one). Exact:
// false, and `output` empty, when the path does not fit `chars` bytes.
bool BuildUnicowsCandidate(char* output, size_t chars, const char* programPath);
