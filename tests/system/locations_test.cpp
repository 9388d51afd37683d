// Where the program, Windows and the user's folders are: the real prefix, and registries arranged
// the way a 9x or an NT machine holds them.
#include <gtest/gtest.h>

#include <string>

#include "host/system.h"
#include "support/test_support.h"
#include "system_fixture.h"

namespace {

using ovtest::Narrow;
using ovtest::SetRegString;
using systemtest::MachineTest;

const wchar_t kShellFolders[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

bool SameNoCase(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

TEST(ProgramLocation, PathDirectoryAndNameOfTheRunningProgram) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    const wchar_t* path = GetCurrentAppPath();
    EXPECT_STREQ(module, path);
    std::wstring dir = GetCurrentAppDir();
    std::wstring name = GetCurrentAppModuleName();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(L'\\', dir.back());
    EXPECT_EQ(std::wstring(module), dir + L"\\" + name);
    EXPECT_EQ(std::wstring::npos, name.find(L'\\'));
    EXPECT_EQ(path, GetCurrentAppPath()) << "the kept text is handed out";
}

TEST(WindowsDirectories, WhatTheRealPrefixHolds) {
    ResetSystemCachesForTests();
    wchar_t dir[MAX_PATH];
    if (systemtest::RunsAs9x()) {
        // A Wine prefix keeps "SystemRoot" only at the NT location; a 9x machine has it elsewhere.
        EXPECT_FALSE(GetWinDir(dir, MAX_PATH));
        EXPECT_STREQ(L"", dir);
        EXPECT_FALSE(GetSystemDrive(dir, MAX_PATH));
    } else {
        ASSERT_TRUE(GetWinDir(dir, MAX_PATH));
        EXPECT_TRUE(SameNoCase(systemtest::SystemWindowsDir(), dir)) << Narrow(dir);
        ASSERT_TRUE(GetSystemDrive(dir, MAX_PATH));
        EXPECT_STREQ(L"C:", dir);
    }
    // The system's own answer comes first, on either family.
    ASSERT_TRUE(GetWinSysDir(dir, MAX_PATH));
    EXPECT_EQ(systemtest::SystemSystemDir(), dir);
    ASSERT_TRUE(GetProgramFilesDir(dir, MAX_PATH));
    std::wstring programFiles;
    ASSERT_TRUE(ovtest::GetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                     L"ProgramFilesDir", &programFiles));
    EXPECT_EQ(programFiles, dir);
    ResetSystemCachesForTests();
}

TEST_F(MachineTest, WindowsDirectoryIsReadAtTheFamilysLocation) {
    SetWindowsDir(L"D:\\WIN9X", L"E:\\WINNT");
    SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir",
                 L"F:\\Programs");
    bool nineX = systemtest::RunsAs9x();
    const wchar_t* expected = nineX ? L"D:\\WIN9X" : L"E:\\WINNT";

    wchar_t dir[MAX_PATH];
    ASSERT_TRUE(GetWinDir(dir, MAX_PATH));
    EXPECT_STREQ(expected, dir);
    ASSERT_TRUE(GetSystemDrive(dir, MAX_PATH));
    EXPECT_STREQ(nineX ? L"D:" : L"E:", dir);
    ASSERT_TRUE(GetProgramFilesDir(dir, MAX_PATH));
    EXPECT_STREQ(L"F:\\Programs", dir);

    // Exact copies: the whole text or an empty buffer.
    wchar_t small[9];
    EXPECT_FALSE(GetWinDir(small, 8));
    EXPECT_STREQ(L"", small);
    EXPECT_TRUE(GetWinDir(small, 9));
    EXPECT_STREQ(expected, small);
    EXPECT_FALSE(GetWinDir(nullptr, MAX_PATH));
    EXPECT_FALSE(GetProgramFilesDir(dir, 0));
    wchar_t drive[3];
    EXPECT_FALSE(GetSystemDrive(drive, 2));
    EXPECT_STREQ(L"", drive);

    // Once known, the answer is kept for the process.
    SetWindowsDir(L"X:\\OTHER", L"X:\\OTHER");
    ASSERT_TRUE(GetWinDir(dir, MAX_PATH));
    EXPECT_STREQ(expected, dir);
}

TEST_F(MachineTest, UnknownWindowsDirectoryIsAskedAgainLater) {
    wchar_t dir[MAX_PATH];
    EXPECT_FALSE(GetWinDir(dir, MAX_PATH));
    EXPECT_STREQ(L"", dir);
    EXPECT_FALSE(GetSystemDrive(dir, MAX_PATH));
    EXPECT_FALSE(GetProgramFilesDir(dir, MAX_PATH));

    SetWindowsDir(L"\\\\server\\windows", L"\\\\server\\windows");
    ASSERT_TRUE(GetWinDir(dir, MAX_PATH));
    EXPECT_STREQ(L"\\\\server\\windows", dir);
    // No drive letter to be had from a network path.
    EXPECT_FALSE(GetSystemDrive(dir, MAX_PATH));
    EXPECT_STREQ(L"", dir);
}

TEST(WindowsDirectories, SystemDirectoryBelowTheWindowsDirectory) {
    struct Case {
        const char* name;
        const wchar_t* winDir;
        DWORD platform;
        size_t chars;
        bool ok;
        const wchar_t* expected;
    };
    const std::wstring longDir = L"C:\\" + std::wstring(249, L'w');  // 252 chars
    const Case cases[] = {
        {"9x", L"C:\\WINDOWS", VER_PLATFORM_WIN32_WINDOWS, MAX_PATH, true, L"C:\\WINDOWS\\System"},
        {"NT", L"C:\\WINNT", VER_PLATFORM_WIN32_NT, MAX_PATH, true, L"C:\\WINNT\\System32"},
        {"root", L"C:\\", VER_PLATFORM_WIN32_NT, MAX_PATH, true, L"C:\\System32"},
        {"other platform", L"C:\\WINDOWS", VER_PLATFORM_WIN32s, MAX_PATH, false, L""},
        {"no Windows directory", L"", VER_PLATFORM_WIN32_NT, MAX_PATH, false, L""},
        {"fits the caller exactly", L"C:\\W", VER_PLATFORM_WIN32_WINDOWS, 12, true, L"C:\\W\\System"},
        {"one char short", L"C:\\W", VER_PLATFORM_WIN32_WINDOWS, 11, false, L""},
        {"9x within 260", longDir.c_str(), VER_PLATFORM_WIN32_WINDOWS, 1000, true, nullptr},
        {"NT beyond 260", longDir.c_str(), VER_PLATFORM_WIN32_NT, 1000, false, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wchar_t buffer[1000];
        wmemset(buffer, L'#', 1000);
        EXPECT_EQ(c.ok, SystemDirectoryBelow(buffer, c.chars, c.winDir, c.platform));
        std::wstring expected = c.expected != nullptr ? c.expected : longDir + L"\\System";
        EXPECT_EQ(expected, buffer);
    }
}

TEST_F(MachineTest, ShellFoldersAreReturnedAsStored) {
    SetRegString(HKEY_CURRENT_USER, kShellFolders, L"Programs", L"C:\\Me\\Start Menu\\Programs");
    SetRegString(HKEY_CURRENT_USER, kShellFolders, L"Desktop", L"C:\\Me\\Desktop");
    systemtest::SetRegExpandString(HKEY_CURRENT_USER, kShellFolders, L"Personal",
                                   L"%USERPROFILE%\\My Documents");
    SetRegString(HKEY_LOCAL_MACHINE, kShellFolders, L"Common Programs", L"C:\\All\\Start Menu\\Programs");
    SetRegString(HKEY_LOCAL_MACHINE, kShellFolders, L"Common Desktop", L"C:\\All\\Desktop");
    systemtest::SetRegExpandString(HKEY_LOCAL_MACHINE, kProfileList, L"ProfilesDirectory",
                                   L"%SystemDrive%\\Documents and Settings");
    // The 9x family has no common folders: the user's are taken.
    bool common = !systemtest::RunsAs9x();

    typedef bool (*Folder)(wchar_t*, size_t, bool);
    struct Case {
        const char* name;
        Folder folder;
        bool allUsers;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"programs", GetStartProgramsDir, false, L"C:\\Me\\Start Menu\\Programs"},
        {"common programs", GetStartProgramsDir, true,
         common ? L"C:\\All\\Start Menu\\Programs" : L"C:\\Me\\Start Menu\\Programs"},
        {"desktop", GetDesktopDir, false, L"C:\\Me\\Desktop"},
        {"common desktop", GetDesktopDir, true, common ? L"C:\\All\\Desktop" : L"C:\\Me\\Desktop"},
        {"documents", GetDocumentsDir, false, L"%USERPROFILE%\\My Documents"},
        // The profiles root, on either family.
        {"all users' documents", GetDocumentsDir, true, L"%SystemDrive%\\Documents and Settings"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wchar_t buffer[MAX_PATH];
        EXPECT_TRUE(c.folder(buffer, MAX_PATH, c.allUsers));
        EXPECT_STREQ(c.expected, buffer);
        // Too small a buffer, or none: false and nothing half-copied.
        size_t exact = wcslen(c.expected) + 1;
        EXPECT_FALSE(c.folder(buffer, exact - 1, c.allUsers));
        EXPECT_STREQ(L"", buffer);
        EXPECT_TRUE(c.folder(buffer, exact, c.allUsers));
        EXPECT_FALSE(c.folder(nullptr, MAX_PATH, c.allUsers));
        EXPECT_FALSE(c.folder(buffer, 0, c.allUsers));
    }
}

TEST_F(MachineTest, MissingShellFoldersAreEmpty) {
    typedef bool (*Folder)(wchar_t*, size_t, bool);
    const Folder folders[] = {GetStartProgramsDir, GetDesktopDir};
    for (Folder folder : folders) {
        for (bool allUsers : {false, true}) {
            wchar_t buffer[MAX_PATH];
            wmemset(buffer, L'#', MAX_PATH);
            EXPECT_FALSE(folder(buffer, MAX_PATH, allUsers));
            EXPECT_STREQ(L"", buffer);
        }
    }
    wchar_t buffer[MAX_PATH];
    EXPECT_FALSE(GetDocumentsDir(buffer, MAX_PATH, false));
    EXPECT_STREQ(L"", buffer);
}

// Without a profiles root, the default user's documents folder stands in.
TEST_F(MachineTest, AllUsersDocumentsFallBackToTheDefaultUser) {
    HKEY users = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(registry_->hkcu(), L"Users", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &users, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_USERS, users));
    wchar_t buffer[MAX_PATH];
    EXPECT_FALSE(GetDocumentsDir(buffer, MAX_PATH, true));
    EXPECT_STREQ(L"", buffer);
    SetRegString(HKEY_USERS, std::wstring(L".DEFAULT\\") + kShellFolders, L"Personal",
                 L"C:\\Default\\Documents");
    EXPECT_TRUE(GetDocumentsDir(buffer, MAX_PATH, true));
    EXPECT_STREQ(L"C:\\Default\\Documents", buffer);
    RegOverridePredefKey(HKEY_USERS, nullptr);
    RegCloseKey(users);
}

TEST(LocalDateTime, DateCommaTimeAlwaysTerminated) {
    wchar_t text[200];
    std::wstring full = GetLocalDateTimeString(text, 200);
    EXPECT_NE(std::wstring::npos, full.find(L", ")) << Narrow(full);
    EXPECT_GT(full.size(), 4u);
    wchar_t small[6];
    wmemset(small, L'#', 6);
    EXPECT_EQ(small, GetLocalDateTimeString(small, 5));
    EXPECT_EQ(full.substr(0, 4), small);
    EXPECT_EQ(L'#', small[5]);
    EXPECT_STREQ(L"", GetLocalDateTimeString(nullptr, 10));
}

}  // namespace
