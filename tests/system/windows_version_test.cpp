// Windows identification: the decisions on version records, and what the kept answers say on the
// Windows that Wine's version emulation presents (the program runs as win98, winme, nt40, ...).
#include <gtest/gtest.h>

#include <string>

#include "host/system.h"
#include "support/test_support.h"
#include "system_fixture.h"

namespace {

using systemtest::MachineTest;

OSVERSIONINFOEXW Record(DWORD platform, DWORD major, DWORD minor, DWORD build, const wchar_t* servicePack) {
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    version.dwPlatformId = platform;
    version.dwMajorVersion = major;
    version.dwMinorVersion = minor;
    version.dwBuildNumber = build;
    wcscpy(version.szCSDVersion, servicePack);
    return version;
}

const DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
const DWORD kNT = VER_PLATFORM_WIN32_NT;

TEST(WindowsVersion, IdNamesAndDescriptionOfVersionRecords) {
    struct Case {
        const char* name;
        OSVERSIONINFOEXW version;
        bool server;
        int id;
        const wchar_t* shortName;
        const wchar_t* description;
    };
    const Case cases[] = {
        {"95", Record(k9x, 4, 0, 0x040003B6, L""), false, kWindows95, L"95", L"Windows 95 (4.00.950)"},
        {"95 OSR2", Record(k9x, 4, 0, 0x04000457, L" B"), false, kWindows95, L"95",
         L"Windows 95 (4.00.1111) +  B"},
        {"98", Record(k9x, 4, 10, 0x040A07CE, L""), false, kWindows98, L"98", L"Windows 98 (4.10.1998)"},
        {"98 SE", Record(k9x, 4, 10, 0x040A08AE, L" A "), false, kWindows98, L"98",
         L"Windows 98 (4.10.2222) +  A "},
        {"ME", Record(k9x, 4, 90, 0x045A0BB8, L""), false, kWindowsME, L"ME", L"Windows ME (4.90.3000)"},
        // The build number's high word tells ME apart when the minor version reads 10.
        {"ME reported as 4.10", Record(k9x, 4, 10, 0x045A0BB8, L""), false, kWindowsME, L"ME",
         L"Windows ME (4.10.3000)"},
        {"9x minor 0 keeps 95 despite the build", Record(k9x, 4, 0, 0x045A0BB8, L""), false, kWindows95,
         L"95", L"Windows 95 (4.00.3000)"},
        {"9x other major", Record(k9x, 5, 10, 0, L""), false, kWindows95, L"95", L"Windows 95 (5.10.0)"},
        {"NT 3.51", Record(kNT, 3, 51, 1057, L"Service Pack 5"), false, kWindowsNT4, L"NT",
         L"Windows NT 3.51 (1057) + Service Pack 5"},
        {"NT 4.0 SP6", Record(kNT, 4, 0, 1381, L"Service Pack 6"), false, kWindowsNT4, L"NT",
         L"Windows NT 4.00 (1381) + Service Pack 6"},
        {"NT 4.0 server", Record(kNT, 4, 0, 1381, L""), true, kWindowsNT4, L"NT",
         L"Windows NT Server 4.00 (1381)"},
        {"2000 SP4", Record(kNT, 5, 0, 2195, L"Service Pack 4"), false, kWindows2000, L"2000",
         L"Windows 2000 (5.00.2195) + Service Pack 4"},
        {"XP SP2", Record(kNT, 5, 1, 2600, L"Service Pack 2"), false, kWindowsXP, L"XP",
         L"Windows XP (5.01.2600) + Service Pack 2"},
        {"Server 2003", Record(kNT, 5, 2, 3790, L""), true, kWindows2003, L"2003",
         L"Windows .NET Server (5.02.3790)"},
        {"NT 5.3", Record(kNT, 5, 3, 4000, L""), false, kWindowsNT4, L"NT", L"Windows NT 5.03 (4000)"},
        {"Vista", Record(kNT, 6, 0, 6000, L""), false, kWindowsNT4, L"NT", L"Windows NT 6.00 (6000)"},
        {"Win32s", Record(VER_PLATFORM_WIN32s, 3, 10, 0x0A03, L""), false, kWindowsOther, L"",
         L"OSID=0 (3.10.2563)"},
        {"unknown platform", Record(7, 1, 2, 3, L""), false, kWindowsOther, L"", L"OSID=7 (1.02.3)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.id, WindowsIdFromVersion(c.version));
        EXPECT_STREQ(c.shortName, WindowsShortNameFromId(c.id));
        wchar_t text[384];
        DescribeOperatingSystem(c.version, c.server, text, 384);
        EXPECT_STREQ(c.description, text);
    }
    EXPECT_STREQ(L"Windows .NET", WindowsNameFromId(kWindows2003));
    EXPECT_STREQ(L"", WindowsNameFromId(8));
    EXPECT_STREQ(L"", WindowsShortNameFromId(-1));
}

TEST(WindowsVersion, DescriptionIsCutToSmallBuffers) {
    OSVERSIONINFOEXW xp = Record(kNT, 5, 1, 2600, L"Service Pack 2");
    // A service-pack text that fills the whole field, without terminator, is read no further.
    for (wchar_t& c : xp.szCSDVersion)
        c = L'S';
    for (size_t chars = 1; chars <= 5; ++chars) {
        wchar_t text[8];
        wmemset(text, L'#', 8);
        DescribeOperatingSystem(xp, false, text, chars);
        EXPECT_EQ(std::wstring(L"Windows XP").substr(0, chars - 1), text) << "chars " << chars;
        EXPECT_EQ(L'#', text[chars]) << "chars " << chars;
    }
    wchar_t full[384];
    DescribeOperatingSystem(xp, false, full, 384);
    EXPECT_EQ(L"Windows XP (5.01.2600) + " + std::wstring(128, L'S'), full);
}

// What the emulated Windows reports, against what the kept answers make of it.
TEST(WindowsVersion, KeptAnswersMatchTheRunningWindows) {
    ResetSystemCachesForTests();
    OSVERSIONINFOEXW system = systemtest::QueryVersion();
    const OSVERSIONINFOEXW* kept = GetOsVersionInfo();
    ASSERT_NE(nullptr, kept);
    EXPECT_EQ(system.dwPlatformId, kept->dwPlatformId);
    EXPECT_EQ(system.dwMajorVersion, kept->dwMajorVersion);
    EXPECT_EQ(system.dwMinorVersion, kept->dwMinorVersion);
    EXPECT_EQ(system.dwBuildNumber, kept->dwBuildNumber);
    EXPECT_STREQ(system.szCSDVersion, kept->szCSDVersion);
    EXPECT_EQ(kept, GetOsVersionInfo()) << "the record is kept";

    struct Expected {
        const wchar_t* winver;
        int id;
        const wchar_t* shortName;
        const wchar_t* descriptionStart;
        bool nineX;
    };
    // Wine's default presents a later NT (6.1 here), which counts as "NT".
    const Expected table[] = {
        {L"", kWindowsNT4, L"NT", L"Windows NT ", false},
        {L"win98", kWindows98, L"98", L"Windows 98 (4.10.", true},
        {L"winme", kWindowsME, L"ME", L"Windows ME (4.90.", true},
        {L"nt40", kWindowsNT4, L"NT", L"Windows NT 4.00 (1381)", false},
        {L"win2k", kWindows2000, L"2000", L"Windows 2000 (5.00.2195)", false},
        {L"winxp", kWindowsXP, L"XP", L"Windows XP (5.01.2600)", false},
    };
    wchar_t winver[16] = {};
    GetEnvironmentVariableW(L"OV_WINVER", winver, 16);
    const Expected* expected = nullptr;
    for (const Expected& e : table) {
        if (wcscmp(e.winver, winver) == 0)
            expected = &e;
    }
    ASSERT_NE(nullptr, expected) << "no expectation for OV_WINVER=" << ovtest::Narrow(winver);
    SCOPED_TRACE(ovtest::Narrow(winver));

    EXPECT_EQ(expected->id, GetWindowsId());
    EXPECT_EQ(expected->nineX, IsWindows9x());
    EXPECT_EQ(!expected->nineX, IsWindowsNT());
    wchar_t text[384];
    EXPECT_TRUE(GetWindowsShortName(text, 384));
    EXPECT_STREQ(expected->shortName, text);
    EXPECT_TRUE(GetOperatingSystemDescription(text, 384));
    EXPECT_TRUE(systemtest::StartsWith(text, expected->descriptionStart)) << ovtest::Narrow(text);
    if (system.szCSDVersion[0] != L'\0') {
        std::wstring description = text;
        std::wstring servicePack = std::wstring(L" + ") + system.szCSDVersion;
        EXPECT_EQ(servicePack, description.substr(description.size() - servicePack.size()));
    }
    // The prefix's ProductType is "WinNT": a workstation.
    EXPECT_FALSE(IsNtServer());
    EXPECT_TRUE(GetWindowsName(text, 384));
    EXPECT_STREQ(WindowsNameFromId(expected->id), text);

    // Truncating copies, and absent buffers, of the kept names.
    wchar_t small[3];
    GetWindowsName(small, 3);
    EXPECT_STREQ(L"Wi", small);
    EXPECT_FALSE(GetOperatingSystemDescription(nullptr, 10));
    EXPECT_FALSE(GetWindowsShortName(text, 0));
}

TEST_F(MachineTest, ServerIsTheNtFamilyWithAProductTypeOtherThanWinNT) {
    const wchar_t kKey[] = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
    bool nt = !systemtest::RunsAs9x();
    struct Case {
        const wchar_t* productType;  // null: no value
        bool server;
    };
    const Case cases[] = {{nullptr, false},  {L"WinNT", false}, {L"WINNT", false},
                          {L"ServerNT", nt}, {L"LanmanNT", nt}, {L"", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.productType == nullptr ? "absent" : ovtest::Narrow(c.productType));
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
        if (c.productType != nullptr)
            ovtest::SetRegString(HKEY_LOCAL_MACHINE, kKey, L"ProductType", c.productType);
        ResetSystemCachesForTests();
        EXPECT_EQ(c.server, IsNtServer());
        wchar_t name[384];
        GetWindowsName(name, 384);
        EXPECT_EQ(c.server, std::wstring(name).find(L" Server") != std::wstring::npos)
            << ovtest::Narrow(name);
    }
}

}  // namespace
