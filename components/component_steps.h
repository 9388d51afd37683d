// Steps that the components other than the suite shell take alike, beyond the common behaviour of
// Product: the old-Windows refusal and other checks, the write-access probes, running the
// component's own setup program and judging it, the support files, the program group and the
// start-menu shortcuts. Each works on the product it is given and follows its flags.
#pragma once
#include <stddef.h>

#include "product/product.h"

// The operations a component names when it is called without a buffer: message 25520 with
// "<class name>::<operation>".
enum ComponentOperation : unsigned char {
    kGetInstalledVersion,
    kGetInstalledPath,
    kGetInstalledFilesPath,
    kGetInstalledGroup,
    kCheckOperatingSystem,
    kCheckRegistryPermissions,
    kCheckDirectoryPermissions,
    kCheckPrerequisites,
};
// True when there is a buffer; otherwise logs 25520 with the operation's name.
bool HasBuffer(const wchar_t* className, ComponentOperation operation, const wchar_t* buffer, size_t chars);

// The shared empty check: empties the buffer, 0.
int NoCheck(wchar_t* buffer, size_t chars);

// Empties the buffer (a missing one is logged, and the check goes on without it). True when the
// check is to run: the product is available and, for `permissions`, the system is of the NT family
// or unknown.
bool CheckApplies(const Product& product, const wchar_t* className, ComponentOperation operation,
                  wchar_t* buffer, size_t chars, bool permissions);

// A text value of HKLM `key`; false (and an empty buffer) when missing or empty.
bool ReadMachineText(const wchar_t* key, const wchar_t* name, wchar_t* buffer, size_t chars);
// For GetInstalledPath, GetInstalledFilesPath and GetInstalledGroup: value `name` of HKLM `key`;
// when that is empty outside the install role, "Path", "Files" or "Group" of the product's
// settingsKey; folders trimmed of trailing blanks and backslashes. Non-zero when the buffer holds
// a text.
int ReadInstalledValue(Product& product, const wchar_t* className, ComponentOperation operation,
                       const wchar_t* key, const wchar_t* name, wchar_t* buffer, size_t chars);
// For GetInstalledVersion: value `name` of HKLM `key` while the product is installed (any
// generation); "0" when it is not or the value is missing.
int ReadInstalledVersion(Product& product, const wchar_t* className, const wchar_t* key, const wchar_t* name,
                         wchar_t* buffer, size_t chars);

// Refuses Windows NT before 4.0 and Windows 95 for an available product: logs the system's
// description (25509), reports each refusal as information 25012 with code 9009 and its text
// ("Windows NT 3.51", "Windows 95"), which also goes into the empty buffer. 0 or 9009.
int RefuseOldWindows(const Product& product, const wchar_t* className, wchar_t* buffer, size_t chars);

// For an available product: logs 25531; "WININET.DLL" of the system folder must be 5.0 or later
// (otherwise 9013, its name in the empty buffer), and Windows Sockets 2.2 must start (otherwise
// the code and text of that check, unless a failure came first). 0 when both pass.
int CheckInternetLibraries(const Product& product, const wchar_t* className, wchar_t* buffer, size_t chars);

// Write access to the Windows and the system folder (each when known) for an available product on
// the NT family: 0, or 9012 with the first unwritable folder in the buffer.
int ProbeSystemFolders(const Product& product, const wchar_t* className, wchar_t* buffer, size_t chars);

// One registry probe under HKEY_LOCAL_MACHINE: the key is `name` below the folder `base` names.
enum ProbeBase : unsigned char {
    kProbeAbsolute,        // `name` is the whole key
    kProbeClasses,         // SOFTWARE\Classes
    kProbeClassIds,        // SOFTWARE\Classes\CLSID
    kProbeInterfaces,      // SOFTWARE\Classes\Interface
    kProbeProducts,        // SOFTWARE\Classes\Installer\Products
    kProbeFeatures,        // SOFTWARE\Classes\Installer\Features
    kProbeCurrentVersion,  // SOFTWARE\Microsoft\Windows\CurrentVersion
    kProbeOutlookAddIns,   // SOFTWARE\Microsoft\Office\Outlook\Addins
    kProbeGroupKey,        // the group's first Keep key
};
// Inside a group the first key a Keep probe had to create is remembered and deleted with
// everything below it when the group ends; an AtOnce key is deleted right after its probe when
// the probe created it; a Plain key is only probed.
enum ProbeMode : unsigned char { kProbeKeep, kProbeAtOnce, kProbePlain, kProbeEndGroup };
struct KeyProbe {
    const wchar_t* name;  // null: the argument given to KeyProbes::Run
    ProbeBase base;
    ProbeMode mode;
};

// A component's registry probes. Each probe reports its own failure; the first is kept for Result.
class KeyProbes {
  public:
    // The rows in order; a row without a name takes `argument`.
    void Run(const KeyProbe* rows, int count, const wchar_t* argument = nullptr);
    // When the suite shell takes part or is installed: { the shell's entry keep; the product's entry
    // below it at once }.
    void SuiteEntryGroup(const Product& product);
    // Outside the install role: { "SOFTWARE\Orvane" keep; the suite key keep; settingsKey at once }.
    void SettingsGroup(const Product& product);
    // 0, or 9011 with the first unwritable key (root name included) in the buffer.
    int Result(wchar_t* buffer, size_t chars) const;

  private:
    void Probe(const wchar_t* key, ProbeMode mode);
    void EndGroup();

    wchar_t failure_[kMessageChars] = {};
    wchar_t created_[kPathChars] = {};
    wchar_t groupKey_[kPathChars] = {};
};

// Runs "<package>\<subfolder>\<module>" with the switches `format` makes of installDirectory and
// waits for it; then reads installedVersion. 9024: the package folder is unknown; 9025: the
// command line does not fit; 9026: it did not start; 9027: the version it left is older than the
// package's. `ran` is set when the program was started or tried (not for 9024 and 9025).
int RunComponentSetup(Product& product, const wchar_t* subfolder, const wchar_t* module,
                      const wchar_t* format, bool* ran);

// One start-menu shortcut of a component.
enum ShortcutTarget : unsigned char { kInComponentFiles, kInShellFiles, kWebAddress };
struct ShortcutSpec {
    unsigned nameId;             // 0: the display name; else a string formatted with it
    ShortcutTarget target;       // where `file` lies, or a web address
    unsigned char withoutSuite;  // only when the suite shell neither takes part nor is installed
    const wchar_t* file;         // file name, or the address format (each "%s": `arguments`)
    const wchar_t* arguments;    // or null; for an address the page's name
};
// For an active product when the options ask for a program group: the start-menu folder, then every
// row whose name is not empty. The folder's own code (reported as information 25035); 9034 when the
// component's files folder is unknown, or the shell's while the shell takes part or is installed, or
// any shortcut failed (the rest are made). Without a shell folder, rows in it are left out.
int CreateComponentShortcuts(Product& product, const ShortcutSpec* rows, int count);

// For an active product: "kestrafrm.dll" and "kestrares.dll" from the shell's source folder into the
// files folder as "ovavfrm.dll" and "ovavres.dll", and `helpFile` from the component's own source
// folder into `helpFolder` (null: the files folder). With `unicodeLayer`, on the 9x family,
// "unicows.dll" first (forgiven when one is there already). 9028 with the first failing file name
// in `failures`.
int CopyComponentSupportFiles(Product& product, const wchar_t* helpFile, const wchar_t* helpFolder,
                              bool unicodeLayer, wchar_t* failures, size_t chars);

// "unicows.dll" from `source` into `folder`; a layer already there from an earlier install serves
// as well. A failure goes into `record` (kPathChars) when it holds none yet.
void CopyUnicodeLayer(const wchar_t* source, const wchar_t* folder, wchar_t* record);
// On the 9x family: "unicows.dll" from the shell's source folder into the product's installation
// folder, where its own setup program looks for it (a failure is only recorded in the log).
void CopyUnicodeLayerForSetup(const Product& product);

// For an active product: logs 25533 and writes programGroup (when not empty) as "ProgramGroup" of
// HKLM `key`; a failed write is not reported. Always 0.
int WriteProgramGroupSetting(const Product& product, const wchar_t* key);

// The product's installDirectory and its empty parents go when the product is not installed after
// its setup ran.
void RemoveUnusedInstallFolder(Product& product);

// Deletes `helpFile` in `folder` (errors ignored), then the folder and its parents when left
// empty. Nothing for an empty folder.
void RemoveHelpFile(const wchar_t* folder, const wchar_t* helpFile);
