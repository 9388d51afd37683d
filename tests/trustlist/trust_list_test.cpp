// The firewall's list of trusted programs through the engine's library stand-in in the system
// folder: one program's update with its call sequence and permission merge, the failures of each
// call, a component's programs, and the trust-list role run by the setup program itself.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/component_stub.h"
#include "components/product_fw.h"
#include "product/trust_list.h"
#include "records.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "support/log_capture.h"
#include "support/test_support.h"
#include "trust_list_abi.h"

using avfw::ValueOf;
using avfw::ValuesOf;

namespace {

const std::wstring kApplications = L"SOFTWARE\\Zone Labs\\TrueVector\\Applications";
const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::wstring SystemFile(const wchar_t* name) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\" + name;
}

void InstallLibrary() {
    ASSERT_TRUE(CopyFileW((ovtest::BinDir() + L"\\standins\\firewall\\vspubapi.dll").c_str(),
                          SystemFile(L"vspubapi.dll").c_str(), FALSE));
}

// The ids of the list's entries and each one's path.
std::vector<std::pair<std::wstring, std::wstring>> Entries() {
    std::vector<std::pair<std::wstring, std::wstring>> entries;
    HKEY apps = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kApplications.c_str(), 0, KEY_READ, &apps) != ERROR_SUCCESS)
        return entries;
    wchar_t id[64];
    for (DWORD i = 0;; ++i) {
        DWORD length = 64;
        if (RegEnumKeyExW(apps, i, id, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        std::wstring path;
        ovtest::GetRegString(HKEY_LOCAL_MACHINE, kApplications + L"\\" + id, L"Path", &path);
        entries.push_back({id, path});
    }
    RegCloseKey(apps);
    return entries;
}

TvPermRecord Permissions(const std::wstring& id) {
    TvPermRecord record = {};
    DWORD bytes = sizeof(record);
    RegGetValueW(HKEY_LOCAL_MACHINE, (kApplications + L"\\" + id).c_str(), L"Permissions", RRF_RT_REG_BINARY,
                 nullptr, &record, &bytes);
    return record;
}

// An existing entry, as an earlier update or the engine itself left it.
std::wstring AddEntry(const std::wstring& path, const TvPermRecord& record) {
    std::wstring id = L"2001";
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, kApplications + L"\\" + id, L"Path", path);
    HKEY app = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kApplications + L"\\" + id).c_str(), 0, KEY_SET_VALUE, &app);
    RegSetValueExW(app, L"Permissions", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&record),
                   sizeof(record));
    RegCloseKey(app);
    return id;
}

// Fields 1, 3, 2, 4, 14 and 11, the order in which a row's values go into them.
std::vector<DWORD> RowFields(const TvPermRecord& record) {
    return {record.field[1], record.field[3],  record.field[2],
            record.field[4], record.field[14], record.field[11]};
}

class TrustList : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ovtest::IsIsolated()) << "puts the engine's library into the system folder";
        InstallLibrary();
        program_ = scratch_ / L"ov.exe";
        ovtest::WriteFileBytes(program_, "x");
    }
    std::vector<std::string> Calls() const { return ValuesOf(records_.Read(L"vspubapi"), "call"); }
    int Register(const TrustedProgram& row, int removeFirst, int retryInit = 1) {
        return RegisterTrustedProgram(program_.c_str(), removeFirst, retryInit, row);
    }

    ovtest::RegistryOverride registry_;  // the library keeps its list in the (redirected) registry
    avfw::Switches switches_;
    avfw::RecordFolder records_;
    ovtest::ScratchDir scratch_;
    std::wstring program_;
};

TEST_F(TrustList, NewEntryTakesTheRowsRules) {
    const TrustedProgram row = {L"ov.exe", {1, 2, 3, 1, 2, 3}};
    EXPECT_EQ(0, Register(row, 1));
    auto entries = Entries();
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(program_, entries[0].second);
    // Rule 2 gives 1, rule 3 gives 2 to a field that is 0, rule 1 leaves it.
    EXPECT_EQ((std::vector<DWORD>{0, 1, 2, 0, 1, 2}), RowFields(Permissions(entries[0].first)));

    auto calls = records_.Read(L"vspubapi");
    const std::vector<std::string> expected = {
        "tvInitialize",     "tvGetProcAddress", "tvGetProcAddress", "tvGetProcAddress", "tvGetProcAddress",
        "tvGetProcAddress", "tvGetProcAddress", "tvGetProcAddress", "tvGetProcAddress", "tvGetAppList",
        "tvNewApp",         "tvSetAppPerms",    "tvFreePtr",        "tvTerminate"};
    EXPECT_EQ(expected, ValuesOf(calls, "call"));
    EXPECT_EQ(
        "00000040 8102FFFF 00000000 00000000 00000004 00000000 00000017 00000000 00000000 00000000 "
        "00000000 00000000 00000000 00000000 00000000 00000000",
        ValueOf(calls[0], "record"));
    EXPECT_EQ(std::to_string(sizeof(void*) == 4 ? 40 : 48), ValueOf(calls[10], "size"));
    EXPECT_EQ("00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000",
              ValueOf(calls[10], "rest"));
    EXPECT_EQ("1", ValueOf(calls[11], "level"));
    EXPECT_EQ("8", ValueOf(calls.back(), "mode"));
    EXPECT_EQ("0", ValueOf(calls.back(), "outstanding")) << "the list record is released";
    for (const auto& call : calls)
        EXPECT_EQ("1", ValueOf(call, "result")) << ValueOf(call, "call");

    // Nothing to change: no permissions are written.
    avfw::RecordFolder records;
    program_ = scratch_ / L"zatutor.exe";
    ovtest::WriteFileBytes(program_, "x");
    EXPECT_EQ(0, Register({L"zatutor.exe", {1, 1, 1, 1, 1, 1}}, 1));
    std::vector<std::string> calls2 = ValuesOf(records.Read(L"vspubapi"), "call");
    EXPECT_EQ(1, std::count(calls2.begin(), calls2.end(), "tvNewApp"));
    EXPECT_EQ(0, std::count(calls2.begin(), calls2.end(), "tvSetAppPerms"));
}

TEST_F(TrustList, ExistingEntryIsMadeAnewOrMerged) {
    TvPermRecord old = {};
    old.field[0] = sizeof(old);
    old.field[1] = 5;   // first value 3: not 0, stays
    old.field[3] = 0;   // second value 3: 0 becomes 2
    old.field[2] = 5;   // third value 2: becomes 1
    old.field[4] = 0;   // fourth value 1: stays 0
    old.field[14] = 7;  // fifth value 2: becomes 1
    old.field[11] = 7;  // sixth value 3: stays
    old.field[9] = 9;   // no row value: kept as it is
    const TrustedProgram row = {L"ov.exe", {3, 3, 2, 1, 2, 3}};
    struct Case {
        const char* what;
        int removeFirst;
        std::vector<DWORD> fields;
        DWORD field9;
        const char* between;  // the call after the properties were read
    } cases[] = {
        {"merged into the existing entry", 0, {5, 2, 1, 0, 1, 7}, 9, "tvGetAppPerms"},
        {"replaced by a new entry", 1, {2, 2, 1, 0, 1, 2}, 0, "tvDelApp"},
    };
    for (const Case& c : cases) {
        ovtest::RegistryOverride registry;
        avfw::RecordFolder records;
        std::wstring id = AddEntry(program_, old);
        EXPECT_EQ(0, Register(row, c.removeFirst)) << c.what;
        auto entries = Entries();
        ASSERT_EQ(1u, entries.size()) << c.what;
        EXPECT_EQ(c.removeFirst == 0, entries[0].first == id) << c.what;
        TvPermRecord now = Permissions(entries[0].first);
        EXPECT_EQ(c.fields, RowFields(now)) << c.what;
        EXPECT_EQ(c.field9, now.field[9]) << c.what;
        std::vector<std::string> calls = ValuesOf(records.Read(L"vspubapi"), "call");
        auto properties = std::find(calls.begin(), calls.end(), "tvGetAppProperties");
        ASSERT_TRUE(properties != calls.end() && properties + 2 < calls.end()) << c.what;
        EXPECT_EQ("tvFreePtr", *(properties + 1)) << c.what;
        EXPECT_EQ(c.between, *(properties + 2)) << c.what;
    }
}

TEST_F(TrustList, EachFailureHasItsCode) {
    const TrustedProgram row = {L"ov.exe", {2, 2, 3, 3, 3, 3}};
    struct Case {
        const char* what;
        const wchar_t* switchName;
        const wchar_t* value;
        bool existing;
        int removeFirst;
        int code;
    } cases[] = {
        {"no list", L"FailCalls", L"tvGetAppList", false, 1, 4},
        {"an entry's properties", L"FailCalls", L"tvGetAppProperties", true, 1, 5},
        {"old entry stays", L"FailCalls", L"tvDelApp", true, 1, 6},
        {"no new entry", L"FailCalls", L"tvNewApp", false, 1, 7},
        {"permissions unread", L"FailCalls", L"tvGetAppPerms", true, 0, 8},
        {"permissions unwritten", L"FailCalls", L"tvSetAppPerms", false, 1, 9},
        {"an entry point missing", L"HideEntries", L"tvDelApp", false, 1, 2},
    };
    for (const Case& c : cases) {
        ovtest::RegistryOverride registry;
        avfw::Switches switches;
        avfw::RecordFolder records;
        switches.Set(L"vspubapi", c.switchName, c.value);
        if (c.existing) {
            TvPermRecord old = {};
            old.field[0] = sizeof(old);
            AddEntry(program_, old);
        }
        EXPECT_EQ(c.code, Register(row, c.removeFirst)) << c.what;
        auto calls = records.Read(L"vspubapi");
        ASSERT_FALSE(calls.empty()) << c.what;
        if (c.code == 2) {
            EXPECT_EQ("tvGetProcAddress", ValueOf(calls.back(), "call")) << "nothing is called" << c.what;
        } else {
            EXPECT_EQ("tvTerminate", ValueOf(calls.back(), "call")) << c.what;
            EXPECT_EQ("0", ValueOf(calls.back(), "outstanding")) << c.what;
        }
    }
}

TEST_F(TrustList, InitialisationRetriedWithTheOtherFlagsOnlyWhenAsked) {
    switches_.Set(L"vspubapi", L"RejectFlags", 0x80000000u);
    const TrustedProgram row = {L"ov.exe", {2, 2, 3, 3, 3, 3}};
    EXPECT_EQ(0, Register(row, 1, 1));
    std::vector<std::string> flags;
    for (const auto& call : records_.Read(L"vspubapi")) {
        if (ValueOf(call, "call") == "tvInitialize")
            flags.push_back(ValueOf(call, "record").substr(9, 8) + ":" + ValueOf(call, "result"));
    }
    EXPECT_EQ((std::vector<std::string>{"8102FFFF:0", "2502FFFF:1"}), flags);

    avfw::RecordFolder records;
    EXPECT_EQ(3, Register(row, 1, 0));
    EXPECT_EQ((std::vector<std::string>{"tvInitialize", "tvGetProcAddress", "tvGetProcAddress",
                                        "tvGetProcAddress", "tvGetProcAddress", "tvGetProcAddress",
                                        "tvGetProcAddress", "tvGetProcAddress", "tvGetProcAddress"}),
              ValuesOf(records.Read(L"vspubapi"), "call"));
}

TEST_F(TrustList, NothingToLoadForAMissingProgramOrLibrary) {
    const TrustedProgram row = {L"gone.exe", {2, 2, 3, 3, 3, 3}};
    EXPECT_EQ(0, RegisterTrustedProgram((scratch_ / L"gone.exe").c_str(), 1, 1, row));
    EXPECT_TRUE(Calls().empty());
    ASSERT_TRUE(DeleteFileW(SystemFile(L"vspubapi.dll").c_str()));
    // The library is taken from the system folder only, never from beside the program.
    ASSERT_TRUE(CopyFileW((ovtest::BinDir() + L"\\standins\\firewall\\vspubapi.dll").c_str(),
                          (scratch_ / L"vspubapi.dll").c_str(), FALSE));
    SetCurrentDirectoryW(scratch_.path().c_str());
    EXPECT_EQ(1, Register({L"ov.exe", {2, 2, 3, 3, 3, 3}}, 1));
    SetCurrentDirectoryW(ovtest::BinDir().c_str());
    EXPECT_TRUE(Calls().empty());
}

// ---- a component's programs -------------------------------------------------------------------------

const wchar_t* const kKeys[] = {L"Trusted Product", L"Tarnel Suite Personal\\tp"};

class TrustedProduct : public ComponentStub {
  public:
    explicit TrustedProduct(const TrustedProgram* rows, int count) : ComponentStub(150, L"tp", kKeys, 2) {
        trustedPrograms = rows;
        trustedProgramCount = count;
    }
};

TEST_F(TrustList, AComponentsProgramsFromItsFilesFolder) {
    const std::wstring folder = scratch_.path();
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, kUninstall + L"Trusted Product", L"UninstallString", L"x");
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Tarnel Suite Personal\\tp", L"Files",
                         folder);
    const std::wstring tooLong(MAX_PATH - folder.size() - 1, L'x');
    const TrustedProgram rows[] = {
        {L"ov.exe", {2, 2, 3, 3, 3, 3}},
        {L"", {2, 2, 3, 3, 3, 3}},
        {tooLong.c_str(), {2, 2, 3, 3, 3, 3}},
        {L"missing.exe", {2, 2, 3, 3, 3, 3}},
    };
    SetupOptions::Get().Reset();
    {
        ovtest::LogCapture log;
        TrustedProduct product(rows, 4);
        EXPECT_EQ(ErrorTrustList, product.AddTrustedPrograms(1, 1)) << "rows without a usable name";
        EXPECT_EQ(2u, log.Count("(25515)")) << "each usable row is reported";
        EXPECT_TRUE(log.Has("missing.exe")) << "also a program that is not there";
        EXPECT_EQ(1u, Entries().size());
    }
    {
        // Only the one good row: nothing to report but the rows themselves.
        ovtest::LogCapture log;
        TrustedProduct product(rows, 1);
        EXPECT_EQ(0, product.AddTrustedPrograms(0, 1));
        EXPECT_TRUE(log.HasReport(25538));
    }
    {
        ovtest::LogCapture log;
        SetupOptions::Get().updateFirewall = 0;
        TrustedProduct product(rows, 1);
        EXPECT_EQ(0, product.AddTrustedPrograms(1, 1));
        EXPECT_FALSE(log.HasReport(25538));
        EXPECT_FALSE(log.HasReport(25515));
        SetupOptions::Get().Reset();
    }
    {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kUninstall + L"Trusted Product").c_str());
        ovtest::LogCapture log;
        TrustedProduct product(rows, 1);
        EXPECT_EQ(0, product.AddTrustedPrograms(1, 1)) << "not installed";
        EXPECT_FALSE(log.HasReport(25538));
    }
}

// ---- the trust-list role -----------------------------------------------------------------------

class TrustListRole : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ovtest::IsIsolated()) << "changes HKLM and the system folder";
        InstallLibrary();
        // An installed firewall and antivirus with their programs.
        firewall_ = scratch_ / L"Firewall";
        antivirus_ = scratch_ / L"Antivirus";
        CreateDirectoryW(firewall_.c_str(), nullptr);
        CreateDirectoryW(antivirus_.c_str(), nullptr);
        for (const wchar_t* name : {L"ov.exe", L"zatutor.exe"})
            ovtest::WriteFileBytes(firewall_ + L"\\" + name, "x");
        ovtest::WriteFileBytes(antivirus_ + L"\\sigfetch.exe", "x");
        ovtest::SetRegString(HKEY_LOCAL_MACHINE, kUninstall + L"Tarnel Personal Firewall", L"UninstallString",
                             L"x");
        ovtest::SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zone Labs\\ZoneAlarm", L"InstallDirectory",
                             firewall_);
        ovtest::SetRegString(HKEY_LOCAL_MACHINE, kUninstall + L"WEXAWIN32Vp5", L"UninstallString", L"x");
        ovtest::SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Anti-Virus\\Install", L"ProgramPath",
                             antivirus_);
    }
    void TearDown() override {
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zone Labs");
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane");
    }
    std::vector<std::wstring> Paths() const {
        std::vector<std::wstring> paths;
        for (const auto& entry : Entries())
            paths.push_back(entry.second);
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    // The setup program under `name` in a folder of its own.
    std::wstring Program(const wchar_t* name) {
        std::wstring folder = scratch_ / L"program";
        CreateDirectoryW(folder.c_str(), nullptr);
        std::wstring path = folder + L"\\" + name;
        CopyFileW((ovtest::BinDir() + L"\\ovsetup.exe").c_str(), path.c_str(), FALSE);
        return path;
    }

    ovtest::ScratchDir scratch_;
    std::wstring firewall_;
    std::wstring antivirus_;
};

TEST_F(TrustListRole, AsTrustaddItUpdatesEveryInstalledProductAndGoesAtTheNextStart) {
    const std::wstring program = Program(L"trustadd.exe");
    EXPECT_EQ(0, ovtest::RunProcess(L"\"" + program + L"\" /trustlist"));
    EXPECT_EQ((std::vector<std::wstring>{antivirus_ + L"\\sigfetch.exe", firewall_ + L"\\ov.exe",
                                         firewall_ + L"\\zatutor.exe"}),
              Paths());
    EXPECT_FALSE(ovtest::PathExists(program));
    ASSERT_EQ(0, ovtest::RestartWindows());
    WIN32_FIND_DATAW data;
    HANDLE left = FindFirstFileW((scratch_ / L"program\\trustadd.*").c_str(), &data);
    EXPECT_EQ(INVALID_HANDLE_VALUE, left);
    if (left != INVALID_HANDLE_VALUE)
        FindClose(left);
}

TEST_F(TrustListRole, UnderItsOwnNameWithTheSwitchItStays) {
    const std::wstring program = Program(L"ovsetup.exe");
    EXPECT_EQ(0, ovtest::RunProcess(L"\"" + program + L"\" /t"));
    EXPECT_EQ(3u, Paths().size());
    EXPECT_TRUE(ovtest::PathExists(program));
}

}  // namespace
