// The firewall component and its variant for the firewall engine's unified mode. The firewall is
// an outside engine; the package's "fw" folder carries its setup "zapsetup.exe". The component
// brands the engine for the suite through a configuration file, runs the engine's setup (and, for
// removal, its uninstaller "zauninst.exe") unattended while a watcher answers their confirmation
// dialogs, and adds the suite's settings, registration, files, shortcuts and the trust list for the
// programs of every component around it.
//
// The engine records its mode in "IsUnified": 1 when it carries an antivirus engine of its own.
// ProductFW (package code 131) stands for the normal mode, ProductFWU (122) for the unified mode;
// each counts as installed only while the engine runs in its mode.
#pragma once
#include "product/product.h"

// The engine's keys under HKEY_LOCAL_MACHINE.
#define OV_ZONE_LABS_KEY L"SOFTWARE\\Zone Labs"
#define OV_ZONEALARM_KEY OV_ZONE_LABS_KEY L"\\ZoneAlarm"

// Room for the firewall components' tables, widened when one is made (see WidenNames).
const size_t kFWTableChars = 2600;

class ProductFW : public Product {
  public:
    ProductFW();

    // Registered under one of its Uninstall entries while the engine runs in this class's mode.
    int IsInstalled(int allGenerations) override;
    // The engine's "CurrentVersion", "0" when it is not installed in this class's mode.
    int GetInstalledVersion(wchar_t* buffer, size_t chars) override;
    int GetInstalledPath(wchar_t* buffer, size_t chars, int* generation) override;
    // The engine's "InstallDirectory", else (outside the install role) the suite's record of it.
    int GetInstalledFilesPath(wchar_t* buffer, size_t chars, int* generation) override;
    int GetInstalledGroup(wchar_t* buffer, size_t chars) override;
    int GetSourcePath(wchar_t* buffer, size_t chars, const wchar_t* fileName) override;
    // Refuses (9009) Windows NT 4.0 and earlier, Windows 95 and the NT server editions.
    int CheckOperatingSystem(wchar_t* buffer, size_t chars) override;
    int CheckRegistryPermissions(wchar_t* buffer, size_t chars) override;
    // The Windows folder and the system folder.
    int CheckDirectoryPermissions(wchar_t* buffer, size_t chars) override;
    int CheckPrerequisites(wchar_t* buffer, size_t chars) override;
    int CheckOtherSessions(wchar_t* buffer, size_t chars) override;
    // The common steps, then what an earlier engine left in the system folder goes. Always 0.
    int BeginInstall(wchar_t* buffer, size_t chars) override;
    // The configuration file, then "fw\zapsetup.exe /s /M="<file>" /NOREBOOT" with its dialogs
    // answered: 0, 9041, 9042, 9024, 9025, 9026 or 9027. The file is deleted after success only.
    int Install() override;
    // The common steps; then the trust list of every installed product is updated at once, or, when
    // this run replaced one engine version with another, at the next start of Windows.
    int FinishInstall() override;
    int CreateShortcuts() override;
    // "Group" and "IsUnified" of the engine, and its client's start-up entry moved to the suite's
    // folder: 0 or 9040.
    int WriteSettings() override;
    int CopySupportFiles(wchar_t* failures, size_t chars) override;
    int BeginUninstall() override;
    // "zauninst.exe /s /noreboot" from the engine's folder, its dialogs answered and its second
    // process waited for: 0, 9029, 9030, 9026 or 9039 when the engine is still installed after it.
    int Uninstall() override;
    int RemoveSettings() override;
    int RemoveSupportFiles() override;
    // The engine's files in the system folder and its driver's service key, once it is not
    // installed any more (its uninstaller leaves them).
    int RemoveLeftoverFiles() override;

    // Writes "fwconfig.txt" into the temporary folder for the engine's setup: its title
    // (the display name), program folder (installDirectory), client name, start-menu folder
    // (programGroup) and company, one "KEY=value" line each, ANSI, CR LF. The file's full path goes
    // into the buffer (emptied first). 0; 9041 when the path cannot be made; 9042 when the file
    // cannot be created or a line not written (the lines after it are still written).
    int WriteInstallConfigFile(wchar_t* buffer, size_t chars);

  protected:
    // The tables, widened when the product is made (see WidenNames); room for the unified
    // component's, whose conflicting products are the antivirus and the firewall component's.
    const wchar_t* keyNames_[7];
    const wchar_t* groups_[6];
    ConflictingProduct conflictRows_[59];
    wchar_t tableText_[kFWTableChars];
};

class ProductFWU : public ProductFW {
  public:
    ProductFWU();

    // The package's engine setup's file version must not be older than the installed engine.
    int CheckVersion() override;
    // The firewall's probes after one group of its own.
    int CheckRegistryPermissions(wchar_t* buffer, size_t chars) override;
    // The Windows folder, the system folder and its "DRIVERS" folder.
    int CheckDirectoryPermissions(wchar_t* buffer, size_t chars) override;
};

// Conflict checks; their arguments are not used.
// The engine runs in its unified mode: HKLM "SOFTWARE\Zone Labs" DWORD "IsUnified" is 1.
int IsEngineUnified(wchar_t* buffer, size_t chars);
// The first series of the suite's firewall is installed (a later series marks its folder); copies
// that series' name into the buffer when one is given.
int IsFirstFirewall(wchar_t* buffer, size_t chars);
// A stand-alone edition of the engine is installed: its folder holds "alert.zap" but not the
// marker file of the suite's own builds. The cleanup keeps away from its folders and registry.
int IsPlainZoneAlarm(wchar_t* buffer, size_t chars);
