// The firewall engine's stand-ins driven as the suite drives them: "zapsetup.exe /s /M=... /NOREBOOT"
// and "zauninst.exe /s /noreboot", each while a watcher answers their confirmation dialogs.
#include <gtest/gtest.h>

#include <windows.h>
// windows.h first: tlhelp32.h builds on it.
#include <tlhelp32.h>

#include <atomic>
#include <memory>

#include <shlwapi.h>

#include "records.h"
#include "support/test_support.h"

namespace avfw {
namespace {

const wchar_t kEngineKey[] = L"SOFTWARE\\Zone Labs\\ZoneAlarm";
const wchar_t kZoneLabsKey[] = L"SOFTWARE\\Zone Labs";
const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kUninstallRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kDriverKey[] = L"SYSTEM\\CurrentControlSet\\Services\\vsdatant";

// Answers the engine's confirmation dialogs the way the suite's watcher does: it looks for a
// "#32770" window titled with each of the suite's texts 24009 to 24015 in turn, about 150 ms per
// title, and sends the one it finds WM_COMMAND with `command` (6, Yes).
class Watcher {
  public:
    explicit Watcher(WPARAM command = IDYES) : command_(command) {
        HMODULE strings = LoadLibraryExW((ovtest::BinDir() + L"\\kestrares.dll").c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE);
        for (UINT id : {24009u, 24010u, 24011u, 24012u, 24014u, 24013u, 24015u}) {
            wchar_t title[256] = {};
            LoadStringW(strings, id, title, 256);
            titles_.push_back(title);
        }
        FreeLibrary(strings);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~Watcher() { Stop(); }

    // Ends the watcher; the titles it answered, in order.
    std::vector<std::string> Stop() {
        running_ = false;
        if (thread_ != nullptr) {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
            thread_ = nullptr;
        }
        return answered_;
    }

  private:
    static DWORD WINAPI Run(LPVOID self) {
        static_cast<Watcher*>(self)->Watch();
        return 0;
    }

    void Watch() {
        while (running_) {
            for (const std::wstring& title : titles_) {
                DWORD start = GetTickCount();
                HWND dialog = nullptr;
                while ((dialog = FindWindowW(L"#32770", title.c_str())) == nullptr &&
                       GetTickCount() - start < 150)
                    Sleep(100);
                if (dialog != nullptr) {
                    SendMessageW(dialog, WM_COMMAND, command_, 0);
                    answered_.push_back(ovtest::Narrow(title));
                    // Not the same dialog twice: it closes once its program's dialog loop notices.
                    for (int i = 0; i < 100 && IsWindow(dialog); ++i)
                        Sleep(20);
                    break;
                }
                if (!running_)
                    break;
            }
        }
    }

    WPARAM command_;
    std::vector<std::wstring> titles_;
    std::vector<std::string> answered_;
    std::atomic<bool> running_{true};
    HANDLE thread_ = nullptr;
};

// The id of a running process with this file name other than this one; 0 when there is none.
DWORD FindProcess(const wchar_t* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD found = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && found == 0;
         more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, name) == 0 && entry.th32ProcessID != GetCurrentProcessId())
            found = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
    return found;
}

bool WaitForProcess(DWORD id, DWORD timeoutMs) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (process == nullptr)
        return true;  // already gone
    bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

class Firewall : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(ovtest::IsIsolated()) << "changes HKLM and the system folder"; }
    // What the engine's uninstaller leaves for the suite to remove.
    void TearDown() override { SHDeleteKeyW(HKEY_LOCAL_MACHINE, kZoneLabsKey); }

    static std::wstring SetupPath() { return ovtest::BinDir() + L"\\standins\\firewall\\zapsetup.exe"; }
    static std::wstring UnifiedSetupPath() {
        return ovtest::BinDir() + L"\\standins\\firewall\\unified\\zapsetup.exe";
    }
    static std::wstring SetupCommand(const std::wstring& setup, const std::wstring& config) {
        return Quoted(setup) + L" /s /M=" + Quoted(config) + L" /NOREBOOT";
    }
    // The suite's configuration file: ANSI lines, CR LF. `group` may hold code page bytes.
    static std::string Config(const std::string& title, const std::wstring& folder,
                              const std::string& group) {
        return "OEM_APPTITLE=" + title + "\r\nOEM_MAINDIR=" + ovtest::Narrow(folder) +
               "\r\nOEM_EXENAME=ov.exe\r\nOEM_SHTCTFLDR=" + group + "\r\nOEM_CONAME=Orvane\r\n";
    }
    // Removes an installed engine and waits for the uninstaller's second process.
    static void Uninstall(const std::wstring& folder) {
        Watcher watcher;
        ASSERT_EQ(0, ovtest::RunProcess(Quoted(folder + L"\\zauninst.exe") + L" /s /noreboot"));
        DWORD second = FindProcess(L"zauninst.exe");
        ASSERT_TRUE(second == 0 || WaitForProcess(second, 30000));
    }

    RecordFolder records_;
    Switches switches_;
    ovtest::ScratchDir root_;
};

TEST_F(Firewall, InstallsBrandedAndItsUninstallerHandsOverToASecondProcess) {
    const std::wstring folder = root_ / L"Tarnel Personal Firewall";
    const std::wstring configPath = root_ / L"fwconfig.txt";
    const std::string config = Config("Tarnel Personal Firewall", folder, "Suite\\Caf\xE9");
    ASSERT_TRUE(ovtest::WriteFileBytes(configPath, config));
    const std::wstring command = SetupCommand(SetupPath(), configPath);
    {
        Watcher watcher;
        ASSERT_EQ(0, ovtest::RunProcess(command));
        EXPECT_EQ(std::vector<std::string>{"ZoneAlarm Setup"}, watcher.Stop());
    }
    auto setup = records_.Read(L"zapsetup");
    ASSERT_EQ(1u, setup.size());
    EXPECT_EQ(ovtest::Narrow(command), ValueOf(setup[0], "command line"));
    EXPECT_EQ(Hex(config), ValueOf(setup[0], "config"));
    EXPECT_EQ("ZoneAlarm Setup: yes", ValueOf(setup[0], "dialogs"));
    EXPECT_EQ("installed", ValueOf(setup[0], "result"));

    const std::wstring version = FileVersionOf(SetupPath());
    EXPECT_EQ(version, ReadString(kEngineKey, L"CurrentVersion"));
    EXPECT_EQ(folder, ReadString(kEngineKey, L"InstallDirectory"));
    EXPECT_EQ(0u, ReadDword(kZoneLabsKey, L"IsUnified", 99));
    EXPECT_EQ(L"Tarnel Personal Firewall",
              ReadString(std::wstring(kEngineKey) + L"\\Registration\\" + version, L"ProductName"));
    const std::wstring entry = std::wstring(kUninstallRoot) + L"Tarnel Personal Firewall";
    EXPECT_EQ(Quoted(folder + L"\\zauninst.exe"), ReadString(entry, L"UninstallString"));
    EXPECT_EQ(folder + L"\\ov.exe", ReadString(kRunKey, L"Zone Labs Client"));
    EXPECT_TRUE(KeyExists(kDriverKey));
    for (const wchar_t* name : {L"ov.exe", L"zatutor.exe", L"zauninst.exe", L"alert.zap", L"help"})
        EXPECT_TRUE(ovtest::PathExists(folder + L"\\" + name)) << ovtest::Narrow(name);
    EXPECT_EQ(config, ovtest::ReadFileBytes(folder + L"\\oeminfo.ini"));  // the brand file
    HMODULE library = LoadLibraryW((SystemFolder() + L"\\vspubapi.dll").c_str());
    EXPECT_TRUE(library != nullptr && GetProcAddress(library, "tvInitialize") != nullptr);
    FreeLibrary(library);

    // The suite copies its help file into the engine's help folder; the uninstaller leaves it.
    ASSERT_TRUE(ovtest::WriteFileBytes(folder + L"\\help\\kestrafw.chm", "help"));
    switches_.Set(L"zauninst", L"Delay", 2000);
    Watcher watcher;
    const std::wstring uninstall = Quoted(folder + L"\\zauninst.exe") + L" /s /noreboot";
    ASSERT_EQ(0, ovtest::RunProcess(uninstall));
    // The first process has ended with the work still to do: a second one of the same name does it.
    DWORD second = FindProcess(L"zauninst.exe");
    ASSERT_NE(0u, second);
    EXPECT_TRUE(ovtest::PathExists(folder + L"\\alert.zap"));
    ASSERT_TRUE(WaitForProcess(second, 30000));
    EXPECT_EQ(std::vector<std::string>{"ZoneAlarm Uninstall"}, watcher.Stop());

    EXPECT_FALSE(KeyExists(kEngineKey));
    EXPECT_FALSE(KeyExists(L"SOFTWARE\\Zone Labs\\TrueVector"));
    EXPECT_FALSE(KeyExists(entry));
    EXPECT_FALSE(ValueExists(kRunKey, L"Zone Labs Client"));
    for (const wchar_t* name : {L"ov.exe", L"zatutor.exe", L"zauninst.exe", L"alert.zap", L"oeminfo.ini"})
        EXPECT_FALSE(ovtest::PathExists(folder + L"\\" + name)) << ovtest::Narrow(name);
    EXPECT_TRUE(ovtest::PathExists(folder + L"\\help\\kestrafw.chm"));
    // Left for the suite to clear: the system folder's files, the driver's key, the mode.
    EXPECT_TRUE(ovtest::PathExists(SystemFolder() + L"\\vspubapi.dll"));
    EXPECT_TRUE(ovtest::PathExists(SystemFolder() + L"\\ZoneLabs"));
    EXPECT_TRUE(KeyExists(kDriverKey));
    EXPECT_TRUE(ValueExists(kZoneLabsKey, L"IsUnified"));

    auto uninstaller = records_.Read(L"zauninst");
    ASSERT_EQ(2u, uninstaller.size());
    EXPECT_EQ(ovtest::Narrow(uninstall), ValueOf(uninstaller[0], "command line"));
    EXPECT_EQ((std::vector<std::string>{"first", "second"}), ValuesOf(uninstaller, "stage"));
    EXPECT_EQ((std::vector<std::string>{"handed over", "removed"}), ValuesOf(uninstaller, "result"));
    EXPECT_EQ(ovtest::Narrow(folder), ValueOf(uninstaller[1], "program folder"));
}

TEST_F(Firewall, WithoutConfigurationInstallsThePlainEngine) {
    wchar_t programFiles[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH), 0u);
    const std::wstring folder = std::wstring(programFiles) + L"\\Zone Labs\\ZoneAlarm";
    {
        Watcher watcher;
        EXPECT_EQ(0, ovtest::RunProcess(Quoted(SetupPath()) + L" /s /NOREBOOT"));
    }
    EXPECT_EQ(folder, ReadString(kEngineKey, L"InstallDirectory"));
    EXPECT_EQ(Quoted(folder + L"\\zauninst.exe"),
              ReadString(std::wstring(kUninstallRoot) + L"ZoneAlarm", L"UninstallString"));
    EXPECT_TRUE(ovtest::PathExists(folder + L"\\alert.zap"));
    EXPECT_FALSE(ovtest::PathExists(folder + L"\\oeminfo.ini"));
    EXPECT_FALSE(ValueExists(kZoneLabsKey, L"OEM"));
    Uninstall(folder);
}

TEST_F(Firewall, ShowsTheDialogsItIsToldEachWithATitleTheWatcherKnows) {
    const std::wstring folder = root_ / L"Firewall";
    ASSERT_TRUE(ovtest::WriteFileBytes(root_ / L"fwconfig.txt", Config("Firewall", folder, "Suite")));
    switches_.Set(L"zapsetup", L"Dialogs", L"24009, 24010, 24011, 24012, 24013, 24014, 24015");
    Watcher watcher;
    ASSERT_EQ(0, ovtest::RunProcess(SetupCommand(SetupPath(), root_ / L"fwconfig.txt")));
    const std::vector<std::string> expected = {
        "ZoneAlarm Setup",        "ZoneAlarm Uninstall",        "TrueVector Service",
        "Zone Labs Client Setup", "Zone Labs Client Uninstall", "ZoneAlarm Upgrade",
        "ZoneAlarm Installation"};
    EXPECT_EQ(expected, watcher.Stop());
    Uninstall(folder);
}

TEST_F(Firewall, OverAnInstalledEngineAsksForTheUpgradeAndRecordsWhatItFound) {
    const std::wstring folder = root_ / L"Firewall";
    ASSERT_TRUE(
        ovtest::WriteFileBytes(root_ / L"fwconfig.txt", Config("Tarnel Personal Firewall", folder, "Suite")));
    switches_.Set(L"zapsetup", L"Version", L"6.0.1.0");
    {
        Watcher watcher;
        ASSERT_EQ(0, ovtest::RunProcess(SetupCommand(SetupPath(), root_ / L"fwconfig.txt")));
    }
    RecordFolder records;
    Switches switches;
    switches.Set(L"zapsetup", L"Version", L"6.1.0.0");
    Watcher watcher;
    ASSERT_EQ(0, ovtest::RunProcess(SetupCommand(SetupPath(), root_ / L"fwconfig.txt")));
    EXPECT_EQ(std::vector<std::string>{"ZoneAlarm Upgrade"}, watcher.Stop());
    auto setup = records.Read(L"zapsetup");
    ASSERT_EQ(1u, setup.size());
    EXPECT_EQ("6.0.1.0", ValueOf(setup[0], "previous version"));
    EXPECT_EQ("Tarnel Personal Firewall", ValueOf(setup[0], "previous product name"));
    EXPECT_EQ(L"6.1.0.0", ReadString(kEngineKey, L"CurrentVersion"));
    Uninstall(folder);
}

TEST_F(Firewall, SetupInstallsNothingUnlessEveryDialogIsAnsweredYes) {
    struct Case {
        const char* name;
        WPARAM answer;  // 0: nobody answers
        DWORD failStart;
        const char* dialogs;
        const char* result;
    } cases[] = {
        {"answered no", IDNO, 0, "ZoneAlarm Setup: no", "cancelled"},
        {"not answered", 0, 0, "ZoneAlarm Setup: none", "cancelled"},
        {"fails to start", IDYES, 1, "", "failed to start"},
    };
    const std::wstring folder = root_ / L"Firewall";
    ASSERT_TRUE(ovtest::WriteFileBytes(root_ / L"fwconfig.txt", Config("Firewall", folder, "Suite")));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordFolder records;
        Switches switches;
        switches.Set(L"zapsetup", L"FailStart", c.failStart);
        switches.Set(L"zapsetup", L"DialogTimeout", 1500);
        std::unique_ptr<Watcher> watcher(c.answer ? new Watcher(c.answer) : nullptr);
        EXPECT_EQ(1, ovtest::RunProcess(SetupCommand(SetupPath(), root_ / L"fwconfig.txt")));
        watcher.reset();
        EXPECT_FALSE(KeyExists(kEngineKey));
        EXPECT_FALSE(ovtest::PathExists(folder));
        auto setup = records.Read(L"zapsetup");
        ASSERT_EQ(1u, setup.size());
        EXPECT_EQ(c.dialogs, ValueOf(setup[0], "dialogs"));
        EXPECT_EQ(c.result, ValueOf(setup[0], "result"));
    }
}

TEST_F(Firewall, UnifiedModeComesFromTheBuildOrTheSwitch) {
    struct Case {
        const char* name;
        bool unifiedBuild;
        DWORD unifiedSwitch;  // 2: not set
        DWORD isUnified;
    } cases[] = {
        {"unified build", true, 2, 1},
        {"normal build told unified", false, 1, 1},
        {"unified build told normal", true, 0, 0},
    };
    const std::wstring folder = root_ / L"Firewall";
    ASSERT_TRUE(
        ovtest::WriteFileBytes(root_ / L"fwconfig.txt", Config("Tarnel Nimbo Carapel", folder, "Suite")));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Switches switches;
        if (c.unifiedSwitch != 2)
            switches.Set(L"zapsetup", L"Unified", c.unifiedSwitch);
        const std::wstring setup = c.unifiedBuild ? UnifiedSetupPath() : SetupPath();
        {
            Watcher watcher;
            ASSERT_EQ(0, ovtest::RunProcess(SetupCommand(setup, root_ / L"fwconfig.txt")));
        }
        EXPECT_EQ(c.isUnified, ReadDword(kZoneLabsKey, L"IsUnified", 99));
        EXPECT_EQ(FileVersionOf(setup), ReadString(kEngineKey, L"CurrentVersion"));
        Uninstall(folder);
    }
    EXPECT_NE(FileVersionOf(SetupPath()), FileVersionOf(UnifiedSetupPath()));
}

TEST_F(Firewall, UninstallerThatRefusesStartsNoSecondProcess) {
    const std::wstring folder = root_ / L"Firewall";
    ASSERT_TRUE(ovtest::WriteFileBytes(root_ / L"fwconfig.txt", Config("Firewall", folder, "Suite")));
    {
        Watcher watcher;
        ASSERT_EQ(0, ovtest::RunProcess(SetupCommand(SetupPath(), root_ / L"fwconfig.txt")));
    }
    switches_.Set(L"zauninst", L"Refuse", 1);
    EXPECT_EQ(1, ovtest::RunProcess(Quoted(folder + L"\\zauninst.exe") + L" /s /noreboot"));
    EXPECT_EQ(0u, FindProcess(L"zauninst.exe"));
    EXPECT_TRUE(KeyExists(kEngineKey));
    EXPECT_EQ("refused", ValueOf(records_.Read(L"zauninst").at(0), "result"));
}

}  // namespace
}  // namespace avfw
