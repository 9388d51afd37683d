// File operations for installing and removing: copies over read-only files, deletions that
// are deferred to the next restart when a file is in use (MoveFileEx on the NT family,
// WININIT.INI [Rename] on the 9x family), tree and empty-directory removal.
// A failure record is an optional caller text (kPathChars) that receives the first failing name
// or path; it is written only while it is still empty.
#pragma once
#include <stddef.h>
#include <wchar.h>

// True when a file or directory matches (wildcards allowed). Roots and paths ending in a
// backslash do not count.
bool FileExists(const wchar_t* path);
// Creates every level; true when the directory exists afterwards. Failure logs 25516.
bool CreateDirectoryPath(const wchar_t* path);
// Copies source\fileName to destination\(destinationName or fileName), overwriting, keeping a
// read-only destination read-only. Failure logs 25033 and fills the failure record.
bool CopyFileChecked(const wchar_t* sourceDirectory, const wchar_t* destinationDirectory, const wchar_t* fileName,
                     const wchar_t* destinationName, wchar_t* failureRecord);
// Deletes a file; one in use is renamed at once (app.exe -> app.1) and deleted at the next restart.
// True when the file is gone or its deletion is scheduled.
bool DeleteFileOrDefer(const wchar_t* path);
// Schedules a rename (or, with newPath null, a deletion) for the next restart. On the 9x family
// WININIT.INI gets the short (8.3) form of each existing path, since long names are not
// available when it is processed.
bool MoveFileAtReboot(const wchar_t* existingPath, const wchar_t* newPath);
// Deletes the files of a directory, and with removeDirectories its sub directories and itself.
// Failure logs 25036 and fills the failure record. Not safe on two threads at once.
bool DeleteDirectoryTree(const wchar_t* directory, bool removeDirectories, wchar_t* failureRecord);
// Removes the directory when empty; with walkUp also each parent that becomes empty.
bool RemoveEmptyDirectories(const wchar_t* directory, bool walkUp);
// True when it holds a sub directory, or cannot be examined.
bool DirectoryHasSubdirectories(const wchar_t* directory);
