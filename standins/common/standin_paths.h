// Small path and file helpers the stand-in programs share.
#pragma once
#include <stdio.h>
#include <windows.h>

#include <string>
#include <vector>

namespace standin {

inline std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::wstring(path) : std::wstring();
}

// Without the trailing backslash.
inline std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The file name in lower case, without ".exe".
inline std::wstring ProgramName(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (name.size() > 4 && lstrcmpiW(name.c_str() + name.size() - 4, L".exe") == 0)
        name.resize(name.size() - 4);
    if (!name.empty())
        CharLowerBuffW(&name[0], static_cast<DWORD>(name.size()));
    return name;
}

inline std::wstring WindowsFolder() {
    wchar_t path[MAX_PATH] = {};
    UINT n = GetWindowsDirectoryW(path, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::wstring(path) : std::wstring();
}

inline std::wstring SystemFolder() {
    wchar_t path[MAX_PATH] = {};
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::wstring(path) : std::wstring();
}

inline std::wstring CurrentFolder() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetCurrentDirectoryW(MAX_PATH, path);
    return (n > 0 && n < MAX_PATH) ? std::wstring(path) : std::wstring();
}

inline std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

inline std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

// "a.b.c.d" of the fixed version record; empty without a version resource. Link "version".
inline std::wstring FileVersionOf(const std::wstring& path) {
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

}  // namespace standin
