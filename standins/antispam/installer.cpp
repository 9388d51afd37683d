// Stand-in for the anti-spam product's installer "Anti-Spam.exe".
//
//   Anti-Spam.exe /silent <install folder>
//
// The folder is the rest of the command line after "/silent" and one blank, unquoted (blanks
// inside it belong to it; trailing blanks are dropped). The installer makes the release folder
// "<install folder>\ZSP-<version>", places "z-update.exe", "Z.dll", "ZAddIn.dll" and
// "ZOEHook.dll" in it, and writes (HKLM):
//   SOFTWARE\Zember: ReleaseVersion, ReleasePath (the release folder), AppInstallPath;
//   the Uninstall entry "Zember {GUID}" (choices.h): DisplayName, DisplayVersion, Publisher,
//     InstallLocation, UninstallString = "<release folder>\z-update.exe" in quotes + " /u_silent";
//   the Outlook add-in: its CLSID key, ProgID key "Zember.ZAddIn" and Office add-in key.
// The suite's own edition also puts the marker file (choices.h) into the release folder; the
// stand-alone edition (switch Standalone) deletes one left there. An older release folder is
// left in place, as the product's own installer does. Without "/silent" the installer's wizard
// would wait for a person: nothing is installed and the exit code is 1602.
//
// Record "Anti-Spam": command line, folder (working folder), install folder, edition (suite or
// standalone), version, result (installed, cancelled, failed, "failed: <step>").
// Switches (HKLM\SOFTWARE\OvStandins\Anti-Spam): Fail (DWORD 1: installs nothing, ends with
// ExitCode or 1603), Version (text: the version to install, e.g. an older one), Standalone
// (DWORD 1: the stand-alone retail edition), ExitCode (DWORD: the exit code after an install).
#include <windows.h>

#include <algorithm>

#include "antispam_product.h"
#include "arguments.h"
#include "choices.h"
#include "machine.h"
#include "standin.h"

namespace {

const wchar_t kProgram[] = L"Anti-Spam";
const DWORD kCancelled = 1602;
const DWORD kFailed = 1603;

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// Places the files into the release folder; the name of the failed step, or empty.
std::wstring PlaceFiles(const std::wstring& releaseFolder, bool suiteEdition) {
    if (!aspm::CreateFolderPath(releaseFolder)) {
        return L"folder";
    }
    if (!aspm::ExtractResource(L"ZUPDATE", aspm::JoinPath(releaseFolder, aspm::kAntiSpamUpdater))) {
        return aspm::kAntiSpamUpdater;
    }
    for (const aspm::AntiSpamFile& file : aspm::kAntiSpamFiles) {
        if (!aspm::ExtractResource(file.resource, aspm::JoinPath(releaseFolder, file.name))) {
            return file.name;
        }
    }
    const std::wstring marker = aspm::JoinPath(releaseFolder, aspm::kAntiSpamSuiteMarkerFile);
    if (!suiteEdition) {
        DeleteFileW(marker.c_str());
        return std::wstring();
    }
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return aspm::kAntiSpamSuiteMarkerFile;
    }
    const char text[] = "Tarnel Suite Personal\r\n";
    DWORD written = 0;
    WriteFile(file, text, sizeof(text) - 1, &written, nullptr);
    CloseHandle(file);
    return std::wstring();
}

bool Register(const std::wstring& installFolder, const std::wstring& releaseFolder,
              const std::wstring& version) {
    const std::wstring uninstallKey = aspm::AntiSpamUninstallKey();
    const std::wstring updater = aspm::JoinPath(releaseFolder, aspm::kAntiSpamUpdater);
    const std::wstring addIn = aspm::JoinPath(releaseFolder, L"ZAddIn.dll");
    bool ok = true;
    ok &= aspm::WriteString(aspm::kZemberKey, L"ReleaseVersion", version);
    ok &= aspm::WriteString(aspm::kZemberKey, L"ReleasePath", releaseFolder);
    ok &= aspm::WriteString(aspm::kZemberKey, L"AppInstallPath", installFolder);

    ok &= aspm::WriteString(uninstallKey, L"DisplayName", aspm::kAntiSpamDisplayName);
    ok &= aspm::WriteString(uninstallKey, L"DisplayVersion", version);
    ok &= aspm::WriteString(uninstallKey, L"Publisher", L"Zember");
    ok &= aspm::WriteString(uninstallKey, L"InstallLocation", installFolder);
    ok &= aspm::WriteString(uninstallKey, L"DisplayIcon", updater + L",0");
    ok &= aspm::WriteString(uninstallKey, L"UninstallString", L"\"" + updater + L"\" /u_silent");

    const std::wstring classKey = aspm::AntiSpamAddInClassKey();
    ok &= aspm::WriteString(classKey, nullptr, aspm::kAntiSpamAddInProgId);
    ok &= aspm::WriteString(classKey + L"\\InprocServer32", nullptr, addIn);
    ok &= aspm::WriteString(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    ok &= aspm::WriteString(classKey + L"\\ProgID", nullptr, aspm::kAntiSpamAddInProgId);
    ok &= aspm::WriteString(aspm::AntiSpamAddInProgIdKey(), nullptr, aspm::kAntiSpamAddInProgId);
    ok &= aspm::WriteString(aspm::AntiSpamAddInProgIdKey() + L"\\CLSID", nullptr,
                            aspm::kAntiSpamAddInClassGuid);
    ok &= aspm::WriteString(aspm::AntiSpamOutlookAddInKey(), L"FriendlyName", aspm::kAntiSpamDisplayName);
    ok &= aspm::WriteDword(aspm::AntiSpamOutlookAddInKey(), L"LoadBehavior", 3);
    return ok;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    const std::wstring commandLine = GetCommandLineW();
    const std::wstring arguments = aspm::ArgumentsAfterProgram(commandLine);
    const std::wstring silent = L"/silent";
    const bool isSilent = aspm::StartsWithNoCase(arguments, silent) &&
                          (arguments.size() == silent.size() || IsBlank(arguments[silent.size()]));
    std::wstring installFolder =
        isSilent ? arguments.substr(std::min(arguments.size(), silent.size() + 1)) : std::wstring();
    while (!installFolder.empty() && IsBlank(installFolder.back())) {
        installFolder.pop_back();
    }
    const bool suiteEdition = standin::Switch(kProgram, L"Standalone") == 0;
    const std::wstring version = standin::SwitchText(kProgram, L"Version", aspm::kAntiSpamVersion);

    std::wstring result;
    DWORD exitCode = standin::Switch(kProgram, L"ExitCode", 0);
    if (standin::Switch(kProgram, L"Fail") != 0) {
        result = L"failed";
        exitCode = standin::Switch(kProgram, L"ExitCode", kFailed);
    } else if (!isSilent) {
        result = L"cancelled";
        exitCode = kCancelled;
    } else if (installFolder.empty()) {
        result = L"failed: no folder";
        exitCode = kFailed;
    } else {
        const std::wstring releaseFolder =
            aspm::JoinPath(installFolder, std::wstring(aspm::kAntiSpamReleaseFolderPrefix) + version);
        std::wstring failedStep = PlaceFiles(releaseFolder, suiteEdition);
        if (failedStep.empty() && !Register(installFolder, releaseFolder, version)) {
            failedStep = L"registry";
        }
        result = failedStep.empty() ? L"installed" : L"failed: " + failedStep;
        if (!failedStep.empty()) {
            exitCode = kFailed;
        }
    }

    standin::Record(kProgram, {{L"command line", commandLine},
                               {L"folder", aspm::CurrentFolder()},
                               {L"install folder", installFolder},
                               {L"edition", suiteEdition ? L"suite" : L"standalone"},
                               {L"version", version},
                               {L"result", result}});
    return static_cast<int>(exitCode);
}
