// The system libraries the dialogs and components need: the rich-edit library the agreement
// dialog shows its text in, and Windows Sockets 2. Both are taken from the system directory
// only, never found through the search order, so a file of the same name planted beside the
// setup program (a download folder) is never loaded or trusted.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "host/handles.h"

// Holds the rich-edit library ("RICHED20.DLL" of the system directory) while dialogs need it.
class RichEditLibrary {
  public:
    RichEditLibrary() = default;
    ~RichEditLibrary() { Unload(); }
    RichEditLibrary(const RichEditLibrary&) = delete;
    RichEditLibrary& operator=(const RichEditLibrary&) = delete;

    // 0 when loaded (or already held); 9008 when it cannot be loaded, after logging 25011 with
    // the system error code.
    int Load();
    // Frees the library when held; safe to call again.
    void Unload() { module_.Close(); }
    HMODULE Get() const { return module_.Get(); }

  private:
    ScopedModule module_;
};

// 0 when the system's rich-edit library is at least major.minor. Otherwise 9006 with
// "RICHED20.DLL" in the buffer (exact; the report 25008 with the file and its version is
// logged by the version check). The buffer is cleared first.
int CheckRichEditVersion(unsigned major, unsigned minor, wchar_t* buffer, size_t chars);

// 0 when Windows Sockets starts for version major.minor, or fails for any reason other than
// the version (such a system is not refused here). 9014 with "WS2_32.DLL" in the buffer (exact)
// when the library or its start-up and clean-up functions are missing or the version is not
// supported; that case logs 25008 with code 9014 and the library's own version. The buffer is
// cleared first. The library stays loaded for the life of the process.
int CheckWinsock(unsigned major, unsigned minor, wchar_t* buffer, size_t chars);

// For tests only: the directory the two libraries are taken from instead of the system
// directory (null or empty puts the system directory back). Not thread-safe; set it before use.
void SetPrerequisiteLibraryDirectory(const wchar_t* directory);
