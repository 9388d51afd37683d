// The anti-spyware component: a Windows Installer product put in place by its bootstrapper
// "Pellmar.exe" and removed through its registered uninstall command. While the suite owns it,
// the product's own Add/Remove Programs entry is marked as not serviced by Windows Installer and
// its name is taken out of Windows Installer's product registration ("hidden"), so only the
// suite's entries show; both are put back ("restored") before the product's own installer works
// on it again, for an upgrade or an uninstall.
#pragma once
#include "product/product.h"

class ProductPM : public Product {
  public:
    ProductPM();

    int GetInstalledVersion(wchar_t* buffer, size_t chars) override;
    int GetInstalledPath(wchar_t* buffer, size_t chars, int* generation) override;
    int GetInstalledFilesPath(wchar_t* buffer, size_t chars, int* generation) override;
    int GetInstalledGroup(wchar_t* buffer, size_t chars) override;
    int GetSourcePath(wchar_t* buffer, size_t chars, const wchar_t* fileName) override;
    int CheckOperatingSystem(wchar_t* buffer, size_t chars) override;
    int CheckRegistryPermissions(wchar_t* buffer, size_t chars) override;
    int CheckDirectoryPermissions(wchar_t* buffer, size_t chars) override;
    int CheckPrerequisites(wchar_t* buffer, size_t chars) override;
    int CheckOtherSessions(wchar_t* buffer, size_t chars) override;
    // The common steps; an upgrade restores the registration first.
    int BeginInstall(wchar_t* buffer, size_t chars) override;
    // "Pellmar.exe /v..." with the install folder: 0, 9024, 9025, 9026 or 9027; an upgrade's
    // registration is hidden again whether or not the bootstrapper started.
    int Install() override;
    // The product's desktop shortcuts go, the common sequence hides the registration once the
    // suite's is written, the trust list, then one run of the product's updater.
    int FinishInstall() override;
    int CreateShortcuts() override;
    int WriteSettings() override;
    int CopySupportFiles(wchar_t* failures, size_t chars) override;
    // The common steps, then the registration is restored.
    int BeginUninstall() override;
    // The registered uninstall command with " /qr": 0, 9030, 9026 or 9039. Whether or not the
    // component is active, the product names are then deleted and empty product keys removed.
    int Uninstall() override;
    int RemoveSettings() override;
    int RemoveSupportFiles() override;

    // What becomes of the registration. Hide: "WindowsInstaller" 0 in the product's entry and no
    // "ProductName" in Windows Installer's product keys ("SOFTWARE\Classes\Installer\Products\"
    // + packed code A / B). Restore: "WindowsInstaller" 1, and "OV <display name>" as the name of
    // each product Windows Installer still knows (one with a "PackageCode"); no key is made.
    // Forget: the names deleted and keys left empty removed, with their empty parents. Failures
    // are ignored.
    enum RegistrationChange { kHide, kRestore, kForget };
    void ChangeRegistration(RegistrationChange change);
    void HideRegistration() { ChangeRegistration(kHide); }
    void RestoreRegistration() { ChangeRegistration(kRestore); }

    wchar_t packedCodes[2][33] = {};  // packed A, packed B
};
