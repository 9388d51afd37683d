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
//
// Run times (tools/bench.sh): with %OV_STANDIN_RUNTIMES% naming a file, every stand-in program
// appends one line "<start> <end> <file name>" to it when it ends: its process's creation time and
// its end as FILETIME ticks (100 ns units since 1601, UTC). Libraries write nothing: their time is
// their caller's.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>

extern "C" IMAGE_DOS_HEADER __ImageBase;  // the module this header is compiled into

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

// Appends `text` to the file at `path`, waiting for another writer of it.
inline void AppendToFile(const std::wstring& path, const std::string& text) {
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

// Appends one entry: each (key, value) pair as a line, then an empty line. Waits for a writer of
// the same record (two instances of one program may run at once).
inline void Record(const std::wstring& program,
                   std::initializer_list<std::pair<std::wstring, std::wstring>> lines) {
    std::string text;
    for (const auto& line : lines)
        text += Utf8(line.first) + ": " + Utf8(line.second) + "\r\n";
    text += "\r\n";
    AppendToFile(RecordFolder() + L"\\" + program + L".txt", text);
}

// Writes the program's run time line (see above) once: at exit, or earlier through RecordRunTime
// for a program that leaves with ExitProcess.
class RunTimeRecord {
  public:
    ~RunTimeRecord() { Write(); }
    void Write() {
        wchar_t path[MAX_PATH] = {};
        DWORD n = GetEnvironmentVariableW(L"OV_STANDIN_RUNTIMES", path, MAX_PATH);
        if (written_ || n == 0 || n >= MAX_PATH ||
            GetModuleHandleW(nullptr) != reinterpret_cast<HMODULE>(&__ImageBase)) {
            return;
        }
        written_ = true;
        FILETIME created, exited, kernel, user, now;
        if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
            return;
        }
        GetSystemTimeAsFileTime(&now);
        wchar_t module[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        const wchar_t* name = module;
        for (const wchar_t* p = module; *p != L'\0'; ++p) {
            if (*p == L'\\' || *p == L'/') {
                name = p + 1;
            }
        }
        auto ticks = [](const FILETIME& time) {
            return std::to_string((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                                  time.dwLowDateTime);
        };
        AppendToFile(path, ticks(created) + " " + ticks(now) + " " + Utf8(name) + "\r\n");
    }

  private:
    bool written_ = false;
};

inline RunTimeRecord runTimeRecord;

inline void RecordRunTime() {
    runTimeRecord.Write();
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
