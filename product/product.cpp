#include "product/product.h"

#include "components/product_main.h"
#include "host/files.h"
#include "host/handles.h"
#include "host/paths.h"
#include "host/registry.h"
#include "host/system.h"
#include "host/version_info.h"
#include "log/logger.h"
#include "process/process_find.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "setup/setup.h"
#include "ui/conflict_dialog.h"
#include "ui/framework_abi.h"
#include "ui/progress_window.h"
#include "ui/resource_string.h"

namespace {

const size_t kUninstallKeyChars = 1024;
const DWORD kRegistryTextBytes = 4096;
const size_t kConflictNameChars = 512;
const DWORD kConflictAppearMs = 3000;

// The folders and groups a deletion driven by registry data must never reach.
const unsigned kMsgDeletionRefused = 25560;

HWND RoleWindow() {
    Setup* setup = Setup::Get();
    return setup != nullptr ? setup->window : nullptr;
}

// The folder `path` resolves to, without a trailing backslash; false when it is not an absolute
// path of a drive or a share.
bool FullFolder(const wchar_t* path, wchar_t* full, size_t chars) {
    TextClear(full, chars);
    if (path == nullptr || path[0] == L'\0') {
        return false;
    }
    bool absolute =
        (path[0] == L'\\' && path[1] == L'\\') ||
        (((path[0] | 0x20) >= L'a' && (path[0] | 0x20) <= L'z') && path[1] == L':' && path[2] == L'\\');
    if (!absolute) {
        return false;
    }
    DWORD n = GetFullPathNameW(path, static_cast<DWORD>(chars), full, nullptr);
    if (n == 0 || n >= chars) {
        TextClear(full, chars);
        return false;
    }
    TrimPathEnd(full);
    return full[0] != L'\0';
}

// True when `folder` is `guarded` or holds it.
bool Reaches(const wchar_t* folder, const wchar_t* guarded) {
    wchar_t full[kPathChars];
    if (!FullFolder(guarded, full, kPathChars)) {
        return false;
    }
    return PathsEqual(full, folder, false);
}

// A drive root, a share root ("\\server\share") or a bare server name.
bool IsRootFolder(const wchar_t* folder) {
    if (IsDriveRootPath(folder, 0, true)) {
        return true;
    }
    if (folder[0] == L'\\' && folder[1] == L'\\') {
        int separators = 0;
        for (const wchar_t* p = folder + 2; *p != L'\0'; ++p) {
            if (*p == L'\\' && p[1] != L'\0') {
                ++separators;
            }
        }
        return separators < 2;
    }
    return false;
}

}  // namespace

void ShowProductProgress(unsigned id, const wchar_t* displayName) {
    wchar_t format[kMessageChars];
    wchar_t text[kMessageChars];
    LoadResourceString(nullptr, id, format, kMessageChars);
    TextFormatCut(text, kMessageChars, format, displayName);
    ProgressWindow::Get().Step(text);
}

void DeleteFilesIn(const wchar_t* folder, const wchar_t* const* names, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        wchar_t path[kPathChars];
        if (AppendPath(path, kPathChars, folder, names[i])) {
            DeleteFileW(path);
        }
    }
}

int CurrentRole() {
    Setup* setup = Setup::Get();
    return setup != nullptr ? setup->role : SetupOptions::Get().role;
}

bool IsUnattended() {
    return Logger::Get().GetDisplayLevel() < 2;
}

bool DeleteProductFolder(const wchar_t* folder, bool removeDirectories) {
    wchar_t full[kPathChars];
    bool refused = !FullFolder(folder, full, kPathChars) || IsRootFolder(full) || IsWindowsOrSystemPath(full);
    if (!refused) {
        typedef bool (*FolderQuery)(wchar_t*, size_t);
        wchar_t guarded[kPathChars];
        const FolderQuery plain[] = {GetWinDir, GetWinSysDir, GetProgramFilesDir};
        for (FolderQuery query : plain) {
            if (!refused && query(guarded, kPathChars)) {
                refused = Reaches(full, guarded);
            }
        }
        if (!refused && GetProgramFilesDir(guarded, kPathChars) &&
            AppendPath(guarded, kPathChars, guarded, L"Common Files")) {
            refused = Reaches(full, guarded);
        }
        typedef bool (*UserFolderQuery)(wchar_t*, size_t, bool);
        const UserFolderQuery perUser[] = {GetDocumentsDir, GetStartProgramsDir, GetDesktopDir};
        for (UserFolderQuery query : perUser) {
            for (int allUsers = 0; allUsers < 2 && !refused; ++allUsers) {
                wchar_t expanded[kPathChars];
                if (query(guarded, kPathChars, allUsers != 0) &&
                    ExpandEnvironmentPath(expanded, kPathChars, guarded)) {
                    refused = Reaches(full, expanded);
                }
            }
        }
        wchar_t profile[kPathChars];
        if (!refused && GetEnvironmentVariableW(L"USERPROFILE", profile, kPathChars) - 1 < kPathChars - 1) {
            refused = Reaches(full, profile);
        }
    }
    if (refused) {
        LogInfoReport(kMsgDeletionRefused, 0, folder != nullptr ? folder : L"");
        return false;
    }
    return DeleteDirectoryTree(full, removeDirectories, nullptr);
}

// ---- StepReport ------------------------------------------------------------------------------

void StepReport::Add(int code, unsigned messageId, const wchar_t* argument, bool information) {
    if (code == 0) {
        return;
    }
    const wchar_t* name = product_->GetDisplayName();
    const wchar_t* text = argument != nullptr ? argument : name;
    if (result_ == 0 && !information) {
        result_ = code;
        ReportPart parts[] = {{messageId, text, 2}, {25032, name, 0}};
        Logger::Get().Report(kLogError, kLogError, static_cast<unsigned>(code), 2, parts);
    } else {
        ReportPart part = {messageId, text, 0};
        Logger::Get().Report(kLogInformation, kLogInformation, static_cast<unsigned>(code), 1, &part);
    }
}

// ---- identity, strings and paths -------------------------------------------------------------

void Product::SetKeys(const wchar_t* shortName) {
    if (uninstallKeyCount > 0) {
        TextFormat(uninstallKeyPath, kPathChars, OV_UNINSTALL_KEY L"\\%s", uninstallKeyNames[0]);
    }
    if (isSuiteShell_) {
        TextCopy(suiteUninstallKeyPath, kPathChars, OV_UNINSTALL_KEY L"\\" OV_SUITE_ENTRY_NAME);
    } else {
        TextFormat(suiteUninstallKeyPath, kPathChars, OV_UNINSTALL_KEY L"\\" OV_SUITE_ENTRY_NAME L"\\%s",
                   shortName);
    }
    TextFormat(settingsKey, kPathChars, OV_SUITE_KEY L"\\%s", shortName);
}

bool Product::CheckBuffer(const wchar_t* buffer, size_t chars, const wchar_t* operation) {
    if (buffer == nullptr || chars == 0) {
        LogInfoReport(25520, 0, operation);
        return false;
    }
    return true;
}

int Product::SourcePathIn(const wchar_t* subfolder, wchar_t* buffer, size_t chars, const wchar_t* fileName) {
    if (!CheckBuffer(buffer, chars, L"Product::GetSourcePath")) {
        return 0;
    }
    TextClear(buffer, chars);
    if (!AppendPath(buffer, chars, GetCurrentAppDir(), subfolder) ||
        (fileName != nullptr && !AppendPath(buffer, chars, buffer, fileName))) {
        TextClear(buffer, chars);
        return 0;
    }
    return buffer[0] != L'\0';
}

void Product::LoadProductString(unsigned id, wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    wchar_t path[kPathChars];
    bool found;
    if (CurrentRole() == kRoleInstall) {
        found = GetSourcePath(path, kPathChars, KESTRA_PRODUCT_LIBRARY) != 0;
    } else {
        found = GetInstalledFilesPath(path, kPathChars, nullptr) != 0 &&
                AppendPath(path, kPathChars, path, KESTRA_PRODUCT_LIBRARY);
    }
    if (!found) {
        return;
    }
    ScopedModule library(LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (library.IsValid()) {
        LoadResourceString(library.Get(), id, buffer, chars < kMessageChars ? chars : kMessageChars);
    }
}

const wchar_t* Product::GetDisplayName() {
    if (displayName[0] == L'\0') {
        LoadProductString(22006, displayName, kMessageChars);
    }
    return displayName;
}

unsigned Product::GetPackageProductCode() {
    wchar_t code[kMessageChars];
    LoadProductString(22237, code, kMessageChars);
    return static_cast<unsigned>(ParseDecimal(code));
}

void Product::GetInstallationVersion(wchar_t* buffer, size_t chars) {
    if (!CheckBuffer(buffer, chars, L"Product::GetInstallationVersion")) {
        return;
    }
    TextClear(buffer, chars);
    wchar_t library[kPathChars];
    if (GetSourcePath(library, kPathChars, KESTRA_PRODUCT_LIBRARY)) {
        GetVersionInfoData(library, L"ProductVersion", buffer, chars, nullptr);
    }
}

bool Product::IsComponentCode(unsigned code) const {
    return code == static_cast<unsigned>(productCode) ||
           (productCode == 121 && (code == 128 || (code >= 133 && code <= 135)));
}

int Product::IsAvailable() {
    if (available == 0 && CurrentRole() != kRoleUninstall) {
        available = IsComponentCode(GetPackageProductCode());
    }
    return available;
}

// ---- installed detection ---------------------------------------------------------------------

int Product::IsInstalled(int allGenerations) {
    int count = allGenerations ? uninstallKeyCount : (uninstallKeyCount < 2 ? uninstallKeyCount : 2);
    for (int i = 0; i < count; ++i) {
        wchar_t key[kUninstallKeyChars];
        if (!TextFormat(key, kUninstallKeyChars, OV_UNINSTALL_KEY L"\\%s", uninstallKeyNames[i])) {
            continue;
        }
        wchar_t text[kRegistryTextBytes / sizeof(wchar_t)];
        RegReadString(HKEY_LOCAL_MACHINE, key, L"DisplayName", text, kRegistryTextBytes);
        if (RegReadString(HKEY_LOCAL_MACHINE, key, L"UninstallString", text, kRegistryTextBytes) ==
                ERROR_SUCCESS &&
            text[0] != L'\0') {
            TextCopy(uninstallString, kCommandLineChars, text);
            return 1;
        }
    }
    return 0;
}

int Product::RemoveSupportFiles() {
    IsInstalled(1);
    return 0;
}

int Product::RemoveLeftoverFiles() {
    IsInstalled(1);
    return 0;
}

// ---- checks ----------------------------------------------------------------------------------

bool Product::InstalledIsNewer(wchar_t* installed, wchar_t* package) {
    Logger::Get().Message(25530, nullptr);
    GetInstalledVersion(installed, kPathChars);
    GetInstallationVersion(package, kPathChars);
    return CompareVersionStrings(package, installed) < 0;
}

int Product::CheckVersion() {
    wchar_t installed[kPathChars];
    wchar_t package[kPathChars];
    if (!available || !InstalledIsNewer(installed, package)) {
        return 0;
    }
    ReportPart parts[] = {{25019, GetDisplayName(), 0}, {25517, package, 0}, {25518, installed, 0}};
    Logger::Get().Report(kLogInformation, kLogInformation, ErrorNewerVersionInstalled, 3, parts);
    return ErrorNewerVersionInstalled;
}

int Product::CheckAll(wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    if (!available) {
        return 0;
    }
    LogInfoReport(25508, 0, GetDisplayName());
    int first = 0;
    wchar_t text[kMessageChars];
    // Keeps the first failure's code and the text its check wrote.
    auto keep = [&](int code) {
        if (code != 0 && first == 0) {
            first = code;
            TextCopyCut(buffer, chars, text);
        }
        return code;
    };
    if (CurrentRole() == kRoleInstall) {
        TextClear(text, kMessageChars);
        int os = keep(CheckOperatingSystem(text, kMessageChars));
        TextClear(text, kMessageChars);
        int prerequisites = keep(CheckPrerequisites(text, kMessageChars));
        TextClear(text, kMessageChars);
        int version = keep(CheckVersion());
        if (os == 0 && prerequisites == 0 && version == 0) {
            keep(RemoveConflictingProducts(text, kMessageChars));
        }
    }
    TextClear(text, kMessageChars);
    keep(CheckPermissions(text, kMessageChars));
    TextClear(text, kMessageChars);
    keep(CheckOtherSessions(text, kMessageChars));
    return first;
}

int Product::CheckPermissions(wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    if (!available || IsWindows9x()) {
        return 0;
    }
    Logger::Get().Message(25510, nullptr);
    int code = CheckRegistryPermissions(buffer, chars);
    Logger::Get().Message(25511, nullptr);
    wchar_t text[kMessageChars];
    int folders = CheckDirectoryPermissions(text, kMessageChars);
    if (code == 0 && folders != 0) {
        code = folders;
        TextCopyCut(buffer, chars, text);
    }
    return code;
}

// ---- conflicting products --------------------------------------------------------------------

int Product::FindUninstallEntry(const wchar_t* keyName, wchar_t* name, size_t nameChars, wchar_t* uninstall,
                                size_t uninstallChars, int (*check)(wchar_t*, size_t)) {
    TextClear(name, nameChars);
    TextClear(uninstall, uninstallChars);
    wchar_t key[kUninstallKeyChars];
    if (!TextFormat(key, kUninstallKeyChars, OV_UNINSTALL_KEY L"\\%s", keyName)) {
        return 0;
    }
    wchar_t text[kRegistryTextBytes / sizeof(wchar_t)];
    bool named =
        RegReadString(HKEY_LOCAL_MACHINE, key, L"DisplayName", text, kRegistryTextBytes) == ERROR_SUCCESS;
    if (named) {
        TextCopyCut(name, nameChars, text);
    }
    if (RegReadString(HKEY_LOCAL_MACHINE, key, L"UninstallString", text, kRegistryTextBytes) !=
        ERROR_SUCCESS) {
        return named ? 1 : 0;
    }
    TextCopy(uninstall, uninstallChars, text);
    if (check == nullptr || check(name, nameChars) != 0) {
        return 1;
    }
    TextClear(name, nameChars);
    TextClear(uninstall, uninstallChars);
    return 0;
}

int Product::NextConflictingProduct(wchar_t* name, size_t nameChars, wchar_t* uninstall,
                                    size_t uninstallChars) {
    TextClear(name, nameChars);
    TextClear(uninstall, uninstallChars);
    while (conflictIndex < conflictCount) {
        const ConflictingProduct& row = conflicts[conflictIndex++];
        if (FindUninstallEntry(row.uninstallKeyName, name, nameChars, uninstall, uninstallChars, row.check)) {
            return 1;
        }
    }
    return 0;
}

void Product::GetConflictProcessNames(wchar_t* process, size_t processChars, wchar_t* executable,
                                      size_t executableChars) {
    TextClear(process, processChars);
    TextClear(executable, executableChars);
    if (conflictIndex < 1 || conflictIndex > conflictCount) {
        return;
    }
    const ConflictingProduct& row = conflicts[conflictIndex - 1];
    if (row.processName != nullptr) {
        TextCopy(process, processChars, row.processName);
    }
    if (row.executableName != nullptr) {
        TextCopy(executable, executableChars, row.executableName);
    }
}

int Product::RemoveConflictingProducts(wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    if (!available || !SetupOptions::Get().productCheck) {
        return 0;
    }
    HWND owner = RoleWindow();
    Logger::Get().Message(25529, nullptr);
    conflictIndex = 0;
    int result = 0;
    wchar_t name[kConflictNameChars];
    wchar_t command[kCommandLineChars];
    while (NextConflictingProduct(name, kConflictNameChars, command, kCommandLineChars)) {
        LogInfoReport(25022, 0, name);
        if (Logger::Get().GetDisplayLevel() == 0) {
            if (result == 0) {
                result = ErrorConflictRemovalDeclined;
            }
        } else if (result != 0) {
            continue;
        } else if (AskConflictRemoval(owner, name, GetDisplayName()) != 0) {
            result = ErrorConflictRemovalDeclined;
        } else {
            const ConflictingProduct& row = conflicts[conflictIndex - 1];
            Logger::Get().Message(25513, name);
            Logger::Get().Message(25514, command);
            RunCommand(command, nullptr);
            wchar_t process[kPathChars];
            wchar_t executable[kPathChars];
            GetConflictProcessNames(process, kPathChars, executable, kPathChars);
            if (process[0] != L'\0' || executable[0] != L'\0') {
                WaitForProcess(process, executable, kConflictAppearMs);
            }
            wchar_t again[kConflictNameChars];
            wchar_t againCommand[kCommandLineChars];
            if (FindUninstallEntry(row.uninstallKeyName, again, kConflictNameChars, againCommand,
                                   kCommandLineChars, row.check)) {
                ReportPart part = {25023, name, 0};
                Logger::Get().Report(kLogError, kLogError, ErrorConflictRemovalFailed, 1, &part);
                result = ErrorConflictRemovalFailed;
            }
        }
        if (result != 0 && buffer != nullptr && buffer[0] == L'\0') {
            TextCopyCut(buffer, chars, name);
        }
    }
    return result;
}

// ---- running programs ------------------------------------------------------------------------

int Product::RunCommand(const wchar_t* commandLine, unsigned* exitCode) {
    if (exitCode != nullptr) {
        *exitCode = 0;
    }
    if (!active) {
        return 0;
    }
    Logger::Get().Message(0, commandLine);
    wchar_t line[kCommandLineChars];
    if (commandLine == nullptr || !TextCopy(line, kCommandLineChars, commandLine)) {
        return ErrorProcessStart;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return ErrorProcessStart;
    }
    ScopedHandle processHandle(process.hProcess);
    ScopedHandle threadHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    if (exitCode != nullptr) {
        *exitCode = code;
    }
    return 0;
}

// ---- folders and groups ----------------------------------------------------------------------

int Product::ResolveInstallDirectory() {
    const wchar_t* destination = SetupOptions::Get().destinationText();
    if (isSuiteShell_) {
        TextCopy(installDirectory, kPathChars, destination);
    } else if (!GetInstalledPath(installDirectory, kPathChars, nullptr)) {
        if (!AppendPath(installDirectory, kPathChars, destination, GetDisplayName())) {
            TextClear(installDirectory, kPathChars);
        }
    }
    LogInfoReport(25527, 0, installDirectory);
    return installDirectory[0] != L'\0';
}

int Product::ResolveProgramGroup() {
    const wchar_t* group = SetupOptions::Get().groupText();
    if (isSuiteShell_) {
        TextCopy(programGroup, kPathChars, group);
    } else if (!AppendPath(programGroup, kPathChars, group, GetDisplayName())) {
        TextClear(programGroup, kPathChars);
    }
    return programGroup[0] != L'\0';
}

int Product::CreateInstallDirectory(wchar_t* buffer, size_t chars) {
    if (!active && !isSuiteShell_) {
        return 0;
    }
    // CreateDirectoryPath logs its own failure; an existing folder is success.
    if (CreateDirectoryPath(installDirectory)) {
        LogInfoReport(25516, 0, installDirectory);
        return 0;
    }
    TextCopyCut(buffer, chars, installDirectory);
    return ErrorCreateDirectory;
}

// ---- shared files ----------------------------------------------------------------------------

int Product::CopySharedFiles(wchar_t* failures, size_t chars) {
    if (!active || isSuiteShell_) {
        return 0;
    }
    Logger::Get().Message(25535, nullptr);
    TextClear(failures, chars);
    wchar_t record[kPathChars] = {};
    wchar_t files[kPathChars];
    wchar_t shellSource[kPathChars];
    wchar_t ownSource[kPathChars];
    GetInstalledFilesPath(files, kPathChars, nullptr);
    ProductMain::Get().GetSourcePath(shellSource, kPathChars, nullptr);
    GetSourcePath(ownSource, kPathChars, nullptr);
    const wchar_t* const shared[] = {KESTRA_FRAMEWORK_LIBRARY, KESTRA_STRING_LIBRARY, L"license.txt"};
    for (const wchar_t* name : shared) {
        CopyFileChecked(shellSource, files, name, nullptr, record);
    }
    CopyFileChecked(GetCurrentAppDir(), files, GetCurrentAppModuleName(), L"ovuninst.exe", record);
    CopyFileChecked(ownSource, files, KESTRA_PRODUCT_LIBRARY, nullptr, record);
    TextCopyCut(failures, chars, record);
    return record[0] != L'\0' ? ErrorSupportFiles : 0;
}

void Product::RemoveSharedFiles() {
    wchar_t files[kPathChars];
    if (!GetInstalledFilesPath(files, kPathChars, nullptr)) {
        return;
    }
    const wchar_t* const names[] = {L"ovavfrm.dll",   L"ovavprod.dll",  L"ovavres.dll",
                                    L"kestrafrm.dll", L"kestrares.dll", L"license.txt",
                                    L"unicows.dll",   L"trustadd.exe",  L"ovuninst.exe"};
    DeleteFilesIn(files, names, sizeof(names) / sizeof(names[0]));
}

// ---- the common install and uninstall steps --------------------------------------------------

int Product::CommonBeginInstall() {
    if (!active) {
        return 0;
    }
    LogInfoReport(25532, 0, GetDisplayName());
    ShowProductProgress(24000, GetDisplayName());
    ResolveProgramGroup();
    ResolveInstallDirectory();
    wchar_t ignored[kPathChars];
    CreateInstallDirectory(ignored, kPathChars);
    GetInstalledVersion(previousVersion, kPathChars);
    return 0;
}

void Product::CommonFinishInstall(StepReport& report) {
    report.Add(WriteSettings(), 25044);
    report.Add(RegisterUninstall(), 25034);
    wchar_t failures[kPathChars];
    int code = CopySharedFiles(failures, kPathChars);
    report.Add(code, 25033, failures);
    code = CopySupportFiles(failures, kPathChars);
    report.Add(code, 25033, failures);
    RemoveProgramGroups(1);
    RemoveProgramGroups(0);
    report.Add(CreateShortcuts(), 25035);
}

void Product::TrustedProgramsStep(StepReport& report) {
    report.Add(AddTrustedPrograms(1, 1), 25038, nullptr, true);
}

int Product::CommonBeginUninstall() {
    if (!active) {
        return 0;
    }
    LogInfoReport(25540, 0, GetDisplayName());
    ShowProductProgress(24001, GetDisplayName());
    RegCreateKeyPath(HKEY_LOCAL_MACHINE, settingsKey);
    typedef int (Product::*Getter)(wchar_t*, size_t, int*);
    struct Value {
        const wchar_t* name;
        Getter getter;
    };
    const Value values[] = {{L"Path", &Product::GetInstalledPath},
                            {L"Files", &Product::GetInstalledFilesPath}};
    wchar_t text[kPathChars];
    for (const Value& value : values) {
        if (RegReadString(HKEY_LOCAL_MACHINE, settingsKey, value.name, text, sizeof(text)) != ERROR_SUCCESS &&
            (this->*value.getter)(text, kPathChars, nullptr)) {
            RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, settingsKey, value.name, text);
        }
    }
    if (RegReadString(HKEY_LOCAL_MACHINE, settingsKey, L"Group", text, sizeof(text)) != ERROR_SUCCESS &&
        GetInstalledGroup(text, kPathChars)) {
        RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, settingsKey, L"Group", text);
    }
    return 0;
}
