#include <gtest/gtest.h>

#include <shlwapi.h>
#include <string.h>

#include <string>

#include "host/unicode_layer.h"
#include "support/test_support.h"

namespace {

using ovtest::Narrow;

const wchar_t kInstallKey[] = L"SOFTWARE\\Orvane\\Anti-Virus\\Install";

TEST(UnicowsCandidate, BackslashOnlyAfterFolderLongerThanThreeChars) {
    struct Case {
        const char* programPath;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\", "C:\\unicows.dll"},
        {"D:\\AV", "D:\\AV\\unicows.dll"},
        {"D:\\A", "D:\\A\\unicows.dll"},
        {"D:", "D:unicows.dll"},
        {"", "unicows.dll"},
        {nullptr, "unicows.dll"},
        {"abc", "abcunicows.dll"},
    };
    for (const Case& c : cases) {
        char output[MAX_PATH];
        memset(output, 'x', sizeof(output));
        EXPECT_TRUE(BuildUnicowsCandidate(output, sizeof(output), c.programPath)) << c.expected;
        EXPECT_STREQ(c.expected, output);
    }
}

TEST(UnicowsCandidate, ExactFitOrEmpty) {
    char output[20];
    // "D:\AV\unicows.dll" is 17 chars and its terminator.
    EXPECT_TRUE(BuildUnicowsCandidate(output, 18, "D:\\AV"));
    EXPECT_STREQ("D:\\AV\\unicows.dll", output);
    memset(output, 'x', sizeof(output));
    EXPECT_FALSE(BuildUnicowsCandidate(output, 17, "D:\\AV"));
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ('\0', output[i]) << "char " << i;
    EXPECT_EQ('x', output[17]) << "nothing written past the size";
    EXPECT_FALSE(BuildUnicowsCandidate(nullptr, 10, "C:\\"));
}

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

// Test programs lie beside a copy of the stand-in unicows.dll (the build puts it in the bin folder).
TEST(UnicowsLayer, PrefersTheAntivirusFolder) {
    const std::wstring besideProgram = ovtest::BinDir() + L"\\unicows.dll";
    ASSERT_TRUE(ovtest::PathExists(besideProgram));
    ovtest::ScratchDir withCopy;
    ovtest::ScratchDir empty;
    ASSERT_TRUE(CopyFileW(besideProgram.c_str(), (withCopy / L"unicows.dll").c_str(), FALSE));

    struct Case {
        const char* what;
        const std::wstring* programPath;  // null: no value
        std::wstring expected;
    };
    const Case cases[] = {
        {"the copy in the antivirus folder", &withCopy.path(), withCopy / L"unicows.dll"},
        {"nothing in the antivirus folder", &empty.path(), besideProgram},
        {"no antivirus product", nullptr, besideProgram},
    };
    for (const Case& c : cases) {
        ovtest::RegistryOverride registry;
        if (c.programPath != nullptr) {
            ovtest::SetRegString(HKEY_LOCAL_MACHINE, kInstallKey, L"ProgramPath", *c.programPath);
        }
        HMODULE module = LoadUnicowsLayer();
        ASSERT_NE(nullptr, module) << c.what;
        EXPECT_EQ(0, lstrcmpiW(c.expected.c_str(), ModulePath(module).c_str()))
            << c.what << ": loaded " << Narrow(ModulePath(module));
        EXPECT_NE(nullptr, GetProcAddress(module, "OvUnicowsStandIn")) << c.what;
        FreeLibrary(module);
        ASSERT_EQ(nullptr, GetModuleHandleW(L"unicows.dll")) << c.what << ": still loaded";
    }
}

// The loader run in a process of its own, which reads the prefix's real HKLM (isolated prefix).
class UnicowsChildTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ovtest::IsIsolated())
            GTEST_SKIP() << "changes HKLM: run isolated";
        // The child sits where no unicows.dll is, and Wine's own library is kept from it: Wine would
        // otherwise take it for any unicows.dll, even one named by path.
        program_ = programDir_ / L"ovunicowsload.exe";
        ASSERT_TRUE(CopyFileW((ovtest::BinDir() + L"\\ovunicowsload.exe").c_str(), program_.c_str(), FALSE));
        ovtest::SetRegString(HKEY_CURRENT_USER,
                             L"Software\\Wine\\AppDefaults\\ovunicowsload.exe\\DllOverrides", L"unicows",
                             L"native");
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Anti-Virus");
    }
    void TearDown() override { SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Anti-Virus"); }

    PROCESS_INFORMATION Start(const std::wstring& record) {
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        std::wstring command = L"\"" + program_ + L"\" \"" + record + L"\"";
        if (!CreateProcessW(program_.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                            programDir_.path().c_str(), &si, &pi)) {
            ADD_FAILURE() << "cannot start " << Narrow(command);
        }
        return pi;
    }
    static DWORD Finish(PROCESS_INFORMATION* pi) {
        DWORD code = 12345;
        if (WaitForSingleObject(pi->hProcess, 30000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(pi->hProcess, &code);
        } else {
            TerminateProcess(pi->hProcess, 1);
        }
        CloseHandle(pi->hProcess);
        CloseHandle(pi->hThread);
        return code;
    }

    ovtest::ScratchDir programDir_;
    ovtest::ScratchDir records_;
    std::wstring program_;
};

TEST_F(UnicowsChildTest, LoadsFromTheRegisteredFolder) {
    ovtest::ScratchDir av;
    ASSERT_TRUE(
        CopyFileW((ovtest::BinDir() + L"\\unicows.dll").c_str(), (av / L"unicows.dll").c_str(), FALSE));
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, kInstallKey, L"ProgramPath", av.path());
    std::wstring record = records_ / L"loaded.txt";
    PROCESS_INFORMATION pi = Start(record);
    EXPECT_EQ(0u, Finish(&pi));
    std::string bytes = ovtest::ReadFileBytes(record);
    std::wstring loaded(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    EXPECT_EQ(0, lstrcmpiW((av / L"unicows.dll").c_str(), loaded.c_str())) << Narrow(loaded);
}

struct BoxContents {
    std::wstring texts = L"|";
    bool icon = false;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
    BoxContents* contents = reinterpret_cast<BoxContents*>(param);
    wchar_t text[512] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(child, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        &ignored);
    contents->texts += text;
    contents->texts += L"|";
    LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child))
        contents->icon = true;
    return TRUE;
}

TEST_F(UnicowsChildTest, NowhereShowsTheMessageAndEndsWithMinusOne) {
    std::wstring record = records_ / L"loaded.txt";
    PROCESS_INFORMATION pi = Start(record);
    HWND box = nullptr;
    for (int i = 0; i < 300 && box == nullptr; ++i) {
        box = FindWindowW(L"#32770", L"Error: Unicode layer");
        if (box == nullptr && WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0)
            break;
    }
    ASSERT_NE(nullptr, box) << "no message box; the child ended with " << Finish(&pi);
    DWORD owner = 0;
    GetWindowThreadProcessId(box, &owner);
    EXPECT_EQ(pi.dwProcessId, owner);
    EXPECT_EQ(nullptr, GetWindow(box, GW_OWNER)) << "the box has no owner";
    BoxContents contents;
    EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&contents));
    EXPECT_NE(std::wstring::npos, contents.texts.find(L"|Unicode wrapper not found: unicows.dll|"))
        << Narrow(contents.texts);
    EXPECT_TRUE(contents.icon) << "error icon shown";

    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(0xFFFFFFFFu, Finish(&pi));
    EXPECT_EQ(nullptr, FindWindowW(L"#32770", L"Error: Unicode layer")) << "shown once";
    EXPECT_FALSE(ovtest::PathExists(record)) << "the process ended inside the loader";
}

}  // namespace
