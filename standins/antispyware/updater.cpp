// Stand-in for the anti-spyware product's updater "pmv5updater.exe": it hands the update to
// "pmdoupdate.exe" beside it, passing its own arguments on, and ends at once without waiting,
// so whoever started it has to wait for "pmdoupdate" itself.
//
// Record "pmv5updater": command line, folder (working folder), result (handed off, failed,
// "pmdoupdate.exe did not start").
// Switches (HKLM\SOFTWARE\OvStandins\pmv5updater): Fail (DWORD 1: hands nothing off, ends with
// ExitCode or 1), ExitCode (DWORD: the exit code after the hand-off).
#include <windows.h>

#include "arguments.h"
#include "machine.h"
#include "standin.h"

namespace {

const wchar_t kProgram[] = L"pmv5updater";

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    const std::wstring commandLine = GetCommandLineW();
    std::wstring result;
    DWORD exitCode = standin::Switch(kProgram, L"ExitCode", 0);
    if (standin::Switch(kProgram, L"Fail") != 0) {
        result = L"failed";
        exitCode = standin::Switch(kProgram, L"ExitCode", 1);
    } else {
        std::wstring arguments = aspm::ArgumentsAfterProgram(commandLine);
        std::wstring worker = L"\"" + aspm::JoinPath(aspm::ModuleFolder(), L"pmdoupdate.exe") + L"\"";
        if (!arguments.empty()) {
            worker += L" " + arguments;
        }
        if (aspm::StartProcess(worker)) {
            result = L"handed off";
        } else {
            result = L"pmdoupdate.exe did not start";
            exitCode = 1;
        }
    }
    standin::Record(
        kProgram, {{L"command line", commandLine}, {L"folder", aspm::CurrentFolder()}, {L"result", result}});
    return static_cast<int>(exitCode);
}
