// "fwconfig.txt", the configuration the firewall engine's setup is given: five lines in the ANSI
// code page, byte for byte, in the temporary folder.
#include <gtest/gtest.h>

#include <string>

#include "components/product_fw.h"
#include "setup/errors.h"
#include "support/log_capture.h"
#include "support/test_support.h"

namespace {

std::wstring TempFile(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + name;
}

// Points the process's temporary folder elsewhere for one case.
class TempFolder {
  public:
    explicit TempFolder(const std::wstring& folder) {
        wchar_t old[1024] = {};
        had_ = GetEnvironmentVariableW(L"TMP", old, 1024) > 0;
        old_ = old;
        SetEnvironmentVariableW(L"TMP", folder.c_str());
    }
    ~TempFolder() { SetEnvironmentVariableW(L"TMP", had_ ? old_.c_str() : nullptr); }

  private:
    bool had_;
    std::wstring old_;
};

TEST(FirewallConfig, FiveLinesInTheAnsiCodePage) {
    ASSERT_EQ(1252u, GetACP()) << "the expected bytes are those of code page 1252";
    struct Case {
        const char* what;
        const wchar_t* title;
        const wchar_t* folder;
        const wchar_t* group;
        std::string bytes;
    } cases[] = {
        {"plain", L"Tarnel Personal Firewall", L"C:\\Programs\\Suite\\Tarnel Personal Firewall",
         L"Suite\\Tarnel Personal Firewall",
         "OEM_APPTITLE=Tarnel Personal Firewall\r\nOEM_MAINDIR=C:\\Programs\\Suite\\Tarnel Personal "
         "Firewall\r\nOEM_EXENAME=ov.exe\r\nOEM_SHTCTFLDR=Suite\\Tarnel Personal "
         "Firewall\r\nOEM_CONAME=Orvane\r\n"},
        // Runs after the longer file: what is left is this run's alone.
        {"no group, values as they are", L" Wall ", L"D:\\F w\\", L"",
         "OEM_APPTITLE= Wall \r\nOEM_MAINDIR=D:\\F w\\\r\nOEM_EXENAME=ov.exe\r\nOEM_SHTCTFLDR=\r\n"
         "OEM_CONAME=Orvane\r\n"},
        {"outside the code page", L"Caf\u00e9 \u65e5\u672c \u0416", L"C:\\\u00c5", L"Gr\u00fcn\u2122",
         "OEM_APPTITLE=Caf\xE9 ?? "
         "?\r\nOEM_MAINDIR=C:\\\xC5\r\nOEM_EXENAME=ov.exe\r\nOEM_SHTCTFLDR=Gr\xFCn\x99\r\n"
         "OEM_CONAME=Orvane\r\n"},
    };
    for (const Case& c : cases) {
        ProductFW firewall;
        TextCopy(firewall.displayName, kMessageChars, c.title);
        TextCopy(firewall.installDirectory, kPathChars, c.folder);
        TextCopy(firewall.programGroup, kPathChars, c.group);
        wchar_t path[MAX_PATH] = L"old";
        EXPECT_EQ(0, firewall.WriteInstallConfigFile(path, MAX_PATH)) << c.what;
        EXPECT_EQ(TempFile(L"fwconfig.txt"), path) << c.what;
        EXPECT_EQ(c.bytes, ovtest::ReadFileBytes(path)) << c.what;
    }
    DeleteFileW(TempFile(L"fwconfig.txt").c_str());
}

TEST(FirewallConfig, NoPathNoFile) {
    ovtest::ScratchDir scratch;
    ProductFW firewall;
    wchar_t path[MAX_PATH];
    {
        TempFolder overlong(scratch.path() + L"\\" + std::wstring(250, L'x'));
        EXPECT_EQ(ErrorFirewallConfigPath, firewall.WriteInstallConfigFile(path, MAX_PATH));
        EXPECT_STREQ(L"", path);
    }
    {
        // A folder where the file would go.
        CreateDirectoryW((scratch / L"fwconfig.txt").c_str(), nullptr);
        TempFolder occupied(scratch.path());
        EXPECT_EQ(ErrorFirewallConfigWrite, firewall.WriteInstallConfigFile(path, MAX_PATH));
        EXPECT_EQ(scratch / L"fwconfig.txt", path);
    }
    {
        TempFolder usual(scratch.path() + L"\\sub");
        CreateDirectoryW((scratch / L"sub").c_str(), nullptr);
        wchar_t small[8];
        EXPECT_EQ(ErrorFirewallConfigPath, firewall.WriteInstallConfigFile(small, 8))
            << "the path does not fit";
        ovtest::LogCapture log;
        EXPECT_EQ(ErrorFirewallConfigPath, firewall.WriteInstallConfigFile(nullptr, 0));
        EXPECT_TRUE(log.Has("ProductFW::WriteInstallConfigFile"));
        EXPECT_FALSE(ovtest::PathExists(scratch / L"sub\\fwconfig.txt"));
    }
}

}  // namespace
