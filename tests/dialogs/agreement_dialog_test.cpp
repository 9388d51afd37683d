// The license agreement as a person meets it: the dialog is found on screen, its title and text
// read, the focus moved through it, and one of its buttons pressed. The text comes from
// "license.txt" in the program directory, so these cases run in a copy of the test program
// placed in a package folder of its own (never in the shared bin folder, where other tests
// copy the package's files).
#include <gtest/gtest.h>

#include <richedit.h>

#include <string>
#include <thread>

#include "support/component_stub.h"
#include "components/components.h"
#include "components/product_main.h"
#include "log/logger.h"
#include "setup/errors.h"
#include "setup/setup.h"
#include "support/test_support.h"
#include "ui/agreement_dialog.h"
#include "ui/framework.h"
#include "ui/prerequisites.h"

using ovtest::BinDir;

namespace {

const wchar_t kCaption[] = L"License Agreement";
const wchar_t kPackageCopy[] = L"OV_DIALOGS_PACKAGE_COPY";
const int kTextItem = 1036;
const int kTitleItem = 1288;
const int kAccept = 1451;

bool InPackageCopy() {
    wchar_t value[8];
    return GetEnvironmentVariableW(kPackageCopy, value, 8) != 0;
}

std::string Utf16(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

// The text as it reads: a byte-order mark at its start is an invisible character.
std::wstring Readable(const std::wstring& text) {
    return !text.empty() && text[0] == L'\xFEFF' ? text.substr(1) : text;
}

LONG FontWeight(HWND window) {
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof(font), &font);
    return font.lfWeight;
}

// What the person saw and what the role got.
struct Seen {
    bool shown = false;
    std::wstring title;
    LONG titleWeight = 0;
    std::wstring text;
    DWORD selectionStart = 99;
    DWORD selectionEnd = 99;
    int result = -12345;
};

// The role asks on its worker thread; this thread reads the dialog, tabs from the text to the
// accept button and back (selecting the text meanwhile), then presses `button`.
Seen Answer(int button) {
    Seen seen;
    std::thread role([&seen] { seen.result = ShowAgreementDialog(nullptr); });
    HWND dialog = ovtest::WaitForWindow(kCaption, 10000);
    if (dialog != nullptr) {
        seen.shown = true;
        HWND title = GetDlgItem(dialog, kTitleItem);
        HWND text = GetDlgItem(dialog, kTextItem);
        seen.title = WindowText(title);
        seen.titleWeight = FontWeight(title);
        seen.text = WindowText(text);
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, kAccept)), TRUE);
        SendMessageW(text, EM_SETSEL, 0, -1);
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(text), TRUE);
        SendMessageW(text, EM_GETSEL, reinterpret_cast<WPARAM>(&seen.selectionStart),
                     reinterpret_cast<LPARAM>(&seen.selectionEnd));
        ovtest::PressButton(dialog, button);
    }
    role.join();
    return seen;
}

// Copies a folder's files and sub folders into `to` (which exists).
void CopyFolder(const std::wstring& from, const std::wstring& to) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find) << ovtest::Narrow(from);
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CreateDirectoryW((to + L"\\" + name).c_str(), nullptr);
            CopyFolder(from + L"\\" + name, to + L"\\" + name);
        } else {
            EXPECT_TRUE(CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE));
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

// Runs a command line with its output in `outputFile`; the exit code, -1 when it did not start
// or did not end within two minutes.
int RunCapturing(std::wstring commandLine, const std::wstring& outputFile, std::string* output) {
    SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
    HANDLE file = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              &inherited, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &process);
    CloseHandle(file);
    if (!started) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, static_cast<UINT>(-1));
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    *output = ovtest::ReadFileBytes(outputFile);
    return static_cast<int>(code);
}

// A setup package of our own: the test program, the framework and string libraries, and the
// product libraries of bin/dialogs_package (the suite's in the root, "fw" and "as" beside it).
// The program runs the AgreementInPackage cases there.
TEST(AgreementDialog, RunsInAPackageFolder) {
    if (InPackageCopy()) {
        GTEST_SKIP() << "this is the copy";
    }
    ovtest::ScratchDir package;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring program = package / L"dialogs_test.exe";
    ASSERT_TRUE(CopyFileW(self, program.c_str(), FALSE));
    for (const wchar_t* library : {L"kestrafrm.dll", L"kestrares.dll"}) {
        ASSERT_TRUE(CopyFileW((BinDir() + L"\\" + library).c_str(), (package / library).c_str(), FALSE));
    }
    CopyFolder(BinDir() + L"\\dialogs_package", package.path());

    SetEnvironmentVariableW(kPackageCopy, L"1");
    std::string output;
    int code = RunCapturing(L"\"" + program + L"\" --gtest_filter=AgreementInPackage.*",
                            package / L"output.txt", &output);
    SetEnvironmentVariableW(kPackageCopy, nullptr);
    EXPECT_EQ(0, code) << output;
    EXPECT_NE(std::string::npos, output.find("[  PASSED  ]")) << output;
    EXPECT_EQ(std::string::npos, output.find("[  PASSED  ] 0 tests")) << output;
    EXPECT_EQ(std::string::npos, output.find("[  SKIPPED ]")) << output;
}

// ---- run in the package copy ----------------------------------------------------------------

class AgreementInPackage : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!InPackageCopy()) {
            GTEST_SKIP() << "runs in the package copy made by AgreementDialog.RunsInAPackageFolder";
        }
        Logger::Get().SetDisplayLevel(2);
        ASSERT_EQ(0, Framework::Get().Load());
        ASSERT_EQ(0, richEdit_.Load());
        ASSERT_NE(nullptr, Setup::Create(kRoleInstall));
    }
    void TearDown() override {
        DeleteFileW(LicensePath().c_str());
        ProductMain::Get().SetShellNeeded(0);
        ProductMain::Get().primaryComponent = nullptr;
        Setup::Destroy();
        Framework::Get().Unload();
        Logger::Get().SetDisplayLevel(0);
    }
    static std::wstring LicensePath() { return BinDir() + L"\\license.txt"; }

    RichEditLibrary richEdit_;
};

TEST_F(AgreementInPackage, ShowsTheLicenseFileAndTheAnswer) {
    ProductMain::Get().SetShellNeeded(1);
    const std::wstring body =
        L"END-USER LICENSE AGREEMENT\r\n\r\n1. \u00dcbersicht \u2014 \u00f1 \u65e5\u672c\u8a9e\r\n2. Keep "
        L"this.";
    const std::string withMark = "\xFF\xFE" + Utf16(body);
    struct Case {
        const char* name;
        bool present;
        std::string bytes;
        std::wstring text;
        int button;
        int result;
    } cases[] = {
        {"UTF-16 with a byte-order mark, accepted", true, withMark, body, kAccept, 0},
        {"declined", true, withMark, body, IDCANCEL, ErrorAgreementDeclined},
        {"no license file: an empty text", false, "", L"", kAccept, 0},
        {"an odd number of bytes", true, Utf16(L"Odd") + "!", L"Odd!", kAccept, 0},
        {"far larger than an agreement: not read", true, std::string(4 * 1024 * 1024 + 2, 'A'), L"", kAccept,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(LicensePath().c_str());
        if (c.present) {
            ASSERT_TRUE(ovtest::WriteFileBytes(LicensePath(), c.bytes));
        }
        Seen seen = Answer(c.button);
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(ovtest::Narrow(c.text), ovtest::Narrow(Readable(seen.text)));
        EXPECT_EQ(0u, seen.selectionStart) << "the caret goes to the start of the text";
        EXPECT_EQ(0u, seen.selectionEnd) << "nothing stays selected";
        EXPECT_EQ(c.result, seen.result);
    }
}

TEST_F(AgreementInPackage, TitleNamesTheProductInCharge) {
    ProductFW firewall;  // "fw": name and agreement title of its own
    ProductAS antiSpam;  // "as": an agreement title but no name
    ProductPM spyware;   // "pm": no product library in the package
    struct Case {
        const char* name;
        int shellNeeded;
        Product* primary;
        const wchar_t* title;
    } cases[] = {
        {"the suite shell takes part", 1, &firewall, L"Tarnel Internet Security Suite Suite Agreement"},
        {"one component", 0, &firewall, L"Tarnel Firewall Firewall Agreement"},
        {"a component without a name: the title alone", 0, &antiSpam, L"Anti-Spam Agreement"},
        // The string libraries ask the framework's product library (the package's) first.
        {"a component without texts: the common title", 0, &spyware, L"Suite Agreement"},
        {"no product in charge: the string libraries", 0, nullptr,
         L"Tarnel Internet Security Suite Suite Agreement"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProductMain::Get().SetShellNeeded(c.shellNeeded);
        ProductMain::Get().primaryComponent = c.primary;
        Seen seen = Answer(kAccept);
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(ovtest::Narrow(c.title), ovtest::Narrow(seen.title));
        EXPECT_GE(seen.titleWeight, FW_BOLD) << "the title stands out";
        EXPECT_EQ(0, seen.result);
    }
}

}  // namespace
