// The window helpers against windows of this process (each on a thread of its own, as another
// program's would be), and the names of the antivirus main windows.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "process/shutdown.h"
#include "support/test_support.h"

using ovtest::BinDir;
using ovtest::Narrow;

namespace {

const UINT kMsgAntivirusExit = WM_USER + 100;
const UINT kMsgDestroyNow = WM_APP + 7;

// A top-level window on its own thread. It destroys itself when `message` has arrived
// `closeAfter` times (0: never), or `lifetimeMs` after it appeared (0: never).
class TestWindow {
  public:
    TestWindow(const std::wstring& windowClass, const std::wstring& title, UINT message = 0,
               int closeAfter = 0, DWORD lifetimeMs = 0)
        : class_(windowClass), title_(title), message_(message), closeAfter_(closeAfter) {
        HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, created, lifetimeMs] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = class_.c_str();
            RegisterClassW(&wc);
            window_ = CreateWindowExW(0, class_.c_str(), title_.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), this);
            if (lifetimeMs != 0)
                SetTimer(window_, 1, lifetimeMs, nullptr);
            SetEvent(created);
            if (window_ == nullptr)
                return;
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0)
                DispatchMessageW(&msg);
        });
        WaitForSingleObject(created, 10000);
        CloseHandle(created);
    }
    ~TestWindow() {
        if (HWND window = window_)
            PostMessageW(window, kMsgDestroyNow, 0, 0);
        thread_.join();
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND hwnd() const { return window_; }
    int received() const { return received_; }

  private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr || self->destroying_)
            return DefWindowProcW(window, message, wParam, lParam);
        if (message == self->message_ && self->message_ != 0) {
            if (++self->received_ == self->closeAfter_)
                self->Destroy();
            return 0;
        }
        if (message == kMsgDestroyNow || message == WM_TIMER) {
            self->Destroy();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    void Destroy() {
        destroying_ = true;
        HWND window = window_;
        window_ = nullptr;
        DestroyWindow(window);
        // A sent message is handled inside GetMessage, which would wait on: wake the loop.
        PostQuitMessage(0);
    }

    std::wstring class_;
    std::wstring title_;
    UINT message_;
    int closeAfter_;
    std::atomic<HWND> window_{nullptr};
    std::atomic<int> received_{0};
    bool destroying_ = false;
    std::thread thread_;
};

DWORD Since(DWORD start) {
    return GetTickCount() - start;
}

// CloseWindows with count 0 sends nothing: it is the search alone.
HWND Search(const wchar_t* title, const wchar_t* windowClass) {
    return CloseWindows(title, windowClass, WM_NULL, 0);
}

TEST(WindowHelpers, SearchMatchesClassAndTitle) {
    TestWindow titled(L"OvShutdownTitled", L"Alpha");
    TestWindow untitled(L"OvShutdownUntitled", L"");
    ASSERT_NE(nullptr, titled.hwnd());
    ASSERT_NE(nullptr, untitled.hwnd());
    struct Case {
        const char* name;
        const wchar_t* title;
        const wchar_t* windowClass;
        HWND expected;
    } cases[] = {
        {"class and title", L"Alpha", L"OvShutdownTitled", titled.hwnd()},
        {"null title is any title", nullptr, L"OvShutdownTitled", titled.hwnd()},
        {"empty title is no title", L"", L"OvShutdownTitled", nullptr},
        {"empty title finds the untitled", L"", L"OvShutdownUntitled", untitled.hwnd()},
        {"title alone", L"Alpha", nullptr, titled.hwnd()},
        {"empty class is any class", L"Alpha", L"", titled.hwnd()},
        {"other title", L"Beta", L"OvShutdownTitled", nullptr},
        {"both empty: nothing searched", L"", L"", nullptr},
        {"both null: nothing searched", nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, Search(c.title, c.windowClass)) << c.name;
    }
}

TEST(WindowHelpers, WaitWindowGoneWaitsUntilGoneOrTimeUp) {
    {
        TestWindow leaving(L"OvShutdownLeaving", L"Leaving", 0, 0, 400);
        DWORD start = GetTickCount();
        EXPECT_EQ(nullptr, WaitWindowGone(0, L"Leaving", L"OvShutdownLeaving"));
        EXPECT_GE(Since(start), 300u);
        EXPECT_LT(Since(start), 2000u);
    }
    {
        TestWindow staying(L"OvShutdownStaying", L"Staying");
        DWORD start = GetTickCount();
        EXPECT_EQ(staying.hwnd(), WaitWindowGone(1, L"Staying", L"OvShutdownStaying"));
        EXPECT_GE(Since(start), 950u);
        EXPECT_LT(Since(start), 2500u);

        start = GetTickCount();
        EXPECT_EQ(nullptr, WaitWindowGone(5, L"", L""));
        EXPECT_EQ(nullptr, WaitWindowGone(5, L"Nowhere", L"OvShutdownStaying"));
        EXPECT_LT(Since(start), 200u);
    }
}

TEST(WindowHelpers, CloseWindowsSendsUntilTheWindowIsGone) {
    TestWindow stubborn(L"OvShutdownStubborn", L"Stubborn", kMsgAntivirusExit, 2);
    ASSERT_NE(nullptr, stubborn.hwnd());
    HWND window = stubborn.hwnd();

    // One message is not enough: after waiting 3 s for it to go, the window is handed back.
    DWORD start = GetTickCount();
    EXPECT_EQ(window, CloseWindows(L"Stubborn", L"OvShutdownStubborn", kMsgAntivirusExit, 1));
    EXPECT_GE(Since(start), 2900u);
    EXPECT_EQ(1, stubborn.received());

    // The second ends it; nothing more is sent once it is gone.
    EXPECT_EQ(nullptr, CloseWindows(L"Stubborn", L"OvShutdownStubborn", kMsgAntivirusExit, 5));
    EXPECT_EQ(2, stubborn.received());

    start = GetTickCount();
    EXPECT_EQ(nullptr, CloseWindows(L"Stubborn", L"OvShutdownStubborn", kMsgAntivirusExit, 5));
    EXPECT_LT(Since(start), 200u);
}

TEST(WindowNames, EachKindFromItsSource) {
    const std::wstring fixture = BinDir() + L"\\shutdown_fixture";
    const std::wstring full = fixture + L"\\full";
    const std::wstring titleOnly = fixture + L"\\titleonly";
    const std::wstring noLibrary = fixture;
    const std::wstring longName(130, L'9');
    struct Case {
        const char* name;
        int kind;
        DWORD productId;
        const wchar_t* shortName;
        std::wstring folder;
        std::wstring windowClass;
        std::wstring title;
    } cases[] = {
        {"by Windows, 98", 1, 4, L"98", full, L"Wexa98", L"Wexa for Windows 98"},
        {"by Windows, XP", 1, 0, L"XP", L"", L"WexaXP", L"Wexa for Windows XP"},
        {"by Windows, unknown Windows", 1, 0, L"", L"", L"Wexa", L"Wexa for Windows "},
        {"by Windows, class too long", 1, 0, longName.c_str(), L"", L"", L"Wexa for Windows " + longName},
        {"product 0", 2, 0, L"XP", full, L"WexaAV", L"Wexa Anti-Virus"},
        {"product 1", 2, 1, L"XP", L"", L"WexaAV", L"Wexa Anti-Virus"},
        {"product 2", 2, 2, L"XP", L"", L"Sanavo", L"Sanavo Personal Edition"},
        {"product 3", 2, 3, L"XP", L"", L"Sanavo", L"Sanavo SOHO Edition"},
        {"product 4", 2, 4, L"XP", L"", L"Sanavo", L"Tarnel Nimbo Antivirus"},
        {"product 5", 2, 5, L"XP", L"", L"Sanavo", L"Tarnel Nimbo Antivirus"},
        {"product 6", 2, 6, L"XP", L"", L"", L""},
        {"product 0xFFFFFFFF", 2, 0xFFFFFFFF, L"XP", L"", L"", L""},
        {"installed library", 3, 4, L"XP", full, L"FIXTUREAVWND", L"Fixture Antivirus"},
        {"installed library without class", 3, 4, L"XP", titleOnly, L"NIMBOAVAPP", L"Fixture Antivirus"},
        {"no installed library", 3, 4, L"XP", noLibrary, L"NIMBOAVAPP", L"Tarnel Nimbo Antivirus"},
        {"no files folder", 3, 4, L"XP", L"", L"NIMBOAVAPP", L"Tarnel Nimbo Antivirus"},
        {"kind 0", 0, 4, L"XP", full, L"", L""},
        {"kind 4", 4, 4, L"XP", full, L"", L""},
    };
    for (const auto& c : cases) {
        wchar_t windowClass[kWindowClassChars];
        wchar_t title[kWindowTitleChars];
        wmemset(windowClass, L'#', kWindowClassChars);
        wmemset(title, L'#', kWindowTitleChars);
        GetAntivirusWindowNames(c.kind, c.productId, c.shortName, c.folder.c_str(), windowClass, title);
        EXPECT_EQ(c.windowClass, std::wstring(windowClass)) << c.name;
        EXPECT_EQ(c.title, std::wstring(title)) << c.name;
    }
}

}  // namespace
