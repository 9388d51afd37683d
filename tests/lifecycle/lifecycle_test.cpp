// The whole life of the sample suite on a machine of its own: installed unattended, one component
// removed through its registered command, then the rest; the cleanup copy runs at the next start,
// the copies go at the start after that, and the machine is as it was before the install.
#include <gtest/gtest.h>

#include "machine.h"
#include "support/test_support.h"

using namespace lifecycle;

namespace {

const std::wstring kComponents[] = {L"as", L"av", L"fw", L"pm"};

// The programs the suite's life starts under their own names: the package's setup program, the
// uninstaller it leaves in each files folder and the first cleanup copy.
const wchar_t* const kSuitePrograms[] = {L"ovsetup.exe", L"ovuninst.exe", L"ovcu_001.exe"};

class Lifecycle : public ::testing::TestWithParam<const wchar_t*> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ovtest::IsIsolated()) << "installs into C:\\Program Files and restarts the machine";
        windows9x_ = std::wstring(GetParam()) == L"win98";
        for (const wchar_t* program : kSuitePrograms)
            ovtest::SetProgramWindowsVersion(program, GetParam());
        if (windows9x_) {
            // Windows 98 keeps its directory here; a Wine prefix only has the NT family's value.
            ovtest::SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                 L"SystemRoot", L"C:\\windows");
        }
        AddWhatWindowsHas();
    }

    bool windows9x_ = false;
};

TEST_P(Lifecycle, InstallUninstallInTwoStepsCleanUpAndNothingIsLeft) {
    const std::set<std::wstring> before = Snapshot();
    ASSERT_EQ(0, InstallSuite());
    const std::wstring shellCommand = UninstallCommand(L"Tarnel Suite Personal");
    ASSERT_EQ(L"\"" + std::wstring(kSuiteFolder) + L"\\ovuninst.exe\" /u", shellCommand);
    for (const std::wstring& component : kComponents)
        ASSERT_NE(L"", UninstallCommand(L"Tarnel Suite Personal\\" + component)) << ovtest::Narrow(component);

    // The antivirus through the command Add/Remove Programs runs: the rest of the suite stays.
    const std::wstring antivirus = UninstallCommand(L"Tarnel Suite Personal\\av");
    EXPECT_EQ(L"\"" + std::wstring(kSuiteFolder) + L"\\Tarnel Nimbo Antivirus\\ovuninst.exe\" /u", antivirus);
    ASSERT_EQ(0, ovtest::RunProcess(antivirus + L" /Silent", 120000));
    EXPECT_FALSE(KeyExists(std::wstring(kUninstallKey) + L"\\Tarnel Suite Personal\\av"));
    EXPECT_FALSE(KeyExists(L"SOFTWARE\\Orvane\\Anti-Virus\\Install")) << "its own uninstaller ran";
    for (const wchar_t* component : {L"as", L"fw", L"pm"})
        EXPECT_NE(L"", UninstallCommand(std::wstring(L"Tarnel Suite Personal\\") + component))
            << ovtest::Narrow(component);
    EXPECT_EQ(shellCommand, UninstallCommand(L"Tarnel Suite Personal"));
    EXPECT_TRUE(ovtest::PathExists(std::wstring(kSuiteFolder) + L"\\ovkestra.exe"));
    const std::wstring copy = TempDir() + L"ovcu_001.exe";
    EXPECT_EQ(L"\"" + copy + L"\" /cleanup", CleanupCommand());

    // The rest through the suite's own entry: one copy for both runs.
    ASSERT_EQ(0, ovtest::RunProcess(shellCommand + L" /Silent", 120000));
    EXPECT_FALSE(KeyExists(kSuiteEntry));
    EXPECT_EQ(L"\"" + copy + L"\" /cleanup", CleanupCommand());
    std::vector<std::wstring> copies = {L"ovcu_001.exe"};
    EXPECT_EQ(copies, CleanupCopies());
    EXPECT_EQ(ovtest::ReadFileBytes(PackageDir(L"suite") + L"\\ovsetup.exe"), ovtest::ReadFileBytes(copy));
    if (windows9x_) {
        EXPECT_EQ(ovtest::ReadFileBytes(PackageDir(L"suite") + L"\\unicows.dll"),
                  ovtest::ReadFileBytes(TempDir() + L"unicows.dll"))
            << "the copy cannot start without the Unicode layer beside it";
    }
    EXPECT_TRUE(ovtest::PathExists(kSuiteFolder)) << "the uninstallers in use are left to the cleanup";

    // The next start: the copy cleans up and moves itself aside for the start after.
    ASSERT_EQ(0, ovtest::RestartWindows());
    EXPECT_EQ(L"", CleanupCommand());
    EXPECT_FALSE(ovtest::PathExists(L"C:\\Program Files\\Tarnel"));
    EXPECT_FALSE(KeyExists(L"SOFTWARE\\Orvane"));
    copies = {L"ovcu_001.1"};
    EXPECT_EQ(copies, CleanupCopies());
    EXPECT_FALSE(ovtest::PathExists(TempDir() + L"unicows.dll"));
    if (windows9x_) {
        wchar_t moved[MAX_PATH] = {};
        GetShortPathNameW((TempDir() + L"ovcu_001.1").c_str(), moved, MAX_PATH);
        std::string ini = ovtest::ReadFileBytes(L"C:\\windows\\WININIT.INI");
        EXPECT_NE(std::string::npos, ini.find("[Rename]\r\n")) << ini;
        EXPECT_NE(std::string::npos, ini.find("NUL=" + ovtest::Narrow(moved) + "\r\n")) << ini;
    }

    ASSERT_EQ(0, ovtest::RestartWindows());
    EXPECT_TRUE(CleanupCopies().empty());
    EXPECT_EQ("", Difference(before, Snapshot()));
}

INSTANTIATE_TEST_SUITE_P(Windows, Lifecycle, ::testing::Values(L"", L"win98"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                             return std::string(info.param[0] == L'\0' ? "NT" : "Windows98");
                         });

}  // namespace
