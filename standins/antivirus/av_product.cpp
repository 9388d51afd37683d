#include "av_product.h"

#include <stdio.h>
#include <string.h>

#include <vector>

namespace av {

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::wstring(path) : std::wstring();
}

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring ProgramName(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (name.size() > 4 && lstrcmpiW(name.c_str() + name.size() - 4, L".exe") == 0)
        name.resize(name.size() - 4);
    CharLowerBuffW(&name[0], static_cast<DWORD>(name.size()));
    return name;
}

std::wstring WindowsFolder() {
    wchar_t path[MAX_PATH] = {};
    UINT n = GetWindowsDirectoryW(path, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::wstring(path) : std::wstring();
}

std::wstring CurrentFolder() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetCurrentDirectoryW(MAX_PATH, path);
    return (n > 0 && n < MAX_PATH) ? std::wstring(path) : std::wstring();
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

std::wstring FileVersionOf(const std::wstring& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return std::wstring();
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || info == nullptr) {
        return std::wstring();
    }
    wchar_t text[64];
    swprintf(text, 64, L"%u.%u.%u.%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
             HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return text;
}

namespace {

bool WriteValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    LONG rc = RegSetValueExW(handle, name, 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(handle);
    return rc == ERROR_SUCCESS;
}

}  // namespace

bool WriteString(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
    return WriteValue(key, name, REG_SZ, value.c_str(),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool WriteDword(const wchar_t* key, const wchar_t* name, DWORD value) {
    return WriteValue(key, name, REG_DWORD, &value, sizeof(value));
}

std::wstring ReadString(const wchar_t* key, const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS)
        return std::wstring();
    return buffer;
}

bool WriteTextFile(const std::wstring& path, const char* text) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD length = static_cast<DWORD>(strlen(text)), written = 0;
    bool ok = WriteFile(file, text, length, &written, nullptr) && written == length;
    CloseHandle(file);
    return ok;
}

int RunAndWait(const std::wstring& commandLine) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::vector<wchar_t> text(commandLine.begin(), commandLine.end());
    text.push_back(L'\0');
    if (!CreateProcessW(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

}  // namespace av
