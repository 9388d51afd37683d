#include "components/product_main.h"

#include <new>

#include "components/component_steps.h"
#include "host/files.h"
#include "host/paths.h"
#include "host/registry.h"
#include "host/shortcuts.h"
#include "host/system.h"
#include "host/version_info.h"
#include "log/logger.h"
#include "process/session_check.h"
#include "product/permissions.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "setup/setup.h"
#include "ui/framework_abi.h"
#include "ui/prerequisites.h"
#include "ui/progress_window.h"
#include "ui/resource_string.h"

namespace {

const wchar_t* const kUninstallKeyNames[] = {OV_SUITE_ENTRY_NAME, L"Kestra_placeholder", OV_OLD_SUITE_NAME};
const wchar_t* const kOldGroupNames[] = {OV_OLD_SUITE_NAME, L"Tarnel Internet Security Suite"};
const TrustedProgram kTrustedPrograms[] = {
    {L"ovkestra.exe", {2, 2, 3, 3, 3, 3}},
    {L"ovkestradt.exe", {2, 2, 3, 3, 3, 3}},
};

// The files of the package's "sc" folder: the suite's programs and their libraries.
const wchar_t* const kShellFiles[] = {
    L"ovkestra.exe",      L"ovkestra.exe.manifest",
    L"ovkestrafrm.dll",   L"ovkestrares.dll",
    L"ovkestraprod.dll",  L"ovkestraastab.dll",
    L"ovkestraavtab.dll", L"ovkestrafwtab.dll",
    L"ovkestrapmtab.dll", L"ovkestra.dat",
    L"pmdash.dll",        L"zsdk.dll",
    L"ovkestradt.exe",    L"ovavif.dll",
    L"ovavutil.dll",
};
const wchar_t* const kRootFiles[] = {KESTRA_PRODUCT_LIBRARY, KESTRA_FRAMEWORK_LIBRARY, KESTRA_STRING_LIBRARY,
                                     L"license.txt"};

const wchar_t kDefaultServer[] = L"http://update.orvane.com/";
const wchar_t kDefaultServerPath[] = L"Antivirus/GetSignature/autodownload.pl";

bool ReadText(const wchar_t* key, const wchar_t* name, wchar_t* buffer, size_t chars) {
    return RegReadString(HKEY_LOCAL_MACHINE, key, name, buffer,
                         static_cast<DWORD>(chars * sizeof(wchar_t))) == ERROR_SUCCESS &&
           buffer[0] != L'\0';
}

bool ValueMissing(const wchar_t* key, const wchar_t* name) {
    BYTE data[kPathChars * sizeof(wchar_t)];
    LONG code = RegReadString(HKEY_LOCAL_MACHINE, key, name, data, sizeof(data));
    return code != ERROR_SUCCESS && code != ERROR_MORE_DATA;
}

}  // namespace

ProductMain& ProductMain::Get() {
    // Built in zeroed storage on first use: a plain static would be laid out whole in the
    // program's initialised data. Nothing to release at exit.
    alignas(ProductMain) static unsigned char storage[sizeof(ProductMain)];
    static ProductMain* shell = nullptr;
    if (shell == nullptr) {
        shell = new (storage) ProductMain;
    }
    return *shell;
}

ProductMain::ProductMain() {
    isSuiteShell_ = true;
    productCode = 140;
    available = 1;
    uninstallKeyNames = kUninstallKeyNames;
    uninstallKeyCount = 3;
    oldGroupNames = kOldGroupNames;
    oldGroupCount = 2;
    trustedPrograms = kTrustedPrograms;
    trustedProgramCount = 2;
    SetKeys(L"suite");
}

void ProductMain::TakePackageCode(unsigned code) {
    productCode = static_cast<int>(code);
    edition = code == 123 ? 1 : (code == 140 ? 2 : 0);
}

// ---- where the installed shell is --------------------------------------------------------------

int ProductMain::GetInstalledVersion(wchar_t* buffer, size_t chars) {
    if (!CheckBuffer(buffer, chars, L"ProductMain::GetInstalledVersion")) {
        return 0;
    }
    if (!IsInstalled(1) || !ReadText(OV_SUITE_KEY, L"Version", buffer, chars)) {
        TextCopy(buffer, chars, L"0");
    }
    return buffer[0] != L'\0';
}

int ProductMain::GetInstalledFilesPath(wchar_t* buffer, size_t chars, int* generation) {
    if (!CheckBuffer(buffer, chars, L"ProductMain::GetInstalledFilesPath")) {
        return 0;
    }
    TextClear(buffer, chars);
    DWORD stored = 0;
    if (RegReadString(HKEY_LOCAL_MACHINE, OV_SUITE_KEY, L"Generation", &stored, sizeof(stored)) !=
        ERROR_SUCCESS) {
        stored = 0;
    }
    if (generation != nullptr) {
        *generation = 0;
    }
    if (ReadText(OV_SUITE_KEY, L"Path", buffer, chars)) {
        if (generation != nullptr) {
            *generation = static_cast<int>(stored);
        }
    } else if (stored < 2) {
        ReadText(OV_OLD_SUITE_KEY, L"InstallDirectory", buffer, chars);
    }
    if (buffer[0] == L'\0' && CurrentRole() != kRoleInstall) {
        ReadText(settingsKey, L"Files", buffer, chars);
    }
    TrimPathEnd(buffer);
    return buffer[0] != L'\0';
}

int ProductMain::GetInstalledPath(wchar_t* buffer, size_t chars, int* generation) {
    if (!CheckBuffer(buffer, chars, L"ProductMain::GetInstalledPath")) {
        return 0;
    }
    if (!GetInstalledFilesPath(buffer, chars, generation) && CurrentRole() != kRoleInstall) {
        ReadText(settingsKey, L"Path", buffer, chars);
    }
    TrimPathEnd(buffer);
    return buffer[0] != L'\0';
}

int ProductMain::GetInstalledGroup(wchar_t* buffer, size_t chars) {
    if (!CheckBuffer(buffer, chars, L"ProductMain::GetInstalledGroup")) {
        return 0;
    }
    TextClear(buffer, chars);
    if (!ReadText(OV_SUITE_KEY, L"Group", buffer, chars) && CurrentRole() != kRoleInstall) {
        ReadText(settingsKey, L"Group", buffer, chars);
    }
    return buffer[0] != L'\0';
}

int ProductMain::GetSourcePath(wchar_t* buffer, size_t chars, const wchar_t* fileName) {
    return SourcePathIn(nullptr, buffer, chars, fileName);
}

// ---- checks ------------------------------------------------------------------------------------

int ProductMain::CheckVersion() {
    wchar_t installed[kPathChars];
    wchar_t package[kPathChars];
    if (available && InstalledIsNewer(installed, package)) {
        installShell = 0;
    }
    return 0;
}

int ProductMain::CheckOperatingSystem(wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    return 0;
}

int ProductMain::CheckRegistryPermissions(wchar_t* buffer, size_t chars) {
    if (!CheckBuffer(buffer, chars, L"ProductMain::CheckRegistryPermissions")) {
        return 0;
    }
    TextClear(buffer, chars);
    if (!available || IsWindows9x()) {
        return 0;
    }
    wchar_t failure[kMessageChars] = {};
    wchar_t created[kPathChars] = {};
    ProbeRegistryKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane", 0, created, kPathChars, failure, kMessageChars);
    ProbeRegistryKey(HKEY_LOCAL_MACHINE, OV_SUITE_KEY, 0, created, kPathChars, failure, kMessageChars);
    if (CurrentRole() != kRoleInstall) {
        ProbeRegistryKey(HKEY_LOCAL_MACHINE, settingsKey, 1, nullptr, 0, failure, kMessageChars);
    }
    if (created[0] != L'\0') {
        RegDeleteKeyTree(HKEY_LOCAL_MACHINE, created);
    }
    ProbeRegistryKey(HKEY_LOCAL_MACHINE, uninstallKeyPath, 1, nullptr, 0, failure, kMessageChars);
    ProbeRegistryKey(HKEY_LOCAL_MACHINE, OV_RUNONCE_KEY, 0, nullptr, 0, failure, kMessageChars);
    if (failure[0] == L'\0') {
        return 0;
    }
    TextCopyCut(buffer, chars, failure);
    return ErrorRegistryPermission;
}

int ProductMain::CheckDirectoryPermissions(wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    return 0;
}

int ProductMain::CheckPrerequisites(wchar_t* buffer, size_t chars) {
    Logger::Get().Message(25531, nullptr);
    return CheckRichEditVersion(5, 30, buffer, chars);
}

int ProductMain::CheckOtherSessions(wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    if (!available) {
        return 0;
    }
    Logger::Get().Message(25528, nullptr);
    return CheckSessions();
}

// ---- install -----------------------------------------------------------------------------------

int ProductMain::BeginInstall(wchar_t*, size_t) {
    ResolveProgramGroup();
    ResolveInstallDirectory();
    GetInstalledVersion(previousVersion, kPathChars);
    GetInstalledVersion(installedVersion, kPathChars);
    GetInstalledPath(previousPath, kPathChars, nullptr);
    if (!installShell) {
        return 0;
    }
    LogInfoReport(25532, 0, GetDisplayName());
    ShowProductProgress(24000, GetDisplayName());
    wchar_t ignored[kPathChars];
    CreateInstallDirectory(ignored, kPathChars);
    return StopSuitePrograms();
}

int ProductMain::Install() {
    if (!installShell) {
        return 0;
    }
    LogInfoReport(25532, 0, GetDisplayName());
    ShowProductProgress(24000, GetDisplayName());
    StepReport report(this);
    report.Add(WriteSettings(), 25044);
    GetInstalledVersion(installedVersion, kPathChars);
    wchar_t failures[kPathChars];
    int code = CopySupportFiles(failures, kPathChars);
    report.Add(code, 25033, failures);
    RemoveProgramGroups(1);
    RemoveProgramGroups(0);
    report.Add(CreateShortcuts(), 25035);
    report.Add(RegisterUninstall(), 25034);
    TrustedProgramsStep(report);
    return report.result();
}

int ProductMain::FinishInstall() {
    if (!installShell) {
        return 0;
    }
    ShowProductProgress(24000, GetDisplayName());
    wchar_t current[kPathChars];
    GetInstalledPath(current, kPathChars, nullptr);
    if (previousPath[0] != L'\0' && !PathsEqual(previousPath, current, true)) {
        DeleteProductFolder(previousPath, false);
    }
    RemoveUninstallKeys();

    wchar_t oldFolder[kPathChars] = {};
    ReadText(OV_OLD_SUITE_KEY, L"InstallDirectory", oldFolder, kPathChars);
    HKEY oldEntry = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, OV_UNINSTALL_KEY L"\\" OV_OLD_SUITE_NAME, 0, KEY_READ, &oldEntry) ==
        ERROR_SUCCESS) {
        RegCloseKey(oldEntry);
    } else {
        RegDeleteKeyTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Carapel");
        RegDeleteKeyTree(HKEY_LOCAL_MACHINE, OV_OLD_SUITE_KEY);
    }
    if (oldFolder[0] != L'\0') {
        bool inUse = PathsEqual(oldFolder, installDirectory, true);
        Setup* setup = Setup::Get();
        for (int i = 0; setup != nullptr && !inUse && i < setup->products.count(); ++i) {
            inUse = PathsEqual(oldFolder, setup->products[i]->installDirectory, true);
        }
        if (!inUse && DeleteProductFolder(oldFolder, false)) {
            RemoveEmptyDirectories(oldFolder, true);
        }
    }
    return 0;
}

int ProductMain::WriteSettings() {
    Logger::Get().Message(25533, nullptr);
    bool failed =
        RegWriteValue(HKEY_LOCAL_MACHINE, REG_DWORD, OV_SUITE_KEY, L"Generation", L"2") != ERROR_SUCCESS;
    if (installDirectory[0] != L'\0') {
        failed |= RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, OV_SUITE_KEY, L"Path", installDirectory) !=
                  ERROR_SUCCESS;
    }
    if (programGroup[0] != L'\0') {
        failed |=
            RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, OV_SUITE_KEY, L"Group", programGroup) != ERROR_SUCCESS;
    }
    wchar_t version[kPathChars];
    GetInstallationVersion(version, kPathChars);
    if (version[0] != L'\0' && TextCompareNoCase(version, L"0") != 0) {
        failed |=
            RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, OV_SUITE_KEY, L"Version", version) != ERROR_SUCCESS;
    }
    if (installDirectory[0] != L'\0') {
        wchar_t tray[kPathChars];
        wchar_t quoted[kPathChars];
        if (AppendPath(tray, kPathChars, installDirectory, L"ovkestradt.exe") &&
            TextFormat(quoted, kPathChars, L"\"%s\"", tray)) {
            failed |=
                RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, OV_RUN_KEY, L"OvKestraDT", quoted) != ERROR_SUCCESS;
        } else {
            failed = true;
        }
        // Values the user may have changed since an earlier install are kept.
        struct Default {
            const wchar_t* key;
            const wchar_t* name;
            DWORD type;
            const wchar_t* value;
        };
        const Default defaults[] = {
            {OV_SUITE_SCHEDULE_KEY, L"RepeatDays", REG_DWORD, L"0"},
            {OV_SUITE_SCHEDULE_KEY, L"RepeatHours", REG_DWORD, L"24"},
            {OV_SUITE_SCHEDULE_KEY, L"RepeatMins", REG_DWORD, L"0"},
            {OV_SUITE_CONNECTION_KEY, L"ProxyType", REG_DWORD, L"1"},
            {OV_SUITE_CONNECTION_KEY, L"Server", REG_SZ, kDefaultServer},
            {OV_SUITE_CONNECTION_KEY, L"ServerPath", REG_SZ, kDefaultServerPath},
        };
        for (const Default& value : defaults) {
            if (ValueMissing(value.key, value.name)) {
                failed |= RegWriteValue(HKEY_LOCAL_MACHINE, value.type, value.key, value.name, value.value) !=
                          ERROR_SUCCESS;
            }
        }
    }
    if (failed) {
        LogInfoReport(25044, ErrorSettings, GetDisplayName());
        return ErrorSettings;
    }
    return 0;
}

int ProductMain::CopySupportFiles(wchar_t* failures, size_t chars) {
    Logger::Get().Message(25536, nullptr);
    TextClear(failures, chars);
    wchar_t record[kPathChars] = {};
    wchar_t files[kPathChars];
    wchar_t root[kPathChars];
    wchar_t sc[kPathChars];
    GetInstalledFilesPath(files, kPathChars, nullptr);
    GetSourcePath(root, kPathChars, nullptr);
    AppendPath(sc, kPathChars, root, L"sc");
    for (const wchar_t* name : kRootFiles) {
        CopyFileChecked(root, files, name, nullptr, record);
    }
    if (IsWindows9x()) {
        CopyUnicodeLayer(root, files, record);
    }
    for (const wchar_t* name : kShellFiles) {
        CopyFileChecked(sc, files, name, nullptr, record);
    }
    CopyFileChecked(GetCurrentAppDir(), files, GetCurrentAppModuleName(), L"ovuninst.exe", record);
    TextCopyCut(failures, chars, record);
    return record[0] != L'\0' ? ErrorSupportFiles : 0;
}

int ProductMain::CreateShortcuts() {
    if (!shellNeeded || !SetupOptions::Get().createProgramGroup) {
        return 0;
    }
    Logger::Get().Message(25537, nullptr);
    wchar_t folder[kPathChars];
    int code = CreateStartMenuFolder(folder, kPathChars);
    if (code != 0) {
        LogInfoReport(25035, static_cast<unsigned>(code), GetDisplayName());
        return code;
    }
    wchar_t files[kPathChars];
    if (!GetInstalledFilesPath(files, kPathChars, nullptr)) {
        return ErrorShortcuts;
    }
    bool ok = CreateShortcut(GetDisplayName(), folder, files, L"ovkestra.exe", nullptr, nullptr, 0);
    wchar_t format[kMessageChars];
    wchar_t name[kMessageChars];
    if (LoadResourceString(nullptr, 24504, format, kMessageChars) > 0) {
        TextFormatCut(name, kMessageChars, format, GetDisplayName());
        ok &= CreateShortcut(name, folder, files, L"ovuninst.exe", L"/u", nullptr, 0);
    }
    return ok ? 0 : ErrorShortcuts;
}

// ---- uninstall ---------------------------------------------------------------------------------

int ProductMain::BeginUninstall() {
    if (!shellNeeded) {
        return 0;
    }
    CommonBeginUninstall();
    StopSuitePrograms();
    return 0;
}

int ProductMain::Uninstall() {
    if (!shellNeeded) {
        return 0;
    }
    ShowProductProgress(24001, GetDisplayName());
    RemoveLeftoverFiles();
    return 0;
}

int ProductMain::RemoveSettings() {
    if (!shellNeeded) {
        return 0;
    }
    Logger::Get().Message(25533, nullptr);
    RegDeleteValue(HKEY_LOCAL_MACHINE, OV_RUN_KEY, L"OvKestraDT");
    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, OV_SUITE_SCHEDULE_KEY);
    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, OV_SUITE_OPTIONS_KEY);
    const wchar_t* const values[] = {L"Generation", L"Group", L"Path", L"Version"};
    for (const wchar_t* name : values) {
        RegDeleteValue(HKEY_LOCAL_MACHINE, OV_SUITE_KEY, name);
    }
    RegDeleteEmptyKey(HKEY_LOCAL_MACHINE, OV_SUITE_KEY, true);
    return 0;
}

int ProductMain::RemoveLeftoverFiles() {
    RemoveProgramGroups(1);
    RemoveProgramGroups(0);
    wchar_t files[kPathChars];
    if (GetInstalledFilesPath(files, kPathChars, nullptr)) {
        DeleteFilesIn(files, kShellFiles, sizeof(kShellFiles) / sizeof(kShellFiles[0]));
        DeleteFilesIn(files, kRootFiles, sizeof(kRootFiles) / sizeof(kRootFiles[0]));
        const wchar_t* const layer[] = {L"unicows.dll"};
        DeleteFilesIn(files, layer, 1);
    }
    return 0;
}

// ---- what the log and the host utilities ask of the product model ------------------------------

namespace {

// The product in charge names the message boxes: the suite when the shell takes part, else the
// component installed on its own.
bool CaptionOfProductInCharge(wchar_t* buffer, size_t chars) {
    ProductMain& shell = ProductMain::Get();
    Product* product = shell.shellNeeded ? &shell : shell.primaryComponent;
    if (product == nullptr) {
        return false;
    }
    product->LoadProductString(22006, buffer, chars);
    return buffer[0] != L'\0';
}

bool IsInstallRole() {
    return CurrentRole() == kRoleInstall;
}

bool PackageSuiteVersion(wchar_t* buffer, size_t chars) {
    ProductMain::Get().GetInstallationVersion(buffer, chars);
    return buffer[0] != L'\0';
}

}  // namespace

void InstallProductHooks() {
    LoggerHooks hooks = Logger::Get().GetHooks();
    hooks.productCaption = CaptionOfProductInCharge;
    Logger::Get().SetHooks(hooks);
    InstallerVersionHooks version = {IsInstallRole, PackageSuiteVersion};
    SetInstallerVersionHooks(version);
}
