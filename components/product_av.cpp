#include "components/product_av.h"

#include <string.h>

#include "components/component_steps.h"
#include "components/product_fw.h"
#include "components/product_main.h"
#include "host/files.h"
#include "host/paths.h"
#include "host/registry.h"
#include "host/system.h"
#include "host/version_info.h"
#include "log/logger.h"
#include "product/permissions.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "ui/prerequisites.h"
#include "ui/resource_string.h"

namespace {

const size_t kVersionChars = 256;
const wchar_t kClassName[] = L"ProductAV";

const wchar_t* const kKeyNames[] = {L"WEXAWIN32Vp5", OV_SUITE_ENTRY_NAME L"\\av",
                                    L"Tarnel Nimbo Carapel\\Tarnel Nimbo Antivirus"};

// clang-format off
const char kOldGroups[] =
    "Wexa Anti-Virus\0"
    "WEXA for Win32\0"
    "WEXA for Windows 95\0"
    "WEXA for Windows NT\0"
    "Wexa Antivirus for Windows 95\0"
    "Wexa Antivirus for Windows NT\0"
    "Wexa Anti-Virus for Windows 95\0"
    "Wexa Anti-Virus for Windows 98\0"
    "Wexa Anti-Virus for Windows ME\0"
    "Wexa Anti-Virus for Windows NT\0"
    "Wexa Anti-Virus for Windows NT Server\0"
    "Wexa Anti-Virus for Windows 2000\0"
    "Wexa Anti-Virus for Windows 2000 Server\0"
    "Wexa Anti-Virus for Windows XP\0"
    "Wexa Anti-Virus for Windows XP Server\0"
    "Sanavo Personal Edition\0"
    "Sanavo SOHO Edition\0"
    "Tarnel Nimbo Antivirus\0"
    "Tarnel Nimbo Antivirus SOHO Edition\0"
    "Tarnel Nimbo Antivirus Small Business Edition\0"
    "Tarnel Nimbo Carapel\\Tarnel Nimbo Antivirus\0"
    "Tarnel Wexa Antivirus\0"
    "Tarnel Internet Security Suite\\Tarnel Nimbo Antivirus";
// clang-format on
const int kOldGroupCount = 23;

const TrustedProgram kTrustedPrograms[] = {
    {L"sigfetch.exe", {2, 2, 3, 3, 3, 3}}, {L"ovfix.exe", {2, 2, 3, 3, 3, 3}},
    {L"ovav.exe", {2, 2, 3, 3, 3, 3}},     {L"ovavrep.exe", {2, 2, 3, 3, 2, 3}},
    {L"ovavtray.exe", {2, 2, 3, 3, 3, 3}}, {L"nimboreport.exe", {2, 2, 3, 3, 3, 3}},
    {L"wardel.exe", {2, 2, 3, 3, 3, 3}},   {L"wexa32.exe", {2, 2, 3, 3, 3, 3}},
    {L"wexamsg.exe", {2, 2, 3, 3, 3, 3}},  {L"wexatray.exe", {2, 2, 3, 3, 3, 3}},
};

// The Sanavo 6.0 generation left its program in its home folder; a stale Uninstall entry alone
// is not a product to remove.
int HasSanavo6Program(wchar_t*, size_t) {
    return RegisteredFolderHolds(L"SOFTWARE\\Orvane\\Sanavo\\6.0\\Path", L"HOME", L"sanavoit.exe");
}

int HasNavConfigWizard(wchar_t*, size_t) {
    return RegisteredFolderHolds(L"SOFTWARE\\Symantec\\InstalledApps", L"NAV", L"cfgwiz.exe");
}

// The suite's separate antivirus counts only while its signatures are there.
int HasAntivirusSignatures(wchar_t*, size_t) {
    return RegisteredFolderHolds(OV_AV_INSTALL_KEY, L"ProgramPath", L"wexa.dat", OV_AV_RESIDENT_KEY,
                                 L"WexaPath");
}

// What each kind of packed conflict row stands for (its name aside), by kind - 1.
const ConflictingProduct kConflictKinds[] = {
    {nullptr, nullptr, nullptr, nullptr},
    {nullptr, L"zauninst", L"zauninst.exe", IsEngineUnified},
    {nullptr, L"zauninst", L"zauninst.exe", IsPlainZoneAlarm},
    {nullptr, nullptr, nullptr, HasSanavo6Program},
    {nullptr, nullptr, nullptr, HasNavConfigWizard},
    {nullptr, L"A~NSISu_", L"A~NSISu_.exe", nullptr},
    {nullptr, nullptr, nullptr, IsFirstFirewall},
    {nullptr, nullptr, nullptr, HasAntivirusSignatures},
};

// The product codes under which two earlier generations of the suite's antivirus line registered,
// and the class of the antivirus shell extension: fixed by those products.
#define OV_AV_EARLIER_CODE_A "{6C1D3E80-4B2A-4F71-9E4D-2A7B5C0E1F31}"
#define OV_AV_EARLIER_CODE_B "{A3F0B6D2-7C41-4E8B-8D15-3E9F6A2C7B40}"
#define OV_AV_SHELL_EXTENSION L"{8E1A2F60-3D7B-4C59-A6E4-1B0C9D5E7F22}"

#define OV_GROUP_KEEP(name) \
    { name, kProbeGroupKey, kProbeKeep }
#define OV_GROUP_AT_ONCE(name) \
    { name, kProbeGroupKey, kProbeAtOnce }
#define OV_END_GROUP \
    { nullptr, kProbeAbsolute, kProbeEndGroup }

// The product's own keys; a unified firewall engine carries them itself.
const KeyProbe kProductKeyProbes[] = {
    {L"SOFTWARE\\Orvane", kProbeAbsolute, kProbeKeep},
    OV_GROUP_KEEP(L"Anti-Virus"),
    OV_GROUP_KEEP(L"Anti-Virus\\AutoDownload"),
    OV_GROUP_AT_ONCE(L"Anti-Virus\\AutoDownload\\Proxy"),
    OV_GROUP_AT_ONCE(L"Anti-Virus\\AutoDownload\\Schedule"),
    OV_END_GROUP,
    {L"SOFTWARE\\Orvane", kProbeAbsolute, kProbeKeep},
    OV_GROUP_KEEP(L"Anti-Virus"),
    OV_GROUP_KEEP(L"Anti-Virus\\MasterConsole"),
    OV_GROUP_AT_ONCE(L"Anti-Virus\\MasterConsole\\Schedule"),
    OV_END_GROUP,
    {L"SOFTWARE\\Orvane", kProbeAbsolute, kProbeKeep},
    OV_GROUP_KEEP(L"Anti-Virus"),
    OV_GROUP_AT_ONCE(L"Anti-Virus\\EmailAlerting"),
    OV_GROUP_AT_ONCE(L"Anti-Virus\\Install"),
    OV_GROUP_AT_ONCE(L"Anti-Virus\\Master"),
    OV_GROUP_AT_ONCE(L"Anti-Virus\\OnDemandScanner"),
    OV_GROUP_AT_ONCE(L"Anti-Virus\\Resident"),
    OV_GROUP_AT_ONCE(L"Anti-Virus\\ScheduledScan"),
    OV_GROUP_AT_ONCE(L"Anti-Virus\\Security"),
    OV_END_GROUP,
};

const KeyProbe kCommonProbes[] = {
    {L"SOFTWARE\\Orvane", kProbeAbsolute, kProbeKeep},
    OV_GROUP_KEEP(L"Wardel"),
    OV_GROUP_AT_ONCE(L"Wardel\\Server"),
    OV_END_GROUP,
    {OV_AV_SHELL_EXTENSION, kProbeClassIds, kProbeAtOnce},
    {L"*\\shellex\\ContextMenuHandlers\\OV_AntiVirus", kProbeClasses, kProbeAtOnce},
    {L"Folder\\shellex\\ContextMenuHandlers\\OV_AntiVirus", kProbeClasses, kProbeAtOnce},
    {L"Run", kProbeCurrentVersion, kProbePlain},
    {L"RunOnce", kProbeCurrentVersion, kProbePlain},
};

// The services' keys and their event-log keys below "SYSTEM\CurrentControlSet\Services".
const wchar_t* const kServices[] = {L"OVWardel",
                                    L"WEXAEBOOT",
                                    L"WEXAEFILE",
                                    L"WEXAFDDNT",
                                    L"WEXA-FILT",
                                    L"WEXAMONNT",
                                    L"WEXAMSGNT",
                                    L"WEXA-REC",
                                    L"EventLog\\System\\WEXAFDDNT",
                                    L"EventLog\\System\\WEXAMONNT"};

const char* SkipNames(const char* packed, int count) {
    for (; count > 0; --count) {
        packed += strlen(packed) + 1;
    }
    return packed;
}

}  // namespace

const KeyProbe kOrvaneTestKeyProbes[3] = {
    {L"SOFTWARE\\Orvane", kProbeAbsolute, kProbeKeep},
    OV_GROUP_AT_ONCE(L"KPFW_TestKey"),
    OV_END_GROUP,
};

const KeyProbe kArgumentAtOnce = {nullptr, kProbeAbsolute, kProbeAtOnce};

// clang-format off
const char kAVConflicts[] =
    OV_CONFLICT "Medrin for Windows NT\0"
    OV_CONFLICT "Medrin for Windows 95\0"
    OV_CONFLICT "Sanavo for Windows 95\0"
    OV_CONFLICT "Sanavo for Windows NT\0"
    OV_CONFLICT "Sanavo\0"
    OV_CONFLICT "Tarnel Antivirus\0"
    OV_CONFLICT "Tarnel Sanavo\0"
    OV_CONFLICT_SANAVO6 "Tarnel Nimbo Antivirus\0"
    OV_CONFLICT OV_AV_EARLIER_CODE_A "\0"
    OV_CONFLICT OV_AV_EARLIER_CODE_B "\0"
    // The suite's own firewall: a second antivirus while its engine runs in the unified mode.
    OV_CONFLICT_UNIFIED_FIREWALL "Nimbo Firewall\0"
    OV_CONFLICT_UNIFIED_FIREWALL "Tarnel Nimbo Firewall\0"
    OV_CONFLICT_UNIFIED_FIREWALL "Tarnel Personal Firewall\0"
    OV_CONFLICT_UNIFIED_FIREWALL "Tarnel Nimbo Carapel\0"
    OV_CONFLICT_UNIFIED_FIREWALL "Tarnel Suite Personal\\fw\0"
    OV_CONFLICT "AVG6INSTALL\0"
    OV_CONFLICT "AVG7INSTALL\0"
    OV_CONFLICT "{5BBD5CAB-8775-4621-88D4-B5DEFF9FE878}\0"
    OV_CONFLICT "{FBF5AAEB-55E7-493D-85B1-5018AFDC24A3}\0"
    OV_CONFLICT "{B8F321A0-8969-11D4-908A-00C0DF242902}\0"
    OV_CONFLICT "{E91563B4-D9EC-11D5-A2BB-00606771B69D}\0"
    OV_CONFLICT "NOD32\0"
    OV_CONFLICT "eSafe Protect\0"
    OV_CONFLICT "Sophos-Sweep95\0"
    OV_CONFLICT "Sophos-SweepNT\0"
    OV_CONFLICT_NSIS "Kaspersky Anti-Virus Personal\0"
    OV_CONFLICT "{9FD12630-1991-46F5-8479-92DE1EAE87DA}\0"
    OV_CONFLICT "avast!\0"
    OV_CONFLICT "{74C8BF56-6618-49AA-98BA-862223900CBF}\0"
    OV_CONFLICT "{3075C5C3-0807-4924-AF8F-FF27052C12AE}\0"
    OV_CONFLICT "{EDCD4CE3-DE92-49A9-87F9-FE09B2FBA16C}\0"
    OV_CONFLICT_NAV_WIZARD "SymSetup.{C6F5B6CF-609C-428E-876F-CA83176C021B}\0"
    OV_CONFLICT "SymSetup.{C6B28661-7910-442E-ADDD-72EAA8395380}\0"
    OV_CONFLICT "{CA7FDA46-DFA8-4748-8F2E-8864E545735B}\0"
    OV_CONFLICT "{715ABCE2-3631-11D4-88A8-000021FC061C}\0"
    OV_CONFLICT "{7F5E2A5A-92C5-4DF1-808D-1688C50CBFEE}\0"
    OV_CONFLICT "{E4DC62CE-5F95-11D6-B254-00C04FF4B435}\0"
    OV_CONFLICT "Mcafee SecurityCenter\0"
    OV_CONFLICT "F-Secure Anti-Virus\0"
    OV_CONFLICT "AntiViral Toolkit Pro\0"
    OV_CONFLICT "VirusScan Online";
// clang-format on
static_assert(sizeof(kAVConflicts) == kAVConflictsChars, "kAVConflictsChars is the table's size");
static_assert(sizeof(kOldGroups) + sizeof(kAVConflicts) <= kAVTableChars, "room for the widened tables");

const char* WidenNames(const char* packed, int first, int count, const wchar_t** names, wchar_t** text) {
    packed = SkipNames(packed, first);
    for (int i = 0; i < count; ++i) {
        names[i] = *text;
        do {
            *(*text)++ = static_cast<unsigned char>(*packed);
        } while (*packed++ != '\0');
    }
    return packed;
}

ConflictingProduct* UnpackConflicts(const char* packed, int first, int count, ConflictingProduct* rows,
                                    wchar_t** text) {
    packed = SkipNames(packed, first);
    for (int i = 0; i < count; ++i, ++rows) {
        *rows = kConflictKinds[*packed - 1];
        packed = WidenNames(packed + 1, 0, 1, &rows->uninstallKeyName, text);
    }
    return rows;
}

bool RegisteredFolderHolds(const wchar_t* key, const wchar_t* value, const wchar_t* file,
                           const wchar_t* otherKey, const wchar_t* otherValue) {
    wchar_t path[kPathChars];
    wchar_t* name = nullptr;
    RegReadDirectory(key, value, path, &name, sizeof(path));
    if (name == nullptr && otherKey != nullptr) {
        RegReadDirectory(otherKey, otherValue, path, &name, sizeof(path));
    }
    return name != nullptr && TextCopy(name, kPathChars - static_cast<size_t>(name - path), file) &&
           FileExists(path);
}

int RefuseWindows(const wchar_t* text, wchar_t* buffer, size_t chars) {
    if (buffer != nullptr && chars > 0 && buffer[0] == L'\0') {
        TextCopyCut(buffer, chars, text);
    }
    LogInfoReport(25012, ErrorOperatingSystem, text);
    return ErrorOperatingSystem;
}

int ProbeSystemAndDriverFolders(const Product& product, const wchar_t* className, wchar_t* buffer,
                                size_t chars) {
    int code = ProbeSystemFolders(product, className, buffer, chars);
    wchar_t folder[kPathChars];
    if (code != 0 || !product.available || IsWindows9x() || !GetWinSysDir(folder, kPathChars) ||
        !AppendPath(folder, kPathChars, folder, L"DRIVERS")) {
        return code;
    }
    wchar_t failure[kMessageChars] = {};
    ProbeDirectory(folder, failure, kMessageChars);
    if (failure[0] == L'\0') {
        return 0;
    }
    TextCopyCut(buffer, chars, failure);
    return ErrorDirectoryPermission;
}

const OSVERSIONINFOEXW* LogWindowsVersion() {
    wchar_t text[kVersionChars];
    GetOperatingSystemDescription(text, kVersionChars);
    Logger::Get().ValueText(25509, text, nullptr);
    return GetOsVersionInfo();
}

int InstalledFolder(Product& product, const wchar_t* className, wchar_t* buffer, size_t chars,
                    int* generation) {
    if (generation != nullptr) {
        *generation = 0;
    }
    if (!HasBuffer(className, kGetInstalledPath, buffer, chars)) {
        return 0;
    }
    if (!product.GetInstalledFilesPath(buffer, chars, nullptr) && CurrentRole() != kRoleInstall) {
        ReadMachineText(product.settingsKey, L"Path", buffer, chars);
    }
    TrimPathEnd(buffer);
    return buffer[0] != L'\0';
}

int RefuseOlderPackage(Product& product, const wchar_t* package, const wchar_t* installed) {
    ReportPart parts[] = {{25019, product.GetDisplayName(), 0}, {25517, package, 0}, {25518, installed, 0}};
    Logger::Get().Report(kLogInformation, kLogInformation, ErrorNewerVersionInstalled, 3, parts);
    return ErrorNewerVersionInstalled;
}

bool StillReportsVersion(Product& product) {
    wchar_t version[kVersionChars];
    product.GetInstalledVersion(version, kVersionChars);
    return TextCompareNoCase(version, L"0") != 0;
}

// ---- ProductAV ------------------------------------------------------------------------------------

ProductAV::ProductAV() {
    productCode = 121;
    uninstallKeyNames = kKeyNames;
    uninstallKeyCount = 3;
    wchar_t* text = tableText_;
    WidenNames(kOldGroups, 0, kOldGroupCount, groups_, &text);
    oldGroupNames = groups_;
    oldGroupCount = kOldGroupCount;
    UnpackConflicts(kAVConflicts, 0, kAVConflictCount, conflictRows_, &text);
    conflicts = conflictRows_;
    conflictCount = kAVConflictCount;
    trustedPrograms = kTrustedPrograms;
    trustedProgramCount = sizeof(kTrustedPrograms) / sizeof(kTrustedPrograms[0]);
    SetKeys(L"av");
}

int ProductAV::GetInstalledVersion(wchar_t* buffer, size_t chars) {
    return ReadInstalledVersion(*this, kClassName, OV_AV_KEY L"\\AutoDownload", L"ProductBaseVersion", buffer,
                                chars);
}

int ProductAV::GetInstalledPath(wchar_t* buffer, size_t chars, int* generation) {
    return InstalledFolder(*this, kClassName, buffer, chars, generation);
}

int ProductAV::GetInstalledFilesPath(wchar_t* buffer, size_t chars, int* generation) {
    if (generation != nullptr) {
        *generation = 0;
    }
    if (!HasBuffer(kClassName, kGetInstalledFilesPath, buffer, chars)) {
        return 0;
    }
    if (ReadMachineText(OV_AV_INSTALL_KEY, L"ProgramPath", buffer, chars)) {
        TrimPathEnd(buffer);
        return buffer[0] != L'\0';
    }
    return ReadInstalledValue(*this, kClassName, kGetInstalledFilesPath, OV_AV_RESIDENT_KEY, L"WexaPath",
                              buffer, chars);
}

int ProductAV::GetInstalledGroup(wchar_t* buffer, size_t chars) {
    return ReadInstalledValue(*this, kClassName, kGetInstalledGroup, OV_AV_INSTALL_KEY, L"ProgramGroup",
                              buffer, chars);
}

int ProductAV::GetSourcePath(wchar_t* buffer, size_t chars, const wchar_t* fileName) {
    return SourcePathIn(L"av", buffer, chars, fileName);
}

int ProductAV::CheckVersion() {
    if (!available) {
        return 0;
    }
    Logger::Get().Message(25530, nullptr);
    wchar_t installed[kVersionChars];
    wchar_t package[kVersionChars];
    GetInstalledVersion(installed, kVersionChars);
    GetInstallationVersion(package, kVersionChars);
    // From version 10 on the product updates itself: an older package never replaces it.
    if (CompareVersionStrings(installed, L"10") >= 0 || CompareVersionStrings(package, installed) >= 0) {
        return 0;
    }
    return RefuseOlderPackage(*this, package, installed);
}

int ProductAV::CheckOperatingSystem(wchar_t* buffer, size_t chars) {
    if (!CheckApplies(*this, kClassName, kCheckOperatingSystem, buffer, chars, false)) {
        return 0;
    }
    const OSVERSIONINFOEXW* version = LogWindowsVersion();
    if (version == nullptr) {
        return 0;
    }
    unsigned long major = version->dwMajorVersion;
    unsigned long minor = version->dwMinorVersion;
    int result = 0;
    wchar_t text[kMessageChars];
    if (IsWindowsNT() && major < 4) {
        TextFormatCut(text, kMessageChars, L"Windows NT %lu.%02lu", major, minor);
        result = RefuseWindows(text, buffer, chars);
    }
    if (IsWindowsNT() && major == 4 && TextCompareNoCase(version->szCSDVersion, L"Service Pack 2") == 0) {
        TextFormatCut(text, kMessageChars, L"Windows NT %lu.%02lu %s", major, minor, version->szCSDVersion);
        result = RefuseWindows(text, buffer, chars);
    }
    if (IsWindows9x() && major == 4 && minor == 0) {
        wchar_t language[kVersionChars];
        LoadResourceString(nullptr, 22208, language, kVersionChars);
        if (wcscmp(language, L"English") != 0) {
            TextFormatCut(text, kMessageChars, L"Windows 95 (%s - %lu.%02lu)", language, major, minor);
            result = RefuseWindows(text, buffer, chars);
        }
    }
    return result;
}

int ProductAV::CheckRegistryPermissions(wchar_t* buffer, size_t chars) {
    if (!CheckApplies(*this, kClassName, kCheckRegistryPermissions, buffer, chars, true)) {
        return 0;
    }
    KeyProbes probes;
    if (IsEngineUnified(nullptr, 0)) {
        probes.Run(kOrvaneTestKeyProbes, 3);
    } else {
        probes.Run(kProductKeyProbes, sizeof(kProductKeyProbes) / sizeof(kProductKeyProbes[0]));
    }
    probes.Run(kCommonProbes, sizeof(kCommonProbes) / sizeof(kCommonProbes[0]));
    probes.Run(&kArgumentAtOnce, 1, uninstallKeyPath);
    for (const wchar_t* service : kServices) {
        wchar_t key[kPathChars];
        if (AppendPath(key, kPathChars, L"SYSTEM\\CurrentControlSet\\Services", service)) {
            probes.Run(&kArgumentAtOnce, 1, key);
        }
    }
    probes.SuiteEntryGroup(*this);
    probes.SettingsGroup(*this);
    return probes.Result(buffer, chars);
}

int ProductAV::CheckDirectoryPermissions(wchar_t* buffer, size_t chars) {
    return ProbeSystemAndDriverFolders(*this, kClassName, buffer, chars);
}

int ProductAV::CheckPrerequisites(wchar_t* buffer, size_t chars) {
    return CheckInternetLibraries(*this, kClassName, buffer, chars);
}

int ProductAV::CheckOtherSessions(wchar_t* buffer, size_t chars) {
    return NoCheck(buffer, chars);
}

int ProductAV::BeginInstall(wchar_t*, size_t) {
    if (!active) {
        return 0;
    }
    CommonBeginInstall();
    CopyUnicodeLayerForSetup(*this);
    return StopAntivirusPrograms();
}

int ProductAV::Install() {
    if (!active) {
        return 0;
    }
    // The nested setup takes ovsetup's own switches; the signature download waits for FinishInstall,
    // after the trust list.
    struct Switch {
        int SetupOptions::*flag;
        const wchar_t* whenClear;
    };
    static const Switch kSwitches[] = {{&SetupOptions::updateFirewall, L"/NoUpdateFirewall "},
                                       {&SetupOptions::uninstallInfo, L"/NoUninstallInfo "},
                                       {&SetupOptions::createProgramGroup, L"/NoProgramGroup "},
                                       {&SetupOptions::productCheck, L"/IgnoreOtherAV "}};
    const SetupOptions& options = SetupOptions::Get();
    wchar_t format[kPathChars];
    TextCopy(format, kPathChars, L"/Silent /NoUpdateFromWeb ");
    for (const Switch& option : kSwitches) {
        if (!(options.*option.flag)) {
            TextAppend(format, kPathChars, option.whenClear);
        }
    }
    TextAppend(format, kPathChars, L"/ProductDest=\"%s\"");
    bool ran = false;
    int result = RunComponentSetup(*this, L"av", L"setup.exe", format, &ran);
    if (ran) {
        RemoveUnusedInstallFolder(*this);
    }
    return result;
}

int ProductAV::FinishInstall() {
    if (!active) {
        return 0;
    }
    StepReport report(this);
    CommonFinishInstall(report);
    report.Add(AddTrustedPrograms(1, 0), 25038, nullptr, true);

    // Failures of the download and the scan do not fail the install.
    const SetupOptions& options = SetupOptions::Get();
    wchar_t files[kPathChars];
    wchar_t line[kCommandLineChars];
    if (!GetInstalledFilesPath(files, kPathChars, nullptr)) {
        return report.result();
    }
    if (options.updateFromWeb && BuildCommandLine(line, kCommandLineChars, files, L"sigfetch.exe", nullptr,
                                                  IsUnattended() ? L"/FullInstallSilent" : L"/FullInstall")) {
        Logger::Get().Message(25549, nullptr);
        RunCommand(line, nullptr);
    }
    wchar_t signatures[kPathChars];
    if (!ProductMain::Get().shellNeeded && options.scan && !IsUnattended() &&
        AppendPath(signatures, kPathChars, files, L"wexa.dat") && FileExists(signatures) &&
        BuildCommandLine(line, kCommandLineChars, files, L"ovav.exe", nullptr, L"-x")) {
        RunCommand(line, nullptr);
    }
    return report.result();
}

int ProductAV::CreateShortcuts() {
    static const ShortcutSpec kShortcuts[] = {
        {0, kInShellFiles, 0, L"ovkestra.exe", L"/t1"},
        {24501, kInComponentFiles, 0, L"ovavhelp.chm", nullptr},
        {24503, kInComponentFiles, 0, L"readme.html", nullptr},
        {24505, kInComponentFiles, 0, L"sigfetch.exe", nullptr},
        {24504, kInComponentFiles, 1, L"ovuninst.exe", L"/u"},
    };
    return CreateComponentShortcuts(*this, kShortcuts, 5);
}

int ProductAV::WriteSettings() {
    return WriteProgramGroupSetting(*this, OV_AV_INSTALL_KEY);
}

int ProductAV::CopySupportFiles(wchar_t* failures, size_t chars) {
    if (!active) {
        return 0;
    }
    Logger::Get().Message(25536, nullptr);
    TextClear(failures, chars);
    wchar_t record[kPathChars] = {};
    wchar_t source[kPathChars];
    wchar_t files[kPathChars];
    GetSourcePath(source, kPathChars, nullptr);
    GetInstalledFilesPath(files, kPathChars, nullptr);
    CopyFileChecked(source, files, L"kestraav.chm", nullptr, record);
    TextCopyCut(failures, chars, record);
    return record[0] != L'\0' ? ErrorSupportFiles : 0;
}

int ProductAV::BeginUninstall() {
    if (!active) {
        return 0;
    }
    CommonBeginUninstall();
    return StopAntivirusPrograms();
}

int ProductAV::Uninstall() {
    if (!active) {
        return 0;
    }
    wchar_t windows[kPathChars];
    if (!GetWinDir(windows, kPathChars)) {
        return ErrorInstalledFilesPath;
    }
    wchar_t line[kCommandLineChars];
    if (!BuildCommandLine(line, kCommandLineChars, windows, L"unwexa32.exe", nullptr, L"/Silent")) {
        return ErrorUninstallCommandLine;
    }
    int result = RunCommand(line, nullptr);
    if (result != 0) {
        return result;
    }
    return StillReportsVersion(*this) ? ErrorStillInstalled : 0;
}

int ProductAV::RemoveSettings() {
    // The product's uninstaller removes its own keys.
    if (active) {
        Logger::Get().Message(25533, nullptr);
    }
    return 0;
}

int ProductAV::RemoveSupportFiles() {
    wchar_t files[kPathChars];
    GetInstalledFilesPath(files, kPathChars, nullptr);
    RemoveHelpFile(files, L"kestraav.chm");
    return 0;
}
