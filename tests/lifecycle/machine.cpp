#include "machine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_support.h"

namespace lifecycle {

namespace {

std::wstring Lower(std::wstring text) {
    if (!text.empty())
        CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// ---- registry ----------------------------------------------------------------------------------

// Wine's own: filled again at every restart, and its settings and the window metrics it keeps.
const wchar_t* const kRegistryLeftOut[] = {
    L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
    L"HKCU\\Software\\Wine",
};

// Where a key tree is saved for reading: on the machine's own drive (tests on other machines run at
// the same time), left out of the file listing.
const wchar_t kSavedTree[] = L"C:\\lifecycle-snapshot.reg";

bool LeftOutKey(const std::wstring& key) {
    for (const wchar_t* left : kRegistryLeftOut) {
        std::wstring lower = Lower(key);
        std::wstring prefix = Lower(left);
        if (lower == prefix || lower.compare(0, prefix.size() + 1, prefix + L"\\") == 0)
            return true;
    }
    return false;
}

// A key tree saved in one go as Wine's registry text: "[sub key] stamp" lines, each followed by
// its "name"=value lines (long values go on over lines that end in a backslash). Keys are listed
// when they hold values or nothing at all, so a key left empty shows. Far quicker than walking the
// tree value by value.
void AddTree(HKEY root, const wchar_t* path, const std::wstring& shown, std::set<std::wstring>* lines) {
    static bool privileged = [] {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token))
            return false;
        TOKEN_PRIVILEGES backup = {};
        backup.PrivilegeCount = 1;
        backup.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        bool ok = LookupPrivilegeValueW(nullptr, SE_BACKUP_NAME, &backup.Privileges[0].Luid) &&
                  AdjustTokenPrivileges(token, FALSE, &backup, 0, nullptr, nullptr);
        CloseHandle(token);
        return ok;
    }();
    ASSERT_TRUE(privileged);
    const std::wstring file = kSavedTree;
    DeleteFileW(file.c_str());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(root, path, 0, KEY_READ, &key));
    LONG saved = RegSaveKeyW(key, file.c_str(), nullptr);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, saved);
    std::wstring text = ovtest::Widen(ovtest::ReadFileBytes(file));
    DeleteFileW(file.c_str());

    std::wstring current;
    bool skipping = true;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(L'\n', at);
        std::wstring line = text.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
        at = end == std::wstring::npos ? text.size() : end + 1;
        while (!line.empty() && line.back() == L'\\' && at < text.size()) {
            end = text.find(L'\n', at);
            line.pop_back();
            line += text.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
            at = end == std::wstring::npos ? text.size() : end + 1;
        }
        if (line.empty() || line[0] == L'#' || line[0] == L';')
            continue;
        if (line[0] == L'[') {
            // "[a\\b] 1796987710": the name with its backslashes doubled, then the stamp.
            std::wstring name = line.substr(1, line.rfind(L']') - 1);
            for (size_t pair; (pair = name.find(L"\\\\")) != std::wstring::npos;)
                name.erase(pair, 1);
            current = shown + L"\\" + name;
            skipping = LeftOutKey(current);
            if (!skipping)
                lines->insert(L"key " + current);
        } else if (!skipping && line.compare(0, 4, L"WINE") != 0) {
            lines->insert(L"value " + current + L" : " + line);
        }
    }
}

void ServiceNames(std::set<std::wstring>* lines) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD chars = 256;
        if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        lines->insert(L"service " + std::wstring(name));
    }
    RegCloseKey(key);
}

// ---- files -------------------------------------------------------------------------------------

// The stand-ins' records of what they were asked, the stand-in of the system's installer service,
// the engine's log (kept on purpose), and the record Windows keeps of the renames it carried out.
std::vector<std::wstring> FilesLeftOut() {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    return {L"C:\\ovstandins", L"C:\\ovkestralog.txt", kSavedTree,
            std::wstring(windows) + L"\\Installer\\OvStandins", std::wstring(windows) + L"\\wininit.bak"};
}

// Folders of the profile that Wine links to the host user's home: shared with everything else on the
// host, so only what a setup could leave there counts.
bool IsHostFolder(const std::wstring& path) {
    wchar_t profile[MAX_PATH] = {};
    GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    for (const wchar_t* name : {L"Desktop", L"Documents", L"Downloads", L"Music", L"Pictures", L"Videos",
                                L"AppData\\Roaming\\Microsoft\\Windows\\Templates"})
        if (Lower(path) == Lower(std::wstring(profile) + L"\\" + name))
            return true;
    return false;
}

bool IsShortcut(const std::wstring& name) {
    std::wstring lower = Lower(name);
    for (const wchar_t* end : {L".lnk", L".url", L".pif"})
        if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, end) == 0)
            return true;
    return false;
}

void WalkFolder(const std::wstring& folder, const std::vector<std::wstring>& leftOut,
                std::set<std::wstring>* lines) {
    bool host = IsHostFolder(folder);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::wstring path = folder + L"\\" + name;
        if (std::any_of(leftOut.begin(), leftOut.end(),
                        [&](const std::wstring& left) { return Lower(left) == Lower(path); }))
            continue;
        if (host && !IsShortcut(name))
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            lines->insert(L"folder " + path);
            // A link is listed, never followed: it may lead off the machine.
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
                WalkFolder(path, leftOut, lines);
        } else {
            ULONGLONG size = (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            lines->insert(L"file " + path + L" " + std::to_wstring(size));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

std::wstring PackageDir(const std::wstring& name) {
    std::wstring relative = ovtest::BinDir() + L"\\..\\packages\\" + name;
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
    return full;
}

std::wstring TempDir() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

int InstallSuite() {
    return ovtest::RunProcess(
        L"\"" + PackageDir(L"suite") + L"\\ovsetup.exe\" /Silent \"/Path=" + kSuiteFolder + L"\"", 180000);
}

std::wstring UninstallCommand(const std::wstring& entry) {
    std::wstring command;
    ovtest::GetRegString(HKEY_LOCAL_MACHINE, std::wstring(kUninstallKey) + L"\\" + entry, L"UninstallString",
                         &command);
    return command;
}

std::wstring CleanupCommand() {
    std::wstring command;
    ovtest::GetRegString(HKEY_LOCAL_MACHINE, kRunOnceKey, L"Kestra_cleanup", &command);
    return command;
}

std::vector<std::wstring> CleanupCopies() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((TempDir() + L"ovcu_*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool KeyExists(const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

std::string LastLogRun() {
    const std::string separator = "+++ --- +++ --- +++";
    std::string log = ovtest::ReadFileBytes(L"C:\\ovkestralog.txt");
    size_t end = log.rfind(separator);
    if (end == std::string::npos)
        return log;
    size_t start = log.rfind(separator, end == 0 ? 0 : end - 1);
    return log.substr(start == std::string::npos ? 0 : start + separator.size(),
                      end - (start == std::string::npos ? 0 : start + separator.size()));
}

Child::Child(const std::wstring& commandLine) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_);
}

Child::~Child() {
    if (process_.hProcess != nullptr) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process_.hProcess, static_cast<UINT>(-1));
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

namespace {

struct DialogSearch {
    DWORD processId;
    int button;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    HWND button = GetDlgItem(window, search->button);
    if (owner == search->processId && IsWindowVisible(window) && button != nullptr &&
        IsWindowEnabled(button)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectText(HWND child, LPARAM parameter) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    // The system's static texts (message boxes) and the framework's text items (its dialogs).
    if (lstrcmpiW(className, L"Static") == 0 || lstrcmpiW(className, L"KestraText") == 0) {
        wchar_t text[1024] = {};
        GetWindowTextW(child, text, 1024);
        auto* joined = reinterpret_cast<std::wstring*>(parameter);
        if (text[0] != L'\0')
            *joined += (joined->empty() ? L"" : L"\n") + std::wstring(text);
    }
    return TRUE;
}

}  // namespace

std::wstring Child::Answer(int button, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (process_.hProcess != nullptr && GetTickCount() - start < timeoutMs) {
        DialogSearch search = {process_.dwProcessId, button, nullptr};
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            std::wstring text;
            EnumChildWindows(search.found, CollectText, reinterpret_cast<LPARAM>(&text));
            ovtest::PressButton(search.found, button);
            // Until it is gone, so the next answer meets the next dialog.
            while (IsWindow(search.found) && GetTickCount() - start < timeoutMs)
                Sleep(20);
            return text;
        }
        if (WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0)
            break;
    }
    return L"";
}

int Child::Wait(DWORD timeoutMs) {
    DWORD code = static_cast<DWORD>(-1);
    if (process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
}

std::set<std::wstring> Snapshot() {
    std::set<std::wstring> lines;
    AddTree(HKEY_LOCAL_MACHINE, L"SOFTWARE", L"HKLM\\SOFTWARE", &lines);
    AddTree(HKEY_CURRENT_USER, L"Software", L"HKCU\\Software", &lines);
    ServiceNames(&lines);
    WalkFolder(L"C:", FilesLeftOut(), &lines);
    return lines;
}

std::string Difference(const std::set<std::wstring>& before, const std::set<std::wstring>& after) {
    std::string text;
    for (const std::wstring& line : before)
        if (after.count(line) == 0)
            text += "- " + ovtest::Narrow(line) + "\n";
    for (const std::wstring& line : after)
        if (before.count(line) == 0)
            text += "+ " + ovtest::Narrow(line) + "\n";
    return text;
}

void AddWhatWindowsHas() {
    for (const wchar_t* key :
         {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
          L"SOFTWARE\\Classes\\Installer\\Features",
          L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products",
          L"SOFTWARE\\Microsoft\\Office\\Outlook\\Addins"}) {
        HKEY made = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &made, nullptr) ==
            ERROR_SUCCESS)
            RegCloseKey(made);
    }
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    CreateDirectoryW((std::wstring(windows) + L"\\Installer").c_str(), nullptr);
}

}  // namespace lifecycle
