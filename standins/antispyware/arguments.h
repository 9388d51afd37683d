// Command-line texts as the stand-ins of the anti-spam and anti-spyware products read them.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace aspm {

// The text after the program name of a full command line (GetCommandLineW), without the blanks
// that separate them. The program name ends at its closing quote when it starts with one,
// otherwise at the first blank or tab.
std::wstring ArgumentsAfterProgram(const std::wstring& commandLine);

// Splits arguments by the C run-time's rules: blanks and tabs separate outside quotes; a quote
// opens or closes a quoted part and is dropped; "" inside a quoted part is one quote; 2n
// backslashes before a quote become n (the quote then counts as above), 2n+1 become n and a
// literal quote; other backslashes are plain characters.
std::vector<std::wstring> SplitArguments(const std::wstring& text);

bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
// `text` begins with `prefix`, compared without regard to case.
bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix);

// Windows Installer's display switches: "/q", "/qn", "/qb", "/qr", "/qf" (with their "+", "-"
// and "!" modifiers), "/quiet" and "/passive", also written with "-" and in any case.
bool IsUiSwitch(const std::wstring& argument);
// Whether the switch leaves the full user interface, which nobody answers in a test: no switch
// at all (empty) or "/qf".
bool IsFullUi(const std::wstring& uiSwitch);

// Arguments given to Windows Installer: PROPERTY=value pairs (a name without a leading "/" or
// "-", then "="), the display switch, and everything else, each in the order given.
struct InstallerArguments {
    std::vector<std::pair<std::wstring, std::wstring>> properties;
    std::wstring ui;  // the last display switch as written; empty when none was given
    std::vector<std::wstring> others;

    // The value of a property by its exact (case-sensitive) name; empty when absent.
    std::wstring Property(const std::wstring& name) const;
};

InstallerArguments ParseInstallerArguments(const std::vector<std::wstring>& arguments);

// The texts joined by single blanks.
std::wstring JoinWithBlanks(const std::vector<std::wstring>& texts);

}  // namespace aspm
