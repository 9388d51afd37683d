#include <gtest/gtest.h>

#include <random>
#include <string>

#include "host/paths.h"
#include "log/logger.h"
#include "support/log_capture.h"
#include "support/test_support.h"

namespace {

using ovtest::Narrow;

// Failing calls report to the log; only the tests that look for a report write one.
const int kQuietLog = Logger::Get().SetLogLevel(0);

using ovtest::LogCapture;

bool AllZero(const wchar_t* buffer, size_t chars) {
    for (size_t i = 0; i < chars; ++i) {
        if (buffer[i] != L'\0')
            return false;
    }
    return true;
}

std::wstring Repeat(wchar_t ch, size_t count) {
    return std::wstring(count, ch);
}

// ---------------------------------------------------------------------------------------------
// AppendPath

TEST(AppendPath, JoinsWithOneBackslash) {
    const std::wstring dir257 = L"C:\\" + Repeat(L'd', 254);
    struct Case {
        const char* name;
        const wchar_t* directory;
        const wchar_t* subPath;
        size_t chars;
        bool ok;
        const wchar_t* expected;
    } cases[] = {
        {"trailing and leading backslashes", L"C:\\A\\", L"\\\\B", 260, true, L"C:\\A\\B"},
        {"drive without backslash", L"C:", L"B", 260, true, L"C:\\B"},
        {"no directory", nullptr, L"\\B", 260, true, L"B"},
        {"neither", nullptr, nullptr, 260, true, L""},
        {"no sub path", L"C:\\A", nullptr, 260, true, L"C:\\A"},
        {"empty directory", L"", L"B", 260, true, L"\\B"},
        {"empty sub path", L"C:\\A", L"", 260, true, L"C:\\A\\"},
        {"absolute sub path", L"C:\\A", L"D:\\B", 260, true, L"C:\\A\\D:\\B"},
        {"only backslashes", L"C:\\A", L"\\\\\\", 260, true, L"C:\\A\\"},
        {"backslash inside kept", L"C:\\A", L"B\\\\C", 260, true, L"C:\\A\\B\\\\C"},
        {"259 chars fit", dir257.c_str(), L"x", 260, true, nullptr},
        {"260 chars do not", dir257.c_str(), L"xy", 260, false, L""},
        {"larger output does not help", dir257.c_str(), L"xy", 600, false, L""},
        {"output too small", L"C:\\A", L"B", 6, false, L""},
        {"output just fits", L"C:\\A", L"B", 7, true, L"C:\\A\\B"},
        {"size 1 empty result", nullptr, nullptr, 1, true, L""},
        {"size 1", L"A", nullptr, 1, false, L""},
        {"size 2", L"A", nullptr, 2, true, L"A"},
        {"size 3 needs 4", L"A", L"B", 3, false, L""},
    };
    for (const Case& c : cases) {
        wchar_t buffer[601];
        wmemset(buffer, L'#', 601);
        bool ok = AppendPath(buffer, c.chars, c.directory, c.subPath);
        EXPECT_EQ(c.ok, ok) << c.name;
        std::wstring expected = c.expected != nullptr ? c.expected : dir257 + L"\\x";
        if (c.ok) {
            EXPECT_EQ(Narrow(expected), Narrow(buffer)) << c.name;
        } else {
            EXPECT_TRUE(AllZero(buffer, c.chars)) << c.name;
        }
        EXPECT_EQ(L'#', buffer[c.chars]) << c.name << ": wrote past the output";
    }
}

TEST(AppendPath, InPlaceFailureLeavesTheInput) {
    const std::wstring longName = Repeat(L'n', 255);
    // Directory in the output.
    wchar_t buffer[kPathChars] = L"C:\\Program Files";
    EXPECT_FALSE(AppendPath(buffer, kPathChars, buffer, longName.c_str()));
    EXPECT_STREQ(L"C:\\Program Files", buffer);
    // Sub path in the output.
    wcscpy(buffer, longName.c_str());
    EXPECT_FALSE(AppendPath(buffer, kPathChars, L"C:\\Program Files", buffer));
    EXPECT_EQ(Narrow(longName), Narrow(buffer));
    // And in place it works when it fits.
    wcscpy(buffer, L"\\\\sub");
    EXPECT_TRUE(AppendPath(buffer, kPathChars, L"C:\\A", buffer));
    EXPECT_STREQ(L"C:\\A\\sub", buffer);
    EXPECT_TRUE(AppendPath(buffer, kPathChars, buffer, L"x.exe"));
    EXPECT_STREQ(L"C:\\A\\sub\\x.exe", buffer);
}

TEST(AppendPath, FailuresAreReported) {
    LogCapture log;
    const std::wstring longName = Repeat(L'n', 300);
    wchar_t buffer[kPathChars];
    EXPECT_FALSE(AppendPath(buffer, kPathChars, nullptr, longName.c_str()));
    EXPECT_TRUE(log.Has("(25521)"));
    EXPECT_TRUE(log.Has("Directory = <NULL>, Sub Path = nnnn"));
    EXPECT_TRUE(log.Has(", Size = 260"));
    EXPECT_FALSE(log.Has("(25520)"));
    EXPECT_FALSE(AppendPath(nullptr, kPathChars, L"C:\\A", L"B"));
    EXPECT_FALSE(AppendPath(buffer, 0, L"C:\\A", L"B"));
    EXPECT_TRUE(log.Has("(25520)"));
    EXPECT_TRUE(log.Has("AppendPath"));
}

// ---------------------------------------------------------------------------------------------
// BuildCommandLine

TEST(BuildCommandLine, QuotesThePathAndAddsSwitches) {
    const std::wstring dir259 = L"C:\\" + Repeat(L'd', 250);  // joined with "\m.exe": 259 chars
    const std::wstring sw257 = Repeat(L's', 257);
    const std::wstring sw259 = Repeat(L's', 259);
    const std::wstring dir260 = dir259 + L"d";
    const std::wstring sw260 = sw259 + L"s";
    struct Case {
        const char* name;
        const wchar_t* directory;
        const wchar_t* module;
        const wchar_t* switches;  // literal, no format
        size_t chars;
        bool ok;
        std::wstring expected;
    } cases[] = {
        {"literal switches", L"C:\\Program Files\\X", L"z-update.exe", L"/u_silent", 520, true,
         L"\"C:\\Program Files\\X\\z-update.exe\" /u_silent"},
        {"no switches, no blank", L"C:\\X", L"a.exe", nullptr, 520, true, L"\"C:\\X\\a.exe\""},
        {"empty switches, no blank", L"C:\\X", L"a.exe", L"", 520, true, L"\"C:\\X\\a.exe\""},
        {"percent kept literally", L"C:\\X", L"a.exe", L"/p:%s%d", 520, true, L"\"C:\\X\\a.exe\" /p:%s%d"},
        {"no directory", nullptr, L"a.exe", nullptr, 520, false, L""},
        {"no module", L"C:\\X", nullptr, nullptr, 520, false, L""},
        {"path too long", dir260.c_str(), L"m.exe", nullptr, 520, false, L""},
        {"switches 260 chars", L"C:\\X", L"a.exe", sw260.c_str(), 520, false, L""},
        {"line of 519 chars fits", dir259.c_str(), L"m.exe", sw257.c_str(), 520, true,
         L"\"" + dir259 + L"\\m.exe\" " + sw257},
        {"line of 521 chars", dir259.c_str(), L"m.exe", sw259.c_str(), 600, false, L""},
        {"output too small", L"C:\\X", L"a.exe", nullptr, 12, false, L""},
        {"output just fits", L"C:\\X", L"a.exe", nullptr, 13, true, L"\"C:\\X\\a.exe\""},
        {"size 1", L"C:\\X", L"a.exe", nullptr, 1, false, L""},
        {"size 2", L"C:\\X", L"a.exe", nullptr, 2, false, L""},
        {"size 3", L"C:\\X", L"a.exe", nullptr, 3, false, L""},
    };
    for (const Case& c : cases) {
        wchar_t buffer[700];
        wmemset(buffer, L'#', 700);
        bool ok = BuildCommandLine(buffer, c.chars, c.directory, c.module, nullptr, c.switches);
        EXPECT_EQ(c.ok, ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(Narrow(c.expected), Narrow(buffer)) << c.name;
        } else {
            EXPECT_TRUE(AllZero(buffer, c.chars)) << c.name;
        }
        EXPECT_EQ(L'#', buffer[c.chars]) << c.name << ": wrote past the output";
    }
}

TEST(BuildCommandLine, FormatsSwitches) {
    wchar_t line[kCommandLineChars];
    EXPECT_TRUE(BuildCommandLine(line, kCommandLineChars, L"C:\\av", L"setup.exe", L"/s /v%u", 5u));
    EXPECT_STREQ(L"\"C:\\av\\setup.exe\" /s /v5", line);
    EXPECT_TRUE(BuildCommandLine(line, kCommandLineChars, L"C:\\av", L"setup.exe", L"/path=\"%s\" /n%d",
                                 L"D:\\x", -3));
    EXPECT_STREQ(L"\"C:\\av\\setup.exe\" /path=\"D:\\x\" /n-3", line);
    // A format without arguments is used as it stands.
    EXPECT_TRUE(BuildCommandLine(line, kCommandLineChars, L"C:\\av", L"setup.exe", L"/quiet"));
    EXPECT_STREQ(L"\"C:\\av\\setup.exe\" /quiet", line);
    // An empty format is a caller error, not "no switches".
    wcscpy(line, L"old");
    EXPECT_FALSE(BuildCommandLine(line, kCommandLineChars, L"C:\\av", L"setup.exe", L""));
    EXPECT_TRUE(AllZero(line, kCommandLineChars));
    // Formatted switches must fit 260 chars.
    const std::wstring long259 = Repeat(L'v', 259);
    EXPECT_FALSE(BuildCommandLine(line, kCommandLineChars, L"C:\\av", L"setup.exe", L"/%s", long259.c_str()));
    EXPECT_TRUE(AllZero(line, kCommandLineChars));
    EXPECT_TRUE(BuildCommandLine(line, kCommandLineChars, L"C:\\av", L"setup.exe", L"%s", long259.c_str()));
}

TEST(BuildCommandLine, InputsMayLieInTheOutput) {
    wchar_t line[kCommandLineChars] = L"C:\\Program Files\\X";
    EXPECT_TRUE(BuildCommandLine(line, kCommandLineChars, line, L"a.exe", nullptr, L"/x"));
    EXPECT_STREQ(L"\"C:\\Program Files\\X\\a.exe\" /x", line);
}

TEST(BuildCommandLine, FailuresAreReported) {
    LogCapture log;
    wchar_t line[kCommandLineChars];
    EXPECT_FALSE(BuildCommandLine(line, kCommandLineChars, L"C:\\av", nullptr, nullptr, L"/x"));
    EXPECT_TRUE(log.Has("(25523)"));
    EXPECT_TRUE(log.Has("Directory = C:\\av, Module = <NULL>, Format = <NULL>, Switches = , Size = 520"));
    EXPECT_FALSE(log.Has("(25520)"));
    EXPECT_FALSE(BuildCommandLine(nullptr, kCommandLineChars, L"C:\\av", L"a.exe", nullptr, L"/x"));
    EXPECT_TRUE(log.Has("(25520)"));
    EXPECT_TRUE(log.Has("BuildCommandLine"));
}

// ---------------------------------------------------------------------------------------------
// GetAppFilePath

TEST(GetAppFilePath, BelowTheProgramDirectory) {
    const std::wstring bin = ovtest::BinDir();
    wchar_t path[kPathChars];
    ASSERT_TRUE(GetAppFilePath(path, kPathChars, L"ovavprod.dll", L"av"));
    EXPECT_EQ(Narrow(bin + L"\\av\\ovavprod.dll"), Narrow(path));
    ASSERT_TRUE(GetAppFilePath(path, kPathChars, L"license.txt", nullptr));
    EXPECT_EQ(Narrow(bin + L"\\license.txt"), Narrow(path));
    const std::wstring tooLong = Repeat(L'f', 260 - bin.size());
    EXPECT_FALSE(GetAppFilePath(path, kPathChars, tooLong.c_str(), nullptr));
    EXPECT_TRUE(AllZero(path, kPathChars));
    EXPECT_FALSE(GetAppFilePath(path, bin.size() + 2, L"a", nullptr));  // needs bin + 3
    EXPECT_TRUE(AllZero(path, bin.size() + 2));
}

// ---------------------------------------------------------------------------------------------
// Small text operations

TEST(EnsureTrailingChar, AppendsOnlyWhenMissing) {
    struct Case {
        const wchar_t* text;
        size_t chars;
        bool ok;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\A", 260, true, L"C:\\A\\"},
        {L"C:\\A\\", 260, true, L"C:\\A\\"},
        {L"", 260, true, L"\\"},
        {L"A", 3, true, L"A\\"},
        {L"A", 2, false, L""},
        {L"A\\", 3, true, L"A\\"},
        {L"", 1, false, L""},
        {L"", 2, true, L"\\"},
    };
    for (const Case& c : cases) {
        wchar_t buffer[300] = {};
        wcscpy(buffer, c.text);
        buffer[c.chars] = L'#';
        EXPECT_EQ(c.ok, EnsureTrailingChar(buffer, c.chars, L'\\')) << Narrow(c.text) << " in " << c.chars;
        EXPECT_STREQ(c.expected, buffer) << Narrow(c.text) << " in " << c.chars;
        EXPECT_EQ(L'#', buffer[c.chars]) << Narrow(c.text) << " in " << c.chars;
    }
}

TEST(StripLastPathComponent, CutsAtTheLastBackslashRun) {
    struct Case {
        const wchar_t* path;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\A\\\\B", L"C:\\A"},    {L"B", L"B"},     {L"\\B", L""}, {L"\\\\B", L""},
        {L"C:\\A\\B\\", L"C:\\A\\B"}, {L"C:\\", L"C:"}, {L"", L""},    {L"C:\\A", L"C:"},
    };
    for (const Case& c : cases) {
        wchar_t buffer[kPathChars];
        wcscpy(buffer, c.path);
        StripLastPathComponent(buffer);
        EXPECT_STREQ(c.expected, buffer) << Narrow(c.path);
    }
    // Walking up a tree ends: the path stops changing or becomes empty.
    wchar_t path[kPathChars] = L"C:\\Program Files\\Orvane\\Suite";
    int steps = 0;
    for (std::wstring before; before != path && path[0] != L'\0' && steps < 10; ++steps) {
        before = path;
        StripLastPathComponent(path);
    }
    EXPECT_STREQ(L"C:", path);
    EXPECT_EQ(4, steps);
}

TEST(Trim, SpacesAndCharacterRuns) {
    struct Case {
        const char* name;
        void (*trim)(wchar_t*);
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {"leading spaces", TrimLeadingSpaces, L" \t\r\n A b ", L"A b "},
        {"trailing spaces", TrimTrailingSpaces, L" A b \t\r\n ", L" A b"},
        {"leading only spaces", TrimLeadingSpaces, L" \t ", L""},
        {"trailing only spaces", TrimTrailingSpaces, L" \t ", L""},
        {"leading none", TrimLeadingSpaces, L"A ", L"A "},
        {"trailing none", TrimTrailingSpaces, L" A", L" A"},
        {"leading empty", TrimLeadingSpaces, L"", L""},
        {"trailing ideographic space", TrimTrailingSpaces, L"A\x3000", L"A"},
        {"leading leaves letters", TrimLeadingSpaces, L"\x00e9 x", L"\x00e9 x"},
    };
    for (const Case& c : cases) {
        wchar_t buffer[64];
        wcscpy(buffer, c.text);
        c.trim(buffer);
        EXPECT_STREQ(c.expected, buffer) << c.name;
    }

    struct CharCase {
        const char* name;
        void (*trim)(wchar_t*, wchar_t);
        const wchar_t* text;
        const wchar_t* expected;
    } charCases[] = {
        {"leading run", TrimLeadingChar, L"\\\\A\\", L"A\\"},
        {"trailing run", TrimTrailingChar, L"\\A\\\\", L"\\A"},
        {"remove one", RemoveTrailingChar, L"A\\\\", L"A\\"},
        {"trailing run of two", TrimTrailingChar, L"A\\\\", L"A"},
        {"remove only at the end", RemoveTrailingChar, L"\\A", L"\\A"},
        {"leading all", TrimLeadingChar, L"\\\\", L""},
        {"trailing all", TrimTrailingChar, L"\\\\", L""},
        {"remove single", RemoveTrailingChar, L"\\", L""},
        {"remove from empty", RemoveTrailingChar, L"", L""},
    };
    for (const CharCase& c : charCases) {
        wchar_t buffer[64];
        wcscpy(buffer, c.text);
        c.trim(buffer, L'\\');
        EXPECT_STREQ(c.expected, buffer) << c.name;
    }
    // Null texts are ignored.
    TrimLeadingSpaces(nullptr);
    TrimTrailingSpaces(nullptr);
    TrimLeadingChar(nullptr, L'x');
    TrimTrailingChar(nullptr, L'x');
    RemoveTrailingChar(nullptr, L'x');
}

TEST(FindChar, FirstAndLast) {
    const wchar_t* text = L"a\\b\\c";
    struct Case {
        wchar_t ch;
        int first;  // -1: none
        int last;
    } cases[] = {{L'\\', 1, 3}, {L'a', 0, 0}, {L'c', 4, 4}, {L'x', -1, -1}, {L'\0', 5, 5}};
    for (const Case& c : cases) {
        wchar_t* first = FindFirstChar(c.ch, text);
        wchar_t* last = FindLastChar(c.ch, text);
        EXPECT_EQ(c.first, first == nullptr ? -1 : static_cast<int>(first - text)) << "char " << int(c.ch);
        EXPECT_EQ(c.last, last == nullptr ? -1 : static_cast<int>(last - text)) << "char " << int(c.ch);
    }
    EXPECT_EQ(nullptr, FindFirstChar(L'a', nullptr));
    EXPECT_EQ(nullptr, FindLastChar(L'a', nullptr));
    EXPECT_EQ(nullptr, FindFirstChar(L'a', L""));
}

TEST(ParseDecimal, LeadingDigitsOnly) {
    struct Case {
        const wchar_t* text;
        unsigned long expected;
    } cases[] = {
        {L"123abc", 123}, {L"abc", 0},    {L"", 0},
        {L"007", 7},      {L" 12", 0},    {L"12.5", 12},
        {L"-4", 0},       {L"\xff11", 0}, {L"4294967295", 4294967295ul},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, ParseDecimal(c.text)) << Narrow(c.text);
    }
    EXPECT_EQ(0ul, ParseDecimal(nullptr));
}

// ---------------------------------------------------------------------------------------------
// CompareVersionStrings

TEST(CompareVersionStrings, ComponentThatDecides) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        int expected;
    } cases[] = {
        {L"5.0.1", L"5.0.1.0", 0},
        {L"1.10", L"1.9", 2},
        {L"Version 7.1", L"7.2", -2},
        {L"", L"", 0},
        {L"abc", L"def", 0},
        {nullptr, nullptr, 0},
        {nullptr, L"", 0},
        {L"", L"1", -1},
        {L"0", L"", 0},
        {L"5.0.0.1", L"5.0", 4},
        {L"10-2", L"10.2", 0},
        {L"1.2a3", L"1.2.3", 0},
        {L"00012", L"12", 0},
        {L"8.1.0.1000", L"8.1.0.999", 4},
        {L"4294967296", L"0", 1},
        {L"99999999999999999999.1", L"99999999999999999999.2", -2},
        {L"v", L"1", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, CompareVersionStrings(c.a, c.b))
            << Narrow(c.a ? c.a : L"<null>") << " vs " << Narrow(c.b ? c.b : L"<null>");
    }
}

// ---------------------------------------------------------------------------------------------
// FindFreeNumberedName

TEST(FindFreeNumberedName, FirstAbsentName) {
    ovtest::ScratchDir dir;
    const wchar_t* format = L"ovcu_%03d.exe";
    wchar_t name[kPathChars];

    ASSERT_TRUE(FindFreeNumberedName(name, kPathChars, dir.path().c_str(), format, 1, 999));
    EXPECT_STREQ(L"ovcu_001.exe", name);

    ASSERT_TRUE(ovtest::WriteFileBytes(dir / L"ovcu_001.exe", "x"));
    ASSERT_TRUE(CreateDirectoryW((dir / L"ovcu_002.exe").c_str(), nullptr));  // any entry counts
    ASSERT_TRUE(FindFreeNumberedName(name, kPathChars, dir.path().c_str(), format, 1, 999));
    EXPECT_STREQ(L"ovcu_003.exe", name);

    // Every candidate taken: the last one.
    ASSERT_TRUE(FindFreeNumberedName(name, kPathChars, dir.path().c_str(), format, 1, 2));
    EXPECT_STREQ(L"ovcu_002.exe", name);

    // A folder that does not exist has every name free.
    ASSERT_TRUE(FindFreeNumberedName(name, kPathChars, (dir / L"none").c_str(), format, 5, 9));
    EXPECT_STREQ(L"ovcu_005.exe", name);
}

TEST(FindFreeNumberedName, FailuresLeaveTheOutputEmpty) {
    ovtest::ScratchDir dir;
    const std::wstring longDir = L"C:\\" + Repeat(L'd', 250);
    struct Case {
        const char* name;
        const wchar_t* directory;
        const wchar_t* format;
        size_t chars;
        int first;
        int last;
    } cases[] = {
        {"name does not fit", dir.path().c_str(), L"ovcu_%03d.exe", 12, 1, 9},
        {"size 1", dir.path().c_str(), L"%d", 1, 1, 9},
        {"path too long", longDir.c_str(), L"ovcu_%03d.exe", kPathChars, 1, 9},
        {"no format", dir.path().c_str(), nullptr, kPathChars, 1, 9},
        {"empty range", dir.path().c_str(), L"ovcu_%03d.exe", kPathChars, 5, 4},
    };
    for (const Case& c : cases) {
        wchar_t name[kPathChars + 1];
        wmemset(name, L'#', kPathChars + 1);
        EXPECT_FALSE(FindFreeNumberedName(name, c.chars, c.directory, c.format, c.first, c.last)) << c.name;
        EXPECT_TRUE(AllZero(name, c.chars)) << c.name;
        EXPECT_EQ(L'#', name[c.chars]) << c.name;
    }
    wchar_t name[3];
    EXPECT_TRUE(FindFreeNumberedName(name, 3, dir.path().c_str(), L"%d", 7, 9));  // size 3 fits "7"
    EXPECT_STREQ(L"7", name);
}

// ---------------------------------------------------------------------------------------------
// Code-page conversions

TEST(Conversions, AnsiCodePage) {
    EXPECT_STREQ("", WideToMultiByte(nullptr).c_str());
    EXPECT_STREQ("", WideToMultiByte(L"").c_str());
    EXPECT_EQ(0u, WideToMultiByte(L"").size());
    EXPECT_STREQ(L"", MultiByteToWide(nullptr).c_str());
    EXPECT_STREQ(L"", MultiByteToWide("").c_str());

    AnsiText ansi = WideToMultiByte(L"C:\\Program Files\\x.exe");
    EXPECT_STREQ("C:\\Program Files\\x.exe", ansi.c_str());
    EXPECT_EQ(22u, ansi.size());
    WideText wide = MultiByteToWide("/s /v\"C:\\x\"");
    EXPECT_STREQ(L"/s /v\"C:\\x\"", wide.c_str());
    EXPECT_EQ(11u, wide.size());

    if (GetACP() == 1252) {
        EXPECT_STREQ("caf\xe9", WideToMultiByte(L"caf\x00e9").c_str());
        EXPECT_STREQ(L"caf\x00e9", MultiByteToWide("caf\xe9").c_str());
    }
    // Not limited by the fixed buffers.
    const std::wstring big = Repeat(L'z', 100000);
    EXPECT_EQ(100000u, WideToMultiByte(big.c_str()).size());
    EXPECT_EQ(100000u, MultiByteToWide(std::string(100000, 'z').c_str()).size());
}

TEST(Conversions, OwnershipMoves) {
    AnsiText a = WideToMultiByte(L"abc");
    AnsiText b(std::move(a));
    EXPECT_STREQ("", a.c_str());  // NOLINT(bugprone-use-after-move): moved-from is empty by contract
    EXPECT_STREQ("abc", b.c_str());
    b = WideToMultiByte(L"de");
    EXPECT_STREQ("de", b.c_str());
    AnsiText& self = b;
    b = std::move(self);
    EXPECT_STREQ("de", b.c_str());

    WideText w = MultiByteToWide("xyz");
    WideText v;
    v = std::move(w);
    EXPECT_STREQ(L"", w.c_str());  // NOLINT(bugprone-use-after-move)
    EXPECT_STREQ(L"xyz", v.c_str());
}

// ---------------------------------------------------------------------------------------------
// Randomised robustness: many generated inputs against simple models.

class Generator {
  public:
    explicit Generator(unsigned seed) : rng_(seed) {}
    int Below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
    size_t Length() {
        static const size_t kEdges[] = {0, 1, 2, 3, 257, 258, 259, 260, 261, 518, 519, 520, 521};
        return Below(3) == 0 ? static_cast<size_t>(Below(600)) : kEdges[Below(13)];
    }
    wchar_t Char() {
        static const wchar_t kOdd[] = {L'\\',     L'/',      L' ',      L'"',      L'%',      L'.',
                                       L'\x00e9', L'\x00df', L'\x4e2d', L'\x3000', L'\xd83d', L'\xde00'};
        switch (Below(4)) {
            case 0:
                return L'\\';
            case 1:
                return kOdd[Below(12)];
            default:
                return static_cast<wchar_t>(L' ' + 1 + Below(94));
        }
    }
    std::wstring Text() {
        std::wstring text;
        size_t length = Length();
        int shape = Below(4);
        for (size_t i = 0; i < length; ++i) {
            // Some texts start with a long run of backslashes.
            text += (shape == 0 && i < length / 2) ? L'\\' : Char();
        }
        return text;
    }
    size_t Size() {
        static const size_t kSizes[] = {1, 2, 3, 259, 260, 261, 519, 520, 521};
        return Below(2) == 0 ? kSizes[Below(9)] : static_cast<size_t>(1 + Below(600));
    }

  private:
    std::mt19937 rng_;
};

// The expected join, or false when it does not fit.
bool ModelAppendPath(const std::wstring* directory, const std::wstring* subPath, size_t chars,
                     std::wstring* result) {
    std::wstring joined = directory != nullptr ? *directory : L"";
    if (joined.size() >= kPathChars)
        return false;
    if (subPath != nullptr) {
        if (directory != nullptr && (joined.empty() || joined.back() != L'\\'))
            joined += L'\\';
        joined += subPath->substr(std::min(subPath->find_first_not_of(L'\\'), subPath->size()));
    }
    if (joined.size() >= kPathChars || joined.size() >= chars)
        return false;
    *result = joined;
    return true;
}

const size_t kGuard = 8;

bool GuardIntact(const wchar_t* buffer, size_t chars) {
    for (size_t i = chars; i < chars + kGuard; ++i) {
        if (buffer[i] != L'#')
            return false;
    }
    return true;
}

TEST(Robustness, AppendPath) {
    Generator gen(20240611);
    for (int i = 0; i < 4000; ++i) {
        std::wstring dir = gen.Text(), sub = gen.Text();
        const std::wstring* d = gen.Below(8) == 0 ? nullptr : &dir;
        const std::wstring* s = gen.Below(8) == 0 ? nullptr : &sub;
        size_t chars = gen.Size();
        std::wstring expected;
        bool fits = ModelAppendPath(d, s, chars, &expected);
        std::string name = "case " + std::to_string(i) + " size " + std::to_string(chars);

        std::wstring buffer(chars + kGuard, L'#');
        bool ok = AppendPath(&buffer[0], chars, d ? d->c_str() : nullptr, s ? s->c_str() : nullptr);
        ASSERT_EQ(fits, ok) << name;
        if (ok) {
            ASSERT_TRUE(expected == buffer.c_str()) << name;
        } else {
            ASSERT_TRUE(AllZero(buffer.data(), chars)) << name;
        }
        ASSERT_TRUE(GuardIntact(buffer.data(), chars)) << name;

        // In place with the directory, then with the sub path, in a buffer that holds the input.
        if (d != nullptr && dir.size() < chars) {
            std::wstring inPlace(chars + kGuard, L'#');
            wmemcpy(&inPlace[0], dir.c_str(), dir.size() + 1);
            const std::wstring before = inPlace;
            bool okInPlace = AppendPath(&inPlace[0], chars, inPlace.c_str(), s ? s->c_str() : nullptr);
            ASSERT_EQ(fits, okInPlace) << name << " in place";
            ASSERT_TRUE(okInPlace ? expected == inPlace.c_str() : before == inPlace) << name << " in place";
            ASSERT_TRUE(GuardIntact(inPlace.data(), chars)) << name << " in place";
        }
        if (s != nullptr && sub.size() < chars) {
            std::wstring inPlace(chars + kGuard, L'#');
            wmemcpy(&inPlace[0], sub.c_str(), sub.size() + 1);
            const std::wstring before = inPlace;
            bool okInPlace = AppendPath(&inPlace[0], chars, d ? d->c_str() : nullptr, inPlace.c_str());
            ASSERT_EQ(fits, okInPlace) << name << " sub in place";
            ASSERT_TRUE(okInPlace ? expected == inPlace.c_str() : before == inPlace)
                << name << " sub in place";
        }
    }
}

TEST(Robustness, BuildCommandLine) {
    Generator gen(7031);
    for (int i = 0; i < 4000; ++i) {
        std::wstring dir = gen.Text(), module = gen.Text(), switches = gen.Text();
        // Shorter parts too, so that many lines succeed.
        if (gen.Below(2) == 0)
            dir.resize(std::min<size_t>(dir.size(), gen.Below(200)));
        if (gen.Below(2) == 0)
            module.resize(std::min<size_t>(module.size(), gen.Below(40)));
        const wchar_t* d = gen.Below(10) == 0 ? nullptr : dir.c_str();
        const wchar_t* m = gen.Below(10) == 0 ? nullptr : module.c_str();
        const wchar_t* sw = gen.Below(6) == 0 ? nullptr : switches.c_str();
        bool viaFormat = gen.Below(2) == 0;
        size_t chars = gen.Size();
        std::string name = "case " + std::to_string(i) + " size " + std::to_string(chars);

        std::wstring expected;
        std::wstring joined;
        bool fits = d != nullptr && m != nullptr;
        if (fits) {
            std::wstring dirText = d, moduleText = m;
            fits = ModelAppendPath(&dirText, &moduleText, kPathChars, &joined);
        }
        std::wstring swText = sw != nullptr ? sw : L"";
        fits = fits && swText.size() < kPathChars;
        if (fits) {
            expected = L"\"" + joined + L"\"" + (swText.empty() ? L"" : L" " + swText);
            fits = expected.size() < kCommandLineChars && expected.size() < chars;
        }

        std::wstring buffer(chars + kGuard, L'#');
        bool ok = viaFormat ? BuildCommandLine(&buffer[0], chars, d, m, L"%s", sw != nullptr ? sw : L"")
                            : BuildCommandLine(&buffer[0], chars, d, m, nullptr, sw);
        ASSERT_EQ(fits, ok) << name;
        if (ok) {
            ASSERT_TRUE(expected == buffer.c_str()) << name;
        } else {
            ASSERT_TRUE(AllZero(buffer.data(), chars)) << name;
        }
        ASSERT_TRUE(GuardIntact(buffer.data(), chars)) << name;
    }
}

TEST(Robustness, CompareVersionStrings) {
    Generator gen(99);
    static const wchar_t kVersionChars[] = L"0123456789000099..--vV x";
    auto versionText = [&gen]() {
        std::wstring text;
        int length = gen.Below(4) == 0 ? gen.Below(60) : gen.Below(12);
        for (int i = 0; i < length; ++i) {
            text += gen.Below(10) == 0 ? gen.Char() : kVersionChars[gen.Below(24)];
        }
        return text;
    };
    for (int i = 0; i < 4000; ++i) {
        std::wstring a = versionText(), b = versionText();
        std::string name = Narrow(a) + " vs " + Narrow(b);
        int ab = CompareVersionStrings(a.c_str(), b.c_str());
        ASSERT_EQ(-ab, CompareVersionStrings(b.c_str(), a.c_str())) << name;
        ASSERT_EQ(0, CompareVersionStrings(a.c_str(), a.c_str())) << Narrow(a);
    }
    // Dotted numbers against the order of their component lists (missing components are 0).
    for (int i = 0; i < 4000; ++i) {
        unsigned x[4] = {}, y[4] = {};
        int xn = 1 + gen.Below(4), yn = 1 + gen.Below(4);
        std::wstring a, b;
        for (int k = 0; k < xn; ++k) {
            x[k] = static_cast<unsigned>(gen.Below(3) == 0 ? gen.Below(100000) : gen.Below(3));
            a += (k ? L"." : L"") + std::to_wstring(x[k]);
        }
        for (int k = 0; k < yn; ++k) {
            y[k] = static_cast<unsigned>(gen.Below(3) == 0 ? gen.Below(100000) : gen.Below(3));
            b += (k ? L"." : L"") + std::to_wstring(y[k]);
        }
        int expected = 0;
        for (int k = 0; k < 4 && expected == 0; ++k) {
            if (x[k] != y[k])
                expected = x[k] < y[k] ? -(k + 1) : k + 1;
        }
        ASSERT_EQ(expected, CompareVersionStrings(a.c_str(), b.c_str())) << Narrow(a) << " vs " << Narrow(b);
    }
}

}  // namespace
