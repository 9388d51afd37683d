// What every stand-in of an outside program shares: where it writes down what it was asked,
// and where a test sets the switches that make it misbehave. Stand-ins only, never the product.
//
// Records: one text file per program, "<program>.txt" in the record folder, UTF-8, one entry
// appended per call as "<key>: <value>" lines ending in CR LF, closed by an empty line. The record
// folder is %OV_STANDIN_RECORDS% when set, else "C:\ovstandins" (made when missing). Tests of a
// fresh prefix read C:\ovstandins; children started by the engine inherit the variable.
//
// Switches: values under HKLM "SOFTWARE\OvStandins\<program>" (REG_DWORD or REG_SZ), read on
// each start. A missing key or value means normal behaviour.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace standin {

inline std::wstring RecordFolder() {
    wchar_t buffer[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"OV_STANDIN_RECORDS", buffer, MAX_PATH);
    std::wstring folder = (n > 0 && n < MAX_PATH) ? buffer : L"C:\\ovstandins";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

inline std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

// Appends one entry: each (key, value) pair as a line, then an empty line. Waits for a writer of
// the same record (two instances of one program may run at once).
inline void Record(const std::wstring& program,
                   std::initializer_list<std::pair<std::wstring, std::wstring>> lines) {
    std::string text;
    for (const auto& line : lines)
        text += Utf8(line.first) + ": " + Utf8(line.second) + "\r\n";
    text += "\r\n";
    std::wstring path = RecordFolder() + L"\\" + program + L".txt";
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            CloseHandle(file);
            return;
        }
        Sleep(10);
    }
}

inline std::wstring SwitchKey(const std::wstring& program) {
    return L"SOFTWARE\\OvStandins\\" + program;
}

inline DWORD Switch(const std::wstring& program, const wchar_t* name, DWORD fallback = 0) {
    DWORD value = 0, size = sizeof(value), type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SwitchKey(program).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return fallback;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return (rc == ERROR_SUCCESS && type == REG_DWORD) ? value : fallback;
}

inline std::wstring SwitchText(const std::wstring& program, const wchar_t* name,
                               const std::wstring& fallback = L"") {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t), type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SwitchKey(program).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return fallback;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) ? std::wstring(buffer)
                                                                              : fallback;
}

}  // namespace standin
