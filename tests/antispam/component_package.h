// What the anti-spam and anti-spyware machine tests share: a single-component setup package in a
// scratch folder with a copy of the test program in it, the install sequence that copy drives,
// the stand-ins' records, and process lookups by name that work under Wine.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace ovtest {

// One entry of a stand-in's record: "key: value" lines.
using Record = std::map<std::string, std::string>;

// Records go to a scratch folder for the life of this object (children inherit the setting).
class StandinRecords {
  public:
    StandinRecords();
    ~StandinRecords();
    // Every entry of "<program>.txt", oldest first.
    std::vector<Record> Read(const std::wstring& program) const;
    // The record's entries once it holds `count`, waited for up to `timeoutMs`.
    std::vector<Record> WaitFor(const std::wstring& program, size_t count, DWORD timeoutMs = 15000) const;
    void Clear() const;

  private:
    ScratchDir folder_;
};

// A setup package: this test program, the framework and string libraries, the suite's product
// library and licence, the suite shell's "sc" files, and one component folder with its product
// library, its setup program(s) and its help file.
class ComponentPackage {
  public:
    // `subfolder` "as" or "pm"; `libraryDir` the bin-relative folder of the component's product
    // library; `programs` full paths of its setup programs; `helpFile` written as a small file.
    ComponentPackage(const std::wstring& subfolder, const std::wstring& libraryDir,
                     const std::vector<std::wstring>& programs, const std::wstring& helpFile);
    const std::wstring& path() const { return path_; }
    // Puts a copy of `source` into the package's root folder under `name`.
    void Plant(const std::wstring& source, const std::wstring& name) const;
    std::wstring component() const { return path_ + L"\\" + subfolder_; }
    // Runs the package's copy of this program on the gtest filter `filter`, with OV_PACKAGE_STEP
    // set to `step`; its exit code.
    int RunChild(const std::wstring& filter, const std::wstring& step) const;
    // The log of the last child's run (for failure messages).
    std::string ChildLog() const;

  private:
    ScratchDir scratch_;
    std::wstring path_;
    std::wstring subfolder_;
};

// The shell's files in the package's "sc" folder.
extern const wchar_t* const kShellFiles[15];

// The step a package child runs (OV_PACKAGE_STEP), empty in the parent.
std::wstring PackageStep();

// The sequence of an install run as the install role takes it: the catalogue's products, the
// selection, the checks (the suite shell's, then each active component's; a failed check ends
// the run), the shell's BeginInstall and Install, each active component's BeginInstall, Install
// and FinishInstall (stopping at its first failure), the shell's FinishInstall. Each step's code
// is stored as a DWORD under HKLM "SOFTWARE\OvTestResults" by its name ("CheckAll",
// "BeginInstall", ...); `afterBeginInstall` runs after the component's BeginInstall.
// `destination` and `group` as given on the command line; display level 0 (unattended); the log
// goes to "install.log" beside the program; processes are found by name (ProcessListFromSnapshot).
void DriveInstall(const std::wstring& destination, const std::wstring& group,
                  const std::function<void()>& afterBeginInstall = nullptr);
// The code a step stored, or -1 when it did not run. ClearStepResults forgets them all.
int StepResult(const std::wstring& name);
void ClearStepResults();
void StoreStepResult(const std::wstring& name, DWORD value);

// Process lookups by name (WaitForProcess on the NT family) read the performance data, which lists
// no processes under Wine: while this object lives, they are answered from a process snapshot.
class ProcessListFromSnapshot {
  public:
    ProcessListFromSnapshot();
    ~ProcessListFromSnapshot();
};

// A key nobody may open for writing (an empty DACL) below `root`, made writable again at
// destruction so that it can be removed.
class LockedKey {
  public:
    LockedKey(HKEY root, const std::wstring& key);
    ~LockedKey();
    bool ok() const { return ok_; }

  private:
    bool SetDacl(ACL* acl);
    HKEY key_ = nullptr;
    bool ok_ = false;
};

// Registry and folder helpers for the real HKLM of a machine test.
bool KeyExists(const std::wstring& key);
std::wstring RegText(const std::wstring& key, const wchar_t* name);  // "<none>" when missing
DWORD RegDword(const std::wstring& key, const wchar_t* name);        // 0xFFFFFFFF when missing
// The all-users Programs folder, expanded.
std::wstring CommonProgramsFolder();
// A shell folder (CSIDL_...).
std::wstring ShellFolder(int csidl);
// A shell link's target and arguments as one text, "<target> <arguments>" ("<missing>" when it
// cannot be read); COM must be initialised.
std::wstring ShortcutCommand(const std::wstring& link);

}  // namespace ovtest
