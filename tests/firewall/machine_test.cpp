// The firewall components against the engine's stand-ins on a machine of their own: the engine's
// setup and uninstaller really run from a package, answered by the watcher; the trust list is the
// one the engine's library keeps; Windows restarts.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <map>
#include <string>
#include <vector>

#include "components/product_fw.h"
#include "package.h"
#include "records.h"
#include "support/test_support.h"

using avfwtest::Package;
using avfwtest::Results;

namespace {

const std::wstring kApplications = L"SOFTWARE\\Zone Labs\\TrueVector\\Applications";
const std::wstring kZoneAlarm = L"SOFTWARE\\Zone Labs\\ZoneAlarm";
const std::wstring kRunOnce = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::wstring kEngineVersion = L"6.1.744.1";  // the normal-mode setup stand-in's

// The package's own program is this test; these steps run in its copy.
TEST(Child, Step) {
    if (avfwtest::ChildStep().empty())
        GTEST_SKIP() << "runs only as the package's copy";
    avfwtest::RunChildStep();
}

std::string Lower(std::wstring text) {
    CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return ovtest::Narrow(text);
}

// The engine's trust list: each program's path (lower case) with its permission fields 1, 2, 3, 4,
// 11 and 14 as one text.
std::map<std::string, std::string> TrustList() {
    std::map<std::string, std::string> list;
    HKEY apps = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kApplications.c_str(), 0, KEY_READ, &apps) != ERROR_SUCCESS)
        return list;
    wchar_t id[64];
    for (DWORD i = 0;; ++i) {
        DWORD length = 64;
        if (RegEnumKeyExW(apps, i, id, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        std::wstring key = kApplications + L"\\" + id;
        std::wstring path;
        DWORD fields[21] = {};
        DWORD bytes = sizeof(fields);
        ovtest::GetRegString(HKEY_LOCAL_MACHINE, key, L"Path", &path);
        RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Permissions", RRF_RT_REG_BINARY, nullptr, fields,
                     &bytes);
        list[Lower(path)] = std::to_string(fields[1]) + std::to_string(fields[2]) +
                            std::to_string(fields[3]) + std::to_string(fields[4]) +
                            std::to_string(fields[11]) + std::to_string(fields[14]);
    }
    RegCloseKey(apps);
    return list;
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

bool ValueExists(const std::wstring& key, const wchar_t* name) {
    std::wstring value;
    return ovtest::GetRegString(HKEY_LOCAL_MACHINE, key, name, &value);
}

std::wstring SystemFile(const wchar_t* name) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\" + name;
}

bool AnyFile(const std::wstring& pattern) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return true;
}

class FirewallMachine : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ovtest::IsIsolated()) << "installs the engine into the system folder";
    }

    // A package with the firewall engine's setup in its "fw" folder, normal or unified.
    static void AddFirewall(Package& package, bool unified) {
        package.Add(
            L"fw",
            {unified ? L"standins\\firewall\\unified\\zapsetup.exe" : L"standins\\firewall\\zapsetup.exe",
             unified ? L"fw_packages\\unified\\ovavprod.dll" : L"fw_packages\\normal\\ovavprod.dll"});
        package.Write(L"fw\\kestrafw.chm", "help");
    }
    static void AddAntivirus(Package& package) {
        package.Add(L"av", {L"standins\\antivirus\\setup.exe", L"av_package\\ovavprod.dll"});
        package.Write(L"av\\kestraav.chm", "help");
    }
    // Unattended; without a suite shell there is no program group to make.
    avfwtest::Environment Run(const wchar_t* products, const wchar_t* options = L"/NoProgramGroup") const {
        return {{L"OV_PRODUCTS", products},
                {L"OV_OPTIONS", std::wstring(L"/DisplayLevel=0 /Group=Suite /ProductDest=\"") + destination_ +
                                    L"\" " + options}};
    }

    avfw::RecordFolder records_;
    avfw::Switches switches_;
    ovtest::ScratchDir place_;
    // Outside the user's profile, where the setup program itself accepts a destination.
    std::wstring destination_ = L"C:\\Tarnel";
    std::wstring firewallFolder_ = destination_ + L"\\Tarnel Personal Firewall";
};

TEST_F(FirewallMachine, TrustListAtOnceOnAFirstInstallAndAtTheNextStartAfterAnUpgrade) {
    Package package;
    AddAntivirus(package);
    AddFirewall(package, false);
    // An installed suite shell, whose programs are trusted too.
    const std::wstring shell = place_ / L"Suite";
    CreateDirectoryW(shell.c_str(), nullptr);
    ovtest::WriteFileBytes(shell + L"\\ovkestra.exe", "x");
    ovtest::WriteFileBytes(shell + L"\\ovkestradt.exe", "x");
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Tarnel Suite Personal", L"Path", shell);
    // Newer than the packages' suite: the setup program leaves it as it is.
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Tarnel Suite Personal", L"Version",
                         L"9.0.0.0");
    ovtest::SetRegString(HKEY_LOCAL_MACHINE,
                         L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnel Suite Personal",
                         L"UninstallString", L"\"" + shell + L"\\ovuninst.exe\" /u");

    Results first = package.Run("install", Run(L"av,fw", L""));
    EXPECT_EQ("0", first["av.finish"]);
    EXPECT_EQ("0", first["fw.previous"]);
    EXPECT_EQ(ovtest::Narrow(kEngineVersion), first["fw.installed"]);
    EXPECT_EQ("0", first["fw.finish"]);
    EXPECT_EQ(0u, first.count("failed"));

    const std::string antivirus = Lower(destination_ + L"\\Tarnel Nimbo Antivirus\\");
    const std::string firewall = Lower(firewallFolder_ + L"\\");
    // Fields 1, 2, 3, 4, 11, 14 of a new entry: rule 2 gives 1, rule 3 gives 2.
    std::map<std::string, std::string> expected = {
        {firewall + "ov.exe", "121222"},
        {firewall + "zatutor.exe", "121222"},
        {Lower(shell) + "\\ovkestra.exe", "121222"},
        {Lower(shell) + "\\ovkestradt.exe", "121222"},
    };
    for (const char* program : {"sigfetch.exe", "ovfix.exe", "ovav.exe", "ovavtray.exe", "nimboreport.exe",
                                "wardel.exe", "wexa32.exe", "wexamsg.exe", "wexatray.exe"})
        expected[antivirus + program] = "121222";
    expected[antivirus + "ovavrep.exe"] = "121221";
    EXPECT_EQ(expected, TrustList());

    // Another engine version, installed this time by the setup program itself: the list is left to
    // a copy of it at the next start.
    switches_.Set(L"zapsetup", L"Version", L"6.2.0.0");
    Package upgrade;
    AddFirewall(upgrade, false);
    upgrade.Add(L"", {L"ovsetup.exe"});
    {
        avfw::RecordFolder upgradeRecords;
        const std::wstring options =
            L" /DisplayLevel=0 /Group=Suite /NoProgramGroup /ProductDest=\"" + destination_;
        EXPECT_EQ(0, ovtest::RunProcess(L"\"" + (upgrade / L"ovsetup.exe") + L"\"" + options + L"\""));
        EXPECT_EQ(L"6.2.0.0", avfw::ReadString(kZoneAlarm, L"CurrentVersion"));
        EXPECT_TRUE(upgradeRecords.Read(L"vspubapi").empty()) << "the list is not touched now";
    }
    std::wstring command;
    ASSERT_TRUE(ovtest::GetRegString(HKEY_LOCAL_MACHINE, kRunOnce, L"Kestra_TrustList", &command));
    EXPECT_EQ(L"\"" + firewallFolder_ + L"\\trustadd.exe\" /trustlist", command);
    EXPECT_EQ(ovtest::ReadFileBytes(upgrade / L"ovsetup.exe"),
              ovtest::ReadFileBytes(firewallFolder_ + L"\\trustadd.exe"));

    SHDeleteKeyW(HKEY_LOCAL_MACHINE, kApplications.c_str());
    ASSERT_EQ(0, ovtest::RestartWindows());
    EXPECT_FALSE(ValueExists(kRunOnce, L"Kestra_TrustList"));
    EXPECT_EQ(expected, TrustList()) << "the trust-list role ran at the start";
    EXPECT_FALSE(ovtest::PathExists(firewallFolder_ + L"\\trustadd.exe"));
    EXPECT_TRUE(AnyFile(firewallFolder_ + L"\\trustadd.*")) << "its file goes at the start after that";
    ASSERT_EQ(0, ovtest::RestartWindows());
    EXPECT_FALSE(AnyFile(firewallFolder_ + L"\\trustadd.*"));
}

TEST_F(FirewallMachine, JudgedByTheVersionTheEngineReports) {
    Package package;
    AddFirewall(package, false);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring config = std::wstring(temp) + L"fwconfig.txt";

    // The setup ends well but leaves an older engine than the package's.
    switches_.Set(L"zapsetup", L"Version", L"6.0.0.0");
    Results older = package.Run("install", Run(L"fw"));
    EXPECT_EQ("9027", older["fw.install"]);
    EXPECT_EQ("installed", avfw::ValueOf(records_.Read(L"zapsetup").back(), "result"));
    EXPECT_TRUE(ovtest::PathExists(config)) << "the configuration stays after a failed setup";

    // An engine of the suite's line takes the current name before the setup runs over it.
    const std::wstring registration = kZoneAlarm + L"\\Registration\\6.0.0.0";
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, registration, L"ProductName", L"Nimbo Firewall Classic");
    switches_.Set(L"zapsetup", L"Version", kEngineVersion);
    Results current = package.Run("install", Run(L"fw"));
    EXPECT_EQ("0", current["fw.install"]);
    auto setup = records_.Read(L"zapsetup").back();
    EXPECT_EQ("\"" + ovtest::Narrow(package / L"fw\\zapsetup.exe") + "\" /s /M=\"" + ovtest::Narrow(config) +
                  "\" /NOREBOOT",
              avfw::ValueOf(setup, "command line"));
    EXPECT_EQ(Hex("OEM_APPTITLE=Tarnel Personal Firewall\r\nOEM_MAINDIR=" + ovtest::Narrow(firewallFolder_) +
                  "\r\nOEM_EXENAME=ov.exe\r\nOEM_SHTCTFLDR=Suite\\Tarnel Personal "
                  "Firewall\r\nOEM_CONAME=Orvane\r\n"),
              avfw::ValueOf(setup, "config"));
    EXPECT_EQ("Tarnel Personal Firewall",
              avfw::ValueOf(records_.Read(L"zapsetup").back(), "previous product name"));
    EXPECT_FALSE(ovtest::PathExists(config)) << "deleted after a successful setup";
    std::wstring client;
    ovtest::GetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                         L"Zone Labs Client", &client);
    EXPECT_EQ(L"\"" + firewallFolder_ + L"\\ov.exe\"", client) << "the client starts from the suite's folder";

    // Anyone else's engine keeps its name; a setup that fails to start over an engine of the
    // package's version still leaves the right version behind.
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, kZoneAlarm + L"\\Registration\\" + kEngineVersion,
                         L"ProductName", L"ZoneAlarm");
    switches_.Set(L"zapsetup", L"FailStart", 1);
    Results failed = package.Run("install", Run(L"fw"));
    EXPECT_EQ("0", failed["fw.install"]);
    EXPECT_EQ("failed to start", avfw::ValueOf(records_.Read(L"zapsetup").back(), "result"));
    std::wstring name;
    ovtest::GetRegString(HKEY_LOCAL_MACHINE, kZoneAlarm + L"\\Registration\\" + kEngineVersion,
                         L"ProductName", &name);
    EXPECT_EQ(L"ZoneAlarm", name);
}

TEST_F(FirewallMachine, UninstallWaitsForTheSecondProcessAndRemovesWhatTheEngineLeaves) {
    Package package;
    AddFirewall(package, false);
    ASSERT_EQ("0", package.Run("install", Run(L"fw"))["fw.finish"]);
    ASSERT_TRUE(ovtest::PathExists(SystemFile(L"vspubapi.dll")));

    // Refused: the engine is still there, and so is what it keeps in the system folder.
    switches_.Set(L"zauninst", L"Refuse", 1);
    EXPECT_EQ("9039", package.Run("uninstall", Run(L"fw"))["fw.uninstall"]);
    EXPECT_TRUE(ovtest::PathExists(SystemFile(L"vspubapi.dll")));
    EXPECT_TRUE(ovtest::PathExists(SystemFile(L"ZoneLabs")));

    // The uninstaller hands over to a second process that works longer than the engine waits
    // for it to appear. Run as Windows 98, whose process list Wine does show.
    switches_.Set(L"zauninst", L"Refuse", 0);
    switches_.Set(L"zauninst", L"Delay", 4000);
    DWORD start = GetTickCount();
    Results removed = package.Run("uninstall", Run(L"fw"), L"win98");
    EXPECT_EQ("0", removed["fw.uninstall"]);
    EXPECT_GE(GetTickCount() - start, 4000u);
    auto uninstaller = records_.Read(L"zauninst");
    ASSERT_GE(uninstaller.size(), 2u);
    EXPECT_EQ("\"" + ovtest::Narrow(firewallFolder_) + "\\zauninst.exe\" /s /noreboot",
              avfw::ValueOf(uninstaller[uninstaller.size() - 2], "command line"));
    EXPECT_EQ("second", avfw::ValueOf(uninstaller.back(), "stage"));
    EXPECT_EQ("ZoneAlarm Uninstall: yes", avfw::ValueOf(uninstaller.back(), "dialogs"));
    for (const wchar_t* name : {L"vspubapi.dll", L"vsdatant.sys", L"zlcommdb.dll", L"ZoneLabs"})
        EXPECT_FALSE(ovtest::PathExists(SystemFile(name))) << ovtest::Narrow(name);
    HKEY driver = nullptr;
    EXPECT_NE(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\vsdatant", 0, KEY_READ,
                            &driver));
}

TEST_F(FirewallMachine, UnifiedPackageTakesOverANormalEngine) {
    Package normal;
    AddFirewall(normal, false);
    ASSERT_EQ("0", normal.Run("install", Run(L"fw"))["fw.finish"]);

    Package unified;
    AddFirewall(unified, true);
    EXPECT_EQ("0", unified.Run("check", Run(L"fwu"))["fwu.version"]);
    {
        ProductFWU before;
        EXPECT_EQ(0, before.IsInstalled(1));
    }
    Results install = unified.Run("install", Run(L"fwu"));
    EXPECT_EQ("0", install["fwu.previous"]) << "not installed before: the list is updated at once";
    EXPECT_EQ("6.5.722.0", install["fwu.installed"]) << "the unified setup's own version";
    EXPECT_EQ("0", install["fwu.finish"]);
    ProductFW firewall;
    ProductFWU unifiedFirewall;
    EXPECT_EQ(0, firewall.IsInstalled(1));
    EXPECT_EQ(1, unifiedFirewall.IsInstalled(1));
    EXPECT_EQ("121222", TrustList()[Lower(firewallFolder_ + L"\\ov.exe")]) << "updated in place";

    // An engine newer than the package's setup file refuses it, whatever the package's version says.
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, kZoneAlarm, L"CurrentVersion", L"6.6.0.0");
    Results check = unified.Run("check", Run(L"fwu"));
    EXPECT_EQ("9015", check["fwu.version"]);
}

}  // namespace
