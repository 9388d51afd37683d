// The install role end to end, as people and scripts use it: ovsetup.exe runs from a copy of a
// sample package on a machine of its own, with the components' own setup programs stood in, and
// the test works its dialogs, then reads the exit code, the log, the registry and the files.
// Each suite runs on a fresh machine; the cases of a suite share it and say what they rely on.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "setup_run.h"
#include "support/test_support.h"

using installtest::Package;
using installtest::SetupRun;
using installtest::Shown;
using ovtest::Narrow;
using ovtest::PathExists;

namespace {

const wchar_t kLog[] = L"C:\\ovkestralog.txt";
const wchar_t kRecords[] = L"C:\\ovstandins\\";
const std::wstring kSuiteKey = L"SOFTWARE\\Orvane\\Tarnel Suite Personal";
const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kSwitches = L"SOFTWARE\\OvStandins\\";
const std::wstring kProposal = L"C:\\Program Files\\Tarnel\\Internet Security Suite";

// Dialog items.
const int kAccept = 1451;
const int kPathField = 1292;
const int kConflictName = 1455;
const int kConflictReason = 1091;
const int kFirstComponentBox = 1652;

const wchar_t* const kComponentNames[] = {L"Tarnel Pellmar", L"Tarnel Anti-Spam", L"Tarnel Nimbo Antivirus",
                                          L"Tarnel Personal Firewall"};

std::string Log() {
    return ovtest::ReadFileBytes(kLog);
}

bool Has(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::wstring Value(const std::wstring& key, const wchar_t* name) {
    std::wstring value;
    return ovtest::GetRegString(HKEY_LOCAL_MACHINE, key, name, &value) ? value : L"<none>";
}

bool KeyExists(const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(h);
    return true;
}

// How much a stand-in has written down so far: a program that ran since makes it grow.
size_t RecordSize(const wchar_t* program) {
    return ovtest::ReadFileBytes(kRecords + std::wstring(program) + L".txt").size();
}

// The all-users Programs folder of the start menu.
std::wstring CommonPrograms() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, path);
    return path;
}

// A rival antivirus product the antivirus component must see removed first; its uninstaller
// (tests/product) removes its entry.
void RegisterRival() {
    const std::wstring entry = kUninstall + L"Sanavo";
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, entry, L"DisplayName", L"Sanavo AntiVirus 2004");
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, entry, L"UninstallString",
                         L"\"" + ovtest::BinDir() + L"\\ovrivaluninst.exe\" Sanavo");
}

const Shown* FindShown(const std::vector<Shown>& shown, const std::wstring& title) {
    for (const Shown& dialog : shown) {
        if (dialog.title == title) {
            return &dialog;
        }
    }
    return nullptr;
}

std::string Joined(const std::vector<std::wstring>& titles) {
    std::wstring all;
    for (const std::wstring& title : titles) {
        all += (all.empty() ? L"" : L" | ") + title;
    }
    return Narrow(all);
}

class InstallTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(ovtest::IsIsolated()) << "installs into the machine"; }
};

// ---- a person at the screen ------------------------------------------------------------------

class Person : public InstallTest {
  protected:
    void TearDown() override { RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kUninstall + L"Sanavo").c_str()); }
};

// The conflict question comes before anything else; kept, the rival ends a one-component run
// with nothing shown beyond the question.
TEST_F(Person, KeepsTheRivalProduct) {
    RegisterRival();
    Package package(L"av");
    SetupRun run(package, L"");
    HWND question = run.WaitFor(installtest::kConflictTitle);
    ASSERT_NE(nullptr, question) << Joined(run.Titles());
    EXPECT_EQ(L"Sanavo AntiVirus 2004", SetupRun::ItemText(question, kConflictName));
    EXPECT_TRUE(Has(SetupRun::ItemText(question, kConflictReason), L"Tarnel Nimbo Antivirus"));
    SetupRun::Press(question, IDCANCEL);
    EXPECT_EQ(9021, run.ExitCode());
    EXPECT_EQ(std::vector<std::wstring>{installtest::kConflictTitle}, run.Titles());
    EXPECT_EQ(L"Sanavo AntiVirus 2004", Value(kUninstall + L"Sanavo", L"DisplayName"));
    EXPECT_TRUE(Has(Log(), "= 9021\r\n"));
}

TEST_F(Person, DeclinesTheAgreement) {
    Package package(L"suite");
    SetupRun run(package, L"");
    HWND agreement = run.WaitFor(installtest::kAgreementTitle);
    ASSERT_NE(nullptr, agreement) << Joined(run.Titles());
    SetupRun::Press(agreement, IDCANCEL);
    EXPECT_EQ(9018, run.ExitCode());
    EXPECT_EQ(std::vector<std::wstring>{installtest::kAgreementTitle}, run.Titles());
    std::string log = Log();
    EXPECT_TRUE(Has(log, "(25002) The license agreement was not accepted.")) << log;
    EXPECT_TRUE(Has(log, "= 9018\r\n")) << log;
    EXPECT_FALSE(KeyExists(kSuiteKey));
    EXPECT_FALSE(PathExists(kProposal));
}

// A refused folder is explained in one box and the dialog stays; Cancel then ends the run before
// anything changed.
TEST_F(Person, TypesAFolderThatCannotBeUsedThenCancels) {
    Package package(L"suite");
    SetupRun run(package, L"");
    HWND agreement = run.WaitFor(installtest::kAgreementTitle);
    ASSERT_NE(nullptr, agreement);
    SetupRun::Press(agreement, kAccept);
    HWND destination = run.WaitFor(installtest::kDestinationTitle);
    ASSERT_NE(nullptr, destination) << Joined(run.Titles());
    EXPECT_EQ(kProposal, SetupRun::ItemText(destination, kPathField));
    SetupRun::Type(destination, kPathField, L"C:\\");
    SetupRun::Press(destination, IDOK);
    HWND box = run.WaitFor(installtest::kSuiteName, 10000);
    ASSERT_NE(nullptr, box) << Joined(run.Titles());
    SetupRun::Press(box, IDOK);
    EXPECT_TRUE(SetupRun::WaitGone(box));
    Sleep(500);  // time enough for a second box, which must not come
    EXPECT_TRUE(IsWindowVisible(destination)) << "the dialog stays for another folder";
    SetupRun::Press(destination, IDCANCEL);
    EXPECT_EQ(9017, run.ExitCode());

    std::vector<Shown> shown = run.shown();
    ASSERT_EQ(3u, shown.size()) << Joined(run.Titles());
    EXPECT_EQ(installtest::kSuiteName, shown[2].title);
    EXPECT_TRUE(Has(shown[2].texts, L"This destination folder cannot be used: C:\\"))
        << Narrow(shown[2].texts);
    EXPECT_TRUE(Has(shown[2].texts, L"Choose a folder on a local hard disk")) << Narrow(shown[2].texts);
    std::string log = Log();
    EXPECT_TRUE(Has(log, "(25001) The operation was cancelled.")) << log;
    EXPECT_FALSE(KeyExists(kSuiteKey));
    EXPECT_FALSE(PathExists(kProposal));
}

// The whole way through: the rival removed, the agreement accepted, a folder typed, one component
// left out; the progress bar counts the three components chosen and five steps of the suite; the
// restart question comes once, after the work.
TEST_F(Person, InstallsTheSuiteAsChosen) {
    RegisterRival();
    const std::wstring folder = L"C:\\Tarnel Typed";
    Package package(L"suite");
    SetupRun run(package, L"");

    HWND question = run.WaitFor(installtest::kConflictTitle);
    ASSERT_NE(nullptr, question) << Joined(run.Titles());
    SetupRun::Press(question, IDOK);
    HWND agreement = run.WaitFor(installtest::kAgreementTitle);
    ASSERT_NE(nullptr, agreement) << Joined(run.Titles());
    SetupRun::Press(agreement, kAccept);
    HWND destination = run.WaitFor(installtest::kDestinationTitle);
    ASSERT_NE(nullptr, destination) << Joined(run.Titles());
    SetupRun::Type(destination, kPathField, folder);
    SetupRun::Press(destination, IDOK);
    HWND components = run.WaitFor(installtest::kComponentsTitle);
    ASSERT_NE(nullptr, components) << Joined(run.Titles());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(kComponentNames[i], SetupRun::ItemText(components, kFirstComponentBox + i));
    }
    SetupRun::Untick(components, kFirstComponentBox);  // the anti-spyware component
    SetupRun::Press(components, IDOK);
    HWND restart = run.WaitFor(installtest::kRestartTitle, 120000);
    ASSERT_NE(nullptr, restart) << Joined(run.Titles());
    SetupRun::Press(restart, IDNO);
    EXPECT_EQ(0, run.ExitCode());

    const std::vector<std::wstring> expected = {installtest::kConflictTitle,    installtest::kAgreementTitle,
                                                installtest::kDestinationTitle, installtest::kComponentsTitle,
                                                installtest::kProgressTitle,    installtest::kRestartTitle};
    EXPECT_EQ(expected, run.Titles()) << Joined(run.Titles());
    std::vector<Shown> shown = run.shown();
    const Shown* progress = FindShown(shown, installtest::kProgressTitle);
    ASSERT_NE(nullptr, progress);
    EXPECT_EQ(1, progress->barLow);
    EXPECT_EQ(8, progress->barHigh);
    const Shown* restartQuestion = FindShown(shown, installtest::kRestartTitle);
    ASSERT_NE(nullptr, restartQuestion);
    EXPECT_TRUE(Has(restartQuestion->texts, L"Do you want to restart Windows now?"))
        << Narrow(restartQuestion->texts);

    EXPECT_FALSE(KeyExists(kUninstall + L"Sanavo")) << "the rival's uninstaller ran";
    EXPECT_EQ(folder, Value(kSuiteKey, L"Path"));
    EXPECT_EQ(installtest::kSuiteName, Value(kSuiteKey, L"Group"));
    EXPECT_TRUE(PathExists(folder + L"\\ovkestra.exe"));
    EXPECT_TRUE(PathExists(folder + L"\\zsdk.dll"));
    for (const wchar_t* name :
         {L"Tarnel Anti-Spam", L"Tarnel Nimbo Antivirus", L"Tarnel Personal Firewall"}) {
        EXPECT_TRUE(PathExists(folder + L"\\" + name)) << Narrow(name);
    }
    EXPECT_FALSE(PathExists(folder + L"\\Tarnel Pellmar"));
    EXPECT_EQ(0u, RecordSize(L"Pellmar")) << "the component left out never ran";
    EXPECT_NE(0u, RecordSize(L"Anti-Spam"));
    EXPECT_NE(0u, RecordSize(L"avsetup"));
    EXPECT_NE(0u, RecordSize(L"zapsetup"));
    EXPECT_TRUE(PathExists(CommonPrograms() + L"\\Tarnel Internet Security Suite\\Tarnel Internet Security "
                                              L"Suite.lnk"));
    std::string log = Log();
    EXPECT_TRUE(Has(log, "= 0\r\n")) << log;
    EXPECT_FALSE(Has(log, "Error E")) << log;
}

// ---- runs nobody watches ---------------------------------------------------------------------

class Unattended : public InstallTest {};

// One component that this Windows does not support: the error box and nothing else.
TEST_F(Unattended, SingleComponentRefusesItsWindows) {
    Package package(L"fw");
    ovtest::SetProgramWindowsVersion(L"ovsetup.exe", L"nt40");
    SetupRun run(package, L"");
    HWND box = run.WaitFor(L"Tarnel Personal Firewall");
    if (box != nullptr) {
        SetupRun::Press(box, IDOK);
    }
    int code = run.ExitCode();
    ovtest::SetProgramWindowsVersion(L"ovsetup.exe", L"");
    ASSERT_NE(nullptr, box) << Joined(run.Titles());
    EXPECT_EQ(9009, code);
    std::vector<Shown> shown = run.shown();
    ASSERT_EQ(1u, shown.size()) << Joined(run.Titles());
    EXPECT_TRUE(Has(shown[0].texts, L"This version of Windows is not supported: Windows NT 4.00"))
        << Narrow(shown[0].texts);
    EXPECT_TRUE(Has(shown[0].texts, L"Tarnel Personal Firewall cannot run on this version of Windows"))
        << Narrow(shown[0].texts);
    EXPECT_TRUE(Has(Log(), "= 9009\r\n"));
}

// Silent without a folder: the destination dialog is the one thing shown. The suite installed so
// then keeps its folder: a later run's "Path" does not move it; its "Group" names the start-menu
// group.
TEST_F(Unattended, SilentRunAsksForTheFolderAndTheInstalledSuiteKeepsIt) {
    Package package(L"suite");
    {
        SetupRun run(package, L"/Silent");
        HWND destination = run.WaitFor(installtest::kDestinationTitle);
        ASSERT_NE(nullptr, destination) << Joined(run.Titles());
        EXPECT_EQ(kProposal, SetupRun::ItemText(destination, kPathField));
        SetupRun::Press(destination, IDOK);
        EXPECT_EQ(0, run.ExitCode());
        EXPECT_EQ(std::vector<std::wstring>{installtest::kDestinationTitle}, run.Titles());
        EXPECT_EQ(kProposal, Value(kSuiteKey, L"Path"));
    }
    const std::wstring elsewhere = L"C:\\Tarnel Elsewhere";
    SetupRun run(package, L"/DisplayLevel=1 \"/Path=" + elsewhere + L"\" \"/Group=Tarnel Test Group\"");
    EXPECT_EQ(0, run.ExitCode());
    EXPECT_EQ(std::vector<std::wstring>{installtest::kProgressTitle}, run.Titles())
        << "no dialog, no question";
    EXPECT_EQ(kProposal, Value(kSuiteKey, L"Path"));
    EXPECT_FALSE(PathExists(elsewhere));
    EXPECT_EQ(L"Tarnel Test Group", Value(kSuiteKey, L"Group"));
    EXPECT_EQ(L"Tarnel Test Group\\Tarnel Nimbo Antivirus", Value(kSuiteKey + L"\\av", L"Group"));
    const std::wstring group = CommonPrograms() + L"\\Tarnel Test Group";
    EXPECT_TRUE(PathExists(group + L"\\Tarnel Internet Security Suite.lnk"));
    EXPECT_TRUE(PathExists(group + L"\\Tarnel Nimbo Antivirus"));
    EXPECT_TRUE(Has(Log(), "= 0\r\n"));
}

// ---- components that fail ----------------------------------------------------------------------

// A key nobody may write (an empty access list), open again at destruction.
class LockedKey {
  public:
    explicit LockedKey(const std::wstring& key) {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr);
        ACL acl;
        InitializeAcl(&acl, sizeof(acl), ACL_REVISION);
        ok_ = SetDacl(&acl);
    }
    ~LockedKey() {
        SetDacl(nullptr);
        RegCloseKey(key_);
    }
    bool ok() const { return ok_; }

  private:
    bool SetDacl(ACL* acl) {
        SECURITY_DESCRIPTOR sd;
        InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
        return key_ != nullptr && RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
    }
    HKEY key_ = nullptr;
    bool ok_ = false;
};

class Failures : public InstallTest {
  protected:
    void TearDown() override { BehaveNormally(); }
    static void BehaveNormally() {
        for (const wchar_t* program : {L"Anti-Spam", L"avsetup"}) {
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kSwitches + program).c_str());
        }
    }
    // The component's setup leaves an older version than its package's: it failed.
    static void InstallsTooOld(const wchar_t* program) {
        ovtest::SetRegString(HKEY_LOCAL_MACHINE, kSwitches + program, L"Version", L"1.0.0.0");
    }
};

// Of two components, a failure of the first is a warning (not shown at display level 1) and the
// second is installed; a failure of the second is the run's error, shown even at level 1.
TEST_F(Failures, OnlyTheLastComponentsFailureEndsTheRun) {
    Package package(L"suite", {L"pm", L"fw"});
    const std::wstring switches = L"/DisplayLevel=1 \"/Path=C:\\Tarnel Two\"";
    {
        InstallsTooOld(L"Anti-Spam");
        size_t antivirus = RecordSize(L"avsetup");
        SetupRun run(package, switches);
        EXPECT_EQ(0, run.ExitCode());
        EXPECT_EQ(std::vector<std::wstring>{installtest::kProgressTitle}, run.Titles());
        std::string log = Log();
        EXPECT_TRUE(Has(log, "(25031) Warning W9027: ")) << log;
        EXPECT_GT(RecordSize(L"avsetup"), antivirus);
        EXPECT_EQ(L"7.1.0.150", Value(kSuiteKey + L"\\av", L"Version"));
        BehaveNormally();
    }
    InstallsTooOld(L"avsetup");
    SetupRun run(package, switches);
    HWND box = run.WaitFor(installtest::kSuiteName);
    ASSERT_NE(nullptr, box) << Joined(run.Titles());
    SetupRun::Press(box, IDOK);
    EXPECT_EQ(9027, run.ExitCode());
    std::vector<Shown> shown = run.shown();
    ASSERT_EQ(2u, shown.size()) << Joined(run.Titles());
    EXPECT_EQ(installtest::kProgressTitle, shown[0].title);
    EXPECT_TRUE(Has(shown[1].texts, L"Tarnel Nimbo Antivirus")) << Narrow(shown[1].texts);
    std::string log = Log();
    EXPECT_TRUE(Has(log, "(25031) Error E9027: ")) << log;
    EXPECT_TRUE(Has(log, "= 9027\r\n")) << log;
}

// Of three components, one that may not write its registry keys is left out with a warning; the
// two others are installed and the run succeeds.
TEST_F(Failures, ComponentWithoutRegistryAccessIsLeftOut) {
    LockedKey locked(L"SOFTWARE\\Zember");
    ASSERT_TRUE(locked.ok());
    Package package(L"suite", {L"fw"});
    size_t before[] = {RecordSize(L"Pellmar"), RecordSize(L"Anti-Spam"), RecordSize(L"avsetup")};
    SetupRun run(package, L"\"/Path=C:\\Tarnel Three\"");
    HWND warning = run.WaitFor(installtest::kSuiteName);
    ASSERT_NE(nullptr, warning) << Joined(run.Titles());
    SetupRun::Press(warning, IDOK);
    HWND agreement = run.WaitFor(installtest::kAgreementTitle);
    ASSERT_NE(nullptr, agreement) << Joined(run.Titles());
    SetupRun::Press(agreement, kAccept);
    HWND components = run.WaitFor(installtest::kComponentsTitle);
    ASSERT_NE(nullptr, components) << Joined(run.Titles());
    HWND antiSpam = GetDlgItem(components, kFirstComponentBox + 1);
    EXPECT_EQ(L"Tarnel Anti-Spam", SetupRun::Text(antiSpam));
    EXPECT_FALSE(IsWindowEnabled(antiSpam)) << "cannot be chosen";
    SetupRun::Press(components, IDOK);
    HWND restart = run.WaitFor(installtest::kRestartTitle, 120000);
    ASSERT_NE(nullptr, restart) << Joined(run.Titles());
    SetupRun::Press(restart, IDNO);
    EXPECT_EQ(0, run.ExitCode());

    std::vector<Shown> shown = run.shown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(installtest::kSuiteName, shown[0].title);
    for (const wchar_t* part : {L"Setup does not have the access rights it needs for Tarnel Anti-Spam.",
                                L"Cannot write to the registry: HKEY_LOCAL_MACHINE\\SOFTWARE\\Zember",
                                L"Log on as an administrator"}) {
        EXPECT_TRUE(Has(shown[0].texts, part)) << Narrow(shown[0].texts);
    }
    EXPECT_GT(RecordSize(L"Pellmar"), before[0]);
    EXPECT_EQ(RecordSize(L"Anti-Spam"), before[1]);
    EXPECT_GT(RecordSize(L"avsetup"), before[2]);
    std::string log = Log();
    EXPECT_TRUE(Has(log, "(25014) Warning W9011: ")) << log;
    EXPECT_TRUE(Has(log, "= 0\r\n")) << log;
}

}  // namespace
