// The destination checks on this machine's real folders, and the folder proposed before the
// dialog is shown.
#include <gtest/gtest.h>

#include <string>

#include "support/component_stub.h"
#include "components/product_main.h"
#include "destination_fixture.h"
#include "host/system.h"
#include "log/logger.h"
#include "setup/destination.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "setup/setup.h"
#include "support/log_capture.h"
#include "support/test_support.h"

using destinationtest::kInstalledSuite;
using destinationtest::kSuiteName;
using destinationtest::RegisterSuite;
using ovtest::LogCapture;
using ovtest::Narrow;
using ovtest::RegistryOverride;

namespace {

std::wstring Folder(bool (*query)(wchar_t*, size_t)) {
    wchar_t folder[MAX_PATH] = {};
    EXPECT_TRUE(query(folder, MAX_PATH));
    return folder;
}

std::wstring Documents(bool allUsers) {
    wchar_t folder[MAX_PATH] = {};
    EXPECT_TRUE(GetDocumentsDir(folder, MAX_PATH, allUsers));
    wchar_t expanded[MAX_PATH] = {};
    ExpandEnvironmentStringsW(folder, expanded, MAX_PATH);
    return expanded;
}

// The line a refused path leaves in the log: the message with the path, the code as its value.
std::string RefusalLine(const std::wstring& path, int code) {
    return "(25025) This destination folder cannot be used: " + Narrow(path) +
           " - Value = " + std::to_string(code) + "\r\n";
}

TEST(ValidateDestinationPath, FoldersOfThisMachine) {
    const std::wstring windows = Folder(GetWinDir);
    const std::wstring programFiles = Folder(GetProgramFilesDir);
    const std::wstring documents = Documents(false);
    const std::wstring profiles = Documents(true);
    const std::wstring prefix = L"\\\\?\\";
    struct Case {
        const char* name;
        std::wstring path;
        int code;
    } cases[] = {
        {"a folder on the system disk", L"C:\\Tarnel", 0},
        {"below Program Files", programFiles + L"\\Tarnel", 0},
        {"long prefix before the drive", prefix + L"C:\\Tarnel", 0},
        {"quoted", L"\"C:\\Tarnel Suite\"", 0},
        {"beside Windows with a longer name", windows + L"2\\Tarnel", 0},

        {"percent sign", L"C:\\Tarnel 100%", 1},
        {"share", L"\\\\server\\share\\Tarnel", 2},
        {"share behind the long prefix", prefix + L"UNC\\server\\share\\Tarnel", 2},
        {"drive that does not exist", L"Q:\\Tarnel", 2},

        {"vertical bar", L"C:\\Tar|nel", 3},
        {"asterisk", L"C:\\Tar*", 3},
        {"slash", L"C:/Tarnel", 3},
        {"semicolon", L"C:\\Tar;nel", 3},
        {"angle brackets", L"C:\\<Tarnel>", 3},
        {"double backslash after the drive", L"C:\\\\a", 3},
        {"colon after the drive", L"C:\\a:b", 3},
        {"colon after a digit", L"1:\\a", 3},
        {"question mark outside the prefix", L"C:\\a?", 3},
        {"quoted without its closing quote", L"\"C:\\Tarnel Suite", 3},
        {"closing quote without an opening one", L"C:\\Tarnel Suite\"", 3},
        {"text after the closing quote", L"\"C:\\Tarnel\" Suite", 3},
        {"a quote alone", L"\"", 3},
        {"empty quotes before text", L"\"\"C:\\Tarnel", 3},

        {"no drive", L"Tarnel", 3},
        {"rooted without a drive", L"\\Tarnel", 3},

        {"empty", L"", 4},
        {"empty quotes", L"\"\"", 4},
        {"the long prefix alone", prefix, 4},
        {"1039 chars", L"C:\\" + std::wstring(1036, L'a'), 0},
        {"1040 chars", L"C:\\" + std::wstring(1037, L'a'), 5},

        {"drive root", L"C:\\", 6},
        {"drive without backslash", L"C:", 6},
        {"root of the current drive", L"\\", 6},
        {"root behind the long prefix", prefix + L"C:\\", 6},
        {"quoted root", L"\"C:\\\"", 6},
        {"a folder and its parent", L"C:\\Tarnel\\..", 6},

        {"the Windows directory", windows, 7},
        {"below the Windows directory", windows + L"\\Tarnel", 7},
        {"below Windows behind the long prefix", prefix + windows + L"\\Tarnel", 7},
        {"below Windows with a percent sign", windows + L"\\100%", 7},
        {"Windows through a detour", windows.substr(0, 3) + L"x\\..\\.\\" + windows.substr(3), 7},

        {"Program Files", programFiles, 8},
        {"Program Files with a backslash", programFiles + L"\\", 8},
        {"Program Files with \\.", programFiles + L"\\.", 8},
        {"Program Files behind the long prefix", prefix + programFiles, 8},
        {"Program Files with a trailing dot", programFiles + L".", 8},
        {"Program Files quoted", L"\"" + programFiles + L"\\\"", 8},

        {"inside the user's documents", documents + L"\\Tarnel", 9},
        {"the user's documents", documents, 9},
        {"inside the profiles of all users", profiles + L"\\Public\\Tarnel", 9},
    };
    LogCapture log;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        size_t before = log.Count("(25025)");
        EXPECT_EQ(c.code, ValidateDestinationPath(c.path.c_str(), 1));
        if (c.code == 0) {
            EXPECT_EQ(before, log.Count("(25025)")) << "an acceptable path is not logged";
        } else {
            EXPECT_EQ(before + 1, log.Count("(25025)"));
            // The log cuts its parts at 512 chars.
            if (c.path.size() < 400) {
                EXPECT_TRUE(log.Has(RefusalLine(c.path, c.code)));
            }
        }
    }
    EXPECT_EQ(5, ValidateDestinationPath(nullptr, 1));
    EXPECT_TRUE(log.Has(RefusalLine(L"", 5)));
}

// ---- folders of installed components ----------------------------------------------------------

const wchar_t* const kAntivirusKeys[] = {L"Tarnel Test Antivirus", L"Tarnel Suite Personal\\avtest",
                                         L"Tarnel Test Antivirus 1"};

const wchar_t* const kAntiSpamKeys[] = {L"Tarnel Test Anti-Spam"};

// Components whose uninstall entries and settings lie in the redirected registry.
class TestAntivirus : public ComponentStub {
  public:
    TestAntivirus() : ComponentStub(121, L"avtest", kAntivirusKeys, 3) {}
};
class TestAntiSpam : public ComponentStub {
  public:
    TestAntiSpam() : ComponentStub(136, L"astest", kAntiSpamKeys, 1) {}
};

class DestinationRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetupOptions::Get().Reset();
        programFiles_.CopyIntoRegistry();
    }
    void TearDown() override {
        Setup::Destroy();
        SetupOptions::Get().Reset();
        Logger::Get().SetDisplayLevel(0);
    }

    destinationtest::ProgramFiles programFiles_;  // read before the redirection
    RegistryOverride registry_;
    LogCapture log_;
};

TEST_F(DestinationRegistryTest, InstalledComponentsKeepTheirFolders) {
    // Installed in an older generation only: the check looks at every generation.
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, OV_UNINSTALL_KEY L"\\Tarnel Test Antivirus 1",
                         L"UninstallString", L"C:\\Tarnel AV\\uninst.exe");
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, OV_SUITE_KEY L"\\avtest", L"Path", L"C:\\Tarnel AV\\");
    // A component whose settings survived its uninstall.
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, OV_SUITE_KEY L"\\astest", L"Path", L"C:\\Tarnel Spam");
    // The suite shell's own folder is where the suite goes: never refused as a component's.
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, OV_UNINSTALL_KEY L"\\" OV_SUITE_ENTRY_NAME, L"UninstallString",
                         L"C:\\Tarnel Suite\\ovuninst.exe");
    RegisterSuite(L"C:\\Tarnel Suite", 2);

    ASSERT_NE(nullptr, Setup::Create(kRoleInstall));
    ProductMain shell;
    TestAntivirus antivirus;
    TestAntiSpam antiSpam;
    ASSERT_TRUE(Setup::Get()->products.Append(&shell));
    ASSERT_TRUE(Setup::Get()->products.Append(&antivirus));
    ASSERT_TRUE(Setup::Get()->products.Append(&antiSpam));

    struct Case {
        const wchar_t* path;
        int checkComponents;
        int code;
    } cases[] = {
        {L"C:\\Tarnel AV", 1, 10},  {L"c:\\tarnel av\\", 1, 10},   {L"\"C:\\Tarnel AV\"", 1, 10},
        {L"C:\\Tarnel AV", 0, 0},   {L"C:\\Tarnel AV\\Sub", 1, 0}, {L"C:\\Tarnel AVX", 1, 0},
        {L"C:\\Tarnel Spam", 1, 0}, {L"C:\\Tarnel Suite", 1, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.code, ValidateDestinationPath(c.path, c.checkComponents))
            << Narrow(c.path) << " with the check " << (c.checkComponents ? "on" : "off");
    }
}

// ---- the proposal -------------------------------------------------------------------------------

TEST_F(DestinationRegistryTest, PrepareProposesOrKeepsTheFolder) {
    const std::wstring proposal = programFiles_.Proposal();
    struct Case {
        const char* name;
        int generation;  // of the installed suite; -1: none installed
        const wchar_t* commandLine;
        int displayLevel;
        int result;
        std::wstring chosen;
        std::wstring installedName;
        const char* logged;  // a line the log must hold, or null
    } cases[] = {
        {"nothing installed, nothing given", -1, L"", 2, 0, proposal, L"", nullptr},
        {"a valid folder given", -1, L"/Path=C:\\TarnelGiven\\", 2, 0, L"C:\\TarnelGiven", L"", nullptr},
        {"a quoted folder given", -1, L"/ProductDest=\\\"C:\\TarnelGiven\\\"", 2, 0, L"C:\\TarnelGiven", L"",
         nullptr},
        {"the suite of this edition installed", 2, L"", 2, 0, kInstalledSuite, kSuiteName, nullptr},
        {"it wins over the command line", 2, L"/Path=C:\\TarnelGiven", 0, 0, kInstalledSuite, kSuiteName,
         nullptr},
        {"an older edition installed", 1, L"", 2, 0, proposal, L"", nullptr},
        {"an installed suite without its edition", 0, L"", 2, 0, proposal, L"", nullptr},
        {"an older edition and a folder given", 1, L"/Path=C:\\TarnelGiven", 2, 0, L"C:\\TarnelGiven", L"",
         nullptr},
        {"an invalid folder given, someone to ask", -1, L"/Path=C:\\", 2, 0, L"", L"",
         "(25025) This destination folder cannot be used: C:\\ - Value = 9019\r\n"},
        {"an invalid folder given at level 1", -1, L"/Path=C:\\Windows\\x", 1, 0, L"", L"",
         " - Value = 9019\r\n"},
        {"an invalid folder given, silent", -1, L"/Path=C:\\", 0, ErrorInvalidDestination, L"", L"",
         "(25025) Error E9019: This destination folder cannot be used: C:\\\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryOverride fresh;
        programFiles_.CopyIntoRegistry();
        if (c.generation >= 0) {
            RegisterSuite(kInstalledSuite, static_cast<DWORD>(c.generation));
        }
        SetupOptions::Get().Reset();
        SetupOptions::Get().ParseWide(c.commandLine);
        Logger::Get().SetDisplayLevel(c.displayLevel);

        DestinationChoice choice;
        EXPECT_EQ(c.result, choice.Prepare());
        EXPECT_EQ(c.chosen, choice.chosenFolder);
        EXPECT_EQ(c.installedName, choice.installedSuiteName);
        EXPECT_EQ(c.generation >= 0 ? kInstalledSuite : L"", std::wstring(choice.installedFolder));
        if (c.logged != nullptr) {
            EXPECT_TRUE(log_.Has(c.logged)) << log_.Text();
        }
    }
}

}  // namespace
