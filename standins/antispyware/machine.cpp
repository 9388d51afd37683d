#include "machine.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

namespace aspm {

namespace {

bool SetValue(const std::wstring& key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG rc = RegSetValueExW(handle, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
    return rc == ERROR_SUCCESS;
}

}  // namespace

bool WriteString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return SetValue(key, name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool WriteDword(const std::wstring& key, const wchar_t* name, DWORD value) {
    return SetValue(key, name, REG_DWORD, &value, sizeof(value));
}

std::wstring ReadString(const std::wstring& key, const wchar_t* name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
        return std::wstring();
    }
    std::vector<wchar_t> buffer(2048, L'\0');
    DWORD size = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    DWORD type = 0;
    LONG rc = RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(handle);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::wstring();
    }
    return std::wstring(buffer.data());
}

bool KeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

void DeleteValue(const std::wstring& key, const wchar_t* name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE, &handle) == ERROR_SUCCESS) {
        RegDeleteValueW(handle, name);
        RegCloseKey(handle);
    }
}

void DeleteKeyTree(const std::wstring& key) {
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
}

void DeleteKeyIfEmpty(const std::wstring& key) {
    SHDeleteEmptyKeyW(HKEY_LOCAL_MACHINE, key.c_str());
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || folder.back() == L'\\') {
        return folder + name;
    }
    return folder + L"\\" + name;
}

bool CreateFolderPath(const std::wstring& folder) {
    if (folder.empty()) {
        return false;
    }
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    size_t slash = folder.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 0) {
        std::wstring parent = folder.substr(0, slash);
        // A drive root ("C:") exists or not; it is never created.
        if (!(parent.size() == 2 && parent[1] == L':')) {
            CreateFolderPath(parent);
        }
    }
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::wstring(path) : std::wstring();
}

std::wstring ModuleFolder() {
    std::wstring path = ModulePath();
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring CurrentFolder() {
    wchar_t folder[MAX_PATH] = {};
    DWORD n = GetCurrentDirectoryW(MAX_PATH, folder);
    return (n > 0 && n < MAX_PATH) ? std::wstring(folder) : std::wstring();
}

std::wstring ShellFolder(int csidl) {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return std::wstring();
    }
    return folder;
}

bool ExtractResource(const wchar_t* name, const std::wstring& path) {
    HRSRC resource = FindResourceW(nullptr, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return false;
    }
    DWORD size = SizeofResource(nullptr, resource);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, data, size, &written, nullptr) && written == size;
    CloseHandle(file);
    if (!ok) {
        DeleteFileW(path.c_str());
    }
    return ok;
}

bool CreateShortcut(const std::wstring& linkPath, const std::wstring& target) {
    HRESULT init = CoInitialize(nullptr);
    bool ok = false;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        link->SetPath(target.c_str());
        size_t slash = target.find_last_of(L'\\');
        if (slash != std::wstring::npos) {
            link->SetWorkingDirectory(target.substr(0, slash).c_str());
        }
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            ok = SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init)) {
        CoUninitialize();
    }
    return ok;
}

bool StartProcess(const std::wstring& commandLine) {
    std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
    command.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace aspm
