// Arrangements both destination test files share: an installed suite in the (redirected)
// registry and the folder proposed when nothing else decides.
#pragma once
#include <windows.h>

#include <string>

#include "components/product_main.h"
#include "host/system.h"
#include "support/test_support.h"

namespace destinationtest {

const wchar_t kSuiteName[] = L"Tarnel Internet Security Suite";
const wchar_t kInstalledSuite[] = L"C:\\Tarnel Old Suite";

// The suite's folder as its setup records it; generation 0 leaves the value out.
inline void RegisterSuite(const std::wstring& folder, DWORD generation) {
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, OV_SUITE_KEY, L"Path", folder);
    if (generation != 0) {
        ovtest::SetRegDword(HKEY_LOCAL_MACHINE, OV_SUITE_KEY, L"Generation", generation);
    }
}

// Program Files of the real machine (read before any redirection), copied into a redirected
// registry so the proposal is the same inside it.
class ProgramFiles {
  public:
    ProgramFiles() {
        wchar_t folder[MAX_PATH] = {};
        GetProgramFilesDir(folder, MAX_PATH);
        folder_ = folder;
    }
    void CopyIntoRegistry() const {
        ovtest::SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                             L"ProgramFilesDir", folder_);
    }
    const std::wstring& folder() const { return folder_; }
    // Program Files joined with the suite's folder name of the package's product library.
    std::wstring Proposal() const { return folder_ + L"\\Tarnel\\Internet Security Suite"; }

  private:
    std::wstring folder_;
};

}  // namespace destinationtest
