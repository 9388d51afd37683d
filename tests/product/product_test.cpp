// The behaviour every component shares: installed detection, the check sequence, conflicting
// products, uninstall registration and the guarded folder deletion. The registry is redirected to a
// scratch key, so each case arranges exactly the entries it needs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/component_stub.h"
#include "components/components.h"
#include "components/product_main.h"
#include "host/files.h"
#include "host/registry.h"
#include "host/system.h"
#include "product/product.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "setup/setup.h"
#include "support/log_capture.h"
#include "support/test_support.h"

using ovtest::GetRegString;
using ovtest::LogCapture;
using ovtest::RegistryOverride;
using ovtest::SetRegString;

namespace {

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

const wchar_t* const kKeyNames[] = {L"Test Product", L"Tarnel Suite Personal\\tp", L"Old Test Product",
                                    L"Older Test Product"};

int RefuseAll(wchar_t*, size_t) {
    return 0;
}
int AcceptAll(wchar_t*, size_t) {
    return 1;
}

const ConflictingProduct kConflicts[] = {
    {L"Rival One", nullptr, nullptr, nullptr},
    {L"Rival Two", nullptr, nullptr, RefuseAll},
    {L"Rival Three", nullptr, nullptr, AcceptAll},
};

// A component with the tables a test needs; its checks answer from a script and note their order.
class TestProduct : public ComponentStub {
  public:
    TestProduct() : ComponentStub(150, L"tp", kKeyNames, 4) {
        TextCopy(displayName, kMessageChars, L"Test Product");
        conflicts = kConflicts;
        conflictCount = 3;
    }
    struct Scripted {
        int code = 0;
        std::wstring text;
    };
    Scripted os, prerequisites, registry, folders, sessions;
    int versionCode = 0;
    bool conflictsRun = false;
    std::vector<std::string> calls;

    int Answer(const char* name, const Scripted& s, wchar_t* buffer, size_t chars) {
        calls.push_back(name);
        TextCopy(buffer, chars, s.text.c_str());
        return s.code;
    }
    int CheckOperatingSystem(wchar_t* b, size_t c) override { return Answer("os", os, b, c); }
    int CheckPrerequisites(wchar_t* b, size_t c) override {
        return Answer("prerequisites", prerequisites, b, c);
    }
    int CheckRegistryPermissions(wchar_t* b, size_t c) override { return Answer("registry", registry, b, c); }
    int CheckDirectoryPermissions(wchar_t* b, size_t c) override { return Answer("folders", folders, b, c); }
    int CheckOtherSessions(wchar_t* b, size_t c) override { return Answer("sessions", sessions, b, c); }
    int CheckVersion() override {
        calls.push_back("version");
        return versionCode;
    }
};

void Register(const std::wstring& name, const wchar_t* displayName, const wchar_t* uninstallString) {
    if (displayName != nullptr) {
        SetRegString(HKEY_LOCAL_MACHINE, kUninstall + name, L"DisplayName", displayName);
    }
    if (uninstallString != nullptr) {
        SetRegString(HKEY_LOCAL_MACHINE, kUninstall + name, L"UninstallString", uninstallString);
    }
}

bool KeyExists(const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(h);
    return true;
}

std::wstring Value(const std::wstring& key, const wchar_t* name) {
    std::wstring value;
    return GetRegString(HKEY_LOCAL_MACHINE, key, name, &value) ? value : L"<none>";
}

// A role object for the run, the options as a fresh process has them, and the suite shell out of
// the run (nothing installed, not needed).
class ProductTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetupOptions::Get().Reset();
        Setup::Create(kRoleInstall);
        ProductMain::Get().SetShellNeeded(0);
    }
    void TearDown() override {
        Setup::Destroy();
        SetupOptions::Get().Reset();
    }
    void UseRole(int role) { Setup::Create(role); }

    RegistryOverride registry_;
    LogCapture log_;
};

// ---- installed detection ---------------------------------------------------------------------

TEST_F(ProductTest, InstalledThroughCurrentAndOlderGenerations) {
    struct Case {
        const char* what;
        int entry;  // -1: nothing registered
        const wchar_t* displayName;
        const wchar_t* uninstallString;
        int current;
        int any;
    } cases[] = {
        {"nothing registered", -1, nullptr, nullptr, 0, 0},
        {"own entry", 0, L"Test", L"\"C:\\x\\un.exe\" /u", 1, 1},
        {"entry below the suite", 1, L"Test", L"un.exe", 1, 1},
        {"older generation only", 2, L"Old", L"old.exe", 0, 1},
        {"oldest generation only", 3, L"Older", L"older.exe", 0, 1},
        {"name without command", 0, L"Test", nullptr, 0, 0},
        {"empty command", 0, L"Test", L"", 0, 0},
    };
    for (const Case& c : cases) {
        RegistryOverride fresh;
        if (c.entry >= 0) {
            Register(kKeyNames[c.entry], c.displayName, c.uninstallString);
        }
        TestProduct product;
        EXPECT_EQ(c.current, product.IsInstalled(0)) << c.what;
        EXPECT_EQ(c.any, product.IsInstalled(1)) << c.what;
        std::wstring expected = c.any ? c.uninstallString : L"";
        EXPECT_EQ(expected, product.uninstallString) << c.what;
    }
}

TEST_F(ProductTest, UninstallEntryLookupForConflicts) {
    Register(L"Rival One", L"Rival One 1.0", nullptr);  // a name alone still counts
    Register(L"Rival Two", L"Rival Two", L"two.exe");   // its check refuses it
    Register(L"Rival Three", L"Rival Three", L"three.exe");
    TestProduct product;
    wchar_t name[64], command[64];
    EXPECT_EQ(1, product.FindUninstallEntry(L"Rival One", name, 64, command, 64, nullptr));
    EXPECT_STREQ(L"Rival One 1.0", name);
    EXPECT_STREQ(L"", command);
    EXPECT_EQ(0, product.FindUninstallEntry(L"Rival Two", name, 64, command, 64, RefuseAll));
    EXPECT_STREQ(L"", name);
    EXPECT_STREQ(L"", command);
    EXPECT_EQ(0, product.FindUninstallEntry(L"Nobody", name, 64, command, 64, nullptr));

    // The walk skips the refused row and names the rows in order.
    std::vector<std::wstring> found;
    product.conflictIndex = 0;
    while (product.NextConflictingProduct(name, 64, command, 64)) {
        found.push_back(name);
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Rival One 1.0", L"Rival Three"}), found);
}

// ---- the check sequence ----------------------------------------------------------------------

TEST_F(ProductTest, ChecksRunInOrderAndTheFirstFailureWins) {
    struct Case {
        const char* what;
        int role;
        int osCode, registryCode, sessionsCode, versionCode;
        int expected;
        const wchar_t* expectedText;
        std::vector<std::string> calls;
    } cases[] = {
        {"all pass",
         kRoleInstall,
         0,
         0,
         0,
         0,
         0,
         L"",
         {"os", "prerequisites", "version", "registry", "folders", "sessions"}},
        {"system and registry fail: the system's failure",
         kRoleInstall,
         9009,
         9011,
         0,
         0,
         9009,
         L"os text",
         {"os", "prerequisites", "version", "registry", "folders", "sessions"}},
        {"registry then sessions",
         kRoleInstall,
         0,
         9011,
         9007,
         0,
         9011,
         L"registry text",
         {"os", "prerequisites", "version", "registry", "folders", "sessions"}},
        {"newer installed",
         kRoleInstall,
         0,
         0,
         9007,
         9015,
         9015,
         L"",
         {"os", "prerequisites", "version", "registry", "folders", "sessions"}},
        {"uninstall runs permissions and sessions only",
         kRoleUninstall,
         9009,
         0,
         9007,
         9015,
         9007,
         L"sessions text",
         {"registry", "folders", "sessions"}},
    };
    for (const Case& c : cases) {
        UseRole(c.role);
        TestProduct product;
        product.available = 1;
        product.os = {c.osCode, L"os text"};
        product.registry = {c.registryCode, L"registry text"};
        product.sessions = {c.sessionsCode, L"sessions text"};
        product.versionCode = c.versionCode;
        wchar_t buffer[64];
        EXPECT_EQ(c.expected, product.CheckAll(buffer, 64)) << c.what;
        EXPECT_STREQ(c.expectedText, buffer) << c.what;
        EXPECT_EQ(c.calls, product.calls) << c.what;
    }
}

TEST_F(ProductTest, ConflictsAreRefusedUnattendedAndIgnoredWithoutTheCheck) {
    Register(L"Rival Three", L"Rival Three", L"three.exe");
    TestProduct product;
    product.available = 1;
    product.active = 1;
    wchar_t buffer[64];
    // The log capture runs at display level 0: nobody may be asked.
    EXPECT_EQ(ErrorConflictRemovalDeclined, product.RemoveConflictingProducts(buffer, 64));
    EXPECT_STREQ(L"Rival Three", buffer);
    EXPECT_TRUE(log_.HasReport(25022));
    EXPECT_FALSE(log_.HasReport(25513)) << "nothing was uninstalled";
    EXPECT_EQ(ErrorConflictRemovalDeclined, product.CheckAll(buffer, 64));

    SetupOptions::Get().productCheck = 0;
    EXPECT_EQ(0, product.RemoveConflictingProducts(buffer, 64));
    EXPECT_STREQ(L"", buffer);
}

TEST_F(ProductTest, PermissionChecksRunOnTheNtFamilyOnly) {
    TestProduct product;
    product.available = 1;
    product.registry = {ErrorRegistryPermission, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked"};
    product.folders = {ErrorDirectoryPermission, L"C:\\Locked"};
    wchar_t buffer[64];
    int code = product.CheckPermissions(buffer, 64);
    wchar_t shellBuffer[64];
    int shellCode = ProductMain::Get().CheckRegistryPermissions(shellBuffer, 64);
    if (IsWindows9x()) {
        EXPECT_EQ(0, code);
        EXPECT_TRUE(product.calls.empty()) << "no probe runs on the 9x family";
        EXPECT_EQ(0, shellCode);
        EXPECT_FALSE(KeyExists(L"SOFTWARE\\Orvane"));
    } else {
        EXPECT_EQ(ErrorRegistryPermission, code);
        EXPECT_STREQ(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked", buffer);
        EXPECT_EQ((std::vector<std::string>{"registry", "folders"}), product.calls);
    }
}

// ---- uninstall registration ------------------------------------------------------------------

TEST_F(ProductTest, RegistersStandAloneThenMovesUnderTheSuite) {
    const std::wstring own = kUninstall + L"Test Product";
    const std::wstring below = kUninstall + L"Tarnel Suite Personal\\tp";
    const std::wstring settings = L"SOFTWARE\\Orvane\\Tarnel Suite Personal\\tp";
    // The component's own setup registered itself first.
    Register(L"Test Product", L"Test Product (own setup)", L"C:\\tp\\uninst.exe");
    TestProduct product;
    product.active = 1;
    TextCopy(product.installDirectory, kPathChars, L"C:\\Program Files\\Tarnel\\Test");

    ASSERT_EQ(0, product.RegisterUninstall());
    EXPECT_EQ(L"OV Test Product", Value(own, L"DisplayName"));
    EXPECT_EQ(L"\"C:\\Program Files\\Tarnel\\Test\\ovuninst.exe\" /u", Value(own, L"UninstallString"));
    EXPECT_EQ(L"C:\\tp\\uninst.exe", Value(own, L"UninstallProduct"));
    EXPECT_EQ(L"C:\\Program Files\\Tarnel\\Test\\ovkestra.exe,-0", Value(own, L"DisplayIcon"));
    EXPECT_FALSE(KeyExists(below));
    EXPECT_EQ(L"C:\\Program Files\\Tarnel\\Test", Value(settings, L"Files"));

    // The suite arrives: the component now lives below the suite's entry.
    ProductMain::Get().SetShellNeeded(1);
    ASSERT_EQ(0, product.RegisterUninstall());
    EXPECT_EQ(L"Test Product", Value(below, L"DisplayName"));
    EXPECT_EQ(L"\"C:\\Program Files\\Tarnel\\Test\\ovuninst.exe\" /u", Value(below, L"UninstallString"));
    EXPECT_EQ(L"<none>", Value(own, L"DisplayName"));
    EXPECT_EQ(L"<none>", Value(own, L"UninstallString"));
    EXPECT_EQ(L"C:\\tp\\uninst.exe", Value(own, L"UninstallProduct")) << "other values of the old entry stay";
    EXPECT_EQ(L"<none>", Value(below, L"UninstallProduct"))
        << "our own uninstaller is never kept for reference";
}

TEST_F(ProductTest, WithoutUninstallInfoOnlyTheReferenceAndSettingsAreWritten) {
    Register(L"Test Product", nullptr, L"C:\\tp\\uninst.exe");
    SetupOptions::Get().uninstallInfo = 0;
    TestProduct product;
    product.active = 1;
    TextCopy(product.installDirectory, kPathChars, L"C:\\Test");
    ASSERT_EQ(0, product.RegisterUninstall());
    const std::wstring own = kUninstall + L"Test Product";
    EXPECT_EQ(L"<none>", Value(own, L"DisplayName"));
    EXPECT_EQ(L"<none>", Value(own, L"Publisher"));
    EXPECT_EQ(L"C:\\tp\\uninst.exe", Value(own, L"UninstallString")) << "the component's own stays";
    EXPECT_EQ(L"C:\\tp\\uninst.exe", Value(own, L"UninstallProduct"));
    EXPECT_EQ(L"C:\\Test", Value(L"SOFTWARE\\Orvane\\Tarnel Suite Personal\\tp", L"Files"));

    RegistryOverride empty;
    TestProduct unplaced;  // no files folder known
    unplaced.active = 1;
    EXPECT_EQ(ErrorInstalledFilesPath, unplaced.RegisterUninstall());
}

TEST_F(ProductTest, UninstallKeysOfOlderGenerationsGoButNeverTheUninstallKeyItself) {
    for (const wchar_t* name : kKeyNames) {
        Register(name, L"x", L"x.exe");
    }
    Register(L"Keep Me", L"x", L"x.exe");
    TestProduct product;
    product.RemoveUninstallKeys();  // install role: only older generations
    EXPECT_TRUE(KeyExists(kUninstall + kKeyNames[0]));
    EXPECT_TRUE(KeyExists(kUninstall + kKeyNames[1]));
    EXPECT_FALSE(KeyExists(kUninstall + kKeyNames[2]));
    EXPECT_FALSE(KeyExists(kUninstall + kKeyNames[3]));

    const wchar_t* const hostile[] = {L"", L"Old", L"\\", L"x", L"y"};
    TestProduct damaged;
    damaged.uninstallKeyNames = hostile;
    damaged.uninstallKeyCount = 5;
    UseRole(kRoleUninstall);
    damaged.RemoveUninstallKeys();
    EXPECT_TRUE(KeyExists(kUninstall + L"Keep Me"));

    UseRole(kRoleUninstall);
    product.RemoveUninstallKeys();
    EXPECT_FALSE(KeyExists(kUninstall + kKeyNames[0]));
    EXPECT_TRUE(KeyExists(kUninstall + L"Keep Me"));
}

TEST_F(ProductTest, TheSuiteEntryStaysWhileAComponentIsRegisteredBelowIt) {
    Register(L"Tarnel Suite Personal", L"Suite", L"s.exe");
    Register(L"Tarnel Suite Personal\\tp", L"Test", L"t.exe");
    UseRole(kRoleUninstall);
    ProductMain& shell = ProductMain::Get();
    shell.SetShellNeeded(1);
    shell.RemoveUninstallKeys();
    EXPECT_TRUE(KeyExists(kUninstall + L"Tarnel Suite Personal"));

    TestProduct product;
    product.RemoveUninstallKeys();
    shell.RemoveUninstallKeys();
    EXPECT_FALSE(KeyExists(kUninstall + L"Tarnel Suite Personal"));
}

// ---- the suite shell's registry ------------------------------------------------------------

TEST_F(ProductTest, ShellFindsTheOlderGenerationThroughItsOwnKey) {
    ProductMain& shell = ProductMain::Get();
    wchar_t path[kPathChars];
    int generation = -1;
    EXPECT_EQ(0, shell.GetInstalledFilesPath(path, kPathChars, &generation));
    SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Tarnel Nimbo Carapel", L"InstallDirectory",
                 L"C:\\Old Suite\\ ");
    EXPECT_EQ(1, shell.GetInstalledFilesPath(path, kPathChars, &generation));
    EXPECT_STREQ(L"C:\\Old Suite", path);
    EXPECT_EQ(0, generation);
    ovtest::SetRegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Tarnel Suite Personal", L"Generation", 2);
    SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Tarnel Suite Personal", L"Path", L"C:\\Suite\\");
    EXPECT_EQ(1, shell.GetInstalledPath(path, kPathChars, &generation));
    EXPECT_STREQ(L"C:\\Suite", path);
    EXPECT_EQ(2, generation);
}

TEST_F(ProductTest, ShellSettingsKeepWhatTheUserChanged) {
    ProductMain& shell = ProductMain::Get();
    TextCopy(shell.installDirectory, kPathChars, L"C:\\Suite");
    TextCopy(shell.programGroup, kPathChars, L"Tarnel Internet Security Suite");
    ASSERT_EQ(0, shell.WriteSettings());
    const std::wstring suite = L"SOFTWARE\\Orvane\\Tarnel Suite Personal";
    EXPECT_EQ(L"C:\\Suite", Value(suite, L"Path"));
    EXPECT_EQ(L"\"C:\\Suite\\ovkestradt.exe\"",
              Value(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"OvKestraDT"));
    EXPECT_EQ(L"Antivirus/GetSignature/autodownload.pl",
              Value(suite + L"\\Options\\Connection", L"ServerPath"));

    ovtest::SetRegDword(HKEY_LOCAL_MACHINE, suite + L"\\ScheduleTray", L"RepeatHours", 6);
    ovtest::SetRegDword(HKEY_LOCAL_MACHINE, suite + L"\\Options\\Connection", L"ProxyType", 0);
    SetRegString(HKEY_LOCAL_MACHINE, suite + L"\\Options\\Connection", L"Server", L"http://proxy.example/");
    ASSERT_EQ(0, shell.WriteSettings());
    DWORD hours = 0, proxy = 9, size = sizeof(DWORD);
    RegGetValueW(HKEY_LOCAL_MACHINE, (suite + L"\\ScheduleTray").c_str(), L"RepeatHours", RRF_RT_REG_DWORD,
                 nullptr, &hours, &size);
    size = sizeof(DWORD);
    RegGetValueW(HKEY_LOCAL_MACHINE, (suite + L"\\Options\\Connection").c_str(), L"ProxyType",
                 RRF_RT_REG_DWORD, nullptr, &proxy, &size);
    EXPECT_EQ(6u, hours);
    EXPECT_EQ(0u, proxy);
    EXPECT_EQ(L"http://proxy.example/", Value(suite + L"\\Options\\Connection", L"Server"));

    shell.SetShellNeeded(1);
    shell.RemoveSettings();
    EXPECT_FALSE(KeyExists(suite));
    EXPECT_EQ(L"<none>", Value(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"OvKestraDT"));
    shell.SetShellNeeded(0);
}

TEST_F(ProductTest, ShellRegistryProbesLeaveNothingBehind) {
    if (IsWindows9x()) {
        GTEST_SKIP();
    }
    // What every machine has.
    RegCreateKeyPath(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    RegCreateKeyPath(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    UseRole(kRoleUninstall);
    ProductMain& shell = ProductMain::Get();
    wchar_t buffer[256];
    EXPECT_EQ(0, shell.CheckRegistryPermissions(buffer, 256));
    EXPECT_STREQ(L"", buffer);
    EXPECT_FALSE(KeyExists(L"SOFTWARE\\Orvane"));
    EXPECT_FALSE(KeyExists(kUninstall + L"Tarnel Suite Personal"));
}

}  // namespace

// ---- package product codes --------------------------------------------------------------------

// A package's code selects its one component; the antivirus's other editions select it too.
TEST(ComponentCodes, EachPackageCodeSelectsItsComponent) {
    ProductAV av;
    ProductFW fw;
    ProductFWU fwu;
    ProductAS as;
    ProductPM pm;
    Product* const components[] = {&av, &fw, &fwu, &as, &pm};
    const struct {
        unsigned code;
        Product* selected;
    } rows[] = {{121, &av},     {128, &av},
                {133, &av},     {134, &av},
                {135, &av},     {131, &fw},
                {122, &fwu},    {136, &as},
                {137, &pm},     {140, nullptr},
                {123, nullptr}, {129, nullptr},
                {132, nullptr}, {136 + 1000, nullptr},
                {0, nullptr}};
    for (const auto& row : rows) {
        for (Product* component : components) {
            EXPECT_EQ(component->IsComponentCode(row.code), component == row.selected)
                << "package code " << row.code << ", component " << component->productCode;
        }
    }
}
