// One installed suite, its antivirus taken away in steps: a declined question, an interactive
// removal next to a stranger's file and a stale RunOnce value, cleanups under both kinds of name,
// the antivirus uninstaller with nothing left to remove, settings damaged to point at the system;
// last the rest of the suite, with the remains of a component whose own uninstaller already ran. The cases
// run in this order on one machine, each leaving it as the next expects.
#include <gtest/gtest.h>

#include <algorithm>

#include "machine.h"
#include "support/test_support.h"

using namespace lifecycle;

namespace {

const std::wstring kAntivirusEntry = std::wstring(kUninstallKey) + L"\\Tarnel Suite Personal\\av";
const std::wstring kAntivirusSettings = std::wstring(kSettingsKey) + L"\\av";
const std::wstring kAntivirusFolder = std::wstring(kSuiteFolder) + L"\\Tarnel Nimbo Antivirus";

class PartialUninstall : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (ovtest::IsIsolated()) {
            AddWhatWindowsHas();
            installed_ = InstallSuite();
        }
    }
    void SetUp() override {
        ASSERT_TRUE(ovtest::IsIsolated()) << "installs into C:\\Program Files";
        ASSERT_EQ(0, installed_);
    }

    // Everything that is not the antivirus's: none of it may change while the antivirus goes.
    static std::set<std::wstring> NotAntivirus() {
        const wchar_t* const antivirus[] = {L"Tarnel Nimbo Antivirus", L"Orvane\\Anti-Virus", L"WEXAWIN32",
                                            L"Tarnel Suite Personal\\av", L"ovcu_"};
        std::set<std::wstring> lines;
        for (const std::wstring& line : Snapshot()) {
            if (std::none_of(std::begin(antivirus), std::end(antivirus),
                             [&](const wchar_t* part) { return line.find(part) != std::wstring::npos; }))
                lines.insert(line);
        }
        return lines;
    }

    // The files waiting for the next restart, one per line. The value pairs each file with its new
    // name, empty for a deletion.
    static std::wstring PendingDeletions() {
        std::vector<wchar_t> operations(32768);
        DWORD bytes = static_cast<DWORD>(operations.size() * sizeof(wchar_t));
        if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                         L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, operations.data(),
                         &bytes) != ERROR_SUCCESS)
            return L"";
        std::wstring lines;
        const wchar_t* end = operations.data() + bytes / sizeof(wchar_t);
        for (const wchar_t* item = operations.data(); item < end; item += wcslen(item) + 1)
            if (*item != L'\0')
                lines += std::wstring(item) + L"\n";
        return lines;
    }

    static int installed_;
};

int PartialUninstall::installed_ = -1;

TEST_F(PartialUninstall, NoToTheQuestionRemovesNothing) {
    const std::set<std::wstring> before = Snapshot();
    Child uninstall(UninstallCommand(L"Tarnel Suite Personal\\av"));
    std::wstring question = uninstall.Answer(IDNO);
    EXPECT_NE(std::wstring::npos, question.find(L"Do you want to remove Tarnel Nimbo Antivirus"))
        << ovtest::Narrow(question);
    EXPECT_EQ(9017, uninstall.Wait());
    EXPECT_NE(std::string::npos, LastLogRun().find("(25001)")) << LastLogRun();
    EXPECT_EQ("", Difference(before, Snapshot()));
}

TEST_F(PartialUninstall, YesRemovesWithANewCopyBesideAStrangersAndAsksToRestart) {
    // A file of that name that is not ours, and a scheduled copy whose file has vanished.
    const std::wstring stranger = TempDir() + L"ovcu_001.exe";
    ASSERT_TRUE(ovtest::WriteFileBytes(stranger, "someone else's"));
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, kRunOnceKey, L"Kestra_cleanup",
                         L" \"" + TempDir() + L"ovcu_404.exe\" /cleanup");
    const std::set<std::wstring> others = NotAntivirus();

    Child uninstall(UninstallCommand(L"Tarnel Suite Personal\\av"));
    EXPECT_NE(L"", uninstall.Answer(IDYES));
    std::wstring restart = uninstall.Answer(IDNO);
    EXPECT_NE(std::wstring::npos, restart.find(L"Windows must be restarted")) << ovtest::Narrow(restart);
    EXPECT_EQ(0, uninstall.Wait());

    EXPECT_FALSE(KeyExists(kAntivirusEntry));
    EXPECT_EQ(L"\"" + TempDir() + L"ovcu_002.exe\" /cleanup", CleanupCommand());
    EXPECT_EQ("someone else's", ovtest::ReadFileBytes(stranger));
    EXPECT_EQ("", Difference(others, NotAntivirus())) << "the rest of the suite stays as it was";
}

TEST_F(PartialUninstall, CleanupLeavesInstalledComponentsAndOnlyACopyDeletesCopies) {
    ASSERT_TRUE(ovtest::PathExists(kAntivirusFolder)) << "the running uninstaller's files are left";
    ASSERT_TRUE(KeyExists(kAntivirusSettings));
    const std::set<std::wstring> others = NotAntivirus();
    const std::vector<std::wstring> copies = CleanupCopies();

    // Started under another name: the leftovers go, every copy stays.
    EXPECT_EQ(0, ovtest::RunProcess(L"\"" + PackageDir(L"suite") + L"\\ovsetup.exe\" /cleanup"));
    EXPECT_FALSE(ovtest::PathExists(kAntivirusFolder));
    EXPECT_FALSE(KeyExists(kAntivirusSettings));
    EXPECT_EQ(copies, CleanupCopies());
    EXPECT_EQ("", Difference(others, NotAntivirus())) << "the components still installed are left alone";

    // As Windows starts it: every copy goes, itself at the next restart.
    EXPECT_EQ(0, ovtest::RunProcess(L"\"" + TempDir() + L"ovcu_002.exe\" /cleanup"));
    std::vector<std::wstring> left = {L"ovcu_002.1"};
    EXPECT_EQ(left, CleanupCopies());
    EXPECT_NE(std::wstring::npos, PendingDeletions().find(L"\\??\\" + TempDir() + L"ovcu_002.1\n"));
}

TEST_F(PartialUninstall, TheAntivirusUninstallerFindsNothingToRemove) {
    // What the antivirus's files folder held: the engine as its uninstaller beside the libraries
    // and the antivirus's product library, which makes it the antivirus's uninstaller.
    ovtest::ScratchDir folder;
    const std::wstring suite = PackageDir(L"suite");
    for (const wchar_t* name : {L"kestrafrm.dll", L"kestrares.dll"})
        ASSERT_TRUE(CopyFileW((suite + L"\\" + name).c_str(), (folder / name).c_str(), FALSE));
    ASSERT_TRUE(
        CopyFileW((suite + L"\\av\\ovavprod.dll").c_str(), (folder / L"ovavprod.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((suite + L"\\ovsetup.exe").c_str(), (folder / L"ovuninst.exe").c_str(), FALSE));

    const std::set<std::wstring> before = Snapshot();
    EXPECT_EQ(9037, ovtest::RunProcess(L"\"" + (folder / L"ovuninst.exe") + L"\" /Silent"));
    EXPECT_NE(std::string::npos, LastLogRun().find("(25039)")) << LastLogRun();
    EXPECT_EQ("", Difference(before, Snapshot())) << "the other components are no reason to act";
}

TEST_F(PartialUninstall, DamagedSettingsNeverTakeTheCleanupOutsideTheSuite) {
    wchar_t windows[MAX_PATH] = {};
    wchar_t system[MAX_PATH] = {};
    wchar_t profile[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    GetSystemDirectoryW(system, MAX_PATH);
    GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    struct Case {
        const wchar_t* files;
        const wchar_t* path;
        const wchar_t* group;
    } cases[] = {
        {L"C:\\", windows, L".."},
        {system, L"C:\\Program Files", L"..\\.."},
        {L"C:\\users", profile, L""},
        {L"C:", L"\\", L"C:\\"},
    };
    ASSERT_TRUE(ovtest::WriteFileBytes(L"C:\\keep.txt", "a file of the machine's"));
    const std::set<std::wstring> before = Snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(ovtest::Narrow(c.files));
        ovtest::SetRegString(HKEY_LOCAL_MACHINE, kAntivirusSettings, L"Files", c.files);
        ovtest::SetRegString(HKEY_LOCAL_MACHINE, kAntivirusSettings, L"Path", c.path);
        ovtest::SetRegString(HKEY_LOCAL_MACHINE, kAntivirusSettings, L"Group", c.group);
        EXPECT_EQ(0, ovtest::RunProcess(L"\"" + PackageDir(L"suite") + L"\\ovsetup.exe\" /cleanup"));
        EXPECT_FALSE(KeyExists(kAntivirusSettings));
        EXPECT_EQ("", Difference(before, Snapshot()));
    }
}

}  // namespace

TEST_F(PartialUninstall, TheSuiteTakesTheRemainsOfAComponentRemovedByItsOwnUninstaller) {
    // The anti-spam product removed by its own uninstaller, behind the suite's back: the suite's
    // entry for it stays, with no version behind it.
    std::wstring release;
    ASSERT_TRUE(ovtest::GetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zember", L"ReleasePath", &release));
    ASSERT_EQ(0, ovtest::RunProcess(L"\"" + release + L"\\z-update.exe\" /u_silent"));
    std::wstring version;
    for (int wait = 0; wait < 150 && ovtest::GetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zember",
                                                          L"ReleaseVersion", &version);
         ++wait)
        Sleep(100);
    ASSERT_FALSE(ovtest::GetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zember", L"ReleaseVersion", &version));
    ASSERT_NE(L"", UninstallCommand(L"Tarnel Suite Personal\\as"));

    // The suite's uninstaller offers its components to choose from, then asks to restart.
    Child uninstall(UninstallCommand(L"Tarnel Suite Personal"));
    std::wstring choice = uninstall.Answer(IDOK);
    EXPECT_NE(std::wstring::npos, choice.find(L"Select the components you want to remove"))
        << ovtest::Narrow(choice);
    EXPECT_NE(L"", uninstall.Answer(IDNO));
    EXPECT_EQ(0, uninstall.Wait());
    EXPECT_EQ(std::string::npos, LastLogRun().find("z-update.exe\" /u_silent")) << "not removed twice";
    EXPECT_FALSE(KeyExists(std::wstring(kSuiteEntry) + L"\\as"));
    EXPECT_FALSE(KeyExists(kSuiteEntry)) << "with its remains gone nothing keeps the shell";
}
