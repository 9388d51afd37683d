// "unwexa32.exe" (the product's uninstaller, in the Windows folder): removes what the setup put in
// place: its programs and data files (files others added to the product folder stay, and so does
// the folder then), the keys "SOFTWARE\Orvane\Anti-Virus" and the Uninstall entry "WEXAWIN32Vp5",
// and itself at the next restart. It shows nothing, with or without "/Silent".
//
// Record "unwexa32": command line, folder, silent ("yes"/"no"), product folder, result ("removed"
// or "refused"). Exit code 0 when removed, else 1.
// Switches (HKLM\SOFTWARE\OvStandins\unwexa32):
//   Refuse (DWORD 1)  removes nothing
#include "arguments.h"
#include "av_product.h"
#include "standin.h"

#include <shlwapi.h>

namespace av {

namespace {

void Remove(const std::wstring& folder) {
    if (!folder.empty()) {
        for (const wchar_t* program : kPrograms)
            DeleteFileW(Join(folder, program).c_str());
        for (const wchar_t* data : kDataFiles)
            DeleteFileW(Join(folder, data).c_str());
        DeleteFileW(Join(folder, kSignatureFile).c_str());
        RemoveDirectoryW(folder.c_str());  // only when nothing else is left in it
    }
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, kProductKey);
    SHDeleteEmptyKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane");
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey);

    // A running program cannot delete its own file: the next restart does.
    const std::wstring self = ModulePath();
    if (lstrcmpiW(self.c_str(), Join(WindowsFolder(), kUninstallerFile).c_str()) == 0)
        MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

int RunUninstaller(const wchar_t* arguments) {
    const std::wstring folder = ReadString(kInstallKey, L"ProgramPath");
    const bool refuse = standin::Switch(kUninstallerName, L"Refuse") != 0;
    if (!refuse)
        Remove(folder);
    standin::Record(kUninstallerName, {{L"command line", GetCommandLineW()},
                                       {L"folder", CurrentFolder()},
                                       {L"silent", HasSwitch(arguments, L"Silent") ? L"yes" : L"no"},
                                       {L"product folder", folder},
                                       {L"result", refuse ? L"refused" : L"removed"}});
    return refuse ? 1 : 0;
}

}  // namespace av
