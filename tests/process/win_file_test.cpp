#include <gtest/gtest.h>

#include <string>

#include "host/win_file.h"
#include "support/test_support.h"

namespace {

using ovtest::ReadFileBytes;
using ovtest::WriteFileBytes;

std::string ReadAll(WinFile* file) {
    DWORD size = 0;
    if (!file->GetSize(&size))
        return "<no size>";
    std::string bytes(size, '\0');
    DWORD got = 0;
    if (size != 0 && (!file->ReadAt(0, &bytes[0], size, &got) || got != size))
        return "<read failed>";
    return bytes;
}

TEST(WinFile, ModesOpenCreateOrTruncate) {
    ovtest::ScratchDir dir;
    struct Case {
        int mode;
        bool exists;  // before Open
        bool opens;
        const char* afterOpen;  // the file's bytes right after Open (null: no file)
        bool writable;
    };
    const Case cases[] = {
        {1, false, false, nullptr, false}, {1, true, true, "old", false},     {2, false, true, "", true},
        {2, true, true, "", true},         {3, false, true, "", true},        {3, true, true, "old", true},
        {0, true, true, "old", false},     {7, false, false, nullptr, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::wstring path = dir / (L"file" + std::to_wstring(n++) + L".txt");
        if (c.exists) {
            ASSERT_TRUE(WriteFileBytes(path, "old"));
        }
        std::string what =
            "mode " + std::to_string(c.mode) + (c.exists ? " on existing file" : " on missing file");
        WinFile file;
        EXPECT_EQ(c.opens, file.Open(path.c_str(), c.mode)) << what;
        if (c.afterOpen == nullptr) {
            EXPECT_FALSE(ovtest::PathExists(path)) << what;
            continue;
        }
        EXPECT_EQ(c.afterOpen, ReadFileBytes(path)) << what;
        EXPECT_EQ(c.writable, file.WriteAt(0, "new", 3)) << what;
    }
}

TEST(WinFile, OthersMayReadButNotWrite) {
    ovtest::ScratchDir dir;
    std::wstring path = dir / L"shared.txt";
    WinFile file;
    ASSERT_TRUE(file.Open(path.c_str(), WinFile::kReadWrite));
    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, reader);
    if (reader != INVALID_HANDLE_VALUE)
        CloseHandle(reader);
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);

    // A second Open gives the first file free.
    ASSERT_TRUE(file.Open((dir / L"other.txt").c_str(), WinFile::kReadWrite));
    writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, writer) << "the first handle was left open";
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
}

TEST(WinFile, ReadsAndWritesAtOffsets) {
    ovtest::ScratchDir dir;
    std::wstring path = dir / L"data.bin";
    WinFile file;
    ASSERT_TRUE(file.Open(path.c_str(), WinFile::kReadWrite));
    ASSERT_TRUE(file.WriteAt(0, "0123456789", 10));
    ASSERT_TRUE(file.WriteAt(4, "ab", 2));
    EXPECT_EQ("0123ab6789", ReadAll(&file));

    char buffer[8] = {};
    DWORD got = 99;
    EXPECT_TRUE(file.ReadAt(8, buffer, 8, &got));
    EXPECT_EQ(2u, got) << "short read at the end";
    EXPECT_EQ("89", std::string(buffer, got));
    got = 99;
    EXPECT_TRUE(file.ReadAt(10, buffer, 8, &got)) << "at the end";
    EXPECT_EQ(0u, got);
    got = 99;
    EXPECT_TRUE(file.ReadAt(5000, buffer, 8, &got)) << "beyond the end";
    EXPECT_EQ(0u, got);
    EXPECT_TRUE(file.ReadAt(0, buffer, 4, nullptr)) << "the count is optional";

    // Writing past the end fills the gap with zeros.
    ASSERT_TRUE(file.WriteAt(12, "Z", 1));
    EXPECT_EQ(std::string("0123ab6789\0\0Z", 13), ReadAll(&file));
}

TEST(WinFile, SizeFollowsSetSize) {
    ovtest::ScratchDir dir;
    std::wstring path = dir / L"size.bin";
    ASSERT_TRUE(WriteFileBytes(path, "0123456789"));
    WinFile file;
    ASSERT_TRUE(file.Open(path.c_str(), WinFile::kReadWrite));
    DWORD size = 0;
    EXPECT_TRUE(file.GetSize(&size));
    EXPECT_EQ(10u, size);
    EXPECT_TRUE(file.SetSize(4));
    EXPECT_EQ("0123", ReadAll(&file));
    EXPECT_TRUE(file.SetSize(6));
    EXPECT_EQ(std::string("0123\0\0", 6), ReadAll(&file));
    file.Close();
    EXPECT_EQ(std::string("0123\0\0", 6), ReadFileBytes(path));
}

TEST(WinFile, EverythingFailsWithoutAHandle) {
    ovtest::ScratchDir dir;
    WinFile file;
    char buffer[4];
    DWORD value = 7;
    EXPECT_FALSE(file.ReadAt(0, buffer, 4, &value));
    EXPECT_EQ(0u, value);
    EXPECT_FALSE(file.WriteAt(0, "x", 1));
    EXPECT_FALSE(file.GetSize(&value));
    EXPECT_FALSE(file.SetSize(0));
    EXPECT_FALSE(file.Open(nullptr, WinFile::kReadWrite));
    ASSERT_TRUE(file.Open((dir / L"closed.txt").c_str(), WinFile::kReadWrite));
    file.Close();
    file.Close();
    EXPECT_FALSE(file.WriteAt(0, "x", 1)) << "after Close";
    EXPECT_EQ(0, file.Reserved(1, 2));
}

}  // namespace
