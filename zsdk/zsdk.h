// zsdk.dll: the suite's programs ask about and steer the anti-spam component through these
// seven functions instead of linking against it. ANSI texts, C calling convention, results
// of type BOOLEAN (1 = true). No state is kept between calls: each one reads the component's
// registry key ("ReleasePath" under HKLM\SOFTWARE\Zember) and loads what it needs afresh.
// Callers usually bind them with GetProcAddress by these exact names; the *Fn types match.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// True when "ReleasePath" exists and has a non-zero size (an empty string counts).
BOOLEAN __cdecl ZSDK_IsProductInstalled(void);

// Copies the file version of "Z.dll" in the release folder as "a.b.c.d" into `buffer` with
// strncpy rules: at most `size` chars, zero-padded, NOT terminated when the text fills the
// buffer. False, with the buffer untouched, when there is no release folder, its path does
// not fit MAX_PATH, "Z.dll" cannot be loaded or has no version resource, or buffer/size is
// unusable (null or size < 1).
BOOLEAN __cdecl ZSDK_GetCurrentVersion(char* buffer, int size);

// True when the Outlook (ZAddIn.dll) / Outlook Express (ZOEHook.dll) plug-in reports itself
// registered through its "DllIsRegistered" export; false when it cannot be loaded or lacks it.
BOOLEAN __cdecl ZSDK_IsOLPluginEnabled(void);
BOOLEAN __cdecl ZSDK_IsOEPluginEnabled(void);

// Registers (enable != 0) or unregisters the plug-in through its "DllInstall" export with the
// command line L"upgrade", unless it already is in that state. Only the low byte of `enable`
// counts. Always true: the outcome is not reported.
BOOLEAN __cdecl ZSDK_EnableOLPlugin(BOOLEAN enable);
BOOLEAN __cdecl ZSDK_EnableOEPlugin(BOOLEAN enable);

// Starts "Z-Update.exe /c" from the release folder, in that folder, and does not wait for it.
// Always true, whether or not the updater started.
BOOLEAN __cdecl ZSDK_CheckForUpdate(void);

typedef BOOLEAN(__cdecl* ZSDK_QueryFn)(void);  // IsProductInstalled, Is*PluginEnabled, CheckForUpdate
typedef BOOLEAN(__cdecl* ZSDK_GetCurrentVersionFn)(char* buffer, int size);
typedef BOOLEAN(__cdecl* ZSDK_EnablePluginFn)(BOOLEAN enable);

#ifdef __cplusplus
}
#endif
