// The antivirus stand-in driven as the suite drives it: "setup.exe" with the suite's switches and
// "/ProductDest", the installed programs, "unwexa32.exe /Silent" from the Windows folder.
#include <gtest/gtest.h>

#include "records.h"
#include "support/test_support.h"

namespace avfw {
namespace {

const wchar_t kProductKey[] = L"SOFTWARE\\Orvane\\Anti-Virus";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WEXAWIN32Vp5";
const wchar_t* const kPrograms[] = {L"SigFetch.exe", L"ovfix.exe",       L"ovav.exe",   L"ovavrep.exe",
                                    L"ovavtray.exe", L"nimboreport.exe", L"wardel.exe", L"wexa32.exe",
                                    L"wexamsg.exe",  L"wexatray.exe"};

class Antivirus : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(ovtest::IsIsolated()) << "changes HKLM and the Windows folder"; }

    static std::wstring SetupPath() { return ovtest::BinDir() + L"\\standins\\antivirus\\setup.exe"; }
    static std::wstring Uninstaller() { return WindowsFolder() + L"\\unwexa32.exe"; }
    // The command line the suite builds: the quoted program, its switches, the quoted folder.
    static std::wstring SetupCommand(const std::wstring& switches, const std::wstring& folder) {
        return Quoted(SetupPath()) + L" " + switches + L"/ProductDest=" + Quoted(folder);
    }

    RecordFolder records_;
    Switches switches_;
};

TEST_F(Antivirus, InstallsWhatTheSuiteReadsAndItsUninstallerRemovesIt) {
    ovtest::ScratchDir root;
    const std::wstring folder = root / L"Tarnel Nimbo Antivirus";  // a blank, as under Program Files
    const std::wstring command = SetupCommand(L"/Silent /NoUpdateFromWeb ", folder);
    ASSERT_EQ(0, ovtest::RunProcess(command));

    EXPECT_EQ(4u, ReadDword(kProductKey, L"ProductId", 0));
    EXPECT_EQ(FileVersionOf(SetupPath()),
              ReadString(L"SOFTWARE\\Orvane\\Anti-Virus\\AutoDownload", L"ProductBaseVersion"));
    EXPECT_EQ(folder, ReadString(L"SOFTWARE\\Orvane\\Anti-Virus\\Install", L"ProgramPath"));
    EXPECT_EQ(Quoted(Uninstaller()), ReadString(kUninstallKey, L"UninstallString"));
    EXPECT_EQ(L"Tarnel Nimbo Antivirus", ReadString(kUninstallKey, L"DisplayName"));
    for (const wchar_t* program : kPrograms)
        EXPECT_TRUE(ovtest::PathExists(folder + L"\\" + program)) << ovtest::Narrow(program);
    EXPECT_TRUE(ovtest::PathExists(folder + L"\\wexa.dat"));
    EXPECT_TRUE(ovtest::PathExists(Uninstaller()));
    auto setup = records_.Read(L"avsetup");
    ASSERT_EQ(1u, setup.size());
    EXPECT_EQ(ovtest::Narrow(command), ValueOf(setup[0], "command line"));
    EXPECT_EQ(ovtest::Narrow(folder), ValueOf(setup[0], "destination"));
    EXPECT_EQ("installed", ValueOf(setup[0], "result"));

    // What the suite starts afterwards: the signature download and the first scan.
    const std::wstring download = Quoted(folder + L"\\sigfetch.exe") + L" /FullInstallSilent";
    const std::wstring scan = Quoted(folder + L"\\ovav.exe") + L" -x";
    EXPECT_EQ(0, ovtest::RunProcess(download));
    EXPECT_EQ(0, ovtest::RunProcess(scan));
    EXPECT_EQ(std::vector<std::string>{ovtest::Narrow(download)},
              ValuesOf(records_.Read(L"sigfetch"), "command line"));
    EXPECT_EQ(std::vector<std::string>{ovtest::Narrow(scan)},
              ValuesOf(records_.Read(L"ovav"), "command line"));

    // The suite's own help file in the folder is not the uninstaller's to remove: it and the folder stay.
    ASSERT_TRUE(ovtest::WriteFileBytes(folder + L"\\kestraav.chm", "help"));
    EXPECT_EQ(0, ovtest::RunProcess(Quoted(Uninstaller()) + L" /Silent"));
    EXPECT_FALSE(KeyExists(kProductKey));
    EXPECT_FALSE(KeyExists(kUninstallKey));
    for (const wchar_t* program : kPrograms)
        EXPECT_FALSE(ovtest::PathExists(folder + L"\\" + program)) << ovtest::Narrow(program);
    EXPECT_FALSE(ovtest::PathExists(folder + L"\\wexa.dat"));
    EXPECT_TRUE(ovtest::PathExists(folder + L"\\kestraav.chm"));
    auto uninstaller = records_.Read(L"unwexa32");
    ASSERT_EQ(1u, uninstaller.size());
    EXPECT_EQ("yes", ValueOf(uninstaller[0], "silent"));
    EXPECT_EQ("removed", ValueOf(uninstaller[0], "result"));
}

TEST_F(Antivirus, SetupFollowsItsSwitchesAndOptions) {
    struct Case {
        const char* name;
        const wchar_t* options;  // before "/ProductDest"
        DWORD failStart;         // switch FailStart
        const wchar_t* version;  // switch Version; null: not set
        int exitCode;
        const wchar_t* registered;  // ProductBaseVersion afterwards; null: the file version; "": none
        bool displayName;           // the Uninstall entry shows in Add/Remove Programs
        const char* download;       // switch SigFetch was started with; null: not started
    } cases[] = {
        {"fails to start", L"/Silent /NoUpdateFromWeb ", 1, nullptr, 1, L"", false, nullptr},
        {"older version", L"/Silent /NoUpdateFromWeb ", 0, L"6.0.2", 0, L"6.0.2", true, nullptr},
        {"no uninstall info", L"/Silent /NoUpdateFromWeb /NoUninstallInfo ", 0, nullptr, 0, nullptr, false,
         nullptr},
        {"downloads, unattended", L"/DisplayLevel=1 ", 0, nullptr, 0, nullptr, true, "/FullInstallSilent"},
        {"downloads, shown", L"", 0, nullptr, 0, nullptr, true, "/FullInstall"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordFolder records;
        Switches switches;
        switches.Set(L"avsetup", L"FailStart", c.failStart);
        if (c.version)
            switches.Set(L"avsetup", L"Version", c.version);
        ovtest::ScratchDir root;
        const std::wstring folder = root / L"Antivirus";

        EXPECT_EQ(c.exitCode, ovtest::RunProcess(SetupCommand(c.options, folder)));
        std::wstring expected = c.registered ? c.registered : FileVersionOf(SetupPath());
        EXPECT_EQ(expected, ReadString(L"SOFTWARE\\Orvane\\Anti-Virus\\AutoDownload", L"ProductBaseVersion"));
        EXPECT_EQ(!expected.empty(), ValueExists(kUninstallKey, L"UninstallString"));
        EXPECT_EQ(c.displayName, ValueExists(kUninstallKey, L"DisplayName"));
        auto downloads = records.Read(L"sigfetch");
        if (c.download) {
            ASSERT_EQ(1u, downloads.size());
            EXPECT_EQ(ovtest::Narrow(Quoted(folder + L"\\SigFetch.exe")) + " " + c.download,
                      ValueOf(downloads[0], "command line"));
        } else {
            EXPECT_TRUE(downloads.empty());
        }
        EXPECT_EQ(c.failStart ? "failed to start" : "installed",
                  ValueOf(records.Read(L"avsetup").at(0), "result"));

        ovtest::RunProcess(Quoted(Uninstaller()) + L" /Silent");
        EXPECT_FALSE(KeyExists(kProductKey));
    }
}

TEST_F(Antivirus, UninstallerThatRefusesLeavesEverything) {
    ovtest::ScratchDir root;
    const std::wstring folder = root / L"Antivirus";
    ASSERT_EQ(0, ovtest::RunProcess(SetupCommand(L"/Silent /NoUpdateFromWeb ", folder)));
    switches_.Set(L"unwexa32", L"Refuse", 1);

    EXPECT_EQ(1, ovtest::RunProcess(Quoted(Uninstaller()) + L" /Silent"));
    EXPECT_TRUE(ValueExists(L"SOFTWARE\\Orvane\\Anti-Virus\\AutoDownload", L"ProductBaseVersion"));
    EXPECT_TRUE(ValueExists(kUninstallKey, L"UninstallString"));
    EXPECT_TRUE(ovtest::PathExists(folder + L"\\ovav.exe"));
    EXPECT_EQ("refused", ValueOf(records_.Read(L"unwexa32").at(0), "result"));
}

}  // namespace
}  // namespace avfw
