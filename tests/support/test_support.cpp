#include "support/test_support.h"

#include <shlwapi.h>

namespace ovtest {

std::wstring BinDir() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L'\\'));
}

static void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring full = dir + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
}

ScratchDir::ScratchDir() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    for (;;) {
        wchar_t name[64];
        swprintf(name, 64, L"ovtest-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&counter));
        path_ = std::wstring(temp) + name;
        if (CreateDirectoryW(path_.c_str(), nullptr))
            break;
    }
}

ScratchDir::~ScratchDir() {
    RemoveTree(path_);
}

static LONG DeleteTree(HKEY root, const std::wstring& key) {
    return static_cast<LONG>(SHDeleteKeyW(root, key.c_str()));
}

RegistryOverride::RegistryOverride() {
    static LONG counter = 0;
    wchar_t name[96];
    swprintf(name, 96, L"Software\\OvTestOverride\\%lu-%ld", GetCurrentProcessId(),
             InterlockedIncrement(&counter));
    base_ = name;
    RegCreateKeyExW(HKEY_CURRENT_USER, (base_ + L"\\HKLM").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &hklm_, nullptr);
    RegCreateKeyExW(HKEY_CURRENT_USER, (base_ + L"\\HKCU").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &hkcu_, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, hklm_);
    RegOverridePredefKey(HKEY_CURRENT_USER, hkcu_);
}

RegistryOverride::~RegistryOverride() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(hklm_);
    RegCloseKey(hkcu_);
    DeleteTree(HKEY_CURRENT_USER, base_);
}

int RunProcess(const std::wstring& commandLine, DWORD timeoutMs) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(L'\0');
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        return -1;
    }
    CloseHandle(pi.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(pi.hProcess, &code);
    } else {
        TerminateProcess(pi.hProcess, static_cast<UINT>(-1));
    }
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

void SetProgramWindowsVersion(const std::wstring& exeName, const std::wstring& version) {
    std::wstring key = L"Software\\Wine\\AppDefaults\\" + exeName;
    if (version.empty()) {
        HKEY h = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &h) == ERROR_SUCCESS) {
            RegDeleteValueW(h, L"Version");
            RegCloseKey(h);
        }
    } else {
        SetRegString(HKEY_CURRENT_USER, key, L"Version", version);
    }
}

int RestartWindows() {
    return RunProcess(L"wineboot.exe -r", 120000);
}

bool IsIsolated() {
    wchar_t value[8] = {};
    return GetEnvironmentVariableW(L"OV_ISOLATED", value, 8) > 0 && value[0] == L'1';
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::string();
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    bool ok =
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size();
    CloseHandle(h);
    return ok;
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SetRegString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExW(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(h);
    }
}

void SetRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExW(h, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
        RegCloseKey(h);
    }
}

bool GetRegString(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring* value) {
    wchar_t buffer[2048] = {};
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, buffer, &bytes) != ERROR_SUCCESS) {
        return false;
    }
    *value = buffer;
    return true;
}

DialogAnswerer::DialogAnswerer(int button) : button_(button) {
    InitializeCriticalSection(&lock_);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Thread, this, 0, nullptr);
}

DialogAnswerer::~DialogAnswerer() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

namespace {

struct FoundDialog {
    HWND window;
};

BOOL CALLBACK FindProcessDialog(HWND window, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    if (pid == GetCurrentProcessId() && std::wstring(cls) == L"#32770" && IsWindowVisible(window)) {
        reinterpret_cast<FoundDialog*>(param)->window = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectText(HWND child, LPARAM param) {
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 32);
    if (std::wstring(cls) == L"Static") {
        wchar_t text[2048] = {};
        GetWindowTextW(child, text, 2048);
        std::wstring* all = reinterpret_cast<std::wstring*>(param);
        if (text[0] != L'\0') {
            if (!all->empty())
                *all += L"\n";
            *all += text;
        }
    }
    return TRUE;
}

}  // namespace

DWORD WINAPI DialogAnswerer::Thread(LPVOID param) {
    DialogAnswerer* self = static_cast<DialogAnswerer*>(param);
    while (WaitForSingleObject(self->stop_, 50) == WAIT_TIMEOUT) {
        FoundDialog found = {nullptr};
        EnumWindows(FindProcessDialog, reinterpret_cast<LPARAM>(&found));
        if (found.window == nullptr)
            continue;
        wchar_t caption[512] = {};
        GetWindowTextW(found.window, caption, 512);
        std::wstring text;
        EnumChildWindows(found.window, CollectText, reinterpret_cast<LPARAM>(&text));
        EnterCriticalSection(&self->lock_);
        self->captions_.push_back(caption);
        self->texts_.push_back(text);
        LeaveCriticalSection(&self->lock_);
        HWND button = GetDlgItem(found.window, self->button_);
        if (button != nullptr) {
            PostMessageW(found.window, WM_COMMAND, MAKEWPARAM(self->button_, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
        } else {
            PostMessageW(found.window, WM_CLOSE, 0, 0);
        }
        // Wait for this dialog to go before looking for the next.
        for (int i = 0; i < 100 && IsWindow(found.window) && IsWindowVisible(found.window); ++i)
            Sleep(20);
    }
    return 0;
}

bool DialogAnswerer::WaitAnswered(int count, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (answered() < count) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

int DialogAnswerer::answered() const {
    EnterCriticalSection(&lock_);
    int n = static_cast<int>(captions_.size());
    LeaveCriticalSection(&lock_);
    return n;
}

std::vector<std::wstring> DialogAnswerer::captions() const {
    EnterCriticalSection(&lock_);
    std::vector<std::wstring> copy = captions_;
    LeaveCriticalSection(&lock_);
    return copy;
}

std::vector<std::wstring> DialogAnswerer::texts() const {
    EnterCriticalSection(&lock_);
    std::vector<std::wstring> copy = texts_;
    LeaveCriticalSection(&lock_);
    return copy;
}

namespace {

struct TitledWindow {
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK FindTitledWindow(HWND window, LPARAM param) {
    TitledWindow* search = reinterpret_cast<TitledWindow*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && *search->title == title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        TitledWindow search = {&title, nullptr};
        EnumWindows(FindTitledWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr)
            return search.found;
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

void PressButton(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string Narrow(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring Widen(const std::string& text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], n);
    return out;
}

}  // namespace ovtest
