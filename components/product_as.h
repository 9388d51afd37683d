// The anti-spam component: a mail filter with plug-ins for Outlook and Outlook Express. Its own
// installer "Anti-Spam.exe" puts it in place and its updater "z-update.exe" removes it; the
// engine adds the suite's registration, shared files, shortcuts and web links around them. The
// product also exists as a stand-alone retail edition registered under the same Uninstall entry:
// that one is a conflicting product to be removed first.
#pragma once
#include "product/product.h"

class ProductAS : public Product {
  public:
    ProductAS();

    int GetInstalledVersion(wchar_t* buffer, size_t chars) override;
    int GetInstalledPath(wchar_t* buffer, size_t chars, int* generation) override;
    int GetInstalledFilesPath(wchar_t* buffer, size_t chars, int* generation) override;
    int GetInstalledGroup(wchar_t* buffer, size_t chars) override;
    int GetSourcePath(wchar_t* buffer, size_t chars, const wchar_t* fileName) override;
    int CheckOperatingSystem(wchar_t* buffer, size_t chars) override;
    int CheckRegistryPermissions(wchar_t* buffer, size_t chars) override;
    int CheckDirectoryPermissions(wchar_t* buffer, size_t chars) override;
    // "WININET.DLL" 5.0 or later (9013) and Windows Sockets 2.2, both of the system folder.
    int CheckPrerequisites(wchar_t* buffer, size_t chars) override;
    int CheckOtherSessions(wchar_t* buffer, size_t chars) override;
    int BeginInstall(wchar_t* buffer, size_t chars) override;
    // "Anti-Spam.exe /silent <folder>": 0, 9024, 9025, 9026 or 9027.
    int Install() override;
    // The common sequence; a release folder that moved leaves the old one deleted.
    int FinishInstall() override;
    int CreateShortcuts() override;
    int WriteSettings() override;
    int CopySupportFiles(wchar_t* failures, size_t chars) override;
    int BeginUninstall() override;
    // "z-update.exe /u_silent", then its second instance: 0, 9029, 9030, 9026 or 9039.
    int Uninstall() override;
    int RemoveSettings() override;
    int RemoveSupportFiles() override;
    // The release folders ("ZSP-*") the updater leaves in the installation folder.
    int RemoveLeftoverFiles() override;

    // GetInstalledFilesPath before this run's install.
    wchar_t previousFilesPath[kPathChars] = {};
};

// A stand-alone edition of the anti-spam product is on the machine: its updater is in the release
// folder without the marker file only the suite's edition installs. The arguments are not used.
int IsStandaloneAntiSpam(wchar_t* buffer, size_t chars);
