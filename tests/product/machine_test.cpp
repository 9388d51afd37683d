// Product behaviour against a whole machine: a rival product's uninstaller that really runs, the
// suite shell installed from a package folder and removed again, and deletions that registry data
// points at system folders. Runs in a prefix of its own (HKLM, C:\ and the start menu change).
#include <gtest/gtest.h>
#include <objbase.h>

#include <string>

#include "components/component_steps.h"
#include "support/component_stub.h"
#include "components/components.h"
#include "components/product_main.h"
#include "host/registry.h"
#include "host/system.h"
#include "log/logger.h"
#include "product/product.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "setup/setup.h"
#include "support/log_capture.h"
#include "support/test_support.h"
#include "ui/framework.h"

using ovtest::BinDir;
using ovtest::GetRegString;
using ovtest::LogCapture;
using ovtest::PathExists;
using ovtest::ScratchDir;
using ovtest::SetRegString;

namespace {

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kSuiteKey = L"SOFTWARE\\Orvane\\Tarnel Suite Personal";

const wchar_t* const kKeys[] = {L"Machine Product", L"Tarnel Suite Personal\\mp"};
const ConflictingProduct kRival[] = {{L"Rival", nullptr, L"ovrivaluninst.exe", nullptr}};

class MachineProduct : public ComponentStub {
  public:
    MachineProduct() : ComponentStub(151, L"mp", kKeys, 2) {
        TextCopy(displayName, kMessageChars, L"Machine Product");
        conflicts = kRival;
        conflictCount = 1;
        available = 1;
        active = 1;
    }
};

std::wstring Value(const std::wstring& key, const wchar_t* name) {
    std::wstring value;
    return GetRegString(HKEY_LOCAL_MACHINE, key, name, &value) ? value : L"<none>";
}

bool KeyExists(const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(h);
    return true;
}

std::wstring ExpandedFolder(bool (*query)(wchar_t*, size_t, bool), bool allUsers) {
    wchar_t stored[MAX_PATH], expanded[MAX_PATH];
    if (!query(stored, MAX_PATH, allUsers) || !ExpandEnvironmentPath(expanded, MAX_PATH, stored)) {
        return L"";
    }
    return expanded;
}

// ---- conflicting products ---------------------------------------------------------------------

TEST(MachineConflicts, RemovedThroughTheirUninstallerAndLookedUpAgain) {
    ASSERT_EQ(0, Framework::Get().LoadFrom(BinDir().c_str()));
    const std::wstring uninstaller = L"\"" + BinDir() + L"\\ovrivaluninst.exe\" Rival";
    struct Case {
        const char* what;
        std::wstring command;
        int button;
        int expected;
    } cases[] = {
        {"removed", uninstaller, IDOK, 0},
        {"uninstaller leaves its entry", uninstaller + L" keep", IDOK, ErrorConflictRemovalFailed},
        {"uninstaller missing", L"C:\\nowhere\\uninst.exe", IDOK, ErrorConflictRemovalFailed},
        {"person declines", uninstaller, IDCANCEL, ErrorConflictRemovalDeclined},
    };
    for (const Case& c : cases) {
        SetupOptions::Get().Reset();
        Setup::Create(kRoleInstall);
        SetRegString(HKEY_LOCAL_MACHINE, kUninstall + L"Rival", L"DisplayName", L"Rival Antivirus 2.0");
        SetRegString(HKEY_LOCAL_MACHINE, kUninstall + L"Rival", L"UninstallString", c.command);
        LogCapture log;
        Logger::Get().SetDisplayLevel(2);
        MachineProduct product;
        wchar_t buffer[64];
        int result;
        {
            // Answers the question and, where removal fails, the error box.
            ovtest::DialogAnswerer person(c.button);
            result = product.RemoveConflictingProducts(buffer, 64);
        }
        EXPECT_EQ(c.expected, result) << c.what;
        EXPECT_STREQ(c.expected != 0 ? L"Rival Antivirus 2.0" : L"", buffer) << c.what;
        EXPECT_EQ(c.expected == 0, !KeyExists(kUninstall + L"Rival")) << c.what;
        EXPECT_EQ(c.expected == ErrorConflictRemovalFailed, log.HasReport(25023)) << c.what;
        EXPECT_EQ(c.button == IDOK, log.HasReport(25514)) << c.what << ": the uninstall command is logged";
        RegDeleteKeyTree(HKEY_LOCAL_MACHINE, (kUninstall + L"Rival").c_str());
        Setup::Destroy();
    }
    Framework::Get().Unload();
}

// ---- the suite shell from a package ----------------------------------------------------------

// The shell's steps as the install and cleanup roles take them, run by a copy of this program that
// sits in a package folder (the shell takes its files from the running program's folder).
TEST(MachineShellChild, Steps) {
    wchar_t step[32] = {};
    if (GetEnvironmentVariableW(L"OV_SHELL_STEP", step, 32) == 0) {
        GTEST_SKIP() << "runs only as the package's copy";
    }
    CoInitialize(nullptr);
    SetupOptions& options = SetupOptions::Get();
    ProductMain& shell = ProductMain::Get();
    if (std::wstring(step) == L"install") {
        wchar_t destination[MAX_PATH] = {};
        GetEnvironmentVariableW(L"OV_SHELL_DESTINATION", destination, MAX_PATH);
        options.SetDestination(destination);
        options.SetGroup(L"Tarnel Internet Security Suite");
        Setup::Create(kRoleInstall);
        shell.SetShellNeeded(1);
        wchar_t buffer[MAX_PATH];
        EXPECT_EQ(0, shell.CheckVersion());
        EXPECT_EQ(0, shell.BeginInstall(buffer, MAX_PATH));
        EXPECT_EQ(0, shell.Install());
        EXPECT_EQ(0, shell.FinishInstall());
    } else {
        Setup::Create(kRoleCleanup);
        shell.SetShellNeeded(1);
        EXPECT_EQ(0, shell.RemoveLeftoverFiles());
        EXPECT_EQ(0, shell.RemoveLeftovers());
    }
    Setup::Destroy();
    CoUninitialize();
}

const wchar_t* const kScFiles[] = {
    L"ovkestra.exe",      L"ovkestra.exe.manifest",
    L"ovkestrafrm.dll",   L"ovkestrares.dll",
    L"ovkestraprod.dll",  L"ovkestraastab.dll",
    L"ovkestraavtab.dll", L"ovkestrafwtab.dll",
    L"ovkestrapmtab.dll", L"ovkestra.dat",
    L"pmdash.dll",        L"zsdk.dll",
    L"ovkestradt.exe",    L"ovavif.dll",
    L"ovavutil.dll",
};

int RunShellStep(const std::wstring& package, const std::wstring& step, const std::wstring& destination) {
    SetEnvironmentVariableW(L"OV_SHELL_STEP", step.c_str());
    SetEnvironmentVariableW(L"OV_SHELL_DESTINATION", destination.c_str());
    int code =
        ovtest::RunProcess(L"\"" + package + L"\\product_test.exe\" --gtest_filter=MachineShellChild.*");
    SetEnvironmentVariableW(L"OV_SHELL_STEP", nullptr);
    return code;
}

TEST(MachineShell, InstallsFromThePackageAndTidiesTheOlderSuite) {
    ScratchDir scratch;
    const std::wstring package = scratch / L"package";
    const std::wstring destination = scratch / L"Tarnel Suite";
    CreateDirectoryW(package.c_str(), nullptr);
    CreateDirectoryW((package + L"\\sc").c_str(), nullptr);
    for (const wchar_t* name : {L"product_test.exe", L"kestrafrm.dll", L"kestrares.dll", L"ovavprod.dll"}) {
        ASSERT_TRUE(CopyFileW((BinDir() + L"\\" + name).c_str(), (package + L"\\" + name).c_str(), FALSE))
            << name;
    }
    ovtest::WriteFileBytes(package + L"\\license.txt", std::string("\xFF\xFE"
                                                                   "A\0",
                                                                   4));
    for (const wchar_t* name : kScFiles) {
        ovtest::WriteFileBytes(package + L"\\sc\\" + name, "shell file");
    }
    // The older suite: its folder and keys, its uninstaller long gone.
    const std::wstring oldFolder = scratch / L"Old Suite";
    CreateDirectoryW(oldFolder.c_str(), nullptr);
    ovtest::WriteFileBytes(oldFolder + L"\\old.exe", "old");
    SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Tarnel Nimbo Carapel", L"InstallDirectory",
                 oldFolder);
    SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Carapel", L"Language", L"1033");

    ASSERT_EQ(0, RunShellStep(package, L"install", destination));

    for (const wchar_t* name : kScFiles) {
        EXPECT_TRUE(PathExists(destination + L"\\" + name)) << ovtest::Narrow(name);
    }
    for (const wchar_t* name :
         {L"ovavprod.dll", L"kestrafrm.dll", L"kestrares.dll", L"license.txt", L"ovuninst.exe"}) {
        EXPECT_TRUE(PathExists(destination + L"\\" + name)) << ovtest::Narrow(name);
    }
    EXPECT_FALSE(PathExists(destination + L"\\unicows.dll")) << "the NT family needs no Unicode layer";
    EXPECT_EQ(destination, Value(kSuiteKey, L"Path"));
    EXPECT_EQ(L"Tarnel Internet Security Suite", Value(kSuiteKey, L"Group"));
    EXPECT_EQ(L"7.0.0.512", Value(kSuiteKey, L"Version"));
    EXPECT_EQ(L"\"" + destination + L"\\ovkestradt.exe\"",
              Value(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"OvKestraDT"));
    const std::wstring entry = kUninstall + L"Tarnel Suite Personal";
    EXPECT_EQ(L"OV Tarnel Internet Security Suite", Value(entry, L"DisplayName"));
    EXPECT_EQ(L"\"" + destination + L"\\ovuninst.exe\" /u", Value(entry, L"UninstallString"));
    EXPECT_EQ(L"7.0.0.512", Value(entry, L"DisplayVersion"));

    const std::wstring group =
        ExpandedFolder(GetStartProgramsDir, true) + L"\\Tarnel Internet Security Suite";
    EXPECT_TRUE(PathExists(group + L"\\Tarnel Internet Security Suite.lnk"));
    EXPECT_TRUE(PathExists(group + L"\\Uninstall Tarnel Internet Security Suite.lnk"));

    EXPECT_FALSE(PathExists(oldFolder)) << "no product of the run lives in the older suite's folder";
    EXPECT_FALSE(KeyExists(L"SOFTWARE\\Orvane\\Tarnel Nimbo Carapel"));
    EXPECT_FALSE(KeyExists(L"SOFTWARE\\Orvane\\Carapel"));

    // The suite was uninstalled by hand (its entry gone): the cleanup removes what is left.
    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, entry.c_str());
    ASSERT_EQ(0, RunShellStep(package, L"cleanup", destination));
    EXPECT_FALSE(PathExists(destination));
    EXPECT_FALSE(PathExists(group));
    EXPECT_FALSE(KeyExists(kSuiteKey));
    EXPECT_EQ(L"<none>", Value(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"OvKestraDT"));
    EXPECT_TRUE(PathExists(package + L"\\product_test.exe")) << "the package is not touched";
}

// ---- shortcuts of a component without the suite shell ------------------------------------------

// A component on its own has no suite shell to point at: its shortcut into the shell's folder is
// left out and the rest are made. With the shell in the run, an unknown shell folder fails the group.
TEST(MachineShortcuts, ComponentOnItsOwnLeavesOutTheShellsShortcut) {
    const ShortcutSpec rows[] = {
        {0, kInShellFiles, 0, L"ovkestra.exe", L"/t9"},
        {0, kInComponentFiles, 1, L"ovuninst.exe", L"/u"},
    };
    CoInitialize(nullptr);
    ScratchDir scratch;
    SetupOptions::Get().Reset();
    SetupOptions::Get().createProgramGroup = 1;
    Setup::Create(kRoleInstall);
    ProductMain& shell = ProductMain::Get();
    ASSERT_FALSE(shell.IsInstalled(0)) << "a machine without the suite";
    MachineProduct product;
    TextCopy(product.installDirectory, kPathChars, (scratch / L"Machine Product").c_str());
    TextCopy(product.programGroup, kPathChars, L"OvTest Alone");
    const std::wstring link =
        ExpandedFolder(GetStartProgramsDir, true) + L"\\OvTest Alone\\Machine Product.lnk";

    shell.SetShellNeeded(1);
    EXPECT_EQ(ErrorShortcuts, CreateComponentShortcuts(product, rows, 2));
    EXPECT_FALSE(PathExists(link));

    shell.SetShellNeeded(0);
    EXPECT_EQ(0, CreateComponentShortcuts(product, rows, 2));
    EXPECT_TRUE(PathExists(link)) << "the component's own shortcut is made";
    Setup::Destroy();
    SetupOptions::Get().Reset();
}

// ---- deletions driven by registry data -----------------------------------------------------------

TEST(MachineDeletions, SystemAndUserRootsAreNeverDeleted) {
    wchar_t windows[MAX_PATH], system[MAX_PATH], programFiles[MAX_PATH];
    ASSERT_TRUE(GetWinDir(windows, MAX_PATH));
    ASSERT_TRUE(GetWinSysDir(system, MAX_PATH));
    ASSERT_TRUE(GetProgramFilesDir(programFiles, MAX_PATH));
    const std::wstring documents = ExpandedFolder(GetDocumentsDir, false);
    const std::wstring profiles = ExpandedFolder(GetDocumentsDir, true);
    const std::wstring programs = ExpandedFolder(GetStartProgramsDir, true);
    const std::wstring refused[] = {
        L"C:\\",
        L"C:",
        L"C:\\Windows\\..",
        windows,
        std::wstring(windows) + L"\\",
        system,
        std::wstring(system) + L"\\drivers",
        programFiles,
        std::wstring(programFiles) + L"\\Common Files",
        std::wstring(programFiles) + L"\\Tarnel\\..\\..",
        documents,
        profiles,
        programs,
        programs + L"\\..",
        L"relative\\folder",
        L"\\\\server\\share",
        L"",
    };
    LogCapture log;
    for (const std::wstring& folder : refused) {
        EXPECT_FALSE(DeleteProductFolder(folder.c_str(), true)) << ovtest::Narrow(folder);
    }
    EXPECT_EQ(sizeof(refused) / sizeof(refused[0]), log.Count("(25560)"));
    EXPECT_TRUE(PathExists(std::wstring(system) + L"\\kernel32.dll"));
    EXPECT_TRUE(PathExists(programs));

    ScratchDir scratch;
    const std::wstring ours = scratch / L"Tarnel";
    CreateDirectoryW(ours.c_str(), nullptr);
    ovtest::WriteFileBytes(ours + L"\\a.txt", "a");
    EXPECT_TRUE(DeleteProductFolder(ours.c_str(), true));
    EXPECT_FALSE(PathExists(ours));
}

TEST(MachineDeletions, DamagedSettingsDoNotMakeTheCleanupWipeADisk) {
    wchar_t windows[MAX_PATH];
    ASSERT_TRUE(GetWinDir(windows, MAX_PATH));
    ovtest::WriteFileBytes(L"C:\\canary.txt", "still here");
    const std::wstring settings = kSuiteKey + L"\\mp";
    SetRegString(HKEY_LOCAL_MACHINE, settings, L"Files", L"C:\\");
    SetRegString(HKEY_LOCAL_MACHINE, settings, L"Path", windows);
    SetRegString(HKEY_LOCAL_MACHINE, settings, L"Group", L"..\\..");
    SetupOptions::Get().Reset();
    Setup::Create(kRoleCleanup);
    {
        LogCapture log;
        MachineProduct product;
        EXPECT_EQ(0, product.RemoveLeftovers());
        EXPECT_TRUE(log.HasReport(25560));
    }
    Setup::Destroy();
    EXPECT_TRUE(PathExists(L"C:\\canary.txt"));
    EXPECT_TRUE(PathExists(std::wstring(windows) + L"\\win.ini"));
    EXPECT_TRUE(PathExists(ExpandedFolder(GetStartProgramsDir, true)));
    EXPECT_FALSE(KeyExists(settings)) << "the damaged values themselves are gone";
}

}  // namespace
