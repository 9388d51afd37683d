// Stopping the suite's and the antivirus product's running programs before their files are replaced
// or removed. Nothing is killed: every program is asked to end through its own command-line switch,
// its windows are sent messages, the messenger service gets the stop control, and the named mutexes
// the programs hold while they run are waited on. Runs on the role's worker thread.
#pragma once
#include <windows.h>

const size_t kWindowClassChars = 128;  // window class names, terminator included
const size_t kWindowTitleChars = 256;  // window titles, terminator included

// The three generations of the antivirus main window (GetAntivirusWindowNames).
enum AntivirusWindowKind {
    kAntivirusWindowByWindows = 1,    // oldest: named after the short Windows name
    kAntivirusWindowByProductId = 2,  // by the installed product id
    kAntivirusWindowInstalled = 3,    // from the installed product's "ovavprod.dll"
};

// Runs "<folder>\ovkestra.exe -k", then "<folder>\ovkestradt.exe -k" (each waited for without
// limit; nothing runs for an empty folder, a program that cannot be started is skipped), waits a
// second for them to end, then logs report 25526 with code 9023 for each of the two names. Always 0.
int StopSuitePrograms(const wchar_t* suiteFilesFolder);

// Stops the antivirus programs of `avFilesFolder` (the component's installed files folder; may be
// empty, then no program is started but windows, mutexes and the service are still handled). The
// product id (0 when none is installed) picks the generation of window names; the HKLM Run values
// and the short Windows name are read here. First waits, bounded, for the programs that start with
// Windows, so that none starts after it was stopped. 0, or ErrorProgramStillRunning (9023) when
// something is still running at the end; each such program is logged as report 25526 with that code.
// Worst case about 10 s for the start-up wait, 10.5 s each for the tray and the identification
// program, 10 minutes while the signature download program finishes a download.
int StopAntivirusPrograms(DWORD productId, const wchar_t* avFilesFolder);

// Window search used below: a top-level window with `windowClass` and `title`. A null or empty class
// matches any class; a null title matches any title, an empty one only a window without a title.
// Both null or empty: nothing is searched.

// Waits while the window exists, polling every 100 ms (250 ms when `seconds` is 16 or more). Null at
// once when both names are empty, null once the window is gone; with `seconds` not 0, after that
// many seconds the result of one more search. 0 seconds: no limit.
HWND WaitWindowGone(unsigned seconds, const wchar_t* title, const wchar_t* windowClass);

// Up to `count` times while the window exists: sends it `message` (no parameters, synchronously)
// and waits up to 3 s for it to disappear. The window if it is still there, else null (also at
// once when both names are empty).
HWND CloseWindows(const wchar_t* title, const wchar_t* windowClass, UINT message, int count);

// The class (kWindowClassChars) and title (kWindowTitleChars) of the antivirus main window of
// `kind`; both always written. Kind 1: "Wexa<shortName>" and "Wexa for Windows <shortName>". Kind 2:
// by product id (0, 1: "WexaAV" / "Wexa Anti-Virus"; 2: "Sanavo" / "Sanavo Personal Edition"; 3:
// "Sanavo" / "Sanavo SOHO Edition"; 4, 5: "Sanavo" / "Tarnel Nimbo Antivirus"), empty for any other
// id. Kind 3: strings 22001 (class) and 22000 (title) of "<filesFolder>\ovavprod.dll", each one
// missing (or the library) giving "NIMBOAVAPP" / "Tarnel Nimbo Antivirus". Another kind: both empty.
void GetAntivirusWindowNames(int kind, DWORD productId, const wchar_t* shortName, const wchar_t* filesFolder,
                             wchar_t* windowClass, wchar_t* title);
