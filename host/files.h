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
// Creates every level; true when the directory (or a file of that name) exists afterwards. Failure
// logs 25516 with the system error code and the path.
bool CreateDirectoryPath(const wchar_t* path);
// Copies source\fileName to destination\(destinationName or fileName), overwriting, keeping a
// read-only destination read-only. Failure (also a missing argument or a path over 260 chars) logs
// 25033 with the system error code and the file name, and puts the file name in the failure record.
bool CopyFileChecked(const wchar_t* sourceDirectory, const wchar_t* destinationDirectory,
                     const wchar_t* fileName, const wchar_t* destinationName, wchar_t* failureRecord);
// Deletes a file (attributes reset first). One in use (access denied, or a sharing violation) is
// renamed at once where it can be (app.exe -> app.1, or the next free number) and deleted at the next
// restart. True when the file is gone or its deletion is scheduled; false for a missing file, a
// directory or any other error.
bool DeleteFileOrDefer(const wchar_t* path);
// Schedules a rename (or, with newPath null or empty, a deletion) for the next restart; a deletion
// first moves the file aside as DeleteFileOrDefer does. A rename whose source does not exist fails.
// The NT family uses MoveFileEx (replace existing, delay until reboot). The 9x family adds a line
// "<new path or NUL>=<path>" to the [Rename] section of WININIT.INI in the Windows directory (ANSI,
// CR LF; the file and the section are made when missing); since that file is processed before long
// names are available, each existing path is written in its short (8.3) form, and a new path as the
// short form of its folder with the name appended.
bool MoveFileAtReboot(const wchar_t* existingPath, const wchar_t* newPath);
// Deletes the files of a directory (DeleteFileOrDefer), and with removeDirectories its sub directories
// and itself; a directory junction or link inside is removed as a link, never walked into. A missing
// directory counts as empty. Failure logs 25036 and fills the failure record with the directory.
// Keeps its state on the caller's stack: safe on several threads.
bool DeleteDirectoryTree(const wchar_t* directory, bool removeDirectories, wchar_t* failureRecord);
// Removes the directory when empty (losing read-only, hidden and system first); with walkUp also each
// parent that becomes empty, up to the first that is not. True unless a removal fails; a directory
// that is not empty or cannot be searched ends the walk with true.
bool RemoveEmptyDirectories(const wchar_t* directory, bool walkUp);
// True when it holds a sub directory, or cannot be examined; false for a missing directory.
bool DirectoryHasSubdirectories(const wchar_t* directory);
