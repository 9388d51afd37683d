#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include "files_fixture.h"
#include "host/shortcuts.h"
#include "host/system.h"
#include "support/test_support.h"

using filestest::MakeDir;
using filestest::MakeFile;
using ovtest::Narrow;
using ovtest::ScratchDir;

namespace {

class Shortcut : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

// What a .lnk file says, read back through the wide link interface.
struct LinkContents {
    std::wstring target, workingDirectory, description, arguments, iconFile;
    int iconIndex = -1;
};

bool ReadLink(const std::wstring& path, LinkContents* out) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        return false;
    }
    IPersistFile* persist = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
              SUCCEEDED(persist->Load(path.c_str(), STGM_READ));
    wchar_t text[MAX_PATH];
    if (ok) {
        // The target as the shell resolves it: from the link's item list, which keeps names in
        // UTF-16 (Wine reads the plain path back from an ANSI copy).
        LPITEMIDLIST items = nullptr;
        text[0] = L'\0';
        if (SUCCEEDED(link->GetIDList(&items)) && items != nullptr) {
            SHGetPathFromIDListW(items, text);
            CoTaskMemFree(items);
        }
        out->target = text;
        text[0] = L'\0';
        link->GetWorkingDirectory(text, MAX_PATH);
        out->workingDirectory = text;
        text[0] = L'\0';
        link->GetDescription(text, MAX_PATH);
        out->description = text;
        text[0] = L'\0';
        link->GetArguments(text, MAX_PATH);
        out->arguments = text;
        text[0] = L'\0';
        link->GetIconLocation(text, MAX_PATH, &out->iconIndex);
        out->iconFile = text;
    }
    if (persist != nullptr)
        persist->Release();
    link->Release();
    return ok;
}

TEST_F(Shortcut, LinksReadBackAsWritten) {
    ScratchDir dir;
    MakeDir(dir / L"Program");
    MakeFile(dir / L"Program\\app.exe", "MZ");
    MakeFile(dir / L"Program\\app.ico", "ico");
    MakeDir(dir / L"Menu");
    std::wstring program = dir / L"Program";
    std::wstring icon = dir / L"Program\\app.ico";
    struct Case {
        const char* name;
        const wchar_t* linkName;
        const wchar_t* arguments;
        const wchar_t* iconFile;
        int iconIndex;
    } cases[] = {
        {"plain", L"Tarnel Suite", nullptr, nullptr, 0},
        {"arguments and icon", L"Tarnel Scan", L"/scan /all", icon.c_str(), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(CreateShortcut(c.linkName, (dir / L"Menu").c_str(), program.c_str(), L"app.exe",
                                   c.arguments, c.iconFile, c.iconIndex));
        LinkContents link;
        ASSERT_TRUE(ReadLink(dir / (std::wstring(L"Menu\\") + c.linkName + L".lnk"), &link));
        EXPECT_EQ(Narrow(program + L"\\app.exe"), Narrow(link.target));
        EXPECT_EQ(Narrow(program), Narrow(link.workingDirectory));
        EXPECT_EQ(Narrow(c.linkName), Narrow(link.description));
        EXPECT_EQ(Narrow(c.arguments ? c.arguments : L""), Narrow(link.arguments));
        if (c.iconFile != nullptr) {
            EXPECT_EQ(Narrow(c.iconFile), Narrow(link.iconFile));
            EXPECT_EQ(c.iconIndex, link.iconIndex);
        }
    }
}

// The NT family keeps names the ANSI code page cannot hold.
TEST_F(Shortcut, NamesOutsideTheAnsiCodePage) {
    if (IsWindows9x())
        GTEST_SKIP() << "the 9x shell takes ANSI texts only";
    ScratchDir dir;
    std::wstring program = dir / L"\x03A9mega";
    MakeDir(program);
    MakeFile(program + L"\\app.exe", "MZ");
    ASSERT_TRUE(CreateShortcut(L"\x03A9 Suite", dir.path().c_str(), program.c_str(), L"app.exe", nullptr,
                               nullptr, 0));
    LinkContents link;
    ASSERT_TRUE(ReadLink(dir / L"\x03A9 Suite.lnk", &link));
    EXPECT_EQ(Narrow(program + L"\\app.exe"), Narrow(link.target));
    EXPECT_EQ(Narrow(L"\x03A9 Suite"), Narrow(link.description));
}

TEST_F(Shortcut, FailsWhenTheLinkCannotBeWritten) {
    ScratchDir dir;
    MakeFile(dir / L"app.exe", "MZ");
    EXPECT_FALSE(CreateShortcut(L"X", (dir / L"no such folder").c_str(), dir.path().c_str(), L"app.exe",
                                nullptr, nullptr, 0));
    EXPECT_FALSE(CreateShortcut(L"X", dir.path().c_str(), dir.path().c_str(), nullptr, nullptr, nullptr, 0));
    EXPECT_FALSE(CreateUrlShortcut(L"Y", (dir / L"no such folder").c_str(), L"http://www.example.com/"));
}

TEST_F(Shortcut, UrlShortcutIsAnInternetShortcutFile) {
    ScratchDir dir;
    ASSERT_TRUE(CreateUrlShortcut(L"Tarnel Home", dir.path().c_str(), L"http://www.example.com/suite"));
    wchar_t url[512] = L"";
    GetPrivateProfileStringW(L"InternetShortcut", L"URL", L"", url, 512, (dir / L"Tarnel Home.url").c_str());
    EXPECT_STREQ(L"http://www.example.com/suite", url);
}

}  // namespace
