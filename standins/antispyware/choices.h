// The names and codes of the anti-spam and anti-spyware products that the setup engine and our
// stand-ins of those products must agree on. The engine keeps its own copy of these values;
// whoever changes one here changes it there.
#pragma once

namespace aspm {

// ---- Anti-spam product (installer "Anti-Spam.exe", updater "z-update.exe") ----

// Product GUID in the name of the product's own Uninstall entry.
constexpr wchar_t kAntiSpamProductGuid[] = L"{E2ACAF5A-567F-46A8-AEC5-4AAD2635A2E0}";
// The Uninstall sub key both editions register under: "Zember" + blank + product GUID.
constexpr wchar_t kAntiSpamUninstallKeyName[] = L"Zember {E2ACAF5A-567F-46A8-AEC5-4AAD2635A2E0}";
// COM class of the Outlook add-in "ZAddIn.dll" (key under SOFTWARE\Classes\CLSID).
constexpr wchar_t kAntiSpamAddInClassGuid[] = L"{40B4BAFE-8D90-4F0D-9E15-4BF3AA27FE5D}";
constexpr wchar_t kAntiSpamAddInProgId[] = L"Zember.ZAddIn";
// Only the suite's own edition puts this file into the release folder ("ReleasePath").
constexpr wchar_t kAntiSpamSuiteMarkerFile[] = L"SuiteEdition.dat";
// The product's web pages; the product's own links carry the query keys GUID, RT and BRAND.
constexpr wchar_t kAntiSpamHomePageUrl[] =
    L"http://antispam.tarnel.example/home?GUID={E2ACAF5A-567F-46A8-AEC5-4AAD2635A2E0}&RT=home&BRAND=OV";
constexpr wchar_t kAntiSpamHelpPageUrl[] =
    L"http://antispam.tarnel.example/help?GUID={E2ACAF5A-567F-46A8-AEC5-4AAD2635A2E0}&RT=help&BRAND=OV";
// What the installer installs unless told otherwise; equal to the file version of "Z.dll".
constexpr wchar_t kAntiSpamVersion[] = L"3.1.4.1592";
constexpr wchar_t kAntiSpamDisplayName[] = L"Tarnel Anti-Spam";
// Each release lives in a sub folder "ZSP-<version>" of the installation folder.
constexpr wchar_t kAntiSpamReleaseFolderPrefix[] = L"ZSP-";

// ---- Anti-spyware product (bootstrapper "Pellmar.exe", updater "pmv5updater.exe") ----

// Windows Installer product codes: B the current product, A its earlier generation, each with
// its packed form (the key name under SOFTWARE\Classes\Installer\Products and \Features).
constexpr wchar_t kPellmarProductCodeA[] = L"{E713AA8A-BAB4-48FA-8D7C-4606390BC970}";
constexpr wchar_t kPellmarPackedCodeA[] = L"A8AA317E4BABAF84D8C7646093B09C07";
constexpr wchar_t kPellmarProductCodeB[] = L"{F860A729-9BFF-416D-A1D7-C37CB6BF74FE}";
constexpr wchar_t kPellmarPackedCodeB[] = L"927A068FFFB9D6141A7D3CC76BFB47EF";
// Package code of the current product's .msi (packed, as Windows Installer stores it).
constexpr wchar_t kPellmarPackageCodeB[] = L"{8E934F5B-E63F-4380-A26E-736B70E6437F}";
constexpr wchar_t kPellmarPackedPackageCodeB[] = L"B5F439E8F36E08342AE637B6076E34F7";

// The product's two COM classes (ProgIDs "pmctl" and "TarnelPellmar"), its two interfaces
// and their type library.
constexpr wchar_t kPellmarControlClassGuid[] = L"{DADF3DFA-3D90-4F0C-84F9-C9A3ABA5F6A1}";
constexpr wchar_t kPellmarApplicationClassGuid[] = L"{8F84B994-5590-417E-A0D1-2C198FE60BF9}";
constexpr wchar_t kPellmarControlInterfaceGuid[] = L"{C011061E-4900-4BED-903D-AEE112D563C3}";
constexpr wchar_t kPellmarApplicationInterfaceGuid[] = L"{E30F9D9B-C51A-4DC7-80DF-66BBD31FDB67}";
constexpr wchar_t kPellmarTypeLibGuid[] = L"{99CE8E12-9E30-4AEC-AA47-07F482A8F38E}";

// Uninstall key names of the two earlier editions that conflict with the component: one
// registered by Windows Installer under its product code, one by an InstallShield setup.
constexpr wchar_t kPellmarConflictMsiKeyName[] = L"{7DF9622E-EF0B-48B8-8DDD-C0CC66CB1187}";
constexpr wchar_t kPellmarConflictInstallShieldKeyName[] =
    L"InstallShield_{FF52DEFC-B5E7-4A8B-AFA8-F170F5A4B736}";

constexpr wchar_t kPellmarVersion[] = L"5.2.0.1047";
constexpr wchar_t kPellmarDisplayName[] = L"Tarnel Pellmar";
constexpr wchar_t kPellmarDesktopShortcut[] = L"Tarnel Pellmar.lnk";
// Folder below the Program Files folder used when the bootstrapper gets no INSTALLDIR.
constexpr wchar_t kPellmarDefaultSubfolder[] = L"Tarnel\\Pellmar";

}  // namespace aspm
