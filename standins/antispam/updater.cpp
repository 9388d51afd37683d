// Stand-in for the anti-spam product's updater "z-update.exe", as far as the uninstall goes.
//
//   z-update.exe /u_silent   hands the removal to a second instance of itself, started from the
//                            same file with "/u_remove", and ends at once
//   z-update.exe /u_remove   the second instance: waits a moment (Delay), then removes the
//                            product (antispam_product.h) and ends
//   anything else            ("/c", "/cp", "/rb", nothing): recorded, nothing else
//
// The removal deletes the release folder's files except the running "z-update.exe" (so the
// "ZSP-<version>" folder stays, as leftovers of the product do), the key "SOFTWARE\Zember", the
// Uninstall entry and the add-in's keys.
//
// Record "z-update": command line, folder (working folder), result (handed off, "hand-off
// failed", failed, removed, refused, ran).
// Switches (HKLM\SOFTWARE\OvStandins\z-update): Fail (DWORD 1: "/u_silent" hands nothing off
// and ends with ExitCode or 1), ExitCode (DWORD: the exit code of "/u_silent" and of other
// command lines; the hand-off happens all the same), Refuse (DWORD 1: the second instance
// removes nothing), Delay (DWORD: milliseconds the second instance waits, default 1500).
#include <windows.h>

#include <vector>

#include "antispam_product.h"
#include "arguments.h"
#include "choices.h"
#include "machine.h"
#include "standin.h"

namespace {

const wchar_t kProgram[] = L"z-update";

void RemoveProduct() {
    const std::wstring releaseFolder = aspm::ReadString(aspm::kZemberKey, L"ReleasePath");
    if (!releaseFolder.empty()) {
        for (const aspm::AntiSpamFile& file : aspm::kAntiSpamFiles) {
            DeleteFileW(aspm::JoinPath(releaseFolder, file.name).c_str());
        }
        DeleteFileW(aspm::JoinPath(releaseFolder, aspm::kAntiSpamSuiteMarkerFile).c_str());
    }
    aspm::DeleteKeyTree(aspm::AntiSpamAddInClassKey());
    aspm::DeleteKeyTree(aspm::AntiSpamAddInProgIdKey());
    aspm::DeleteKeyTree(aspm::AntiSpamOutlookAddInKey());
    aspm::DeleteKeyTree(aspm::AntiSpamUninstallKey());
    aspm::DeleteKeyTree(aspm::kZemberKey);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    const std::wstring commandLine = GetCommandLineW();
    std::vector<std::wstring> arguments = aspm::SplitArguments(aspm::ArgumentsAfterProgram(commandLine));
    const std::wstring command = arguments.empty() ? std::wstring() : arguments[0];

    std::wstring result;
    DWORD exitCode = standin::Switch(kProgram, L"ExitCode", 0);
    if (aspm::EqualsNoCase(command, L"/u_silent")) {
        if (standin::Switch(kProgram, L"Fail") != 0) {
            result = L"failed";
            exitCode = standin::Switch(kProgram, L"ExitCode", 1);
        } else if (aspm::StartProcess(L"\"" + aspm::ModulePath() + L"\" /u_remove")) {
            result = L"handed off";
        } else {
            result = L"hand-off failed";
            exitCode = 1;
        }
    } else if (aspm::EqualsNoCase(command, L"/u_remove")) {
        Sleep(standin::Switch(kProgram, L"Delay", 1500));
        exitCode = 0;
        if (standin::Switch(kProgram, L"Refuse") != 0) {
            result = L"refused";
            exitCode = 1;
        } else {
            RemoveProduct();
            result = L"removed";
        }
    } else {
        result = L"ran";
    }
    standin::Record(
        kProgram, {{L"command line", commandLine}, {L"folder", aspm::CurrentFolder()}, {L"result", result}});
    return static_cast<int>(exitCode);
}
