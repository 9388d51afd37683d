// Which older and competing products each component finds, with the extra checks of its rows, and
// which firewall component counts as installed in which engine mode. The registry is redirected;
// the folders the checks look into are scratch folders.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "components/product_av.h"
#include "components/product_fw.h"
#include "support/test_support.h"

using ovtest::RegistryOverride;
using ovtest::SetRegDword;
using ovtest::SetRegString;

namespace {

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

void Entry(const std::wstring& key, const std::wstring& name) {
    SetRegString(HKEY_LOCAL_MACHINE, kUninstall + key, L"DisplayName", name);
    SetRegString(HKEY_LOCAL_MACHINE, kUninstall + key, L"UninstallString", L"\"C:\\uninst.exe\" /x");
}

// A folder named by a registry value, holding `files`.
void Folder(const ovtest::ScratchDir& scratch, const std::wstring& key, const std::wstring& value,
            std::initializer_list<const wchar_t*> files) {
    static int counter = 0;
    std::wstring folder = scratch / (L"f" + std::to_wstring(++counter));
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* file : files)
        ovtest::WriteFileBytes(folder + L"\\" + file, "x");
    SetRegString(HKEY_LOCAL_MACHINE, key, value, folder);
}

enum Component { kAV, kFW, kFWU };

std::unique_ptr<Product> Make(Component component) {
    if (component == kAV)
        return std::unique_ptr<Product>(new ProductAV);
    if (component == kFW)
        return std::unique_ptr<Product>(new ProductFW);
    return std::unique_ptr<Product>(new ProductFWU);
}

// The name under which the first conflicting product is offered for removal, and its process.
std::string FirstConflict(Product& product, std::string* process) {
    product.available = 1;
    product.conflictIndex = 0;
    wchar_t name[512], command[520], processName[MAX_PATH], executable[MAX_PATH];
    if (!product.NextConflictingProduct(name, 512, command, 520))
        return "";
    product.GetConflictProcessNames(processName, MAX_PATH, executable, MAX_PATH);
    *process = ovtest::Narrow(processName) + "/" + ovtest::Narrow(executable);
    return ovtest::Narrow(name);
}

TEST(Conflicts, RowsCountOnlyWhenTheirChecksHold) {
    const std::wstring zoneAlarm = L"SOFTWARE\\Zone Labs\\ZoneAlarm";
    const std::wstring avInstall = L"SOFTWARE\\Orvane\\Anti-Virus\\Install";
    const std::wstring avResident = L"SOFTWARE\\Orvane\\Anti-Virus\\Resident";
    const std::wstring firstFirewall = L"SOFTWARE\\Orvane\\Tarnel Nimbo Firewall";
    struct Case {
        const char* what;
        std::function<void(const ovtest::ScratchDir&)> arrange;
        Component component;
        const char* found;  // "" for none
        const char* process;
    } cases[] = {
        {"unified engine: the suite's firewall is a second antivirus",
         [](const ovtest::ScratchDir&) {
             Entry(L"Tarnel Suite Personal\\fw", L"Tarnel Personal Firewall");
             SetRegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zone Labs", L"IsUnified", 1);
         },
         kAV, "Tarnel Personal Firewall", "zauninst/zauninst.exe"},
        {"normal engine: it is not",
         [](const ovtest::ScratchDir&) {
             Entry(L"Tarnel Suite Personal\\fw", L"Tarnel Personal Firewall");
             SetRegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zone Labs", L"IsUnified", 0);
         },
         kAV, "", ""},
        {"the normal-mode firewall removes a unified installation",
         [](const ovtest::ScratchDir&) {
             Entry(L"Tarnel Suite Personal\\fw", L"Tarnel Personal Firewall");
             SetRegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zone Labs", L"IsUnified", 1);
         },
         kFW, "Tarnel Personal Firewall", "zauninst/zauninst.exe"},
        {"the unified firewall does not remove its own kind",
         [](const ovtest::ScratchDir&) {
             Entry(L"Tarnel Suite Personal\\fw", L"Tarnel Personal Firewall");
             SetRegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zone Labs", L"IsUnified", 1);
         },
         kFWU, "", ""},
        {"older 6.0 home folder still holds its program",
         [](const ovtest::ScratchDir& s) {
             Entry(L"Tarnel Nimbo Antivirus", L"Sanavo 6.0");
             Folder(s, L"SOFTWARE\\Orvane\\Sanavo\\6.0\\Path", L"HOME", {L"sanavoit.exe"});
         },
         kAV, "Sanavo 6.0", "/"},
        {"a stale 6.0 entry alone",
         [](const ovtest::ScratchDir& s) {
             Entry(L"Tarnel Nimbo Antivirus", L"Sanavo 6.0");
             Folder(s, L"SOFTWARE\\Orvane\\Sanavo\\6.0\\Path", L"HOME", {L"readme.txt"});
         },
         kAV, "", ""},
        {"a competitor with an uninstaller that hands over",
         [](const ovtest::ScratchDir&) { Entry(L"Kaspersky Anti-Virus Personal", L"KAV Personal"); }, kAV,
         "KAV Personal", "A~NSISu_/A~NSISu_.exe"},
        {"stand-alone engine",
         [&](const ovtest::ScratchDir& s) {
             Entry(L"ZoneAlarm", L"ZoneAlarm");
             Folder(s, zoneAlarm, L"InstallDirectory", {L"alert.zap"});
         },
         kFW, "ZoneAlarm", "zauninst/zauninst.exe"},
        {"the suite's own build of the engine",
         [&](const ovtest::ScratchDir& s) {
             Entry(L"ZoneAlarm", L"ZoneAlarm");
             Folder(s, zoneAlarm, L"InstallDirectory", {L"alert.zap", L"oeminfo.ini"});
         },
         kFW, "", ""},
        {"an entry whose folder is no engine's",
         [&](const ovtest::ScratchDir& s) {
             Entry(L"ZoneAlarm Pro", L"ZoneAlarm Pro");
             Folder(s, zoneAlarm, L"InstallDirectory", {L"other.exe"});
         },
         kFW, "", ""},
        {"the unified firewall also removes a stand-alone engine",
         [&](const ovtest::ScratchDir& s) {
             Entry(L"ZoneAlarm Pro", L"ZoneAlarm Pro");
             Folder(s, zoneAlarm, L"InstallDirectory", {L"alert.zap"});
         },
         kFWU, "ZoneAlarm Pro", "zauninst/zauninst.exe"},
        {"first firewall series",
         [&](const ovtest::ScratchDir& s) {
             Entry(L"Tarnel Nimbo Firewall", L"Tarnel Nimbo Firewall");
             Folder(s, firstFirewall, L"InstallDirectory", {L"kfpeadm.exe"});
         },
         kFW, "Tarnel Nimbo Firewall 1.x", "/"},
        {"a later series in the same place",
         [&](const ovtest::ScratchDir& s) {
             Entry(L"Tarnel Nimbo Firewall", L"Tarnel Nimbo Firewall");
             Folder(s, firstFirewall, L"InstallDirectory", {L"kfpeadm.exe", L"kfpe2.dat"});
         },
         kFW, "", ""},
        {"the suite's antivirus with its signatures, for the unified engine",
         [&](const ovtest::ScratchDir& s) {
             Entry(L"Tarnel Suite Personal\\av", L"Tarnel Nimbo Antivirus");
             Folder(s, avInstall, L"ProgramPath", {L"wexa.dat"});
         },
         kFWU, "Tarnel Nimbo Antivirus", "/"},
        {"signatures found through the older generation's folder",
         [&](const ovtest::ScratchDir& s) {
             Entry(L"Tarnel Nimbo Carapel\\Tarnel Nimbo Antivirus", L"Nimbo Antivirus");
             Folder(s, avResident, L"WexaPath", {L"wexa.dat"});
         },
         kFWU, "Nimbo Antivirus", "/"},
        {"the program folder decides, even without signatures",
         [&](const ovtest::ScratchDir& s) {
             Entry(L"Tarnel Suite Personal\\av", L"Tarnel Nimbo Antivirus");
             Folder(s, avInstall, L"ProgramPath", {L"ovav.exe"});
             Folder(s, avResident, L"WexaPath", {L"wexa.dat"});
         },
         kFWU, "", ""},
        {"the suite's antivirus is no conflict of the normal-mode firewall",
         [&](const ovtest::ScratchDir& s) {
             Entry(L"Tarnel Suite Personal\\av", L"Tarnel Nimbo Antivirus");
             Folder(s, avInstall, L"ProgramPath", {L"wexa.dat"});
         },
         kFW, "", ""},
        {"a competing antivirus for the unified engine",
         [](const ovtest::ScratchDir&) { Entry(L"NOD32", L"NOD32 Antivirus"); }, kFWU, "NOD32 Antivirus",
         "/"},
        {"but not for the normal-mode engine", [](const ovtest::ScratchDir&) { Entry(L"NOD32", L"NOD32"); },
         kFW, "", ""},
        {"configuration wizard of a competitor",
         [](const ovtest::ScratchDir& s) {
             Entry(L"SymSetup.{C6F5B6CF-609C-428E-876F-CA83176C021B}", L"Norton AntiVirus");
             Folder(s, L"SOFTWARE\\Symantec\\InstalledApps", L"NAV", {L"cfgwiz.exe"});
         },
         kFWU, "Norton AntiVirus", "/"},
    };
    for (const Case& c : cases) {
        RegistryOverride registry;
        ovtest::ScratchDir scratch;
        c.arrange(scratch);
        std::unique_ptr<Product> product = Make(c.component);
        std::string process;
        EXPECT_EQ(c.found, FirstConflict(*product, &process)) << c.what;
        EXPECT_EQ(c.process, process) << c.what;
    }
}

TEST(Conflicts, UnifiedListIsTheOtherTwoWithoutItsOwnInstallation) {
    ProductAV antivirus;
    ProductFW firewall;
    ProductFWU unified;
    ASSERT_EQ(41, antivirus.conflictCount);
    ASSERT_EQ(25, firewall.conflictCount);
    ASSERT_EQ(59, unified.conflictCount);
    std::vector<std::wstring> expected = {L"WEXAWIN32Vp5", L"Tarnel Nimbo Carapel\\Tarnel Nimbo Antivirus",
                                          L"Tarnel Suite Personal\\av"};
    for (int i = 0; i < 41; ++i) {
        if (i < 10 || i > 14)
            expected.push_back(antivirus.conflicts[i].uninstallKeyName);
    }
    for (int i = 0; i < 25; ++i) {
        if (i < 2 || i > 6)
            expected.push_back(firewall.conflicts[i].uninstallKeyName);
    }
    std::vector<std::wstring> actual;
    for (int i = 0; i < 59; ++i)
        actual.push_back(unified.conflicts[i].uninstallKeyName);
    EXPECT_EQ(expected, actual);
}

TEST(FirewallModes, IsUnifiedDecidesWhichComponentIsInstalled) {
    struct Case {
        const char* what;
        int isUnified;  // -1: no value
        bool normal;
        bool unified;
    } cases[] = {
        {"no value", -1, true, false},
        {"normal mode", 0, true, false},
        {"unified mode", 1, false, true},
        {"unknown mode", 2, true, false},
    };
    for (const Case& c : cases) {
        RegistryOverride registry;
        Entry(L"Tarnel Personal Firewall", L"OV Tarnel Personal Firewall");
        Entry(L"Tarnel Nimbo Carapel", L"OV Tarnel Nimbo Carapel");
        SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zone Labs\\ZoneAlarm", L"CurrentVersion", L"6.1.744.1");
        if (c.isUnified >= 0)
            SetRegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zone Labs", L"IsUnified",
                        static_cast<DWORD>(c.isUnified));
        ProductFW firewall;
        ProductFWU unified;
        wchar_t version[64];
        EXPECT_EQ(c.normal, firewall.IsInstalled(0) != 0) << c.what;
        firewall.GetInstalledVersion(version, 64);
        EXPECT_STREQ(c.normal ? L"6.1.744.1" : L"0", version) << c.what;
        EXPECT_EQ(c.unified, unified.IsInstalled(0) != 0) << c.what;
        unified.GetInstalledVersion(version, 64);
        EXPECT_STREQ(c.unified ? L"6.1.744.1" : L"0", version) << c.what;
        EXPECT_EQ(IsEngineUnified(nullptr, 0), c.isUnified == 1) << c.what;
    }
}

TEST(FirewallModes, OlderRegistrationsCountForAllGenerationsOnly) {
    RegistryOverride registry;
    Entry(L"Nimbo Firewall", L"Nimbo Firewall");
    ProductFW firewall;
    EXPECT_EQ(0, firewall.IsInstalled(0));
    EXPECT_EQ(1, firewall.IsInstalled(1));
    EXPECT_STREQ(L"\"C:\\uninst.exe\" /x", firewall.uninstallString);
}

}  // namespace
