// The temporary directory: %TMP%, %TEMP% and C:\TEMP in turn, never the Windows or the system
// directory, missing ones created.
#include <gtest/gtest.h>

#include <string>

#include "host/system.h"
#include "support/test_support.h"
#include "system_fixture.h"

namespace {

using ovtest::Narrow;
using ovtest::PathExists;
using systemtest::MachineTest;
using systemtest::ScopedEnv;

// The Windows directory is known on either family (a 9x machine holds it at its own location).
class TempDirTest : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        SetWindowsDir(windows_, windows_);
    }
    const std::wstring windows_ = systemtest::SystemWindowsDir();
    const std::wstring system_ = systemtest::SystemSystemDir();
};

TEST_F(TempDirTest, FirstUsableCandidateWins) {
    ovtest::ScratchDir scratch;  // made before %TMP% and %TEMP% change
    const std::wstring existing = scratch / L"existing";
    const std::wstring other = scratch / L"other";
    ASSERT_TRUE(CreateDirectoryW(existing.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(other.c_str(), nullptr));
    const std::wstring file = scratch / L"file.tmp";
    ASSERT_TRUE(ovtest::WriteFileBytes(file, "x"));
    ScopedEnv base(L"OVT_SCRATCH", scratch.path().c_str());

    struct Case {
        const char* name;
        std::wstring tmp;  // empty: not set
        std::wstring temp;
        std::wstring expected;
    };
    const Case cases[] = {
        {"TMP exists", existing, other, existing},
        {"TMP refers to another variable", L"%OVT_SCRATCH%\\existing", other, existing},
        {"TMP is the Windows directory", windows_, other, other},
        {"TMP is the Windows directory with a backslash", windows_ + L"\\", other, other},
        {"TMP is the system directory", system_, other, other},
        {"TMP lies inside the system directory", system_ + L"\\drivers", other, other},
        {"TMP names a file", file, other, other},
        {"TMP not set", L"", other, other},
        // An existing TEMP is taken before a missing TMP is created.
        {"TMP missing", scratch / L"missing-tmp", other, other},
        {"both missing: TMP is created", scratch / L"new-tmp\\a\\b", scratch / L"new-temp",
         scratch / L"new-tmp\\a\\b"},
        {"TMP is Windows, TEMP missing: TEMP is created", windows_, scratch / L"created\\temp",
         scratch / L"created\\temp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv tmp(L"TMP", c.tmp.empty() ? nullptr : c.tmp.c_str());
        ScopedEnv temp(L"TEMP", c.temp.c_str());
        wchar_t buffer[MAX_PATH];
        ASSERT_TRUE(GetTempDir(buffer, MAX_PATH));
        EXPECT_EQ(c.expected, buffer);
        EXPECT_TRUE(GetFileAttributesW(buffer) & FILE_ATTRIBUTE_DIRECTORY);
    }
    EXPECT_FALSE(PathExists(scratch / L"missing-tmp")) << "created although TEMP was usable";
    EXPECT_FALSE(PathExists(scratch / L"new-temp")) << "TEMP created although TMP could be";
}

TEST_F(TempDirTest, SmallOrAbsentBuffer) {
    ovtest::ScratchDir scratch;
    ScopedEnv tmp(L"TMP", scratch.path().c_str());
    ScopedEnv temp(L"TEMP", scratch.path().c_str());
    size_t exact = scratch.path().size() + 1;
    std::wstring buffer(exact, L'#');
    EXPECT_TRUE(GetTempDir(&buffer[0], exact));
    EXPECT_EQ(scratch.path(), buffer.c_str());
    // Nothing fits four chars, not even C:\TEMP, which is then not created either.
    bool cTempBefore = PathExists(L"C:\\TEMP");
    wchar_t small[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_FALSE(GetTempDir(small, 4));
    EXPECT_STREQ(L"", small);
    EXPECT_EQ(cTempBefore, PathExists(L"C:\\TEMP"));
    EXPECT_FALSE(GetTempDir(nullptr, MAX_PATH));
}

// Runs in a machine of its own: C:\TEMP is made there.
TEST_F(TempDirTest, IsolatedFallsBackToCTemp) {
    if (!ovtest::IsIsolated())
        GTEST_SKIP() << "changes C:\\ of the prefix";
    ScopedEnv tmp(L"TMP", windows_.c_str());
    ScopedEnv temp(L"TEMP", nullptr);
    ASSERT_FALSE(PathExists(L"C:\\TEMP"));
    wchar_t buffer[MAX_PATH];
    ASSERT_TRUE(GetTempDir(buffer, MAX_PATH));
    EXPECT_STREQ(L"C:\\TEMP", buffer);
    EXPECT_TRUE(PathExists(L"C:\\TEMP"));
}

}  // namespace
