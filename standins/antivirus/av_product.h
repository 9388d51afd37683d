// What the antivirus product leaves on a machine, shared by its setup, its uninstaller and its
// programs: the registry keys and values the suite reads back, the file names, and small helpers.
#pragma once
#include <windows.h>

#include <string>

#include "standin_paths.h"

namespace av {

// Path and file helpers every stand-in shares.
using standin::CurrentFolder;
using standin::FileVersionOf;
using standin::FolderOf;
using standin::Join;
using standin::ModulePath;
using standin::ProgramName;
using standin::Quoted;
using standin::WindowsFolder;

// Record and switch names (standin.h) of the setup and the uninstaller. The installed programs
// record under their own file name in lower case, without ".exe" ("sigfetch", "ovav", ...).
inline constexpr wchar_t kSetupName[] = L"avsetup";
inline constexpr wchar_t kUninstallerName[] = L"unwexa32";

// Under HKEY_LOCAL_MACHINE, with the values the setup writes: "ProductId" (DWORD) in the
// product key, "ProductBaseVersion" (the installed version) in AutoDownload, "ProgramPath" (the
// product folder) in Install, and the Uninstall entry.
inline constexpr wchar_t kProductKey[] = L"SOFTWARE\\Orvane\\Anti-Virus";
inline constexpr wchar_t kAutoDownloadKey[] = L"SOFTWARE\\Orvane\\Anti-Virus\\AutoDownload";
inline constexpr wchar_t kInstallKey[] = L"SOFTWARE\\Orvane\\Anti-Virus\\Install";
inline constexpr wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WEXAWIN32Vp5";

inline constexpr wchar_t kDisplayName[] = L"Tarnel Nimbo Antivirus";
inline constexpr DWORD kCurrentProductId = 4;  // the current generation of the product line

inline constexpr wchar_t kUninstallerFile[] = L"unwexa32.exe";  // in the Windows folder
inline constexpr wchar_t kSignatureFile[] = L"wexa.dat";

// The programs the setup puts into the product folder: copies of this executable.
inline constexpr const wchar_t* kPrograms[] = {
    L"SigFetch.exe",    L"ovfix.exe",  L"ovav.exe",   L"ovavrep.exe", L"ovavtray.exe",
    L"nimboreport.exe", L"wardel.exe", L"wexa32.exe", L"wexamsg.exe", L"wexatray.exe"};
// Its data files besides the signatures: help and read-me (the start-menu shortcuts point at them).
inline constexpr const wchar_t* kDataFiles[] = {L"ovavhelp.chm", L"readme.html"};

// HKEY_LOCAL_MACHINE values; the key is created with all its parents.
bool WriteString(const wchar_t* key, const wchar_t* name, const std::wstring& value);
bool WriteDword(const wchar_t* key, const wchar_t* name, DWORD value);
std::wstring ReadString(const wchar_t* key, const wchar_t* name);  // empty when absent

// A small ANSI text file, replaced when present.
bool WriteTextFile(const std::wstring& path, const char* text);

// Starts a command line and waits for it; the exit code, or -1 when it did not start.
int RunAndWait(const std::wstring& commandLine);

// The three faces of the executable; `arguments` is the text after the program name. Each returns
// the process exit code.
int RunSetup(const wchar_t* arguments);
int RunUninstaller(const wchar_t* arguments);
int RunProgram(const std::wstring& name, const wchar_t* arguments);

}  // namespace av
