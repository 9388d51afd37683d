// The anti-spyware component against a whole machine, with the product's bootstrapper, Windows
// Installer's uninstall command and the product's updater (our stand-ins): a single-component
// package installed, an upgrade whose bootstrapper never starts, and the removal. Runs in a
// prefix of its own.
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

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
const std::wstring kEntry = kUninstall + OV_PM_CODE_B;
const std::wstring kProducts = L"SOFTWARE\\Classes\\Installer\\Products\\";
const std::wstring kProductA = kProducts + aspm::kPellmarPackedCodeA;
const std::wstring kProductB = kProducts + aspm::kPellmarPackedCodeB;
const std::wstring kPellmarKey = L"SOFTWARE\\Orvane\\TarnelPellmar";
const std::wstring kGroup = L"Tarnel Internet Security Suite";

std::wstring Destination() {
    wchar_t folder[MAX_PATH] = {};
    GetEnvironmentVariableW(L"OV_PACKAGE_DESTINATION", folder, MAX_PATH);
    return folder;
}

// The package's copy of this program runs the install role's sequence; for an upgrade it notes
// the registration the bootstrapper would find.
TEST(MachineAntiSpywareChild, Install) {
    if (PackageStep().empty()) {
        GTEST_SKIP() << "runs only as the package's copy";
    }
    DriveInstall(Destination(), kGroup, [] {
        StoreStepResult(L"WindowsInstallerForSetup", RegDword(kEntry, L"WindowsInstaller"));
        StoreStepResult(L"ProductNameForSetup", RegText(kProductB, L"ProductName") == L"OV Tarnel Pellmar");
    });
}

TEST(MachineAntiSpywareInstall, OnItsOwnFromAPackageThenUpgradedAndRemoved) {
    StandinRecords records;
    ComponentPackage package(L"pm", L"aspm_package\\pm", {BinDir() + L"\\standins\\antispyware\\Pellmar.exe"},
                             L"kestrapm.chm");
    ScratchDir scratch;
    const std::wstring destination = scratch / L"Tarnel Suite";
    const std::wstring folder = destination + L"\\Tarnel Pellmar";
    SetEnvironmentVariableW(L"OV_PACKAGE_DESTINATION", destination.c_str());
    CoInitialize(nullptr);
    // The update runs longer than the engine's wait for it to appear: only a real wait sees its end.
    SetRegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OvStandins\\pmdoupdate", L"Delay", 5000);

    ASSERT_EQ(0, package.RunChild(L"MachineAntiSpywareChild.*", L"install"));
    EXPECT_EQ(0, StepResult(L"ShellNeeded")) << "one component installs without the suite shell";
    for (const wchar_t* step : {L"CheckAll", L"ShellBeginInstall", L"ShellInstall", L"BeginInstall",
                                L"Install", L"FinishInstall", L"ShellFinishInstall"}) {
        EXPECT_EQ(0, StepResult(step)) << Narrow(step) << "\n" << package.ChildLog();
    }
    EXPECT_EQ(-1, StepResult(L"WindowsInstallerForSetup")) << "nothing to restore on a first install";

    std::vector<Record> setups = records.Read(L"Pellmar");
    ASSERT_EQ(1u, setups.size());
    EXPECT_EQ(Narrow(L"\"" + package.component() + L"\\Pellmar.exe\" /v\"INSTALLDIR=\\\"" + folder +
                     L"\\\" NOUPDATE=Yes REBOOT=ReallySuppress /qn\""),
              setups[0]["command line"]);
    EXPECT_EQ(Narrow(folder), setups[0]["INSTALLDIR"]);
    EXPECT_EQ("/qn", setups[0]["ui"]);
    EXPECT_EQ("", setups[0]["other"]);

    // A product of its own, its Windows Installer registration hidden behind the "OV " entry.
    const std::wstring msiexec =
        L"\"" + ShellFolder(CSIDL_WINDOWS) + L"\\Installer\\OvStandins\\msiexec.exe\"";
    EXPECT_EQ(L"OV Tarnel Pellmar", RegText(kEntry, L"DisplayName"));
    EXPECT_EQ(L"\"" + folder + L"\\ovuninst.exe\" /u", RegText(kEntry, L"UninstallString"));
    EXPECT_EQ(msiexec + L" /X" OV_PM_CODE_B, RegText(kEntry, L"UninstallProduct"));
    EXPECT_EQ(0u, RegDword(kEntry, L"WindowsInstaller"));
    EXPECT_EQ(L"<none>", RegText(kProductB, L"ProductName"));
    EXPECT_EQ(aspm::kPellmarPackedPackageCodeB, RegText(kProductB, L"PackageCode"));
    EXPECT_FALSE(KeyExists(kProductA));
    EXPECT_FALSE(KeyExists(kUninstall + L"Tarnel Suite Personal")) << "the suite shell is not registered";

    for (int desktop : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY}) {
        EXPECT_FALSE(PathExists(ShellFolder(desktop) + L"\\Tarnel Pellmar.lnk"));
    }
    for (const wchar_t* name :
         {L"kestrapm.chm", L"ovavfrm.dll", L"ovavres.dll", L"ovuninst.exe", L"ovavprod.dll"}) {
        EXPECT_TRUE(PathExists(folder + L"\\" + name)) << Narrow(name);
    }
    const std::wstring group = kGroup + L"\\Tarnel Pellmar";
    EXPECT_EQ(group, RegText(kPellmarKey, L"ProgramGroup"));
    const std::wstring links = CommonProgramsFolder() + L"\\" + group;
    EXPECT_EQ(Narrow(destination + L"\\ovkestra.exe /t3"),
              Narrow(ShortcutCommand(links + L"\\Tarnel Pellmar.lnk")));
    EXPECT_EQ(Narrow(folder + L"\\ovuninst.exe /u"),
              Narrow(ShortcutCommand(links + L"\\Uninstall Tarnel Pellmar.lnk")));

    std::vector<Record> updates = records.Read(L"pmv5updater");
    ASSERT_EQ(1u, updates.size());
    EXPECT_EQ(Narrow(L"\"" + folder + L"\\pmv5updater.exe\" /noninteractive"), updates[0]["command line"]);
    EXPECT_EQ(1u, records.Read(L"pmdoupdate").size()) << "the update was waited for";

    // An upgrade whose bootstrapper does not start: the registration is restored for it and
    // hidden again right after.
    DeleteFileW((package.component() + L"\\Pellmar.exe").c_str());
    ClearStepResults();
    ASSERT_EQ(0, package.RunChild(L"MachineAntiSpywareChild.*", L"upgrade"));
    EXPECT_EQ(0, StepResult(L"BeginInstall"));
    EXPECT_EQ(1, StepResult(L"WindowsInstallerForSetup"));
    EXPECT_EQ(1, StepResult(L"ProductNameForSetup"));
    EXPECT_EQ(ErrorProcessStart, StepResult(L"Install")) << package.ChildLog();
    EXPECT_EQ(0u, RegDword(kEntry, L"WindowsInstaller"));
    EXPECT_EQ(L"<none>", RegText(kProductB, L"ProductName"));
    EXPECT_TRUE(PathExists(folder + L"\\ovuninst.exe")) << "the installed product stays";

    // Removal: the earlier generation is still known to Windows Installer.
    SetRegString(HKEY_LOCAL_MACHINE, kProductA, L"PackageCode", L"00112233445566778899AABBCCDDEEFF");
    {
        Setup::Create(kRoleUninstall);
        ProductPM product;
        product.available = 1;
        product.active = 1;
        EXPECT_EQ(0, product.BeginUninstall());
        EXPECT_EQ(1u, RegDword(kEntry, L"WindowsInstaller"));
        EXPECT_EQ(L"OV Tarnel Pellmar", RegText(kProductB, L"ProductName"));
        EXPECT_EQ(L"OV Tarnel Pellmar", RegText(kProductA, L"ProductName"));

        EXPECT_EQ(0, product.Uninstall());
        std::vector<Record> removals = records.Read(L"msiexec");
        ASSERT_EQ(1u, removals.size());
        EXPECT_EQ(Narrow(msiexec + L" /X" OV_PM_CODE_B L" /qr"), removals[0]["command line"]);
        EXPECT_EQ("removed", removals[0]["result"]);
        EXPECT_FALSE(KeyExists(kProductB));
        EXPECT_EQ(L"<none>", RegText(kProductA, L"ProductName"));
        EXPECT_TRUE(KeyExists(kProductA)) << "the earlier generation's registration is not ours";

        EXPECT_EQ(0, product.RemoveSettings());
        EXPECT_FALSE(KeyExists(kPellmarKey));
        EXPECT_EQ(0, product.RemoveSupportFiles());
        EXPECT_FALSE(PathExists(folder + L"\\kestrapm.chm"));
        Setup::Destroy();
    }
    CoUninitialize();
}

}  // namespace
