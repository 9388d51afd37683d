// Prints what the host utilities find on this machine, one "name: value" line each.
#include <stdio.h>
#include <windows.h>

#include "host/paths.h"
#include "host/system.h"
#include "log/logger.h"

namespace {

typedef bool (*Location)(wchar_t* buffer, size_t chars);

void PrintLine(const wchar_t* name, const wchar_t* value) {
    AnsiText text = WideToMultiByte(value);
    AnsiText label = WideToMultiByte(name);
    printf("%-22s %s\n", label.c_str(), text.c_str());
}

void PrintLocation(const wchar_t* name, Location location) {
    wchar_t buffer[kPathChars] = {};
    location(buffer, kPathChars);
    PrintLine(name, buffer[0] != L'\0' ? buffer : L"(unknown)");
}

}  // namespace

int wmain() {
    // Reports of the utilities stay out of the way of the listing.
    Logger::Get().SetLogLevel(0);
    Logger::Get().SetDisplayLevel(0);

    wchar_t text[384] = {};
    GetOperatingSystemDescription(text, 384);
    PrintLine(L"Windows:", text);
    GetWindowsShortName(text, 384);
    PrintLine(L"Short name:", text);
    PrintLine(L"Family:", IsWindows9x() ? L"9x" : (IsWindowsNT() ? L"NT" : L"other"));
    PrintLine(L"Program:", GetCurrentAppPath());
    PrintLocation(L"Windows directory:", GetWinDir);
    PrintLocation(L"System directory:", GetWinSysDir);
    PrintLocation(L"Program Files:", GetProgramFilesDir);
    PrintLocation(L"Temporary folder:", GetTempDir);
    PrintLocation(L"System drive:", GetSystemDrive);

    wchar_t folder[kPathChars] = {};
    GetStartProgramsDir(folder, kPathChars, true);
    PrintLine(L"Programs (all users):", folder);
    GetDesktopDir(folder, kPathChars, false);
    PrintLine(L"Desktop (user):", folder);

    wchar_t expanded[kPathChars] = {};
    ExpandEnvironmentPath(expanded, kPathChars, L"%SYSTEMROOT%\\Temp");
    PrintLine(L"%SYSTEMROOT%\\Temp:", expanded);

    wchar_t line[kMessageChars] = {};
    BuildCommandLine(line, kMessageChars, folder, L"setup.exe", L"/s /v%u", 5u);
    PrintLine(L"Command line:", line);

    wchar_t now[200] = {};
    PrintLine(L"Local time:", GetLocalDateTimeString(now, 200));
    return 0;
}
