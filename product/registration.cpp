// Uninstall registration, the private settings key and the start-menu groups of a product.
// A component installed on its own registers as a top-level "OV <name>" entry; one installed into
// the suite registers below the suite's entry. The form is decided each time, so installing the
// suite over a stand-alone component moves the component under the suite.
#include "components/product_main.h"
#include "host/files.h"
#include "host/paths.h"
#include "host/registry.h"
#include "host/system.h"
#include "log/logger.h"
#include "product/product.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "ui/resource_string.h"

namespace {

const size_t kIconChars = 276;

bool WriteText(const wchar_t* key, const wchar_t* name, const wchar_t* value) {
    return RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, key, name, value) == ERROR_SUCCESS;
}

bool ContainsNoCase(const wchar_t* text, const wchar_t* part) {
    wchar_t upperText[kCommandLineChars];
    wchar_t upperPart[kPathChars];
    TextCopyCut(upperText, kCommandLineChars, text);
    TextCopyCut(upperPart, kPathChars, part);
    CharUpperW(upperText);
    CharUpperW(upperPart);
    return wcsstr(upperText, upperPart) != nullptr;
}

// `folder` and every parent left empty, after its files (and, with removeDirectories, its sub
// folders) were deleted.
void DeleteGroupFolder(const wchar_t* folder, bool removeDirectories) {
    if (DeleteProductFolder(folder, removeDirectories)) {
        RemoveEmptyDirectories(folder, true);
    }
}

}  // namespace

int Product::RegisterUninstall() {
    if (!active) {
        return 0;
    }
    Logger::Get().Message(25534, nullptr);
    ProductMain& shell = ProductMain::Get();
    bool underSuite = !isSuiteShell_ && (shell.shellNeeded || shell.IsInstalled(0));
    const wchar_t* key = underSuite ? suiteUninstallKeyPath : uninstallKeyPath;
    wchar_t text[kMessageChars];
    if (underSuite) {
        TextCopyCut(text, kMessageChars, GetDisplayName());
    } else {
        TextFormatCut(text, kMessageChars, L"OV %s", GetDisplayName());
    }

    const SetupOptions& options = SetupOptions::Get();
    int result = 0;
    if (options.uninstallInfo) {
        if (!RegCreateKeyPath(HKEY_LOCAL_MACHINE, key) || !WriteText(key, L"DisplayName", text)) {
            result = ErrorUninstallRegistration;
        }
        RegWriteValue(HKEY_LOCAL_MACHINE, REG_DWORD, key, L"NoModify", L"1");
        RegWriteValue(HKEY_LOCAL_MACHINE, REG_DWORD, key, L"NoRepair", L"1");
        LoadResourceString(nullptr, 20145, text, kMessageChars);
        WriteText(key, L"Publisher", text);
        LoadResourceString(nullptr, 22003, text, kMessageChars);
        WriteText(key, L"URLInfoAbout", text);
        wchar_t files[kPathChars];
        wchar_t icon[kIconChars];
        if (GetInstalledFilesPath(files, kPathChars, nullptr) &&
            AppendPath(icon, kPathChars, files, L"ovkestra.exe") && TextAppend(icon, kIconChars, L",-0")) {
            WriteText(key, L"DisplayIcon", icon);
        }
    }

    // The component's own uninstaller, kept for reference under the entry that replaces it.
    wchar_t own[kCommandLineChars];
    if (RegReadString(HKEY_LOCAL_MACHINE, uninstallKeyPath, L"UninstallString", own, sizeof(own)) ==
            ERROR_SUCCESS &&
        own[0] != L'\0' && !ContainsNoCase(own, L"ovuninst.exe")) {
        WriteText(key, L"UninstallProduct", own);
    }

    wchar_t files[kPathChars];
    wchar_t command[kCommandLineChars];
    int commandCode = 0;
    if (!GetInstalledFilesPath(files, kPathChars, nullptr)) {
        commandCode = ErrorInstalledFilesPath;
    } else if (!BuildCommandLine(command, kCommandLineChars, files, L"ovuninst.exe", nullptr, L"/u")) {
        commandCode = ErrorUninstallCommandLine;
    } else if (options.uninstallInfo && !WriteText(key, L"UninstallString", command)) {
        commandCode = ErrorUninstallString;
    }
    if (result == 0) {
        result = commandCode;
    }
    // Only now: the shell counts as installed (and so has a version) once its own entry holds
    // the uninstall command written just above.
    if (options.uninstallInfo && GetInstalledVersion(text, kMessageChars) &&
        TextCompareNoCase(text, L"0") != 0) {
        WriteText(key, L"DisplayVersion", text);
    }

    if (!isSuiteShell_) {
        const wchar_t* other = underSuite ? uninstallKeyPath : suiteUninstallKeyPath;
        RegDeleteValue(HKEY_LOCAL_MACHINE, other, L"DisplayName");
        RegDeleteValue(HKEY_LOCAL_MACHINE, other, L"UninstallString");
    }
    RemoveUninstallKeys();

    RegCreateKeyPath(HKEY_LOCAL_MACHINE, settingsKey);
    wchar_t value[kPathChars];
    if (GetInstalledPath(value, kPathChars, nullptr)) {
        WriteText(settingsKey, L"Path", value);
    }
    if (GetInstalledFilesPath(value, kPathChars, nullptr)) {
        WriteText(settingsKey, L"Files", value);
    }
    if (GetInstalledGroup(value, kPathChars)) {
        WriteText(settingsKey, L"Group", value);
    }
    if (GetInstalledVersion(value, kPathChars) && TextCompareNoCase(value, L"0") != 0) {
        WriteText(settingsKey, L"Version", value);
    }
    return result;
}

int Product::RemoveUninstallKeys() {
    if (isSuiteShell_ && !static_cast<ProductMain*>(this)->shellNeeded) {
        return 0;
    }
    Logger::Get().Message(25543, nullptr);
    // An install keeps the current generations' entries; every other role removes all of them.
    for (int i = CurrentRole() == kRoleInstall ? 2 : 0; i < uninstallKeyCount; ++i) {
        const wchar_t* name = uninstallKeyNames[i];
        wchar_t key[kPathChars];
        if (name == nullptr || name[0] == L'\0' || !AppendPath(key, kPathChars, OV_UNINSTALL_KEY, name)) {
            continue;
        }
        // Never the Uninstall key itself, whatever a name reduces to.
        if (TextCompareNoCase(key, OV_UNINSTALL_KEY) == 0 ||
            TextCompareNoCase(key, OV_UNINSTALL_KEY L"\\") == 0) {
            continue;
        }
        // The suite's entry stays while a component is registered below it.
        if (isSuiteShell_ && RegKeyHasSubkeys(HKEY_LOCAL_MACHINE, key)) {
            continue;
        }
        RegDeleteKeyTree(HKEY_LOCAL_MACHINE, key);
    }
    return 0;
}

int Product::CreateStartMenuFolder(wchar_t* buffer, size_t chars) {
    if (!CheckBuffer(buffer, chars, L"Product::CreateStartMenuFolder")) {
        return 0;
    }
    TextClear(buffer, chars);
    if (!active) {
        return 0;
    }
    for (int allUsers = 1; allUsers >= 0; --allUsers) {
        // The 9x family has one Programs folder only.
        if (allUsers == 0 && !IsWindowsNT()) {
            break;
        }
        wchar_t programs[kPathChars];
        wchar_t expanded[kPathChars];
        if (programGroup[0] == L'\0' || !GetStartProgramsDir(programs, kPathChars, allUsers != 0) ||
            !ExpandEnvironmentPath(expanded, kPathChars, programs)) {
            continue;
        }
        if (AppendPath(buffer, chars, expanded, programGroup) && CreateDirectoryPath(buffer)) {
            DWORD attributes = GetFileAttributesW(buffer);
            if (attributes != INVALID_FILE_ATTRIBUTES) {
                SetFileAttributesW(
                    buffer, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                             FILE_ATTRIBUTE_SYSTEM));
            }
            return 0;
        }
    }
    TextClear(buffer, chars);
    return ErrorStartMenuFolder;
}

int Product::RemoveProgramGroups(int allUsers) {
    if (!active) {
        return 0;
    }
    if (CurrentRole() != kRoleInstall) {
        Logger::Get().Message(25542, nullptr);
    }
    wchar_t installedGroup[kPathChars];
    GetInstalledGroup(installedGroup, kPathChars);
    wchar_t stored[kPathChars];
    wchar_t programs[kPathChars];
    if (!GetStartProgramsDir(stored, kPathChars, allUsers != 0) ||
        !ExpandEnvironmentPath(programs, kPathChars, stored)) {
        return 0;
    }
    for (int i = 0; i < oldGroupCount + 2; ++i) {
        const wchar_t* group =
            i < oldGroupCount ? oldGroupNames[i] : (i == oldGroupCount ? programGroup : installedGroup);
        wchar_t folder[kPathChars];
        if (group == nullptr || group[0] == L'\0' || !AppendPath(folder, kPathChars, programs, group)) {
            continue;
        }
        // The components' groups live inside the suite's group: the shell removes only its files.
        bool removeDirectories = !isSuiteShell_ && !DirectoryHasSubdirectories(folder);
        DeleteGroupFolder(folder, removeDirectories);
    }
    return 0;
}

int Product::RemoveLeftovers() {
    if (IsInstalled(1)) {
        return 0;
    }
    RemoveProgramGroups(1);
    RemoveProgramGroups(0);
    RemoveSettings();
    RemoveUninstallKeys();
    Logger::Get().Message(25544, nullptr);
    if (settingsKey[0] == L'\0') {
        return 0;
    }
    wchar_t folder[kPathChars];
    if (RegReadString(HKEY_LOCAL_MACHINE, settingsKey, L"Files", folder, sizeof(folder)) == ERROR_SUCCESS &&
        folder[0] != L'\0') {
        DeleteGroupFolder(folder, !isSuiteShell_ || !DirectoryHasSubdirectories(folder));
    }
    if (RegReadString(HKEY_LOCAL_MACHINE, settingsKey, L"Path", folder, sizeof(folder)) == ERROR_SUCCESS &&
        folder[0] != L'\0' && (!isSuiteShell_ || !DirectoryHasSubdirectories(folder))) {
        DeleteGroupFolder(folder, true);
    }
    wchar_t group[kPathChars];
    if (RegReadString(HKEY_LOCAL_MACHINE, settingsKey, L"Group", group, sizeof(group)) == ERROR_SUCCESS &&
        group[0] != L'\0') {
        for (int allUsers = 0; allUsers < 2; ++allUsers) {
            wchar_t stored[kPathChars];
            wchar_t programs[kPathChars];
            if (!GetStartProgramsDir(stored, kPathChars, allUsers != 0) ||
                !ExpandEnvironmentPath(programs, kPathChars, stored) ||
                !AppendPath(folder, kPathChars, programs, group)) {
                continue;
            }
            if (!(isSuiteShell_ && DirectoryHasSubdirectories(folder))) {
                DeleteGroupFolder(folder, true);
            }
        }
    }
    const wchar_t* const values[] = {L"Files", L"Path", L"Group", L"Version"};
    for (const wchar_t* name : values) {
        RegDeleteValue(HKEY_LOCAL_MACHINE, settingsKey, name);
    }
    RegDeleteEmptyKey(HKEY_LOCAL_MACHINE, settingsKey, true);
    return 0;
}
