// The progress window as the roles use it: begun around their work, stepped once per component,
// ended. The dialog lives on its own thread; the test looks at it from here.
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <string>

#include "log/logger.h"
#include "setup/setup.h"
#include "support/test_support.h"
#include "ui/framework.h"
#include "ui/progress_window.h"

namespace {

const int kBar = 1316;
const int kText = 1144;

std::wstring Title(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// The bar's position when its dialog is destroyed: what the person last saw.
WNDPROC g_barProc = nullptr;
LRESULT g_finalPosition = -1;

LRESULT CALLBACK WatchBar(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        g_finalPosition = CallWindowProcW(g_barProc, bar, PBM_GETPOS, 0, 0);
    }
    return CallWindowProcW(g_barProc, bar, message, wParam, lParam);
}

class ProgressWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(0, Framework::Get().Load());
        oldLevel_ = Logger::Get().SetDisplayLevel(2);
    }
    void TearDown() override {
        ProgressWindow::Get().End();
        Setup::Destroy();
        Framework::Get().Unload();
        Logger::Get().SetDisplayLevel(oldLevel_);
    }
    int oldLevel_ = 0;
};

// However many steps were taken (none, some, all, more than the bar has), the bar ends full.
TEST_F(ProgressWindowTest, BarHasTheStepsAskedForAndEndsFull) {
    Setup::Create(kRoleInstall);
    ProgressWindow& progress = ProgressWindow::Get();
    for (int taken : {0, 3, 8, 11}) {
        SCOPED_TRACE(taken);
        progress.Begin(nullptr, 8);
        HWND dialog = progress.dialog;
        ASSERT_NE(nullptr, dialog) << "the dialog exists when Begin returns";
        EXPECT_TRUE(IsWindowVisible(dialog));
        HWND bar = GetDlgItem(dialog, kBar);
        EXPECT_EQ(1, SendMessageW(bar, PBM_GETRANGE, TRUE, 0));
        EXPECT_EQ(8, SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
        for (int i = 0; i < taken; ++i) {
            progress.Step(i == 0 ? L"Installing Tarnel Anti-Spam..." : nullptr);
        }
        if (taken > 0 && taken < 8) {
            EXPECT_EQ(1 + taken, SendMessageW(bar, PBM_GETPOS, 0, 0));
            wchar_t text[128] = {};
            GetDlgItemTextW(dialog, kText, text, 128);
            EXPECT_STREQ(L"Installing Tarnel Anti-Spam...", text) << "a step without text keeps the last one";
        }
        g_finalPosition = -1;
        g_barProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchBar)));
        progress.End();
        EXPECT_EQ(8, g_finalPosition);
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ(nullptr, progress.dialog);
    }
}

// Removing says so in the title; the install keeps the dialog's own.
TEST_F(ProgressWindowTest, TitleFollowsTheRole) {
    struct Case {
        int role;  // 0: no role object
        const wchar_t* title;
    } cases[] = {
        {0, L"Setup"},
        {kRoleInstall, L"Setup"},
        {kRoleUninstall, L"Removing Components"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.role);
        Setup::Destroy();
        if (c.role != 0) {
            Setup::Create(c.role);
        }
        ProgressWindow::Get().Begin(nullptr, 6);
        HWND dialog = ProgressWindow::Get().dialog;
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(c.title, Title(dialog));
        ProgressWindow::Get().End();
    }
}

// A silent run starts no thread and shows nothing, and its steps do not wait for a dialog; display
// level 1, which shows no information, still shows the progress.
TEST_F(ProgressWindowTest, ShownUnlessSilent) {
    Setup::Create(kRoleInstall);
    ProgressWindow& progress = ProgressWindow::Get();
    Logger::Get().SetDisplayLevel(0);
    DWORD start = GetTickCount();
    progress.Begin(nullptr, 8);
    progress.Step(L"Installing Tarnel Anti-Spam...");
    progress.End();
    EXPECT_LT(GetTickCount() - start, 500u);
    EXPECT_EQ(nullptr, progress.dialog);
    EXPECT_EQ(nullptr, ovtest::WaitForWindow(L"Setup", 300));

    Logger::Get().SetDisplayLevel(1);
    progress.Begin(nullptr, 8);
    EXPECT_NE(nullptr, progress.dialog);
    EXPECT_NE(nullptr, ovtest::WaitForWindow(L"Setup", 1000));
    progress.End();
}

}  // namespace
