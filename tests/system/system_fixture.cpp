#include "system_fixture.h"

#include "host/system.h"
#include "log/logger.h"

namespace systemtest {

namespace {
// The utilities' information reports stay out of the shared prefix's log file.
const int kQuietLog = Logger::Get().SetLogLevel(0);
}  // namespace

ScopedEnv::ScopedEnv(const wchar_t* name, const wchar_t* value) : name_(name) {
    wchar_t old[4096] = {};
    DWORD length = GetEnvironmentVariableW(name, old, 4096);
    had_ = length > 0 && length < 4096;
    if (had_) {
        old_ = old;
    }
    SetEnvironmentVariableW(name, value);
}

ScopedEnv::~ScopedEnv() {
    SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr);
}

OSVERSIONINFOEXW QueryVersion() {
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
    return version;
}

bool RunsAs9x() {
    return QueryVersion().dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

std::wstring SystemWindowsDir() {
    wchar_t dir[MAX_PATH] = {};
    GetWindowsDirectoryW(dir, MAX_PATH);
    return dir;
}

std::wstring SystemSystemDir() {
    wchar_t dir[MAX_PATH] = {};
    GetSystemDirectoryW(dir, MAX_PATH);
    return dir;
}

void SetRegExpandString(HKEY root, const std::wstring& key, const std::wstring& name,
                        const std::wstring& value) {
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr));
    RegSetValueExW(h, name.c_str(), 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
}

void MachineTest::SetUp() {
    registry_.reset(new ovtest::RegistryOverride());
    ResetSystemCachesForTests();
}

void MachineTest::TearDown() {
    registry_.reset();
    ResetSystemCachesForTests();
}

void MachineTest::SetWindowsDir(const std::wstring& nineX, const std::wstring& nt) {
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", L"SystemRoot",
                         nineX);
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                         L"SystemRoot", nt);
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace systemtest
