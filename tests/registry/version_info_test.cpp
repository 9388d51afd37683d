// Version resources of real files: fixture libraries built beside this program, and the
// program itself for the running installer's version.
#include <gtest/gtest.h>

#include <string>

#include "host/text.h"
#include "host/version_info.h"
#include "support/log_capture.h"

using ovtest::LogCapture;
#include "support/test_support.h"

namespace {

using ovtest::Narrow;

#ifdef OV_TEST_OWN_FILE_VERSION
const wchar_t* const kOwnFileVersion = L"9.8.7.6";  // test_version.rc
#else
const wchar_t* const kOwnFileVersion = nullptr;
#endif

std::wstring Fixture(const wchar_t* name) {
    return ovtest::BinDir() + L"\\" + name;
}

TEST(VersionInfo, FixedRecordOfAFile) {
    VS_FIXEDFILEINFO record;
    memset(&record, 0xcc, sizeof(record));
    GetVersionInfoData(Fixture(L"ovtest_version530.dll").c_str(), nullptr, nullptr, 0, &record);
    EXPECT_EQ(0xFEEF04BDu, record.dwSignature);
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(30, 5)), record.dwFileVersionMS);
    EXPECT_EQ(0u, record.dwFileVersionLS);
    EXPECT_EQ(2u, record.dwFileType);

    memset(&record, 0xcc, sizeof(record));
    wchar_t text[16];
    wmemset(text, L'x', 16);
    GetVersionInfoData(Fixture(L"ovtest_noversion.dll").c_str(), L"FileVersion", text, 16, &record);
    VS_FIXEDFILEINFO zero = {};
    EXPECT_EQ(0, memcmp(&zero, &record, sizeof(record)));
    EXPECT_STREQ(L"", text);
}

TEST(VersionInfo, StringsComeFromTheFirstListedTranslationOnly) {
    struct Case {
        const char* name;
        const wchar_t* file;
        const wchar_t* string;
        size_t chars;
        const wchar_t* text;
    } cases[] = {
        {"company", L"ovtest_version530.dll", L"CompanyName", 64, L"Fixture Maker"},
        {"file version", L"ovtest_version530.dll", L"FileVersion", 64, L"5.30.0.0"},
        {"absent name", L"ovtest_version530.dll", L"PrivateBuild", 64, L""},
        {"exact fit", L"ovtest_version530.dll", L"CompanyName", 14, L"Fixture Maker"},
        {"one char short", L"ovtest_version530.dll", L"CompanyName", 13, L""},
        {"first translation", L"ovtest_languages.dll", L"FileDescription", 64, L"Deutsche Beschreibung"},
        {"first translation again", L"ovtest_languages.dll", L"FileVersion", 64, L"2.1 Deutsch"},
        {"only in the second translation", L"ovtest_languages.dll", L"Comments", 64, L""},
        {"no version resource", L"ovtest_noversion.dll", L"FileVersion", 64, L""},
        {"no such file", L"ovtest_missing.dll", L"FileVersion", 64, L""},
    };
    for (const Case& c : cases) {
        wchar_t text[64];
        wmemset(text, L'x', 64);
        GetVersionInfoData(Fixture(c.file).c_str(), c.string, text, c.chars, nullptr);
        EXPECT_STREQ(c.text, text) << c.name;
    }
}

TEST(VersionInfo, NoOutputIsACallerError) {
    LogCapture log;
    wchar_t text[8];
    GetVersionInfoData(Fixture(L"ovtest_version530.dll").c_str(), L"FileVersion", text, 0, nullptr);
    EXPECT_TRUE(log.Has("(25520)")) << log.Text();
    EXPECT_TRUE(log.Has("GetVersionInfoData")) << log.Text();
}

TEST(VersionInfo, CheckFileVersionAgainstAMinimum) {
    const std::wstring v530 = Fixture(L"ovtest_version530.dll");
    const std::wstring none = Fixture(L"ovtest_noversion.dll");
    struct Case {
        const char* name;
        std::wstring file;
        unsigned major;
        unsigned minor;
        int result;
        std::string logged;  // what the report carries; empty: nothing reported
    } cases[] = {
        {"same version", v530, 5, 30, 0, ""},
        {"older minimum", v530, 5, 29, 0, ""},
        {"older major, larger minor", v530, 4, 99, 0, ""},
        {"newer minor", v530, 5, 31, 25008, Narrow(v530) + " 5.30"},
        {"newer major", v530, 6, 0, 25008, Narrow(v530) + " 5.30"},
        {"no version against 0.0", none, 0, 0, 0, ""},
        {"no version counts as 0.0", none, 0, 1, 25008, Narrow(none) + " 0.00"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        EXPECT_EQ(c.result, CheckFileVersion(c.file.c_str(), c.major, c.minor)) << c.name;
        EXPECT_EQ(!c.logged.empty(), log.Has("(25008)")) << c.name << "\n" << log.Text();
        if (!c.logged.empty()) {
            EXPECT_TRUE(log.Has(c.logged)) << c.name << "\n" << log.Text();
        }
    }
}

bool g_installRole = false;
const wchar_t* g_suiteVersion = nullptr;

bool FakeIsInstallRole() {
    return g_installRole;
}

bool FakeSuiteVersion(wchar_t* buffer, size_t chars) {
    return g_suiteVersion != nullptr && TextCopy(buffer, chars, g_suiteVersion);
}

class InstallerVersion : public ::testing::Test {
  protected:
    void TearDown() override { SetInstallerVersionHooks(InstallerVersionHooks{}); }
};

// The program's own "FileVersion" wins; without one, the installed suite's version is taken.
TEST_F(InstallerVersion, OnlyTheInstallRoleHasOne) {
    struct Case {
        const char* name;
        bool hooks;
        bool installRole;
        const wchar_t* suiteVersion;
        size_t chars;
        bool result;
    } cases[] = {
        {"no hooks", false, false, nullptr, 64, false},
        {"not installing", true, false, L"7.0.1", 64, false},
        {"installing", true, true, L"7.0.1", 64, true},
        {"installing, no installed suite", true, true, nullptr, 64, kOwnFileVersion != nullptr},
        {"exact fit", true, true, L"7.0.1",
         wcslen(kOwnFileVersion != nullptr ? kOwnFileVersion : L"7.0.1") + 1, true},
        {"one char short", true, true, L"7.0.1",
         wcslen(kOwnFileVersion != nullptr ? kOwnFileVersion : L"7.0.1"), false},
    };
    for (const Case& c : cases) {
        SetInstallerVersionHooks(c.hooks ? InstallerVersionHooks{FakeIsInstallRole, FakeSuiteVersion}
                                         : InstallerVersionHooks{});
        g_installRole = c.installRole;
        g_suiteVersion = c.suiteVersion;
        wchar_t buffer[64];
        wmemset(buffer, L'x', 64);
        EXPECT_EQ(c.result, GetMainInstallerVersion(buffer, c.chars)) << c.name;
        const wchar_t* expected = !c.result                    ? L""
                                  : kOwnFileVersion != nullptr ? kOwnFileVersion
                                                               : c.suiteVersion;
        EXPECT_STREQ(expected, buffer) << c.name;
    }
}

TEST_F(InstallerVersion, AbsentBufferIsACallerError) {
    LogCapture log;
    EXPECT_FALSE(GetMainInstallerVersion(nullptr, 64));
    EXPECT_TRUE(log.Has("(25520)")) << log.Text();
    EXPECT_TRUE(log.Has("GetMainInstallerVersion")) << log.Text();
}

}  // namespace
