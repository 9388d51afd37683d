// A setup package in a scratch folder, for the components that take their files from the folder of
// the running program: a copy of the test program at its root with the framework, the string
// library and the suite's product library, and component folders the test fills. The copy runs
// one step of the test in a child process and writes what it found back as "key=value" lines.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace avfwtest {

using Results = std::map<std::string, std::string>;
using Environment = std::vector<std::pair<std::wstring, std::wstring>>;

class Package {
  public:
    Package();
    const std::wstring& root() const { return root_; }
    std::wstring operator/(const std::wstring& name) const { return root_ + L"\\" + name; }
    // Copies files of the bin folder (paths relative to it) into `subfolder`, under their own names.
    void Add(const std::wstring& subfolder, const std::vector<std::wstring>& binFiles);
    // Writes a small file into the package.
    void Write(const std::wstring& relativePath, const std::string& bytes);
    // Runs step `step` of the package's copy of the test program with `environment` set; as Windows
    // `winver` ("win95", "nt40", ...) when given. A step that failed a check or did not end within
    // the time limit gives the result "failed".
    Results Run(const std::string& step, const Environment& environment = {},
                const std::wstring& winver = L"", DWORD timeoutMs = 120000);

  private:
    ovtest::ScratchDir scratch_;
    std::wstring root_;
    std::wstring program_;
};

// In the package's copy: the step it runs, "" in the test program itself.
std::string ChildStep();
// An environment value of the child's step, "" when not set.
std::wstring ChildValue(const wchar_t* name);
// Hands a result back to the test.
void Report(const std::string& key, const std::string& value);
void Report(const std::string& key, int value);

}  // namespace avfwtest

namespace avfwtest {

// The package's copy of the test program runs one of these steps (ChildStep) on the components
// listed in OV_PRODUCTS ("av", "fw", "fwu", comma-separated, in that order), with the options of
// OV_OPTIONS (ovsetup's command line) and the log in OV_LOG when given. Each operation's code goes
// back under "<component>.<operation>".
//   install        the install role: BeginInstall, Install, FinishInstall of each, stopping at the
//                  first failure; also "<component>.previous" and "<component>.installed" (the
//                  versions before and after) and OV_SHELL=1 makes the suite shell take part
//   uninstall      the uninstall role: BeginUninstall, Uninstall
//   check          CheckVersion and CheckOperatingSystem (its text as "<component>.os.text")
//   av-switches    ProductAV::Install once for each combination of the four options the nested
//                  setup is given (bit 0 updateFirewall, 1 uninstallInfo, 2 createProgramGroup,
//                  3 productCheck; a set bit clears the option): "av.install.<combination>"
void RunChildStep();

}  // namespace avfwtest
