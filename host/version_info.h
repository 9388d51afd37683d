// Version resources of files.
#pragma once
#include <stddef.h>
#include <windows.h>

// Reads the named string of the first translation (when name and text buffer are given; exact copy,
// `chars` chars) and/or the 52-byte fixed record (when `record` is given). Outputs are cleared first;
// an empty text or an all-zero record means not found. Neither output given: logs 25520.
void GetVersionInfoData(const wchar_t* path, const wchar_t* name, wchar_t* text, size_t chars,
                        VS_FIXEDFILEINFO* record);
// 0 when the file's version is at least major.minor; otherwise logs 25008 ("%s %u.%02u") and
// returns 25008. A file without version information counts as 0.0.
int CheckFileVersion(const wchar_t* path, unsigned major, unsigned minor);
// In the install role: the running program's "FileVersion", else the installed suite version.
// False (and an empty buffer) in every other case.
bool GetMainInstallerVersion(wchar_t* buffer, size_t chars);

// What GetMainInstallerVersion needs from the run role and the product model, which sit above
// the host utilities. Unset hooks mean "not the install role" / "no installed version".
struct InstallerVersionHooks {
    bool (*isInstallRole)();
    bool (*installedSuiteVersion)(wchar_t* buffer, size_t chars);
};
void SetInstallerVersionHooks(const InstallerVersionHooks& hooks);
