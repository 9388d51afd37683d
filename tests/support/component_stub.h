// A test component: its code and keys only. It is found, registered and removed through the
// shared behaviour, but runs no setup program of its own; its settings key holds its folders,
// group and version.
#pragma once
#include "product/product.h"

class ComponentStub : public Product {
  public:
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
    int BeginInstall(wchar_t* buffer, size_t chars) override;
    int Install() override;
    int FinishInstall() override;
    int CreateShortcuts() override;
    int WriteSettings() override;
    int CopySupportFiles(wchar_t* failures, size_t chars) override;
    int BeginUninstall() override;
    int Uninstall() override;
    int RemoveSettings() override;

  protected:
    ComponentStub(int code, const wchar_t* shortName, const wchar_t* const* keyNames, int keyCount);
    const wchar_t* shortName_;
};
