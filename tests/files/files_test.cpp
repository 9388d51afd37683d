#include <gtest/gtest.h>

#include "files_fixture.h"
#include "host/files.h"
#include "host/text.h"
#include "support/test_support.h"

using filestest::LogCapture;
using filestest::MakeDir;
using filestest::MakeFile;
using ovtest::PathExists;
using ovtest::ReadFileBytes;
using ovtest::ScratchDir;

namespace {

DWORD Attributes(const std::wstring& path) {
    return GetFileAttributesW(path.c_str());
}

TEST(FileExists, RootsAndTrailingBackslashesDoNotCount) {
    ScratchDir dir;
    MakeFile(dir / L"a.txt", "a");
    struct Case {
        const char* name;
        std::wstring path;
        bool exists;
    } cases[] = {
        {"drive root", L"C:\\", false},
        {"directory", dir.path(), true},
        {"directory with trailing backslash", dir.path() + L"\\", false},
        {"file", dir / L"a.txt", true},
        {"wildcard", dir / L"*.txt", true},
        {"wildcard without match", dir / L"*.dll", false},
        {"missing", dir / L"b.txt", false},
        {"empty", L"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.exists, FileExists(c.path.c_str())) << c.name;
    }
    EXPECT_FALSE(FileExists(nullptr));
}

TEST(CreateDirectoryPath, CreatesEveryLevel) {
    ScratchDir dir;
    std::wstring deep = dir / L"a\\b\\c";
    EXPECT_TRUE(CreateDirectoryPath(deep.c_str()));
    EXPECT_TRUE(Attributes(deep) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(CreateDirectoryPath(deep.c_str())) << "existing";
    EXPECT_TRUE(CreateDirectoryPath((dir / L"x\\y\\").c_str())) << "trailing backslash";
    EXPECT_TRUE(Attributes(dir / L"x\\y") & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(CreateDirectoryPath, FailureBelowAFileIsReported) {
    ScratchDir dir;
    LogCapture log;
    MakeFile(dir / L"file", "x");
    EXPECT_FALSE(CreateDirectoryPath((dir / L"file\\sub").c_str()));
    EXPECT_TRUE(log.HasReport(25516));
}

TEST(CopyFileChecked, OverReadOnlyDestinationKeepsItReadOnly) {
    ScratchDir dir;
    MakeDir(dir / L"src");
    MakeDir(dir / L"dst");
    MakeFile(dir / L"src\\a.dll", "new");
    MakeFile(dir / L"dst\\a.dll", "old", FILE_ATTRIBUTE_READONLY);
    wchar_t record[kPathChars] = L"";
    EXPECT_TRUE(CopyFileChecked((dir / L"src").c_str(), (dir / L"dst").c_str(), L"a.dll", nullptr, record));
    EXPECT_EQ("new", ReadFileBytes(dir / L"dst\\a.dll"));
    EXPECT_TRUE(Attributes(dir / L"dst\\a.dll") & FILE_ATTRIBUTE_READONLY);
    EXPECT_STREQ(L"", record);

    EXPECT_TRUE(CopyFileChecked((dir / L"src").c_str(), (dir / L"dst").c_str(), L"a.dll", L"b.dll", nullptr));
    EXPECT_EQ("new", ReadFileBytes(dir / L"dst\\b.dll")) << "destination name";
    EXPECT_TRUE(CopyFileChecked((dir / L"src").c_str(), (dir / L"dst").c_str(), L"a.dll", L"", nullptr));
}

TEST(CopyFileChecked, FailureFillsRecordOnceAndIsReported) {
    ScratchDir dir;
    LogCapture log;
    MakeDir(dir / L"dst");
    MakeFile(dir / L"dst\\gone.dll", "old", FILE_ATTRIBUTE_READONLY);
    wchar_t record[kPathChars] = L"";
    EXPECT_FALSE(CopyFileChecked(dir.path().c_str(), (dir / L"dst").c_str(), L"gone.dll", nullptr, record));
    EXPECT_STREQ(L"gone.dll", record);
    EXPECT_TRUE(log.HasReport(25033));
    EXPECT_TRUE(Attributes(dir / L"dst\\gone.dll") & FILE_ATTRIBUTE_READONLY)
        << "restored after a failed copy";

    EXPECT_FALSE(CopyFileChecked(dir.path().c_str(), (dir / L"dst").c_str(), L"other.dll", nullptr, record));
    EXPECT_STREQ(L"gone.dll", record) << "the first failure stays";

    std::wstring longName(kPathChars, L'n');
    EXPECT_FALSE(CopyFileChecked(dir.path().c_str(), dir.path().c_str(), longName.c_str(), nullptr, nullptr));
    EXPECT_FALSE(CopyFileChecked(nullptr, dir.path().c_str(), L"a", nullptr, nullptr));
}

TEST(DeleteFileOrDefer, DeletesReadOnlyFilesAndRefusesDirectories) {
    ScratchDir dir;
    MakeFile(dir / L"ro.txt", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(DeleteFileOrDefer((dir / L"ro.txt").c_str()));
    EXPECT_FALSE(PathExists(dir / L"ro.txt"));

    MakeDir(dir / L"sub");
    EXPECT_FALSE(DeleteFileOrDefer((dir / L"sub").c_str()));
    EXPECT_TRUE(PathExists(dir / L"sub")) << "a directory is not renamed aside as if in use";
    EXPECT_FALSE(PathExists(dir / L"sub.1"));

    EXPECT_FALSE(DeleteFileOrDefer(L""));
    EXPECT_FALSE(DeleteFileOrDefer(nullptr));
}

// root\f1, root\f2 (read-only, hidden), root\sub\f3, root\sub\deeper\f4 (read-only), the last
// directory read-only too.
void MakeTree(const std::wstring& root) {
    MakeDir(root);
    MakeFile(root + L"\\f1", "1");
    MakeFile(root + L"\\f2", "2", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    MakeDir(root + L"\\sub");
    MakeFile(root + L"\\sub\\f3", "3");
    MakeDir(root + L"\\sub\\deeper");
    MakeFile(root + L"\\sub\\deeper\\f4", "4", FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((root + L"\\sub\\deeper").c_str(), FILE_ATTRIBUTE_READONLY);
}

TEST(DeleteDirectoryTree, WithoutRemoveDirectoriesOnlyTheFilesDirectlyInside) {
    ScratchDir dir;
    std::wstring root = dir / L"root";
    MakeTree(root);
    EXPECT_TRUE(DeleteDirectoryTree(root.c_str(), false, nullptr));
    EXPECT_FALSE(PathExists(root + L"\\f1"));
    EXPECT_FALSE(PathExists(root + L"\\f2"));
    EXPECT_TRUE(PathExists(root + L"\\sub\\f3"));
    EXPECT_TRUE(PathExists(root + L"\\sub\\deeper\\f4"));
    EXPECT_TRUE(PathExists(root));
}

TEST(DeleteDirectoryTree, WithRemoveDirectoriesEverything) {
    ScratchDir dir;
    std::wstring root = dir / L"root";
    MakeTree(root);
    wchar_t record[kPathChars] = L"";
    EXPECT_TRUE(DeleteDirectoryTree(root.c_str(), true, record));
    EXPECT_FALSE(PathExists(root));
    EXPECT_STREQ(L"", record);
    EXPECT_TRUE(DeleteDirectoryTree((dir / L"missing").c_str(), true, nullptr)) << "nothing to delete";
}

TEST(DeleteDirectoryTree, BadDirectoryFailsAndIsReported) {
    ScratchDir dir;
    LogCapture log;
    std::wstring tooLong = dir.path() + L"\\" + std::wstring(kPathChars, L'd');
    wchar_t record[kPathChars] = L"";
    EXPECT_FALSE(DeleteDirectoryTree(tooLong.c_str(), true, record));
    EXPECT_TRUE(log.HasReport(25036));
    EXPECT_NE(L'\0', record[0]);
    EXPECT_FALSE(DeleteDirectoryTree(L"", false, nullptr));
}

TEST(RemoveEmptyDirectories, WalkUpStopsAtTheFirstDirectoryInUse) {
    ScratchDir dir;
    MakeFile(dir / L"keep", "k");  // the scratch folder itself must survive the walk
    MakeDir(dir / L"A");
    MakeDir(dir / L"A\\B");
    MakeDir(dir / L"A\\B\\C");
    MakeFile(dir / L"A\\B\\file", "f");
    EXPECT_TRUE(RemoveEmptyDirectories((dir / L"A\\B\\C").c_str(), true));
    EXPECT_FALSE(PathExists(dir / L"A\\B\\C"));
    EXPECT_TRUE(PathExists(dir / L"A\\B\\file"));

    DeleteFileW((dir / L"A\\B\\file").c_str());
    MakeDir(dir / L"A\\B\\C");
    SetFileAttributesW((dir / L"A\\B").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(RemoveEmptyDirectories((dir / L"A\\B\\C").c_str(), true));
    EXPECT_FALSE(PathExists(dir / L"A")) << "every emptied level goes, read-only or not";
    EXPECT_TRUE(PathExists(dir / L"keep"));
}

TEST(RemoveEmptyDirectories, WithoutWalkUpOneLevel) {
    ScratchDir dir;
    MakeDir(dir / L"A");
    MakeDir(dir / L"A\\B");
    EXPECT_TRUE(RemoveEmptyDirectories((dir / L"A\\B").c_str(), false));
    EXPECT_FALSE(PathExists(dir / L"A\\B"));
    EXPECT_TRUE(PathExists(dir / L"A"));
    EXPECT_TRUE(RemoveEmptyDirectories(dir.path().c_str(), false)) << "not empty is no failure";
    EXPECT_TRUE(PathExists(dir / L"A"));
}

TEST(DirectoryHasSubdirectories, Cases) {
    ScratchDir dir;
    MakeDir(dir / L"withSub");
    MakeDir(dir / L"withSub\\s");
    MakeDir(dir / L"withFiles");
    MakeFile(dir / L"withFiles\\f", "f");
    MakeDir(dir / L"empty");
    struct Case {
        const char* name;
        std::wstring path;
        bool expected;
    } cases[] = {
        {"sub directory", dir / L"withSub", true},
        {"files only", dir / L"withFiles", false},
        {"empty", dir / L"empty", false},
        {"missing", dir / L"missing", false},
        {"too long to search", dir.path() + L"\\" + std::wstring(kPathChars, L'x'), true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, DirectoryHasSubdirectories(c.path.c_str())) << c.name;
    }
}

}  // namespace
