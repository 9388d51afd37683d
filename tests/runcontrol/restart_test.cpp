#include <gtest/gtest.h>

#include <string>

#include "log/logger.h"
#include "setup/options.h"
#include "setup/run_control.h"
#include "setup/setup.h"
#include "support/test_support.h"

namespace {

// A role that succeeds and asks for a restart, recording the thread its phases ran on.
class RestartingRole : public ::Setup {
  public:
    int Initialize() override {
        workerThread = GetCurrentThreadId();
        return result;
    }
    int AskUser() override { return result; }
    int Execute() override { return result; }
    int Finish() override {
        restartRequested = 1;
        return result;
    }
    void BuildProductList() override {}
    static DWORD workerThread;
};
DWORD RestartingRole::workerThread = 0;

::Setup* MakeRestartingRole(int) {
    return new RestartingRole();
}

std::string g_logAtRestart;
int g_restarts = 0;
void RecordRestart() {
    ++g_restarts;
    g_logAtRestart = ovtest::ReadFileBytes(L"C:\\ovkestralog.txt");
}

// The restart comes only after the log's closing line and separator: the log is complete even
// though the machine goes down.
TEST(RunControlRestart, AfterTheClosingLine) {
    DeleteFileW(L"C:\\ovkestralog.txt");
    ::Setup::SetFactoryForTests(MakeRestartingRole);
    SetRestartHandlerForTests(RecordRestart);
    SetupOptions::Get().Reset();
    int result = RunSetup("/TrustList /DisplayLevel=0 /LogLevel=3");
    ::Setup::SetFactoryForTests(nullptr);
    SetRestartHandlerForTests(nullptr);

    EXPECT_EQ(0, result);
    EXPECT_EQ(1, g_restarts);
    EXPECT_NE(0u, RestartingRole::workerThread);
    EXPECT_NE(GetCurrentThreadId(), RestartingRole::workerThread) << "phases ran on the main thread";
    const std::string tail = "(25502) ";
    size_t closing = g_logAtRestart.find(tail);
    ASSERT_NE(std::string::npos, closing) << g_logAtRestart;
    EXPECT_EQ(g_logAtRestart.size() - 25, g_logAtRestart.rfind("\r\n+++ --- +++ --- +++\r\n\r\n"))
        << g_logAtRestart;
    Logger::Get().SetDisplayLevel(2);
}

}  // namespace
