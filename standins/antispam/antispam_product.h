// The anti-spam product as its installer leaves it: the release folder "<install folder>\ZSP-
// <version>" with the updater, the main library and the mail plug-ins, the key
// "SOFTWARE\Zember", the Uninstall entry and the Outlook add-in's COM and Office keys (all under
// HKEY_LOCAL_MACHINE). "Anti-Spam.exe" installs it, "z-update.exe /u_silent" removes it.
#pragma once
#include <string>

namespace aspm {

constexpr wchar_t kZemberKey[] = L"SOFTWARE\\Zember";
constexpr wchar_t kAntiSpamUpdater[] = L"z-update.exe";

// The files of a release folder besides the updater, and the RCDATA names under which
// "Anti-Spam.exe" carries them (the updater is "ZUPDATE").
struct AntiSpamFile {
    const wchar_t* name;
    const wchar_t* resource;
};
extern const AntiSpamFile kAntiSpamFiles[3];

std::wstring AntiSpamUninstallKey();
std::wstring AntiSpamAddInClassKey();
std::wstring AntiSpamAddInProgIdKey();
std::wstring AntiSpamOutlookAddInKey();

}  // namespace aspm
