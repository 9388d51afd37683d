// Stand-in for the anti-spyware product's setup bootstrapper "Pellmar.exe", which hands its
// "/v" text to Windows Installer; here it also plays Windows Installer and installs the product
// itself (pellmar_product.h) from the files it carries.
//
//   Pellmar.exe /v"INSTALLDIR=\"<folder>\" NOUPDATE=Yes REBOOT=ReallySuppress /qn"
//
// The command line is split by the C run-time's rules, and the text after "/v" once more the
// same way, so the escaped quotes around the folder arrive as plain quotes. Without a display
// switch in the "/v" text (or with "/qf") the full wizard would wait for a person: the stand-in
// then installs nothing and ends with 1602, as if cancelled. No INSTALLDIR: "<Program
// Files>\Tarnel\Pellmar".
//
// Record "Pellmar": command line, folder (working folder), v text, INSTALLDIR, NOUPDATE,
// REBOOT, ui (the display switch as written), other (the remaining arguments of the "/v" text),
// result (installed, cancelled, failed, or "failed: <step>").
// Switches (HKLM\SOFTWARE\OvStandins\Pellmar): Fail (DWORD 1: installs nothing, ends with
// ExitCode or 1603), Version (text: the version to install, e.g. an older one), ExitCode
// (DWORD: the exit code after an install).
#include <windows.h>
#include <shlobj.h>

#include "arguments.h"
#include "choices.h"
#include "machine.h"
#include "pellmar_product.h"
#include "standin.h"

namespace {

const wchar_t kProgram[] = L"Pellmar";
const DWORD kCancelled = 1602;      // ERROR_INSTALL_USEREXIT
const DWORD kInstallFailed = 1603;  // ERROR_INSTALL_FAILURE

// Places the product's files and our "msiexec.exe"; the name of the failed step, or empty.
std::wstring PlaceFiles(const std::wstring& folder) {
    if (!aspm::CreateFolderPath(folder)) {
        return L"folder";
    }
    for (const aspm::PellmarFile& file : aspm::kPellmarFiles) {
        if (!aspm::ExtractResource(file.resource, aspm::JoinPath(folder, file.name))) {
            return file.name;
        }
    }
    std::wstring msiexec = aspm::MsiexecStandinPath();
    std::wstring msiexecFolder = msiexec.substr(0, msiexec.find_last_of(L'\\'));
    // A running uninstall keeps the file busy; the copy already there then serves.
    if (!aspm::CreateFolderPath(msiexecFolder) ||
        (!aspm::ExtractResource(L"MSIEXEC", msiexec) && !aspm::FileExists(msiexec))) {
        return L"msiexec.exe";
    }
    return std::wstring();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    const std::wstring commandLine = GetCommandLineW();
    std::wstring vText;
    for (const std::wstring& argument : aspm::SplitArguments(aspm::ArgumentsAfterProgram(commandLine))) {
        if (aspm::StartsWithNoCase(argument, L"/v") || aspm::StartsWithNoCase(argument, L"-v")) {
            vText = argument.substr(2);
        }
    }
    aspm::InstallerArguments msi = aspm::ParseInstallerArguments(aspm::SplitArguments(vText));
    std::wstring folder = msi.Property(L"INSTALLDIR");
    if (folder.empty()) {
        folder = aspm::JoinPath(aspm::ShellFolder(CSIDL_PROGRAM_FILES), aspm::kPellmarDefaultSubfolder);
    }
    std::vector<std::wstring> others;
    for (const auto& property : msi.properties) {
        if (property.first != L"INSTALLDIR" && property.first != L"NOUPDATE" && property.first != L"REBOOT") {
            others.push_back(property.first + L"=" + property.second);
        }
    }
    others.insert(others.end(), msi.others.begin(), msi.others.end());

    std::wstring result;
    DWORD exitCode = standin::Switch(kProgram, L"ExitCode", 0);
    if (standin::Switch(kProgram, L"Fail") != 0) {
        result = L"failed";
        exitCode = standin::Switch(kProgram, L"ExitCode", kInstallFailed);
    } else if (aspm::IsFullUi(msi.ui)) {
        result = L"cancelled";
        exitCode = kCancelled;
    } else {
        aspm::PellmarInstallation installation;
        installation.folder = folder;
        installation.version = standin::SwitchText(kProgram, L"Version", aspm::kPellmarVersion);
        installation.sourceFolder = aspm::ModuleFolder();
        std::wstring failedStep = PlaceFiles(folder);
        if (failedStep.empty() && !aspm::RegisterPellmar(installation)) {
            failedStep = L"registry";
        }
        if (failedStep.empty() && !aspm::CreatePellmarShortcuts(folder)) {
            failedStep = L"shortcuts";
        }
        result = failedStep.empty() ? L"installed" : L"failed: " + failedStep;
        if (!failedStep.empty()) {
            exitCode = kInstallFailed;
        }
    }

    standin::Record(kProgram, {{L"command line", commandLine},
                               {L"folder", aspm::CurrentFolder()},
                               {L"v text", vText},
                               {L"INSTALLDIR", msi.Property(L"INSTALLDIR")},
                               {L"NOUPDATE", msi.Property(L"NOUPDATE")},
                               {L"REBOOT", msi.Property(L"REBOOT")},
                               {L"ui", msi.ui},
                               {L"other", aspm::JoinWithBlanks(others)},
                               {L"result", result}});
    return static_cast<int>(exitCode);
}
