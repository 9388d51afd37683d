// A component of the suite as the roles see it. The roles never touch a component's files or
// registry themselves: they walk their list of products and call these operations in a fixed
// order. Each concrete class (the suite shell and the five components) sets its code and its
// constant tables in its constructor; the base class holds what every component shares:
// installed detection through the Uninstall entries, the source folder in the package, the
// product resource library, the check sequence, removal of conflicting products, folder and
// group resolution, the shared files, uninstall registration and program groups.
//
// Buffers are (text, capacity in chars). An operation that fails writes a short text for the
// error report into its buffer (the failing path or name) and returns an error code of
// setup/errors.h; 0 is success. Getters return non-zero when the buffer receives a non-empty
// text; called without a buffer they log 25520 with their own name.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "host/text.h"

// An older or competing product that must be removed before a component is installed.
struct ConflictingProduct {
    const wchar_t* uninstallKeyName;  // its sub key below the Uninstall key
    const wchar_t* processName;       // process to wait for after its uninstaller ran, or null
    const wchar_t* executableName;    // that process's file name, or null
    // An extra test on the product's display name (buffer, chars) that must return non-zero for
    // the entry to count; null when the entry always counts.
    int (*check)(wchar_t* name, size_t chars);
};

// One of a component's programs for the firewall's list of trusted programs: its file name and
// six permission values handed to the firewall unchanged.
struct TrustedProgram {
    const wchar_t* fileName;
    int permissions[6];
};

// Registry places every component shares.
#define OV_UNINSTALL_KEY L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
#define OV_SUITE_KEY L"SOFTWARE\\Orvane\\Tarnel Suite Personal"
#define OV_SUITE_ENTRY_NAME L"Tarnel Suite Personal"
#define OV_RUN_KEY L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"
#define OV_RUNONCE_KEY L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"

class StepReport;

class Product {
  public:
    // ---- the virtual operations, in this order -------------------------------------------
    // 0: one of the Uninstall entries has a non-empty "UninstallString" (entries 0 and 1 only
    // unless allGenerations); remembers it in uninstallString.
    virtual int IsInstalled(int allGenerations);
    // 1: "0" when not installed or no version is recorded.
    virtual int GetInstalledVersion(wchar_t* buffer, size_t chars) = 0;
    // 2, 3: `generation` (may be null) receives 0 unless the component says otherwise.
    virtual int GetInstalledPath(wchar_t* buffer, size_t chars, int* generation) = 0;
    virtual int GetInstalledFilesPath(wchar_t* buffer, size_t chars, int* generation) = 0;
    // 4: relative to the Programs folder.
    virtual int GetInstalledGroup(wchar_t* buffer, size_t chars) = 0;
    // 5: program folder, the component's source subfolder, then `fileName` (null: the folder).
    virtual int GetSourcePath(wchar_t* buffer, size_t chars, const wchar_t* fileName) = 0;
    // 6: 0, or 9015 when the installed component is newer than the package's.
    virtual int CheckVersion();
    virtual int CheckOperatingSystem(wchar_t* buffer, size_t chars) = 0;       // 7
    virtual int CheckRegistryPermissions(wchar_t* buffer, size_t chars) = 0;   // 8: 9011
    virtual int CheckDirectoryPermissions(wchar_t* buffer, size_t chars) = 0;  // 9: 9012
    virtual int CheckPrerequisites(wchar_t* buffer, size_t chars) = 0;         // 10
    virtual int CheckOtherSessions(wchar_t* buffer, size_t chars) = 0;         // 11
    virtual int BeginInstall(wchar_t* buffer, size_t chars) = 0;               // 12
    virtual int Install() = 0;                                                 // 13
    virtual int FinishInstall() = 0;                                           // 14
    virtual int CreateShortcuts() = 0;                                         // 15
    virtual int WriteSettings() = 0;                                           // 16
    // 17: 9028 when a copy failed; the first failing file name in `failures`.
    virtual int CopySupportFiles(wchar_t* failures, size_t chars) = 0;
    virtual int BeginUninstall() = 0;  // 18
    virtual int Uninstall() = 0;       // 19
    virtual int RemoveSettings() = 0;  // 20
    // 21, 22: the base only refreshes uninstallString (IsInstalled(1)).
    virtual int RemoveSupportFiles();
    virtual int RemoveLeftoverFiles();
    // Products are deleted through the role's list.
    virtual ~Product() {}

    // ---- shared behaviour --------------------------------------------------------------
    // The display name, from string 22006 of the product resource library on first use; may be
    // empty. LoadProductString: string `id` of "ovavprod.dll" (the package's in the install role,
    // the installed one otherwise), at most 512 chars; empty on any failure.
    const wchar_t* GetDisplayName();
    void LoadProductString(unsigned id, wchar_t* buffer, size_t chars);
    unsigned GetPackageProductCode();
    // Whether a package product code stands for this component: its own code, or for the
    // antivirus also the codes 128 and 133-135 of its other editions.
    bool IsComponentCode(unsigned code) const;
    // "ProductVersion" of the package's product resource library.
    void GetInstallationVersion(wchar_t* buffer, size_t chars);
    int IsAvailable();

    // The install and uninstall checks in their fixed order: the first failure's code, its text
    // in the buffer.
    int CheckAll(wchar_t* buffer, size_t chars);
    int CheckPermissions(wchar_t* buffer, size_t chars);
    int RemoveConflictingProducts(wchar_t* buffer, size_t chars);
    int FindUninstallEntry(const wchar_t* keyName, wchar_t* name, size_t nameChars, wchar_t* uninstall,
                           size_t uninstallChars, int (*check)(wchar_t*, size_t));
    int NextConflictingProduct(wchar_t* name, size_t nameChars, wchar_t* uninstall, size_t uninstallChars);
    void GetConflictProcessNames(wchar_t* process, size_t processChars, wchar_t* executable,
                                 size_t executableChars);

    // Starts a command line and waits for it without limit; 9026 when it cannot start. Only for
    // an active product (otherwise 0 at once). `exitCode` may be null.
    int RunCommand(const wchar_t* commandLine, unsigned* exitCode);

    int ResolveInstallDirectory();
    int ResolveProgramGroup();
    int CreateInstallDirectory(wchar_t* buffer, size_t chars);
    int CopySharedFiles(wchar_t* failures, size_t chars);
    void RemoveSharedFiles();

    // Uninstall registration and program groups.
    int RegisterUninstall();
    int RemoveUninstallKeys();
    int CreateStartMenuFolder(wchar_t* buffer, size_t chars);
    int RemoveProgramGroups(int allUsers);
    int RemoveLeftovers();
    // The end of an uninstall of an active product: its groups, settings and registrations go,
    // one cleanup copy of the running program is scheduled for the next logon (RunOnce
    // "Kestra_cleanup"; none when a scheduled copy still exists), then its support and shared
    // files. Failures are silent: always 0.
    int CompleteUninstall();

    // The running programs of the suite shell / the antivirus component, asked to end.
    int StopSuitePrograms();
    int StopAntivirusPrograms();

    // The firewall's trusted list: every program of `trustedPrograms` in the installed files
    // folder. 0, or 9036 when the list could not be updated.
    int AddTrustedPrograms(int removeFirst, int retryInit);

    // The common steps of BeginInstall and BeginUninstall, for the concrete classes to build on
    // (0 at once unless the product is active).
    int CommonBeginInstall();
    int CommonBeginUninstall();
    // FinishInstall of an active component: CommonFinishInstall (settings, registration, shared
    // and support files, old and current groups, shortcuts), the component's own steps, then
    // TrustedProgramsStep; report.result() is the result.
    void CommonFinishInstall(StepReport& report);
    void TrustedProgramsStep(StepReport& report);

    bool IsSuiteShell() const { return isSuiteShell_; }
    void SetAvailable(int value) { available = value; }
    void SetAccepted(int value) { accepted = value; }
    void SetActive(int value) { active = value; }
    void SetChoiceControl(int value) { choiceControl = value; }

    // ---- fields ----------------------------------------------------------------------------
    int available = 0;
    int accepted = 0;
    int active = 0;
    int productCode = 0;
    int choiceControl = 0;
    int uninstallKeyCount = 0;
    int oldGroupCount = 0;
    int trustedProgramCount = 0;
    int conflictCount = 0;
    int conflictIndex = 0;
    const wchar_t* const* uninstallKeyNames = nullptr;
    const wchar_t* const* oldGroupNames = nullptr;
    const ConflictingProduct* conflicts = nullptr;
    const TrustedProgram* trustedPrograms = nullptr;
    wchar_t displayName[kMessageChars] = {};
    wchar_t installDirectory[kPathChars] = {};
    wchar_t programGroup[kPathChars] = {};
    wchar_t uninstallKeyPath[kPathChars] = {};
    wchar_t suiteUninstallKeyPath[kPathChars] = {};
    wchar_t uninstallString[kCommandLineChars] = {};
    wchar_t settingsKey[kPathChars] = {};
    wchar_t previousVersion[kPathChars] = {};
    wchar_t installedVersion[kPathChars] = {};

  protected:
    Product() = default;
    // Builds uninstallKeyPath (entry 0 of uninstallKeyNames), suiteUninstallKeyPath (the suite's
    // entry, then `shortName` unless this is the shell) and settingsKey (the suite key, then
    // `shortName`). Call after the tables are set.
    void SetKeys(const wchar_t* shortName);
    // GetSourcePath for a component whose files lie in `subfolder` of the package (null: root).
    int SourcePathIn(const wchar_t* subfolder, wchar_t* buffer, size_t chars, const wchar_t* fileName);
    // A getter called without a buffer: logs 25520 with `operation`, and returns false.
    static bool CheckBuffer(const wchar_t* buffer, size_t chars, const wchar_t* operation);
    // The version check's comparison: logs 25530, reads the installed and the package's version
    // (kPathChars each) and tells whether the installed one is newer.
    bool InstalledIsNewer(wchar_t* installed, wchar_t* package);

    bool isSuiteShell_ = false;

  private:
    Product(const Product&) = delete;
    Product& operator=(const Product&) = delete;
};

// The role of this run (the role object's, else the options').
int CurrentRole();
// Display level below 2: nobody is there to answer a dialog.
bool IsUnattended();

// Resource string `id` formatted with the display name, shown as the progress window's text.
void ShowProductProgress(unsigned id, const wchar_t* displayName);

// Deletes each of `count` file names in `folder` (plain delete, errors ignored).
void DeleteFilesIn(const wchar_t* folder, const wchar_t* const* names, size_t count);

// Deletes a folder named by registry data or by a product's settings: refuses (logs 25560 with
// the folder, returns false) a drive or share root, the Windows or system directory, the
// Program Files or Common Files folder, a profiles, documents, desktop or Programs root, any
// folder holding one of those, and any path that is not absolute. Otherwise DeleteDirectoryTree.
bool DeleteProductFolder(const wchar_t* folder, bool removeDirectories);

// One operation's failures, reported in the way every install step reports them: the first as an
// error (the step's message with its argument, then 25032 with the display name), later ones as
// information (the step's message alone). Keeps the first code.
class StepReport {
  public:
    explicit StepReport(Product* product) : product_(product) {}
    // Records `code` (0 is ignored). `argument` null: the display name. `information`: always
    // reported as information, never made the result.
    void Add(int code, unsigned messageId, const wchar_t* argument = nullptr, bool information = false);
    int result() const { return result_; }

  private:
    Product* product_;
    int result_ = 0;
};
