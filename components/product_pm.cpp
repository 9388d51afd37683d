#include "components/product_pm.h"

#include "components/component_steps.h"
#include "components/packed_product_code.h"
#include "components/product_main.h"
#include "components/third_party_ids.h"
#include "host/files.h"
#include "host/paths.h"
#include "host/registry.h"
#include "host/system.h"
#include "log/logger.h"
#include "process/process_find.h"
#include "setup/errors.h"
#include "setup/options.h"

namespace {

const wchar_t* const kUninstallKeyNames[] = {
    OV_PM_CODE_B,
    OV_SUITE_ENTRY_NAME L"\\pm",
    OV_PM_CODE_A,
    L"Tarnel Nimbo Carapel\\Tarnel Pellmar",
};
const wchar_t* const kOldGroupNames[] = {
    L"Orvane\\Tarnel\\Pellmar",
    L"Tarnel Nimbo Carapel\\Tarnel Pellmar",
    L"Tarnel Internet Security Suite\\Tarnel Pellmar Anti-Spyware",
};
const ConflictingProduct kConflicts[] = {
    {OV_PM_OLD_MSI_ENTRY, nullptr, nullptr, nullptr},
    {OV_PM_OLD_INSTALLSHIELD_ENTRY, nullptr, nullptr, nullptr},
};
const TrustedProgram kTrustedPrograms[] = {
    {L"pmv5updater.exe", {2, 2, 3, 3, 3, 3}},
    {L"pellmar5.exe", {2, 2, 3, 3, 3, 3}},
    {L"pmactivedetection.exe", {2, 2, 3, 3, 3, 3}},
};

const ShortcutSpec kShortcuts[] = {
    {0, kInShellFiles, 0, L"ovkestra.exe", L"/t3"},
    {24504, kInComponentFiles, 1, L"ovuninst.exe", L"/u"},
};

// Handed on to Windows Installer: the folder in escaped quotes, no automatic update, no restart,
// no user interface.
const wchar_t kSetupSwitches[] = L"/v\"INSTALLDIR=\\\"%s\\\" NOUPDATE=Yes REBOOT=ReallySuppress /qn\"";
static_assert(sizeof(kSetupSwitches) / sizeof(wchar_t) == 61, "the switches format is 60 characters");

const wchar_t kClassName[] = L"ProductPM";

// The product's settings key and its two COM classes, each a group.
const KeyProbe kKeyProbes[] = {
    {L"SOFTWARE\\Orvane", kProbeAbsolute, kProbeKeep},
    {L"TarnelPellmar", kProbeGroupKey, kProbeAtOnce},
    {nullptr, kProbeAbsolute, kProbeEndGroup},
    {OV_PM_CONTROL_CLASS_GUID, kProbeClassIds, kProbeKeep},
    {L"InprocServer32", kProbeGroupKey, kProbeAtOnce},
    {L"ProgID", kProbeGroupKey, kProbeAtOnce},
    {L"Programmable", kProbeGroupKey, kProbeAtOnce},
    {L"TypeLib", kProbeGroupKey, kProbeAtOnce},
    {L"VersionIndependentProgID", kProbeGroupKey, kProbeAtOnce},
    {nullptr, kProbeAbsolute, kProbeEndGroup},
    {OV_PM_APPLICATION_CLASS_GUID, kProbeClassIds, kProbeKeep},
    {L"InprocServer32", kProbeGroupKey, kProbeAtOnce},
    {L"ProgID", kProbeGroupKey, kProbeAtOnce},
    {L"Programmable", kProbeGroupKey, kProbeAtOnce},
    {L"TypeLib", kProbeGroupKey, kProbeAtOnce},
    {L"VersionIndependentProgID", kProbeGroupKey, kProbeAtOnce},
    {nullptr, kProbeAbsolute, kProbeEndGroup},
};
// Windows Installer's keys of one product code (the argument: its packed form).
const KeyProbe kInstallerProbes[] = {
    {nullptr, kProbeFeatures, kProbeAtOnce},
    {nullptr, kProbeProducts, kProbeKeep},
    {L"SourceList", kProbeGroupKey, kProbeKeep},
    {L"SourceList\\Media", kProbeGroupKey, kProbeAtOnce},
    {L"SourceList\\Net", kProbeGroupKey, kProbeAtOnce},
    {nullptr, kProbeAbsolute, kProbeEndGroup},
};
// The two interfaces and the ProgIDs, each a group, then the product's entry (the argument) and
// RunOnce.
const KeyProbe kInterfaceProbes[] = {
    {OV_PM_CONTROL_INTERFACE_GUID, kProbeInterfaces, kProbeKeep},
    {L"ProxyStubClsid", kProbeGroupKey, kProbeAtOnce},
    {L"ProxyStubClsid32", kProbeGroupKey, kProbeAtOnce},
    {L"TypeLib", kProbeGroupKey, kProbeAtOnce},
    {nullptr, kProbeAbsolute, kProbeEndGroup},
    {OV_PM_APPLICATION_INTERFACE_GUID, kProbeInterfaces, kProbeKeep},
    {L"ProxyStubClsid", kProbeGroupKey, kProbeAtOnce},
    {L"ProxyStubClsid32", kProbeGroupKey, kProbeAtOnce},
    {L"TypeLib", kProbeGroupKey, kProbeAtOnce},
    {nullptr, kProbeAbsolute, kProbeEndGroup},
    {L"pmctl", kProbeClasses, kProbeKeep},
    {L"TarnelPellmar", kProbeClasses, kProbeAtOnce},
    {nullptr, kProbeAbsolute, kProbeEndGroup},
    {nullptr, kProbeAbsolute, kProbeAtOnce},
    {L"RunOnce", kProbeCurrentVersion, kProbePlain},
};

const wchar_t kHelpFile[] = L"kestrapm.chm";
const wchar_t kDesktopShortcut[] = L"Tarnel Pellmar.lnk";
const DWORD kUpdateAppearMs = 3000;
const size_t kProductNameChars = 256;
const DWORD kPackageCodeBytes = 256;

bool ProductKey(const wchar_t* packedCode, wchar_t* key) {
    return TextFormat(key, kPathChars, L"SOFTWARE\\Classes\\Installer\\Products\\%s", packedCode);
}

bool HasPackageCode(const wchar_t* productKey) {
    wchar_t code[kPackageCodeBytes / sizeof(wchar_t)];
    return RegReadString(HKEY_LOCAL_MACHINE, productKey, L"PackageCode", code, sizeof(code)) == ERROR_SUCCESS;
}

}  // namespace

ProductPM::ProductPM() {
    productCode = 137;
    uninstallKeyNames = kUninstallKeyNames;
    uninstallKeyCount = 4;
    oldGroupNames = kOldGroupNames;
    oldGroupCount = 3;
    conflicts = kConflicts;
    conflictCount = 2;
    trustedPrograms = kTrustedPrograms;
    trustedProgramCount = 3;
    PackProductCode(OV_PM_CODE_A, packedCodes[0], 33);
    PackProductCode(OV_PM_CODE_B, packedCodes[1], 33);
    SetKeys(L"pm");
}

// ---- the product's registration with Windows Installer ------------------------------------------

void ProductPM::ChangeRegistration(RegistrationChange change) {
    if (change != kForget) {
        RegWriteValue(HKEY_LOCAL_MACHINE, REG_DWORD, uninstallKeyPath, L"WindowsInstaller",
                      change == kRestore ? L"1" : L"0");
    }
    wchar_t name[kProductNameChars];
    TextFormatCut(name, kProductNameChars, L"OV %s", change == kRestore ? GetDisplayName() : L"");
    for (const wchar_t* packed : packedCodes) {
        wchar_t key[kPathChars];
        if (!ProductKey(packed, key)) {
            continue;
        }
        if (change != kRestore) {
            RegDeleteValue(HKEY_LOCAL_MACHINE, key, L"ProductName");
        } else if (HasPackageCode(key)) {
            RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, key, L"ProductName", name);
        }
        if (change == kForget) {
            RegDeleteEmptyKey(HKEY_LOCAL_MACHINE, key, true);
        }
    }
}

// ---- where the installed component is ----------------------------------------------------------

int ProductPM::GetInstalledVersion(wchar_t* buffer, size_t chars) {
    return ReadInstalledVersion(*this, kClassName, uninstallKeyPath, L"DisplayVersion", buffer, chars);
}

int ProductPM::GetInstalledPath(wchar_t* buffer, size_t chars, int* generation) {
    if (!HasBuffer(kClassName, kGetInstalledPath, buffer, chars)) {
        return 0;
    }
    if (!GetInstalledFilesPath(buffer, chars, generation) && CurrentRole() != kRoleInstall) {
        ReadMachineText(settingsKey, L"Path", buffer, chars);
    }
    TrimPathEnd(buffer);
    return buffer[0] != L'\0';
}

int ProductPM::GetInstalledFilesPath(wchar_t* buffer, size_t chars, int* generation) {
    if (generation != nullptr) {
        *generation = 0;
    }
    return ReadInstalledValue(*this, kClassName, kGetInstalledFilesPath, OV_PM_KEY, L"InstallPath", buffer,
                              chars);
}

int ProductPM::GetInstalledGroup(wchar_t* buffer, size_t chars) {
    return ReadInstalledValue(*this, kClassName, kGetInstalledGroup, OV_PM_KEY, L"ProgramGroup", buffer,
                              chars);
}

int ProductPM::GetSourcePath(wchar_t* buffer, size_t chars, const wchar_t* fileName) {
    return SourcePathIn(L"pm", buffer, chars, fileName);
}

// ---- checks ------------------------------------------------------------------------------------

int ProductPM::CheckOperatingSystem(wchar_t* buffer, size_t chars) {
    return RefuseOldWindows(*this, kClassName, buffer, chars);
}

int ProductPM::CheckRegistryPermissions(wchar_t* buffer, size_t chars) {
    if (!CheckApplies(*this, kClassName, kCheckRegistryPermissions, buffer, chars, true)) {
        return 0;
    }
    KeyProbes probes;
    probes.Run(kKeyProbes, sizeof(kKeyProbes) / sizeof(kKeyProbes[0]));
    for (const wchar_t* packed : packedCodes) {
        // The earlier generation's keys matter only while Windows Installer knows that product.
        wchar_t key[kPathChars];
        if (packed != packedCodes[0] || (ProductKey(packed, key) && HasPackageCode(key))) {
            probes.Run(kInstallerProbes, sizeof(kInstallerProbes) / sizeof(kInstallerProbes[0]), packed);
        }
    }
    probes.Run(kInterfaceProbes, sizeof(kInterfaceProbes) / sizeof(kInterfaceProbes[0]), uninstallKeyPath);
    probes.SuiteEntryGroup(*this);
    probes.SettingsGroup(*this);
    return probes.Result(buffer, chars);
}

int ProductPM::CheckDirectoryPermissions(wchar_t* buffer, size_t chars) {
    return ProbeSystemFolders(*this, kClassName, buffer, chars);
}

int ProductPM::CheckPrerequisites(wchar_t* buffer, size_t chars) {
    return NoCheck(buffer, chars);
}

int ProductPM::CheckOtherSessions(wchar_t* buffer, size_t chars) {
    return NoCheck(buffer, chars);
}

// ---- install -----------------------------------------------------------------------------------

int ProductPM::BeginInstall(wchar_t*, size_t) {
    if (!active) {
        return 0;
    }
    CommonBeginInstall();
    CopyUnicodeLayerForSetup(*this);
    // The product's own installer upgrades what Windows Installer registered, as it registered it.
    if (TextCompareNoCase(previousVersion, L"0") != 0) {
        RestoreRegistration();
    }
    return 0;
}

int ProductPM::Install() {
    if (!active) {
        return 0;
    }
    bool ran = false;
    int result = RunComponentSetup(*this, L"pm", L"Pellmar.exe", kSetupSwitches, &ran);
    if (ran) {
        if (TextCompareNoCase(previousVersion, L"0") != 0) {
            HideRegistration();
        }
        RemoveUnusedInstallFolder(*this);
    }
    return result;
}

int ProductPM::FinishInstall() {
    if (!active) {
        return 0;
    }
    // The product's installer puts a shortcut on both desktops; the suite's group replaces them.
    for (int allUsers = 1; allUsers >= 0; --allUsers) {
        wchar_t stored[kPathChars];
        wchar_t link[kPathChars];
        if (GetDesktopDir(stored, kPathChars, allUsers != 0) &&
            ExpandEnvironmentPath(link, kPathChars, stored) &&
            AppendPath(link, kPathChars, link, kDesktopShortcut)) {
            DeleteFileW(link);
        }
    }

    // The common sequence, with the registration hidden as soon as the suite's entry stands.
    StepReport report(this);
    report.Add(WriteSettings(), 25044);
    int code = RegisterUninstall();
    report.Add(code, 25034);
    if (code == 0) {
        HideRegistration();
    }
    wchar_t failures[kPathChars];
    code = CopySharedFiles(failures, kPathChars);
    report.Add(code, 25033, failures);
    code = CopySupportFiles(failures, kPathChars);
    report.Add(code, 25033, failures);
    RemoveProgramGroups(1);
    RemoveProgramGroups(0);
    report.Add(CreateShortcuts(), 25035);
    TrustedProgramsStep(report);

    // One update run; the updater hands the work to "pmdoupdate.exe" and ends at once. Its
    // failures do not touch the result.
    wchar_t files[kPathChars];
    wchar_t command[kCommandLineChars];
    if (GetInstalledFilesPath(files, kPathChars, nullptr) &&
        BuildCommandLine(command, kCommandLineChars, files, L"pmv5updater.exe", nullptr,
                         L"/noninteractive")) {
        Logger::Get().Message(25549, nullptr);
        if (RunCommand(command, nullptr) == 0) {
            WaitForProcess(L"pmdoupdate", L"pmdoupdate.exe", kUpdateAppearMs);
        }
    }
    return report.result();
}

int ProductPM::CreateShortcuts() {
    return CreateComponentShortcuts(*this, kShortcuts, sizeof(kShortcuts) / sizeof(kShortcuts[0]));
}

int ProductPM::WriteSettings() {
    return WriteProgramGroupSetting(*this, OV_PM_KEY);
}

int ProductPM::CopySupportFiles(wchar_t* failures, size_t chars) {
    return CopyComponentSupportFiles(*this, kHelpFile, nullptr, true, failures, chars);
}

// ---- uninstall ---------------------------------------------------------------------------------

int ProductPM::BeginUninstall() {
    if (!active) {
        return 0;
    }
    CommonBeginUninstall();
    RestoreRegistration();
    return 0;
}

int ProductPM::Uninstall() {
    int result = 0;
    if (active) {
        // The product's own command, kept by the registration of either form; Windows Installer's
        // maintenance command is the last resort.
        wchar_t command[kCommandLineChars];
        if ((!ReadMachineText(uninstallKeyPath, L"UninstallProduct", command, kCommandLineChars) &&
             !ReadMachineText(suiteUninstallKeyPath, L"UninstallProduct", command, kCommandLineChars) &&
             !ReadMachineText(uninstallKeyPath, L"ModifyPath", command, kCommandLineChars)) ||
            !TextAppend(command, kCommandLineChars, L" /qr")) {
            result = ErrorUninstallCommandLine;
        } else {
            result = RunCommand(command, nullptr);
            wchar_t version[kPathChars];
            if (result == 0 && GetInstalledVersion(version, kPathChars) &&
                TextCompareNoCase(version, L"0") != 0) {
                result = ErrorStillInstalled;
            }
        }
    }
    // The names the suite restored never outlive it, whatever became of the product.
    ChangeRegistration(kForget);
    return result;
}

int ProductPM::RemoveSettings() {
    if (active) {
        Logger::Get().Message(25533, nullptr);
        RegDeleteValue(HKEY_LOCAL_MACHINE, OV_PM_KEY, L"ProgramGroup");
        RegDeleteEmptyKey(HKEY_LOCAL_MACHINE, OV_PM_KEY, true);
    }
    return 0;
}

int ProductPM::RemoveSupportFiles() {
    wchar_t folder[kPathChars];
    GetInstalledFilesPath(folder, kPathChars, nullptr);
    RemoveHelpFile(folder, kHelpFile);
    return 0;
}
