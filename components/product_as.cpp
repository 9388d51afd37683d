#include "components/product_as.h"

#include "components/component_steps.h"
#include "components/third_party_ids.h"
#include "host/files.h"
#include "host/handles.h"
#include "host/paths.h"
#include "host/registry.h"
#include "host/system.h"
#include "log/logger.h"
#include "process/process_find.h"
#include "setup/errors.h"

namespace {

const wchar_t* const kUninstallKeyNames[] = {
    OV_AS_ENTRY_NAME,
    OV_SUITE_ENTRY_NAME L"\\as",
    L"Tarnel Nimbo Carapel\\Tarnel Anti-Spam",
    L"Tarnel Nimbo Carapel\\Tarnel Nimbo Anti-Spam",
};
const wchar_t* const kOldGroupNames[] = {
    L"Tarnel Nimbo Carapel\\Tarnel Nimbo Anti-Spam",
    L"Tarnel Nimbo Carapel\\Tarnel Anti-Spam",
    L"Tarnel Internet Security Suite\\Tarnel Anti-Spam",
};
const ConflictingProduct kConflicts[] = {
    {OV_AS_ENTRY_NAME, L"z-update", L"z-update.exe", IsStandaloneAntiSpam},
};
const TrustedProgram kTrustedPrograms[] = {
    {L"z-update.exe", {2, 2, 3, 3, 3, 3}},
};

const wchar_t kUpdater[] = L"z-update.exe";
const wchar_t kHelpFile[] = L"kestraas.chm";
const DWORD kSecondInstanceAppearMs = 3000;

const wchar_t kClassName[] = L"ProductAS";

const ShortcutSpec kShortcuts[] = {
    {0, kInShellFiles, 0, L"ovkestra.exe", L"/t4"},
    {24508, kInComponentFiles, 0, kUpdater, L"/cp"},
    {24500, kWebAddress, 0, OV_AS_PAGE_ADDRESS, L"home"},
    {24510, kInComponentFiles, 0, kUpdater, nullptr},
    {24511, kInComponentFiles, 0, kUpdater, L"/rb"},
    {24501, kWebAddress, 0, OV_AS_PAGE_ADDRESS, L"help"},
    {24504, kInComponentFiles, 1, L"ovuninst.exe", L"/u"},  // only without the suite
};

// The product's own keys, the add-in's, and the system keys its installer writes to; the row
// without a name is the product's Uninstall entry.
const KeyProbe kKeyProbes[] = {
    {OV_AS_KEY, kProbeAbsolute, kProbeAtOnce},
    {OV_AS_ADDIN_CLASS_GUID, kProbeClassIds, kProbeAtOnce},
    {OV_AS_ADDIN_PROGID, kProbeClasses, kProbeAtOnce},
    {L"App Paths", kProbeCurrentVersion, kProbePlain},
    {L"Run", kProbeCurrentVersion, kProbePlain},
    {L"RunOnce", kProbeCurrentVersion, kProbePlain},
    {nullptr, kProbeAbsolute, kProbeAtOnce},
    {OV_AS_ADDIN_PROGID, kProbeOutlookAddIns, kProbeAtOnce},
};

}  // namespace

int IsStandaloneAntiSpam(wchar_t*, size_t) {
    wchar_t path[kPathChars];
    wchar_t* name = nullptr;
    RegReadDirectory(OV_AS_KEY, L"ReleasePath", path, &name, sizeof(path));
    if (name == nullptr) {
        return 0;
    }
    size_t room = kPathChars - static_cast<size_t>(name - path);
    if (!TextCopy(name, room, kUpdater) || !FileExists(path)) {
        return 0;
    }
    return !(TextCopy(name, room, OV_AS_SUITE_MARKER) && FileExists(path));
}

ProductAS::ProductAS() {
    productCode = 136;
    uninstallKeyNames = kUninstallKeyNames;
    uninstallKeyCount = 4;
    oldGroupNames = kOldGroupNames;
    oldGroupCount = 3;
    conflicts = kConflicts;
    conflictCount = 1;
    trustedPrograms = kTrustedPrograms;
    trustedProgramCount = 1;
    SetKeys(L"as");
}

// ---- where the installed component is ----------------------------------------------------------

int ProductAS::GetInstalledVersion(wchar_t* buffer, size_t chars) {
    return ReadInstalledVersion(*this, kClassName, OV_AS_KEY, L"ReleaseVersion", buffer, chars);
}

int ProductAS::GetInstalledPath(wchar_t* buffer, size_t chars, int* generation) {
    if (generation != nullptr) {
        *generation = 0;
    }
    return ReadInstalledValue(*this, kClassName, kGetInstalledPath, OV_AS_KEY, L"AppInstallPath", buffer,
                              chars);
}

int ProductAS::GetInstalledFilesPath(wchar_t* buffer, size_t chars, int* generation) {
    if (generation != nullptr) {
        *generation = 0;
    }
    return ReadInstalledValue(*this, kClassName, kGetInstalledFilesPath, OV_AS_KEY, L"ReleasePath", buffer,
                              chars);
}

int ProductAS::GetInstalledGroup(wchar_t* buffer, size_t chars) {
    return ReadInstalledValue(*this, kClassName, kGetInstalledGroup, OV_AS_KEY, L"ProgramGroup", buffer,
                              chars);
}

int ProductAS::GetSourcePath(wchar_t* buffer, size_t chars, const wchar_t* fileName) {
    return SourcePathIn(L"as", buffer, chars, fileName);
}

// ---- checks ------------------------------------------------------------------------------------

int ProductAS::CheckOperatingSystem(wchar_t* buffer, size_t chars) {
    return RefuseOldWindows(*this, kClassName, buffer, chars);
}

int ProductAS::CheckRegistryPermissions(wchar_t* buffer, size_t chars) {
    if (!CheckApplies(*this, kClassName, kCheckRegistryPermissions, buffer, chars, true)) {
        return 0;
    }
    KeyProbes probes;
    probes.Run(kKeyProbes, sizeof(kKeyProbes) / sizeof(kKeyProbes[0]), uninstallKeyPath);
    probes.SuiteEntryGroup(*this);
    probes.SettingsGroup(*this);
    return probes.Result(buffer, chars);
}

int ProductAS::CheckDirectoryPermissions(wchar_t* buffer, size_t chars) {
    return ProbeSystemFolders(*this, kClassName, buffer, chars);
}

int ProductAS::CheckPrerequisites(wchar_t* buffer, size_t chars) {
    return CheckInternetLibraries(*this, kClassName, buffer, chars);
}

int ProductAS::CheckOtherSessions(wchar_t* buffer, size_t chars) {
    return NoCheck(buffer, chars);
}

// ---- install -----------------------------------------------------------------------------------

int ProductAS::BeginInstall(wchar_t*, size_t) {
    if (active) {
        GetInstalledFilesPath(previousFilesPath, kPathChars, nullptr);
    }
    return CommonBeginInstall();
}

int ProductAS::Install() {
    if (!active) {
        return 0;
    }
    bool ran = false;
    int result = RunComponentSetup(*this, L"as", L"Anti-Spam.exe", L"/silent %s", &ran);
    if (ran) {
        RemoveUnusedInstallFolder(*this);
    }
    return result;
}

int ProductAS::FinishInstall() {
    if (!active) {
        return 0;
    }
    StepReport report(this);
    CommonFinishInstall(report);
    // Each release lives in a folder of its own; an upgrade would leave the old one behind.
    wchar_t files[kPathChars];
    if (previousFilesPath[0] != L'\0' && GetInstalledFilesPath(files, kPathChars, nullptr) &&
        !PathsEqual(previousFilesPath, files, true)) {
        DeleteProductFolder(previousFilesPath, true);
    }
    TrustedProgramsStep(report);
    return report.result();
}

int ProductAS::CreateShortcuts() {
    return CreateComponentShortcuts(*this, kShortcuts, sizeof(kShortcuts) / sizeof(kShortcuts[0]));
}

int ProductAS::WriteSettings() {
    return WriteProgramGroupSetting(*this, OV_AS_KEY);
}

int ProductAS::CopySupportFiles(wchar_t* failures, size_t chars) {
    // The help lies in the installation folder, beside the product's release folders.
    wchar_t folder[kPathChars];
    GetInstalledPath(folder, kPathChars, nullptr);
    return CopyComponentSupportFiles(*this, kHelpFile, folder, false, failures, chars);
}

// ---- uninstall ---------------------------------------------------------------------------------

int ProductAS::BeginUninstall() {
    return CommonBeginUninstall();
}

int ProductAS::Uninstall() {
    if (!active) {
        return 0;
    }
    wchar_t files[kPathChars];
    if (!GetInstalledFilesPath(files, kPathChars, nullptr)) {
        return ErrorInstalledFilesPath;
    }
    wchar_t command[kCommandLineChars];
    if (!BuildCommandLine(command, kCommandLineChars, files, kUpdater, nullptr, L"/u_silent")) {
        return ErrorUninstallCommandLine;
    }
    unsigned exitCode = 0;
    if (RunCommand(command, &exitCode) != 0) {
        return ErrorProcessStart;
    }
    // The updater hands the removal to a second instance of itself and ends at once; a failed
    // hand-off starts nothing worth waiting for.
    if (exitCode == 0) {
        WaitForProcess(L"z-update", kUpdater, kSecondInstanceAppearMs);
    }
    wchar_t version[kPathChars];
    GetInstalledVersion(version, kPathChars);
    return TextCompareNoCase(version, L"0") != 0 ? ErrorStillInstalled : 0;
}

int ProductAS::RemoveSettings() {
    // The product's updater removes its own keys.
    if (active) {
        Logger::Get().Message(25533, nullptr);
    }
    return 0;
}

int ProductAS::RemoveSupportFiles() {
    wchar_t folder[kPathChars];
    GetInstalledPath(folder, kPathChars, nullptr);
    RemoveHelpFile(folder, kHelpFile);
    return 0;
}

int ProductAS::RemoveLeftoverFiles() {
    wchar_t folder[kPathChars];
    wchar_t pattern[kPathChars];
    if (IsInstalled(1) || !GetInstalledPath(folder, kPathChars, nullptr) ||
        !AppendPath(pattern, kPathChars, folder, L"ZSP-*.*")) {
        return 0;
    }
    WIN32_FIND_DATAW found;
    ScopedFindHandle search(FindFirstFileW(pattern, &found));
    if (!search.IsValid()) {
        return 0;
    }
    do {
        wchar_t path[kPathChars];
        // Files of that name are not the updater's release folders; a link is removed, never
        // walked into.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            !AppendPath(path, kPathChars, folder, found.cFileName)) {
            continue;
        }
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            RemoveDirectoryW(path);
        } else {
            DeleteDirectoryTree(path, true, nullptr);
        }
    } while (FindNextFileW(search.Get(), &found));
    return 0;
}
