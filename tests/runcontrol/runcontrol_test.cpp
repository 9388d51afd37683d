#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace {

const wchar_t kLog[] = L"C:\\ovkestralog.txt";

// A copy of the engine under a chosen name, with the companion libraries beside it when the
// build has them (the framework, strings and the suite's product library).
class EngineCopy {
  public:
    explicit EngineCopy(const std::wstring& name) : path_(dir_ / name) {
        CopyFileW((ovtest::BinDir() + L"\\ovsetup.exe").c_str(), path_.c_str(), FALSE);
        for (const wchar_t* lib : {L"kestrafrm.dll", L"kestrares.dll", L"ovavprod.dll"}) {
            CopyFileW((ovtest::BinDir() + L"\\" + lib).c_str(), (dir_ / lib).c_str(), FALSE);
        }
    }
    // Starts the copy with the switches; the process handle.
    HANDLE Start(const std::wstring& switches) const {
        std::wstring line = L"\"" + path_ + L"\" " + switches;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            return nullptr;
        }
        CloseHandle(pi.hThread);
        return pi.hProcess;
    }
    int Run(const std::wstring& switches) const {
        return ovtest::RunProcess(L"\"" + path_ + L"\" " + switches, 60000);
    }

  private:
    ovtest::ScratchDir dir_;
    std::wstring path_;
};

int ExitCodeOf(HANDLE process, DWORD timeoutMs) {
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return static_cast<int>(code);
}

std::string Log() {
    return ovtest::ReadFileBytes(kLog);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

const char kSeparator[] = "\r\n+++ --- +++ --- +++\r\n\r\n";

class RunControl : public ::testing::Test {
  protected:
    void SetUp() override { DeleteFileW(kLog); }
};

// Each role says who it is in the log; while no component is in the package install finds
// nothing to install and uninstall nothing installed, while cleanup and trust list end well.
TEST_F(RunControl, RoleFollowsFileNameAndSwitches) {
    struct Case {
        const wchar_t* name;
        const wchar_t* switches;
        const char* marker;  // the role's first log line
        bool succeeds;
    } cases[] = {
        {L"ovsetup.exe", L"", "(25546)", false},    {L"ovsetup.exe", L"/u", "(25547)", false},
        {L"ovuninst.exe", L"", "(25547)", false},   {L"OVUNINST.EXE", L"", "(25547)", false},
        {L"ovuninst.exe", L"/i", "(25546)", false}, {L"ovcu.exe", L"", "(25546)", false},
        {L"ovcu_007.exe", L"", "(25548)", true},    {L"ovsetup.exe", L"/c", "(25548)", true},
        {L"trustadd.exe", L"", "(25546)", true},    {L"ovsetup.exe", L"-TrustList", "(25546)", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ovtest::Narrow(std::wstring(c.name) + L" " + c.switches));
        DeleteFileW(kLog);
        EngineCopy engine(c.name);
        int code = engine.Run(std::wstring(c.switches) + L" /DisplayLevel=0");
        std::string log = Log();
        EXPECT_EQ(1u, Count(log, c.marker)) << log;
        EXPECT_EQ(1u, Count(log, "(25546)") + Count(log, "(25547)") + Count(log, "(25548)")) << log;
        EXPECT_EQ(c.succeeds, code == 0) << code;
        // The closing line carries the exit code.
        EXPECT_NE(std::string::npos, log.find("= " + std::to_string(code) + "\r\n")) << log;
    }
}

TEST_F(RunControl, ConflictingRunEndsWith9044) {
    struct Case {
        const wchar_t* held;
        const wchar_t* name;
    } cases[] = {
        {L"mutex.Kestra.uninstall", L"ovsetup.exe"},
        {L"mutex.Kestra.install", L"ovuninst.exe"},
        {L"mutex.Kestra.install", L"ovsetup.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ovtest::Narrow(c.name));
        DeleteFileW(kLog);
        HANDLE mutex = CreateMutexW(nullptr, TRUE, c.held);
        EngineCopy engine(c.name);
        EXPECT_EQ(9044, engine.Run(L"/DisplayLevel=0"));
        ReleaseMutex(mutex);
        CloseHandle(mutex);
        // Header, command line, closing line with 9044, separator: nothing else ran.
        std::string log = Log();
        EXPECT_EQ(1u, Count(log, "(25501) ")) << log;
        EXPECT_EQ(1u, Count(log, "(00000) ")) << log;
        EXPECT_EQ(1u, Count(log, "(25502) ")) << log;
        EXPECT_EQ(1u, Count(log, "= 9044\r\n")) << log;
        EXPECT_EQ(0u, Count(log, "(25546)") + Count(log, "(25547)")) << log;
        EXPECT_EQ(log.size() - (sizeof(kSeparator) - 1), log.rfind(kSeparator)) << log;
    }
}

TEST_F(RunControl, EveryRoleWaitsForTheCleanup) {
    for (const wchar_t* name : {L"trustadd.exe", L"ovsetup.exe"}) {
        SCOPED_TRACE(ovtest::Narrow(name));
        HANDLE cleanup = CreateMutexW(nullptr, TRUE, L"mutex.Kestra.cleanup");
        ASSERT_NE(nullptr, cleanup);
        EngineCopy engine(name);
        HANDLE process = engine.Start(L"/DisplayLevel=0");
        ASSERT_NE(nullptr, process);
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(process, 1500)) << "ran while a cleanup held its mutex";
        ReleaseMutex(cleanup);
        CloseHandle(cleanup);
        EXPECT_NE(-1, ExitCodeOf(process, 20000)) << "did not go on after the cleanup ended";
        CloseHandle(process);
    }
}

TEST_F(RunControl, InstallEmptiesTheLogOtherRolesAppend) {
    EngineCopy uninstall(L"ovuninst.exe");
    uninstall.Run(L"/DisplayLevel=0");
    uninstall.Run(L"/DisplayLevel=0");
    EXPECT_EQ(2u, Count(Log(), kSeparator));
    EngineCopy install(L"ovsetup.exe");
    install.Run(L"/DisplayLevel=0");
    std::string log = Log();
    EXPECT_EQ(1u, Count(log, kSeparator)) << log;
    EXPECT_EQ(1u, Count(log, "(25546)")) << log;
}

TEST_F(RunControl, LogLevelZeroWritesNothing) {
    EngineCopy install(L"ovsetup.exe");
    install.Run(L"/DisplayLevel=0 /LogLevel=0");
    EXPECT_FALSE(ovtest::PathExists(kLog));
    // Not even emptied: an existing log stays as it was.
    ASSERT_TRUE(ovtest::WriteFileBytes(kLog, "earlier run\r\n"));
    install.Run(L"/DisplayLevel=0 /LogLevel=0");
    EXPECT_EQ("earlier run\r\n", Log());
}

}  // namespace
