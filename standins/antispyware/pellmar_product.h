// The anti-spyware product as Windows Installer leaves it on the machine: its files, its
// registration (Add/Remove Programs entry, the Installer's product, feature and per-machine
// keys, COM classes and interfaces, the product's own settings key) and its desktop shortcuts.
// "Pellmar.exe" installs it, our "msiexec.exe" removes it.
#pragma once
#include <string>

namespace aspm {

// The product's program files and the RCDATA names under which "Pellmar.exe" carries them.
struct PellmarFile {
    const wchar_t* name;
    const wchar_t* resource;
};
extern const PellmarFile kPellmarFiles[4];

// Where the uninstall and maintenance commands point: a stand-in of Windows Installer's
// "msiexec.exe" of our own, in "<Windows>\Installer\OvStandins" (never Wine's).
std::wstring MsiexecStandinPath();

struct PellmarInstallation {
    std::wstring folder;        // INSTALLDIR
    std::wstring version;       // a.b.c.d
    std::wstring sourceFolder;  // the folder of the bootstrapper, the package's source
};

// Writes every key and value of the installed product (files and shortcuts are separate).
// False when a key could not be written.
bool RegisterPellmar(const PellmarInstallation& installation);
// Both desktop shortcuts to the product's main program; false when either failed.
bool CreatePellmarShortcuts(const std::wstring& folder);

// Windows Installer knows the product: its per-machine install properties are there (what the
// setup engine hides or restores does not count).
bool IsPellmarRegistered();
// The product's folder as Windows Installer recorded it; empty when not registered.
std::wstring PellmarInstalledFolder();

// Removes the files, shortcuts, keys and values of the product; the folder goes when empty.
void RemovePellmar();

}  // namespace aspm
