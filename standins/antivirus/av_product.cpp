#include "av_product.h"

#include <stdio.h>
#include <string.h>

#include <vector>

namespace av {

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
