#include <gtest/gtest.h>

#include <string>

#include "log/logger.h"
#include "setup/options.h"

namespace {

TEST(SetupOptions, RoleFromFileName) {
    struct Case {
        const wchar_t* name;
        int role;
    } cases[] = {
        {L"ovsetup.exe", kRoleInstall},
        {L"ovuninst.exe", kRoleUninstall},
        {L"OVUNINST.EXE", kRoleUninstall},
        {L"trustadd.exe", kRoleTrustList},
        {L"ovcu_007.exe", kRoleCleanup},
        {L"OVCU_1.exe", kRoleCleanup},
        {L"ovcu.exe", kRoleInstall},
        {L"ovcu_", kRoleCleanup},
        {L"", kRoleInstall},
        {nullptr, kRoleInstall},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.role, SetupOptions::RoleFromFileName(c.name)) << (c.name ? c.name : L"(null)");
    }
    std::wstring tooLong(300, L'a');
    EXPECT_EQ(kRoleInstall, SetupOptions::RoleFromFileName(tooLong.c_str()));
}

struct Parsed {
    int role, displayLevel, logLevel, destinationGiven, scan, updateFromWeb, updateFirewall, productCheck,
        uninstallInfo, createProgramGroup;
    std::wstring destination, group;
};

Parsed ParseAs(const wchar_t* fileNameRoleOverride, const char* commandLine) {
    SetupOptions& options = SetupOptions::Get();
    options.Reset();
    if (fileNameRoleOverride != nullptr) {
        options.role = SetupOptions::RoleFromFileName(fileNameRoleOverride);
    }
    options.Parse(commandLine);
    return {options.role,
            options.displayLevel,
            options.logLevel,
            options.destinationGiven,
            options.scan,
            options.updateFromWeb,
            options.updateFirewall,
            options.productCheck,
            options.uninstallInfo,
            options.createProgramGroup,
            options.destinationText(),
            options.groupText()};
}

TEST(SetupOptions, SwitchesAndValues) {
    struct Case {
        const char* what;
        const wchar_t* fileName;
        const char* commandLine;
        int role, displayLevel, logLevel;
        const wchar_t* destination;
        int destinationGiven;
    } cases[] = {
        {"ovsetup /u uninstalls", L"ovsetup.exe", "/u", kRoleUninstall, -1, -1, L"", 0},
        {"ovuninst /i installs", L"ovuninst.exe", "/i", kRoleInstall, -1, -1, L"", 0},
        {"long role names, any case", L"ovsetup.exe", "-CLEANUP", kRoleCleanup, -1, -1, L"", 0},
        {"backslash introduces an option", L"ovsetup.exe", "\\t", kRoleTrustList, -1, -1, L"", 0},
        {"later option wins", L"ovsetup.exe", "/t /Uninstall", kRoleUninstall, -1, -1, L"", 0},
        {"silent then level 3", L"ovsetup.exe", "-silent /DisplayLevel=3", kRoleInstall, 3, -1, L"", 0},
        {"level 3 then silent", L"ovsetup.exe", "/DisplayLevel=3 -silent", kRoleInstall, 0, -1, L"", 0},
        {"log level without digits is 0", L"ovsetup.exe", "/LogLevel=abc", kRoleInstall, -1, 0, L"", 0},
        {"signed and spaced numbers", L"ovsetup.exe", "\"/LogLevel= -2x\"", kRoleInstall, -1, -2, L"", 0},
        {"empty path is given", L"ovsetup.exe", "/Path=", kRoleInstall, -1, -1, L"", 1},
        {"quoted path keeps blank and backslash", L"ovsetup.exe", "/ProductDest=\"C:\\My Folder\\x\"",
         kRoleInstall, -1, -1, L"C:\\My Folder\\x", 1},
        {"name must be followed by =", L"ovsetup.exe", "/PathX=C:\\a /Path", kRoleInstall, -1, -1, L"", 0},
        {"no leading option char: ignored", L"ovsetup.exe", "u Silent", kRoleInstall, -1, -1, L"", 0},
        {"unknown near-names change nothing", L"ovsetup.exe", "/Installer /NoScanning", kRoleInstall, -1, -1,
         L"", 0},
    };
    for (const Case& c : cases) {
        Parsed p = ParseAs(c.fileName, c.commandLine);
        EXPECT_EQ(c.role, p.role) << c.what;
        EXPECT_EQ(c.displayLevel, p.displayLevel) << c.what;
        EXPECT_EQ(c.logLevel, p.logLevel) << c.what;
        EXPECT_EQ(std::wstring(c.destination), p.destination) << c.what;
        EXPECT_EQ(c.destinationGiven, p.destinationGiven) << c.what;
        EXPECT_EQ(1, p.scan) << c.what;
    }
}

TEST(SetupOptions, FlagsOnlyClear) {
    Parsed p =
        ParseAs(nullptr, "/NoScan /NoUpdateFromWeb /NoUpdateFirewall /NoUninstallInfo /NoProgramGroup");
    EXPECT_EQ(0, p.scan);
    EXPECT_EQ(0, p.updateFromWeb);
    EXPECT_EQ(0, p.updateFirewall);
    EXPECT_EQ(1, p.productCheck);
    EXPECT_EQ(0, p.uninstallInfo);
    EXPECT_EQ(0, p.createProgramGroup);
    EXPECT_EQ(0, ParseAs(nullptr, "/NoProductCheck").productCheck);
    EXPECT_EQ(0, ParseAs(nullptr, "/IgnoreOtherAV").productCheck);
    EXPECT_EQ(L"Tarnel Apps", ParseAs(nullptr, "/Group=\"Tarnel Apps\"").group);
}

// Arguments are observed through the group option: the last /Group= wins.
TEST(SetupOptions, Splitting) {
    struct Case {
        const char* commandLine;
        const wchar_t* group;
    } cases[] = {
        {"/Group=a\"\" b", L"a"},        // a pair of quotes outside a group adds nothing
        {"\"/Group=a\"\"b\"", L"a\"b"},  // doubled quote inside a group: literal, closes it
        {"/Group=\\\"x\\\"", L"\"x\""},  // backslash-quote is a literal quote
        {"/Group=a\\b", L"a\\b"},        // other backslashes stay
        {"/Group=x \"\"", L"x"},         // an argument of two quotes is dropped
        {"\t/Group=tab\t", L"tab"},      // tabs separate too
        {"\"/Group=in quotes\" trailing", L"in quotes"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::wstring(c.group), ParseAs(nullptr, c.commandLine).group) << c.commandLine;
    }
}

TEST(SetupOptions, OnlyFirst256ArgumentsCount) {
    std::string line;
    for (int i = 0; i < 255; ++i)
        line += "/NoScan ";
    line += "/Group=kept /Group=dropped /NoProgramGroup";
    Parsed p = ParseAs(nullptr, line.c_str());
    EXPECT_EQ(L"kept", p.group);
    EXPECT_EQ(1, p.createProgramGroup);
}

TEST(SetupOptions, LevelsReachTheLog) {
    Logger& log = Logger::Get();
    log.SetDisplayLevel(2);
    log.SetLogLevel(3);
    ParseAs(nullptr, "/DisplayLevel=9 /LogLevel=1");
    EXPECT_EQ(2, log.GetDisplayLevel());  // out of range: kept
    EXPECT_EQ(1, log.GetLogLevel());
    ParseAs(nullptr, "/Silent /LogLevel=4");
    EXPECT_EQ(0, log.GetDisplayLevel());
    EXPECT_EQ(4, log.GetLogLevel());
    log.SetDisplayLevel(2);
    log.SetLogLevel(3);
}

}  // namespace
