// "setup.exe": installs the antivirus product, run by the suite unattended with the suite's own
// switches and "/ProductDest=" (or "/Path=") naming the product folder:
//   files     the programs of kPrograms (copies of this executable), the data files, the signature
//             file "wexa.dat" in the product folder; "unwexa32.exe" in the Windows folder;
//   registry  "ProductId", "ProductBaseVersion" (this file's version), "ProgramPath", and the
//             Uninstall entry "WEXAWIN32Vp5": "UninstallString" always, "DisplayName" and
//             "DisplayVersion" unless "/NoUninstallInfo" (the entry then stays out of Add/Remove
//             Programs, but the product still counts as registered).
// Without "/NoUpdateFromWeb" it runs the installed "SigFetch.exe" at the end, as a person's install would.
//
// Record "avsetup": command line, folder (the working folder), destination, version, result
// ("installed", "failed to start" or "failed: <what>"). Exit code 0 when installed, else 1.
// Switches (HKLM\SOFTWARE\OvStandins\avsetup):
//   FailStart (DWORD 1)     ends at once, having written nothing but its record
//   Version (text)          the version to register instead of the file version (an older one, say)
//   ProductId (DWORD)       the product id to register instead of 4
//   NoSignatures (DWORD 1)  leaves "wexa.dat" out
#include "arguments.h"
#include "av_product.h"
#include "standin.h"

#include <shlobj.h>

namespace av {

namespace {

std::wstring DefaultFolder() {
    wchar_t programFiles[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH);
    std::wstring root = (n > 0 && n < MAX_PATH) ? programFiles : L"C:\\Program Files";
    return Join(Join(root, L"Orvane"), kDisplayName);
}

// Puts the product in place; empty on success, else what failed.
std::wstring Install(const SetupArguments& options, const std::wstring& folder, const std::wstring& version) {
    int rc = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (rc != ERROR_SUCCESS && rc != ERROR_ALREADY_EXISTS && rc != ERROR_FILE_EXISTS)
        return folder;
    const std::wstring self = ModulePath();
    for (const wchar_t* program : kPrograms) {
        if (!CopyFileW(self.c_str(), Join(folder, program).c_str(), FALSE))
            return Join(folder, program);
    }
    for (const wchar_t* data : kDataFiles) {
        if (!WriteTextFile(Join(folder, data), "Tarnel Nimbo Antivirus (stand-in)\r\n"))
            return Join(folder, data);
    }
    if (!standin::Switch(kSetupName, L"NoSignatures") &&
        !WriteTextFile(Join(folder, kSignatureFile), "signatures: base set\r\n")) {
        return Join(folder, kSignatureFile);
    }
    const std::wstring uninstaller = Join(WindowsFolder(), kUninstallerFile);
    if (!CopyFileW(self.c_str(), uninstaller.c_str(), FALSE))
        return uninstaller;

    DWORD productId = standin::Switch(kSetupName, L"ProductId", kCurrentProductId);
    if (!WriteDword(kProductKey, L"ProductId", productId) ||
        !WriteString(kAutoDownloadKey, L"ProductBaseVersion", version) ||
        !WriteString(kInstallKey, L"ProgramPath", folder) ||
        !WriteString(kUninstallKey, L"UninstallString", Quoted(uninstaller))) {
        return L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Anti-Virus";
    }
    if (options.uninstallInfo && (!WriteString(kUninstallKey, L"DisplayName", kDisplayName) ||
                                  !WriteString(kUninstallKey, L"DisplayVersion", version))) {
        return kUninstallKey;
    }

    if (options.updateFromWeb) {
        // Display levels below 2 are unattended runs: the download shows nothing either.
        bool quiet = options.displayLevel >= 0 && options.displayLevel < 2;
        RunAndWait(Quoted(Join(folder, L"SigFetch.exe")) +
                   (quiet ? L" /FullInstallSilent" : L" /FullInstall"));
    }
    return std::wstring();
}

}  // namespace

int RunSetup(const wchar_t* arguments) {
    const SetupArguments options = ParseSetupArguments(arguments);
    const std::wstring folder =
        options.destinationGiven && !options.destination.empty() ? options.destination : DefaultFolder();
    const std::wstring version = standin::SwitchText(kSetupName, L"Version", FileVersionOf(ModulePath()));

    std::wstring result = L"failed to start";
    if (!standin::Switch(kSetupName, L"FailStart")) {
        std::wstring failure = Install(options, folder, version);
        result = failure.empty() ? L"installed" : L"failed: " + failure;
    }
    standin::Record(kSetupName, {{L"command line", GetCommandLineW()},
                                 {L"folder", CurrentFolder()},
                                 {L"destination", folder},
                                 {L"version", version},
                                 {L"result", result}});
    return result == L"installed" ? 0 : 1;
}

}  // namespace av
