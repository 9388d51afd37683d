// Helpers for the test programs. They run under wine64 inside the project's prefix
// (or an isolated copy of it); see tests/wine/run-test.sh.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace ovtest {

// Folder of the running test program: the build's bin folder, where the stand-ins are too.
std::wstring BinDir();

// A fresh folder below the temporary folder, removed with everything in it at destruction.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

  private:
    std::wstring path_;
};

// Redirects HKLM and HKCU of this process to scratch keys for its lifetime. Programs the test
// starts do not see the redirection.
class RegistryOverride {
  public:
    RegistryOverride();
    ~RegistryOverride();
    HKEY hklm() const { return hklm_; }
    HKEY hkcu() const { return hkcu_; }

  private:
    std::wstring base_;
    HKEY hklm_ = nullptr;
    HKEY hkcu_ = nullptr;
};

// Starts a command line and waits for it; the exit code, or -1 when it did not start or
// did not end within the timeout.
int RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000);

// Makes the named program (file name only) report itself as Windows `version` ("win98",
// "nt40", ...) the next time it starts; an empty version removes the setting.
void SetProgramWindowsVersion(const std::wstring& exeName, const std::wstring& version);

// A restart of the Wine "machine": RunOnce values run, pending renames and deletions happen.
// Only for tests that run isolated.
int RestartWindows();

bool IsIsolated();  // the test runs in a prefix of its own

std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool PathExists(const std::wstring& path);

// Registry values for arranging a case (the real registry of the prefix, or the redirected one).
void SetRegString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value);
void SetRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
bool GetRegString(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring* value);

// Answers the message boxes and dialogs of this process as a person would: a thread that waits
// for a top-level dialog window ("#32770") of the process, records its caption and text, and
// presses a button (IDOK unless told otherwise). Stops at destruction.
class DialogAnswerer {
  public:
    explicit DialogAnswerer(int button = IDOK);
    ~DialogAnswerer();
    // Waits until `count` dialogs were answered or the timeout passed; true when they were.
    bool WaitAnswered(int count, DWORD timeoutMs = 10000);
    int answered() const;
    std::vector<std::wstring> captions() const;
    std::vector<std::wstring> texts() const;  // the static texts of each dialog, joined by "\n"

  private:
    static DWORD WINAPI Thread(LPVOID self);
    int button_;
    HANDLE stop_;
    HANDLE thread_;
    mutable CRITICAL_SECTION lock_;
    std::vector<std::wstring> captions_;
    std::vector<std::wstring> texts_;
};

// A visible top-level window of this process with exactly this title, waited for up to
// `timeoutMs`; null when none came.
HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs = 10000);
// Presses button `id` of a dialog as a click would (posted, so a modal loop picks it up).
void PressButton(HWND dialog, int id);

std::string Narrow(const std::wstring& text);  // UTF-8, for messages
std::wstring Widen(const std::string& text);   // from UTF-8

}  // namespace ovtest
