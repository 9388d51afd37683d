#include "records.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "support/test_support.h"

namespace avfw {

namespace {

const wchar_t kSwitchRoot[] = L"SOFTWARE\\OvStandins";
const wchar_t kRecordVariable[] = L"OV_STANDIN_RECORDS";

void RemoveFolderTree(const std::wstring& folder) {
    SHFILEOPSTRUCTW operation = {};
    std::wstring from = folder + L'\0';  // the list ends with an empty name
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&operation);
}

}  // namespace

RecordFolder::RecordFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    path_ = std::wstring(temp) + L"avfw-records-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(InterlockedIncrement(&counter));
    CreateDirectoryW(path_.c_str(), nullptr);
    wchar_t previous[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(kRecordVariable, previous, MAX_PATH);
    hadPrevious_ = n > 0 && n < MAX_PATH;
    previous_ = hadPrevious_ ? previous : L"";
    SetEnvironmentVariableW(kRecordVariable, path_.c_str());
}

RecordFolder::~RecordFolder() {
    SetEnvironmentVariableW(kRecordVariable, hadPrevious_ ? previous_.c_str() : nullptr);
    RemoveFolderTree(path_);
}

std::vector<RecordEntry> RecordFolder::Read(const std::wstring& program) const {
    std::vector<RecordEntry> entries;
    std::string text = ovtest::ReadFileBytes(path_ + L"\\" + program + L".txt");
    RecordEntry entry;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 2;
        if (line.empty()) {
            entries.push_back(entry);
            entry.clear();
            continue;
        }
        size_t colon = line.find(": ");
        if (colon == std::string::npos)
            entry.emplace_back(line, std::string());
        else
            entry.emplace_back(line.substr(0, colon), line.substr(colon + 2));
    }
    if (!entry.empty())
        entries.push_back(entry);
    return entries;
}

std::string ValueOf(const RecordEntry& entry, const std::string& key) {
    for (const auto& line : entry) {
        if (line.first == key)
            return line.second;
    }
    return std::string();
}

std::vector<std::string> ValuesOf(const std::vector<RecordEntry>& entries, const std::string& key) {
    std::vector<std::string> values;
    for (const RecordEntry& entry : entries)
        values.push_back(ValueOf(entry, key));
    return values;
}

Switches::~Switches() {
    for (const std::wstring& program : programs_)
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kSwitchRoot) + L"\\" + program).c_str());
}

void Switches::Set(const std::wstring& program, const std::wstring& name, DWORD value) {
    programs_.push_back(program);
    ovtest::SetRegDword(HKEY_LOCAL_MACHINE, std::wstring(kSwitchRoot) + L"\\" + program, name, value);
}

void Switches::Set(const std::wstring& program, const std::wstring& name, const std::wstring& value) {
    programs_.push_back(program);
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, std::wstring(kSwitchRoot) + L"\\" + program, name, value);
}

bool KeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

bool ValueExists(const std::wstring& key, const std::wstring& name) {
    return RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

std::wstring ReadString(const std::wstring& key, const std::wstring& name) {
    std::wstring value;
    return ovtest::GetRegString(HKEY_LOCAL_MACHINE, key, name, &value) ? value : std::wstring();
}

DWORD ReadDword(const std::wstring& key, const std::wstring& name, DWORD fallback) {
    DWORD value = 0, bytes = sizeof(value);
    return RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value,
                        &bytes) == ERROR_SUCCESS
               ? value
               : fallback;
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

std::wstring FileVersionOf(const std::wstring& path) {
    DWORD ignored = 0;
    std::vector<BYTE> data(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (data.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length)) {
        return std::wstring();
    }
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionLS));
}

std::wstring WindowsFolder() {
    wchar_t path[MAX_PATH] = {};
    GetWindowsDirectoryW(path, MAX_PATH);
    return path;
}

std::wstring SystemFolder() {
    wchar_t path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    return path;
}

}  // namespace avfw
