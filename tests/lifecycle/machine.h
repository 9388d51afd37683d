// The whole machine as the suite's life leaves it: the sample packages the build assembles, the
// real ovsetup.exe run from them and from the places it copies itself to, the dialogs of those
// runs answered as a person would, and snapshots of the registry and the file system to compare.
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace lifecycle {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kSuiteEntry[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnel Suite Personal";
const wchar_t kRunOnceKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t kSettingsKey[] = L"SOFTWARE\\Orvane\\Tarnel Suite Personal";
const wchar_t kSuiteFolder[] = L"C:\\Program Files\\Tarnel\\Internet Security Suite";

// A sample package of the build: "suite", "av", "fw", "as" or "pm".
std::wstring PackageDir(const std::wstring& name);
// The temporary folder of the programs the tests start, with its trailing backslash.
std::wstring TempDir();

// Installs the suite package unattended into kSuiteFolder; the exit code.
int InstallSuite();
// The "UninstallString" of an Uninstall entry ("" when none), e.g. L"Tarnel Suite Personal\\av".
std::wstring UninstallCommand(const std::wstring& entry);
// The RunOnce value "Kestra_cleanup", "" when absent.
std::wstring CleanupCommand();
// The names in the temporary folder that begin with "ovcu_", sorted.
std::vector<std::wstring> CleanupCopies();
bool KeyExists(const std::wstring& key);  // below HKLM

// The part of the log C:\ovkestralog.txt written by the latest run.
std::string LastLogRun();

// A program run as a person would meet it: started, its dialogs answered, waited for.
class Child {
  public:
    explicit Child(const std::wstring& commandLine);
    ~Child();
    // Waits for a dialog of the program that has button `button` (IDYES, IDNO, ...), presses it and
    // gives the dialog's texts joined by "\n" ("" when none came within the time).
    std::wstring Answer(int button, DWORD timeoutMs = 30000);
    // The exit code, -1 when it did not end within the time.
    int Wait(DWORD timeoutMs = 120000);

  private:
    PROCESS_INFORMATION process_ = {};
};

// The registry (HKLM\SOFTWARE and HKCU\Software with every value, the service names below
// HKLM\SYSTEM) and every file and folder of C:\ with its size, one line each. Left out: the
// records of the stand-ins of outside programs, the engine's own log, and Wine's own keys.
std::set<std::wstring> Snapshot();
// "- line" for what went, "+ line" for what came, one per line; "" when equal.
std::string Difference(const std::set<std::wstring>& before, const std::set<std::wstring>& after);

// What a Windows machine with Outlook has and a bare Wine machine lacks: keys that the components'
// write checks and the outside programs' setups create when missing and rightly leave, and the
// installer service's folder. Made before a snapshot, so that the comparison shows only the suite.
void AddWhatWindowsHas();

}  // namespace lifecycle
