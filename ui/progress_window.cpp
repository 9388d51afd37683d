#include "ui/progress_window.h"

#include <commctrl.h>

#include <new>

#include "log/logger.h"
#include "setup/options.h"
#include "setup/setup.h"
#include "ui/framework.h"
#include "ui/framework_abi.h"
#include "ui/resource_string.h"

namespace {

const wchar_t kSyncEventName[] = L"Kestra_ProgressSync";
const int kBarItem = 1316;
const int kTextItem = 1144;
const unsigned kUninstallTitle = 24016;

HWND g_roleWindow = nullptr;  // messages for it pass the dialog's loop untouched

bool Silent() {
    return Logger::Get().GetDisplayLevel() == 0;
}

}  // namespace

ProgressWindow& ProgressWindow::Get() {
    // Built in place on first use and never destroyed: the program has no exit-time destructor
    // list (it starts without the C run-time's start-up code).
    alignas(ProgressWindow) static unsigned char storage[sizeof(ProgressWindow)];
    static ProgressWindow* window = nullptr;
    if (window == nullptr) {
        window = new (storage) ProgressWindow;
    }
    return *window;
}

void ProgressWindow::Begin(HWND ownerWindow, int stepCount) {
    if (Silent()) {
        return;
    }
    owner = ownerWindow;
    steps = stepCount;
    HANDLE sync = CreateEventW(nullptr, FALSE, FALSE, kSyncEventName);
    StartThread();
    if (sync != nullptr) {
        WaitForSingleObject(sync, 5000);
        CloseHandle(sync);
    } else {
        Sleep(1000);
    }
}

void ProgressWindow::Run() {
    static bool controlsReady = false;
    if (!controlsReady) {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        controlsReady = true;
    }
    Setup* setup = Setup::Get();
    g_roleWindow = setup != nullptr ? setup->window : nullptr;
    HWND created = Framework::Get().CreateDialog(kFrameworkSel, kDialogProgress, owner, DialogProc, 0,
                                                 kFrameworkDialogFlags);
    dialog = created;
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue
    HANDLE sync = OpenEventW(EVENT_MODIFY_STATE, FALSE, kSyncEventName);
    if (sync != nullptr) {
        SetEvent(sync);
        CloseHandle(sync);
    }
    if (created != nullptr) {
        for (;;) {
            if (GetMessageW(&message, created, 0, 0) <= 0 || message.message == kEndMessage) {
                break;
            }
            if (message.message == WM_QUERYENDSESSION && message.hwnd != g_roleWindow) {
                continue;
            }
            if (!IsDialogMessageW(created, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        DestroyWindow(created);
    }
    dialog = nullptr;
    owner = nullptr;
    steps = 5;
}

INT_PTR CALLBACK ProgressWindow::DialogProc(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        HWND bar = GetDlgItem(window, kBarItem);
        SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(1, Get().steps));
        SendMessageW(bar, PBM_SETSTEP, 1, 0);
        Setup* setup = Setup::Get();
        if (setup != nullptr && setup->role != kRoleInstall) {
            wchar_t title[128];
            if (LoadResourceString(nullptr, kUninstallTitle, title, 128) > 0) {
                SetWindowTextW(window, title);
            }
        }
        return TRUE;
    }
    if (message == WM_QUERYENDSESSION) {
        // Windows may not log off or shut down while components are being changed.
        SetWindowLongPtrW(window, DWLP_MSGRESULT, FALSE);
        return TRUE;
    }
    return FALSE;
}

void ProgressWindow::Step(const wchar_t* text) {
    if (Silent()) {
        return;
    }
    for (int i = 0; i < 10 && dialog == nullptr; ++i) {
        Sleep(250);
    }
    HWND window = dialog;
    if (window == nullptr) {
        return;
    }
    SendDlgItemMessageW(window, kBarItem, PBM_STEPIT, 0, 0);
    if (text != nullptr) {
        SetDlgItemTextW(window, kTextItem, text);
    }
}

void ProgressWindow::End() {
    HWND window = dialog;
    if (window == nullptr) {
        return;
    }
    SendDlgItemMessageW(window, kBarItem, PBM_SETPOS, static_cast<WPARAM>(steps), 0);
    PostMessageW(window, kEndMessage, 0, 0);
    wchar_t title[128];
    int tries = 0;
    while (GetWindowTextW(window, title, 128) > 0) {
        if (++tries > 50) {
            Logger::Get().Message(25550, nullptr);
            return;
        }
        Sleep(100);
    }
    WaitThread();
}
