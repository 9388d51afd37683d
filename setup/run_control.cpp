#include "setup/run_control.h"

#include "host/handles.h"
#include "host/system.h"
#include "host/text.h"
#include "components/product_main.h"
#include "log/logger.h"
#include "setup/options.h"
#include "setup/setup.h"
#include "ui/resource_string.h"

namespace {

const wchar_t kMutexInstall[] = L"mutex.Kestra.install";
const wchar_t kMutexUninstall[] = L"mutex.Kestra.uninstall";
const wchar_t kMutexCleanup[] = L"mutex.Kestra.cleanup";
const wchar_t kLogPath[] = L"C:\\ovkestralog.txt";
const size_t kClassChars = 128;
const DWORD kWorkerGraceMs = 10000;

wchar_t g_className[kClassChars];
bool g_classRegistered = false;

// Held until the process ends: the mutex of a running install or uninstall.
HANDLE g_roleMutex = nullptr;

void (*g_restartHandler)() = nullptr;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYENDSESSION) {
        return 0;  // no logoff or shutdown while setup runs
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI WorkerMain(LPVOID) {
    Setup* setup = Setup::Get();
    if (setup == nullptr) {
        return 0;
    }
    setup->Initialize();
    setup->AskUser();
    setup->Execute();
    setup->Finish();
    InterlockedExchange(&setup->finished, 1);
    if (setup->window != nullptr) {
        PostMessageW(setup->window, SetupDoneMessage, 0, 0);
    }
    if (setup->mainThreadId != 0) {
        PostThreadMessageW(setup->mainThreadId, SetupDoneMessage, 0, 0);
    }
    return 0;
}

}  // namespace

bool TryCreateMutex(const wchar_t* name, HANDLE* handle, bool keep) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, name);
    bool conflict = mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS;
    if (!keep && mutex != nullptr) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
        mutex = nullptr;
    }
    *handle = mutex;
    return conflict;
}

int AcquireRoleMutex(int role, HANDLE* held) {
    *held = nullptr;
    HANDLE mutex = nullptr;
    if (role == kRoleInstall || role == kRoleUninstall) {
        const wchar_t* other = role == kRoleInstall ? kMutexUninstall : kMutexInstall;
        const wchar_t* own = role == kRoleInstall ? kMutexInstall : kMutexUninstall;
        if (TryCreateMutex(other, &mutex, false)) {
            return ErrorSetupRunning;
        }
        if (TryCreateMutex(own, &mutex, true)) {
            *held = mutex;
            return ErrorSetupRunning;
        }
        g_roleMutex = mutex;
    }
    // Every role waits while a cleanup copy runs.
    for (;;) {
        bool conflict = TryCreateMutex(kMutexCleanup, &mutex, true);
        if (role != kRoleCleanup && mutex != nullptr) {
            ReleaseMutex(mutex);
            CloseHandle(mutex);
            mutex = nullptr;
        }
        if (!conflict) {
            break;
        }
        if (mutex != nullptr) {
            CloseHandle(mutex);
            mutex = nullptr;
        }
        Sleep(300);
    }
    *held = mutex;
    return 0;
}

HWND CreateMainWindow() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    Setup* setup = Setup::Get();
    if (!g_classRegistered) {
        g_className[0] = L'\0';
        LoadResourceString(nullptr, 22001, g_className, kClassChars);
        if (g_className[0] == L'\0') {
            TextCopy(g_className, kClassChars, L"WinClass.Kestra");
        }
        WNDCLASSW windowClass = {};
        windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_PARENTDC;
        windowClass.lpfnWndProc = MainWindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        windowClass.lpszClassName = g_className;
        if (RegisterClassW(&windowClass) == 0) {
            return nullptr;
        }
        g_classRegistered = true;
    }
    // Title: what the run does, then the product.
    bool removing = setup != nullptr && (setup->role == kRoleUninstall || setup->role == kRoleCleanup);
    wchar_t action[kClassChars];
    wchar_t product[kClassChars];
    LoadResourceString(nullptr, removing ? 24004 : 24003, action, kClassChars);
    LoadResourceString(nullptr, 22000, product, kClassChars);
    wchar_t title[2 * kClassChars + 4];
    TextFormatCut(title, 2 * kClassChars + 4, L"%s: %s", action, product);

    HWND window = CreateWindowExW(0, g_className, title, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (window != nullptr) {
        bool interactiveRole =
            setup == nullptr || setup->role == kRoleInstall || setup->role == kRoleUninstall;
        int show = SW_HIDE;
        if (interactiveRole && Logger::Get().GetDisplayLevel() >= 2) {
            show = SW_SHOWMINIMIZED;
        }
        ShowWindow(window, show);
    }
    return window;
}

HANDLE StartWorker(int role) {
    Setup* setup = Setup::Create(role);
    if (setup == nullptr) {
        return nullptr;
    }
    setup->window = CreateMainWindow();
    Logger::Get().SetOwnerWindow(setup->window);
    setup->mainThreadId = GetCurrentThreadId();
    HANDLE thread = CreateThread(nullptr, 0, WorkerMain, nullptr, 0, nullptr);
    if (thread == nullptr) {
        WorkerMain(nullptr);  // no thread to be had: the role runs here, without a pump
    }
    return thread;
}

int RunMessageLoop(HANDLE worker) {
    Setup* setup = Setup::Get();
    if (worker == nullptr) {
        return setup != nullptr ? setup->result : 0;
    }
    if (setup == nullptr) {
        WaitForSingleObject(worker, kWorkerGraceMs);
        CloseHandle(worker);
        return 0;
    }
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER,
                 PM_NOREMOVE);  // the queue exists before the worker posts
    bool running = true;
    for (;;) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if ((message.message == WM_QUIT && message.hwnd == setup->window) ||
                message.message == SetupDoneMessage || setup->finished != 0) {
                running = false;
            }
            bool foreignEndSession = message.message == WM_QUERYENDSESSION && message.hwnd != setup->window;
            if (running && !foreignEndSession) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        if (!running) {
            break;
        }
        DWORD wait = MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0) {
            CloseHandle(worker);
            return setup->result;
        }
        if (wait == WAIT_FAILED) {
            break;  // nothing left to wait on safely; the grace wait below ends it
        }
        if (setup->finished != 0) {
            break;
        }
    }
    WaitForSingleObject(worker, kWorkerGraceMs);
    CloseHandle(worker);
    return setup->result;
}

void RestartWindows() {
    if (IsWindowsNT()) {
        HANDLE token = nullptr;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
            TOKEN_PRIVILEGES privileges = {};
            privileges.PrivilegeCount = 1;
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            if (LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
                AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
            }
            CloseHandle(token);
        }
    }
    ExitWindowsEx(EWX_REBOOT, 0);
}

void SetRestartHandlerForTests(void (*handler)()) {
    g_restartHandler = handler;
}

int RunSetup(const char* commandLine) {
    InstallProductHooks();
    SetupOptions& options = SetupOptions::Get();
    options.Parse(commandLine);
    Logger::Get().Open(kLogPath, options.role == kRoleInstall);

    HANDLE held = nullptr;
    int result = AcquireRoleMutex(options.role, &held);
    int restart = 0;
    if (result == 0) {
        HANDLE worker = StartWorker(options.role);
        result = RunMessageLoop(worker);
        Setup* setup = Setup::Get();
        if (setup != nullptr) {
            restart = setup->restartRequested;
            if (setup->window != nullptr) {
                DestroyWindow(setup->window);
                Logger::Get().SetOwnerWindow(nullptr);
            }
        }
        Setup::Destroy();
    }
    if (held != nullptr) {
        ReleaseMutex(held);
        CloseHandle(held);
    }
    Logger::Get().Close(result);
    if (restart != 0) {
        if (g_restartHandler != nullptr) {
            g_restartHandler();
        } else {
            RestartWindows();
        }
    }
    return result;
}
