#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"
#include "ui/resource_string.h"

using ovtest::Narrow;

namespace {

std::wstring Load(HMODULE module, unsigned id, size_t chars = 256) {
    std::wstring buffer(chars + 1, L'#');
    size_t length = LoadResourceString(module, id, &buffer[0], chars);
    std::wstring text = buffer.c_str();
    EXPECT_EQ(text.size(), length) << "id " << id;
    return text;
}

// kestrares.dll lies in the bin folder, the test program's directory; the program's own table
// holds 25502, 30001 and 30002 (log_test.rc).
TEST(ResourceString, LooksUpInOrderAndCuts) {
    HMODULE self = GetModuleHandleW(nullptr);
    struct Case {
        const char* name;
        HMODULE module;
        unsigned id;
        size_t chars;
        const wchar_t* expected;
    } cases[] = {
        {"string library", nullptr, 25501, 256, L"Setup log opened"},
        {"string library before own table", nullptr, 25502, 256, L"Setup finished"},
        {"own table last", nullptr, 30002, 256, L"Only in the program"},
        {"given module only", self, 25501, 256, L""},
        {"given module", self, 25502, 256, L"Own closing text"},
        {"nowhere", nullptr, 31999, 256, L""},
        {"cut to the buffer", nullptr, 25501, 5, L"Setu"},
        {"room for the terminator only", nullptr, 25501, 1, L""},
        {"id above 16 bits does not alias", nullptr, 0x10000 + 25501, 256, L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Narrow(c.expected), Narrow(Load(c.module, c.id, c.chars))) << c.name;
    }
}

TEST(ResourceString, AbsentBufferAndLastError) {
    wchar_t buffer[8] = L"x";
    EXPECT_EQ(0u, LoadResourceString(nullptr, 25501, nullptr, 8));
    EXPECT_EQ(0u, LoadResourceString(nullptr, 25501, buffer, 0));
    EXPECT_STREQ(L"x", buffer);

    SetLastError(1234);
    Load(nullptr, 31999);  // misses everywhere, loading and freeing both libraries
    EXPECT_EQ(1234u, GetLastError());
}

int FrameworkSource(unsigned id, wchar_t* buffer, int chars) {
    if (id != 25501) {
        return 0;
    }
    lstrcpynW(buffer, L"From the framework", chars);
    return lstrlenW(buffer);
}

TEST(ResourceString, FrameworkAnswersFirstWhileRegistered) {
    SetFrameworkStringSource(FrameworkSource);
    std::wstring fromFramework = Load(nullptr, 25501);
    std::wstring fallThrough = Load(nullptr, 25502);
    std::wstring givenModule = Load(GetModuleHandleW(nullptr), 25501);
    SetFrameworkStringSource(nullptr);

    EXPECT_EQ(L"From the framework", fromFramework);
    EXPECT_EQ(L"Setup finished", fallThrough);
    EXPECT_EQ(L"", givenModule);
    EXPECT_EQ(L"Setup log opened", Load(nullptr, 25501));
}

// Runs in a copy of the test program (see the next test): writes what the lookup finds for 25501
// into the file named by OV_LOG_CHILD_OUT.
TEST(ResourceStringChild, DISABLED_WriteText) {
    wchar_t out[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"OV_LOG_CHILD_OUT", out, MAX_PATH), 0u);
    ASSERT_TRUE(ovtest::WriteFileBytes(out, Narrow(Load(nullptr, 25501))));
}

// Which library answers depends on what lies beside the program, so a copy of the test program
// runs in a folder arranged for each case.
TEST(ResourceString, ProductLibraryBeforeStringLibrary) {
    struct Case {
        const char* name;
        bool productLibrary;
        bool stringLibrary;
        const char* expected;
    } cases[] = {
        {"both", true, true, "Product library text"},
        {"string library only", false, true, "Setup log opened"},
        {"neither", false, false, ""},
    };
    const std::wstring bin = ovtest::BinDir();
    for (const Case& c : cases) {
        ovtest::ScratchDir dir;
        std::wstring exe = dir / L"log_child.exe";
        std::wstring out = dir / L"out.txt";
        ASSERT_TRUE(CopyFileW((bin + L"\\log_test.exe").c_str(), exe.c_str(), FALSE)) << c.name;
        if (c.productLibrary) {
            ASSERT_TRUE(
                CopyFileW((bin + L"\\logtest_ovavprod.dll").c_str(), (dir / L"ovavprod.dll").c_str(), FALSE));
        }
        if (c.stringLibrary) {
            ASSERT_TRUE(
                CopyFileW((bin + L"\\kestrares.dll").c_str(), (dir / L"kestrares.dll").c_str(), FALSE));
        }
        SetEnvironmentVariableW(L"OV_LOG_CHILD_OUT", out.c_str());
        int rc = ovtest::RunProcess(L"\"" + exe +
                                    L"\" --gtest_also_run_disabled_tests "
                                    L"--gtest_filter=ResourceStringChild.DISABLED_WriteText");
        SetEnvironmentVariableW(L"OV_LOG_CHILD_OUT", nullptr);
        EXPECT_EQ(0, rc) << c.name;
        EXPECT_TRUE(ovtest::PathExists(out)) << c.name;
        EXPECT_EQ(c.expected, ovtest::ReadFileBytes(out)) << c.name;
    }
}

}  // namespace
