// The suite shell: the suite's own programs, the shared framework and resource libraries and the
// suite-wide registry key under which the components are grouped. It has no setup program of its
// own (the engine copies its files) and takes part only when a run concerns the whole suite; the
// other components copy the shared files from its source folder and register under its entry.
#pragma once
#include "product/product.h"

// The web-connection settings of the suite's update download, below the suite key.
#define OV_SUITE_OPTIONS_KEY OV_SUITE_KEY L"\\Options"
#define OV_SUITE_CONNECTION_KEY OV_SUITE_OPTIONS_KEY L"\\Connection"
#define OV_SUITE_SCHEDULE_KEY OV_SUITE_KEY L"\\ScheduleTray"
#define OV_OLD_SUITE_KEY L"SOFTWARE\\Orvane\\Tarnel Nimbo Carapel"
#define OV_OLD_SUITE_NAME L"Tarnel Nimbo Carapel"

class ProductMain : public Product {
  public:
    // The process's suite shell, made on first use.
    static ProductMain& Get();
    // A shell of its own (the trust-list role lists one beside the singleton's).
    ProductMain();

    int GetInstalledVersion(wchar_t* buffer, size_t chars) override;
    int GetInstalledPath(wchar_t* buffer, size_t chars, int* generation) override;
    int GetInstalledFilesPath(wchar_t* buffer, size_t chars, int* generation) override;
    int GetInstalledGroup(wchar_t* buffer, size_t chars) override;
    int GetSourcePath(wchar_t* buffer, size_t chars, const wchar_t* fileName) override;
    // A newer installed shell is no failure: it only keeps the shell from being reinstalled.
    int CheckVersion() override;
    int CheckOperatingSystem(wchar_t* buffer, size_t chars) override;
    int CheckRegistryPermissions(wchar_t* buffer, size_t chars) override;
    int CheckDirectoryPermissions(wchar_t* buffer, size_t chars) override;
    int CheckPrerequisites(wchar_t* buffer, size_t chars) override;
    int CheckOtherSessions(wchar_t* buffer, size_t chars) override;
    int BeginInstall(wchar_t* buffer, size_t chars) override;
    int Install() override;
    int FinishInstall() override;
    int CreateShortcuts() override;
    int WriteSettings() override;
    int CopySupportFiles(wchar_t* failures, size_t chars) override;
    int BeginUninstall() override;
    int Uninstall() override;
    int RemoveSettings() override;
    int RemoveLeftoverFiles() override;

    // Sets shellNeeded and active together.
    void SetShellNeeded(int value) {
        shellNeeded = value;
        active = value;
    }
    // The suite selected by a package code: 123 is the older edition (1), 140 the current (2).
    void TakePackageCode(unsigned code);

    wchar_t previousPath[kPathChars] = {};
    int edition = 2;
    int shellNeeded = 0;
    int installShell = 1;
    Product* primaryComponent = nullptr;
};

// Lets the log caption its boxes with the product in charge and name the package's suite version
// when the program itself carries none. Called once at start, before the log opens.
void InstallProductHooks();
