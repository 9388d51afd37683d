// One run of a setup package's ovsetup.exe with a person in front of it. The run is a process of
// its own; the person finds its dialogs on the screen and works them through window messages only,
// as clicks and typing would. A watcher thread notes every dialog the run shows, in order, with the
// texts it carried when it came up (and, for the progress window, its bar's range).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace installtest {

// Titles of the windows a person meets during an install.
extern const wchar_t kConflictTitle[];
extern const wchar_t kAgreementTitle[];
extern const wchar_t kDestinationTitle[];
extern const wchar_t kComponentsTitle[];
extern const wchar_t kProgressTitle[];
extern const wchar_t kRestartTitle[];
extern const wchar_t kSuiteName[];  // also the caption of the suite's message boxes

// A dialog as it came up.
struct Shown {
    HWND window = nullptr;
    std::wstring title;
    std::wstring texts;  // its static texts, joined by "\n"
    int barLow = -1;     // the progress bar's range, when it has one
    int barHigh = -1;
};

// A copy of one of the build's sample packages (build/<preset>/packages/<name>) in a scratch
// folder, without the component folders listed in `without`.
class Package {
  public:
    explicit Package(const std::wstring& name, const std::vector<std::wstring>& without = {});
    const std::wstring& root() const { return root_; }

  private:
    ovtest::ScratchDir scratch_;
    std::wstring root_;
};

class SetupRun {
  public:
    // Starts the package's ovsetup.exe with `switches`.
    SetupRun(const Package& package, const std::wstring& switches);
    // A run still going at the end of a test (a failed one) is ended.
    ~SetupRun();
    SetupRun(const SetupRun&) = delete;
    SetupRun& operator=(const SetupRun&) = delete;

    bool started() const { return process_ != nullptr; }
    // The visible dialog of the run with this title, waited for; null when the run ended first or
    // the time passed.
    HWND WaitFor(const std::wstring& title, DWORD timeoutMs = 60000);
    // The run's exit code; -1 when it did not end in time.
    int ExitCode(DWORD timeoutMs = 180000);
    // Every dialog the run showed so far, in the order they came up.
    std::vector<Shown> shown() const;
    std::vector<std::wstring> Titles() const;

    // The person's hands.
    static void Press(HWND dialog, int button);
    static void Type(HWND dialog, int item, const std::wstring& text);
    static std::wstring Text(HWND window);
    static std::wstring ItemText(HWND dialog, int item);
    // Clears a check box as a click on it would.
    static void Untick(HWND dialog, int item);
    // Waits until the window is gone; false when it stayed.
    static bool WaitGone(HWND window, DWORD timeoutMs = 10000);

  private:
    static DWORD WINAPI Watch(LPVOID self);
    void NoteNewDialogs();

    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    HANDLE stop_ = nullptr;
    HANDLE watcher_ = nullptr;
    CRITICAL_SECTION noting_;
    mutable CRITICAL_SECTION lock_;
    std::vector<Shown> shown_;
};

}  // namespace installtest
