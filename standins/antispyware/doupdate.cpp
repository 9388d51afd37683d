// Stand-in for "pmdoupdate.exe", the anti-spyware product's update worker that "pmv5updater.exe"
// starts: it keeps running a moment (the update) and records when it is done, so a caller that
// did not wait for it finds no record yet.
//
// Record "pmdoupdate": command line, folder (working folder), result (updated), written at the end.
// Switches (HKLM\SOFTWARE\OvStandins\pmdoupdate): Delay (DWORD: milliseconds it runs, default
// 1500), ExitCode (DWORD).
#include <windows.h>

#include "machine.h"
#include "standin.h"

namespace {

const wchar_t kProgram[] = L"pmdoupdate";

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    const std::wstring commandLine = GetCommandLineW();
    Sleep(standin::Switch(kProgram, L"Delay", 1500));
    standin::Record(
        kProgram,
        {{L"command line", commandLine}, {L"folder", aspm::CurrentFolder()}, {L"result", L"updated"}});
    return static_cast<int>(standin::Switch(kProgram, L"ExitCode", 0));
}
