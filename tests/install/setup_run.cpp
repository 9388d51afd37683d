#include "setup_run.h"

#include <commctrl.h>

#include <algorithm>

namespace installtest {

const wchar_t kConflictTitle[] = L"Conflicting Program Found";
const wchar_t kAgreementTitle[] = L"License Agreement";
const wchar_t kDestinationTitle[] = L"Choose Destination Folder";
const wchar_t kComponentsTitle[] = L"Select Components";
const wchar_t kProgressTitle[] = L"Setup";
const wchar_t kRestartTitle[] = L"Restart Windows";
const wchar_t kSuiteName[] = L"Tarnel Internet Security Suite";

namespace {

const DWORD kMessageTimeoutMs = 2000;

void CopyTree(const std::wstring& from, const std::wstring& to, const std::vector<std::wstring>& without) {
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L".." ||
            std::find(without.begin(), without.end(), name) != without.end()) {
            continue;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CopyTree(from + L"\\" + name, to + L"\\" + name, {});
        } else {
            CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

BOOL CALLBACK JoinStatics(HWND child, LPARAM param) {
    if (lstrcmpiW(ClassOf(child).c_str(), L"Static") == 0) {
        std::wstring text = SetupRun::Text(child);
        std::wstring* all = reinterpret_cast<std::wstring*>(param);
        if (!text.empty()) {
            *all += (all->empty() ? L"" : L"\n") + text;
        }
    }
    return TRUE;
}

struct DialogSearch {
    DWORD processId;
    std::vector<HWND> found;
};

// The run's visible dialogs ("#32770": the framework's, the message boxes, the folder picker).
BOOL CALLBACK FindDialogs(HWND window, LPARAM param) {
    DialogSearch* search = reinterpret_cast<DialogSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search->processId && IsWindowVisible(window) && ClassOf(window) == L"#32770") {
        search->found.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> DialogsOf(DWORD processId) {
    DialogSearch search = {processId, {}};
    EnumWindows(FindDialogs, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

Package::Package(const std::wstring& name, const std::vector<std::wstring>& without)
    : root_(scratch_ / name) {
    wchar_t source[MAX_PATH] = {};
    GetFullPathNameW((ovtest::BinDir() + L"\\..\\packages\\" + name).c_str(), MAX_PATH, source, nullptr);
    CopyTree(source, root_, without);
}

SetupRun::SetupRun(const Package& package, const std::wstring& switches) {
    InitializeCriticalSection(&lock_);
    InitializeCriticalSection(&noting_);
    std::wstring line = L"\"" + package.root() + L"\\ovsetup.exe\" " + switches;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    watcher_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
}

SetupRun::~SetupRun() {
    if (process_ != nullptr) {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, static_cast<UINT>(-1));
            WaitForSingleObject(process_, 10000);
        }
        SetEvent(stop_);
        WaitForSingleObject(watcher_, 10000);
        CloseHandle(watcher_);
        CloseHandle(stop_);
        CloseHandle(process_);
    }
    DeleteCriticalSection(&noting_);
    DeleteCriticalSection(&lock_);
}

DWORD WINAPI SetupRun::Watch(LPVOID self) {
    SetupRun* run = static_cast<SetupRun*>(self);
    do {
        run->NoteNewDialogs();
    } while (WaitForSingleObject(run->stop_, 15) == WAIT_TIMEOUT &&
             WaitForSingleObject(run->process_, 0) == WAIT_TIMEOUT);
    return 0;
}

void SetupRun::NoteNewDialogs() {
    // The watcher and WaitFor both note, so that a dialog answered at once is noted all the same.
    EnterCriticalSection(&noting_);
    for (HWND window : DialogsOf(processId_)) {
        EnterCriticalSection(&lock_);
        bool known =
            std::any_of(shown_.begin(), shown_.end(), [&](const Shown& s) { return s.window == window; });
        LeaveCriticalSection(&lock_);
        if (known) {
            continue;
        }
        Shown dialog;
        dialog.window = window;
        dialog.title = Text(window);
        EnumChildWindows(window, JoinStatics, reinterpret_cast<LPARAM>(&dialog.texts));
        HWND bar = FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr);
        DWORD_PTR value = 0;
        if (bar != nullptr &&
            SendMessageTimeoutW(bar, PBM_GETRANGE, TRUE, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &value)) {
            dialog.barLow = static_cast<int>(value);
            SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &value);
            dialog.barHigh = static_cast<int>(value);
        }
        EnterCriticalSection(&lock_);
        shown_.push_back(dialog);
        LeaveCriticalSection(&lock_);
    }
    LeaveCriticalSection(&noting_);
}

HWND SetupRun::WaitFor(const std::wstring& title, DWORD timeoutMs) {
    if (process_ == nullptr) {
        return nullptr;
    }
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND window : DialogsOf(processId_)) {
            if (Text(window) == title) {
                NoteNewDialogs();
                return window;
            }
        }
        if (WaitForSingleObject(process_, 20) == WAIT_OBJECT_0 || GetTickCount() - start >= timeoutMs) {
            return nullptr;
        }
    }
}

int SetupRun::ExitCode(DWORD timeoutMs) {
    if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
        return -1;
    }
    // The watcher notes what was still on screen at the very end, then stops.
    WaitForSingleObject(watcher_, 10000);
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
}

std::vector<Shown> SetupRun::shown() const {
    EnterCriticalSection(&lock_);
    std::vector<Shown> copy = shown_;
    LeaveCriticalSection(&lock_);
    return copy;
}

std::vector<std::wstring> SetupRun::Titles() const {
    std::vector<std::wstring> titles;
    for (const Shown& dialog : shown()) {
        titles.push_back(dialog.title);
    }
    return titles;
}

void SetupRun::Press(HWND dialog, int button) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

void SetupRun::Type(HWND dialog, int item, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, item), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, kMessageTimeoutMs, &ignored);
}

std::wstring SetupRun::Text(HWND window) {
    wchar_t text[2048] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                             kMessageTimeoutMs, &length)) {
        return L"";
    }
    return text;
}

std::wstring SetupRun::ItemText(HWND dialog, int item) {
    return Text(GetDlgItem(dialog, item));
}

void SetupRun::Untick(HWND dialog, int item) {
    HWND box = GetDlgItem(dialog, item);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(box, BM_SETCHECK, BST_UNCHECKED, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &ignored);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(item, BN_CLICKED), reinterpret_cast<LPARAM>(box));
}

bool SetupRun::WaitGone(HWND window, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

}  // namespace installtest
