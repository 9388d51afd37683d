#include "pellmar_product.h"

#include <shlobj.h>
#include <stdlib.h>

#include "choices.h"
#include "machine.h"

namespace aspm {

const PellmarFile kPellmarFiles[4] = {
    {L"pellmar5.exe", L"PELLMAR5"},
    {L"pmactivedetection.exe", L"PMACTIVEDETECTION"},
    {L"pmv5updater.exe", L"PMV5UPDATER"},
    {L"pmdoupdate.exe", L"PMDOUPDATE"},
};

namespace {

const std::wstring kUninstallKey =
    std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kPellmarProductCodeB;
const std::wstring kProductKey =
    std::wstring(L"SOFTWARE\\Classes\\Installer\\Products\\") + kPellmarPackedCodeB;
const std::wstring kFeatureKey =
    std::wstring(L"SOFTWARE\\Classes\\Installer\\Features\\") + kPellmarPackedCodeB;
// Windows Installer's own record of a per-machine product, which the setup engine never touches.
const std::wstring kInstallPropertiesKey =
    std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\") +
    kPellmarPackedCodeB + L"\\InstallProperties";
const wchar_t kSettingsKey[] = L"SOFTWARE\\Orvane\\TarnelPellmar";
const wchar_t kMainProgram[] = L"pellmar5.exe";
const wchar_t kMainLibrary[] = L"pmctl.dll";
// The automation marshaler of OLE, the proxy of every dual interface.
const wchar_t kAutomationProxy[] = L"{00020424-0000-0000-C000-000000000046}";

struct ComClass {
    const wchar_t* guid;
    const wchar_t* progId;
    const wchar_t* name;
};
const ComClass kClasses[] = {
    {kPellmarControlClassGuid, L"pmctl", L"Pellmar Control"},
    {kPellmarApplicationClassGuid, L"TarnelPellmar", L"Tarnel Pellmar Application"},
};

struct ComInterface {
    const wchar_t* guid;
    const wchar_t* name;
};
const ComInterface kInterfaces[] = {
    {kPellmarControlInterfaceGuid, L"IPmCtl"},
    {kPellmarApplicationInterfaceGuid, L"ITarnelPellmar"},
};

std::wstring ClassKey(const wchar_t* guid) {
    return std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + guid;
}

std::wstring InterfaceKey(const wchar_t* guid) {
    return std::wstring(L"SOFTWARE\\Classes\\Interface\\") + guid;
}

std::wstring ProgIdKey(const wchar_t* progId) {
    return std::wstring(L"SOFTWARE\\Classes\\") + progId;
}

// Windows Installer's DWORD form of a version: major in the top byte, minor in the next, build
// in the low word.
DWORD PackedVersion(const std::wstring& version) {
    unsigned long parts[3] = {};
    const wchar_t* p = version.c_str();
    for (unsigned long& part : parts) {
        wchar_t* end = nullptr;
        part = wcstoul(p, &end, 10);
        p = (*end == L'.') ? end + 1 : end;
    }
    return static_cast<DWORD>(((parts[0] & 0xFF) << 24) | ((parts[1] & 0xFF) << 16) | (parts[2] & 0xFFFF));
}

std::wstring WithTrailingBackslash(const std::wstring& folder) {
    return (folder.empty() || folder.back() == L'\\') ? folder : folder + L"\\";
}

std::wstring DesktopShortcut(int csidl) {
    std::wstring desktop = ShellFolder(csidl);
    return desktop.empty() ? std::wstring() : JoinPath(desktop, kPellmarDesktopShortcut);
}

}  // namespace

std::wstring MsiexecStandinPath() {
    wchar_t windows[MAX_PATH] = {};
    UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return std::wstring();
    }
    return JoinPath(windows, L"Installer\\OvStandins\\msiexec.exe");
}

bool RegisterPellmar(const PellmarInstallation& installation) {
    const std::wstring msiexec = L"\"" + MsiexecStandinPath() + L"\" ";
    const std::wstring code = kPellmarProductCodeB;
    const std::wstring source = WithTrailingBackslash(installation.sourceFolder);
    const DWORD version = PackedVersion(installation.version);
    bool ok = true;

    ok &= WriteString(kUninstallKey, L"DisplayName", kPellmarDisplayName);
    ok &= WriteString(kUninstallKey, L"DisplayVersion", installation.version);
    ok &= WriteString(kUninstallKey, L"Publisher", L"Tarnel");
    ok &= WriteString(kUninstallKey, L"InstallLocation", WithTrailingBackslash(installation.folder));
    ok &= WriteString(kUninstallKey, L"InstallSource", source);
    ok &= WriteString(kUninstallKey, L"ModifyPath", msiexec + L"/I" + code);
    ok &= WriteString(kUninstallKey, L"UninstallString", msiexec + L"/X" + code);
    ok &= WriteDword(kUninstallKey, L"WindowsInstaller", 1);
    ok &= WriteDword(kUninstallKey, L"Version", version);
    ok &= WriteDword(kUninstallKey, L"VersionMajor", version >> 24);
    ok &= WriteDword(kUninstallKey, L"VersionMinor", (version >> 16) & 0xFF);
    ok &= WriteDword(kUninstallKey, L"Language", 1033);

    ok &= WriteString(kProductKey, L"ProductName", kPellmarDisplayName);
    ok &= WriteString(kProductKey, L"PackageCode", kPellmarPackedPackageCodeB);
    ok &= WriteDword(kProductKey, L"Language", 1033);
    ok &= WriteDword(kProductKey, L"Version", version);
    ok &= WriteDword(kProductKey, L"Assignment", 1);
    ok &= WriteString(kProductKey + L"\\SourceList", L"PackageName", L"Pellmar.msi");
    ok &= WriteString(kProductKey + L"\\SourceList", L"LastUsedSource", L"n;1;" + source);
    ok &= WriteString(kProductKey + L"\\SourceList\\Media", L"1", L";");
    ok &= WriteString(kProductKey + L"\\SourceList\\Net", L"1", source);
    ok &= WriteString(kFeatureKey, L"Complete", L"");

    ok &= WriteString(kInstallPropertiesKey, L"DisplayName", kPellmarDisplayName);
    ok &= WriteString(kInstallPropertiesKey, L"DisplayVersion", installation.version);
    ok &= WriteString(kInstallPropertiesKey, L"InstallLocation", installation.folder);

    const std::wstring library = JoinPath(installation.folder, kMainLibrary);
    for (const ComClass& comClass : kClasses) {
        std::wstring key = ClassKey(comClass.guid);
        ok &= WriteString(key, nullptr, comClass.name);
        ok &= WriteString(key + L"\\InprocServer32", nullptr, library);
        ok &= WriteString(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
        ok &= WriteString(key + L"\\ProgID", nullptr, comClass.progId);
        ok &= WriteString(key + L"\\Programmable", nullptr, L"");
        ok &= WriteString(key + L"\\TypeLib", nullptr, kPellmarTypeLibGuid);
        ok &= WriteString(key + L"\\VersionIndependentProgID", nullptr, comClass.progId);
        ok &= WriteString(ProgIdKey(comClass.progId), nullptr, comClass.name);
        ok &= WriteString(ProgIdKey(comClass.progId) + L"\\CLSID", nullptr, comClass.guid);
    }
    for (const ComInterface& comInterface : kInterfaces) {
        std::wstring key = InterfaceKey(comInterface.guid);
        ok &= WriteString(key, nullptr, comInterface.name);
        ok &= WriteString(key + L"\\ProxyStubClsid", nullptr, kAutomationProxy);
        ok &= WriteString(key + L"\\ProxyStubClsid32", nullptr, kAutomationProxy);
        ok &= WriteString(key + L"\\TypeLib", nullptr, kPellmarTypeLibGuid);
        ok &= WriteString(key + L"\\TypeLib", L"Version", L"1.0");
    }

    ok &= WriteString(kSettingsKey, L"InstallPath", installation.folder);
    return ok;
}

bool CreatePellmarShortcuts(const std::wstring& folder) {
    const std::wstring target = JoinPath(folder, kMainProgram);
    bool ok = true;
    for (int csidl : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY}) {
        std::wstring link = DesktopShortcut(csidl);
        ok &= !link.empty() && CreateShortcut(link, target);
    }
    return ok;
}

bool IsPellmarRegistered() {
    return KeyExists(kInstallPropertiesKey);
}

std::wstring PellmarInstalledFolder() {
    return ReadString(kInstallPropertiesKey, L"InstallLocation");
}

void RemovePellmar() {
    const std::wstring folder = PellmarInstalledFolder();
    if (!folder.empty()) {
        for (const PellmarFile& file : kPellmarFiles) {
            DeleteFileW(JoinPath(folder, file.name).c_str());
        }
        RemoveDirectoryW(folder.c_str());
    }
    for (int csidl : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY}) {
        std::wstring link = DesktopShortcut(csidl);
        if (!link.empty()) {
            DeleteFileW(link.c_str());
        }
    }

    DeleteKeyTree(kUninstallKey);
    DeleteKeyTree(kProductKey);
    DeleteKeyTree(kFeatureKey);
    for (const ComClass& comClass : kClasses) {
        DeleteKeyTree(ClassKey(comClass.guid));
        DeleteKeyTree(ProgIdKey(comClass.progId));
    }
    for (const ComInterface& comInterface : kInterfaces) {
        DeleteKeyTree(InterfaceKey(comInterface.guid));
    }
    DeleteValue(kSettingsKey, L"InstallPath");
    DeleteKeyIfEmpty(kSettingsKey);
    DeleteKeyIfEmpty(L"SOFTWARE\\Orvane");
    // The per-machine record goes last: until then a second uninstall still finds the product.
    std::wstring productRecord = kInstallPropertiesKey.substr(0, kInstallPropertiesKey.find_last_of(L'\\'));
    DeleteKeyTree(productRecord);
}

}  // namespace aspm
