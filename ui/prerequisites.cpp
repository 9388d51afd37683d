#include <winsock2.h>

#include "ui/prerequisites.h"

#include "host/paths.h"
#include "host/system.h"
#include "host/text.h"
#include "host/version_info.h"
#include "log/logger.h"
#include "setup/errors.h"

namespace {

const wchar_t kRichEditLibrary[] = L"RICHED20.DLL";
const wchar_t kWinsockLibrary[] = L"WS2_32.DLL";
const unsigned kMsgLibraryLoad = 25011;
const unsigned kMsgFileTooOld = 25008;
const size_t kVersionReportChars = 292;
const int kWinsockVersionNotSupported = 10092;  // WSAVERNOTSUPPORTED

wchar_t g_libraryDirectory[kPathChars];

typedef int(WINAPI* WsaStartupFn)(WORD, LPWSADATA);
typedef int(WINAPI* WsaCleanupFn)();

// Full path of a system library. A bare name would let the search order pick a same-named file
// from the program's own folder first.
bool SystemLibraryPath(const wchar_t* name, wchar_t* path, size_t chars) {
    wchar_t directory[kPathChars];
    if (g_libraryDirectory[0] != L'\0') {
        if (!TextCopy(directory, kPathChars, g_libraryDirectory)) {
            return false;
        }
    } else if (!GetWinSysDir(directory, kPathChars)) {
        UINT length = GetSystemDirectoryW(directory, static_cast<UINT>(kPathChars));
        if (length == 0 || length >= kPathChars) {
            TextClear(path, chars);
            return false;
        }
    }
    return AppendPath(path, chars, directory, name);
}

// Loads by full path; the altered search path makes the library's own dependencies come from
// its directory too rather than from the program's folder.
HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t path[kPathChars];
    if (!SystemLibraryPath(name, path, kPathChars)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

int WinsockMissing(wchar_t* buffer, size_t chars) {
    wchar_t path[kPathChars];
    VS_FIXEDFILEINFO record = {};
    if (SystemLibraryPath(kWinsockLibrary, path, kPathChars)) {
        GetVersionInfoData(path, nullptr, nullptr, 0, &record);
    }
    wchar_t details[kVersionReportChars];
    TextFormatCut(details, kVersionReportChars, L"%s %u.%02u", kWinsockLibrary,
                  static_cast<unsigned>(HIWORD(record.dwFileVersionMS)),
                  static_cast<unsigned>(LOWORD(record.dwFileVersionMS)));
    LogInfoReport(kMsgFileTooOld, ErrorWinsock, details);
    TextCopy(buffer, chars, kWinsockLibrary);
    return ErrorWinsock;
}

}  // namespace

void SetPrerequisiteLibraryDirectory(const wchar_t* directory) {
    if (!TextCopy(g_libraryDirectory, kPathChars, directory)) {
        TextClear(g_libraryDirectory, kPathChars);
    }
}

int RichEditLibrary::Load() {
    if (module_.IsValid()) {
        return 0;
    }
    module_.Reset(LoadSystemLibrary(kRichEditLibrary));
    if (!module_.IsValid()) {
        Logger::Get().Value(kMsgLibraryLoad, GetLastError(), kRichEditLibrary);
        return ErrorRichEditLoad;
    }
    return 0;
}

int CheckRichEditVersion(unsigned major, unsigned minor, wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    wchar_t path[kPathChars];
    // No path to check counts as a library without version information: too old.
    SystemLibraryPath(kRichEditLibrary, path, kPathChars);
    if (CheckFileVersion(path, major, minor) == 0) {
        return 0;
    }
    TextCopy(buffer, chars, kRichEditLibrary);
    return ErrorRichEditVersion;
}

int CheckWinsock(unsigned major, unsigned minor, wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    HMODULE library = LoadSystemLibrary(kWinsockLibrary);
    if (library == nullptr) {
        return WinsockMissing(buffer, chars);
    }
    WsaStartupFn startup =
        reinterpret_cast<WsaStartupFn>(reinterpret_cast<void (*)()>(GetProcAddress(library, "WSAStartup")));
    WsaCleanupFn cleanup =
        reinterpret_cast<WsaCleanupFn>(reinterpret_cast<void (*)()>(GetProcAddress(library, "WSACleanup")));
    if (startup == nullptr || cleanup == nullptr) {
        return WinsockMissing(buffer, chars);
    }
    WSADATA data;
    int error = startup(MAKEWORD(major & 0xFF, minor & 0xFF), &data);
    if (error == 0) {
        cleanup();
        return 0;
    }
    return error == kWinsockVersionNotSupported ? WinsockMissing(buffer, chars) : 0;
}
