// Write-access probes: before anything is changed, each component checks that the current user can
// write every registry key and folder it will touch. A probe writes and removes a harmless test value
// or test file rather than reading access rights, so it sees whatever policy, virtualisation or
// security software is in force. A probe never fails its caller: it reports the failure itself,
// records the first one in the caller's failure text and returns.
#pragma once
#include <stddef.h>
#include <windows.h>

// Creates or opens `subKey` below `root` for setting values, writes REG_DWORD "Kestra_TestValue" =
// 3121 and deletes it again.
// Keys the probe had to create: with `deleteIfCreated` set they are deleted again at once (with
// everything below them). Otherwise the top-most level that was created is stored in `createdKey`
// (`createdKeyChars` chars) when that is given and still empty, so that the caller can delete it
// and whatever later probes create below it. A created key that is not handed over this way is
// deleted at once: when the name does not fit whole (it is never stored cut), or when the text
// already names another key that the new one is not below. With neither `deleteIfCreated` nor
// `createdKey`, the created key stays.
// A failure (of the creation or the write) logs information report 25015 with the Windows error and
// "<root name>\<sub key>" (for example "HKEY_LOCAL_MACHINE\SOFTWARE\X"; ".\" for an unnamed root),
// and stores that text in `failureText` (`failureChars` chars, cut when longer) when it is still
// empty. Null or empty sub key: nothing is probed.
void ProbeRegistryKey(HKEY root, const wchar_t* subKey, int deleteIfCreated, wchar_t* createdKey,
                      size_t createdKeyChars, wchar_t* failureText, size_t failureChars);

// Creates "Kestra_TestFile" in `folder` (replacing a leftover, even a read-only one) and deletes it.
// A failure logs information report 25016 with the Windows error and the folder, and stores the
// folder in `failureText` (`failureChars` chars, cut when longer) when it is still empty. A null or
// empty folder, or one whose test file path does not fit (AppendPath reports that), is not probed.
void ProbeDirectory(const wchar_t* folder, wchar_t* failureText, size_t failureChars);
