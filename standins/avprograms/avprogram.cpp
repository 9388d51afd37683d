// The antivirus product's running programs and the suite's own two, stood in by one program whose
// role follows from its file name (without ".exe"):
//
//   name            stop switch  marker mutex
//   WexaMsg         -k           "Wexa Resident Protection App"  (also the NT service "WEXAMSGNT")
//   Wardel          -k           -
//   SanavoScanner   -k           -
//   WexaTray        /exit        "Wexatray"
//   ovavtray        /exit        "Wexatray"
//   OVAVRid         -k           "OVAV_RID_MUTEX"
//   SigFetch        /exit        "Active Update App"
//   ovkestra        -k           -
//   ovkestradt      -k           -
//   any other name  -            -   (ovav, wexa32: windows only; started without windows to
//                                      show, as a decoy, it records its start and ends)
//
// A running instance is ready once its hidden control window, of class "OvAvStandin.<name in lower
// case>", carries the title "ready": by then its mutex and windows exist.
//
// NAME.exe <stop switch>   tells every running instance of NAME to end (a message to its hidden
//                          control window) and returns at once, as the real programs do.
// NAME.exe [options]       runs: holds the marker mutex and shows the windows asked for until told
//                          to end. Options:
//     --after MS              appears (mutex, windows) only after MS ms, as a program still starting
//     --no-mutex              without the marker mutex
//     --dialog TITLE          a dialog ("#32770") with this title (may be empty); repeatable
//     --window CLASS TITLE    a top-level window of its own class; repeatable
//     --lifetime MS           ends by itself after MS ms (default 30000), so no test leaves it behind
// WexaMsg.exe --service    runs as the service "WEXAMSGNT", holding the messenger mutex until the
//                          service manager sends the stop control.
//
// A running instance ends, ExitDelay ms later (switch, default 200), when told by its stop switch or
// when any of its windows gets message 1124 (WM_USER + 100), WM_DESTROY or WM_CLOSE. With the switch
// IgnoreExit = 1 it records the request and keeps running.
//
// Records (standin.h, "<NAME>.txt"): "start: <arguments>" for every start; "stop: <switch>" and
// "told: <instances>" for a stop-switch run; "request: switch|1124|WM_DESTROY|WM_CLOSE" with
// "window: <title>" and "ignored: yes|no" for each request; "end: asked|lifetime" when an instance
// ends. The service records "service: running", "service control: stop", "end: service stopped".
#include <windows.h>
// windows.h first: shellapi.h builds on it.
#include <shellapi.h>

#include <string>
#include <vector>

#include "standin.h"

namespace {

const UINT kMsgAntivirusExit = WM_USER + 100;
const UINT kMsgStopSwitch = WM_APP + 1;
const UINT_PTR kExitTimer = 1;
const UINT_PTR kLifetimeTimer = 2;

struct Role {
    const wchar_t* name;
    const wchar_t* stopSwitch;
    const wchar_t* mutex;
};

const Role kRoles[] = {
    {L"WexaMsg", L"-k", L"Wexa Resident Protection App"},
    {L"Wardel", L"-k", nullptr},
    {L"SanavoScanner", L"-k", nullptr},
    {L"WexaTray", L"/exit", L"Wexatray"},
    {L"ovavtray", L"/exit", L"Wexatray"},
    {L"OVAVRid", L"-k", L"OVAV_RID_MUTEX"},
    {L"SigFetch", L"/exit", L"Active Update App"},
    {L"ovkestra", L"-k", nullptr},
    {L"ovkestradt", L"-k", nullptr},
};
const Role kNoRole = {L"", nullptr, nullptr};

std::wstring g_program;  // own file name without ".exe", as on disk
Role g_role = kNoRole;
HANDLE g_mutex = nullptr;
HWND g_control = nullptr;
bool g_exitPending = false;
bool g_leaving = false;  // windows destroyed while the process ends are no requests

std::wstring Lower(std::wstring text) {
    for (auto& c : text)
        c = static_cast<wchar_t>(towlower(c));
    return text;
}

std::wstring OwnName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    size_t slash = name.find_last_of(L'\\');
    if (slash != std::wstring::npos)
        name = name.substr(slash + 1);
    if (name.size() > 4 && Lower(name.substr(name.size() - 4)) == L".exe")
        name.resize(name.size() - 4);
    return name;
}

// One control window class per program: the stop switch finds its running instances by it.
std::wstring ControlClass() {
    return L"OvAvStandin." + Lower(g_program);
}

std::wstring WindowTitle(HWND window) {
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    return title;
}

void Leave(const wchar_t* reason, UINT code) {
    g_leaving = true;
    standin::Record(g_program, {{L"end", reason}});
    if (g_mutex != nullptr) {
        ReleaseMutex(g_mutex);
        CloseHandle(g_mutex);
    }
    standin::RecordRunTime();  // ExitProcess runs no static destructors
    ExitProcess(code);
}

void Request(const wchar_t* what, const std::wstring& title) {
    bool ignore = standin::Switch(g_program, L"IgnoreExit") != 0;
    standin::Record(g_program,
                    {{L"request", what}, {L"window", title}, {L"ignored", ignore ? L"yes" : L"no"}});
    if (ignore || g_exitPending)
        return;
    g_exitPending = true;
    SetTimer(g_control, kExitTimer, standin::Switch(g_program, L"ExitDelay", 200), nullptr);
}

// The requests the engine sends to the programs' windows; true when `message` is one.
bool HandleWindowRequest(HWND window, UINT message) {
    if (g_leaving)
        return false;
    switch (message) {
        case kMsgAntivirusExit:
            Request(L"1124", WindowTitle(window));
            return true;
        case WM_DESTROY:
            Request(L"WM_DESTROY", WindowTitle(window));
            return true;
        case WM_CLOSE:
            Request(L"WM_CLOSE", WindowTitle(window));
            return true;
        default:
            return false;
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleWindowRequest(window, message))
        return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(lParam));
        return TRUE;
    }
    return HandleWindowRequest(dialog, message) ? TRUE : FALSE;
}

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgStopSwitch) {
        Request(L"switch", L"");
        return 0;
    }
    if (message == WM_TIMER && wParam == kExitTimer)
        Leave(L"asked", 0);
    if (message == WM_TIMER && wParam == kLifetimeTimer)
        Leave(L"lifetime", 3);
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterWindowClass(const std::wstring& name, WNDPROC proc) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name.c_str();
    return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateTitledDialog(const std::wstring& title) {
    struct {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;  // none: the title is set on WM_INITDIALOG
    } tpl = {};
    tpl.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    tpl.header.cx = 200;
    tpl.header.cy = 80;
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &tpl.header, nullptr, DialogProc,
                                      reinterpret_cast<LPARAM>(title.c_str()));
}

HWND CreateMainWindow(const std::wstring& windowClass, const std::wstring& title) {
    if (!RegisterWindowClass(windowClass, MainWindowProc))
        return nullptr;
    return CreateWindowExW(0, windowClass.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
                           200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

std::wstring Join(const std::vector<std::wstring>& args) {
    std::wstring text;
    for (const auto& arg : args)
        text += (text.empty() ? L"" : L" ") + arg;
    return text;
}

int TellRunningInstances(const std::wstring& stopSwitch) {
    int told = 0;
    for (HWND window = FindWindowExW(nullptr, nullptr, ControlClass().c_str(), nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, ControlClass().c_str(), nullptr)) {
        PostMessageW(window, kMsgStopSwitch, 0, 0);
        ++told;
    }
    standin::Record(g_program, {{L"stop", stopSwitch}, {L"told", std::to_wstring(told)}});
    return 0;
}

int Run(const std::vector<std::wstring>& args) {
    DWORD after = 0, lifetime = 30000;
    bool withMutex = g_role.mutex != nullptr;
    std::vector<std::wstring> dialogs;
    std::vector<std::pair<std::wstring, std::wstring>> windows;
    for (size_t i = 0; i < args.size(); ++i) {
        bool more = i + 1 < args.size();
        if (args[i] == L"--after" && more)
            after = wcstoul(args[++i].c_str(), nullptr, 10);
        else if (args[i] == L"--lifetime" && more)
            lifetime = wcstoul(args[++i].c_str(), nullptr, 10);
        else if (args[i] == L"--no-mutex")
            withMutex = false;
        else if (args[i] == L"--dialog" && more)
            dialogs.push_back(args[++i]);
        else if (args[i] == L"--window" && i + 2 < args.size()) {
            windows.emplace_back(args[i + 1], args[i + 2]);
            i += 2;
        }
    }
    // Nothing to stand for: a decoy only records that it was started.
    if (g_role.stopSwitch == nullptr && dialogs.empty() && windows.empty())
        return 0;
    Sleep(after);
    if (withMutex)
        g_mutex = CreateMutexW(nullptr, TRUE, g_role.mutex);
    if (!RegisterWindowClass(ControlClass(), ControlProc))
        return 2;
    g_control = CreateWindowExW(0, ControlClass().c_str(), L"", 0, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    SetTimer(g_control, kLifetimeTimer, lifetime, nullptr);
    for (const auto& title : dialogs)
        CreateTitledDialog(title);
    for (const auto& window : windows)
        CreateMainWindow(window.first, window.second);
    SetWindowTextW(g_control, L"ready");
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

// The messenger as the NT family runs it: a service holding the messenger mutex.
SERVICE_STATUS_HANDLE g_serviceHandle = nullptr;
SERVICE_STATUS g_serviceStatus = {};
HANDLE g_serviceStop = nullptr;

void ReportServiceState(DWORD state) {
    g_serviceStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_serviceStatus.dwCurrentState = state;
    g_serviceStatus.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    g_serviceStatus.dwWaitHint = state == SERVICE_STOP_PENDING ? 2000 : 0;
    SetServiceStatus(g_serviceHandle, &g_serviceStatus);
}

DWORD WINAPI ServiceControl(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_STOP) {
        standin::Record(g_program, {{L"service control", L"stop"}});
        ReportServiceState(SERVICE_STOP_PENDING);
        SetEvent(g_serviceStop);
        return NO_ERROR;
    }
    if (control == SERVICE_CONTROL_INTERROGATE) {
        SetServiceStatus(g_serviceHandle, &g_serviceStatus);
        return NO_ERROR;
    }
    return ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
    g_serviceStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_serviceHandle = RegisterServiceCtrlHandlerExW(L"WEXAMSGNT", ServiceControl, nullptr);
    if (g_serviceHandle == nullptr)
        return;
    HANDLE mutex = CreateMutexW(nullptr, TRUE, g_role.mutex);
    standin::Record(g_program, {{L"service", L"running"}});
    ReportServiceState(SERVICE_RUNNING);
    WaitForSingleObject(g_serviceStop, INFINITE);
    Sleep(standin::Switch(g_program, L"ExitDelay", 200));
    if (mutex != nullptr) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    standin::Record(g_program, {{L"end", L"service stopped"}});
    ReportServiceState(SERVICE_STOPPED);
}

int RunService() {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(L"WEXAMSGNT"), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 4;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
    g_program = OwnName();
    for (const auto& role : kRoles) {
        if (Lower(g_program) == Lower(role.name))
            g_role = role;
    }
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; argv != nullptr && i < argc; ++i)
        args.push_back(argv[i]);
    LocalFree(argv);
    standin::Record(g_program, {{L"start", Join(args)}});

    if (g_role.stopSwitch != nullptr && args.size() == 1 && Lower(args[0]) == Lower(g_role.stopSwitch))
        return TellRunningInstances(args[0]);
    if (Lower(g_program) == L"wexamsg" && args.size() == 1 && args[0] == L"--service")
        return RunService();
    return Run(args);
}
