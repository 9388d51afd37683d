#include "engine.h"

#include <shellapi.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

namespace fw {

namespace {

std::wstring FromAnsi(const std::string& text) {
    if (text.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

bool WriteValue(const std::wstring& key, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG rc = RegSetValueExW(handle, name, 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(handle);
    return rc == ERROR_SUCCESS;
}

}  // namespace

Brand ReadBrand(const std::string* config) {
    Brand brand;
    wchar_t programFiles[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH);
    brand.folder =
        Join(Join((n > 0 && n < MAX_PATH) ? programFiles : L"C:\\Program Files", L"Zone Labs"), L"ZoneAlarm");
    if (config == nullptr)
        return brand;
    brand.branded = true;
    struct Key {
        const char* name;
        std::wstring* value;
    } keys[] = {{"OEM_APPTITLE=", &brand.title},
                {"OEM_MAINDIR=", &brand.folder},
                {"OEM_EXENAME=", &brand.client},
                {"OEM_CONAME=", &brand.company}};
    size_t start = 0;
    while (start < config->size()) {
        size_t end = config->find('\n', start);
        if (end == std::string::npos)
            end = config->size();
        std::string line = config->substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        for (const Key& key : keys) {
            if (line.compare(0, strlen(key.name), key.name) != 0)
                continue;
            std::wstring value = FromAnsi(line.substr(strlen(key.name)));
            // Without a name or folder the engine keeps its own.
            if (!value.empty() || key.value == &brand.company)
                *key.value = value;
        }
        start = end + 1;
    }
    return brand;
}

std::vector<std::wstring> SplitArguments(const wchar_t* arguments) {
    std::vector<std::wstring> result;
    // The first word counts as the program name, which the splitter treats apart: give it one.
    std::wstring line = std::wstring(L"program ") + (arguments ? arguments : L"");
    int count = 0;
    wchar_t** words = CommandLineToArgvW(line.c_str(), &count);
    if (words == nullptr)
        return result;
    for (int i = 1; i < count; ++i)
        result.push_back(words[i]);
    LocalFree(words);
    return result;
}

bool IsSwitch(const std::wstring& argument, const wchar_t* name) {
    return argument.size() > 1 && (argument[0] == L'/' || argument[0] == L'-') &&
           lstrcmpiW(argument.c_str() + 1, name) == 0;
}

bool ValueOf(const std::wstring& argument, const wchar_t* name, std::wstring* value) {
    size_t length = wcslen(name);
    if (argument.size() < length + 2 || (argument[0] != L'/' && argument[0] != L'-') ||
        argument[length + 1] != L'=' || _wcsnicmp(argument.c_str() + 1, name, length) != 0) {
        return false;
    }
    *value = argument.substr(length + 2);
    return true;
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes->clear();
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        bytes->append(buffer, got);
    CloseHandle(file);
    return true;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::wstring Hex(const std::string& bytes) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

bool WriteString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return WriteValue(key, name, REG_SZ, value.c_str(),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool WriteDword(const std::wstring& key, const wchar_t* name, DWORD value) {
    return WriteValue(key, name, REG_DWORD, &value, sizeof(value));
}

std::wstring ReadString(const std::wstring& key, const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
        ERROR_SUCCESS) {
        return std::wstring();
    }
    return buffer;
}

}  // namespace fw
