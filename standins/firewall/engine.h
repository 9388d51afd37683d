// What the firewall engine leaves on a machine, shared by its setup, its uninstaller and its
// programs: the registry keys and values the suite reads back, the file names, the brand taken
// from the configuration file, and small helpers.
#pragma once
#include <windows.h>

#include <string>

#include "standin_paths.h"
#include <vector>

namespace fw {

// Path and file helpers every stand-in shares.
using standin::CurrentFolder;
using standin::FileVersionOf;
using standin::FolderOf;
using standin::Join;
using standin::ModulePath;
using standin::ProgramName;
using standin::Quoted;
using standin::SystemFolder;

// Record and switch names (standin.h). The installed programs record under their own file name
// in lower case, without ".exe" ("ov", "zatutor").
inline constexpr wchar_t kSetupName[] = L"zapsetup";
inline constexpr wchar_t kUninstallerName[] = L"zauninst";

// Under HKEY_LOCAL_MACHINE. "Zone Labs" holds "IsUnified", "HU100" and "OEM"; "ZoneAlarm" holds
// "CurrentVersion" and "InstallDirectory"; Registration\<version> holds "ProductName".
inline constexpr wchar_t kZoneLabsKey[] = L"SOFTWARE\\Zone Labs";
inline constexpr wchar_t kEngineKey[] = L"SOFTWARE\\Zone Labs\\ZoneAlarm";
inline constexpr wchar_t kRegistrationKey[] = L"SOFTWARE\\Zone Labs\\ZoneAlarm\\Registration";
inline constexpr wchar_t kTrueVectorKey[] = L"SOFTWARE\\Zone Labs\\TrueVector";
inline constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kClientRunValue[] = L"Zone Labs Client";
inline constexpr wchar_t kUninstallRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline constexpr wchar_t kDriverKey[] = L"SYSTEM\\CurrentControlSet\\Services\\vsdatant";

// Files in the program folder besides the programs.
inline constexpr wchar_t kAlertFile[] = L"alert.zap";  // every build of the engine has it
// The brand file: the configuration the setup was given, kept byte for byte. Only builds made for
// a partner ("/M=") have it, which tells them from a plain installation of the engine.
inline constexpr wchar_t kBrandFile[] = L"oeminfo.ini";
inline constexpr wchar_t kHelpFolder[] = L"help";  // the suite puts its help file here too
inline constexpr wchar_t kHelpFile[] = L"zonealarm.chm";
inline constexpr wchar_t kTutorFile[] = L"zatutor.exe";
inline constexpr wchar_t kUninstallerFile[] = L"zauninst.exe";

// Files in the system folder: the trust-list library and the driver's companions (placeholders),
// and the folder "ZoneLabs" with the engine's databases. The uninstaller leaves all of them.
inline constexpr wchar_t kTrustLibrary[] = L"vspubapi.dll";
inline constexpr const wchar_t* kSystemFiles[] = {
    L"vsconfig.xml", L"vsdata.dll", L"vsdatant.sys", L"vsinit.dll", L"vsmonapi.dll",
    L"vsregexp.dll", L"vsutil.dll", L"vsxml.dll",    L"zlcomm.dll", L"zlcommdb.dll"};
inline constexpr wchar_t kDataFolder[] = L"ZoneLabs";

// How the engine presents itself: from the configuration file's lines "OEM_APPTITLE=",
// "OEM_MAINDIR=", "OEM_EXENAME=" and "OEM_CONAME=" (ANSI text, CR LF), each missing one, and an
// empty title, folder or client name, taking the plain engine's value. The start-menu folder
// ("OEM_SHTCTFLDR=") is the suite's to fill: the engine makes no shortcuts of its own here.
struct Brand {
    bool branded = false;               // a configuration file was read
    std::wstring title = L"ZoneAlarm";  // product name, Uninstall entry name
    std::wstring folder;                // program folder
    std::wstring client = L"zlclient.exe";
    std::wstring company = L"Zone Labs";
};
Brand ReadBrand(const std::string* config);  // null: the plain engine

// The arguments after the program name, split as Windows programs split them.
std::vector<std::wstring> SplitArguments(const wchar_t* arguments);
bool IsSwitch(const std::wstring& argument, const wchar_t* name);  // "/name" or "-name", any case
bool ValueOf(const std::wstring& argument, const wchar_t* name, std::wstring* value);  // "/name=value"

bool ReadFileBytes(const std::wstring& path, std::string* bytes);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::wstring Hex(const std::string& bytes);  // two upper-case hex digits per byte, nothing between

// HKEY_LOCAL_MACHINE values; keys are created with all their parents.
bool WriteString(const std::wstring& key, const wchar_t* name, const std::wstring& value);
bool WriteDword(const std::wstring& key, const wchar_t* name, DWORD value);
std::wstring ReadString(const std::wstring& key, const wchar_t* name);  // empty when absent

// The engine's faces; `arguments` is the text after the program name. Each returns the exit code.
int RunSetup(const wchar_t* arguments);
int RunUninstaller(const wchar_t* arguments);
int RunProgram(const std::wstring& name);

}  // namespace fw
