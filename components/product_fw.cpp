#include "components/product_fw.h"

#include <string.h>

#include "components/component_steps.h"
#include "components/product_av.h"
#include "components/product_main.h"
#include "components/setup_dialog_watcher.h"
#include "host/files.h"
#include "host/handles.h"
#include "host/paths.h"
#include "host/registry.h"
#include "host/system.h"
#include "host/version_info.h"
#include "log/logger.h"
#include "process/process_find.h"
#include "product/permissions.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "setup/setup.h"
#include "ui/framework_abi.h"
#include "ui/resource_string.h"

namespace {

const size_t kVersionChars = 256;
const wchar_t kClassName[] = L"ProductFW";
const wchar_t kUnifiedClassName[] = L"ProductFWU";
const size_t kHelpNameChars = 2048;
const DWORD kSecondUninstallerAppearMs = 3000;

const wchar_t kEngineFolderMarker[] = L"alert.zap";
// Only the suite's own builds of the engine carry this file (the brand it was given).
const wchar_t kSuiteBuildMarker[] = L"oeminfo.ini";
// The second firewall series onwards adds this file to the folder of the first.
const wchar_t kSecondSeriesMarker[] = L"kfpe2.dat";

// The Uninstall entries of both modes, which differ in their first one only.
const char kFWKeys[] = "Tarnel Personal Firewall";
// clang-format off
const char kFWUKeys[] =
    "Tarnel Nimbo Carapel\0"
    "Tarnel Suite Personal\\fw\0"
    "Tarnel Nimbo Carapel\\Tarnel Personal Firewall\0"
    "Tarnel Nimbo Carapel\\Tarnel Nimbo Firewall\0"
    "Tarnel Nimbo Carapel\\Nimbo Firewall\0"
    "Tarnel Nimbo Firewall\0"
    "Nimbo Firewall";
// clang-format on
const int kKeyCount = 7;

// The unified mode's old groups; the normal mode's are the second to the fifth.
// clang-format off
const char kGroups[] =
    "Tarnel Nimbo Carapel\0"
    "Tarnel Nimbo Carapel\\Nimbo Firewall\0"
    "Tarnel Nimbo Carapel\\Tarnel Nimbo Firewall\0"
    "Tarnel Nimbo Carapel\\Tarnel Personal Firewall\0"
    "Tarnel Internet Security Suite\\Tarnel Personal Firewall\0"
    "Tarnel Internet Security Suite\\Tarnel Nimbo Carapel";
// clang-format on

const TrustedProgram kTrustedPrograms[] = {
    {L"ov.exe", {2, 2, 3, 3, 3, 3}},
    {L"zatutor.exe", {2, 2, 3, 3, 3, 3}},
};

// clang-format off
const char kFWConflicts[] =
    OV_CONFLICT "Tarnel Nimbo Fendrel\0"
    OV_CONFLICT_FIRST_FIREWALL "Tarnel Nimbo Firewall\0"
    // The suite's own firewall installed in the unified mode.
    OV_CONFLICT_UNIFIED_FIREWALL "Nimbo Firewall\0"
    OV_CONFLICT_UNIFIED_FIREWALL "Tarnel Nimbo Firewall\0"
    OV_CONFLICT_UNIFIED_FIREWALL "Tarnel Personal Firewall\0"
    OV_CONFLICT_UNIFIED_FIREWALL "Tarnel Nimbo Carapel\0"
    OV_CONFLICT_UNIFIED_FIREWALL "Tarnel Suite Personal\\fw\0"
    OV_CONFLICT_PLAIN_ZONEALARM "ZoneAlarm\0"
    OV_CONFLICT_PLAIN_ZONEALARM "ZoneAlarm Pro\0"
    OV_CONFLICT "{4471FF45-62BD-11D6-B259-00C04FF4B435}\0"
    OV_CONFLICT "{DCB2928E-61F6-11D6-B259-00C04FF4B435}\0"
    OV_CONFLICT "{56D45213-8AD9-46C5-A393-EB21A760DD43}\0"
    OV_CONFLICT "McAfee Personal Firewall Plus\0"
    OV_CONFLICT "{C90F3E44-3BF6-11D4-A110-00500405613A}\0"
    OV_CONFLICT "{CA7FDA46-DFA8-4748-8F2E-8864E545735B}\0"
    OV_CONFLICT "{3943C4CF-AC42-4E00-8824-25159B8478F1}\0"
    OV_CONFLICT "BackWeb-4476822 Uninstaller\0"
    OV_CONFLICT "{00F822AD-0798-4F54-BA6B-440D0BD687D7}\0"
    OV_CONFLICT "{8315396A-5EA1-419D-BEC4-978284BDF556}\0"
    OV_CONFLICT "{51C8741C-4A91-42A6-B6A2-CB891F7398A1}\0"
    OV_CONFLICT "{796E70BB-C20D-4956-99DA-72BD201846E8}\0"
    OV_CONFLICT "{75D46594-4DE1-4A90-AE74-38637D301EF2}\0"
    OV_CONFLICT "Agnitum Outpost Firewall Pro 2.1\0"
    OV_CONFLICT "Agnitum Outpost Firewall 1.0\0"
    OV_CONFLICT "{749F7127-A1E2-421E-99D8-09B895DD892D}";
// clang-format on
const int kFWConflictCount = 25;
const int kFWOwnUnifiedFirst = 2;  // the five rows of the suite's own unified firewall

// The suite's separate antivirus component, which the unified engine replaces.
// clang-format off
const char kFWUOwnConflicts[] =
    OV_CONFLICT "WEXAWIN32Vp5\0"
    OV_CONFLICT_AV_SIGNATURES "Tarnel Nimbo Carapel\\Tarnel Nimbo Antivirus\0"
    OV_CONFLICT_AV_SIGNATURES "Tarnel Suite Personal\\av";
// clang-format on

static_assert(sizeof(kFWUKeys) + sizeof(kGroups) + sizeof(kFWUOwnConflicts) + kAVConflictsChars +
                      sizeof(kFWConflicts) <=
                  kFWTableChars,
              "room for the widened tables");

const KeyProbe kEngineKeyProbes[] = {
    {L"SOFTWARE\\Zone Labs", kProbeAbsolute, kProbeKeep},
    {L"MiniLog", kProbeGroupKey, kProbeAtOnce},
    {L"ZoneAlarm", kProbeGroupKey, kProbeKeep},
    {L"ZoneAlarm\\MailSafe Extensions", kProbeGroupKey, kProbeAtOnce},
    {L"ZoneAlarm\\Registration", kProbeGroupKey, kProbeAtOnce},
    {nullptr, kProbeAbsolute, kProbeEndGroup},
    {L"SOFTWARE\\Zone Labs", kProbeAbsolute, kProbeKeep},
    {L"TrueVector", kProbeGroupKey, kProbeKeep},
    {L"TrueVector\\LocalStoreDir", kProbeGroupKey, kProbeAtOnce},
    {L"TrueVector\\LogStoreDir", kProbeGroupKey, kProbeAtOnce},
    {nullptr, kProbeAbsolute, kProbeEndGroup},
    {L"ZAMailSafe", kProbeClasses, kProbeAtOnce},
    {L"Run", kProbeCurrentVersion, kProbePlain},
    {L"SharedDLLs", kProbeCurrentVersion, kProbePlain},
    {L"RunOnce", kProbeCurrentVersion, kProbePlain},
    {nullptr, kProbeAbsolute, kProbeAtOnce},  // the product's own Uninstall entry
    // Stands for the engine's driver service keys.
    {L"SYSTEM\\CurrentControlSet\\Services\\KPFW_TestKey", kProbeAbsolute, kProbeAtOnce},
};

// "a.b.c.d" of the fixed file version of the package's engine setup.
void SetupFileVersion(Product& product, wchar_t* buffer, size_t chars) {
    VS_FIXEDFILEINFO info;
    wchar_t path[kPathChars];
    product.GetSourcePath(path, kPathChars, L"zapsetup.exe");
    GetVersionInfoData(path, nullptr, nullptr, 0, &info);
    TextFormat(buffer, chars, L"%u.%u.%u.%u", HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS),
               HIWORD(info.dwFileVersionLS), LOWORD(info.dwFileVersionLS));
}

// String 169 of the suite's resource library in `folder`: the name of the help folder below a
// component's files; "help" when there is none.
void HelpFolderName(const wchar_t* folder, wchar_t* name, size_t chars) {
    TextClear(name, chars);
    wchar_t library[kPathChars];
    if (folder != nullptr && folder[0] != L'\0' &&
        AppendPath(library, kPathChars, folder, L"ovkestrares.dll")) {
        ScopedModule module(LoadLibraryExW(library, nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (module.IsValid()) {
            LoadResourceString(module.Get(), 169, name, chars);
        }
    }
    if (name[0] == L'\0') {
        TextCopy(name, chars, L"help");
    }
}

// Runs the engine's setup or uninstaller while the watcher answers its dialogs. The uninstaller
// (`handsOver`) passes its work to a second process of the same name and ends at once: after a
// clean end that one is waited for too.
int RunEngineProgram(Product& product, const wchar_t* commandLine, bool handsOver) {
    SetupDialogWatcher watcher;
    watcher.Start();
    unsigned exitCode = 0;
    int result = product.RunCommand(commandLine, &exitCode);
    if (handsOver && result == 0 && exitCode == 0) {
        WaitForProcess(L"zauninst", L"zauninst.exe", kSecondUninstallerAppearMs);
    }
    watcher.Join();
    return result;
}

// The engine's keys; the probes of both components after the unified one's own group.
int ProbeEngineKeys(Product& product, KeyProbes& probes, wchar_t* buffer, size_t chars) {
    probes.Run(kEngineKeyProbes, sizeof(kEngineKeyProbes) / sizeof(kEngineKeyProbes[0]),
               product.uninstallKeyPath);
    probes.SuiteEntryGroup(product);
    probes.SettingsGroup(product);
    int result = probes.Result(buffer, chars);
    // The user's own engine settings: a key made here goes again under HKEY_CURRENT_USER only.
    wchar_t failure[kMessageChars] = {};
    ProbeRegistryKey(HKEY_CURRENT_USER, OV_ZONE_LABS_KEY, 1, nullptr, 0, failure, kMessageChars);
    if (result == 0 && failure[0] != L'\0') {
        TextCopyCut(buffer, chars, failure);
        result = ErrorRegistryPermission;
    }
    return result;
}

}  // namespace

int IsEngineUnified(wchar_t*, size_t) {
    DWORD value = 0;
    return RegReadString(HKEY_LOCAL_MACHINE, OV_ZONE_LABS_KEY, L"IsUnified", &value, sizeof(value)) ==
               ERROR_SUCCESS &&
           value == 1;
}

// The first firewall series, which a later series' folder tells apart by its marker; shown to
// the user under its series' name.
int IsFirstFirewall(wchar_t* buffer, size_t chars) {
    const wchar_t* key = L"SOFTWARE\\Orvane\\Tarnel Nimbo Firewall";
    if (!RegisteredFolderHolds(key, L"InstallDirectory", L"kfpeadm.exe") ||
        RegisteredFolderHolds(key, L"InstallDirectory", kSecondSeriesMarker)) {
        return 0;
    }
    if (buffer != nullptr && chars > 0) {
        TextCopy(buffer, chars, L"Tarnel Nimbo Firewall 1.x");
    }
    return 1;
}

int IsPlainZoneAlarm(wchar_t*, size_t) {
    return RegisteredFolderHolds(OV_ZONEALARM_KEY, L"InstallDirectory", kEngineFolderMarker) &&
           !RegisteredFolderHolds(OV_ZONEALARM_KEY, L"InstallDirectory", kSuiteBuildMarker);
}

// ---- ProductFW -----------------------------------------------------------------------------------

ProductFW::ProductFW() {
    productCode = 131;
    wchar_t* text = tableText_;
    // The normal mode's first entry, then the names both modes share.
    WidenNames(kFWKeys, 0, 1, keyNames_, &text);
    WidenNames(kFWUKeys, 1, kKeyCount - 1, keyNames_ + 1, &text);
    uninstallKeyNames = keyNames_;
    uninstallKeyCount = kKeyCount;
    WidenNames(kGroups, 1, 4, groups_, &text);
    oldGroupNames = groups_;
    oldGroupCount = 4;
    UnpackConflicts(kFWConflicts, 0, kFWConflictCount, conflictRows_, &text);
    conflicts = conflictRows_;
    conflictCount = kFWConflictCount;
    trustedPrograms = kTrustedPrograms;
    trustedProgramCount = 2;
    SetKeys(L"fw");
}

int ProductFW::IsInstalled(int allGenerations) {
    bool unified = IsEngineUnified(nullptr, 0) != 0;
    if (!((productCode == 131 && !unified) || (productCode == 122 && unified))) {
        return 0;
    }
    int count = allGenerations ? uninstallKeyCount : 2;
    for (int i = 0; i < count; ++i) {
        wchar_t command[kCommandLineChars];
        FindUninstallEntry(uninstallKeyNames[i], nullptr, 0, command, kCommandLineChars, nullptr);
        if (command[0] != L'\0') {
            TextCopy(uninstallString, kCommandLineChars, command);
            return 1;
        }
    }
    return 0;
}

int ProductFW::GetInstalledVersion(wchar_t* buffer, size_t chars) {
    return ReadInstalledVersion(*this, kClassName, OV_ZONEALARM_KEY, L"CurrentVersion", buffer, chars);
}

int ProductFW::GetInstalledPath(wchar_t* buffer, size_t chars, int* generation) {
    return InstalledFolder(*this, kClassName, buffer, chars, generation);
}

int ProductFW::GetInstalledFilesPath(wchar_t* buffer, size_t chars, int* generation) {
    if (generation != nullptr) {
        *generation = 0;
    }
    return ReadInstalledValue(*this, kClassName, kGetInstalledFilesPath, OV_ZONEALARM_KEY,
                              L"InstallDirectory", buffer, chars);
}

int ProductFW::GetInstalledGroup(wchar_t* buffer, size_t chars) {
    return ReadInstalledValue(*this, kClassName, kGetInstalledGroup, OV_ZONE_LABS_KEY, L"Group", buffer,
                              chars);
}

int ProductFW::GetSourcePath(wchar_t* buffer, size_t chars, const wchar_t* fileName) {
    return SourcePathIn(L"fw", buffer, chars, fileName);
}

int ProductFW::CheckOperatingSystem(wchar_t* buffer, size_t chars) {
    if (!CheckApplies(*this, kClassName, kCheckOperatingSystem, buffer, chars, false)) {
        return 0;
    }
    const OSVERSIONINFOEXW* version = LogWindowsVersion();
    if (version == nullptr) {
        return 0;
    }
    unsigned long major = version->dwMajorVersion;
    int result = 0;
    wchar_t text[kMessageChars];
    if (IsWindowsNT() && major <= 4) {
        TextFormatCut(text, kMessageChars, L"Windows NT %lu.%02lu", major, version->dwMinorVersion);
        result = RefuseWindows(text, buffer, chars);
    }
    if (IsWindows9x() && major == 4 && version->dwMinorVersion == 0) {
        result = RefuseWindows(L"Windows 95", buffer, chars);
    }
    if (IsNtServer()) {
        GetWindowsName(text, kMessageChars);
        result = RefuseWindows(text, buffer, chars);
    }
    return result;
}

int ProductFW::CheckRegistryPermissions(wchar_t* buffer, size_t chars) {
    if (!CheckApplies(*this, kClassName, kCheckRegistryPermissions, buffer, chars, true)) {
        return 0;
    }
    KeyProbes probes;
    return ProbeEngineKeys(*this, probes, buffer, chars);
}

int ProductFW::CheckDirectoryPermissions(wchar_t* buffer, size_t chars) {
    return ProbeSystemFolders(*this, kClassName, buffer, chars);
}

int ProductFW::CheckPrerequisites(wchar_t* buffer, size_t chars) {
    return NoCheck(buffer, chars);
}

int ProductFW::CheckOtherSessions(wchar_t* buffer, size_t chars) {
    return NoCheck(buffer, chars);
}

int ProductFW::BeginInstall(wchar_t*, size_t) {
    if (!active) {
        return 0;
    }
    CommonBeginInstall();
    RemoveLeftoverFiles();
    return 0;
}

int ProductFW::Install() {
    if (!active) {
        return 0;
    }
    wchar_t config[kPathChars];
    int result = WriteInstallConfigFile(config, kPathChars);
    if (result != 0) {
        return result;
    }
    wchar_t folder[kPathChars];
    if (!AppendPath(folder, kPathChars, GetCurrentAppDir(), L"fw")) {
        return ErrorSetupProgramMissing;
    }
    wchar_t line[kCommandLineChars];
    if (!BuildCommandLine(line, kCommandLineChars, folder, L"zapsetup.exe", L"/s /M=\"%s\" /NOREBOOT",
                          config)) {
        return ErrorSetupCommandLine;
    }
    // An installed engine of the suite's line takes the current name; anyone else's keeps its own.
    wchar_t version[kVersionChars];
    wchar_t key[kPathChars];
    wchar_t name[kMessageChars];
    if (ReadMachineText(OV_ZONEALARM_KEY, L"CurrentVersion", version, kVersionChars) &&
        AppendPath(key, kPathChars, OV_ZONEALARM_KEY L"\\Registration", version) &&
        ReadMachineText(key, L"ProductName", name, kMessageChars) &&
        (wcsstr(name, L"Nimbo") != nullptr || wcsstr(name, L"Tarnel") != nullptr) &&
        RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, key, L"ProductName", GetDisplayName()) != ERROR_SUCCESS) {
        LogInfoReport(25015, 0, L"ProductName");
    }
    result = RunEngineProgram(*this, line, false);
    if (result == 0) {
        // Judged by the version the engine reports, never by the setup's exit code. A unified
        // package's engine carries a version of its own.
        wchar_t expected[kVersionChars];
        if (GetPackageProductCode() == 122) {
            SetupFileVersion(*this, expected, kVersionChars);
        } else {
            GetInstallationVersion(expected, kVersionChars);
        }
        GetInstalledVersion(installedVersion, kPathChars);
        if (CompareVersionStrings(expected, installedVersion) > 0) {
            result = ErrorVersionAfterInstall;
        }
    }
    RemoveUnusedInstallFolder(*this);
    if (result == 0) {
        DeleteFileW(config);
    }
    return result;
}

int ProductFW::FinishInstall() {
    if (!active) {
        return 0;
    }
    StepReport report(this);
    CommonFinishInstall(report);
    if (TextCompareNoCase(previousVersion, L"0") != 0 &&
        TextCompareNoCase(installedVersion, previousVersion) != 0) {
        // Another engine version takes the list only after Windows restarted: a copy of this
        // program updates it then. Nothing here fails the install.
        wchar_t files[kPathChars];
        wchar_t shellSource[kPathChars];
        wchar_t line[kCommandLineChars];
        if (GetInstalledFilesPath(files, kPathChars, nullptr) &&
            ProductMain::Get().GetSourcePath(shellSource, kPathChars, nullptr) &&
            CopyFileChecked(shellSource, files, GetCurrentAppModuleName(), L"trustadd.exe", nullptr) &&
            BuildCommandLine(line, kCommandLineChars, files, L"trustadd.exe", nullptr, L"/trustlist")) {
            RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, OV_RUNONCE_KEY, L"Kestra_TrustList", line);
        }
        return report.result();
    }
    // The engine's list is new (or the same engine again): this component's programs replace
    // their entries, every other product's are merged in.
    report.Add(AddTrustedPrograms(1, 1), 25038, nullptr, true);
    ProductMain& shell = ProductMain::Get();
    report.Add(shell.AddTrustedPrograms(0, 1), 25038, shell.GetDisplayName(), true);
    Setup* setup = Setup::Get();
    for (int i = 0; setup != nullptr && i < setup->products.count(); ++i) {
        Product* other = setup->products[i];
        if (other != this && other != &shell) {
            report.Add(other->AddTrustedPrograms(0, 1), 25038, other->GetDisplayName(), true);
        }
    }
    return report.result();
}

int ProductFW::CreateShortcuts() {
    static const ShortcutSpec kShortcuts[] = {
        {0, kInShellFiles, 0, L"ovkestra.exe", L"/t2"},
        {24509, kInComponentFiles, 0, L"zatutor.exe", nullptr},
        {24504, kInComponentFiles, 1, L"ovuninst.exe", L"/u"},
    };
    return CreateComponentShortcuts(*this, kShortcuts, 3);
}

int ProductFW::WriteSettings() {
    if (!active) {
        return 0;
    }
    Logger::Get().Message(25533, nullptr);
    if (programGroup[0] != L'\0') {
        RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, OV_ZONE_LABS_KEY, L"Group", programGroup);
    }
    bool failed = RegWriteValue(HKEY_LOCAL_MACHINE, REG_DWORD, OV_ZONE_LABS_KEY, L"IsUnified",
                                GetPackageProductCode() == 122 ? L"1" : L"0") != ERROR_SUCCESS;
    // The engine's client starts from the suite's folder, where the engine put it.
    wchar_t client[kPathChars / 2];
    if (RegReadString(HKEY_LOCAL_MACHINE, OV_RUN_KEY, L"Zone Labs Client", client, sizeof(client)) ==
        ERROR_SUCCESS) {
        wchar_t path[kPathChars];
        wchar_t quoted[kPathChars];
        failed |= !AppendPath(path, kPathChars, installDirectory, L"ov.exe") ||
                  !TextFormat(quoted, kPathChars, L"\"%s\"", path) ||
                  RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, OV_RUN_KEY, L"Zone Labs Client", quoted) !=
                      ERROR_SUCCESS;
    }
    if (failed) {
        LogInfoReport(25044, ErrorSettings, GetDisplayName());
        return ErrorSettings;
    }
    return 0;
}

int ProductFW::CopySupportFiles(wchar_t* failures, size_t chars) {
    // The help goes into the engine's help folder, named after the destination.
    wchar_t files[kPathChars];
    wchar_t name[kHelpNameChars];
    wchar_t help[kPathChars];
    GetInstalledFilesPath(files, kPathChars, nullptr);
    HelpFolderName(SetupOptions::Get().destinationText(), name, kHelpNameChars);
    if (!AppendPath(help, kPathChars, files, name)) {
        TextClear(help, kPathChars);
    }
    return CopyComponentSupportFiles(*this, L"kestrafw.chm", help, true, failures, chars);
}

int ProductFW::BeginUninstall() {
    return CommonBeginUninstall();
}

int ProductFW::Uninstall() {
    if (!active) {
        return 0;
    }
    wchar_t files[kPathChars];
    if (!GetInstalledFilesPath(files, kPathChars, nullptr)) {
        return ErrorInstalledFilesPath;
    }
    wchar_t line[kCommandLineChars];
    if (!BuildCommandLine(line, kCommandLineChars, files, L"zauninst.exe", nullptr, L"/s /noreboot")) {
        return ErrorUninstallCommandLine;
    }
    int result = RunEngineProgram(*this, line, true);
    if (result == 0 && StillReportsVersion(*this)) {
        result = ErrorStillInstalled;
    }
    if (result == 0) {
        RemoveLeftoverFiles();
    }
    return result;
}

int ProductFW::RemoveSettings() {
    if (!active) {
        return 0;
    }
    Logger::Get().Message(25533, nullptr);
    static const wchar_t* const kValues[] = {L"Group", L"HU100", L"IsUnified", L"OEM"};
    for (const wchar_t* name : kValues) {
        RegDeleteValue(HKEY_LOCAL_MACHINE, OV_ZONE_LABS_KEY, name);
    }
    RegDeleteEmptyKey(HKEY_LOCAL_MACHINE, OV_ZONE_LABS_KEY, true);
    return 0;
}

int ProductFW::RemoveSupportFiles() {
    wchar_t files[kPathChars];
    if (!GetInstalledFilesPath(files, kPathChars, nullptr)) {
        return 0;
    }
    wchar_t shellFiles[kPathChars];
    wchar_t name[kHelpNameChars];
    HelpFolderName(
        ProductMain::Get().GetInstalledFilesPath(shellFiles, kPathChars, nullptr) ? shellFiles : nullptr,
        name, kHelpNameChars);
    wchar_t help[kPathChars];
    if (AppendPath(help, kPathChars, files, name)) {
        RemoveHelpFile(help, L"kestrafw.chm");
    }
    return 0;
}

int ProductFW::RemoveLeftoverFiles() {
    if (IsInstalled(1)) {
        return 0;
    }
    static const wchar_t* const kSystemFiles[] = {
        L"vsconfig.xml", L"vsdata.dll", L"vsdatant.sys", L"vsinit.dll", L"vsmonapi.dll", L"vspubapi.dll",
        L"vsregexp.dll", L"vsutil.dll", L"vsxml.dll",    L"zlcomm.dll", L"zlcommdb.dll"};
    wchar_t system[kPathChars];
    wchar_t path[kPathChars];
    if (GetWinSysDir(system, kPathChars)) {
        for (const wchar_t* name : kSystemFiles) {
            if (AppendPath(path, kPathChars, system, name)) {
                DeleteFileW(path);
            }
        }
        // Inside the system folder, where a product folder may never lie: deleted by name.
        if (AppendPath(path, kPathChars, system, L"ZoneLabs")) {
            DeleteDirectoryTree(path, true, nullptr);
        }
    }
    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\vsdatant");
    return 0;
}

// ---- ProductFWU ----------------------------------------------------------------------------------

ProductFWU::ProductFWU() {
    productCode = 122;
    wchar_t* text = tableText_;
    WidenNames(kFWUKeys, 0, kKeyCount, keyNames_, &text);
    WidenNames(kGroups, 0, 6, groups_, &text);
    oldGroupCount = 6;
    // The antivirus and the firewall component's conflicting products, without the rows that stand
    // for this very installation.
    ConflictingProduct* row = UnpackConflicts(kFWUOwnConflicts, 0, 3, conflictRows_, &text);
    row = UnpackConflicts(kAVConflicts, 0, kAVOwnFirewallFirst, row, &text);
    row = UnpackConflicts(kAVConflicts, kAVOwnFirewallFirst + 5, kAVConflictCount - kAVOwnFirewallFirst - 5,
                          row, &text);
    row = UnpackConflicts(kFWConflicts, 0, kFWOwnUnifiedFirst, row, &text);
    UnpackConflicts(kFWConflicts, kFWOwnUnifiedFirst + 5, kFWConflictCount - kFWOwnUnifiedFirst - 5, row,
                    &text);
    conflictCount = 59;
    SetKeys(L"fw");
}

int ProductFWU::CheckVersion() {
    if (!available) {
        return 0;
    }
    Logger::Get().Message(25530, nullptr);
    wchar_t installed[kVersionChars];
    wchar_t package[kVersionChars];
    GetInstalledVersion(installed, kVersionChars);
    SetupFileVersion(*this, package, kVersionChars);
    if (CompareVersionStrings(package, installed) >= 0) {
        return 0;
    }
    return RefuseOlderPackage(*this, package, installed);
}

int ProductFWU::CheckRegistryPermissions(wchar_t* buffer, size_t chars) {
    if (!CheckApplies(*this, kUnifiedClassName, kCheckRegistryPermissions, buffer, chars, true)) {
        return 0;
    }
    KeyProbes probes;
    probes.Run(kOrvaneTestKeyProbes, 3);
    return ProbeEngineKeys(*this, probes, buffer, chars);
}

int ProductFWU::CheckDirectoryPermissions(wchar_t* buffer, size_t chars) {
    return ProbeSystemAndDriverFolders(*this, kUnifiedClassName, buffer, chars);
}
