// The installed programs of the antivirus product (SigFetch.exe, ovav.exe, ...): each records how
// it was started and ends; the suite starts them for the signature download ("/FullInstall",
// "/FullInstallSilent"), the first scan ("-x") and to stop them ("-k", "/exit").
// "SigFetch.exe /FullInstall[Silent]" also refreshes the signature file beside it.
//
// Record "<program>" (file name in lower case without ".exe"): command line, folder.
// Switches (HKLM\SOFTWARE\OvStandins\sigfetch):
//   Offline (DWORD 1)  the download fails: no signature file written, exit code 1
#include "arguments.h"
#include "av_product.h"
#include "standin.h"

namespace av {

int RunProgram(const std::wstring& name, const wchar_t* arguments) {
    standin::Record(name, {{L"command line", GetCommandLineW()}, {L"folder", CurrentFolder()}});
    if (name == L"sigfetch" &&
        (HasSwitch(arguments, L"FullInstall") || HasSwitch(arguments, L"FullInstallSilent"))) {
        if (standin::Switch(name, L"Offline"))
            return 1;
        WriteTextFile(Join(FolderOf(ModulePath()), kSignatureFile), "signatures: downloaded\r\n");
    }
    return 0;
}

}  // namespace av
