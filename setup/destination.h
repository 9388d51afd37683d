// The install destination: taken from the command line, kept at the folder of an installed suite
// of the same edition, or proposed below Program Files, then confirmed or changed by the person in
// the framework's dialog 230. The final folder goes to the options' destination, from where the
// components take it.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "host/text.h"

// Results of ValidateDestinationPath; 0 is acceptable.
enum DestinationCheck {
    kDestinationValid = 0,
    kDestinationPercent = 1,       // holds a percent sign
    kDestinationNotLocal = 2,      // a network path, or a drive that is not a fixed disk
    kDestinationMalformed = 3,     // a character or sequence no folder path may have
    kDestinationEmpty = 4,         // nothing that names a folder
    kDestinationTooLong = 5,       // no path at all, or kDestinationPathLimit chars or more
    kDestinationDriveRoot = 6,     // "C:\", "C:", "\", also after "\\?\"
    kDestinationWindows = 7,       // the Windows directory or a folder inside it
    kDestinationProgramFiles = 8,  // the Program Files directory itself
    kDestinationDocuments = 9,     // inside the all-users (profiles) or the user's documents folder
    kDestinationComponent = 10,    // the installation folder of an installed component
};
const size_t kDestinationPathLimit = 1040;

// Checks a candidate folder. The path may be in double quotes (then the quotes must close it)
// and may start with "\\?\" (the folder comparisons then ignore those four chars). With
// `checkComponents`, the installed folders of the current role's products other than the suite
// shell are refused too. Every non-zero result is logged as information 25025 with the path and
// the result as its value; the caller reports it to the person where that is wanted.
int ValidateDestinationPath(const wchar_t* path, int checkComponents);

class DestinationChoice {
  public:
    // Reads the installed suite's folder and decides the proposed folder: the command line's
    // destination when it is valid and no suite of the package's edition is installed; the
    // installed suite's folder when one of the package's edition is; otherwise Program Files
    // joined with the suite's folder name (product string 22013). An invalid command-line
    // destination is logged (9019) and leaves the proposal empty, so the dialog asks; at display
    // level 0 it is an error and the result is 9019. Otherwise 0.
    int Prepare();
    // Shows dialog 230 owned by `owner` unless the command line gave a destination and a folder is
    // proposed (a silent run without one still asks). 0 when a folder was settled: it is then in
    // chosenFolder and the options' destination. 9017 when the person cancelled or the dialog could
    // not be shown.
    int Ask(HWND owner);
    // With a dialog, reads its path field into `buffer` (`chars` with the terminator) first; then
    // trims the path end and validates it, refusing installed components' folders unless the suite's
    // folder is fixed. 0 when valid, the buffer then holding the folder without enclosing quotes;
    // 9019 when not, the buffer holding the trimmed text.
    int Validate(HWND dialog, wchar_t* buffer, size_t chars);

    wchar_t installedFolder[kPathChars] = {};     // installed suite's folder, or empty
    wchar_t chosenFolder[kPathChars] = {};        // proposed, then chosen
    wchar_t installedSuiteName[kPathChars] = {};  // set when the installed suite fixes the folder

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void InitDialog(HWND dialog);
    void Confirm(HWND dialog);
    void Browse(HWND dialog);
};
