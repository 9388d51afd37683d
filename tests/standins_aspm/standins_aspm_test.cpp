// The anti-spam and anti-spyware stand-ins driven the way the setup engine drives them: the
// installers with the engine's command lines, the uninstall commands they register, the
// updaters' hand-offs. They write HKLM, C:\ and the desktops, so this runs in a prefix of its own.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <map>
#include <string>
#include <vector>

#include "arguments.h"
#include "choices.h"
#include "packed_code.h"
#include "support/test_support.h"

namespace {

using Entry = std::map<std::string, std::string>;

const wchar_t kUninstallRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kZemberKey[] = L"SOFTWARE\\Zember";
const wchar_t kPellmarSettingsKey[] = L"SOFTWARE\\Orvane\\TarnelPellmar";

std::wstring AntiSpamUninstallKey() {
    return std::wstring(kUninstallRoot) + aspm::kAntiSpamUninstallKeyName;
}
std::wstring AddInKeys(int i) {
    const std::wstring keys[] = {
        std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + aspm::kAntiSpamAddInClassGuid,
        L"SOFTWARE\\Classes\\Zember.ZAddIn",
        L"SOFTWARE\\Microsoft\\Office\\Outlook\\Addins\\Zember.ZAddIn",
    };
    return keys[i];
}
std::wstring PellmarUninstallKey() {
    return std::wstring(kUninstallRoot) + aspm::kPellmarProductCodeB;
}
std::wstring PellmarProductKey() {
    return std::wstring(L"SOFTWARE\\Classes\\Installer\\Products\\") + aspm::kPellmarPackedCodeB;
}
std::wstring PellmarFeatureKey() {
    return std::wstring(L"SOFTWARE\\Classes\\Installer\\Features\\") + aspm::kPellmarPackedCodeB;
}
// Every key the anti-spyware product owns besides its Uninstall entry.
std::vector<std::wstring> PellmarOwnKeys() {
    return {
        PellmarProductKey(),
        PellmarFeatureKey(),
        std::wstring(
            L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\") +
            aspm::kPellmarPackedCodeB,
        std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + aspm::kPellmarControlClassGuid,
        std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + aspm::kPellmarApplicationClassGuid,
        std::wstring(L"SOFTWARE\\Classes\\Interface\\") + aspm::kPellmarControlInterfaceGuid,
        std::wstring(L"SOFTWARE\\Classes\\Interface\\") + aspm::kPellmarApplicationInterfaceGuid,
        L"SOFTWARE\\Classes\\pmctl",
        L"SOFTWARE\\Classes\\TarnelPellmar",
        kPellmarSettingsKey,
    };
}

std::wstring AntiSpamProgram(const wchar_t* name) {
    return ovtest::BinDir() + L"\\standins\\antispam\\" + name;
}
std::wstring AntiSpywareProgram(const wchar_t* name) {
    return ovtest::BinDir() + L"\\standins\\antispyware\\" + name;
}
std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

bool KeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

std::wstring RegString(const std::wstring& key, const std::wstring& name) {
    std::wstring value;
    return ovtest::GetRegString(HKEY_LOCAL_MACHINE, key, name, &value) ? value : L"<missing>";
}

DWORD RegDword(const std::wstring& key, const wchar_t* name) {
    DWORD value = 0xFFFFFFFF, size = sizeof(value), type = 0;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) == ERROR_SUCCESS) {
        RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(handle);
    }
    return type == REG_DWORD ? value : 0xFFFFFFFF;
}

std::wstring Desktop(int csidl) {
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::wstring(folder) + L"\\" + aspm::kPellmarDesktopShortcut;
}

// The id of a running process with this file name, 0 when none.
DWORD FindProcess(const std::wstring& exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD id = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && id == 0;
         more = Process32NextW(snapshot, &entry)) {
        if (aspm::EqualsNoCase(entry.szExeFile, exeName)) {
            id = entry.th32ProcessID;
        }
    }
    CloseHandle(snapshot);
    return id;
}

// Waits for the running process of that name to end; false when there was none or it did not end.
bool WaitForProcessEnd(const std::wstring& exeName, DWORD timeoutMs = 20000) {
    DWORD id = FindProcess(exeName);
    HANDLE process = id ? OpenProcess(SYNCHRONIZE, FALSE, id) : nullptr;
    if (process == nullptr) {
        return false;
    }
    bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

// A machine without either product for each test, with a record folder of its own.
class StandinTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ovtest::IsIsolated()) << "writes HKLM and C:\\: run through ctest (ISOLATED)";
        SetEnvironmentVariableW(L"OV_STANDIN_RECORDS", records_.path().c_str());
        WipeProducts();
    }
    void TearDown() override {
        WaitForProcessEnd(L"z-update.exe");
        WaitForProcessEnd(L"pmdoupdate.exe");
        WipeProducts();
        SetEnvironmentVariableW(L"OV_STANDIN_RECORDS", nullptr);
    }

    static void WipeProducts() {
        std::vector<std::wstring> keys = PellmarOwnKeys();
        keys.insert(keys.end(), {kZemberKey, AntiSpamUninstallKey(), AddInKeys(0), AddInKeys(1), AddInKeys(2),
                                 PellmarUninstallKey(), L"SOFTWARE\\OvStandins"});
        for (const std::wstring& key : keys) {
            SHDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
        }
        DeleteFileW(Desktop(CSIDL_COMMON_DESKTOPDIRECTORY).c_str());
        DeleteFileW(Desktop(CSIDL_DESKTOPDIRECTORY).c_str());
    }

    void SetSwitch(const std::wstring& program, const std::wstring& name, DWORD value) {
        ovtest::SetRegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OvStandins\\" + program, name, value);
    }
    void SetSwitch(const std::wstring& program, const std::wstring& name, const std::wstring& value) {
        ovtest::SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OvStandins\\" + program, name, value);
    }

    // The entries of a program's record, in order.
    std::vector<Entry> Records(const std::wstring& program) const {
        std::string text = ovtest::ReadFileBytes(records_ / (program + L".txt"));
        std::vector<Entry> entries;
        Entry entry;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find("\r\n", start);
            std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            start = end == std::string::npos ? text.size() : end + 2;
            size_t colon = line.find(": ");
            if (line.empty()) {
                entries.push_back(entry);
                entry.clear();
            } else if (colon != std::string::npos) {
                entry[line.substr(0, colon)] = line.substr(colon + 2);
            }
        }
        return entries;
    }

    // "Anti-Spam.exe /silent <folder>" as the engine builds it: the folder unquoted.
    int RunAntiSpamInstaller(const std::wstring& folder) {
        return ovtest::RunProcess(Quoted(AntiSpamProgram(L"Anti-Spam.exe")) + L" /silent " + folder);
    }

    // "Pellmar.exe" with the engine's "/v" text around the folder.
    int RunPellmar(const std::wstring& folder) {
        return ovtest::RunProcess(Quoted(AntiSpywareProgram(L"Pellmar.exe")) + L" /v\"INSTALLDIR=\\\"" +
                                  folder + L"\\\" NOUPDATE=Yes REBOOT=ReallySuppress /qn\"");
    }

    // The last entry of a program's record; empty when there is none.
    Entry LastRecord(const std::wstring& program) const {
        std::vector<Entry> entries = Records(program);
        return entries.empty() ? Entry() : entries.back();
    }

    ovtest::ScratchDir records_;
    ovtest::ScratchDir disk_;
};

// ---- Text helpers shared by the stand-ins ----

TEST(PackedProductCode, WorkedExamples) {
    struct Case {
        const wchar_t* code;
        const wchar_t* packed;
    } cases[] = {
        // 12345678 -> 87654321, ABCD -> DCBA, EF01 -> 10FE, then 23 45 67 89 AB CD EF 01 pairwise
        // swapped -> 32 54 76 98 BA DC FE 10.
        {L"{12345678-ABCD-EF01-2345-6789ABCDEF01}", L"87654321DCBA10FE32547698BADCFE10"},
        // Lower case in, upper case out: f860a729 -> 927A068F, 9bff -> FFB9, 416d -> D614,
        // a1 d7 c3 7c b6 bf 74 fe -> 1A 7D 3C C7 6B FB 47 EF.
        {L"{f860a729-9bff-416d-a1d7-c37cb6bf74fe}", L"927A068FFFB9D6141A7D3CC76BFB47EF"},
        // Only the pairs after the third group swap: C0 00 -> 0C 00, ... 00 46 -> 00 64.
        {L"{00000000-0000-0000-C000-000000000046}", L"00000000000000000C00000000000064"},
        {L"", L""},
        {L"F860A729-9BFF-416D-A1D7-C37CB6BF74FE", L""},     // no braces
        {L"{F860A729-9BFF-416D-A1D7-C37CB6BF74F}", L""},    // a digit short
        {L"{F860A7299-BFF-416D-A1D7-C37CB6BF74FE}", L""},   // dash out of place
        {L"{F860A729-9BFF-416D-A1D7-C37CB6BF74FG}", L""},   // not a hex digit
        {L"{F860A729-9BFF-416D-A1D7-C37CB6BF74FE}x", L""},  // trailing text
    };
    for (const Case& c : cases) {
        EXPECT_EQ(aspm::PackedProductCode(c.code), c.packed) << ovtest::Narrow(c.code);
    }
    // The packed names the engine adopts match the codes they stand for.
    EXPECT_EQ(aspm::PackedProductCode(aspm::kPellmarProductCodeA), aspm::kPellmarPackedCodeA);
    EXPECT_EQ(aspm::PackedProductCode(aspm::kPellmarProductCodeB), aspm::kPellmarPackedCodeB);
    EXPECT_EQ(aspm::PackedProductCode(aspm::kPellmarPackageCodeB), aspm::kPellmarPackedPackageCodeB);
}

TEST(CommandLineText, SplitsByTheRunTimeRules) {
    struct Case {
        const wchar_t* text;
        std::vector<std::wstring> arguments;
    } cases[] = {
        // The engine's "/v" argument: escaped quotes survive as plain ones, blanks stay inside.
        {L"/v\"INSTALLDIR=\\\"C:\\Program Files\\X\\\" NOUPDATE=Yes /qn\"",
         {L"/vINSTALLDIR=\"C:\\Program Files\\X\" NOUPDATE=Yes /qn"}},
        // ... and its text split once more.
        {L"INSTALLDIR=\"C:\\Program Files\\X\" NOUPDATE=Yes /qn",
         {L"INSTALLDIR=C:\\Program Files\\X", L"NOUPDATE=Yes", L"/qn"}},
        {L"  a\\b\t c  ", {L"a\\b", L"c"}},    // backslashes before no quote are plain
        {L"a\\\\\"b c\"", {L"a\\b c"}},        // 2n backslashes + quote: n, quote opens
        {L"a\\\\\\\"b c", {L"a\\\"b", L"c"}},  // 2n+1: n and a literal quote
        {L"\"a\"\"b\" c", {L"a\"b", L"c"}},    // "" inside quotes is one quote
        {L"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(aspm::SplitArguments(c.text), c.arguments) << ovtest::Narrow(c.text);
    }
}

TEST(CommandLineText, ArgumentsAfterProgramKeepTheRestVerbatim) {
    EXPECT_EQ(aspm::ArgumentsAfterProgram(L"\"C:\\a b\\Anti-Spam.exe\" /silent C:\\Program Files\\X "),
              L"/silent C:\\Program Files\\X ");
    EXPECT_EQ(aspm::ArgumentsAfterProgram(L"z-update.exe  /u_silent"), L"/u_silent");
    EXPECT_EQ(aspm::ArgumentsAfterProgram(L"\"C:\\x.exe\""), L"");
}

TEST(CommandLineText, InstallerArgumentsSortPropertiesSwitchesAndTheRest) {
    aspm::InstallerArguments parsed = aspm::ParseInstallerArguments(
        {L"/X{F860A729-9BFF-416D-A1D7-C37CB6BF74FE}", L"REBOOT=ReallySuppress", L"/QR", L"/l*v", L"log=a=b"});
    EXPECT_EQ(parsed.ui, L"/QR");
    EXPECT_EQ(parsed.Property(L"REBOOT"), L"ReallySuppress");
    EXPECT_EQ(parsed.Property(L"reboot"), L"");  // property names are case-sensitive
    EXPECT_EQ(parsed.Property(L"log"), L"a=b");
    EXPECT_EQ(parsed.others,
              (std::vector<std::wstring>{L"/X{F860A729-9BFF-416D-A1D7-C37CB6BF74FE}", L"/l*v"}));
    EXPECT_FALSE(aspm::IsFullUi(L"/qr"));
    EXPECT_FALSE(aspm::IsFullUi(L"/quiet"));
    EXPECT_TRUE(aspm::IsFullUi(L""));
    EXPECT_TRUE(aspm::IsFullUi(L"/qf+"));
}

// ---- Anti-spam: "Anti-Spam.exe" and "z-update.exe" ----

TEST_F(StandinTest, AntiSpamInstallerWritesWhatTheEngineReads) {
    const std::wstring folder = disk_ / L"Program Files\\Tarnel Anti-Spam";
    const std::wstring release = folder + L"\\ZSP-" + aspm::kAntiSpamVersion;
    ASSERT_EQ(RunAntiSpamInstaller(folder), 0);

    EXPECT_EQ(RegString(kZemberKey, L"ReleaseVersion"), aspm::kAntiSpamVersion);
    EXPECT_EQ(RegString(kZemberKey, L"AppInstallPath"), folder);
    EXPECT_EQ(RegString(kZemberKey, L"ReleasePath"), release);
    EXPECT_EQ(RegString(AntiSpamUninstallKey(), L"UninstallString"),
              Quoted(release + L"\\z-update.exe") + L" /u_silent");
    EXPECT_EQ(RegString(AntiSpamUninstallKey(), L"DisplayVersion"), aspm::kAntiSpamVersion);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(KeyExists(AddInKeys(i))) << ovtest::Narrow(AddInKeys(i));
    }
    for (const wchar_t* name :
         {L"z-update.exe", L"Z.dll", L"ZAddIn.dll", L"ZOEHook.dll", aspm::kAntiSpamSuiteMarkerFile}) {
        EXPECT_TRUE(ovtest::PathExists(release + L"\\" + name)) << ovtest::Narrow(name);
    }

    std::vector<Entry> records = Records(L"Anti-Spam");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["install folder"], ovtest::Narrow(folder));
    EXPECT_EQ(records[0]["edition"], "suite");
    EXPECT_EQ(records[0]["result"], "installed");
}

TEST_F(StandinTest, AntiSpamStandaloneEditionOverTheSuiteEditionDropsTheMarker) {
    const std::wstring folder = disk_ / L"Anti Spam";
    const std::wstring marker =
        folder + L"\\ZSP-" + aspm::kAntiSpamVersion + L"\\" + aspm::kAntiSpamSuiteMarkerFile;
    ASSERT_EQ(RunAntiSpamInstaller(folder), 0);
    ASSERT_TRUE(ovtest::PathExists(marker));

    SetSwitch(L"Anti-Spam", L"Standalone", 1);
    ASSERT_EQ(RunAntiSpamInstaller(folder), 0);
    EXPECT_FALSE(ovtest::PathExists(marker));
    EXPECT_TRUE(ovtest::PathExists(folder + L"\\ZSP-" + aspm::kAntiSpamVersion + L"\\z-update.exe"));
    EXPECT_EQ(RegString(AntiSpamUninstallKey(), L"DisplayName"), aspm::kAntiSpamDisplayName);
    EXPECT_EQ(LastRecord(L"Anti-Spam")["edition"], "standalone");
}

TEST_F(StandinTest, AntiSpamInstallerSwitchesAndCommandLines) {
    struct Case {
        const char* what;
        const wchar_t* switchName;  // DWORD 1 unless text is given
        const wchar_t* text;
        const wchar_t* arguments;  // after the program, "<folder>" replaced
        int exitCode;
        const wchar_t* version;  // installed version; null: nothing installed
        const char* result;
    } cases[] = {
        {"older version", L"Version", L"1.0.0.7", L"/silent <folder>", 0, L"1.0.0.7", "installed"},
        {"failing installer", L"Fail", nullptr, L"/silent <folder>", 1603, nullptr, "failed"},
        {"exit code", L"ExitCode", nullptr, L"/silent <folder>", 1, aspm::kAntiSpamVersion, "installed"},
        {"no /silent: the wizard", nullptr, nullptr, L"<folder>", 1602, nullptr, "cancelled"},
        {"quoted folder", nullptr, nullptr, L"/silent \"<folder>\"", 1603, nullptr, "failed: folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WipeProducts();
        if (c.switchName && c.text) {
            SetSwitch(L"Anti-Spam", c.switchName, c.text);
        } else if (c.switchName) {
            SetSwitch(L"Anti-Spam", c.switchName, 1);
        }
        const std::wstring folder = disk_ / L"as folder";
        std::wstring arguments = c.arguments;
        arguments.replace(arguments.find(L"<folder>"), 8, folder);
        EXPECT_EQ(ovtest::RunProcess(Quoted(AntiSpamProgram(L"Anti-Spam.exe")) + L" " + arguments),
                  c.exitCode);
        EXPECT_EQ(RegString(kZemberKey, L"ReleaseVersion"), c.version ? c.version : L"<missing>");
        if (c.version) {
            EXPECT_TRUE(ovtest::PathExists(folder + L"\\ZSP-" + c.version + L"\\z-update.exe"));
        }
        EXPECT_EQ(LastRecord(L"Anti-Spam")["result"], c.result);
    }
}

TEST_F(StandinTest, AntiSpamUninstallIsHandedToASecondUpdaterThatRemovesLater) {
    const std::wstring folder = disk_ / L"Program Files\\AS";
    const std::wstring release = folder + L"\\ZSP-" + aspm::kAntiSpamVersion;
    ASSERT_EQ(RunAntiSpamInstaller(folder), 0);

    ASSERT_EQ(ovtest::RunProcess(Quoted(release + L"\\z-update.exe") + L" /u_silent"), 0);
    // The first updater is gone, the product not yet: a caller must wait for the second one.
    EXPECT_TRUE(KeyExists(kZemberKey));
    ASSERT_TRUE(WaitForProcessEnd(L"z-update.exe")) << "no second z-update.exe ran";

    EXPECT_FALSE(KeyExists(kZemberKey));
    EXPECT_FALSE(KeyExists(AntiSpamUninstallKey()));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(KeyExists(AddInKeys(i))) << ovtest::Narrow(AddInKeys(i));
    }
    for (const wchar_t* name : {L"Z.dll", L"ZAddIn.dll", L"ZOEHook.dll", aspm::kAntiSpamSuiteMarkerFile}) {
        EXPECT_FALSE(ovtest::PathExists(release + L"\\" + name)) << ovtest::Narrow(name);
    }
    // The running updater could not delete itself: the release folder is a leftover.
    EXPECT_TRUE(ovtest::PathExists(release + L"\\z-update.exe"));

    std::vector<Entry> records = Records(L"z-update");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["result"], "handed off");
    EXPECT_EQ(records[0]["command line"],
              ovtest::Narrow(Quoted(release + L"\\z-update.exe") + L" /u_silent"));
    EXPECT_EQ(records[1]["result"], "removed");
}

TEST_F(StandinTest, AntiSpamUpdaterSwitches) {
    struct Case {
        const char* what;
        const wchar_t* switchName;
        int exitCode;
        bool secondInstance;
        bool removed;
    } cases[] = {
        {"refusing second instance", L"Refuse", 0, true, false},
        {"non-zero exit code, hand-off all the same", L"ExitCode", 1, true, true},
        {"failing updater", L"Fail", 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WipeProducts();
        const std::wstring folder = disk_ / L"as switches";
        ASSERT_EQ(RunAntiSpamInstaller(folder), 0);
        SetSwitch(L"z-update", L"Delay", 100);
        SetSwitch(L"z-update", c.switchName, 1);
        std::wstring updater = folder + L"\\ZSP-" + aspm::kAntiSpamVersion + L"\\z-update.exe";
        EXPECT_EQ(ovtest::RunProcess(Quoted(updater) + L" /u_silent"), c.exitCode);
        EXPECT_EQ(WaitForProcessEnd(L"z-update.exe"), c.secondInstance);
        EXPECT_EQ(KeyExists(kZemberKey), !c.removed);
        EXPECT_EQ(KeyExists(AntiSpamUninstallKey()), !c.removed);
    }
}

// ---- Anti-spyware: "Pellmar.exe", its uninstall commands and "pmv5updater.exe" ----

TEST_F(StandinTest, PellmarRegistersTheProductAsWindowsInstallerDoes) {
    const std::wstring folder = disk_ / L"Program Files\\Tarnel Pellmar";
    ASSERT_EQ(RunPellmar(folder), 0);

    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring msiexec =
        Quoted(std::wstring(windows) + L"\\Installer\\OvStandins\\msiexec.exe") + L" ";
    const std::wstring code = aspm::kPellmarProductCodeB;
    EXPECT_EQ(RegString(PellmarUninstallKey(), L"DisplayVersion"), aspm::kPellmarVersion);
    EXPECT_EQ(RegDword(PellmarUninstallKey(), L"WindowsInstaller"), 1u);
    EXPECT_TRUE(
        aspm::EqualsNoCase(RegString(PellmarUninstallKey(), L"UninstallString"), msiexec + L"/X" + code));
    EXPECT_TRUE(aspm::EqualsNoCase(RegString(PellmarUninstallKey(), L"ModifyPath"), msiexec + L"/I" + code));
    EXPECT_EQ(RegString(PellmarProductKey(), L"PackageCode"), aspm::kPellmarPackedPackageCodeB);
    EXPECT_EQ(RegString(PellmarProductKey(), L"ProductName"), aspm::kPellmarDisplayName);
    for (const std::wstring& key : PellmarOwnKeys()) {
        EXPECT_TRUE(KeyExists(key)) << ovtest::Narrow(key);
    }
    EXPECT_EQ(RegString(kPellmarSettingsKey, L"InstallPath"), folder);
    for (const wchar_t* name :
         {L"pmv5updater.exe", L"pmdoupdate.exe", L"pellmar5.exe", L"pmactivedetection.exe"}) {
        EXPECT_TRUE(ovtest::PathExists(folder + L"\\" + name)) << ovtest::Narrow(name);
    }
    EXPECT_TRUE(ovtest::PathExists(Desktop(CSIDL_COMMON_DESKTOPDIRECTORY)));
    EXPECT_TRUE(ovtest::PathExists(Desktop(CSIDL_DESKTOPDIRECTORY)));

    std::vector<Entry> records = Records(L"Pellmar");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["v text"],
              ovtest::Narrow(L"INSTALLDIR=\"" + folder + L"\" NOUPDATE=Yes REBOOT=ReallySuppress /qn"));
    EXPECT_EQ(records[0]["INSTALLDIR"], ovtest::Narrow(folder));
    EXPECT_EQ(records[0]["NOUPDATE"], "Yes");
    EXPECT_EQ(records[0]["REBOOT"], "ReallySuppress");
    EXPECT_EQ(records[0]["ui"], "/qn");
    EXPECT_EQ(records[0]["other"], "");
    EXPECT_EQ(records[0]["result"], "installed");
}

TEST_F(StandinTest, PellmarUninstallCommandWithReducedUiRemovesEverything) {
    const std::wstring folder = disk_ / L"Pellmar";
    ASSERT_EQ(RunPellmar(folder), 0);
    // As the engine leaves the product while the suite owns it: the removal must not need them.
    ovtest::SetRegDword(HKEY_LOCAL_MACHINE, PellmarUninstallKey(), L"WindowsInstaller", 0);
    HKEY product = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, PellmarProductKey().c_str(), 0, KEY_SET_VALUE, &product), 0);
    RegDeleteValueW(product, L"ProductName");
    RegCloseKey(product);

    std::wstring command = RegString(PellmarUninstallKey(), L"UninstallString");
    ASSERT_EQ(ovtest::RunProcess(command + L" /qr"), 0);

    EXPECT_FALSE(KeyExists(PellmarUninstallKey()));
    for (const std::wstring& key : PellmarOwnKeys()) {
        EXPECT_FALSE(KeyExists(key)) << ovtest::Narrow(key);
    }
    EXPECT_FALSE(ovtest::PathExists(folder));
    EXPECT_FALSE(ovtest::PathExists(Desktop(CSIDL_COMMON_DESKTOPDIRECTORY)));
    EXPECT_FALSE(ovtest::PathExists(Desktop(CSIDL_DESKTOPDIRECTORY)));
    std::vector<Entry> records = Records(L"msiexec");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["action"], "uninstall");
    EXPECT_EQ(records[0]["ui"], "/qr");
    EXPECT_EQ(records[0]["result"], "removed");
}

TEST_F(StandinTest, PellmarCommandsThatLeaveTheProductInstalled) {
    struct Case {
        const char* what;
        const wchar_t* value;  // of the product's Uninstall entry
        const wchar_t* suffix;
        const wchar_t* refuse;  // msiexec switch Refuse
        int exitCode;
        const char* result;
    } cases[] = {
        {"uninstall without a display switch waits for a person", L"UninstallString", L"", nullptr, 1602,
         "cancelled"},
        {"maintenance command", L"ModifyPath", L" /qr", nullptr, 0, "maintenance"},
        {"refused uninstall", L"UninstallString", L" /qr", L"Refuse", 1603, "refused"},
    };
    const std::wstring folder = disk_ / L"Pellmar kept";
    ASSERT_EQ(RunPellmar(folder), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.refuse) {
            SetSwitch(L"msiexec", c.refuse, 1);
        }
        EXPECT_EQ(ovtest::RunProcess(RegString(PellmarUninstallKey(), c.value) + c.suffix), c.exitCode);
        EXPECT_EQ(RegString(PellmarUninstallKey(), L"DisplayVersion"), aspm::kPellmarVersion);
        EXPECT_TRUE(ovtest::PathExists(folder + L"\\pellmar5.exe"));
        EXPECT_EQ(LastRecord(L"msiexec")["result"], c.result);
    }
    // The earlier generation's code is not this product's.
    std::wstring msiexec = RegString(PellmarUninstallKey(), L"UninstallString");
    msiexec = msiexec.substr(0, msiexec.find(L"\" ") + 1);
    EXPECT_EQ(ovtest::RunProcess(msiexec + L" /X" + aspm::kPellmarProductCodeA + L" /qr"), 1605);
}

TEST_F(StandinTest, PellmarBootstrapperSwitchesAndCommandLines) {
    struct Case {
        const char* what;
        const wchar_t* switchName;
        const wchar_t* text;
        const wchar_t* vText;  // "<folder>" replaced
        int exitCode;
        const wchar_t* version;  // installed; null: nothing
        const char* result;
    } cases[] = {
        {"older version", L"Version", L"4.9.0.1", L"INSTALLDIR=\\\"<folder>\\\" /qn", 0, L"4.9.0.1",
         "installed"},
        {"failing setup", L"Fail", nullptr, L"INSTALLDIR=\\\"<folder>\\\" /qn", 1603, nullptr, "failed"},
        {"no display switch: the wizard", nullptr, nullptr, L"INSTALLDIR=\\\"<folder>\\\"", 1602, nullptr,
         "cancelled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WipeProducts();
        if (c.switchName && c.text) {
            SetSwitch(L"Pellmar", c.switchName, c.text);
        } else if (c.switchName) {
            SetSwitch(L"Pellmar", c.switchName, 1);
        }
        const std::wstring folder = disk_ / L"pm folder";
        std::wstring vText = c.vText;
        vText.replace(vText.find(L"<folder>"), 8, folder);
        EXPECT_EQ(ovtest::RunProcess(Quoted(AntiSpywareProgram(L"Pellmar.exe")) + L" /v\"" + vText + L"\""),
                  c.exitCode);
        EXPECT_EQ(RegString(PellmarUninstallKey(), L"DisplayVersion"), c.version ? c.version : L"<missing>");
        EXPECT_EQ(KeyExists(PellmarProductKey()), c.version != nullptr);
        EXPECT_EQ(LastRecord(L"Pellmar")["result"], c.result);
    }
}

TEST_F(StandinTest, PellmarUpdaterHandsOffToDoUpdateThatKeepsRunning) {
    const std::wstring folder = disk_ / L"Pellmar updater";
    ASSERT_EQ(RunPellmar(folder), 0);

    ASSERT_EQ(ovtest::RunProcess(Quoted(folder + L"\\pmv5updater.exe") + L" /noninteractive"), 0);
    EXPECT_TRUE(Records(L"pmdoupdate").empty()) << "the worker should still be running";
    ASSERT_TRUE(WaitForProcessEnd(L"pmdoupdate.exe")) << "no pmdoupdate.exe ran";

    std::vector<Entry> worker = Records(L"pmdoupdate");
    ASSERT_EQ(worker.size(), 1u);
    EXPECT_EQ(worker[0]["command line"],
              ovtest::Narrow(Quoted(folder + L"\\pmdoupdate.exe") + L" /noninteractive"));
    EXPECT_EQ(worker[0]["result"], "updated");
    EXPECT_EQ(Records(L"pmv5updater").at(0)["result"], "handed off");
}

}  // namespace
