// The switches of the antivirus setup: the same options, split and matched the same way, as the
// suite's own setup program takes, because the suite hands its own switches on to this program.
#pragma once
#include <string>
#include <vector>

namespace av {

struct SetupArguments {
    int displayLevel = -1;  // -1: not given; "/Silent" gives 0
    bool destinationGiven = false;
    std::wstring destination;  // "/ProductDest=" or "/Path="
    std::wstring group;        // "/Group="
    bool scan = true;
    bool updateFromWeb = true;
    bool updateFirewall = true;
    bool productCheck = true;
    bool uninstallInfo = true;
    bool createProgramGroup = true;
};

// Splits the text after the program name into arguments: blanks and tabs separate, double quotes
// group (a doubled quote inside a quoted part is one literal quote and closes the part), a
// backslash before a quote makes the quote literal; empty arguments are dropped, at most 256 kept.
std::vector<std::wstring> SplitArguments(const std::wstring& text);

// Options begin with "-", "/" or "\"; names match without regard to case; a value follows "=".
// Unknown options and other arguments are ignored.
SetupArguments ParseSetupArguments(const std::wstring& text);

// True when one argument is the switch `name` ("/Silent", "-silent", ...).
bool HasSwitch(const std::wstring& text, const wchar_t* name);

}  // namespace av
