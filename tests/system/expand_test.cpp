// Environment expansion and path comparison: tables of cases, and generated inputs that look for
// overruns, unterminated outputs and endless nesting.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "host/system.h"
#include "support/test_support.h"
#include "system_fixture.h"

namespace {

using ovtest::Narrow;
using systemtest::MachineTest;
using systemtest::ScopedEnv;

// Variables the cases refer to; SYSTEMROOT and SYSTEMDRIVE are taken away, as on the 9x family,
// so the program answers them from the registry.
class ExpandTest : public MachineTest {
  protected:
    ScopedEnv leaf_{L"OVT_LEAF", L"leaf"};
    ScopedEnv nested_{L"OVT_NESTED", L"[%OVT_LEAF%]"};
    ScopedEnv self_{L"OVT_SELF", L"%OVT_SELF%"};
    ScopedEnv selfx_{L"OVT_SELFX", L"x%OVT_SELFX%"};
    ScopedEnv ping_{L"OVT_PING", L"a%OVT_PONG%"};
    ScopedEnv pong_{L"OVT_PONG", L"b%OVT_PING%"};
    ScopedEnv root_{L"SYSTEMROOT", nullptr};
    ScopedEnv drive_{L"SYSTEMDRIVE", nullptr};
};

TEST_F(ExpandTest, ReferencesAreResolved) {
    SetWindowsDir(L"C:\\WINROOT", L"C:\\WINROOT");
    const std::wstring systemDir = systemtest::SystemSystemDir();
    const std::wstring depthX(kMaxExpandDepth, L'x');
    std::wstring depthPingPong;
    for (int i = 0; i < kMaxExpandDepth; ++i)
        depthPingPong += (i % 2 == 0) ? L'a' : L'b';
    struct Case {
        const wchar_t* text;
        size_t chars;
        bool ok;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"%SYSTEMROOT%\\Temp", MAX_PATH, true, L"C:\\WINROOT\\Temp"},
        {L"%systemdrive%\\x", MAX_PATH, true, L"C:\\x"},
        {L"%SystemPath%", MAX_PATH, true, systemDir},
        {L"100%", MAX_PATH, true, L"100%"},
        {L"%UNDEFINED%x", MAX_PATH, true, L"x"},
        {L"a%%b", MAX_PATH, true, L"ab"},
        {L"50% of %OVT_LEAF%", MAX_PATH, true, L"50OVT_LEAF%"},
        {L"%OVT_LEAF%\\%OVT_NESTED%", MAX_PATH, true, L"leaf\\[leaf]"},
        {L"", MAX_PATH, true, L""},
        {nullptr, MAX_PATH, true, L""},
        // What does not fit is dropped; the result stays true.
        {L"abcdefgh", 5, true, L"abcd"},
        {L"%OVT_NESTED%tail", 3, true, L"[l"},
        {L"x", 1, true, L""},
        // Values referring to themselves or to each other stop at the depth limit.
        {L"%OVT_SELF%", MAX_PATH, false, L""},
        {L"<%OVT_SELFX%>", MAX_PATH, false, L"<" + depthX},
        {L"%OVT_PING%", MAX_PATH, false, depthPingPong},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text == nullptr ? "null" : Narrow(c.text));
        std::vector<wchar_t> output(c.chars + 4, L'#');
        EXPECT_EQ(c.ok, ExpandEnvironmentPath(output.data(), c.chars, c.text));
        EXPECT_EQ(c.expected, output.data());
        EXPECT_EQ(L'#', output[c.chars]) << "written beyond the output";
    }
    EXPECT_FALSE(ExpandEnvironmentPath(nullptr, MAX_PATH, L"x"));
    wchar_t none[1] = {L'#'};
    EXPECT_FALSE(ExpandEnvironmentPath(none, 0, L"x"));
    EXPECT_EQ(L'#', none[0]);
}

TEST_F(ExpandTest, UnknownProgramAnsweredNameStopsTheWalk) {
    // No Windows directory in this registry, and none in the environment.
    wchar_t output[MAX_PATH];
    EXPECT_FALSE(ExpandEnvironmentPath(output, MAX_PATH, L"pre%SYSTEMROOT%post"));
    EXPECT_STREQ(L"pre", output);
    EXPECT_FALSE(ExpandEnvironmentPath(output, MAX_PATH, L"%OVT_LEAF%%SYSTEMDRIVE%"));
    EXPECT_STREQ(L"leaf", output);
    // Reached through a value as well.
    ScopedEnv indirect(L"OVT_INDIRECT", L"in%SYSTEMROOT%");
    EXPECT_FALSE(ExpandEnvironmentPath(output, MAX_PATH, L"<%OVT_INDIRECT%>"));
    EXPECT_STREQ(L"<in", output);
}

TEST_F(ExpandTest, TextMayLieInTheOutputAndIsReadUpTo2047Chars) {
    wchar_t buffer[MAX_PATH] = L"%OVT_LEAF%\\x";
    EXPECT_TRUE(ExpandEnvironmentPath(buffer, MAX_PATH, buffer));
    EXPECT_STREQ(L"leaf\\x", buffer);

    std::wstring longText = std::wstring(2046, L'a') + L"%OVT_LEAF%";
    std::vector<wchar_t> output(4096, L'#');
    EXPECT_TRUE(ExpandEnvironmentPath(output.data(), output.size(), longText.c_str()));
    // The 2047th char opens a reference that is never closed within the read part.
    EXPECT_EQ(std::wstring(2046, L'a') + L"%", output.data());

    ScopedEnv huge(L"OVT_HUGE", std::wstring(3000, L'h').c_str());
    EXPECT_TRUE(ExpandEnvironmentPath(output.data(), output.size(), L"[%OVT_HUGE%]"));
    EXPECT_STREQ(L"[]", output.data());
}

TEST(PathsEqual, PlainExpandedAndShortForms) {
    ovtest::ScratchDir scratch;
    std::wstring longDir = scratch / L"Long Directory Name";
    ASSERT_TRUE(CreateDirectoryW(longDir.c_str(), nullptr));
    wchar_t shortDir[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(longDir.c_str(), shortDir, MAX_PATH), 0u);
    ASSERT_NE(longDir, shortDir) << "the file system gives no short names";
    ScopedEnv dirVariable(L"OVT_DIR", longDir.c_str());
    ScopedEnv windows(L"OVT_WINDOWS", L"C:\\Windows");

    struct Case {
        std::wstring path;
        std::wstring reference;
        bool exact;
        bool equal;
    };
    const Case cases[] = {
        {L"C:\\WINDOWS\\SYSTEM32\\drivers", L"c:\\windows\\system32", false, true},
        {L"C:\\WINDOWS\\SYSTEM32\\drivers", L"c:\\windows\\system32", true, false},
        {L"c:\\windows", L"C:\\WINDOWS", true, true},
        {L"C:\\WIN", L"C:\\WINDOWS", false, false},
        {L"", L"C:\\WINDOWS", true, true},
        {L"C:\\WINDOWS", L"", false, false},
        {L"C:\\Windows\\Temp", L"%OVT_WINDOWS%", false, true},
        {L"%OVT_WINDOWS%\\Temp", L"C:\\windows\\temp", true, true},
        {L"%OVT_WINDOWS%", L"%OVT_WINDOWS%", true, true},
        {shortDir, longDir, true, true},
        {longDir, shortDir, true, true},
        {std::wstring(shortDir) + L"\\sub", L"%OVT_DIR%", false, true},
        {longDir, longDir + L"x", true, false},
        // Compared char by char, without the collation's equivalences.
        {L"C:\\co-op", L"C:\\coop", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.path + L" / " + c.reference + (c.exact ? L" exact" : L" prefix")));
        EXPECT_EQ(c.equal, PathsEqual(c.path.c_str(), c.reference.c_str(), c.exact));
    }
    EXPECT_TRUE(PathsEqual(nullptr, L"C:\\", true));
    EXPECT_FALSE(PathsEqual(L"C:\\", nullptr, false));
}

TEST(PathRoots, DriveRootsAndTrimming) {
    ScopedEnv root(L"OVT_ROOT", L"D:\\");
    struct RootCase {
        const wchar_t* path;
        wchar_t letter;
        bool skipPrefix;
        bool root;
    };
    const RootCase roots[] = {
        {L"\\", 0, false, true},
        {L"C:", L'C', false, true},
        {L"c:\\", L'C', false, true},
        {L"C:\\", 0, false, false},
        {L"C:\\x", L'C', false, false},
        {L"\\\\?\\C:\\", L'C', true, true},
        {L"\\\\?\\C:\\", L'C', false, false},
        {L"%OVT_ROOT%", L'D', false, true},
        {L"%OVT_ROOT%", L'C', false, false},
        {L"ab", L'a', true, false},
        {L"", L'C', false, false},
        {nullptr, L'C', false, false},
    };
    for (const RootCase& c : roots) {
        SCOPED_TRACE(c.path == nullptr ? "null" : Narrow(c.path));
        EXPECT_EQ(c.root, IsDriveRootPath(c.path, c.letter, c.skipPrefix));
    }

    struct TrimCase {
        const wchar_t* path;
        const wchar_t* trimmed;
    };
    const TrimCase trims[] = {
        {L"C:\\Dir\\ \\", L"C:\\Dir"},
        {L"C:\\Dir\\\\\\", L"C:\\Dir"},
        {L"C:\\", L"C:\\"},
        {L"C:\\ ", L"C:\\"},
        {L"\\\\?\\C:\\", L"\\\\?\\C:\\"},
        {L"\\\\", L"\\"},
        {L"Dir  ", L"Dir"},
        {L" ", L""},
        {L"%OVT_ROOT%", L"%OVT_ROOT%"},
    };
    for (const TrimCase& c : trims) {
        SCOPED_TRACE(Narrow(c.path));
        wchar_t buffer[MAX_PATH];
        wcscpy(buffer, c.path);
        EXPECT_EQ(buffer, TrimPathEnd(buffer));
        EXPECT_STREQ(c.trimmed, buffer);
    }
    wchar_t empty[1] = {L'\0'};
    EXPECT_EQ(nullptr, TrimPathEnd(empty));
    EXPECT_EQ(nullptr, TrimPathEnd(nullptr));
}

TEST_F(MachineTest, WindowsOrSystemPaths) {
    const std::wstring windows = systemtest::SystemWindowsDir();
    const std::wstring system = systemtest::SystemSystemDir();
    SetWindowsDir(windows, windows);
    struct Case {
        std::wstring path;
        bool inside;
    };
    const Case cases[] = {
        {windows, true},
        {windows + L"\\", true},
        {windows + L" \\ ", true},
        {system, true},
        {system + L"\\drivers\\etc", true},
        {windows + L"\\Temp", false},
        {L"C:\\Program Files", false},
        {L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.path));
        EXPECT_EQ(c.inside, IsWindowsOrSystemPath(c.path.c_str()));
    }
    EXPECT_FALSE(IsWindowsOrSystemPath(nullptr));
}

// Generated texts of the characters that matter: references (resolvable, self-referring, unknown),
// lone "%", backslashes, blanks, drive letters and the "\\?\" prefix, at lengths near the limits.
class Generator {
  public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    std::wstring Text() {
        static const size_t kLengths[] = {0,   1,    2,    3,    4,    5,    258,  259,  260,
                                          261, 1038, 1039, 1040, 1041, 2046, 2047, 2048, 2049};
        size_t length = Pick(3) == 0 ? kLengths[Pick(sizeof(kLengths) / sizeof(kLengths[0]))] : Pick(300);
        static const wchar_t* kPieces[] = {
            L"%",
            L"%",
            L"\\",
            L"\\",
            L" ",
            L"C:",
            L"c:\\",
            L"\\\\?\\",
            L"a",
            L"Dir",
            L"%OVT_LEAF%",
            L"%OVT_SELF%",
            L"%OVT_PING%",
            L"%SYSTEMROOT%",
            L"%SystemDrive%",
            L"%SYSTEMPATH%",
            L"%%",
            L".",
            L"\u00e9",
            L"%UNKNOWN_X%",
            L"\t",
        };
        std::wstring text;
        while (text.size() < length)
            text += kPieces[Pick(sizeof(kPieces) / sizeof(kPieces[0]))];
        text.resize(length);
        return text;
    }

    size_t Pick(size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(rng_); }

  private:
    std::mt19937 rng_;
};

const wchar_t kGuard = 0xBEEF;

TEST_F(ExpandTest, GeneratedInputsStayWithinTheirBuffers) {
    SetWindowsDir(systemtest::SystemWindowsDir(), systemtest::SystemWindowsDir());
    Generator generate(20240611u);
    for (int i = 0; i < 3000; ++i) {
        std::wstring text = generate.Text();
        SCOPED_TRACE("case " + std::to_string(i) + ": " + Narrow(text.substr(0, 80)));

        static const size_t kSizes[] = {1, 2, 3, 4, 5, 259, 260, 261, 1040, 2048, 4096};
        size_t chars = kSizes[generate.Pick(sizeof(kSizes) / sizeof(kSizes[0]))];
        std::vector<wchar_t> output(chars + 8, kGuard);
        ExpandEnvironmentPath(output.data(), chars, text.c_str());
        ASSERT_LT(wcsnlen(output.data(), chars), chars) << "unterminated, size " << chars;
        for (size_t g = chars; g < output.size(); ++g)
            ASSERT_EQ(kGuard, output[g]) << "overrun, size " << chars;

        std::vector<wchar_t> path(text.begin(), text.end());
        path.push_back(L'\0');
        path.insert(path.end(), 8, kGuard);
        wchar_t* trimmed = TrimPathEnd(path.data());
        std::wstring result = path.data();
        ASSERT_EQ(text.empty(), trimmed == nullptr);
        ASSERT_EQ(text.substr(0, result.size()), result) << "trimming only cuts the end";
        for (size_t g = text.size() + 1; g < path.size(); ++g)
            ASSERT_EQ(kGuard, path[g]);
        if (!result.empty()) {
            ASSERT_NE(L' ', result.back());
            if (result.back() == L'\\') {
                bool root = IsDriveRootPath(result.c_str(), result[0], false) ||
                            (result.size() >= 4 && IsDriveRootPath(result.c_str(), result[4], true));
                ASSERT_TRUE(root) << "a backslash is only kept on a root: " << Narrow(result);
            }
        }

        if (!text.empty()) {
            ASSERT_TRUE(PathsEqual(text.c_str(), text.c_str(), true));
            ASSERT_TRUE(PathsEqual(text.c_str(), text.c_str(), false));
            ASSERT_FALSE(PathsEqual(text.c_str(), L"", true));
        }
        ASSERT_TRUE(PathsEqual(L"", text.c_str(), true));
    }
}

}  // namespace
