// The antivirus component against the antivirus product's stand-ins on a machine of its own: its
// nested setup runs from a package with the switches of the run and is judged by the version it
// leaves; signatures and the first scan follow; its uninstaller runs. And which Windows versions the
// antivirus and the firewall component refuse.
#include <gtest/gtest.h>

#include <string>

#include "package.h"
#include "records.h"
#include "support/test_support.h"

using avfwtest::Environment;
using avfwtest::Package;
using avfwtest::Results;

namespace {

const wchar_t kAvSetupVersion[] = L"7.1.0.150";  // the setup stand-in's and the package's

TEST(Child, Step) {
    if (avfwtest::ChildStep().empty())
        GTEST_SKIP() << "runs only as the package's copy";
    avfwtest::RunChildStep();
}

std::wstring WindowsFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetWindowsDirectoryW(folder, MAX_PATH);
    return folder;
}

class AntivirusMachine : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ovtest::IsIsolated()) << "installs into HKLM and the Windows folder";
        package_.Add(L"av", {L"standins\\antivirus\\setup.exe", L"av_package\\ovavprod.dll"});
        package_.Write(L"av\\kestraav.chm", "help");
    }
    // Without a suite shell there is no program group to make.
    Environment Run(const std::wstring& options, const wchar_t* shell = L"0") const {
        return {{L"OV_PRODUCTS", L"av"},
                {L"OV_SHELL", shell},
                {L"OV_OPTIONS", options + L" /NoProgramGroup /ProductDest=\"" + destination_ + L"\""}};
    }
    std::string LastSetup(const char* key) const {
        auto entries = records_.Read(L"avsetup");
        return entries.empty() ? "" : avfw::ValueOf(entries.back(), key);
    }

    avfw::RecordFolder records_;
    avfw::Switches switches_;
    Package package_;
    ovtest::ScratchDir place_;
    std::wstring destination_ = place_ / L"Tarnel";
    std::wstring folder_ = destination_ + L"\\Tarnel Nimbo Antivirus";
};

TEST_F(AntivirusMachine, NestedSetupTakesTheRunsOptions) {
    Results results = package_.Run("av-switches", Run(L"/DisplayLevel=0"));
    auto entries = records_.Read(L"avsetup");
    ASSERT_EQ(16u, entries.size());
    const std::wstring program = L"\"" + (package_ / L"av\\setup.exe") + L"\" ";
    const wchar_t* const whenClear[] = {L"/NoUpdateFirewall ", L"/NoUninstallInfo ", L"/NoProgramGroup ",
                                        L"/IgnoreOtherAV "};
    for (int combination = 0; combination < 16; ++combination) {
        std::wstring expected = program + L"/Silent /NoUpdateFromWeb ";
        for (int option = 0; option < 4; ++option) {
            if (combination & (1 << option))
                expected += whenClear[option];
        }
        expected += L"/ProductDest=\"" + folder_ + L"\"";
        EXPECT_EQ(ovtest::Narrow(expected), avfw::ValueOf(entries[combination], "command line"))
            << combination;
        EXPECT_EQ(ovtest::Narrow(folder_), avfw::ValueOf(entries[combination], "destination")) << combination;
        EXPECT_EQ("0", results["av.install." + std::to_string(combination)]) << combination;
    }
}

TEST_F(AntivirusMachine, JudgedByTheVersionLeftBehindNeverByTheExitCode) {
    // Nothing installed: the empty folder made for it goes again.
    switches_.Set(L"avsetup", L"FailStart", 1);
    EXPECT_EQ("9027", package_.Run("install", Run(L"/DisplayLevel=0"))["av.install"]);
    EXPECT_EQ("failed to start", LastSetup("result"));
    EXPECT_FALSE(ovtest::PathExists(folder_));

    // Installed and exit code 0, but older than the package.
    switches_.Set(L"avsetup", L"FailStart", 0);
    switches_.Set(L"avsetup", L"Version", L"7.0.0.1");
    EXPECT_EQ("9027", package_.Run("install", Run(L"/DisplayLevel=0"))["av.install"]);
    EXPECT_EQ("installed", LastSetup("result"));

    // The package's version left behind by an earlier run: a setup that fails is no failure.
    switches_.Set(L"avsetup", L"Version", kAvSetupVersion);
    EXPECT_EQ("0", package_.Run("install", Run(L"/DisplayLevel=0"))["av.install"]);
    switches_.Set(L"avsetup", L"FailStart", 1);
    Results again = package_.Run("install", Run(L"/DisplayLevel=0"));
    EXPECT_EQ("0", again["av.install"]);
    EXPECT_EQ(ovtest::Narrow(kAvSetupVersion), again["av.installed"]);
    EXPECT_EQ("failed to start", LastSetup("result"));

    // A newer installed antivirus refuses the package, unless it is of version 10 or later.
    switches_.Set(L"avsetup", L"FailStart", 0);
    struct Case {
        const wchar_t* installed;
        const char* check;
    } cases[] = {{L"7.2.0.0", "9015"}, {L"10.0.0.1", "0"}, {L"7.1.0.150", "0"}};
    for (const Case& c : cases) {
        switches_.Set(L"avsetup", L"Version", c.installed);
        package_.Run("install", Run(L"/DisplayLevel=0"));
        EXPECT_EQ(c.check, package_.Run("check", Run(L"/DisplayLevel=0"))["av.version"])
            << ovtest::Narrow(c.installed);
    }
}

TEST_F(AntivirusMachine, SignaturesThenAFirstScanOfAnAntivirusOnItsOwn) {
    struct Case {
        const char* what;
        std::wstring options;
        const wchar_t* shell;
        const char* download;  // the signature download's switch, "" for none
        bool scan;
    } cases[] = {
        {"unattended", L"/DisplayLevel=1", L"0", "/FullInstallSilent", false},
        {"a person watches", L"/DisplayLevel=2", L"0", "/FullInstall", true},
        {"inside the suite", L"/DisplayLevel=2", L"1", "/FullInstall", false},
        {"no scan asked", L"/DisplayLevel=2 /NoScan", L"0", "/FullInstall", false},
        {"no download asked", L"/DisplayLevel=2 /NoUpdateFromWeb", L"0", "", true},
    };
    for (const Case& c : cases) {
        avfw::RecordFolder records;
        Results results = package_.Run("install", Run(c.options, c.shell));
        EXPECT_EQ("0", results["av.finish"]) << c.what;
        auto downloads = records.Read(L"sigfetch");
        std::string expected =
            c.download[0] != '\0' ? "\"" + ovtest::Narrow(folder_) + "\\sigfetch.exe\" " + c.download : "";
        EXPECT_EQ(expected, downloads.empty() ? "" : avfw::ValueOf(downloads.back(), "command line"))
            << c.what;
        auto scans = records.Read(L"ovav");
        EXPECT_EQ(c.scan ? "\"" + ovtest::Narrow(folder_) + "\\ovav.exe\" -x" : "",
                  scans.empty() ? "" : avfw::ValueOf(scans.back(), "command line"))
            << c.what;
    }
    EXPECT_TRUE(ovtest::PathExists(folder_ + L"\\kestraav.chm"));
}

TEST_F(AntivirusMachine, UninstallRunsTheProductsUninstaller) {
    ASSERT_EQ("0", package_.Run("install", Run(L"/DisplayLevel=0"))["av.finish"]);
    switches_.Set(L"unwexa32", L"Refuse", 1);
    EXPECT_EQ("9039", package_.Run("uninstall", Run(L"/DisplayLevel=0"))["av.uninstall"]);
    switches_.Set(L"unwexa32", L"Refuse", 0);
    EXPECT_EQ("0", package_.Run("uninstall", Run(L"/DisplayLevel=0"))["av.uninstall"]);
    auto entries = records_.Read(L"unwexa32");
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ("\"" + ovtest::Narrow(WindowsFolder()) + "\\unwexa32.exe\" /Silent",
              avfw::ValueOf(entries.back(), "command line"));
    EXPECT_EQ("removed", avfw::ValueOf(entries.back(), "result"));
}

// ---- Windows versions ----------------------------------------------------------------------------

const std::wstring kNtVersionKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
const std::wstring kProductOptions = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

// The version a program without one of its own reports: the registry's. The only way to choose the
// service pack text. Put back at destruction.
class RegistryWindows {
  public:
    RegistryWindows(const wchar_t* version, const wchar_t* servicePack, const wchar_t* productType) {
        Keep(kNtVersionKey, L"CurrentVersion", version);
        Keep(kNtVersionKey, L"CSDVersion", servicePack);
        Keep(kProductOptions, L"ProductType", productType);
    }
    ~RegistryWindows() {
        for (const auto& value : kept_)
            ovtest::SetRegString(HKEY_LOCAL_MACHINE, value[0], value[1], value[2]);
    }

  private:
    void Keep(const std::wstring& key, const wchar_t* name, const wchar_t* value) {
        if (value == nullptr)
            return;
        std::wstring old;
        ovtest::GetRegString(HKEY_LOCAL_MACHINE, key, name, &old);
        kept_.push_back({key, name, old});
        ovtest::SetRegString(HKEY_LOCAL_MACHINE, key, name, value);
    }
    std::vector<std::vector<std::wstring>> kept_;
};

TEST(OperatingSystem, EachComponentRefusesItsOwnOldWindows) {
    ASSERT_TRUE(ovtest::IsIsolated()) << "changes the Windows version of the machine";
    Package english;
    english.Add(L"av", {L"av_package\\ovavprod.dll"});
    english.Add(L"fw", {L"fw_packages\\normal\\ovavprod.dll"});
    Package german;
    german.Add(L"", {L"av_package\\german\\kestrares.dll"});
    german.Add(L"av", {L"av_package\\ovavprod.dll"});
    german.Add(L"fw", {L"fw_packages\\normal\\ovavprod.dll"});
    struct Case {
        const char* what;
        Package* package;
        const wchar_t* winver;  // Wine's version for the program, or "" for the registry's below
        const wchar_t* version;
        const wchar_t* servicePack;
        const wchar_t* productType;
        const char* antivirus;  // code and text
        const char* firewall;
    } cases[] = {
        {"NT 3.51", &english, L"", L"3.51", L"", nullptr, "9009 Windows NT 3.51", "9009 Windows NT 3.51"},
        {"NT 4.0 with service pack 2", &english, L"", L"4.0", L"Service Pack 2", nullptr,
         "9009 Windows NT 4.00 Service Pack 2", "9009 Windows NT 4.00"},
        {"the same in other letters", &english, L"", L"4.0", L"service pack 2", nullptr,
         "9009 Windows NT 4.00 service pack 2", "9009 Windows NT 4.00"},
        {"NT 4.0 with service pack 1", &english, L"", L"4.0", L"Service Pack 1", nullptr, "0 ",
         "9009 Windows NT 4.00"},
        {"NT 4.0 with service pack 6a", &english, L"nt40", nullptr, nullptr, nullptr, "0 ",
         "9009 Windows NT 4.00"},
        {"English Windows 95", &english, L"win95", nullptr, nullptr, nullptr, "0 ", "9009 Windows 95"},
        {"German Windows 95", &german, L"win95", nullptr, nullptr, nullptr,
         "9009 Windows 95 (Deutsch - 4.00)", "9009 Windows 95"},
        {"German Windows 98", &german, L"win98", nullptr, nullptr, nullptr, "0 ", "0 "},
        {"Windows ME", &english, L"winme", nullptr, nullptr, nullptr, "0 ", "0 "},
        {"Windows XP", &english, L"winxp", nullptr, nullptr, nullptr, "0 ", "0 "},
        {"an NT server", &english, L"winxp", nullptr, nullptr, L"ServerNT", "0 ", "9009 Windows XP Server"},
    };
    for (const Case& c : cases) {
        RegistryWindows registry(c.version, c.servicePack, c.productType);
        Results results = c.package->Run(
            "check", {{L"OV_PRODUCTS", L"av,fw"}, {L"OV_OPTIONS", L"/DisplayLevel=0"}}, c.winver);
        EXPECT_EQ(c.antivirus, results["av.os"] + " " + results["av.os.text"]) << c.what;
        EXPECT_EQ(c.firewall, results["fw.os"] + " " + results["fw.os.text"]) << c.what;
        EXPECT_EQ(0u, results.count("failed")) << c.what;
    }
}

}  // namespace
