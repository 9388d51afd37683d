// "zapsetup.exe": the firewall engine's setup, which the suite runs as
//   zapsetup.exe /s /M="<configuration file>" /NOREBOOT
// It first asks its confirmations (24009 "ZoneAlarm Setup", or 24014 "ZoneAlarm Upgrade" over an
// installed engine; see confirmations.h) and installs nothing unless each is answered Yes. Then:
//   program folder (OEM_MAINDIR)  zauninst.exe, the client (OEM_EXENAME) and zatutor.exe (copies of
//                                 this executable), alert.zap, help\zonealarm.chm, and in a branded
//                                 install the brand file oeminfo.ini
//   system folder                 vspubapi.dll, placeholders of the driver's files, folder ZoneLabs
//   HKLM "SOFTWARE\Zone Labs"     IsUnified (1 for the unified build, else 0), HU100 = 1, and in a
//                                 branded install OEM = OEM_CONAME
//        "...\ZoneAlarm"          CurrentVersion (this file's version), InstallDirectory
//        "...\ZoneAlarm\Registration\<version>"  ProductName = OEM_APPTITLE
//        "...\TrueVector"         InstallDirectory (the system folder's ZoneLabs)
//        Run "Zone Labs Client"   the client's path
//        Uninstall\<OEM_APPTITLE> DisplayName, DisplayVersion, UninstallString (zauninst.exe, quoted)
//        Services\vsdatant        the driver's service key (demand start; nothing starts it here)
// The unified build writes IsUnified itself because the suite judges the install by the version it
// reads back, which it reads only while the engine's mode is the package's.
//
// Record "zapsetup": command line, folder, config file (the "/M=" path), config (its bytes in hex;
// "(missing)" when it cannot be read), previous version, previous product name (ProductName of
// Registration\<previous version> as found before installing), version, unified ("yes"/"no"),
// dialogs (the answers), result ("installed", "failed to start", "cancelled", "failed: <what>").
// Exit code 0 when installed, else 1.
// Switches (HKLM\SOFTWARE\OvStandins\zapsetup):
//   FailStart (DWORD 1)  ends at once, having written nothing but its record
//   Version (text)       the version to register instead of the file version
//   Unified (DWORD 0/1)  the engine's mode instead of the build's
//   Dialogs, DialogTimeout  see confirmations.h
#include "confirmations.h"
#include "engine.h"
#include "resource.h"
#include "standin.h"

#include <shlobj.h>

namespace fw {

namespace {

#ifdef OV_ZAPSETUP_UNIFIED
const DWORD kBuiltUnified = 1;
#else
const DWORD kBuiltUnified = 0;
#endif

const char kPlaceholder[] = "ZoneAlarm engine file (stand-in placeholder)\r\n";

bool CreateFolder(const std::wstring& folder) {
    int rc = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return rc == ERROR_SUCCESS || rc == ERROR_ALREADY_EXISTS || rc == ERROR_FILE_EXISTS;
}

bool ExtractTrustLibrary(const std::wstring& path) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(IDR_TRUST_LIBRARY), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes != nullptr && WriteFileBytes(path, std::string(bytes, SizeofResource(self, found)));
}

// Puts the engine in place; empty on success, else what failed.
std::wstring Install(const Brand& brand, const std::string* config, const std::wstring& version,
                     DWORD unified) {
    const std::wstring folder = brand.folder;
    const std::wstring self = ModulePath();
    if (!CreateFolder(Join(folder, kHelpFolder)))
        return Join(folder, kHelpFolder);
    for (const std::wstring& program :
         {std::wstring(kUninstallerFile), brand.client, std::wstring(kTutorFile)}) {
        if (!CopyFileW(self.c_str(), Join(folder, program).c_str(), FALSE))
            return Join(folder, program);
    }
    std::wstring failed;
    if (!WriteFileBytes(Join(folder, kAlertFile), kPlaceholder))
        failed = Join(folder, kAlertFile);
    else if (!WriteFileBytes(Join(Join(folder, kHelpFolder), kHelpFile), kPlaceholder))
        failed = Join(Join(folder, kHelpFolder), kHelpFile);
    else if (config != nullptr && !WriteFileBytes(Join(folder, kBrandFile), *config))
        failed = Join(folder, kBrandFile);
    if (!failed.empty())
        return failed;

    const std::wstring system = SystemFolder();
    if (!ExtractTrustLibrary(Join(system, kTrustLibrary)))
        return Join(system, kTrustLibrary);
    for (const wchar_t* name : kSystemFiles) {
        if (!WriteFileBytes(Join(system, name), kPlaceholder))
            return Join(system, name);
    }
    const std::wstring data = Join(system, kDataFolder);
    if (!CreateFolder(data) || !WriteFileBytes(Join(data, L"iamdb.rdb"), kPlaceholder))
        return data;

    const std::wstring uninstallKey = kUninstallRoot + brand.title;
    bool written = WriteDword(kZoneLabsKey, L"IsUnified", unified) && WriteDword(kZoneLabsKey, L"HU100", 1) &&
                   (!brand.branded || WriteString(kZoneLabsKey, L"OEM", brand.company)) &&
                   WriteString(kEngineKey, L"CurrentVersion", version) &&
                   WriteString(kEngineKey, L"InstallDirectory", folder) &&
                   WriteString(Join(kRegistrationKey, version), L"ProductName", brand.title) &&
                   WriteString(kTrueVectorKey, L"InstallDirectory", data) &&
                   WriteString(kRunKey, kClientRunValue, Join(folder, brand.client)) &&
                   WriteString(uninstallKey, L"DisplayName", brand.title) &&
                   WriteString(uninstallKey, L"DisplayVersion", version) &&
                   WriteString(uninstallKey, L"UninstallString", Quoted(Join(folder, kUninstallerFile))) &&
                   WriteDword(kDriverKey, L"Type", SERVICE_KERNEL_DRIVER) &&
                   WriteDword(kDriverKey, L"Start", SERVICE_DEMAND_START) &&
                   WriteDword(kDriverKey, L"ErrorControl", SERVICE_ERROR_NORMAL) &&
                   WriteString(kDriverKey, L"ImagePath", L"system32\\vsdatant.sys") &&
                   WriteString(kDriverKey, L"DisplayName", L"vsdatant");
    return written ? std::wstring() : L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Zone Labs";
}

}  // namespace

int RunSetup(const wchar_t* arguments) {
    std::wstring configPath, value;
    for (const std::wstring& argument : SplitArguments(arguments)) {
        if (ValueOf(argument, L"M", &value))
            configPath = value;
    }
    std::string configBytes;
    const bool configRead = !configPath.empty() && ReadFileBytes(configPath, &configBytes);
    const std::string* config = configRead ? &configBytes : nullptr;
    const Brand brand = ReadBrand(config);

    const std::wstring previousVersion = ReadString(kEngineKey, L"CurrentVersion");
    const std::wstring previousName =
        previousVersion.empty() ? std::wstring()
                                : ReadString(Join(kRegistrationKey, previousVersion), L"ProductName");
    const std::wstring version = standin::SwitchText(kSetupName, L"Version", FileVersionOf(ModulePath()));
    const DWORD unified = standin::Switch(kSetupName, L"Unified", kBuiltUnified) ? 1 : 0;

    std::wstring result = L"failed to start", answers;
    if (!standin::Switch(kSetupName, L"FailStart")) {
        std::vector<UINT> usual = {previousVersion.empty() ? 24009u : 24014u};
        if (!Confirm(kSetupName, DialogsToShow(kSetupName, usual), &answers)) {
            result = L"cancelled";
        } else {
            std::wstring failure = Install(brand, config, version, unified);
            result = failure.empty() ? L"installed" : L"failed: " + failure;
        }
    }
    standin::Record(kSetupName,
                    {{L"command line", GetCommandLineW()},
                     {L"folder", CurrentFolder()},
                     {L"config file", configPath},
                     {L"config", configRead ? Hex(configBytes) : (configPath.empty() ? L"" : L"(missing)")},
                     {L"previous version", previousVersion},
                     {L"previous product name", previousName},
                     {L"version", version},
                     {L"unified", unified ? L"yes" : L"no"},
                     {L"dialogs", answers},
                     {L"result", result}});
    return result == L"installed" ? 0 : 1;
}

}  // namespace fw
