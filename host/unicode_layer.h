// Finds the Unicode layer library ("unicows.dll") for the 9x family: the antivirus product's
// folder first, then the normal library search; when it is nowhere, tells the user and ends the
// process with exit code -1. Never returns null.
#pragma once
#include <windows.h>

extern "C" HMODULE __stdcall LoadUnicowsLayer(void);
