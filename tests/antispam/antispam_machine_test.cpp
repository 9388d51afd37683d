// The anti-spam component against a whole machine, with the product's own installer and updater
// (our stand-ins): a single-component package installed, upgraded and removed, the stand-alone
// edition taken for a conflicting product, and the wait for the updater's second instance. Each
// test runs in a prefix of its own (HKLM, C:\, the start menu and processes are involved).
#include <gtest/gtest.h>
#include <objbase.h>

#include <string>

#include "choices.h"
#include "component_package.h"
#include "components/components.h"
#include "components/third_party_ids.h"
#include "host/registry.h"
#include "setup/errors.h"
#include "setup/setup.h"

using namespace ovtest;

namespace {

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kEntry = kUninstall + OV_AS_ENTRY_NAME;
const std::wstring kZember = L"SOFTWARE\\Zember";
const std::wstring kSuiteKey = L"SOFTWARE\\Orvane\\Tarnel Suite Personal";
const std::wstring kSettings = kSuiteKey + L"\\as";
const std::wstring kGroup = L"Tarnel Internet Security Suite";

std::wstring AntiSpamProgram(const wchar_t* name) {
    return BinDir() + L"\\standins\\antispam\\" + name;
}

ComponentPackage AntiSpamPackage() {
    return ComponentPackage(L"as", L"aspm_package\\as", {AntiSpamProgram(L"Anti-Spam.exe")}, L"kestraas.chm");
}

void SetSwitch(const wchar_t* program, const wchar_t* name, DWORD value) {
    SetRegDword(HKEY_LOCAL_MACHINE, std::wstring(L"SOFTWARE\\OvStandins\\") + program, name, value);
}

void SetSwitchText(const wchar_t* program, const wchar_t* name, const wchar_t* value) {
    SetRegString(HKEY_LOCAL_MACHINE, std::wstring(L"SOFTWARE\\OvStandins\\") + program, name, value);
}

void ClearSwitches() {
    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OvStandins");
}

// The product put in place by its own installer, as a person would have done.
void InstallDirectly(const std::wstring& folder) {
    ASSERT_EQ(0, RunProcess(L"\"" + AntiSpamProgram(L"Anti-Spam.exe") + L"\" /silent " + folder));
}

std::wstring Destination() {
    wchar_t folder[MAX_PATH] = {};
    GetEnvironmentVariableW(L"OV_PACKAGE_DESTINATION", folder, MAX_PATH);
    return folder;
}

// The package's copy of this program runs the install role's sequence.
TEST(MachineAntiSpamChild, Install) {
    if (PackageStep().empty()) {
        GTEST_SKIP() << "runs only as the package's copy";
    }
    DriveInstall(Destination(), kGroup);
}

void ExpectInstallSucceeded(const ComponentPackage& package) {
    EXPECT_EQ(0, StepResult(L"SelectProducts"));
    EXPECT_EQ(0, StepResult(L"ShellNeeded")) << "one component installs without the suite shell";
    for (const wchar_t* step : {L"CheckAll", L"ShellBeginInstall", L"ShellInstall", L"BeginInstall",
                                L"Install", L"FinishInstall", L"ShellFinishInstall"}) {
        EXPECT_EQ(0, StepResult(step)) << Narrow(step) << "\n" << package.ChildLog();
    }
}

TEST(MachineAntiSpamInstall, OnItsOwnFromAPackageThenUpgradedAndRemoved) {
    StandinRecords records;
    ComponentPackage package = AntiSpamPackage();
    ScratchDir scratch;
    const std::wstring destination = scratch / L"Tarnel Suite";
    const std::wstring folder = destination + L"\\Tarnel Anti-Spam";
    const std::wstring release = folder + L"\\ZSP-3.1.0.0";
    SetEnvironmentVariableW(L"OV_PACKAGE_DESTINATION", destination.c_str());
    CoInitialize(nullptr);

    // A library too old to pass, beside the setup program: the check takes the system's own.
    package.Plant(BinDir() + L"\\aspm_package\\planted\\ovavprod.dll", L"WININET.DLL");
    // The first release is the package's own version.
    SetSwitchText(L"Anti-Spam", L"Version", L"3.1.0.0");
    ASSERT_EQ(0, package.RunChild(L"MachineAntiSpamChild.*", L"install"));
    ExpectInstallSucceeded(package);

    std::vector<Record> installs = records.Read(L"Anti-Spam");
    ASSERT_EQ(1u, installs.size());
    EXPECT_EQ(Narrow(L"\"" + package.component() + L"\\Anti-Spam.exe\" /silent " + folder),
              installs[0]["command line"]);
    EXPECT_EQ("suite", installs[0]["edition"]);

    // A product of its own: its "OV " entry over the product's, the product's uninstaller kept.
    EXPECT_EQ(L"OV Tarnel Anti-Spam", RegText(kEntry, L"DisplayName"));
    EXPECT_EQ(L"\"" + release + L"\\ovuninst.exe\" /u", RegText(kEntry, L"UninstallString"));
    EXPECT_EQ(L"\"" + release + L"\\z-update.exe\" /u_silent", RegText(kEntry, L"UninstallProduct"));
    EXPECT_EQ(L"3.1.0.0", RegText(kEntry, L"DisplayVersion"));
    EXPECT_FALSE(KeyExists(kUninstall + L"Tarnel Suite Personal")) << "the suite shell is not registered";
    EXPECT_EQ(0, IsStandaloneAntiSpam(nullptr, 0)) << "the suite's edition is no conflicting product";

    // The suite shell's files and settings came along.
    EXPECT_EQ(destination, RegText(kSuiteKey, L"Path"));
    for (const wchar_t* name : kShellFiles) {
        EXPECT_TRUE(PathExists(destination + L"\\" + name)) << Narrow(name);
    }
    for (const wchar_t* name : {L"ovavfrm.dll", L"ovavres.dll", L"ovuninst.exe", L"ovavprod.dll",
                                L"kestrafrm.dll", L"kestrares.dll", L"license.txt"}) {
        EXPECT_TRUE(PathExists(release + L"\\" + name)) << Narrow(name);
    }
    EXPECT_TRUE(PathExists(folder + L"\\kestraas.chm"));
    const std::wstring group = kGroup + L"\\Tarnel Anti-Spam";
    EXPECT_EQ(group, RegText(kZember, L"ProgramGroup"));
    EXPECT_EQ(folder, RegText(kSettings, L"Path"));
    EXPECT_EQ(release, RegText(kSettings, L"Files"));
    EXPECT_EQ(group, RegText(kSettings, L"Group"));
    EXPECT_EQ(L"3.1.0.0", RegText(kSettings, L"Version"));

    const std::wstring links = CommonProgramsFolder() + L"\\" + group;
    struct Link {
        const wchar_t* name;
        std::wstring command;
    } shortcuts[] = {
        {L"Tarnel Anti-Spam.lnk", destination + L"\\ovkestra.exe /t4"},
        {L"Tarnel Anti-Spam Options.lnk", release + L"\\z-update.exe /cp"},
        {L"Update Anti-Spam.lnk", release + L"\\z-update.exe "},
        {L"Repair Anti-Spam.lnk", release + L"\\z-update.exe /rb"},
        {L"Uninstall Tarnel Anti-Spam.lnk", release + L"\\ovuninst.exe /u"},
    };
    for (const Link& link : shortcuts) {
        EXPECT_EQ(Narrow(link.command), Narrow(ShortcutCommand(links + L"\\" + link.name)))
            << Narrow(link.name);
    }
    EXPECT_NE(std::string::npos, ReadFileBytes(links + L"\\Tarnel Anti-Spam on the Web.url")
                                     .find(Narrow(std::wstring(L"URL=") + aspm::kAntiSpamHomePageUrl)));
    EXPECT_NE(std::string::npos, ReadFileBytes(links + L"\\Tarnel Anti-Spam Help.url")
                                     .find(Narrow(std::wstring(L"URL=") + aspm::kAntiSpamHelpPageUrl)));

    // The product's next release lives in a folder of its own; the old one goes.
    ClearSwitches();
    ClearStepResults();
    ASSERT_EQ(0, package.RunChild(L"MachineAntiSpamChild.*", L"install"));
    ExpectInstallSucceeded(package);
    const std::wstring newRelease = folder + L"\\ZSP-3.1.4.1592";
    EXPECT_FALSE(PathExists(release));
    EXPECT_TRUE(PathExists(newRelease + L"\\ovuninst.exe"));
    installs = records.Read(L"Anti-Spam");
    ASSERT_EQ(2u, installs.size());
    EXPECT_EQ(installs[0]["command line"], installs[1]["command line"]) << "updated in place";
    EXPECT_EQ(Narrow(newRelease + L"\\ovuninst.exe /u"),
              Narrow(ShortcutCommand(links + L"\\Uninstall Tarnel Anti-Spam.lnk")));

    // Removed through the product's updater, whose second instance is waited for.
    {
        ProcessListFromSnapshot processes;
        Setup::Create(kRoleUninstall);
        ProductAS product;
        product.available = 1;
        product.active = 1;
        EXPECT_EQ(0, product.BeginUninstall());
        EXPECT_EQ(0, product.Uninstall());
        std::vector<Record> updates = records.Read(L"z-update");
        ASSERT_EQ(2u, updates.size());
        EXPECT_EQ(Narrow(L"\"" + newRelease + L"\\z-update.exe\" /u_silent"), updates[0]["command line"]);
        EXPECT_EQ("removed", updates[1]["result"]);
        EXPECT_EQ(0, product.RemoveSettings());
        EXPECT_EQ(0, product.RemoveSupportFiles());
        product.RemoveSharedFiles();
        product.RemoveUninstallKeys();
        Setup::Destroy();
    }
    EXPECT_FALSE(KeyExists(kEntry));
    EXPECT_FALSE(PathExists(folder + L"\\kestraas.chm"));
    EXPECT_TRUE(PathExists(newRelease + L"\\z-update.exe")) << "the updater cannot delete itself";

    // The cleanup removes the release folders the updater left, nothing else of that name.
    WriteFileBytes(folder + L"\\ZSP-notes.txt", "not a release");
    {
        Setup::Create(kRoleCleanup);
        ProductAS product;
        EXPECT_EQ(0, product.RemoveLeftoverFiles());
        Setup::Destroy();
    }
    EXPECT_FALSE(PathExists(newRelease));
    EXPECT_TRUE(PathExists(folder + L"\\ZSP-notes.txt"));
    CoUninitialize();
}

TEST(MachineAntiSpamConflict, TheStandaloneEditionIsAConflictingProductTheSuitesIsNot) {
    StandinRecords records;
    ComponentPackage package = AntiSpamPackage();
    ScratchDir scratch;
    SetEnvironmentVariableW(L"OV_PACKAGE_DESTINATION", (scratch / L"Tarnel Suite").c_str());
    const std::wstring retail = scratch / L"Retail Anti-Spam";
    // Both editions at the package's version, so that only the conflict can stand in the way.
    SetSwitchText(L"Anti-Spam", L"Version", L"3.1.0.0");

    SetSwitch(L"Anti-Spam", L"Standalone", 1);
    InstallDirectly(retail);
    ASSERT_EQ(1, IsStandaloneAntiSpam(nullptr, 0));
    ASSERT_EQ(0, package.RunChild(L"MachineAntiSpamChild.*", L"install"));
    EXPECT_EQ(ErrorConflictRemovalDeclined, StepResult(L"CheckAll")) << package.ChildLog();
    EXPECT_EQ(-1, StepResult(L"Install")) << "nothing is installed unattended";
    EXPECT_TRUE(records.Read(L"z-update").empty()) << "and nothing removed";
    EXPECT_EQ(1u, records.Read(L"Anti-Spam").size());

    // The suite's own edition under the same entry is simply updated in place.
    SetSwitch(L"Anti-Spam", L"Standalone", 0);
    InstallDirectly(retail);
    ClearStepResults();
    ASSERT_EQ(0, package.RunChild(L"MachineAntiSpamChild.*", L"install"));
    ExpectInstallSucceeded(package);
    std::vector<Record> installs = records.Read(L"Anti-Spam");
    ASSERT_EQ(3u, installs.size());
    EXPECT_EQ(Narrow(retail), installs[2]["install folder"]);
    ClearSwitches();
}

TEST(MachineAntiSpamUninstall, TheSecondInstanceIsWaitedForOnlyAfterACleanExit) {
    StandinRecords records;
    ScratchDir scratch;
    ProcessListFromSnapshot processes;
    struct Case {
        const char* name;
        const wchar_t* updaterSwitch;  // switch of "z-update", set to 1 (ExitCode: 3)
        int expected;
        const char* secondInstanceAtReturn;  // its result when Uninstall returned, "" when still running
    } cases[] = {
        {"hand-off", nullptr, 0, "removed"},
        {"the updater reports a failure", L"ExitCode", ErrorStillInstalled, ""},
        {"the second instance refuses", L"Refuse", ErrorStillInstalled, "refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        records.Clear();
        ClearSwitches();
        InstallDirectly(scratch / L"Anti-Spam");
        if (c.updaterSwitch != nullptr) {
            SetSwitch(L"z-update", c.updaterSwitch, wcscmp(c.updaterSwitch, L"ExitCode") == 0 ? 3 : 1);
        }
        Setup::Create(kRoleUninstall);
        ProductAS product;
        product.available = 1;
        product.active = 1;
        EXPECT_EQ(c.expected, product.Uninstall());
        std::vector<Record> updates = records.Read(L"z-update");
        ASSERT_GE(updates.size(), 1u);
        EXPECT_EQ(c.secondInstanceAtReturn, updates.size() > 1 ? updates[1]["result"] : std::string());
        Setup::Destroy();
        // Let the second instance finish before the next case.
        records.WaitFor(L"z-update", 2);
        RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kZember.c_str());
        RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kEntry.c_str());
    }
    ClearSwitches();
}

}  // namespace
