// Registry operations the components use. Each opens and closes its own keys, except
// RegCopyValue. System error codes pass through unchanged (2 and 3 mean "not found").
#pragma once
#include <stddef.h>
#include <windows.h>

// Reads a value raw (any type, no expansion) into `buffer` of `bytes` bytes. Empty sub key: 87.
// On any error the whole buffer is zeroed.
LONG RegReadString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, void* buffer, DWORD bytes);
// REG_DWORD: `value` is decimal text; any other type: stored as a string with its terminator.
// Null value: 87. Failures log 25524 with "Key = %s, Name = %s, Value = %s".
LONG RegWriteValue(HKEY root, DWORD type, const wchar_t* subKey, const wchar_t* valueName, const wchar_t* value);
// True when the value is gone (a missing key or value counts).
bool RegDeleteValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName);
// Creates every level of the path; the first failure logs 25525.
bool RegCreateKeyPath(HKEY root, const wchar_t* subKey);
// Deletes the key when it holds nothing; with walkUp also each parent that becomes empty.
bool RegDeleteEmptyKey(HKEY root, const wchar_t* subKey, bool walkUp);
// Deletes a key with everything below it. Missing key: 2; path too long: 122.
// Not safe on two threads at once (process-wide path buffer).
LONG RegDeleteKeyTree(HKEY root, const wchar_t* subKey);
// Counts sub keys and values; both 0 on any error.
LONG RegQueryKeyCounts(HKEY root, const wchar_t* subKey, DWORD* subKeys, DWORD* values);
// True when the key has sub keys or cannot be examined; false when empty or missing.
bool RegKeyHasSubkeys(HKEY root, const wchar_t* subKey);
// Copies one value (at most 512 bytes) between open keys; without overwrite an existing
// destination value is kept.
void RegCopyValue(HKEY source, HKEY destination, const wchar_t* valueName, bool overwrite);
// Reads a directory from HKLM into `buffer` with a trailing backslash; *fileName points behind it
// (where a file name can be copied), or is null when nothing usable was read.
void RegReadDirectory(const wchar_t* subKey, const wchar_t* valueName, wchar_t* buffer, wchar_t** fileName,
                      DWORD bytes);
