#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "host/system.h"
#include "log/logger.h"
#include "support/test_support.h"
#include "ui/resource_string.h"

using ovtest::Narrow;

namespace {

typedef std::vector<std::string> Lines;

std::string Ansi(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr,
                            nullptr);
    }
    return out;
}

std::string DateTimeNow() {
    wchar_t buffer[256] = {};
    GetLocalDateTimeString(buffer, 256);
    return Ansi(buffer);
}

// Message boxes shown through the framework hook (the one the framework wrapper installs).
struct Box {
    std::string text;
    std::string caption;
};
std::vector<Box> g_boxes;
int g_frameworkResult = 1;
void (*g_insideBox)() = nullptr;

int FrameworkShowMessage(HWND, const wchar_t* text, const wchar_t* caption, UINT) {
    g_boxes.push_back({Narrow(text), Narrow(caption)});
    if (g_insideBox != nullptr) {
        g_insideBox();
    }
    return g_frameworkResult;
}

bool ProductCaption(wchar_t* buffer, size_t chars) {
    lstrcpynW(buffer, L"Test Product", static_cast<int>(chars));
    return true;
}

int FrameworkNotLoaded(HWND, const wchar_t*, const wchar_t*, UINT) {
    return -1;
}

std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const Box& box : g_boxes)
        texts.push_back(box.text);
    return texts;
}

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Lines kSeparator = {"", "+++ --- +++ --- +++", ""};

class LoggerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Logger& log = Logger::Get();
        SetLevels(0, 0);
        log.Open(file_.c_str(), false);  // at level 0 only the path is taken
        LoggerHooks hooks = {nullptr, FrameworkShowMessage};
        log.SetHooks(hooks);
        log.SetOwnerWindow(nullptr);
        g_boxes.clear();
        g_frameworkResult = 1;
        g_insideBox = nullptr;
        before_ = DateTimeNow();
    }
    void TearDown() override {
        Logger::Get().SetHooks(LoggerHooks());
        SetLevels(3, 2);
    }

    static void SetLevels(int file, int screen) {
        Logger::Get().SetLogLevel(file);
        Logger::Get().SetDisplayLevel(screen);
    }
    void Reset() {
        DeleteFileW(file_.c_str());
        g_boxes.clear();
        before_ = DateTimeNow();
    }

    // The file split at CR LF, every piece ended by CR LF. A stamped line comes back as
    // "(NNNNN) text" once its date-time is checked against the clock before and after the
    // writes; other pieces come back as they are.
    Lines FileLines() const {
        std::string content = ovtest::ReadFileBytes(file_);
        std::string after = DateTimeNow();
        Lines lines;
        size_t start = 0;
        for (size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2) {
            std::string line = content.substr(start, end - start);
            size_t id = FindStamp(line);
            if (id == std::string::npos) {
                lines.push_back(line);
                continue;
            }
            std::string stamp = line.substr(0, id - 1);
            EXPECT_TRUE(stamp == before_ || stamp == after) << "date-time \"" << stamp << "\" in " << line;
            lines.push_back(line.substr(id));
        }
        EXPECT_EQ("", content.substr(start)) << "text after the last line end";
        return lines;
    }

    // Position of "(NNNNN) " after a blank, or npos.
    static size_t FindStamp(const std::string& line) {
        for (size_t i = line.find(" ("); i != std::string::npos; i = line.find(" (", i + 1)) {
            size_t p = i + 2;
            if (line.size() < p + 7)
                break;
            bool digits = true;
            for (size_t d = 0; d < 5; ++d)
                digits = digits && isdigit(static_cast<unsigned char>(line[p + d]));
            if (digits && line.compare(p + 5, 2, ") ") == 0)
                return i + 1;
        }
        return std::string::npos;
    }

    ovtest::ScratchDir dir_;
    std::wstring file_ = dir_ / L"log.txt";
    std::string before_;
};

TEST_F(LoggerTest, RunIsWrittenByteForByte) {
    ASSERT_TRUE(ovtest::WriteFileBytes(file_, "previous run\r\n"));
    SetLevels(3, 0);
    Logger& log = Logger::Get();
    log.Open(nullptr, true);
    log.Error(9, 9003, L"Disk full");
    log.Error(9, 0, L"No code");
    log.Warning(8, 9010, L"Careful");
    log.Warning(8, 0, L"No code");
    log.Message(7, L"Gr\u00fc\u00dfe 100% %s");
    log.Message(25520, nullptr);  // the string of the id, not formatted
    log.Value(6, 7, L"Count");
    log.ValueSigned(5, -5, L"Delta");
    log.ValueText(4, L"abc", L"Name");
    log.WriteText(L"unforced raw text needs level 4");
    log.Close(9044);

    Lines expected = Concat({{
                                 "(25501) Setup log opened",
                                 "(00000) " + Ansi(GetCommandLineW()),
                                 "(00009) Error E9003: Disk full",
                                 "(00009) No code",
                                 "(00008) Warning W9010: Careful",
                                 "(00008) No code",
                                 "(00007) " + Ansi(L"Gr\u00fc\u00dfe 100% %s"),
                                 "(25520) Invalid buffer passed to %s",
                                 "(00006) Count - Value = 7",
                                 "(00005) Delta - Value = -5",
                                 "(00004) Name - Value = abc",
                                 "(25502) Setup finished - Value = 9044",
                             },
                             kSeparator});
    EXPECT_EQ(expected, FileLines());
}

TEST_F(LoggerTest, LevelsDecideFileAndScreen) {
    const int kNever = 99;
    struct Operation {
        const char* name;
        int fileFrom;
        int screenFrom;
        void (*call)();
    } operations[] = {
        {"Error", 1, 1, [] { Logger::Get().Error(1, 9003, L"text"); }},
        {"Warning", 2, 2, [] { Logger::Get().Warning(1, 9003, L"text"); }},
        {"Message", 3, 3, [] { Logger::Get().Message(1, L"text"); }},
        {"Value", 3, 3, [] { Logger::Get().Value(1, 7, L"text"); }},
        {"ValueSigned", 3, 3, [] { Logger::Get().ValueSigned(1, -7, L"text"); }},
        {"ValueText", 3, 3, [] { Logger::Get().ValueText(1, L"v", L"text"); }},
        {"header never shown", 3, kNever, [] { Logger::Get().Message(kMsgLogHeader, nullptr); }},
        {"closing never shown", 3, kNever, [] { Logger::Get().ValueSigned(kMsgLogClosing, 0, nullptr); }},
        {"ShowMessage", kNever, 4, [] { Logger::Get().ShowMessage(L"text"); }},
        {"WriteLine", 4, kNever, [] { Logger::Get().WriteLine(L"text", 1); }},
        {"WriteText", 4, kNever, [] { Logger::Get().WriteText(L"text"); }},
        {"WriteRaw", 4, kNever, [] { Logger::Get().WriteRaw("text", 4); }},
    };
    for (const Operation& op : operations) {
        for (int file = 0; file <= 4; ++file) {
            for (int screen = 0; screen <= 4; ++screen) {
                Reset();
                SetLevels(file, screen);
                op.call();
                bool written = !ovtest::ReadFileBytes(file_).empty();
                EXPECT_EQ(file >= op.fileFrom, written)
                    << op.name << " at log level " << file << ", display level " << screen;
                EXPECT_EQ(screen >= op.screenFrom ? 1u : 0u, g_boxes.size())
                    << op.name << " at log level " << file << ", display level " << screen;
            }
        }
    }
}

TEST_F(LoggerTest, ForcedCallsSkipOnlyTheEntryTest) {
    Logger& log = Logger::Get();
    SetLevels(0, 0);
    log.WriteLine(L"forced line", 12, true);
    log.WriteRaw("raw\r\n", 5, true);
    log.ShowMessage(L"forced box", true);
    log.Error(13, 9003, L"forced error", true);  // the levels still choose where it goes: nowhere
    EXPECT_EQ(Lines({"(00012) forced line", "raw"}), FileLines());
    EXPECT_EQ(std::vector<std::string>({"forced box"}), BoxTexts());

    // A forced call made outside any logging operation does not leave the log blocked.
    Reset();
    SetLevels(3, 0);
    log.Message(14, L"forced from outside", true);
    log.Message(15, L"unforced after it");
    EXPECT_EQ(Lines({"(00014) forced from outside", "(00015) unforced after it"}), FileLines());
}

TEST_F(LoggerTest, CallFromInsideALoggingOperationIsDroppedUnlessForced) {
    SetLevels(3, 1);
    g_insideBox = [] {
        Logger::Get().Message(21, L"inner unforced");
        Logger::Get().Error(21, 0, L"inner unforced error");
        Logger::Get().Message(22, L"inner forced", true);
    };
    Logger::Get().Error(20, 0, L"outer");
    g_insideBox = nullptr;
    Logger::Get().Message(23, L"after");
    EXPECT_EQ(Lines({"(00020) outer", "(00022) inner forced", "(00023) after"}), FileLines());
    EXPECT_EQ(std::vector<std::string>({"outer"}), BoxTexts());
}

HANDLE g_entered = nullptr;
HANDLE g_release = nullptr;

TEST_F(LoggerTest, CallFromAnotherThreadWhileBusyIsDropped) {
    SetLevels(3, 1);
    g_entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_insideBox = [] {
        SetEvent(g_entered);
        WaitForSingleObject(g_release, 10000);
    };
    std::thread worker([] { Logger::Get().Error(30, 9003, L"worker"); });
    DWORD waited = WaitForSingleObject(g_entered, 10000);
    if (waited == WAIT_OBJECT_0) {
        Logger::Get().Message(31, L"dropped while busy");
        ReportPart part = {0, L"report dropped while busy", 0};
        Logger::Get().Report(kLogError, kLogError, 9003, 1, &part);
    }
    SetEvent(g_release);
    worker.join();
    g_insideBox = nullptr;
    CloseHandle(g_entered);
    CloseHandle(g_release);
    ASSERT_EQ(WAIT_OBJECT_0, waited);

    Logger::Get().Message(32, L"kept");
    EXPECT_EQ(Lines({"(00030) Error E9003: worker", "(00032) kept"}), FileLines());
    EXPECT_EQ(std::vector<std::string>({"Error E9003: worker"}), BoxTexts());
}

TEST_F(LoggerTest, ReportWritesEachPartAndShowsOneBox) {
    const ReportPart parts[] = {{25520, L"AppendPath", 2}, {0, L"plain 100%", 1}};
    const std::string combined = "Invalid buffer passed to AppendPath\r\n\r\nplain 100%\r\n";
    struct Case {
        const char* name;
        int logKind;
        int showKind;
        unsigned code;
        Lines lines;
        std::vector<std::string> boxes;
    } cases[] = {
        {"show only", kLogNone, kLogError, 9005, {}, {"Error E9005: " + combined}},
        {"log only",
         kLogError,
         kLogNone,
         9005,
         {"(25520) Error E9005: Invalid buffer passed to AppendPath", "(00000) Error E9005: plain 100%"},
         {}},
        {"warning without code",
         kLogWarning,
         kLogWarning,
         0,
         {"(25520) Invalid buffer passed to AppendPath", "(00000) plain 100%"},
         {combined}},
        {"information with code",
         kLogInformation,
         kLogInformation,
         87,
         {"(25520) Invalid buffer passed to AppendPath - Value = 87", "(00000) plain 100% - Value = 87"},
         {combined + " - Value = 87"}},
        {"unknown kinds", 7, -1, 9005, {}, {}},
    };
    Logger& log = Logger::Get();
    for (const Case& c : cases) {
        Reset();
        SetLevels(3, 3);
        log.Report(c.logKind, c.showKind, c.code, 2, parts);
        EXPECT_EQ(c.lines, FileLines()) << c.name;
        EXPECT_EQ(c.boxes, BoxTexts()) << c.name;
        EXPECT_EQ(3, log.GetLogLevel()) << c.name;
        EXPECT_EQ(3, log.GetDisplayLevel()) << c.name;
    }
}

TEST_F(LoggerTest, ReportPartFillsInOnlyItsArgument) {
    struct Case {
        const char* name;
        ReportPart part;
        Lines lines;
    } cases[] = {
        {"argument into %s", {25520, L"GetWinDir", 0}, {"(25520) Invalid buffer passed to GetWinDir"}},
        {"no argument: the text as it is", {25520, nullptr, 0}, {"(25520) Invalid buffer passed to %s"}},
        {"conversions in the argument stay",
         {25520, L"%s%n%d", 0},
         {"(25520) Invalid buffer passed to %s%n%d"}},
        // 30001 is "Twice %s, %s, %d 100%%" in the test program's own table.
        {"stray conversions in the text stay", {30001, L"x", 0}, {"(30001) Twice x, x, %d 100%"}},
        {"id 0: the argument itself", {0, L"50% %s", 0}, {"(00000) 50% %s"}},
        {"text nowhere: nothing written", {31999, L"lost", 0}, {}},
    };
    for (const Case& c : cases) {
        Reset();
        SetLevels(3, 0);
        Logger::Get().Report(kLogInformation, kLogNone, 0, 1, &c.part);
        EXPECT_EQ(c.lines, FileLines()) << c.name;
    }
}

TEST_F(LoggerTest, InformationReportOfTheHostUtilities) {
    SetLevels(3, 3);
    LogInfoReport(25520, 0, L"GetWinDir");
    LogInfoReport(25525, 5, L"SOFTWARE\\Orvane");
    LogInfoReportF(25521, 0, L"Directory = %s, Size = %u", L"C:\\A", 260u);
    SetLevels(2, 2);
    LogInfoReport(25520, 0, L"not at level 2");

    EXPECT_EQ(Lines({"(25520) Invalid buffer passed to GetWinDir",
                     "(25525) Could not create the registry key SOFTWARE\\Orvane - Value = 5",
                     "(25521) Path too long: Directory = C:\\A, Size = 260"}),
              FileLines());
    EXPECT_EQ(std::vector<std::string>({"Invalid buffer passed to GetWinDir",
                                        "Could not create the registry key SOFTWARE\\Orvane - Value = 5",
                                        "Path too long: Directory = C:\\A, Size = 260"}),
              BoxTexts());
}

TEST_F(LoggerTest, OpenAndCloseByLogLevel) {
    const Lines header = {"(25501) Setup log opened", "(00000) " + Ansi(GetCommandLineW())};
    const Lines error = {"(00009) Error E9003: Disk full"};
    const Lines closing = Concat({{"(25502) Setup finished - Value = 9044"}, kSeparator});
    const Lines previous = {"previous run"};
    struct Case {
        const char* name;
        int level;
        bool truncate;
        bool existed;
        Lines lines;
    } cases[] = {
        {"level 3, install empties the file", 3, true, true, Concat({header, error, closing})},
        {"level 3, other roles append", 3, false, true, Concat({previous, header, error, closing})},
        {"level 3 creates the file", 3, false, false, Concat({header, error, closing})},
        {"level 2: errors only, not emptied", 2, true, true, Concat({previous, error})},
        {"level 0 leaves the file alone", 0, true, true, previous},
        {"level 0 creates no file", 0, true, false, {}},
    };
    Logger& log = Logger::Get();
    for (const Case& c : cases) {
        Reset();
        if (c.existed) {
            ASSERT_TRUE(ovtest::WriteFileBytes(file_, "previous run\r\n"));
        }
        SetLevels(c.level, 0);
        log.Open(file_.c_str(), c.truncate);
        log.Error(9, 9003, L"Disk full");
        log.Close(9044);
        EXPECT_EQ(c.existed || c.level > 0, ovtest::PathExists(file_)) << c.name;
        EXPECT_EQ(c.lines, FileLines()) << c.name;
    }

    // Two appending runs, then an emptying one.
    Reset();
    SetLevels(3, 0);
    for (bool truncate : {false, false, true}) {
        log.Open(nullptr, truncate);
        log.Close(0);
    }
    EXPECT_EQ(Concat({header, {"(25502) Setup finished - Value = 0"}, kSeparator}), FileLines());
}

TEST_F(LoggerTest, KeepsTheCallersLastError) {
    struct Operation {
        const char* name;
        void (*call)();
    } operations[] = {
        {"Open", [] { Logger::Get().Open(nullptr, true); }},
        {"Error", [] { Logger::Get().Error(1, 9003, L"text"); }},
        {"Report", [] { LogInfoReport(25520, 5, L"x"); }},
        {"WriteRaw", [] { Logger::Get().WriteRaw("x", 1); }},
        {"Close", [] { Logger::Get().Close(1); }},
    };
    const std::wstring paths[] = {file_, dir_ / L"missing\\log.txt"};
    for (const std::wstring& path : paths) {
        SetLevels(0, 0);
        Logger::Get().Open(path.c_str(), false);
        SetLevels(4, 0);
        for (const Operation& op : operations) {
            SetLastError(4321);
            op.call();
            EXPECT_EQ(4321u, GetLastError()) << op.name << " writing to " << Narrow(path);
        }
    }
    EXPECT_FALSE(ovtest::PathExists(dir_ / L"missing"));
}

TEST_F(LoggerTest, CaptionFromTheProductElseTheResources) {
    wchar_t suite[256] = {};
    LoadResourceString(nullptr, kMsgCaption, suite, 256);
    ASSERT_NE(L'\0', suite[0]);
    SetLevels(0, 4);
    Logger::Get().ShowMessage(L"without product");
    LoggerHooks hooks = {ProductCaption, FrameworkShowMessage};
    Logger::Get().SetHooks(hooks);
    Logger::Get().ShowMessage(L"with product");
    ASSERT_EQ(2u, g_boxes.size());
    EXPECT_EQ(Narrow(suite), g_boxes[0].caption);
    EXPECT_EQ("Test Product", g_boxes[1].caption);
}

// The first top-level dialog of this process with that caption, waited for.
HWND WaitForBox(const std::wstring& caption, DWORD timeoutMs) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(20)) {
        HWND box = FindWindowW(L"#32770", caption.c_str());
        if (box != nullptr)
            return box;
    }
    return nullptr;
}

// Real message boxes, shown on a worker thread and answered from the test as a person would.
TEST_F(LoggerTest, PlainMessageBoxesAsAPersonSeesThem) {
    wchar_t suite[256] = {};
    LoadResourceString(nullptr, kMsgCaption, suite, 256);
    struct Case {
        const char* name;
        LoggerHooks hooks;
        int displayLevel;
        void (*call)();
        std::wstring text;
        std::wstring caption;
    } cases[] = {
        {"no framework: suite caption",
         {nullptr, nullptr},
         4,
         [] { Logger::Get().ShowMessage(L"Plain text"); },
         L"Plain text",
         suite},
        {"framework not loaded: product caption",
         {ProductCaption, FrameworkNotLoaded},
         1,
         [] { Logger::Get().Error(40, 9003, L"Disk full"); },
         L"Error E9003: Disk full",
         L"Test Product"},
    };
    for (const Case& c : cases) {
        Logger::Get().SetHooks(c.hooks);
        SetLevels(0, c.displayLevel);
        std::atomic<HWND> owner(nullptr);
        std::atomic<bool> topmostAfter(true);
        std::thread worker([&] {
            HWND window = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                          nullptr, nullptr);
            Logger::Get().SetOwnerWindow(window);
            owner = window;
            c.call();
            topmostAfter = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            Logger::Get().SetOwnerWindow(nullptr);
            DestroyWindow(window);
        });
        HWND box = WaitForBox(c.caption, 10000);
        bool found = box != nullptr;
        std::wstring text;
        bool topmostDuring = false;
        if (found) {
            wchar_t buffer[512] = {};
            GetDlgItemTextW(box, 0xFFFF, buffer, 512);
            text = buffer;
            topmostDuring = (GetWindowLongW(owner, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        } else {
            box = FindWindowW(L"#32770", nullptr);  // whatever came up instead, so the worker can end
        }
        if (box != nullptr) {
            SendMessageW(box, WM_COMMAND, IDOK, 0);
        }
        worker.join();
        EXPECT_TRUE(found) << c.name << ": no box with caption " << Narrow(c.caption);
        EXPECT_EQ(Narrow(c.text), Narrow(text)) << c.name;
        EXPECT_TRUE(topmostDuring) << c.name;
        EXPECT_FALSE(topmostAfter) << c.name;
    }
}

}  // namespace
