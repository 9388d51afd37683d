// Registry operations the components use. Each opens and closes its own keys, except
// RegCopyValue. System error codes pass through unchanged (2 and 3 mean "not found").
#pragma once
#include <stddef.h>
#include <windows.h>

// Reads a value raw (any type, no expansion) into `buffer` of `bytes` bytes. Absent buffer or empty
// sub key: 87. A value that does not fit gives 234; so does a text value (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) that would fill the buffer without a terminator, so a text read is always
// terminated. On any error the whole buffer is zeroed.
LONG RegReadString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, void* buffer, DWORD bytes);
// Creates the key if needed. REG_DWORD: `value` is decimal text; any other type: stored as a string
// with its terminator (an empty text stores an empty string). Null sub key or value: 87, nothing
// created or stored. Failures log 25524 with "Key = %s, Name = %s, Value = %s" ("<NULL>" for absent).
LONG RegWriteValue(HKEY root, DWORD type, const wchar_t* subKey, const wchar_t* valueName,
                   const wchar_t* value);
// True when the value is gone (a missing key or value counts). With UNICODE, windows.h turns this
// name into RegDeleteValueW: the three-argument overload is this one, the system's takes two.
bool RegDeleteValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName);
// Creates every level of the path (at most 259 chars; longer: false, not logged). The first failure
// logs 25525 with the path as far as it went.
bool RegCreateKeyPath(HKEY root, const wchar_t* subKey);
// Deletes the key when it holds nothing (a missing key counts as deleted); with walkUp also each
// parent that becomes empty, up to and including the first level. Null, empty or too long a path:
// false. A key that cannot be examined ends the walk with the result so far.
bool RegDeleteEmptyKey(HKEY root, const wchar_t* subKey, bool walkUp);
// Deletes a key with everything below it. Missing key: 2; a path of 1024 chars or more on the way
// down: 122; a key with 16384 sub keys or more: 87; null or empty sub key (the root): 87.
// Otherwise the first error met. Keeps its buffers on the stack: safe on several threads.
LONG RegDeleteKeyTree(HKEY root, const wchar_t* subKey);
// Counts sub keys and values; both 0 on any error.
LONG RegQueryKeyCounts(HKEY root, const wchar_t* subKey, DWORD* subKeys, DWORD* values);
// True when the key has sub keys or cannot be examined; false when empty or missing.
bool RegKeyHasSubkeys(HKEY root, const wchar_t* subKey);
// Copies one value (at most 512 bytes) between open keys; without overwrite an existing
// destination value is kept.
void RegCopyValue(HKEY source, HKEY destination, const wchar_t* valueName, bool overwrite);
// Reads a directory from HKLM into `buffer` (`bytes` bytes) with a trailing backslash; *fileName
// points behind it (where a file name can be copied), or is null when nothing usable was read (no
// value, just "\", or no room for the backslash, in which case the buffer is cleared too).
void RegReadDirectory(const wchar_t* subKey, const wchar_t* valueName, wchar_t* buffer, wchar_t** fileName,
                      DWORD bytes);
