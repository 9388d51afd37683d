// Where the program, Windows and the user's folders are, and which Windows this is.
// Answers come from the registry and the environment, alike on the 9x and NT families;
// most are computed on the first successful request and kept for the process.
#pragma once
#include <stddef.h>
#include <windows.h>

enum WindowsId {
    kWindowsOther = 0,
    kWindows95 = 1,
    kWindows98 = 2,
    kWindowsME = 3,
    kWindowsNT4 = 4,
    kWindows2000 = 5,
    kWindowsXP = 6,
    kWindows2003 = 7,
};

// The extended version record, queried once (a failed query, logged as 25519, is retried on the
// next call). Null when the query failed.
const OSVERSIONINFOEXW* GetOsVersionInfo();
// Windows ME is recognised from the build number when the minor version reads lower.
int GetWindowsId();
bool IsWindows9x();  // platform id 1
bool IsWindowsNT();  // platform id 2
// NT platform with HKLM ProductOptions "ProductType" present and not "WINNT".
bool IsNtServer();

// Kept 260-char texts of the running program; empty when unknown (logged as 25522).
const wchar_t* GetCurrentAppPath();
const wchar_t* GetCurrentAppDir();  // without trailing backslash
const wchar_t* GetCurrentAppModuleName();

// Exact copies of kept answers into the caller's buffer; false and empty buffer when unknown or
// too long (25522), or with an absent buffer (25520).
bool GetWinDir(wchar_t* buffer, size_t chars);
bool GetWinSysDir(wchar_t* buffer, size_t chars);
bool GetProgramFilesDir(wchar_t* buffer, size_t chars);
bool GetTempDir(wchar_t* buffer, size_t chars);      // never the Windows or system directory
bool GetSystemDrive(wchar_t* buffer, size_t chars);  // "C:"

// Shell folders as stored (not expanded); allUsers is ignored on the 9x family except by
// GetDocumentsDir, which then returns the profiles root.
bool GetDocumentsDir(wchar_t* buffer, size_t chars, bool allUsers);
bool GetStartProgramsDir(wchar_t* buffer, size_t chars, bool allUsers);
bool GetDesktopDir(wchar_t* buffer, size_t chars, bool allUsers);

// Truncating copies; an empty text when unknown.
bool GetWindowsShortName(wchar_t* buffer, size_t chars);            // "98", "XP", ...
bool GetWindowsName(wchar_t* buffer, size_t chars);                 // "Windows XP", "... Server"
bool GetOperatingSystemDescription(wchar_t* buffer, size_t chars);  // "Windows XP (5.01.2600) + Service Pack 2"

// "<long date>, <time>" in the user's formats, into `buffer` (truncating). Returns buffer.
const wchar_t* GetLocalDateTimeString(wchar_t* buffer, size_t chars);

// Expands %NAME% references (SYSTEMROOT, SYSTEMPATH and SYSTEMDRIVE answered by the program when the
// environment lacks them), recursively inside values up to a fixed depth; what does not fit is
// dropped. False when a program-answered name is unknown or the nesting is too deep.
bool ExpandEnvironmentPath(wchar_t* output, size_t chars, const wchar_t* text);

// True when `path` names the same place as `reference` (exact) or lies below it (prefix), comparing
// plain, expanded and short (8.3) forms case-insensitively. An empty path is always equal.
bool PathsEqual(const wchar_t* path, const wchar_t* reference, bool exact);
// True for "\", "X:" or "X:\" (X = letter, 0 = no letter); skipPrefix skips a leading "\\?\".
bool IsDriveRootPath(const wchar_t* path, wchar_t letter, bool skipPrefix);
// Removes trailing blanks and backslashes (a root keeps its backslash). Null for absent or empty.
wchar_t* TrimPathEnd(wchar_t* path);
// The Windows directory itself, or anything inside the system directory.
bool IsWindowsOrSystemPath(const wchar_t* path);
