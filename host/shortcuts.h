// Start-menu shortcuts through the shell's objects. COM must be initialised on the calling thread.
#pragma once
#include <wchar.h>

// linkDirectory\linkName.lnk -> targetDirectory\targetFile, working directory = targetDirectory,
// description = linkName. Arguments and icon file may be null. The 9x family writes through the
// ANSI link interface, the NT family through the wide one. False when any step, the save included,
// fails or a path does not fit 260 chars.
bool CreateShortcut(const wchar_t* linkName, const wchar_t* linkDirectory, const wchar_t* targetDirectory,
                    const wchar_t* targetFile, const wchar_t* arguments, const wchar_t* iconFile,
                    int iconIndex);
// linkDirectory\linkName.url -> address (the default protocol is added when it has none). False when
// any step, the save included, fails.
bool CreateUrlShortcut(const wchar_t* linkName, const wchar_t* linkDirectory, const wchar_t* address);
