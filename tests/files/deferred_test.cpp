// Deletions and renames deferred to the next restart. These change the machine: they run in
// a prefix of their own (the NT family) or as Windows 98 in one (WININIT.INI).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files_fixture.h"
#include "host/files.h"
#include "host/system.h"
#include "support/test_support.h"

using filestest::MakeFile;
using ovtest::PathExists;
using ovtest::ReadFileBytes;
using ovtest::ScratchDir;

namespace {

// Runs a copy of the holder program, which keeps its file in use until released.
class RunningCopy {
  public:
    explicit RunningCopy(const std::wstring& exe) {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, L"ovtest-files-ready");
        release_ = CreateEventW(nullptr, TRUE, FALSE, L"ovtest-files-release");
        std::wstring command = L"\"" + exe + L"\" ovtest-files-ready ovtest-files-release";
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                           &process_)) {
            CloseHandle(process_.hThread);
            running_ = WaitForSingleObject(ready_, 30000) == WAIT_OBJECT_0;
        }
    }
    ~RunningCopy() { End(); }
    bool running() const { return running_; }
    // Lets it end and waits; the restart must not find the file still held.
    void End() {
        if (process_.hProcess != nullptr) {
            SetEvent(release_);
            WaitForSingleObject(process_.hProcess, 30000);
            CloseHandle(process_.hProcess);
            process_.hProcess = nullptr;
        }
        if (ready_ != nullptr)
            CloseHandle(ready_);
        if (release_ != nullptr)
            CloseHandle(release_);
        ready_ = release_ = nullptr;
    }

  private:
    HANDLE ready_ = nullptr;
    HANDLE release_ = nullptr;
    PROCESS_INFORMATION process_ = {};
    bool running_ = false;
};

TEST(DeferredNt, FilesInUseGoAtRestartAndTheirNamesAreFreeAtOnce) {
    if (!ovtest::IsIsolated() || IsWindows9x())
        GTEST_SKIP() << "needs a prefix of its own, NT family";
    ScratchDir dir;
    std::wstring app = dir / L"app.exe";
    ASSERT_TRUE(CopyFileW((ovtest::BinDir() + L"\\files_holder.exe").c_str(), app.c_str(), FALSE));
    MakeFile(dir / L"app.1", "taken");  // the next free number is used
    RunningCopy running(app);
    ASSERT_TRUE(running.running());

    EXPECT_TRUE(DeleteFileOrDefer(app.c_str()));
    EXPECT_FALSE(PathExists(app));
    EXPECT_TRUE(PathExists(dir / L"app.2"));
    EXPECT_EQ("taken", ReadFileBytes(dir / L"app.1"));
    MakeFile(app, "new program");  // the name can be used again straight away

    // Held open without delete sharing: it cannot even be renamed now, but goes at the restart.
    MakeFile(dir / L"data.dat", "d");
    HANDLE held = CreateFileW((dir / L"data.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_TRUE(DeleteFileOrDefer((dir / L"data.dat").c_str()));

    // A scheduled replacement of a read-only file.
    MakeFile(dir / L"lib.new", "replacement");
    MakeFile(dir / L"lib.dll", "original", FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(MoveFileAtReboot((dir / L"lib.new").c_str(), (dir / L"lib.dll").c_str()));
    EXPECT_FALSE(MoveFileAtReboot((dir / L"missing").c_str(), (dir / L"lib.dll").c_str()));

    running.End();
    CloseHandle(held);
    ASSERT_EQ(0, ovtest::RestartWindows());

    EXPECT_FALSE(PathExists(dir / L"app.2"));
    EXPECT_FALSE(PathExists(dir / L"data.dat"));
    EXPECT_EQ("new program", ReadFileBytes(app));
    EXPECT_EQ("taken", ReadFileBytes(dir / L"app.1"));
    EXPECT_FALSE(PathExists(dir / L"lib.new"));
    EXPECT_EQ("replacement", ReadFileBytes(dir / L"lib.dll"));
}

// The 9x family: WININIT.INI in the Windows directory, written in the ANSI code page.
class Wininit : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ovtest::IsIsolated() || !IsWindows9x())
            GTEST_SKIP() << "needs a prefix of its own, as Windows 98";
        // Windows 98 keeps its directory here; a Wine prefix only has the NT family's value.
        std::wstring windows;
        const wchar_t* key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
        if (!ovtest::GetRegString(HKEY_LOCAL_MACHINE, key, L"SystemRoot", &windows)) {
            ovtest::SetRegString(HKEY_LOCAL_MACHINE, key, L"SystemRoot", L"C:\\windows");
        }
        DeleteFileW(ini_.c_str());
        CreateDirectoryW(L"C:\\Program Files\\Long Name", nullptr);
    }
    void TearDown() override {
        for (const std::wstring& f : made_) {
            SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(f.c_str());
        }
    }

    // A file in the long-named folder; remembered for clean-up under every name it may get.
    std::wstring Make(const std::wstring& name) {
        std::wstring path = L"C:\\Program Files\\Long Name\\" + name;
        MakeFile(path, "x");
        made_.push_back(path);
        return path;
    }
    std::wstring ShortForm(const std::wstring& path) {
        wchar_t out[MAX_PATH] = L"";
        GetShortPathNameW(path.c_str(), out, MAX_PATH);
        return out;
    }
    // The expected file text: ANSI, as the restart processing reads it.
    static std::string Ansi(const std::wstring& text) {
        int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string out(n > 0 ? n - 1 : 0, '\0');
        if (n > 1)
            WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
        return out;
    }

    const std::wstring ini_ = L"C:\\windows\\WININIT.INI";
    std::vector<std::wstring> made_;
};

TEST_F(Wininit, CreatedWithRenameSectionThenOneLinePerDeletionAndProcessedAtRestart) {
    std::wstring first = Make(L"first library.dll");
    std::wstring second = Make(L"second library.dll");
    made_.push_back(L"C:\\Program Files\\Long Name\\first library.1");
    made_.push_back(L"C:\\Program Files\\Long Name\\second library.1");
    ASSERT_TRUE(MoveFileAtReboot(first.c_str(), nullptr));
    ASSERT_TRUE(MoveFileAtReboot(second.c_str(), nullptr));
    // Moved aside at once; the lines name the moved files by their short forms.
    std::wstring firstMoved = ShortForm(L"C:\\Program Files\\Long Name\\first library.1");
    std::wstring secondMoved = ShortForm(L"C:\\Program Files\\Long Name\\second library.1");
    ASSERT_FALSE(firstMoved.empty());
    ASSERT_FALSE(secondMoved.empty());
    EXPECT_EQ(std::wstring::npos, firstMoved.find(L"Long Name")) << "Wine gives no short names here";
    EXPECT_FALSE(PathExists(first));
    EXPECT_EQ(Ansi(L"[Rename]\r\nNUL=" + firstMoved + L"\r\nNUL=" + secondMoved + L"\r\n"),
              ReadFileBytes(ini_));

    ASSERT_EQ(0, ovtest::RestartWindows());
    EXPECT_FALSE(PathExists(firstMoved));
    EXPECT_FALSE(PathExists(secondMoved));
}

TEST_F(Wininit, LinesJoinTheRenameSectionOfAnExistingFile) {
    struct Case {
        const char* name;
        std::string before;
        std::string headerAndLineAt;  // what comes before our line; the rest follows it
        std::string after;
    } cases[] = {
        {"rename section last", "[Rename]\r\nNUL=C:\\OLD.TXT\r\n", "", ""},
        {"empty file", "", "[Rename]\r\n", ""},
        {"other section only", "[Other]\r\nx=1\r\n", "[Rename]\r\n", ""},
        {"rename section before another", "[rename]\r\nNUL=C:\\OLD.TXT\r\n", "", "[Other]\r\nx=1\r\n"},
        {"last line unfinished", "[Rename]\r\nNUL=C:\\OLD.TXT", "\r\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring file = Make(L"in use.dll");
        std::wstring moved = L"C:\\Program Files\\Long Name\\in use.1";
        made_.push_back(moved);
        MakeFile(ini_, c.before + c.after);
        ASSERT_TRUE(MoveFileAtReboot(file.c_str(), nullptr));
        std::string line = Ansi(L"NUL=" + ShortForm(moved) + L"\r\n");
        EXPECT_EQ(c.before + c.headerAndLineAt + line + c.after, ReadFileBytes(ini_));
        SetFileAttributesW(moved.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(moved.c_str());
    }
}

TEST_F(Wininit, RenameToANewLongNameKeepsTheNameInAnsi) {
    std::wstring existing = Make(L"update.dll");
    std::wstring target = L"C:\\Program Files\\Long Name\\Caf\x00e9 Library.dll";
    made_.push_back(target);
    MakeFile(ini_, "[Rename]\r\n");
    ASSERT_TRUE(MoveFileAtReboot(existing.c_str(), target.c_str()));
    std::wstring folder = ShortForm(L"C:\\Program Files\\Long Name");
    EXPECT_EQ(Ansi(L"[Rename]\r\n" + folder + L"\\Caf\x00e9 Library.dll=" + ShortForm(existing) + L"\r\n"),
              ReadFileBytes(ini_));
    EXPECT_TRUE(PathExists(existing)) << "a rename waits for the restart";
}

}  // namespace
