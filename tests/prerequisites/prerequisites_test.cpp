#include "ui/prerequisites.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "setup/errors.h"
#include "support/log_capture.h"
#include "support/test_support.h"

namespace {

std::wstring SystemDir() {
    wchar_t dir[MAX_PATH];
    UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    return std::wstring(dir, n);
}

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

bool InSystemDir(const std::wstring& path) {
    std::wstring prefix = SystemDir() + L"\\";
    return path.size() > prefix.size() &&
           CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(), static_cast<int>(prefix.size()),
                          prefix.c_str(), static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

// Points the two checks at a test directory for one test.
class LibraryDirectory {
  public:
    explicit LibraryDirectory(const std::wstring& dir) { SetPrerequisiteLibraryDirectory(dir.c_str()); }
    ~LibraryDirectory() { SetPrerequisiteLibraryDirectory(nullptr); }
};

// A directory holding `fixture` (from the build) under the system library's name.
struct FixtureDir {
    ovtest::ScratchDir dir;
    FixtureDir(const wchar_t* fixture, const wchar_t* name) {
        std::wstring from = ovtest::BinDir() + L"\\prereq_fixtures\\" + fixture;
        EXPECT_TRUE(CopyFileW(from.c_str(), (dir / name).c_str(), FALSE)) << GetLastError();
    }
};

const wchar_t kSentinel[] = L"stale";

TEST(RichEditLibrary, LoadsTheSystemCopyAndUnloadFreesIt) {
    std::wstring path;
    {
        RichEditLibrary library;
        ASSERT_EQ(0, library.Load());
        ASSERT_NE(nullptr, library.Get());
        path = ModulePath(library.Get());
        EXPECT_TRUE(InSystemDir(path)) << std::string(path.begin(), path.end());
        EXPECT_EQ(0, library.Load());  // a second load keeps the one reference
        library.Unload();
        EXPECT_EQ(nullptr, library.Get());
        EXPECT_EQ(nullptr, GetModuleHandleW(path.c_str()));
        library.Unload();
        ASSERT_EQ(0, library.Load());
    }
    EXPECT_EQ(nullptr, GetModuleHandleW(path.c_str())) << "the destructor unloads";
}

TEST(RichEditLibrary, MissingLibraryIs9008WithTheSystemError) {
    ovtest::ScratchDir empty;
    LibraryDirectory use(empty.path());
    ovtest::LogCapture log;
    RichEditLibrary library;
    EXPECT_EQ(ErrorRichEditLoad, library.Load());
    EXPECT_EQ(nullptr, library.Get());
    EXPECT_TRUE(log.HasReport(25011)) << log.Text();
    EXPECT_TRUE(log.Has("= 126")) << log.Text();  // ERROR_MOD_NOT_FOUND
}

TEST(CheckRichEditVersion, SystemLibrary) {
    struct Case {
        unsigned major, minor;
        int result;
    } cases[] = {{0, 0, 0}, {1, 0, 0}, {99, 0, ErrorRichEditVersion}, {1000, 0, ErrorRichEditVersion}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor);
        ovtest::LogCapture log;
        wchar_t buffer[32];
        wcscpy(buffer, kSentinel);
        EXPECT_EQ(c.result, CheckRichEditVersion(c.major, c.minor, buffer, 32));
        EXPECT_STREQ(c.result == 0 ? L"" : L"RICHED20.DLL", buffer);
        EXPECT_EQ(c.result != 0, log.HasReport(25008)) << log.Text();
    }
}

TEST(CheckRichEditVersion, InDirectoryAgainstTheFilesOwnVersion) {
    struct Case {
        const wchar_t* fixture;
        unsigned major, minor;
        int result;
        const char* report;  // the file's version as the report gives it
    } cases[] = {
        {L"v530.dll", 5, 30, 0, nullptr},
        {L"v530.dll", 5, 0, 0, nullptr},
        {L"v530.dll", 5, 31, ErrorRichEditVersion, "5.30"},
        {L"v500.dll", 5, 30, ErrorRichEditVersion, "5.00"},
        {L"v9900.dll", 5, 30, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor);
        FixtureDir dir(c.fixture, L"RICHED20.DLL");
        LibraryDirectory use(dir.dir.path());
        ovtest::LogCapture log;
        wchar_t buffer[32];
        EXPECT_EQ(c.result, CheckRichEditVersion(c.major, c.minor, buffer, 32));
        EXPECT_STREQ(c.result == 0 ? L"" : L"RICHED20.DLL", buffer);
        if (c.report != nullptr) {
            EXPECT_TRUE(log.HasReport(25008)) << log.Text();
            EXPECT_TRUE(log.Has(std::string("RICHED20.DLL ") + c.report)) << log.Text();
        } else {
            EXPECT_FALSE(log.HasReport(25008)) << log.Text();
        }
    }
}

TEST(CheckRichEditVersion, BufferTooSmallForTheNameStaysEmpty) {
    wchar_t buffer[12];  // "RICHED20.DLL" needs 13
    wcscpy(buffer, L"stale");
    EXPECT_EQ(ErrorRichEditVersion, CheckRichEditVersion(99, 0, buffer, 12));
    EXPECT_STREQ(L"", buffer);
}

TEST(CheckWinsock, SystemLibrary) {
    struct Case {
        unsigned major, minor;
        int result;
    } cases[] = {{2, 2, 0}, {1, 1, 0}, {2, 0, 0}, {0, 1, ErrorWinsock}, {0, 0, ErrorWinsock}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor);
        ovtest::LogCapture log;
        wchar_t buffer[32];
        wcscpy(buffer, kSentinel);
        EXPECT_EQ(c.result, CheckWinsock(c.major, c.minor, buffer, 32));
        EXPECT_STREQ(c.result == 0 ? L"" : L"WS2_32.DLL", buffer);
        EXPECT_EQ(c.result != 0, log.HasReport(25008)) << log.Text();
        if (c.result != 0) {
            EXPECT_TRUE(log.Has("= 9014")) << log.Text();
            EXPECT_TRUE(log.Has("WS2_32.DLL ")) << log.Text();
            EXPECT_FALSE(log.Has("WS2_32.DLL 0.00")) << "the system library has a version";
        }
    }
}

TEST(CheckWinsock, InDirectoryStandIn) {
    struct Case {
        const wchar_t* fixture;  // null: the directory has no such library
        unsigned major, minor;
        int result;
        const char* report;
    } cases[] = {
        {nullptr, 2, 2, ErrorWinsock, "WS2_32.DLL 0.00"},
        {L"v9900.dll", 2, 2, ErrorWinsock, "WS2_32.DLL 99.00"},  // version not supported
        {L"v9900.dll", 1, 1, 0, nullptr},                        // any other start-up error passes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor);
        ovtest::ScratchDir empty;
        FixtureDir withFixture(c.fixture != nullptr ? c.fixture : L"v9900.dll", L"WS2_32.DLL");
        LibraryDirectory use(c.fixture != nullptr ? withFixture.dir.path() : empty.path());
        ovtest::LogCapture log;
        wchar_t buffer[32];
        wcscpy(buffer, kSentinel);
        EXPECT_EQ(c.result, CheckWinsock(c.major, c.minor, buffer, 32));
        EXPECT_STREQ(c.result == 0 ? L"" : L"WS2_32.DLL", buffer);
        if (c.report != nullptr) {
            EXPECT_TRUE(log.Has(c.report)) << log.Text();
            EXPECT_TRUE(log.Has("= 9014")) << log.Text();
        } else {
            EXPECT_FALSE(log.HasReport(25008)) << log.Text();
        }
    }
}

// Runs in the copy of the program that has the planted stand-ins beside it, where the search order
// finds them first: they refuse every Winsock version and claim version 99.0.
TEST(PlantedLibraries, SystemCopiesAreUsed) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring planted(self);
    planted = planted.substr(0, planted.rfind(L'\\') + 1) + L"WS2_32.DLL";
    wchar_t found[MAX_PATH] = {};
    SearchPathW(nullptr, L"WS2_32.DLL", nullptr, MAX_PATH, found, nullptr);
    EXPECT_EQ(0, lstrcmpiW(planted.c_str(), found)) << "the plant is what a bare name would find";
    RichEditLibrary library;
    ASSERT_EQ(0, library.Load());
    std::wstring path = ModulePath(library.Get());
    EXPECT_TRUE(InSystemDir(path)) << std::string(path.begin(), path.end());
    wchar_t buffer[32];
    EXPECT_EQ(0, CheckWinsock(2, 2, buffer, 32));
    EXPECT_EQ(ErrorRichEditVersion, CheckRichEditVersion(99, 0, buffer, 32));
}

TEST(PlantedLibraries, BesideTheProgramAreIgnored) {
    ovtest::ScratchDir download;
    std::wstring program = download / L"setup.exe";
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_TRUE(CopyFileW(self, program.c_str(), FALSE));
    for (const wchar_t* name : {L"RICHED20.DLL", L"WS2_32.DLL"}) {
        std::wstring from = ovtest::BinDir() + L"\\prereq_planted\\" + name;
        ASSERT_TRUE(CopyFileW(from.c_str(), (download / name).c_str(), FALSE)) << GetLastError();
    }
    EXPECT_EQ(
        0, ovtest::RunProcess(L"\"" + program + L"\" --gtest_filter=PlantedLibraries.SystemCopiesAreUsed"));
}

}  // namespace
