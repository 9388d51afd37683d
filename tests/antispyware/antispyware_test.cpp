// The anti-spyware component on a redirected registry: the packed product codes, where it finds
// the installed product, the hiding and restoring of its Windows Installer registration, the
// choice of its uninstall command and its write-access probes.
#include <gtest/gtest.h>

#include <string>

#include "choices.h"
#include "component_package.h"
#include "components/components.h"
#include "components/packed_product_code.h"
#include "components/product_main.h"
#include "components/third_party_ids.h"
#include "host/registry.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "setup/setup.h"
#include "support/log_capture.h"
#include "support/test_support.h"

using ovtest::Narrow;
using ovtest::RegistryOverride;
using ovtest::SetRegDword;
using ovtest::SetRegString;

namespace {

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kEntry = kUninstall + OV_PM_CODE_B;
const std::wstring kSuiteEntry = kUninstall + L"Tarnel Suite Personal\\pm";
const std::wstring kProducts = L"SOFTWARE\\Classes\\Installer\\Products\\";
const std::wstring kProductA = kProducts + aspm::kPellmarPackedCodeA;
const std::wstring kProductB = kProducts + aspm::kPellmarPackedCodeB;
const std::wstring kPellmarKey = L"SOFTWARE\\Orvane\\TarnelPellmar";

// A component with the display name its package would give it.
class NamedPM : public ProductPM {
  public:
    NamedPM() { TextCopy(displayName, kMessageChars, L"Tarnel Pellmar"); }
};

std::wstring Text(const std::wstring& key, const wchar_t* name) {
    std::wstring value;
    return ovtest::GetRegString(HKEY_LOCAL_MACHINE, key, name, &value) ? value : L"<none>";
}

bool KeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

DWORD Dword(const std::wstring& key, const wchar_t* name) {
    DWORD value = 0xFFFFFFFF, size = sizeof(value);
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) == ERROR_SUCCESS) {
        RegQueryValueExW(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(handle);
    }
    return value;
}

// ---- codes ---------------------------------------------------------------------------------------

TEST(PackedProductCode, WorkedExamples) {
    struct Case {
        const wchar_t* code;
        const wchar_t* packed;
    } cases[] = {
        {aspm::kPellmarProductCodeA, aspm::kPellmarPackedCodeA},
        {aspm::kPellmarProductCodeB, aspm::kPellmarPackedCodeB},
        {aspm::kPellmarPackageCodeB, aspm::kPellmarPackedPackageCodeB},
        {L"{01234567-89AB-CDEF-0123-456789ABCDEF}", L"76543210BA98FEDC1032547698BADCFE"},
        {L"{f860a729-9bff-416d-a1d7-c37cb6bf74fe}", aspm::kPellmarPackedCodeB},
        // Not product codes.
        {L"F860A729-9BFF-416D-A1D7-C37CB6BF74FE", L""},
        {L"{F860A729-9BFF-416D-A1D7-C37CB6BF74FE", L""},
        {L"{F860A729-9BFF-416D-A1D7-C37CB6BF74FEE}", L""},
        {L"{F860A729+9BFF-416D-A1D7-C37CB6BF74FE}", L""},
        {L"{F860A729-9BFF-416D-A1D7-C37CB6BF74FG}", L""},
        {L"", L""},
    };
    for (const Case& c : cases) {
        wchar_t packed[33] = L"stale";
        EXPECT_EQ(c.packed[0] != L'\0', PackProductCode(c.code, packed, 33)) << Narrow(c.code);
        EXPECT_STREQ(c.packed, packed) << Narrow(c.code);
    }
    wchar_t small[32] = L"stale";
    EXPECT_FALSE(PackProductCode(aspm::kPellmarProductCodeB, small, 32)) << "no room for the terminator";
    EXPECT_STREQ(L"", small);
    EXPECT_FALSE(PackProductCode(nullptr, small, 32));
}

TEST(AntiSpywareIds, AgreeWithTheProduct) {
    const std::pair<const wchar_t*, const wchar_t*> pairs[] = {
        {OV_PM_CODE_A, aspm::kPellmarProductCodeA},
        {OV_PM_CODE_B, aspm::kPellmarProductCodeB},
        {OV_PM_CONTROL_CLASS_GUID, aspm::kPellmarControlClassGuid},
        {OV_PM_APPLICATION_CLASS_GUID, aspm::kPellmarApplicationClassGuid},
        {OV_PM_CONTROL_INTERFACE_GUID, aspm::kPellmarControlInterfaceGuid},
        {OV_PM_APPLICATION_INTERFACE_GUID, aspm::kPellmarApplicationInterfaceGuid},
        {OV_PM_OLD_MSI_ENTRY, aspm::kPellmarConflictMsiKeyName},
        {OV_PM_OLD_INSTALLSHIELD_ENTRY, aspm::kPellmarConflictInstallShieldKeyName},
    };
    for (const auto& pair : pairs) {
        EXPECT_STREQ(pair.second, pair.first);
    }
    ProductPM product;
    EXPECT_STREQ(aspm::kPellmarPackedCodeA, product.packedCodes[0]);
    EXPECT_STREQ(aspm::kPellmarPackedCodeB, product.packedCodes[1]);
    EXPECT_EQ(kEntry, product.uninstallKeyPath);
    EXPECT_EQ(kSuiteEntry, product.suiteUninstallKeyPath);
}

// ---- where the installed product is ------------------------------------------------------------

TEST(AntiSpywareInstalled, VersionFromItsEntryFoldersFromItsKeyOrTheSuiteSettings) {
    struct Case {
        const char* name;
        int role;
        bool registered;
        bool productKey;
        const wchar_t* version;
        const wchar_t* path;
        const wchar_t* group;
    } cases[] = {
        {"installed", kRoleInstall, true, true, L"5.2.0.1047", L"C:\\Tarnel\\Pellmar", L"Suite\\Pellmar"},
        {"not registered", kRoleInstall, false, true, L"0", L"C:\\Tarnel\\Pellmar", L"Suite\\Pellmar"},
        {"product's key gone, install role", kRoleInstall, true, false, L"5.2.0.1047", L"", L""},
        {"product's key gone, uninstall role", kRoleUninstall, true, false, L"5.2.0.1047",
         L"C:\\Saved\\Files", L"Saved Group"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryOverride registry;
        SetupOptions::Get().Reset();
        Setup::Create(c.role);
        SetRegString(HKEY_LOCAL_MACHINE, kEntry, L"DisplayVersion", L"5.2.0.1047");
        if (c.registered) {
            SetRegString(HKEY_LOCAL_MACHINE, kSuiteEntry, L"UninstallString", L"ovuninst.exe /u");
        }
        if (c.productKey) {
            SetRegString(HKEY_LOCAL_MACHINE, kPellmarKey, L"InstallPath", L"C:\\Tarnel\\Pellmar\\");
            SetRegString(HKEY_LOCAL_MACHINE, kPellmarKey, L"ProgramGroup", L"Suite\\Pellmar");
        }
        SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Tarnel Suite Personal\\pm", L"Files",
                     L"C:\\Saved\\Files");
        SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Tarnel Suite Personal\\pm", L"Group",
                     L"Saved Group");
        ProductPM product;
        wchar_t text[MAX_PATH];
        product.GetInstalledVersion(text, MAX_PATH);
        EXPECT_EQ(Narrow(c.version), Narrow(text));
        product.GetInstalledFilesPath(text, MAX_PATH, nullptr);
        EXPECT_EQ(Narrow(c.path), Narrow(text));
        product.GetInstalledPath(text, MAX_PATH, nullptr);
        EXPECT_EQ(Narrow(c.path), Narrow(text)) << "the files folder is the installation folder";
        product.GetInstalledGroup(text, MAX_PATH);
        EXPECT_EQ(Narrow(c.group), Narrow(text));
        Setup::Destroy();
    }
}

// ---- the Windows Installer registration --------------------------------------------------------

TEST(AntiSpywareRegistration, RestoredNamesOnlyForRegisteredCodesAndHiddenAgain) {
    struct Case {
        const char* name;
        bool registeredA;
        bool registeredB;
    } cases[] = {
        {"current product only", false, true},
        {"both generations", true, true},
        {"neither", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryOverride registry;
        SetRegDword(HKEY_LOCAL_MACHINE, kEntry, L"WindowsInstaller", 1);
        if (c.registeredA) {
            SetRegString(HKEY_LOCAL_MACHINE, kProductA, L"PackageCode", L"00112233445566778899AABBCCDDEEFF");
        }
        if (c.registeredB) {
            SetRegString(HKEY_LOCAL_MACHINE, kProductB, L"PackageCode", aspm::kPellmarPackedPackageCodeB);
            SetRegString(HKEY_LOCAL_MACHINE, kProductB, L"ProductName", L"Tarnel Pellmar");
        }
        NamedPM product;
        product.HideRegistration();
        EXPECT_EQ(0u, Dword(kEntry, L"WindowsInstaller"));
        EXPECT_EQ(L"<none>", Text(kProductA, L"ProductName"));
        EXPECT_EQ(L"<none>", Text(kProductB, L"ProductName"));

        product.RestoreRegistration();
        EXPECT_EQ(1u, Dword(kEntry, L"WindowsInstaller"));
        EXPECT_EQ(c.registeredA ? L"OV Tarnel Pellmar" : L"<none>", Text(kProductA, L"ProductName"));
        EXPECT_EQ(c.registeredB ? L"OV Tarnel Pellmar" : L"<none>", Text(kProductB, L"ProductName"));
        EXPECT_EQ(c.registeredA, KeyExists(kProductA)) << "an unregistered code gets no product key";
        EXPECT_EQ(c.registeredB, KeyExists(kProductB));

        product.HideRegistration();
        EXPECT_EQ(0u, Dword(kEntry, L"WindowsInstaller"));
        EXPECT_EQ(L"<none>", Text(kProductA, L"ProductName"));
        EXPECT_EQ(L"<none>", Text(kProductB, L"ProductName"));
        EXPECT_EQ(c.registeredB, KeyExists(kProductB));
    }
}

TEST(AntiSpywareRegistration, UninstallDeletesTheNamesEvenWhenNotActive) {
    RegistryOverride registry;
    SetupOptions::Get().Reset();
    Setup::Create(kRoleUninstall);
    // Code A holds nothing but the name the suite gave it; code B is still known to Windows Installer.
    SetRegString(HKEY_LOCAL_MACHINE, kProductA, L"ProductName", L"OV Tarnel Pellmar");
    SetRegString(HKEY_LOCAL_MACHINE, kProductB, L"ProductName", L"OV Tarnel Pellmar");
    SetRegString(HKEY_LOCAL_MACHINE, kProductB, L"PackageCode", aspm::kPellmarPackedPackageCodeB);
    NamedPM product;
    EXPECT_EQ(0, product.Uninstall());
    EXPECT_FALSE(KeyExists(kProductA)) << "a product key left empty goes";
    EXPECT_EQ(L"<none>", Text(kProductB, L"ProductName"));
    EXPECT_EQ(aspm::kPellmarPackedPackageCodeB, Text(kProductB, L"PackageCode"));
    Setup::Destroy();
}

// ---- the uninstall command -----------------------------------------------------------------------

TEST(AntiSpywareUninstall, RunsTheProductsCommandWithAReducedInterface) {
    ovtest::StandinRecords records;
    const std::wstring msiexec = L"\"" + ovtest::BinDir() + L"\\standins\\antispyware\\msiexec.exe\"";
    const std::wstring remove = msiexec + L" /X" OV_PM_CODE_B;
    const std::wstring modify = msiexec + L" /I" OV_PM_CODE_B;
    struct Case {
        const char* name;
        std::wstring ownProduct;    // "UninstallProduct" of the product's entry
        std::wstring suiteProduct;  // ... of the suite's sub entry
        std::wstring modifyPath;    // "ModifyPath" of the product's entry
        int expected;
        std::wstring ran;  // the command line the program received, empty when none ran
    } cases[] = {
        {"own entry first", remove, modify, modify, ErrorStillInstalled, remove + L" /qr"},
        {"the suite's sub entry next", L"", remove, modify, ErrorStillInstalled, remove + L" /qr"},
        {"Windows Installer's maintenance command last", L"", L"", modify, ErrorStillInstalled,
         modify + L" /qr"},
        {"no command", L"", L"", L"", ErrorUninstallCommandLine, L""},
        {"too long with the switch", msiexec + L" " + std::wstring(515 - msiexec.size(), L'x'), L"", L"",
         ErrorUninstallCommandLine, L""},
        {"not started", L"C:\\nowhere\\msiexec.exe /X", L"", L"", ErrorProcessStart, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryOverride registry;
        records.Clear();
        SetupOptions::Get().Reset();
        Setup::Create(kRoleUninstall);
        // Still registered afterwards: our msiexec works on the real registry, not this one.
        SetRegString(HKEY_LOCAL_MACHINE, kEntry, L"DisplayVersion", L"5.2.0.1047");
        SetRegString(HKEY_LOCAL_MACHINE, kEntry, L"UninstallString", L"ovuninst.exe /u");
        const std::pair<std::wstring, std::pair<std::wstring, const wchar_t*>> values[] = {
            {c.ownProduct, {kEntry, L"UninstallProduct"}},
            {c.suiteProduct, {kSuiteEntry, L"UninstallProduct"}},
            {c.modifyPath, {kEntry, L"ModifyPath"}},
        };
        for (const auto& value : values) {
            if (!value.first.empty()) {
                SetRegString(HKEY_LOCAL_MACHINE, value.second.first, value.second.second, value.first);
            }
        }
        NamedPM product;
        product.active = 1;
        EXPECT_EQ(c.expected, product.Uninstall());
        std::vector<ovtest::Record> runs = records.Read(L"msiexec");
        if (c.ran.empty()) {
            EXPECT_TRUE(runs.empty());
        } else {
            ASSERT_EQ(1u, runs.size());
            EXPECT_EQ(Narrow(c.ran), runs[0]["command line"]);
            EXPECT_EQ("/qr", runs[0]["ui"]);
        }
        Setup::Destroy();
    }
}

// ---- write access ------------------------------------------------------------------------------

TEST(AntiSpywarePermissions, ProbesLeaveTheRegistryAsTheyFoundIt) {
    for (bool registeredA : {false, true}) {
        for (int role : {kRoleInstall, kRoleUninstall}) {
            SCOPED_TRACE(registeredA ? "code A registered" : "code A unknown");
            SCOPED_TRACE(role);
            RegistryOverride registry;
            SetupOptions::Get().Reset();
            Setup::Create(role);
            ProductMain::Get().SetShellNeeded(role == kRoleUninstall);
            RegCreateKeyPath(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
            if (registeredA) {
                SetRegString(HKEY_LOCAL_MACHINE, kProductA, L"PackageCode",
                             L"00112233445566778899AABBCCDDEEFF");
            }
            ovtest::LogCapture log;
            ProductPM product;
            product.available = 1;
            wchar_t buffer[MAX_PATH] = L"stale";
            EXPECT_EQ(0, product.CheckRegistryPermissions(buffer, MAX_PATH));
            EXPECT_STREQ(L"", buffer);
            EXPECT_FALSE(log.HasReport(25015));
            for (const std::wstring& key :
                 {std::wstring(L"SOFTWARE\\Orvane"), std::wstring(L"SOFTWARE\\Classes\\CLSID"),
                  std::wstring(L"SOFTWARE\\Classes\\Interface"), std::wstring(L"SOFTWARE\\Classes\\pmctl"),
                  std::wstring(L"SOFTWARE\\Classes\\TarnelPellmar"), kProductB,
                  std::wstring(L"SOFTWARE\\Classes\\Installer\\Features"), kEntry,
                  kUninstall + L"Tarnel Suite Personal"}) {
                EXPECT_FALSE(KeyExists(key)) << Narrow(key) << " was left behind";
            }
            EXPECT_EQ(registeredA, KeyExists(kProductA));
            if (registeredA) {
                EXPECT_FALSE(KeyExists(kProductA + L"\\SourceList"));
            }
            ProductMain::Get().SetShellNeeded(0);
            Setup::Destroy();
        }
    }
}

TEST(AntiSpywarePermissions, TheEarlierGenerationsKeysOnlyWhileWindowsInstallerKnowsIt) {
    const std::wstring featuresA =
        std::wstring(L"SOFTWARE\\Classes\\Installer\\Features\\") + aspm::kPellmarPackedCodeA;
    for (bool registeredA : {false, true}) {
        SCOPED_TRACE(registeredA ? "code A registered" : "code A unknown");
        RegistryOverride registry;
        SetupOptions::Get().Reset();
        Setup::Create(kRoleInstall);
        if (registeredA) {
            SetRegString(HKEY_LOCAL_MACHINE, kProductA, L"PackageCode", L"00112233445566778899AABBCCDDEEFF");
        }
        // Probed later in any case: the earlier generation's key comes first when it is probed.
        ovtest::LockedKey pmctl(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\pmctl");
        ovtest::LockedKey features(HKEY_LOCAL_MACHINE, featuresA);
        ASSERT_TRUE(pmctl.ok() && features.ok());
        ovtest::LogCapture log;
        ProductPM product;
        product.available = 1;
        wchar_t buffer[MAX_PATH];
        EXPECT_EQ(ErrorRegistryPermission, product.CheckRegistryPermissions(buffer, MAX_PATH));
        EXPECT_EQ(Narrow(L"HKEY_LOCAL_MACHINE\\" + (registeredA ? featuresA : L"SOFTWARE\\Classes\\pmctl")),
                  Narrow(buffer));
        Setup::Destroy();
    }
}

}  // namespace
