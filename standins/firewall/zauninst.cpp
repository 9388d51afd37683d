// "zauninst.exe": the firewall engine's uninstaller, which the suite runs from the program folder
// as "zauninst.exe /s /noreboot". Like the real one it hands its work to a second process: it
// copies itself to "%TEMP%\zauninst.<process id>\zauninst.exe", starts that copy with "/handover"
// before its own arguments and ends at once with exit code 0, so whoever waits for the removal must
// wait for the second process named "zauninst.exe".
// The second process asks its confirmation (24010 "ZoneAlarm Uninstall"; see confirmations.h),
// works for a while (switch "Delay"), then removes the engine's programs and files from the
// program folder (the folder too when nothing else is left), the keys "SOFTWARE\Zone Labs\ZoneAlarm"
// and "...\TrueVector" (the trust list with it), the Run value "Zone Labs Client" and the Uninstall
// entry named by the brand file's title ("ZoneAlarm" without one). It leaves, as the real one does,
// the files in the system folder, the driver's service key and the values of "SOFTWARE\Zone Labs".
// Its own copy goes at the next restart.
//
// Record "zauninst", one entry per process: command line, folder, stage ("first" or "second"),
// then for the first: result ("handed over", "refused", "failed: <what>"); for the second:
// dialogs (the answers), program folder, result ("removed", "cancelled").
// Exit codes: 0 when handed over or removed, else 1.
// Switches (HKLM\SOFTWARE\OvStandins\zauninst):
//   Refuse (DWORD 1)  the first process ends with exit code 1 and starts nothing
//   Delay (DWORD ms)  how long the second process works before removing anything; 1000 unless set
//   Dialogs, DialogTimeout  see confirmations.h
#include "confirmations.h"
#include "engine.h"
#include "standin.h"

#include <shlwapi.h>

namespace fw {

namespace {

const wchar_t kHandover[] = L"handover";
const DWORD kUsualDelayMs = 1000;

// Copies this program into a folder of its own below the temporary folder and starts it there;
// empty on success, else what failed.
std::wstring HandOver(const wchar_t* arguments) {
    wchar_t temp[MAX_PATH] = {};
    DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH)
        return L"temporary folder";
    const std::wstring folder = Join(temp, L"zauninst." + std::to_wstring(GetCurrentProcessId()));
    const std::wstring copy = Join(folder, kUninstallerFile);
    if ((!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) ||
        !CopyFileW(ModulePath().c_str(), copy.c_str(), FALSE)) {
        return copy;
    }
    std::wstring commandLine = Quoted(copy) + L" /" + kHandover;
    if (arguments != nullptr && *arguments != L'\0')
        commandLine += std::wstring(L" ") + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::vector<wchar_t> text(commandLine.begin(), commandLine.end());
    text.push_back(L'\0');
    if (!CreateProcessW(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return copy;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return std::wstring();
}

void RemoveEngine(const std::wstring& folder) {
    std::string config;
    const bool branded = !folder.empty() && ReadFileBytes(Join(folder, kBrandFile), &config);
    const Brand brand = ReadBrand(branded ? &config : nullptr);
    if (!folder.empty()) {
        for (const std::wstring& name :
             {std::wstring(kUninstallerFile), brand.client, std::wstring(kTutorFile),
              std::wstring(kAlertFile), std::wstring(kBrandFile)}) {
            DeleteFileW(Join(folder, name).c_str());
        }
        DeleteFileW(Join(Join(folder, kHelpFolder), kHelpFile).c_str());
        RemoveDirectoryW(Join(folder, kHelpFolder).c_str());  // each only when nothing else is left
        RemoveDirectoryW(folder.c_str());
    }
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, kEngineKey);
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, kTrueVectorKey);
    SHDeleteValueW(HKEY_LOCAL_MACHINE, kRunKey, kClientRunValue);
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, (kUninstallRoot + brand.title).c_str());

    // A running program cannot delete its own file or folder: the next restart does, file first.
    const std::wstring self = ModulePath();
    MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExW(FolderOf(self).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

int RunSecond() {
    std::wstring answers, result = L"cancelled";
    const std::wstring folder = ReadString(kEngineKey, L"InstallDirectory");
    if (Confirm(kUninstallerName, DialogsToShow(kUninstallerName, {24010u}), &answers)) {
        Sleep(standin::Switch(kUninstallerName, L"Delay", kUsualDelayMs));
        RemoveEngine(folder);
        result = L"removed";
    }
    standin::Record(kUninstallerName, {{L"command line", GetCommandLineW()},
                                       {L"folder", CurrentFolder()},
                                       {L"stage", L"second"},
                                       {L"dialogs", answers},
                                       {L"program folder", folder},
                                       {L"result", result}});
    return result == L"removed" ? 0 : 1;
}

}  // namespace

int RunUninstaller(const wchar_t* arguments) {
    for (const std::wstring& argument : SplitArguments(arguments)) {
        if (IsSwitch(argument, kHandover))
            return RunSecond();
    }
    std::wstring result = L"refused";
    if (!standin::Switch(kUninstallerName, L"Refuse")) {
        std::wstring failure = HandOver(arguments);
        result = failure.empty() ? L"handed over" : L"failed: " + failure;
    }
    standin::Record(kUninstallerName, {{L"command line", GetCommandLineW()},
                                       {L"folder", CurrentFolder()},
                                       {L"stage", L"first"},
                                       {L"result", result}});
    return result == L"handed over" ? 0 : 1;
}

}  // namespace fw
