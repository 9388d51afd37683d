// The anti-spam component on a redirected registry: where it finds the installed product, how it
// tells the suite's edition from the stand-alone one, its write-access probes, and the checks it
// shares with the anti-spyware component.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "choices.h"
#include "component_package.h"
#include "components/component_steps.h"
#include "components/components.h"
#include "components/product_main.h"
#include "components/third_party_ids.h"
#include "host/registry.h"
#include "host/text.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "setup/setup.h"
#include "support/log_capture.h"
#include "support/test_support.h"

using ovtest::LogCapture;
using ovtest::Narrow;
using ovtest::RegistryOverride;
using ovtest::ScratchDir;
using ovtest::SetRegString;

namespace {

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kZember = L"SOFTWARE\\Zember";
const std::wstring kSettings = L"SOFTWARE\\Orvane\\Tarnel Suite Personal\\as";

// Every key below `root`, as paths relative to it.
void CollectKeys(HKEY root, const std::wstring& path, std::set<std::wstring>* keys) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD chars = 256;
        if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        std::wstring child = path.empty() ? name : path + L"\\" + name;
        keys->insert(child);
        CollectKeys(root, child, keys);
    }
    RegCloseKey(key);
}

std::set<std::wstring> AllKeys(HKEY root) {
    std::set<std::wstring> keys;
    CollectKeys(root, L"", &keys);
    return keys;
}

std::wstring Text(int (Product::*getter)(wchar_t*, size_t), Product& product) {
    wchar_t buffer[MAX_PATH];
    (product.*getter)(buffer, MAX_PATH);
    return buffer;
}

std::wstring Folder(int (Product::*getter)(wchar_t*, size_t, int*), Product& product) {
    wchar_t buffer[MAX_PATH];
    int generation = -1;
    (product.*getter)(buffer, MAX_PATH, &generation);
    EXPECT_EQ(0, generation);
    return buffer;
}

TEST(AntiSpamIds, AgreeWithTheProduct) {
    const std::pair<const wchar_t*, const wchar_t*> pairs[] = {
        {OV_AS_PRODUCT_GUID, aspm::kAntiSpamProductGuid},
        {OV_AS_ENTRY_NAME, aspm::kAntiSpamUninstallKeyName},
        {OV_AS_ADDIN_CLASS_GUID, aspm::kAntiSpamAddInClassGuid},
        {OV_AS_ADDIN_PROGID, aspm::kAntiSpamAddInProgId},
        {OV_AS_SUITE_MARKER, aspm::kAntiSpamSuiteMarkerFile},
    };
    for (const auto& pair : pairs) {
        EXPECT_STREQ(pair.second, pair.first);
    }
    const std::pair<const wchar_t*, const wchar_t*> pages[] = {{L"home", aspm::kAntiSpamHomePageUrl},
                                                               {L"help", aspm::kAntiSpamHelpPageUrl}};
    for (const auto& page : pages) {
        wchar_t address[512];
        ASSERT_TRUE(TextFormat(address, 512, OV_AS_PAGE_ADDRESS, page.first, page.first));
        EXPECT_STREQ(page.second, address);
    }
    ProductAS product;
    EXPECT_EQ(kUninstall + aspm::kAntiSpamUninstallKeyName, product.uninstallKeyPath);
    EXPECT_EQ(kUninstall + L"Tarnel Suite Personal\\as", product.suiteUninstallKeyPath);
    EXPECT_EQ(kSettings, product.settingsKey);
}

// ---- where the installed product is ------------------------------------------------------------

TEST(AntiSpamInstalled, ReadsTheProductsKeyAndFallsBackToTheSuiteSettingsAfterInstall) {
    struct Case {
        const char* name;
        int role;
        const wchar_t* registeredUnder;  // Uninstall entry with an "UninstallString", or null
        bool zemberValues;
        const wchar_t* version;
        const wchar_t* path;
        const wchar_t* files;
        const wchar_t* group;
    } cases[] = {
        {"own entry", kRoleInstall, OV_AS_ENTRY_NAME, true, L"3.1.4.1592", L"C:\\Tarnel\\Anti-Spam",
         L"C:\\Tarnel\\Anti-Spam\\ZSP-3.1.4.1592", L"Suite\\Anti-Spam"},
        {"older generation's entry", kRoleUninstall, L"Tarnel Nimbo Carapel\\Tarnel Nimbo Anti-Spam", true,
         L"3.1.4.1592", L"C:\\Tarnel\\Anti-Spam", L"C:\\Tarnel\\Anti-Spam\\ZSP-3.1.4.1592",
         L"Suite\\Anti-Spam"},
        {"not registered: no version", kRoleInstall, nullptr, true, L"0", L"C:\\Tarnel\\Anti-Spam",
         L"C:\\Tarnel\\Anti-Spam\\ZSP-3.1.4.1592", L"Suite\\Anti-Spam"},
        {"product's key gone, install role", kRoleInstall, OV_AS_ENTRY_NAME, false, L"0", L"", L"", L""},
        {"product's key gone, uninstall role", kRoleUninstall, OV_AS_ENTRY_NAME, false, L"0",
         L"C:\\Saved\\Path", L"C:\\Saved\\Files", L"Saved Group"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryOverride registry;
        SetupOptions::Get().Reset();
        Setup::Create(c.role);
        if (c.registeredUnder != nullptr) {
            SetRegString(HKEY_LOCAL_MACHINE, kUninstall + c.registeredUnder, L"UninstallString", L"x.exe");
        }
        if (c.zemberValues) {
            SetRegString(HKEY_LOCAL_MACHINE, kZember, L"ReleaseVersion", L"3.1.4.1592");
            SetRegString(HKEY_LOCAL_MACHINE, kZember, L"AppInstallPath", L"C:\\Tarnel\\Anti-Spam\\ ");
            SetRegString(HKEY_LOCAL_MACHINE, kZember, L"ReleasePath",
                         L"C:\\Tarnel\\Anti-Spam\\ZSP-3.1.4.1592\\");
            SetRegString(HKEY_LOCAL_MACHINE, kZember, L"ProgramGroup", L"Suite\\Anti-Spam");
        }
        SetRegString(HKEY_LOCAL_MACHINE, kSettings, L"Path", L"C:\\Saved\\Path\\");
        SetRegString(HKEY_LOCAL_MACHINE, kSettings, L"Files", L"C:\\Saved\\Files");
        SetRegString(HKEY_LOCAL_MACHINE, kSettings, L"Group", L"Saved Group");
        ProductAS product;
        EXPECT_EQ(Narrow(c.version), Narrow(Text(&Product::GetInstalledVersion, product)));
        EXPECT_EQ(Narrow(c.path), Narrow(Folder(&Product::GetInstalledPath, product)));
        EXPECT_EQ(Narrow(c.files), Narrow(Folder(&Product::GetInstalledFilesPath, product)));
        EXPECT_EQ(Narrow(c.group), Narrow(Text(&Product::GetInstalledGroup, product)));
        Setup::Destroy();
    }
}

TEST(AntiSpamEdition, OnlyAnUpdaterWithoutTheSuiteMarkerIsTheStandaloneEdition) {
    struct Case {
        const char* name;
        bool releasePath;
        bool updater;
        bool marker;
        const wchar_t* trailing;
        int standalone;
    } cases[] = {
        {"nothing installed", false, false, false, L"", 0},
        {"release folder without updater", true, false, false, L"", 0},
        {"stand-alone edition", true, true, false, L"", 1},
        {"stand-alone edition, folder with backslash", true, true, false, L"\\", 1},
        {"suite edition", true, true, true, L"", 0},
        {"marker alone", true, false, true, L"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryOverride registry;
        ScratchDir release;
        if (c.releasePath) {
            SetRegString(HKEY_LOCAL_MACHINE, kZember, L"ReleasePath", release.path() + c.trailing);
        }
        if (c.updater) {
            ovtest::WriteFileBytes(release / L"z-update.exe", "MZ");
        }
        if (c.marker) {
            ovtest::WriteFileBytes(release / aspm::kAntiSpamSuiteMarkerFile, "suite");
        }
        EXPECT_EQ(c.standalone, IsStandaloneAntiSpam(nullptr, 0));
        // The conflict row applies the same test to the product's Uninstall entry.
        SetRegString(HKEY_LOCAL_MACHINE, kUninstall + OV_AS_ENTRY_NAME, L"DisplayName", L"Tarnel Anti-Spam");
        SetRegString(HKEY_LOCAL_MACHINE, kUninstall + OV_AS_ENTRY_NAME, L"UninstallString", L"z-update.exe");
        ProductAS product;
        wchar_t name[64];
        wchar_t command[64];
        EXPECT_EQ(c.standalone, product.NextConflictingProduct(name, 64, command, 64));
    }
}

// ---- write access ------------------------------------------------------------------------------

TEST(AntiSpamPermissions, ProbesLeaveTheRegistryAsTheyFoundIt) {
    struct Case {
        const char* name;
        int role;
        bool shellInstalled;
        bool productInstalled;
    } cases[] = {
        {"fresh machine, install", kRoleInstall, false, false},
        {"suite installed, install", kRoleInstall, true, false},
        {"everything installed, uninstall", kRoleUninstall, true, true},
        {"nothing installed, cleanup", kRoleCleanup, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryOverride registry;
        SetupOptions::Get().Reset();
        Setup::Create(c.role);
        // Keys every Windows has.
        for (const wchar_t* key : {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"}) {
            RegCreateKeyPath(HKEY_LOCAL_MACHINE, key);
        }
        if (c.shellInstalled) {
            SetRegString(HKEY_LOCAL_MACHINE, kUninstall + L"Tarnel Suite Personal", L"UninstallString",
                         L"u.exe");
        }
        if (c.productInstalled) {
            SetRegString(HKEY_LOCAL_MACHINE, kZember, L"ReleaseVersion", L"3.1.4.1592");
            SetRegString(HKEY_LOCAL_MACHINE, kUninstall + L"Tarnel Suite Personal\\as", L"UninstallString",
                         L"u.exe");
        }
        std::set<std::wstring> before = AllKeys(registry.hklm());
        LogCapture log;
        ProductAS product;
        product.available = 1;
        wchar_t buffer[MAX_PATH] = L"stale";
        EXPECT_EQ(0, product.CheckRegistryPermissions(buffer, MAX_PATH));
        EXPECT_STREQ(L"", buffer);
        EXPECT_FALSE(log.HasReport(25015));
        EXPECT_TRUE(before == AllKeys(registry.hklm())) << "a probe left a key behind or took one away";
        Setup::Destroy();
    }
}

TEST(AntiSpamPermissions, TheFirstUnwritableKeyInProbeOrderIsNamed) {
    RegistryOverride registry;
    SetupOptions::Get().Reset();
    Setup::Create(kRoleInstall);
    ovtest::LockedKey outlook(HKEY_LOCAL_MACHINE,
                              L"SOFTWARE\\Microsoft\\Office\\Outlook\\Addins\\Zember.ZAddIn");
    ovtest::LockedKey progId(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Zember.ZAddIn");
    ASSERT_TRUE(outlook.ok() && progId.ok());
    LogCapture log;
    ProductAS product;
    product.available = 1;
    wchar_t buffer[MAX_PATH];
    EXPECT_EQ(ErrorRegistryPermission, product.CheckRegistryPermissions(buffer, MAX_PATH));
    EXPECT_STREQ(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Zember.ZAddIn", buffer);
    EXPECT_EQ(2u, log.Count("(25015)")) << "every unwritable key is reported";
    Setup::Destroy();
}

TEST(AntiSpamPermissions, UnavailableProductProbesNothing) {
    RegistryOverride registry;
    LogCapture log;
    ProductAS product;
    wchar_t buffer[MAX_PATH] = L"stale";
    EXPECT_EQ(0, product.CheckRegistryPermissions(buffer, MAX_PATH));
    EXPECT_EQ(0, product.CheckDirectoryPermissions(buffer, MAX_PATH));
    EXPECT_STREQ(L"", buffer);
    EXPECT_TRUE(AllKeys(registry.hklm()).empty());
    EXPECT_EQ(0, product.CheckRegistryPermissions(nullptr, 0));
    EXPECT_TRUE(log.Has("ProductAS::CheckRegistryPermissions"));
}

// ---- the checks both components share ------------------------------------------------------------

TEST(AntiSpamPrerequisites, TheSystemsLibrariesAreRecentEnough) {
    ProductAS product;
    product.available = 1;
    wchar_t buffer[MAX_PATH] = L"stale";
    EXPECT_EQ(0, product.CheckPrerequisites(buffer, MAX_PATH));
    EXPECT_STREQ(L"", buffer);
}

// Run once per Windows version (OV_WINVER): Windows NT before 4.0 and Windows 95 are refused by
// both components, every later Windows passes.
TEST(OldWindows, AreRefusedByBothComponents) {
    wchar_t version[32] = {};
    GetEnvironmentVariableW(L"OV_WINVER", version, 32);
    struct Expected {
        const wchar_t* winver;
        int code;
        const wchar_t* text;
    } table[] = {
        {L"win95", ErrorOperatingSystem, L"Windows 95"},
        {L"nt351", ErrorOperatingSystem, L"Windows NT 3.51"},
        {L"nt40", 0, L""},
        {L"win98", 0, L""},
        {L"winme", 0, L""},
        {L"", 0, L""},
    };
    const Expected* expected = nullptr;
    for (const Expected& row : table) {
        if (wcscmp(row.winver, version) == 0) {
            expected = &row;
        }
    }
    ASSERT_NE(nullptr, expected) << "no expectation for " << Narrow(version);
    ProductAS antiSpam;
    ProductPM antiSpyware;
    for (Product* product : {static_cast<Product*>(&antiSpam), static_cast<Product*>(&antiSpyware)}) {
        LogCapture log;
        wchar_t buffer[MAX_PATH] = L"stale";
        product->available = 0;
        EXPECT_EQ(0, product->CheckOperatingSystem(buffer, MAX_PATH)) << "unavailable: not checked";
        product->available = 1;
        EXPECT_EQ(expected->code, product->CheckOperatingSystem(buffer, MAX_PATH));
        EXPECT_EQ(Narrow(expected->text), Narrow(buffer));
        EXPECT_EQ(expected->code != 0, log.HasReport(25012));
        EXPECT_TRUE(log.HasReport(25509)) << "the system is described in the log";
        // Without a buffer the refusal is still made and reported.
        EXPECT_EQ(expected->code, product->CheckOperatingSystem(nullptr, 0));
    }
}

}  // namespace
