// The end of a component's uninstall. A running uninstaller cannot delete itself, nor files the
// suite's programs still hold, so it leaves a numbered copy of itself in the temporary folder that
// Windows starts once at the next logon to remove what is left (the cleanup role).
#include "host/files.h"
#include "host/paths.h"
#include "host/registry.h"
#include "host/system.h"
#include "product/product.h"

namespace {

const wchar_t kCleanupValue[] = L"Kestra_cleanup";

// Blanks and quotes around the path in the RunOnce value.
bool IsBlankOrQuote(wchar_t ch) {
    return ch != L'\0' && FindFirstChar(ch, L" \t\r\n\"") != nullptr;
}

// True when the RunOnce value names a copy that still exists. The value is "\"path\" /cleanup":
// everything from the first slash on goes, then blanks and quotes at either end.
bool CleanupCopyScheduled() {
    wchar_t command[kCommandLineChars];
    if (RegReadString(HKEY_LOCAL_MACHINE, OV_RUNONCE_KEY, kCleanupValue, command, sizeof(command)) !=
        ERROR_SUCCESS) {
        return false;
    }
    wchar_t* slash = FindFirstChar(L'/', command);
    if (slash != nullptr) {
        *slash = L'\0';
    }
    wchar_t* path = command;
    while (IsBlankOrQuote(*path)) {
        ++path;
    }
    for (size_t length = TextLength(path); length > 0 && IsBlankOrQuote(path[length - 1]); --length) {
        path[length - 1] = L'\0';
    }
    return path[0] != L'\0' && FileExists(path);
}

// Copies the running program to the first free "ovcu_NNN.exe" of the temporary folder and has
// Windows start it once at the next logon. Any failure simply leaves nothing scheduled.
void ScheduleCleanupCopy() {
    wchar_t temp[kPathChars];
    wchar_t name[kPathChars];
    if (!GetTempDir(temp, kPathChars) ||
        !FindFreeNumberedName(name, kPathChars, temp, L"ovcu_%03d.exe", 1, 999) ||
        !CopyFileChecked(GetCurrentAppDir(), temp, GetCurrentAppModuleName(), name, nullptr)) {
        return;
    }
    if (IsWindows9x()) {
        // The copy needs the Unicode layer beside it to start at all.
        CopyFileChecked(GetCurrentAppDir(), temp, L"unicows.dll", nullptr, nullptr);
    }
    wchar_t path[kPathChars];
    wchar_t command[kCommandLineChars];
    if (AppendPath(path, kPathChars, temp, name) &&
        TextFormat(command, kCommandLineChars, L"\"%s\" /cleanup", path)) {
        RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, OV_RUNONCE_KEY, kCleanupValue, command);
    }
}

}  // namespace

int Product::CompleteUninstall() {
    if (!active) {
        return 0;
    }
    RemoveProgramGroups(1);
    RemoveProgramGroups(0);
    RemoveSettings();
    RemoveUninstallKeys();
    // One copy however many components one run removes; one whose file vanished is replaced.
    if (!CleanupCopyScheduled()) {
        ScheduleCleanupCopy();
    }
    RemoveSupportFiles();
    RemoveSharedFiles();
    return 0;
}
