#include "host/files.h"

#include <windows.h>

#include "host/handles.h"
#include "host/paths.h"
#include "host/system.h"
#include "host/text.h"
#include "log/logger.h"

namespace {

const unsigned kMsgCopyFailed = 25033;
const unsigned kMsgDeleteTreeFailed = 25036;
const unsigned kMsgCreateDirectoryFailed = 25516;

// A directory loses only these before it is removed; a file is set to normal.
const DWORD kDirectoryAttributesCleared =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// "%s=%s\r\n" of two paths always fits.
const size_t kWininitLineChars = 552;
// A restart rename file is a few lines; anything far larger is not one we should rewrite.
const DWORD kWininitMaxBytes = 1024 * 1024;

bool IsEmpty(const wchar_t* text) {
    return text == nullptr || text[0] == L'\0';
}

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'\0' ||
           (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0')));
}

// Errors that only say there is nothing (more) to find.
bool IsNothingFound(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NO_MORE_FILES;
}

// The failure record keeps the first failure of a batch.
void NoteFailure(wchar_t* record, const wchar_t* text) {
    if (record != nullptr && record[0] == L'\0') {
        TextCopyCut(record, kPathChars, text);
    }
}

// Makes an entry replaceable before it is overwritten, renamed or deleted.
void ResetAttributes(const wchar_t* path, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    } else if ((attributes & kDirectoryAttributesCleared) != 0) {
        DWORD kept = attributes & ~(kDirectoryAttributesCleared | FILE_ATTRIBUTE_DIRECTORY);
        SetFileAttributesW(path, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
    }
}

// True when nothing is at `path`; an entry that cannot be examined counts as present.
bool IsFreeName(const wchar_t* path) {
    return GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES && IsNothingFound(GetLastError());
}

// Moves a file about to be deleted at restart out of the way at once (app.exe -> app.1, or the next free
// number), so that its name can be used again straight away. `moved` receives the new path.
bool RenameAside(const wchar_t* path, wchar_t* moved) {
    if (!TextCopy(moved, kPathChars, path)) {
        return false;
    }
    wchar_t* slash = FindLastChar(L'\\', moved);
    wchar_t* name = slash != nullptr ? slash + 1 : moved;
    wchar_t* dot = FindLastChar(L'.', name);
    if (dot == nullptr && !TextAppend(moved, kPathChars, L".")) {
        return false;
    }
    size_t stem = dot != nullptr ? static_cast<size_t>(dot - moved) + 1 : TextLength(moved);
    for (int number = 1; number <= 999; ++number) {
        moved[stem] = L'\0';
        wchar_t suffix[8];
        if (!TextFormat(suffix, 8, L"%1d", number) || !TextAppend(moved, kPathChars, suffix)) {
            return false;
        }
        if (IsFreeName(moved)) {
            return MoveFileW(path, moved) != FALSE;
        }
    }
    return false;
}

using MoveFileExWFn = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);

// MoveFileExW is bound by name: only the NT family implements it.
bool ScheduleWithMoveFileEx(const wchar_t* existing, const wchar_t* newPath) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) {
        return false;
    }
    MoveFileExWFn moveFileEx = reinterpret_cast<MoveFileExWFn>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(kernel, "MoveFileExW")));
    if (moveFileEx == nullptr) {
        return false;
    }
    return moveFileEx(existing, newPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

// WININIT.INI is processed before long file names are available, so its lines name existing
// entries by their short (8.3) form. Falls back to the path as it stands.
bool ShortFormOfExisting(const wchar_t* path, wchar_t* output) {
    DWORD length = GetShortPathNameW(path, output, static_cast<DWORD>(kPathChars));
    if (length > 0 && length < kPathChars) {
        return true;
    }
    return TextCopy(output, kPathChars, path);
}

// A rename target that does not exist yet: the short form of its folder with the name appended.
bool ShortFormOfNew(const wchar_t* path, wchar_t* output) {
    if (!IsFreeName(path)) {
        return ShortFormOfExisting(path, output);
    }
    wchar_t folder[kPathChars];
    if (!TextCopy(folder, kPathChars, path)) {
        return false;
    }
    wchar_t* slash = FindLastChar(L'\\', folder);
    if (slash == nullptr) {
        return TextCopy(output, kPathChars, path);
    }
    const wchar_t* name = path + (slash - folder) + 1;
    slash[1] = L'\0';  // keep the backslash so that a drive root stays a root
    wchar_t shortFolder[kPathChars];
    if (!ShortFormOfExisting(folder, shortFolder)) {
        return TextCopy(output, kPathChars, path);
    }
    return AppendPath(output, kPathChars, shortFolder, name);
}

bool IsLineStartSpace(char c) {
    return c == ' ' || c == '\t';
}

// True when the line starting at `line` is the header of the [Rename] section.
bool IsRenameHeader(const char* line, const char* end) {
    static const char kName[] = "rename]";
    for (size_t i = 0; i + 1 < sizeof(kName); ++i) {
        if (line + i >= end) {
            return false;
        }
        char c = line[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != kName[i]) {
            return false;
        }
    }
    return true;
}

// Adds one line to the [Rename] section of an existing rename file, opened without sharing. The line
// goes at the end of that section even when other sections follow it; a file without the section gets
// one, and a last line without its line break is completed first, so the new line never ends up in
// another section or glued to an earlier one.
bool AddToExistingRenameFile(const wchar_t* iniPath, const AnsiText& line) {
    ScopedHandle file(CreateFileW(iniPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        return false;
    }
    DWORD size = GetFileSize(file.Get(), nullptr);
    if (size == INVALID_FILE_SIZE || size > kWininitMaxBytes) {
        return false;
    }
    static const char kHeader[] = "[Rename]\r\n";
    DWORD lineBytes = static_cast<DWORD>(line.size());
    DWORD capacity = size + 2 + (sizeof(kHeader) - 1) + lineBytes;
    HANDLE heap = GetProcessHeap();
    char* bytes = static_cast<char*>(HeapAlloc(heap, 0, capacity));
    if (bytes == nullptr) {
        return false;
    }
    DWORD got = 0;
    bool ok = size == 0 || (ReadFile(file.Get(), bytes, size, &got, nullptr) && got == size);

    // Where the [Rename] section ends: at the next section header, or at the end of the file.
    bool found = false;
    DWORD insertAt = size;
    for (DWORD start = 0; ok && start < size;) {
        DWORD at = start;
        while (at < size && IsLineStartSpace(bytes[at])) {
            ++at;
        }
        if (at < size && bytes[at] == '[') {
            if (found) {
                insertAt = start;
                break;
            }
            found = IsRenameHeader(bytes + at + 1, bytes + size);
        }
        while (start < size && bytes[start] != '\n') {
            ++start;
        }
        ++start;
    }

    // The added text goes in at insertAt; the old tail, still in `bytes`, is written again behind it.
    char* added = bytes + size;
    DWORD addedBytes = 0;
    if (insertAt == size && size > 0 && bytes[size - 1] != '\n') {
        added[addedBytes++] = '\r';
        added[addedBytes++] = '\n';
    }
    if (!found) {
        CopyMemory(added + addedBytes, kHeader, sizeof(kHeader) - 1);
        addedBytes += sizeof(kHeader) - 1;
    }
    CopyMemory(added + addedBytes, line.c_str(), lineBytes);
    addedBytes += lineBytes;
    DWORD tail = size - insertAt;
    DWORD put = 0;
    ok = ok && SetFilePointer(file.Get(), static_cast<LONG>(insertAt), nullptr, FILE_BEGIN) == insertAt &&
         WriteFile(file.Get(), added, addedBytes, &put, nullptr) && put == addedBytes;
    ok = ok && (tail == 0 || (WriteFile(file.Get(), bytes + insertAt, tail, &put, nullptr) && put == tail));
    HeapFree(heap, 0, bytes);
    return ok;
}

// The 9x family: one "[Rename]" line of WININIT.INI in the Windows directory.
bool ScheduleWithWininit(const wchar_t* existing, const wchar_t* newPath) {
    wchar_t iniPath[kPathChars];
    if (!GetWinDir(iniPath, kPathChars) || !AppendPath(iniPath, kPathChars, iniPath, L"WININIT.INI")) {
        return false;
    }
    wchar_t key[kPathChars];
    wchar_t value[kPathChars];
    bool named = newPath != nullptr ? ShortFormOfNew(newPath, key) : TextCopy(key, kPathChars, L"NUL");
    if (!named || !ShortFormOfExisting(existing, value)) {
        return false;
    }
    if (GetFileAttributesW(iniPath) == INVALID_FILE_ATTRIBUTES) {
        if (!WritePrivateProfileStringW(L"Rename", key, value, iniPath)) {
            return false;
        }
        // The 9x family caches profile files; write it out now, or a later line appended directly to
        // the file would be overwritten when the cache is flushed.
        WritePrivateProfileStringW(nullptr, nullptr, nullptr, iniPath);
        return true;
    }
    wchar_t line[kWininitLineChars];
    if (!TextFormat(line, kWininitLineChars, L"%s=%s\r\n", key, value)) {
        return false;
    }
    AnsiText ansi = WideToMultiByte(line);
    return ansi.size() > 0 && AddToExistingRenameFile(iniPath, ansi);
}

bool DeleteTreeLevel(const wchar_t* directory, bool removeDirectories, wchar_t* failureRecord,
                     WIN32_FIND_DATAW* data) {
    wchar_t path[kPathChars];  // the search pattern, then each entry's path
    bool ok = !IsEmpty(directory) && AppendPath(path, kPathChars, directory, L"*.*");
    if (ok) {
        ScopedFindHandle find(FindFirstFileW(path, data));
        if (!find.IsValid()) {
            ok = IsNothingFound(GetLastError());
        } else {
            do {
                if (IsDotEntry(data->cFileName)) {
                    continue;
                }
                DWORD attributes = data->dwFileAttributes;
                if (!AppendPath(path, kPathChars, directory, data->cFileName)) {
                    ok = false;
                } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                    ok = DeleteFileOrDefer(path) && ok;
                } else if (!removeDirectories) {
                    // Sub directories and what they hold are left alone.
                } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
                    // A junction or directory link: remove the link, never walk into the tree it names.
                    ResetAttributes(path, attributes);
                    ok = RemoveDirectoryW(path) && ok;
                } else {
                    // The sub level reuses `data`; this level reads it again only after FindNextFile.
                    ok = DeleteTreeLevel(path, true, failureRecord, data) && ok;
                }
            } while (FindNextFileW(find.Get(), data));
            if (!IsNothingFound(GetLastError())) {
                ok = false;
            }
        }
    }
    if (ok && removeDirectories) {
        DWORD attributes = GetFileAttributesW(directory);
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            ResetAttributes(directory, attributes);
        }
        // Files only scheduled for deletion keep it from going now; that is no failure.
        RemoveDirectoryW(directory);
    }
    if (!ok) {
        LogInfoReport(kMsgDeleteTreeFailed, 0, directory != nullptr ? directory : L"");
        NoteFailure(failureRecord, directory);
    }
    return ok;
}

enum PassResult { kPassFailed, kPassStop, kPassRemoved };

// One pass of RemoveEmptyDirectories: removes the directory when nothing is in it.
PassResult RemoveIfEmpty(const wchar_t* directory) {
    wchar_t pattern[kPathChars];
    if (!AppendPath(pattern, kPathChars, directory, L"*.*")) {
        return kPassStop;
    }
    WIN32_FIND_DATAW data;
    ScopedFindHandle find(FindFirstFileW(pattern, &data));
    if (!find.IsValid()) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            return kPassStop;
        }
    } else {
        do {
            if (!IsDotEntry(data.cFileName)) {
                return kPassStop;
            }
        } while (FindNextFileW(find.Get(), &data));
    }
    find.Close();  // an open search keeps the directory from being removed
    DWORD attributes = GetFileAttributesW(directory);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        ResetAttributes(directory, attributes);
    }
    if (RemoveDirectoryW(directory)) {
        return kPassRemoved;
    }
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? kPassRemoved : kPassFailed;
}

}  // namespace

bool FileExists(const wchar_t* path) {
    if (IsEmpty(path)) {
        return false;
    }
    WIN32_FIND_DATAW data;
    ScopedFindHandle find(FindFirstFileW(path, &data));
    return find.IsValid();
}

bool CreateDirectoryPath(const wchar_t* path) {
    if (FileExists(path)) {
        return true;
    }
    wchar_t work[kPathChars];
    if (!TextCopy(work, kPathChars, path)) {
        LogInfoReport(kMsgCreateDirectoryFailed, ERROR_FILENAME_EXCED_RANGE, path);
        return false;
    }
    // Each level on the way; these fail harmlessly for levels that exist and for drives and shares.
    for (wchar_t* at = work; *at != L'\0'; ++at) {
        if (*at == L'\\') {
            *at = L'\0';
            CreateDirectoryW(work, nullptr);
            *at = L'\\';
        }
    }
    if (CreateDirectoryW(work, nullptr)) {
        return true;
    }
    DWORD error = GetLastError();
    LogInfoReport(kMsgCreateDirectoryFailed, error, work);
    return error == ERROR_ALREADY_EXISTS;
}

bool CopyFileChecked(const wchar_t* sourceDirectory, const wchar_t* destinationDirectory,
                     const wchar_t* fileName, const wchar_t* destinationName, wchar_t* failureRecord) {
    const wchar_t* name = IsEmpty(fileName) ? L"" : fileName;
    wchar_t source[kPathChars];
    wchar_t destination[kPathChars];
    DWORD error = ERROR_SUCCESS;
    if (IsEmpty(sourceDirectory) || IsEmpty(destinationDirectory) || IsEmpty(fileName)) {
        error = ERROR_INVALID_PARAMETER;
    } else if (!AppendPath(source, kPathChars, sourceDirectory, fileName) ||
               !AppendPath(destination, kPathChars, destinationDirectory,
                           IsEmpty(destinationName) ? fileName : destinationName)) {
        error = ERROR_FILENAME_EXCED_RANGE;
    } else {
        DWORD earlier = GetFileAttributesW(destination);
        bool readOnly = earlier != INVALID_FILE_ATTRIBUTES && (earlier & FILE_ATTRIBUTE_READONLY) != 0;
        if (readOnly) {
            DWORD writable = earlier & ~FILE_ATTRIBUTE_READONLY;
            SetFileAttributesW(destination, writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL);
        }
        if (!CopyFileW(source, destination, FALSE)) {
            error = GetLastError();
        }
        if (readOnly) {
            SetFileAttributesW(destination, earlier);
        }
    }
    if (error == ERROR_SUCCESS) {
        return true;
    }
    LogInfoReport(kMsgCopyFailed, error, name);
    NoteFailure(failureRecord, name);
    return false;
}

bool DeleteFileOrDefer(const wchar_t* path) {
    if (IsEmpty(path)) {
        return false;
    }
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (!IsNothingFound(GetLastError())) {
            return false;
        }
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        // DeleteFile refuses a directory with access denied; it must not be mistaken for a file in use.
        return false;
    } else {
        ResetAttributes(path, attributes);
    }
    if (DeleteFileW(path)) {
        return true;
    }
    // A loaded program or library is refused with access denied; a file another program holds open
    // without delete sharing is refused with a sharing violation on the NT family. Both are in use.
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
        return MoveFileAtReboot(path, nullptr);
    }
    return false;
}

bool MoveFileAtReboot(const wchar_t* existingPath, const wchar_t* newPath) {
    if (IsEmpty(existingPath)) {
        return false;
    }
    const wchar_t* target = IsEmpty(newPath) ? nullptr : newPath;
    if (target != nullptr) {
        DWORD attributes = GetFileAttributesW(target);
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            ResetAttributes(target, attributes);
        }
    }
    DWORD attributes = GetFileAttributesW(existingPath);
    bool exists = attributes != INVALID_FILE_ATTRIBUTES || !IsNothingFound(GetLastError());
    if (!exists && target != nullptr) {
        return false;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        ResetAttributes(existingPath, attributes);
    }
    const wchar_t* source = existingPath;
    wchar_t moved[kPathChars];
    if (target == nullptr && exists && RenameAside(existingPath, moved)) {
        source = moved;
    }
    if (IsWindows9x()) {
        return ScheduleWithWininit(source, target);
    }
    return ScheduleWithMoveFileEx(source, target);
}

bool DeleteDirectoryTree(const wchar_t* directory, bool removeDirectories, wchar_t* failureRecord) {
    // One search record for the whole walk, on this call's stack: the walk may run on any thread.
    WIN32_FIND_DATAW data;
    return DeleteTreeLevel(directory, removeDirectories, failureRecord, &data);
}

bool RemoveEmptyDirectories(const wchar_t* directory, bool walkUp) {
    wchar_t path[kPathChars];
    if (IsEmpty(directory) || !TextCopy(path, kPathChars, directory)) {
        return false;
    }
    for (;;) {
        PassResult pass = RemoveIfEmpty(path);
        if (pass == kPassFailed) {
            return false;
        }
        if (pass == kPassStop || !walkUp) {
            return true;
        }
        size_t before = TextLength(path);
        StripLastPathComponent(path);
        if (path[0] == L'\0' || TextLength(path) == before) {
            return true;
        }
    }
}

bool DirectoryHasSubdirectories(const wchar_t* directory) {
    wchar_t pattern[kPathChars];
    if (IsEmpty(directory) || !AppendPath(pattern, kPathChars, directory, L"*.*")) {
        return true;  // what cannot be examined counts as not empty
    }
    WIN32_FIND_DATAW data;
    ScopedFindHandle find(FindFirstFileW(pattern, &data));
    if (!find.IsValid()) {
        DWORD error = GetLastError();
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    }
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsDotEntry(data.cFileName)) {
            return true;
        }
    } while (FindNextFileW(find.Get(), &data));
    return GetLastError() != ERROR_NO_MORE_FILES;
}
