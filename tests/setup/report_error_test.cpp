#include <gtest/gtest.h>

#include <string>

#include "log/logger.h"
#include "setup/setup.h"
#include "support/log_capture.h"
#include "support/test_support.h"

namespace {

// A role object with the log written to a scratch file and nothing shown.
class ReportErrorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setup_ = ::Setup::Create(kRoleInstall);
        ASSERT_NE(nullptr, setup_);
    }
    void TearDown() override { ::Setup::Destroy(); }
    std::string Log() const { return log_.Text(); }
    size_t Count(const std::string& what) const { return log_.Count(what); }

    ovtest::LogCapture log_;
    ::Setup* setup_ = nullptr;
};
TEST_F(ReportErrorTest, ErrorSetsResultWithItsMessage) {
    setup_->ReportError(ErrorNoProductAccepted, nullptr, nullptr, -1);
    EXPECT_EQ(ErrorNoProductAccepted, setup_->result);
    EXPECT_EQ(1u, Count("(25007) ")) << Log();
    EXPECT_EQ(1u, Count("E9010: ")) << Log();
}

TEST_F(ReportErrorTest, WarningWritesEachPartAndKeepsResult) {
    setup_->ReportError(ErrorRegistryPermission, L"SOFTWARE\\Orvane", L"Tarnel Anti-Virus", 2);
    EXPECT_EQ(0, setup_->result);
    for (const char* id : {"(25014) ", "(25015) ", "(25017) "})
        EXPECT_EQ(1u, Count(id)) << id << "\n" << Log();
    EXPECT_EQ(3u, Count("W9011: ")) << Log();
    EXPECT_NE(std::string::npos, Log().find("SOFTWARE\\Orvane")) << Log();
}

TEST_F(ReportErrorTest, CodesThatChangeNothing) {
    for (int code : {int(ErrorTrustList), int(ErrorSetupRunning), 9001, 8999, 0}) {
        setup_->ReportError(code, L"x", L"y", 1);
    }
    setup_->ReportError(ErrorComInit, nullptr, nullptr, 0);  // severity 0: nothing
    setup_->ReportError(ErrorComInit, nullptr, nullptr, 4);  // severity 4: nothing
    EXPECT_EQ(0, setup_->result);
    EXPECT_EQ(std::string::npos, Log().find("E90")) << Log();
}

TEST_F(ReportErrorTest, FirstErrorWins) {
    setup_->ReportError(ErrorCancelled, nullptr, nullptr, -1);
    setup_->ReportError(ErrorComInit, nullptr, nullptr, 1);
    EXPECT_EQ(ErrorCancelled, setup_->result);
    EXPECT_EQ(1u, Count("(25001) ")) << Log();
    EXPECT_EQ(1u, Count("E9002: ")) << Log();  // still logged
}

TEST_F(ReportErrorTest, SeverityOutOfRangeIsAnError) {
    setup_->ReportError(ErrorVersionAfterInstall, nullptr, L"Tarnel Firewall", 7);
    EXPECT_EQ(ErrorVersionAfterInstall, setup_->result);
    EXPECT_EQ(1u, Count("(25031) ")) << Log();
}

TEST_F(ReportErrorTest, ProcessStartNamesTheRole) {
    setup_->ReportError(ErrorProcessStart, nullptr, L"A", 3);
    EXPECT_EQ(1u, Count("(25030) ")) << Log();
    ::Setup::Destroy();
    setup_ = ::Setup::Create(kRoleUninstall);
    setup_->ReportError(ErrorProcessStart, nullptr, L"A", 3);
    EXPECT_EQ(1u, Count("(25042) ")) << Log();
}

TEST_F(ReportErrorTest, ReportShowsOneBoxWithAllParts) {
    Logger::Get().SetDisplayLevel(2);
    ovtest::DialogAnswerer answerer;
    setup_->ReportError(ErrorRegistryPermission, L"KEY-TEXT", L"NAME-TEXT", 2);
    ASSERT_TRUE(answerer.WaitAnswered(1));
    Sleep(300);
    EXPECT_EQ(1, answerer.answered());
    std::wstring text = answerer.texts()[0];
    EXPECT_NE(std::wstring::npos, text.find(L"KEY-TEXT")) << ovtest::Narrow(text);
    EXPECT_NE(std::wstring::npos, text.find(L"NAME-TEXT")) << ovtest::Narrow(text);
}

TEST(SetupRoles, CreateFollowsTheRoleValue) {
    struct Case {
        int role;
    } cases[] = {{kRoleInstall}, {kRoleUninstall}, {kRoleCleanup}, {kRoleTrustList}, {99}};
    for (const Case& c : cases) {
        ::Setup* setup = ::Setup::Create(c.role);
        ASSERT_NE(nullptr, setup);
        EXPECT_EQ(setup, ::Setup::Get());
        EXPECT_EQ(c.role, setup->role);
        EXPECT_EQ(0, setup->result);
    }
    ::Setup::Destroy();
    EXPECT_EQ(nullptr, ::Setup::Get());
}

}  // namespace
