#include "support/component_stub.h"

#include "host/paths.h"
#include "host/registry.h"
#include "setup/errors.h"

namespace {

// A value of the component's settings key.
int ReadSetting(const wchar_t* key, const wchar_t* name, wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    RegReadString(HKEY_LOCAL_MACHINE, key, name, buffer, static_cast<DWORD>(chars * sizeof(wchar_t)));
    return buffer[0] != L'\0';
}

}  // namespace

ComponentStub::ComponentStub(int code, const wchar_t* shortName, const wchar_t* const* keyNames, int keyCount)
    : shortName_(shortName) {
    productCode = code;
    uninstallKeyNames = keyNames;
    uninstallKeyCount = keyCount;
    SetKeys(shortName);
}

int ComponentStub::GetInstalledVersion(wchar_t* buffer, size_t chars) {
    if (!CheckBuffer(buffer, chars, L"Product::GetInstalledVersion")) {
        return 0;
    }
    if (!IsInstalled(1) || !ReadSetting(settingsKey, L"Version", buffer, chars)) {
        TextCopy(buffer, chars, L"0");
    }
    return 1;
}

int ComponentStub::GetInstalledPath(wchar_t* buffer, size_t chars, int* generation) {
    if (generation != nullptr) {
        *generation = 0;
    }
    return CheckBuffer(buffer, chars, L"Product::GetInstalledPath") &&
           ReadSetting(settingsKey, L"Path", buffer, chars);
}

int ComponentStub::GetInstalledFilesPath(wchar_t* buffer, size_t chars, int* generation) {
    if (generation != nullptr) {
        *generation = 0;
    }
    if (!CheckBuffer(buffer, chars, L"Product::GetInstalledFilesPath")) {
        return 0;
    }
    if (ReadSetting(settingsKey, L"Files", buffer, chars)) {
        return 1;
    }
    return TextCopy(buffer, chars, installDirectory) && buffer[0] != L'\0';
}

int ComponentStub::GetInstalledGroup(wchar_t* buffer, size_t chars) {
    if (!CheckBuffer(buffer, chars, L"Product::GetInstalledGroup")) {
        return 0;
    }
    if (ReadSetting(settingsKey, L"Group", buffer, chars)) {
        return 1;
    }
    return TextCopy(buffer, chars, programGroup) && buffer[0] != L'\0';
}

int ComponentStub::GetSourcePath(wchar_t* buffer, size_t chars, const wchar_t* fileName) {
    return SourcePathIn(shortName_, buffer, chars, fileName);
}

int ComponentStub::CheckOperatingSystem(wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    return 0;
}
int ComponentStub::CheckRegistryPermissions(wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    return 0;
}
int ComponentStub::CheckDirectoryPermissions(wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    return 0;
}
int ComponentStub::CheckPrerequisites(wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    return 0;
}
int ComponentStub::CheckOtherSessions(wchar_t* buffer, size_t chars) {
    TextClear(buffer, chars);
    return 0;
}
int ComponentStub::BeginInstall(wchar_t*, size_t) {
    return CommonBeginInstall();
}
int ComponentStub::Install() {
    return 0;
}
int ComponentStub::FinishInstall() {
    if (!active) {
        return 0;
    }
    StepReport report(this);
    CommonFinishInstall(report);
    TrustedProgramsStep(report);
    return report.result();
}
int ComponentStub::CreateShortcuts() {
    return 0;
}
int ComponentStub::WriteSettings() {
    return 0;
}
int ComponentStub::CopySupportFiles(wchar_t* failures, size_t chars) {
    TextClear(failures, chars);
    return 0;
}
int ComponentStub::BeginUninstall() {
    return CommonBeginUninstall();
}
int ComponentStub::Uninstall() {
    return 0;
}
int ComponentStub::RemoveSettings() {
    return 0;
}
