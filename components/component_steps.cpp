#include "components/component_steps.h"

#include "components/product_main.h"
#include "host/files.h"
#include "host/paths.h"
#include "host/registry.h"
#include "host/shortcuts.h"
#include "host/system.h"
#include "host/version_info.h"
#include "log/logger.h"
#include "product/permissions.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "ui/framework_abi.h"
#include "ui/prerequisites.h"
#include "ui/resource_string.h"

namespace {

const wchar_t* const kOperationNames[] = {
    L"GetInstalledVersion",  L"GetInstalledPath",         L"GetInstalledFilesPath",     L"GetInstalledGroup",
    L"CheckOperatingSystem", L"CheckRegistryPermissions", L"CheckDirectoryPermissions", L"CheckPrerequisites",
};
// What the suite's settings keep of each folder and of the group, by operation.
const wchar_t* const kSettingNames[] = {nullptr, L"Path", L"Files", L"Group"};

const wchar_t* const kProbeBases[] = {
    nullptr,
    L"SOFTWARE\\Classes",
    L"SOFTWARE\\Classes\\CLSID",
    L"SOFTWARE\\Classes\\Interface",
    L"SOFTWARE\\Classes\\Installer\\Products",
    L"SOFTWARE\\Classes\\Installer\\Features",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
    L"SOFTWARE\\Microsoft\\Office\\Outlook\\Addins",
};

}  // namespace

bool HasBuffer(const wchar_t* className, ComponentOperation operation, const wchar_t* buffer, size_t chars) {
    if (buffer != nullptr && chars != 0) {
        return true;
    }
    LogInfoReportF(25520, 0, L"%s::%s", className, kOperationNames[operation]);
    return false;
}

int NoCheck(wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    return 0;
}

bool CheckApplies(const Product& product, const wchar_t* className, ComponentOperation operation,
                  wchar_t* buffer, size_t chars, bool permissions) {
    HasBuffer(className, operation, buffer, chars);
    TextClear(buffer, chars);
    return product.available && !(permissions && IsWindows9x());
}

bool ReadMachineText(const wchar_t* key, const wchar_t* name, wchar_t* buffer, size_t chars) {
    RegReadString(HKEY_LOCAL_MACHINE, key, name, buffer, static_cast<DWORD>(chars * sizeof(wchar_t)));
    return buffer[0] != L'\0';
}

int ReadInstalledValue(Product& product, const wchar_t* className, ComponentOperation operation,
                       const wchar_t* key, const wchar_t* name, wchar_t* buffer, size_t chars) {
    if (!HasBuffer(className, operation, buffer, chars)) {
        return 0;
    }
    // After an uninstall the product's own keys are gone; the suite's copy in its settings remains.
    if (!ReadMachineText(key, name, buffer, chars) && CurrentRole() != kRoleInstall) {
        ReadMachineText(product.settingsKey, kSettingNames[operation], buffer, chars);
    }
    if (operation != kGetInstalledGroup) {
        TrimPathEnd(buffer);
    }
    return buffer[0] != L'\0';
}

int ReadInstalledVersion(Product& product, const wchar_t* className, const wchar_t* key, const wchar_t* name,
                         wchar_t* buffer, size_t chars) {
    if (!HasBuffer(className, kGetInstalledVersion, buffer, chars)) {
        return 0;
    }
    if (!product.IsInstalled(1) || !ReadMachineText(key, name, buffer, chars)) {
        TextCopy(buffer, chars, L"0");
    }
    return buffer[0] != L'\0';
}

int RefuseOldWindows(const Product& product, const wchar_t* className, wchar_t* buffer, size_t chars) {
    if (!CheckApplies(product, className, kCheckOperatingSystem, buffer, chars, false)) {
        return 0;
    }
    wchar_t text[kMessageChars];
    GetOperatingSystemDescription(text, kPathChars);
    Logger::Get().ValueText(25509, text, nullptr);
    const OSVERSIONINFOEXW* version = GetOsVersionInfo();
    if (version == nullptr) {
        return 0;
    }
    unsigned long major = version->dwMajorVersion;
    unsigned long minor = version->dwMinorVersion;
    if (IsWindowsNT() && major < 4) {
        TextFormatCut(text, kMessageChars, L"Windows NT %lu.%02lu", major, minor);
    } else if (IsWindows9x() && major == 4 && minor == 0) {
        TextCopy(text, kMessageChars, L"Windows 95");
    } else {
        return 0;
    }
    if (buffer != nullptr && buffer[0] == L'\0') {
        TextCopyCut(buffer, chars, text);
    }
    LogInfoReport(25012, ErrorOperatingSystem, text);
    return ErrorOperatingSystem;
}

int CheckInternetLibraries(const Product& product, const wchar_t* className, wchar_t* buffer, size_t chars) {
    if (!CheckApplies(product, className, kCheckPrerequisites, buffer, chars, false)) {
        return 0;
    }
    Logger::Get().Message(25531, nullptr);
    int result = 0;
    // From the system folder only: a bare name would let a file beside the setup program answer.
    wchar_t path[kPathChars];
    if (!(GetWinSysDir(path, kPathChars) && AppendPath(path, kPathChars, path, L"WININET.DLL")) ||
        CheckFileVersion(path, 5, 0) != 0) {
        TextCopy(buffer, chars, L"WININET.DLL");
        result = ErrorPrerequisite;
    }
    wchar_t text[kPathChars];
    int code = CheckWinsock(2, 2, text, kPathChars);
    if (code != 0) {
        if (result == 0) {
            result = code;
        }
        if (buffer != nullptr && buffer[0] == L'\0') {
            TextCopyCut(buffer, chars, text);
        }
    }
    return result;
}

int ProbeSystemFolders(const Product& product, const wchar_t* className, wchar_t* buffer, size_t chars) {
    if (!CheckApplies(product, className, kCheckDirectoryPermissions, buffer, chars, true)) {
        return 0;
    }
    wchar_t failure[kMessageChars] = {};
    wchar_t folder[kPathChars];
    if (GetWinDir(folder, kPathChars)) {
        ProbeDirectory(folder, failure, kMessageChars);
    }
    if (GetWinSysDir(folder, kPathChars)) {
        ProbeDirectory(folder, failure, kMessageChars);
    }
    if (failure[0] == L'\0') {
        return 0;
    }
    TextCopyCut(buffer, chars, failure);
    return ErrorDirectoryPermission;
}

// ---- registry probes ---------------------------------------------------------------------------

void KeyProbes::Probe(const wchar_t* key, ProbeMode mode) {
    if (mode == kProbeKeep) {
        ProbeRegistryKey(HKEY_LOCAL_MACHINE, key, 0, created_, kPathChars, failure_, kMessageChars);
    } else {
        ProbeRegistryKey(HKEY_LOCAL_MACHINE, key, mode == kProbeAtOnce, nullptr, 0, failure_, kMessageChars);
    }
}

void KeyProbes::Run(const KeyProbe* rows, int count, const wchar_t* argument) {
    for (int i = 0; i < count; ++i) {
        const KeyProbe& row = rows[i];
        if (row.mode == kProbeEndGroup) {
            EndGroup();
            continue;
        }
        const wchar_t* base = row.base == kProbeGroupKey ? groupKey_ : kProbeBases[row.base];
        wchar_t key[kPathChars];
        if (!AppendPath(key, kPathChars, base, row.name != nullptr ? row.name : argument)) {
            continue;
        }
        if (row.mode == kProbeKeep && groupKey_[0] == L'\0') {
            TextCopy(groupKey_, kPathChars, key);
        }
        Probe(key, row.mode);
    }
}

void KeyProbes::EndGroup() {
    if (created_[0] != L'\0') {
        RegDeleteKeyTree(HKEY_LOCAL_MACHINE, created_);
    }
    TextClear(created_, kPathChars);
    TextClear(groupKey_, kPathChars);
}

void KeyProbes::SuiteEntryGroup(const Product& product) {
    ProductMain& shell = ProductMain::Get();
    if (shell.shellNeeded || shell.IsInstalled(0)) {
        Probe(shell.uninstallKeyPath, kProbeKeep);
        Probe(product.suiteUninstallKeyPath, kProbeAtOnce);
        EndGroup();
    }
}

void KeyProbes::SettingsGroup(const Product& product) {
    if (CurrentRole() != kRoleInstall) {
        Probe(L"SOFTWARE\\Orvane", kProbeKeep);
        Probe(OV_SUITE_KEY, kProbeKeep);
        Probe(product.settingsKey, kProbeAtOnce);
        EndGroup();
    }
}

int KeyProbes::Result(wchar_t* buffer, size_t chars) const {
    if (failure_[0] == L'\0') {
        return 0;
    }
    TextCopyCut(buffer, chars, failure_);
    return ErrorRegistryPermission;
}

// ---- the component's own setup program -----------------------------------------------------------

int RunComponentSetup(Product& product, const wchar_t* subfolder, const wchar_t* module,
                      const wchar_t* format, bool* ran) {
    *ran = false;
    wchar_t folder[kPathChars];
    if (!AppendPath(folder, kPathChars, GetCurrentAppDir(), subfolder)) {
        return ErrorSetupProgramMissing;
    }
    wchar_t command[kCommandLineChars];
    if (!BuildCommandLine(command, kCommandLineChars, folder, module, format, product.installDirectory)) {
        return ErrorSetupCommandLine;
    }
    *ran = true;
    int result = product.RunCommand(command, nullptr);
    if (result == 0) {
        // The setup program's exit code says nothing reliable: the version it left does.
        wchar_t package[kPathChars];
        product.GetInstallationVersion(package, kPathChars);
        product.GetInstalledVersion(product.installedVersion, kPathChars);
        if (CompareVersionStrings(package, product.installedVersion) > 0) {
            result = ErrorVersionAfterInstall;
        }
    }
    return result;
}

void RemoveUnusedInstallFolder(Product& product) {
    if (!product.IsInstalled(1)) {
        RemoveEmptyDirectories(product.installDirectory, true);
    }
}

void RemoveHelpFile(const wchar_t* folder, const wchar_t* helpFile) {
    wchar_t path[kPathChars];
    if (folder[0] == L'\0') {
        return;
    }
    if (AppendPath(path, kPathChars, folder, helpFile)) {
        DeleteFileW(path);
    }
    RemoveEmptyDirectories(folder, true);
}

// ---- shortcuts, files and settings ---------------------------------------------------------------

int CreateComponentShortcuts(Product& product, const ShortcutSpec* rows, int count) {
    if (!product.active || !SetupOptions::Get().createProgramGroup) {
        return 0;
    }
    Logger::Get().Message(25537, nullptr);
    const wchar_t* displayName = product.GetDisplayName();
    wchar_t group[kPathChars];
    int code = product.CreateStartMenuFolder(group, kPathChars);
    if (code != 0) {
        LogInfoReport(25035, static_cast<unsigned>(code), displayName);
        return code;
    }
    ProductMain& shell = ProductMain::Get();
    bool withSuite = shell.shellNeeded || shell.IsInstalled(0);
    wchar_t folders[2][kPathChars];
    // A component on its own may have no suite shell to point at: then its shortcuts to the
    // shell's programs are left out rather than failing the whole group.
    if (!product.GetInstalledFilesPath(folders[kInComponentFiles], kPathChars, nullptr) ||
        (!shell.GetInstalledFilesPath(folders[kInShellFiles], kPathChars, nullptr) && withSuite)) {
        return ErrorShortcuts;
    }
    bool ok = true;
    for (int i = 0; i < count; ++i) {
        const ShortcutSpec& row = rows[i];
        if ((row.withoutSuite && withSuite) ||
            (row.target == kInShellFiles && folders[kInShellFiles][0] == L'\0')) {
            continue;
        }
        wchar_t format[kMessageChars];
        wchar_t name[kMessageChars];
        if (row.nameId == 0) {
            TextCopy(name, kMessageChars, displayName);
        } else if (LoadResourceString(nullptr, row.nameId, format, kMessageChars) == 0 ||
                   !TextFormat(name, kMessageChars, format, displayName)) {
            TextClear(name, kMessageChars);
        }
        if (name[0] == L'\0') {
            continue;
        }
        if (row.target == kWebAddress) {
            wchar_t address[kMessageChars];
            ok &= TextFormat(address, kMessageChars, row.file, row.arguments, row.arguments) &&
                  CreateUrlShortcut(name, group, address);
        } else {
            ok &= CreateShortcut(name, group, folders[row.target], row.file, row.arguments, nullptr, 0);
        }
    }
    return ok ? 0 : ErrorShortcuts;
}

int CopyComponentSupportFiles(Product& product, const wchar_t* helpFile, const wchar_t* helpFolder,
                              bool unicodeLayer, wchar_t* failures, size_t chars) {
    if (!product.active) {
        return 0;
    }
    Logger::Get().Message(25536, nullptr);
    TextClear(failures, chars);
    wchar_t record[kPathChars] = {};
    wchar_t files[kPathChars];
    wchar_t shellSource[kPathChars];
    wchar_t ownSource[kPathChars];
    product.GetInstalledFilesPath(files, kPathChars, nullptr);
    ProductMain::Get().GetSourcePath(shellSource, kPathChars, nullptr);
    product.GetSourcePath(ownSource, kPathChars, nullptr);
    if (unicodeLayer && IsWindows9x()) {
        CopyUnicodeLayer(shellSource, files, record);
    }
    CopyFileChecked(shellSource, files, KESTRA_FRAMEWORK_LIBRARY, L"ovavfrm.dll", record);
    CopyFileChecked(shellSource, files, KESTRA_STRING_LIBRARY, L"ovavres.dll", record);
    CopyFileChecked(ownSource, helpFolder != nullptr ? helpFolder : files, helpFile, nullptr, record);
    TextCopyCut(failures, chars, record);
    return record[0] != L'\0' ? ErrorSupportFiles : 0;
}

void CopyUnicodeLayer(const wchar_t* source, const wchar_t* folder, wchar_t* record) {
    wchar_t failed[kPathChars] = {};
    wchar_t existing[kPathChars];
    // A layer already in place from an earlier install serves as well.
    if (!CopyFileChecked(source, folder, L"unicows.dll", nullptr, failed) &&
        !(AppendPath(existing, kPathChars, folder, L"unicows.dll") && FileExists(existing)) &&
        record[0] == L'\0') {
        TextCopy(record, kPathChars, failed);
    }
}

void CopyUnicodeLayerForSetup(const Product& product) {
    if (IsWindows9x()) {
        wchar_t shellSource[kPathChars];
        ProductMain::Get().GetSourcePath(shellSource, kPathChars, nullptr);
        CopyFileChecked(shellSource, product.installDirectory, L"unicows.dll", nullptr, nullptr);
    }
}

int WriteProgramGroupSetting(const Product& product, const wchar_t* key) {
    if (!product.active) {
        return 0;
    }
    Logger::Get().Message(25533, nullptr);
    if (product.programGroup[0] != L'\0') {
        RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, key, L"ProgramGroup", product.programGroup);
    }
    return 0;
}
