// Shared arrangements of the system tests: process environment variables set for one test, and a
// registry of the test's own with the values a Windows machine of the running family holds.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "support/test_support.h"

namespace systemtest {

// Sets (or with null removes) one environment variable of this process; restores it afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const wchar_t* name, const wchar_t* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::wstring name_;
    std::wstring old_;
    bool had_ = false;
};

// What the system itself says, for comparing with the kept answers.
OSVERSIONINFOEXW QueryVersion();
bool RunsAs9x();  // the version query reports the 9x platform (win98, winme runs)
std::wstring SystemWindowsDir();
std::wstring SystemSystemDir();

// REG_EXPAND_SZ, stored as given.
void SetRegExpandString(HKEY root, const std::wstring& key, const std::wstring& name,
                        const std::wstring& value);

// HKLM and HKCU redirected to empty scratch keys and every kept answer forgotten, before and after
// the test, so each arrangement is read afresh and later tests see the real machine again.
class MachineTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // "SystemRoot" at both the 9x and the NT location.
    void SetWindowsDir(const std::wstring& nineX, const std::wstring& nt);

    std::unique_ptr<ovtest::RegistryOverride> registry_;
};

bool StartsWith(const std::wstring& text, const std::wstring& prefix);

}  // namespace systemtest
