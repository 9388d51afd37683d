#include <gtest/gtest.h>

#include "log/logger.h"
#include "setup/run_control.h"
#include "setup/setup.h"

namespace {

// The main window appears minimised in the task bar only for an interactive install or
// uninstall; every other run keeps it hidden.
TEST(MainWindow, ShownOnlyForInteractiveInstallAndUninstall) {
    struct Case {
        int role;
        int displayLevel;
        bool visible;
    } cases[] = {
        {kRoleInstall, 2, true},    {kRoleUninstall, 4, true}, {kRoleInstall, 1, false},
        {kRoleUninstall, 0, false}, {kRoleCleanup, 4, false},  {kRoleTrustList, 2, false},
    };
    for (const Case& c : cases) {
        ::Setup::Create(c.role);
        Logger::Get().SetDisplayLevel(c.displayLevel);
        HWND window = CreateMainWindow();
        ASSERT_NE(nullptr, window);
        EXPECT_EQ(c.visible, IsWindowVisible(window) != FALSE)
            << "role " << c.role << " level " << c.displayLevel;
        if (c.visible) {
            EXPECT_TRUE(IsIconic(window));
        }
        wchar_t className[64] = {};
        GetClassNameW(window, className, 64);
        EXPECT_STREQ(L"WinClass.Kestra", className);
        DestroyWindow(window);
    }
    ::Setup::Destroy();
    Logger::Get().SetDisplayLevel(2);
}

TEST(MainWindow, RefusesToEndTheSession) {
    ::Setup::Create(kRoleInstall);
    Logger::Get().SetDisplayLevel(0);
    HWND window = CreateMainWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(0, SendMessageW(window, WM_QUERYENDSESSION, 0, 0));
    DestroyWindow(window);
    ::Setup::Destroy();
    Logger::Get().SetDisplayLevel(2);
}

}  // namespace
