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
// next call). Where the system knows only the short record (Windows 95, NT 4.0 before Service
// Pack 6) the extended fields are zero. Null when the query failed.
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
// GetWinDir: HKLM "SystemRoot" of the family's CurrentVersion key. GetWinSysDir: the system's
// answer, else SystemDirectoryBelow the Windows directory. GetSystemDrive: the Windows directory up
// to its first colon (not kept).
bool GetWinDir(wchar_t* buffer, size_t chars);
bool GetWinSysDir(wchar_t* buffer, size_t chars);
bool GetProgramFilesDir(wchar_t* buffer, size_t chars);
bool GetSystemDrive(wchar_t* buffer, size_t chars);  // "C:"
// Not kept: the first of %TMP%, %TEMP% (each expanded), then the same two created when missing,
// then C:\TEMP (created when missing), that is a directory, is neither the Windows directory nor
// inside the system directory, and fits `chars`. A candidate that does not fit is not created.
// False, buffer empty, when none passes (25522).
bool GetTempDir(wchar_t* buffer, size_t chars);

// Shell folders as stored (not expanded); allUsers is ignored on the 9x family except by
// GetDocumentsDir. GetDocumentsDir with allUsers returns the profiles root (ProfileList
// "ProfilesDirectory"), or the default user's "Personal" folder only when that value is missing.
// Missing, empty or too long for `chars`: false, buffer empty (25522); absent buffer: 25520.
bool GetDocumentsDir(wchar_t* buffer, size_t chars, bool allUsers);
bool GetStartProgramsDir(wchar_t* buffer, size_t chars, bool allUsers);
bool GetDesktopDir(wchar_t* buffer, size_t chars, bool allUsers);

// Truncating copies; an empty text (and false) when unknown.
bool GetWindowsShortName(wchar_t* buffer, size_t chars);  // "98", "XP", ...
bool GetWindowsName(wchar_t* buffer, size_t chars);       // "Windows XP", "... Server"
// "Windows XP (5.01.2600) + Service Pack 2": see DescribeOperatingSystem.
bool GetOperatingSystemDescription(wchar_t* buffer, size_t chars);

// "<long date>, <time>" in the user's formats, into `buffer` (truncating). Returns buffer.
const wchar_t* GetLocalDateTimeString(wchar_t* buffer, size_t chars);

// Expands %NAME% references (SYSTEMROOT, SYSTEMPATH and SYSTEMDRIVE answered by the program when the
// environment lacks them), recursively inside values up to a fixed depth; what does not fit is
// dropped. False when a program-answered name is unknown or the nesting is too deep.
// Only the first 2047 chars of `text` are read; a value longer than 2047 chars expands to nothing;
// "%" without a closing "%" is kept with the rest of the text. Values are expanded in turn up to
// kMaxExpandDepth levels below `text`: a reference one level deeper (a value referring to itself,
// or two referring to each other) stops the walk and the result is false, the output holding what
// was expanded up to there. The output is always terminated within `chars`; `text` may lie in the
// output buffer. Absent output or 0 chars: false, logs 25520. Safe on several threads at once.
const int kMaxExpandDepth = 8;
bool ExpandEnvironmentPath(wchar_t* output, size_t chars, const wchar_t* text);

// True when `path` names the same place as `reference` (exact) or starts with it (prefix), comparing
// plain, expanded and short (8.3) forms case-insensitively (char by char, after upper-casing). An
// empty path is always equal; an empty reference never (for a non-empty path). Texts are compared
// within 1040-char work buffers.
bool PathsEqual(const wchar_t* path, const wchar_t* reference, bool exact);
// True for "\", "X:" or "X:\" (X = letter, 0 = no letter); skipPrefix skips a leading "\\?\".
bool IsDriveRootPath(const wchar_t* path, wchar_t letter, bool skipPrefix);
// Removes trailing blanks and backslashes (a root keeps its backslash). Null for absent or empty.
wchar_t* TrimPathEnd(wchar_t* path);
// The Windows directory itself, or anything inside the system directory. Trailing blanks and
// backslashes of either side do not count ("C:\WINDOWS\" is the Windows directory).
bool IsWindowsOrSystemPath(const wchar_t* path);

// The decisions behind the kept answers, for any version record.
// Windows id of the record (see WindowsId); ME is recognised from the build number's third byte.
int WindowsIdFromVersion(const OSVERSIONINFOEXW& version);
// "95", "98", ..., and "Windows 95", ..., "Windows .NET" for an id; "" for kWindowsOther or others.
const wchar_t* WindowsShortNameFromId(int id);
const wchar_t* WindowsNameFromId(int id);
// "<name>[ Server][ <major>.<minor>] (<build>)[ + <service pack>]" for NT 4, and
// "<name>[ Server] (<major>.<minor>.<build>)[ + <service pack>]" otherwise, e.g.
// "Windows NT 4.00 (1381) + Service Pack 6", "Windows XP (5.01.2600) + Service Pack 2";
// "OSID=<platform>" in place of the name for an unknown platform. Truncating, always terminated.
void DescribeOperatingSystem(const OSVERSIONINFOEXW& version, bool server, wchar_t* buffer, size_t chars);
// The system directory below `winDir` when the system cannot tell it: "\System" on the 9x
// family (platform 1), "\System32" on NT (2). Exact; false and an empty buffer for another
// platform, an empty `winDir` or a result that does not fit (kPathChars at most).
bool SystemDirectoryBelow(wchar_t* buffer, size_t chars, const wchar_t* winDir, DWORD platformId);

// For tests only: forgets the kept version record and every kept answer, so the next request
// computes it again (after a test has arranged the registry).
void ResetSystemCachesForTests();
