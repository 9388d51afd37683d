#include "host/system.h"

#include <string.h>
#include <wchar.h>

#include "host/files.h"
#include "host/paths.h"
#include "host/registry.h"
#include "host/text.h"
#include "log/logger.h"

namespace {

const unsigned kMsgVersionQueryFailed = 25519;
const unsigned kMsgAbsentOutput = 25520;
const unsigned kMsgNotDetermined = 25522;

const size_t kNameChars = 384;         // Windows names and description
const size_t kExpandChars = 2048;      // expansion work text and one variable's value
const size_t kCompareChars = 1040;     // path comparison work buffers
const size_t kDateTimePartChars = 96;  // date, time

const wchar_t kKeyWindows[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const wchar_t kKeyWindowsNT[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t kKeyProductOptions[] = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
const wchar_t kKeyShellFolders[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t kKeyProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const wchar_t kKeyDefaultShellFolders[] =
    L".DEFAULT\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Kept answers. Filled without a lock: every writer computes the same text.
OSVERSIONINFOEXW keptVersion;
bool versionKnown = false;
int keptWindowsId = -1;
wchar_t keptAppPath[kPathChars];
wchar_t keptAppDir[kPathChars];
wchar_t keptAppName[kPathChars];
wchar_t keptWinDir[kPathChars];
wchar_t keptSysDir[kPathChars];
wchar_t keptProgramFiles[kPathChars];
wchar_t keptShortName[kNameChars];
wchar_t keptName[kNameChars];
wchar_t keptDescription[kNameChars];

struct WindowsNames {
    const wchar_t* shortName;
    const wchar_t* name;
};

const WindowsNames kWindowsNames[] = {
    {L"", L""},
    {L"95", L"Windows 95"},
    {L"98", L"Windows 98"},
    {L"ME", L"Windows ME"},
    {L"NT", L"Windows NT"},
    {L"2000", L"Windows 2000"},
    {L"XP", L"Windows XP"},
    {L"2003", L"Windows .NET"},
};

bool IsKnownId(int id) {
    return id >= 0 && id < static_cast<int>(sizeof(kWindowsNames) / sizeof(kWindowsNames[0]));
}

// A text value read raw into the buffer; true only for a terminated, non-empty text. The read
// is given the whole buffer, so a value stored without terminator that fills it is refused.
// `error` (optional) receives the read's result; ERROR_SUCCESS with false means an empty text.
bool ReadRegistryText(HKEY root, const wchar_t* subKey, const wchar_t* valueName, wchar_t* buffer,
                      size_t chars, LONG* error = nullptr) {
    size_t limit = chars;
    if (limit > MAXDWORD / sizeof(wchar_t)) {
        limit = MAXDWORD / sizeof(wchar_t);
    }
    LONG result = RegReadString(root, subKey, valueName, buffer, static_cast<DWORD>(limit * sizeof(wchar_t)));
    if (result == ERROR_SUCCESS && TextLengthWithin(buffer, limit) >= limit) {
        result = ERROR_MORE_DATA;
    }
    if (error != nullptr) {
        *error = result;
    }
    if (result != ERROR_SUCCESS || buffer[0] == L'\0') {
        TextClear(buffer, chars);
        return false;
    }
    return true;
}

typedef bool (*ComputeLocation)(wchar_t* kept, size_t chars);

// Computes a kept location while it is empty, then copies it exactly into the caller's buffer.
bool CopyKeptLocation(const wchar_t* operation, wchar_t* kept, ComputeLocation compute, wchar_t* buffer,
                      size_t chars) {
    if (buffer == nullptr || chars == 0) {
        LogInfoReport(kMsgAbsentOutput, 0, operation);
        return false;
    }
    TextClear(buffer, chars);
    if (kept[0] == L'\0') {
        // Worked out aside and then kept, so another thread never reads a half-computed answer.
        wchar_t work[kPathChars] = {};
        if (compute(work, kPathChars)) {
            TextCopy(kept, kPathChars, work);
        }
    }
    if (kept[0] == L'\0' || !TextCopy(buffer, chars, kept)) {
        LogInfoReport(kMsgNotDetermined, 0, operation);
        return false;
    }
    return true;
}

bool ComputeWinDir(wchar_t* kept, size_t chars) {
    const OSVERSIONINFOEXW* version = GetOsVersionInfo();
    if (version == nullptr) {
        return false;
    }
    if (version->dwPlatformId == VER_PLATFORM_WIN32_NT) {
        return ReadRegistryText(HKEY_LOCAL_MACHINE, kKeyWindowsNT, L"SystemRoot", kept, chars);
    }
    if (version->dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        return ReadRegistryText(HKEY_LOCAL_MACHINE, kKeyWindows, L"SystemRoot", kept, chars);
    }
    return false;
}

bool ComputeSysDir(wchar_t* kept, size_t chars) {
    UINT length = GetSystemDirectoryW(kept, static_cast<UINT>(chars));
    if (length > 0 && length < chars) {
        return true;
    }
    TextClear(kept, chars);
    const OSVERSIONINFOEXW* version = GetOsVersionInfo();
    wchar_t winDir[kPathChars];
    if (version == nullptr || !GetWinDir(winDir, kPathChars)) {
        return false;
    }
    return SystemDirectoryBelow(kept, chars, winDir, version->dwPlatformId);
}

bool ComputeProgramFilesDir(wchar_t* kept, size_t chars) {
    return ReadRegistryText(HKEY_LOCAL_MACHINE, kKeyWindows, L"ProgramFilesDir", kept, chars);
}

// Reads a shell folder (or another directory value) as stored into the caller's buffer.
bool ReadFolder(const wchar_t* operation, HKEY root, const wchar_t* subKey, const wchar_t* valueName,
                wchar_t* buffer, size_t chars) {
    if (buffer == nullptr || chars == 0) {
        LogInfoReport(kMsgAbsentOutput, 0, operation);
        return false;
    }
    if (!ReadRegistryText(root, subKey, valueName, buffer, chars)) {
        LogInfoReport(kMsgNotDetermined, 0, operation);
        return false;
    }
    return true;
}

// Copies a kept name into the caller's buffer (truncating); true when it is not empty.
bool CopyKeptName(const wchar_t* operation, const wchar_t* kept, wchar_t* buffer, size_t chars) {
    if (buffer == nullptr || chars == 0) {
        LogInfoReport(kMsgAbsentOutput, 0, operation);
        return false;
    }
    TextCopyCut(buffer, chars, kept);
    return buffer[0] != L'\0';
}

// --- Environment expansion -------------------------------------------------------------------

// The output of one expansion: appends are cut at the buffer's end, always terminated.
struct ExpandOutput {
    wchar_t* text;
    size_t chars;
    size_t length;
};

void Put(ExpandOutput* output, const wchar_t* text, size_t count) {
    size_t room = output->chars - 1 - output->length;
    if (count > room) {
        count = room;
    }
    MoveMemory(output->text + output->length, text, count * sizeof(wchar_t));
    output->length += count;
    output->text[output->length] = L'\0';
}

enum LookupResult { kLookupFailed = -1, kLookupEmpty = 0, kLookupFound = 1 };

// Kept out of line so its name buffer is not part of every nested expansion's frame.
__attribute__((noinline)) int LookupVariable(const wchar_t* name, size_t nameLength, wchar_t* value,
                                             size_t valueChars) {
    wchar_t nameText[kExpandChars];
    TextClear(value, valueChars);
    if (nameLength >= kExpandChars) {
        return kLookupEmpty;
    }
    MoveMemory(nameText, name, nameLength * sizeof(wchar_t));
    nameText[nameLength] = L'\0';

    DWORD length = GetEnvironmentVariableW(nameText, value, static_cast<DWORD>(valueChars));
    if (length >= valueChars) {
        // Too long for any path: taken as nothing rather than cut.
        TextClear(value, valueChars);
        return kLookupEmpty;
    }
    if (length > 0) {
        return kLookupFound;
    }
    bool known = true;
    if (TextCompareNoCase(nameText, L"SYSTEMROOT") == 0) {
        known = GetWinDir(value, valueChars);
    } else if (TextCompareNoCase(nameText, L"SYSTEMPATH") == 0) {
        known = GetWinSysDir(value, valueChars);
    } else if (TextCompareNoCase(nameText, L"SYSTEMDRIVE") == 0) {
        known = GetSystemDrive(value, valueChars);
    } else {
        return kLookupEmpty;
    }
    return known ? kLookupFound : kLookupFailed;
}

// Walks `text` (at most kExpandChars - 1 chars), appending to the output. Values are expanded
// one level deeper each; beyond kMaxExpandDepth the walk stops with false.
bool ExpandInto(ExpandOutput* output, const wchar_t* text, int depth) {
    if (depth > kMaxExpandDepth) {
        return false;
    }
    size_t limit = TextLengthWithin(text, kExpandChars - 1);
    size_t i = 0;
    while (i < limit) {
        if (text[i] != L'%') {
            size_t start = i;
            while (i < limit && text[i] != L'%') {
                ++i;
            }
            Put(output, text + start, i - start);
            continue;
        }
        size_t close = i + 1;
        while (close < limit && text[close] != L'%') {
            ++close;
        }
        if (close >= limit) {
            Put(output, text + i, limit - i);
            return true;
        }
        wchar_t value[kExpandChars];
        int found = LookupVariable(text + i + 1, close - i - 1, value, kExpandChars);
        if (found == kLookupFailed) {
            return false;
        }
        if (found == kLookupFound && !ExpandInto(output, value, depth + 1)) {
            return false;
        }
        i = close + 1;
    }
    return true;
}

// --- Path comparison -------------------------------------------------------------------------

// Upper-cases in place, so comparisons are case-insensitive without the linguistic
// equivalences of the locale's collation.
void UpperCase(wchar_t* text) {
    size_t length = wcslen(text);
    if (length > 0) {
        CharUpperBuffW(text, static_cast<DWORD>(length));
    }
}

// Both upper-cased. Without `exact` a path at least as long as the reference is cut to it.
bool SameUpperText(const wchar_t* path, const wchar_t* reference, bool exact) {
    size_t pathLength = wcslen(path);
    size_t referenceLength = wcslen(reference);
    if (!exact && pathLength >= referenceLength) {
        pathLength = referenceLength;
    }
    return pathLength == referenceLength && wmemcmp(path, reference, pathLength) == 0;
}

// The short (8.3) form, or the text itself (cut) when the system cannot give one.
void ShortFormOrText(const wchar_t* text, wchar_t* buffer, size_t chars) {
    DWORD length = GetShortPathNameW(text, buffer, static_cast<DWORD>(chars));
    if (length == 0 || length >= chars) {
        TextCopyCut(buffer, chars, text);
    }
}

bool IsRootText(const wchar_t* text, wchar_t letter) {
    if (TextCompareNoCase(text, L"\\") == 0) {
        return true;
    }
    if (letter == L'\0') {
        return false;
    }
    wchar_t drive[4] = {letter, L':', L'\0', L'\0'};
    if (TextCompareNoCase(text, drive) == 0) {
        return true;
    }
    drive[2] = L'\\';
    return TextCompareNoCase(text, drive) == 0;
}

// A copy of the path (cut at kCompareChars) without trailing blanks and backslashes.
void TrimmedCopy(const wchar_t* path, wchar_t* buffer, size_t chars) {
    TextCopyCut(buffer, chars, path);
    TrimPathEnd(buffer);
}

}  // namespace

// --- Version and Windows id ----------------------------------------------------------------------

const OSVERSIONINFOEXW* GetOsVersionInfo() {
    if (versionKnown) {
        return &keptVersion;
    }
    OSVERSIONINFOEXW version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    BOOL ok = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
    if (!ok) {
        // Windows 95 and NT 4.0 before Service Pack 6 know only the short record.
        ZeroMemory(&version, sizeof(version));
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        ok = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
    }
    if (!ok) {
        Logger::Get().Message(kMsgVersionQueryFailed, nullptr);
        return nullptr;
    }
    keptVersion = version;
    versionKnown = true;
    return &keptVersion;
}

int WindowsIdFromVersion(const OSVERSIONINFOEXW& version) {
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (version.dwMajorVersion != 4) {
            return kWindows95;
        }
        DWORD minor = version.dwMinorVersion;
        // Windows ME may report a lower minor version; its build number carries the right one.
        DWORD buildMinor = (version.dwBuildNumber >> 16) & 0xFF;
        if (minor >= 1 && minor <= 89 && buildMinor >= 90) {
            minor = buildMinor;
        }
        if (minor == 10) {
            return kWindows98;
        }
        if (minor == 90) {
            return kWindowsME;
        }
        return kWindows95;
    }
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (version.dwMajorVersion != 5) {
            return kWindowsNT4;
        }
        switch (version.dwMinorVersion) {
            case 0:
                return kWindows2000;
            case 1:
                return kWindowsXP;
            case 2:
                return kWindows2003;
            default:
                return kWindowsNT4;
        }
    }
    return kWindowsOther;
}

const wchar_t* WindowsShortNameFromId(int id) {
    return IsKnownId(id) ? kWindowsNames[id].shortName : L"";
}

const wchar_t* WindowsNameFromId(int id) {
    return IsKnownId(id) ? kWindowsNames[id].name : L"";
}

void DescribeOperatingSystem(const OSVERSIONINFOEXW& version, bool server, wchar_t* buffer, size_t chars) {
    if (buffer == nullptr || chars == 0) {
        return;
    }
    int id = WindowsIdFromVersion(version);
    wchar_t text[kNameChars];
    TextCopyCut(text, kNameChars, WindowsNameFromId(id));
    wchar_t part[kNameChars];
    if (server) {
        TextFormatCut(part, kNameChars, L"%s Server", text);
        TextCopyCut(text, kNameChars, part);
    }
    if (id == kWindowsNT4) {
        TextFormatCut(part, kNameChars, L"%s %u.%02u", text, static_cast<unsigned>(version.dwMajorVersion),
                      static_cast<unsigned>(version.dwMinorVersion));
        TextCopyCut(text, kNameChars, part);
    }
    if (text[0] == L'\0') {
        TextFormatCut(text, kNameChars, L"OSID=%u", static_cast<unsigned>(version.dwPlatformId));
    }
    DWORD build = version.dwBuildNumber;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        build &= 0xFFFF;  // the high word repeats the version there
    }
    if (id == kWindowsNT4) {
        TextFormatCut(part, kNameChars, L"%s (%u)", text, static_cast<unsigned>(build));
    } else {
        TextFormatCut(part, kNameChars, L"%s (%u.%02u.%u)", text,
                      static_cast<unsigned>(version.dwMajorVersion),
                      static_cast<unsigned>(version.dwMinorVersion), static_cast<unsigned>(build));
    }
    TextCopyCut(text, kNameChars, part);
    // The record's text field may lack a terminator when the system filled all of it.
    wchar_t servicePack[sizeof(version.szCSDVersion) / sizeof(version.szCSDVersion[0]) + 1];
    size_t servicePackLength =
        TextLengthWithin(version.szCSDVersion, sizeof(servicePack) / sizeof(servicePack[0]) - 1);
    MoveMemory(servicePack, version.szCSDVersion, servicePackLength * sizeof(wchar_t));
    servicePack[servicePackLength] = L'\0';
    if (servicePack[0] != L'\0') {
        TextFormatCut(part, kNameChars, L"%s + %s", text, servicePack);
        TextCopyCut(text, kNameChars, part);
    }
    TextCopyCut(buffer, chars, text);
}

int GetWindowsId() {
    if (keptWindowsId >= 0) {
        return keptWindowsId;
    }
    const OSVERSIONINFOEXW* version = GetOsVersionInfo();
    if (version == nullptr) {
        return kWindowsOther;  // not kept: the query is tried again next time
    }
    keptWindowsId = WindowsIdFromVersion(*version);
    return keptWindowsId;
}

bool IsWindows9x() {
    const OSVERSIONINFOEXW* version = GetOsVersionInfo();
    return version != nullptr && version->dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

bool IsWindowsNT() {
    const OSVERSIONINFOEXW* version = GetOsVersionInfo();
    return version != nullptr && version->dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool IsNtServer() {
    if (!IsWindowsNT()) {
        return false;
    }
    wchar_t productType[64];
    if (!ReadRegistryText(HKEY_LOCAL_MACHINE, kKeyProductOptions, L"ProductType", productType, 64)) {
        return false;
    }
    return TextCompareNoCase(productType, L"WINNT") != 0;
}

// --- Program location ------------------------------------------------------------------------------

const wchar_t* GetCurrentAppPath() {
    if (keptAppPath[0] == L'\0') {
        wchar_t path[kPathChars] = {};
        DWORD length = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(kPathChars));
        // A full buffer means the name was cut (and on XP not even terminated).
        if (length == 0 || length >= kPathChars) {
            LogInfoReport(kMsgNotDetermined, 0, L"GetCurrentAppPath");
        } else {
            TextCopy(keptAppPath, kPathChars, path);
        }
    }
    return keptAppPath;
}

const wchar_t* GetCurrentAppDir() {
    if (keptAppDir[0] == L'\0') {
        wchar_t dir[kPathChars];
        wchar_t* slash = nullptr;
        if (TextCopy(dir, kPathChars, GetCurrentAppPath())) {
            slash = wcsrchr(dir, L'\\');
        }
        if (slash == nullptr) {
            LogInfoReport(kMsgNotDetermined, 0, L"GetCurrentAppDir");
            return keptAppDir;
        }
        *slash = L'\0';
        TextCopy(keptAppDir, kPathChars, dir);
    }
    return keptAppDir;
}

const wchar_t* GetCurrentAppModuleName() {
    if (keptAppName[0] == L'\0') {
        const wchar_t* path = GetCurrentAppPath();
        const wchar_t* slash = wcsrchr(path, L'\\');
        if (slash == nullptr) {
            LogInfoReport(kMsgNotDetermined, 0, L"GetCurrentAppModuleName:1");
        } else if (!TextCopy(keptAppName, kPathChars, slash + 1)) {
            LogInfoReport(kMsgNotDetermined, 0, L"GetCurrentAppModuleName:2");
        }
    }
    return keptAppName;
}

// --- Windows directories ---------------------------------------------------------------------------

bool SystemDirectoryBelow(wchar_t* buffer, size_t chars, const wchar_t* winDir, DWORD platformId) {
    if (buffer == nullptr || chars == 0) {
        return false;
    }
    const wchar_t* below = nullptr;
    if (platformId == VER_PLATFORM_WIN32_WINDOWS) {
        below = L"\\System";
    } else if (platformId == VER_PLATFORM_WIN32_NT) {
        below = L"\\System32";
    }
    size_t length = TextLength(winDir);
    if (below == nullptr || length == 0) {
        TextClear(buffer, chars);
        return false;
    }
    if (winDir[length - 1] == L'\\') {
        ++below;  // a root such as "C:\" has its backslash already
    }
    wchar_t work[kPathChars];
    if (!TextCopy(work, kPathChars, winDir) || !TextAppend(work, kPathChars, below)) {
        TextClear(buffer, chars);
        return false;
    }
    return TextCopy(buffer, chars, work);
}

bool GetWinDir(wchar_t* buffer, size_t chars) {
    return CopyKeptLocation(L"GetWinDir", keptWinDir, ComputeWinDir, buffer, chars);
}

bool GetWinSysDir(wchar_t* buffer, size_t chars) {
    return CopyKeptLocation(L"GetWinSysDir", keptSysDir, ComputeSysDir, buffer, chars);
}

bool GetProgramFilesDir(wchar_t* buffer, size_t chars) {
    return CopyKeptLocation(L"GetProgramFilesDir", keptProgramFiles, ComputeProgramFilesDir, buffer, chars);
}

bool GetSystemDrive(wchar_t* buffer, size_t chars) {
    if (buffer == nullptr || chars == 0) {
        LogInfoReport(kMsgAbsentOutput, 0, L"GetSystemDrive");
        return false;
    }
    wchar_t winDir[kPathChars];
    if (!GetWinDir(winDir, kPathChars)) {
        TextClear(buffer, chars);
        return false;
    }
    wchar_t* colon = wcschr(winDir, L':');
    if (colon == nullptr) {
        TextClear(buffer, chars);
        LogInfoReport(kMsgNotDetermined, 0, L"GetSystemDrive");
        return false;
    }
    colon[1] = L'\0';
    if (!TextCopy(buffer, chars, winDir)) {
        LogInfoReport(kMsgNotDetermined, 0, L"GetSystemDrive");
        return false;
    }
    return true;
}

namespace {

// Passes when the path is not empty, is a directory and is neither Windows nor system directory;
// with `create` a missing directory is made first. The path goes to the caller only if it fits.
bool TryTempCandidate(const wchar_t* text, bool expand, bool create, wchar_t* buffer, size_t chars) {
    // One char more than a path may hold, so a cut expansion is told from one that fits.
    wchar_t path[kPathChars + 1];
    if (expand) {
        if (!ExpandEnvironmentPath(path, kPathChars + 1, text)) {
            return false;
        }
    } else if (!TextCopy(path, kPathChars + 1, text)) {
        return false;
    }
    size_t length = wcslen(path);
    // A candidate that cannot be handed over is not created either.
    if (length == 0 || length >= kPathChars || length >= chars || IsWindowsOrSystemPath(path)) {
        return false;
    }
    // A file of that name is no temporary directory, so only a directory counts as existing.
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES && create) {
        CreateDirectoryPath(path);
        attributes = GetFileAttributesW(path);
    }
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    return TextCopy(buffer, chars, path);
}

}  // namespace

bool GetTempDir(wchar_t* buffer, size_t chars) {
    if (buffer == nullptr || chars == 0) {
        LogInfoReport(kMsgAbsentOutput, 0, L"GetTempDir");
        return false;
    }
    TextClear(buffer, chars);
    if (TryTempCandidate(L"%TMP%", true, false, buffer, chars) ||
        TryTempCandidate(L"%TEMP%", true, false, buffer, chars) ||
        TryTempCandidate(L"%TMP%", true, true, buffer, chars) ||
        TryTempCandidate(L"%TEMP%", true, true, buffer, chars) ||
        TryTempCandidate(L"C:\\TEMP", false, true, buffer, chars)) {
        return true;
    }
    TextClear(buffer, chars);
    LogInfoReport(kMsgNotDetermined, 0, L"GetTempDir");
    return false;
}

// --- Shell folders ---------------------------------------------------------------------------------

bool GetDocumentsDir(wchar_t* buffer, size_t chars, bool allUsers) {
    if (!allUsers) {
        return ReadFolder(L"GetDocumentsDir", HKEY_CURRENT_USER, kKeyShellFolders, L"Personal", buffer,
                          chars);
    }
    if (buffer == nullptr || chars == 0) {
        LogInfoReport(kMsgAbsentOutput, 0, L"GetDocumentsDir");
        return false;
    }
    LONG error = ERROR_SUCCESS;
    if (ReadRegistryText(HKEY_LOCAL_MACHINE, kKeyProfileList, L"ProfilesDirectory", buffer, chars, &error)) {
        return true;
    }
    // Only a missing (or empty) profiles root is stood in for; one that does not fit the caller's
    // buffer must not turn into a different folder.
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        LogInfoReport(kMsgNotDetermined, 0, L"GetDocumentsDir");
        return false;
    }
    return ReadFolder(L"GetDocumentsDir", HKEY_USERS, kKeyDefaultShellFolders, L"Personal", buffer, chars);
}

bool GetStartProgramsDir(wchar_t* buffer, size_t chars, bool allUsers) {
    if (allUsers && !IsWindows9x()) {
        return ReadFolder(L"GetStartProgramsDir", HKEY_LOCAL_MACHINE, kKeyShellFolders, L"Common Programs",
                          buffer, chars);
    }
    return ReadFolder(L"GetStartProgramsDir", HKEY_CURRENT_USER, kKeyShellFolders, L"Programs", buffer,
                      chars);
}

bool GetDesktopDir(wchar_t* buffer, size_t chars, bool allUsers) {
    if (allUsers && !IsWindows9x()) {
        return ReadFolder(L"GetDesktopDir", HKEY_LOCAL_MACHINE, kKeyShellFolders, L"Common Desktop", buffer,
                          chars);
    }
    return ReadFolder(L"GetDesktopDir", HKEY_CURRENT_USER, kKeyShellFolders, L"Desktop", buffer, chars);
}

// --- Windows names -----------------------------------------------------------------------------------

bool GetWindowsShortName(wchar_t* buffer, size_t chars) {
    if (keptShortName[0] == L'\0') {
        TextCopyCut(keptShortName, kNameChars, WindowsShortNameFromId(GetWindowsId()));
    }
    return CopyKeptName(L"GetWindowsShortName", keptShortName, buffer, chars);
}

bool GetWindowsName(wchar_t* buffer, size_t chars) {
    if (keptName[0] == L'\0') {
        const wchar_t* name = WindowsNameFromId(GetWindowsId());
        if (name[0] != L'\0' && IsNtServer()) {
            TextFormatCut(keptName, kNameChars, L"%s Server", name);
        } else {
            TextCopyCut(keptName, kNameChars, name);
        }
    }
    return CopyKeptName(L"GetWindowsName", keptName, buffer, chars);
}

bool GetOperatingSystemDescription(wchar_t* buffer, size_t chars) {
    if (keptDescription[0] == L'\0') {
        const OSVERSIONINFOEXW* version = GetOsVersionInfo();
        if (version != nullptr) {
            DescribeOperatingSystem(*version, IsNtServer(), keptDescription, kNameChars);
        }
    }
    return CopyKeptName(L"GetOperatingSystemDescription", keptDescription, buffer, chars);
}

const wchar_t* GetLocalDateTimeString(wchar_t* buffer, size_t chars) {
    if (buffer == nullptr || chars == 0) {
        return L"";
    }
    wchar_t date[kDateTimePartChars] = {};
    wchar_t time[kDateTimePartChars] = {};
    if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, nullptr, nullptr, date, kDateTimePartChars) == 0) {
        date[0] = L'\0';
    }
    if (GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, kDateTimePartChars) == 0) {
        time[0] = L'\0';
    }
    TextFormatCut(buffer, chars, L"%s, %s", date, time);
    return buffer;
}

// --- Expansion and path comparison -------------------------------------------------------------------

bool ExpandEnvironmentPath(wchar_t* output, size_t chars, const wchar_t* text) {
    if (output == nullptr || chars == 0) {
        LogInfoReport(kMsgAbsentOutput, 0, L"ExpandEnvironmentPath");
        return false;
    }
    // Copied first, so the text may lie in the output buffer.
    wchar_t work[kExpandChars];
    TextCopyCut(work, kExpandChars, text);
    TextClear(output, chars);
    ExpandOutput out = {output, chars, 0};
    return ExpandInto(&out, work, 0);
}

bool IsDriveRootPath(const wchar_t* path, wchar_t letter, bool skipPrefix) {
    if (path == nullptr) {
        return false;
    }
    if (skipPrefix) {
        path += TextLengthWithin(path, 4);
    }
    if (IsRootText(path, letter)) {
        return true;
    }
    wchar_t expanded[kCompareChars];
    ExpandEnvironmentPath(expanded, kCompareChars, path);
    return IsRootText(expanded, letter);
}

wchar_t* TrimPathEnd(wchar_t* path) {
    if (path == nullptr || path[0] == L'\0') {
        return nullptr;
    }
    size_t length = wcslen(path);
    for (;;) {
        RemoveTrailingChar(path, L' ');
        bool root = IsDriveRootPath(path, path[0], false);
        if (!root && wcslen(path) >= 4) {
            root = IsDriveRootPath(path, path[4], true);
        }
        if (!root) {
            RemoveTrailingChar(path, L'\\');
        }
        size_t now = wcslen(path);
        if (now == length) {
            break;
        }
        length = now;
    }
    return path;
}

bool PathsEqual(const wchar_t* path, const wchar_t* reference, bool exact) {
    if (path == nullptr || path[0] == L'\0') {
        return true;
    }
    if (reference == nullptr || reference[0] == L'\0') {
        return false;
    }
    wchar_t expandedReference[kCompareChars];
    wchar_t shortReference[kCompareChars];
    ExpandEnvironmentPath(expandedReference, kCompareChars, reference);
    ShortFormOrText(expandedReference, shortReference, kCompareChars);
    UpperCase(expandedReference);
    UpperCase(shortReference);

    wchar_t form[kCompareChars];
    wchar_t shortForm[kCompareChars];
    TextCopyCut(form, kCompareChars, path);
    UpperCase(form);
    if (SameUpperText(form, expandedReference, exact)) {
        return true;
    }
    ExpandEnvironmentPath(form, kCompareChars, path);
    ShortFormOrText(form, shortForm, kCompareChars);
    UpperCase(form);
    if (SameUpperText(form, expandedReference, exact)) {
        return true;
    }
    ShortFormOrText(path, form, kCompareChars);
    UpperCase(form);
    if (SameUpperText(form, shortReference, exact)) {
        return true;
    }
    UpperCase(shortForm);
    return SameUpperText(shortForm, shortReference, exact);
}

bool IsWindowsOrSystemPath(const wchar_t* path) {
    wchar_t trimmedPath[kCompareChars];
    TrimmedCopy(path, trimmedPath, kCompareChars);
    if (trimmedPath[0] == L'\0') {
        return false;  // PathsEqual would call an empty path equal to anything
    }
    wchar_t location[kPathChars];
    wchar_t trimmedLocation[kPathChars];
    if (GetWinDir(location, kPathChars)) {
        TrimmedCopy(location, trimmedLocation, kPathChars);
        if (PathsEqual(trimmedPath, trimmedLocation, true)) {
            return true;
        }
    }
    if (GetWinSysDir(location, kPathChars)) {
        TrimmedCopy(location, trimmedLocation, kPathChars);
        if (PathsEqual(trimmedPath, trimmedLocation, false)) {
            return true;
        }
    }
    return false;
}

void ResetSystemCachesForTests() {
    ZeroMemory(&keptVersion, sizeof(keptVersion));
    versionKnown = false;
    keptWindowsId = -1;
    TextClear(keptAppPath, kPathChars);
    TextClear(keptAppDir, kPathChars);
    TextClear(keptAppName, kPathChars);
    TextClear(keptWinDir, kPathChars);
    TextClear(keptSysDir, kPathChars);
    TextClear(keptProgramFiles, kPathChars);
    TextClear(keptShortName, kNameChars);
    TextClear(keptName, kNameChars);
    TextClear(keptDescription, kNameChars);
}
