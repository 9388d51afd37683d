// The antivirus component. The package's "av" folder carries the antivirus product's own setup
// program ("setup.exe", which takes the same switches as ovsetup); the engine runs it unattended
// with this run's folder and options, judges it by the version it leaves in the registry, and adds
// the suite's settings, registration, files, shortcuts and trust list around it. Removal runs the
// product's uninstaller "unwexa32.exe" from the Windows folder. Older generations of the suite's own
// antivirus line and competing antivirus products are removed before an install.
#pragma once
#include <windows.h>

#include "components/component_steps.h"
#include "product/product.h"

// The antivirus product's keys under HKEY_LOCAL_MACHINE, written by its setup and programs.
#define OV_AV_KEY L"SOFTWARE\\Orvane\\Anti-Virus"
#define OV_AV_INSTALL_KEY OV_AV_KEY L"\\Install"
#define OV_AV_RESIDENT_KEY OV_AV_KEY L"\\Resident"

// Room for the antivirus component's tables, widened when it is made (see WidenNames).
const size_t kAVTableChars = 1836;
const int kAVConflictCount = 41;

class ProductAV : public Product {
  public:
    ProductAV();

    // "ProductBaseVersion" of the product, "0" when it is not installed.
    int GetInstalledVersion(wchar_t* buffer, size_t chars) override;
    int GetInstalledPath(wchar_t* buffer, size_t chars, int* generation) override;
    // "ProgramPath", else the older generations' "WexaPath", else (outside the install role) the
    // suite's record of it.
    int GetInstalledFilesPath(wchar_t* buffer, size_t chars, int* generation) override;
    int GetInstalledGroup(wchar_t* buffer, size_t chars) override;
    int GetSourcePath(wchar_t* buffer, size_t chars, const wchar_t* fileName) override;
    // An installed antivirus of version 10 or later is never refused, whatever the package holds.
    int CheckVersion() override;
    // Refuses (9009) Windows NT before 4.0, NT 4.0 with "Service Pack 2" and a Windows 95 whose
    // resource language (string 22208) is not "English".
    int CheckOperatingSystem(wchar_t* buffer, size_t chars) override;
    int CheckRegistryPermissions(wchar_t* buffer, size_t chars) override;
    // The Windows folder, the system folder and its "DRIVERS" folder.
    int CheckDirectoryPermissions(wchar_t* buffer, size_t chars) override;
    // "WININET.DLL" 5.0 or later (9013) and Windows Sockets 2.2, both from the system folder.
    int CheckPrerequisites(wchar_t* buffer, size_t chars) override;
    int CheckOtherSessions(wchar_t* buffer, size_t chars) override;
    // The common steps, the Unicode layer on the 9x family, then the running antivirus programs
    // are stopped: 0 or 9023.
    int BeginInstall(wchar_t* buffer, size_t chars) override;
    // "av\setup.exe" with this run's switches: 0, 9024, 9025, 9026 or 9027.
    int Install() override;
    // The common steps (the trust list without a second try at its initialisation), then the first
    // signature download and, for an antivirus installed on its own, the first scan.
    int FinishInstall() override;
    int CreateShortcuts() override;
    int WriteSettings() override;
    int CopySupportFiles(wchar_t* failures, size_t chars) override;
    // The common steps, then the running antivirus programs are stopped: 0 or 9023.
    int BeginUninstall() override;
    // "<Windows>\unwexa32.exe /Silent": 0, 9029, 9030, 9026 or 9039 when still installed after it.
    int Uninstall() override;
    int RemoveSettings() override;
    // The help file, also for a product that is not active.
    int RemoveSupportFiles() override;

  private:
    const wchar_t* groups_[23];
    ConflictingProduct conflictRows_[kAVConflictCount];
    wchar_t tableText_[kAVTableChars];
};

// ---- shared with the firewall components ----------------------------------------------------------

// The components' long tables are kept in the program as ASCII text, each name ended by a zero,
// and widened into the product object when it is made: half the bytes of UTF-16 tables.

// Widens names `first` to `first` + `count` - 1 of `packed` into `*text` (moved past them), each
// one's address into `names`. The text must have room (the packed table's size is enough).
// Returns the packed text after them.
const char* WidenNames(const char* packed, int first, int count, const wchar_t** names, wchar_t** text);

// Conflicting products packed as text: per row one kind character (below) and the Uninstall key
// name. The kind gives the process to wait for after the uninstaller and the extra check.
#define OV_CONFLICT "\1"                   // neither
#define OV_CONFLICT_UNIFIED_FIREWALL "\2"  // "zauninst", IsEngineUnified
#define OV_CONFLICT_PLAIN_ZONEALARM "\3"   // "zauninst", IsPlainZoneAlarm
#define OV_CONFLICT_SANAVO6 "\4"           // the 6.0 home folder still holds its program
#define OV_CONFLICT_NAV_WIZARD "\5"        // its configuration wizard is installed
#define OV_CONFLICT_NSIS "\6"              // "A~NSISu_", the NSIS uninstaller's copy of itself
#define OV_CONFLICT_FIRST_FIREWALL "\7"    // IsFirstFirewall
#define OV_CONFLICT_AV_SIGNATURES "\10"    // the suite's antivirus signatures are there

// Unpacks rows `first` to `first` + `count` - 1 of `packed` into `rows`, their names widened into
// `*text`. Returns the row after them.
ConflictingProduct* UnpackConflicts(const char* packed, int first, int count, ConflictingProduct* rows,
                                    wchar_t** text);

// The antivirus component's conflicting products, in search order. The five rows from
// kAVOwnFirewallFirst stand for the suite's own firewall in its unified mode; the unified firewall
// component takes all the other rows.
extern const char kAVConflicts[];
const int kAVOwnFirewallFirst = 10;
const size_t kAVConflictsChars = 1132;  // sizeof(kAVConflicts)

// The group { "SOFTWARE\Orvane" keep; "SOFTWARE\Orvane\KPFW_TestKey" at once }.
extern const KeyProbe kOrvaneTestKeyProbes[3];
// A probe row that takes its key from the argument and deletes it at once when it created it.
extern const KeyProbe kArgumentAtOnce;

// True when the folder named by HKLM `key` value `value` holds `file` (the path within 260 chars).
// When that names no folder, the folder of `otherKey` value `otherValue` (when given) is taken.
bool RegisteredFolderHolds(const wchar_t* key, const wchar_t* value, const wchar_t* file,
                           const wchar_t* otherKey = nullptr, const wchar_t* otherValue = nullptr);
// Logs the system's description (25509); the version record, null when unknown.
const OSVERSIONINFOEXW* LogWindowsVersion();
// One refusal of the Windows version: reported as information 25012 with code 9009 and `text`,
// which also goes into the buffer while that is empty (a null buffer is allowed). Returns 9009.
int RefuseWindows(const wchar_t* text, wchar_t* buffer, size_t chars);
// Write access to the Windows folder, the system folder and the system folder's "DRIVERS" for an
// available product on the NT family: 0, or 9012 with the first unwritable folder in the buffer.
int ProbeSystemAndDriverFolders(const Product& product, const wchar_t* className, wchar_t* buffer,
                                size_t chars);
// GetInstalledPath of a component whose program folder is its files folder: that folder, else
// (outside the install role) "Path" of its settings key, trimmed; non-zero when not empty. A null
// buffer logs 25520 with `operation`. `generation` (may be null) receives 0.
int InstalledFolder(Product& product, const wchar_t* operation, wchar_t* buffer, size_t chars,
                    int* generation);
// Reports 9015 as information (25019 with the display name, 25517 `package`, 25518 `installed`)
// and returns it.
int RefuseOlderPackage(Product& product, const wchar_t* package, const wchar_t* installed);
// The product still reports an installed version other than "0".
bool StillReportsVersion(Product& product);
