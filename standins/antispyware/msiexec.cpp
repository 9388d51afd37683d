// Stand-in for Windows Installer's "msiexec.exe", as far as the anti-spyware product's
// registered commands use it (pellmar_product.h puts it in "<Windows>\Installer\OvStandins"):
//
//   msiexec.exe /X{product code} [/qr|/qn|...]   removes the product
//   msiexec.exe /I{product code} [/qr|/qn|...]   maintenance of the installed product: changes
//                                                 nothing (no REMOVE or REINSTALL property)
//
// The code may also follow as an argument of its own. Without a display switch (or with "/qf")
// the full interface would wait for a person: nothing happens and the exit code is 1602, as if
// cancelled. A code other than the product's, or a product Windows Installer does not know,
// gives 1605; no /X or /I gives 1639.
//
// Record "msiexec": command line, folder (working folder), action (uninstall, maintenance or
// empty), product (the code as given), ui (the display switch as written), result (removed,
// maintenance, refused, cancelled, unknown product, invalid command line).
// Switches (HKLM\SOFTWARE\OvStandins\msiexec): Refuse (DWORD 1: an uninstall removes nothing
// and ends with 1603), ExitCode (DWORD: the exit code of a removal or maintenance).
#include <windows.h>

#include "arguments.h"
#include "choices.h"
#include "machine.h"
#include "pellmar_product.h"
#include "standin.h"

namespace {

const wchar_t kProgram[] = L"msiexec";
const DWORD kCancelled = 1602;       // ERROR_INSTALL_USEREXIT
const DWORD kFailed = 1603;          // ERROR_INSTALL_FAILURE
const DWORD kUnknownProduct = 1605;  // ERROR_UNKNOWN_PRODUCT
const DWORD kInvalidCommand = 1639;  // ERROR_INVALID_COMMAND_LINE

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    const std::wstring commandLine = GetCommandLineW();
    aspm::InstallerArguments msi =
        aspm::ParseInstallerArguments(aspm::SplitArguments(aspm::ArgumentsAfterProgram(commandLine)));

    std::wstring action;
    std::wstring product;
    for (size_t i = 0; i < msi.others.size(); ++i) {
        const std::wstring& argument = msi.others[i];
        if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) {
            continue;
        }
        wchar_t letter = argument[1];
        if (letter == L'x' || letter == L'X') {
            action = L"uninstall";
        } else if (letter == L'i' || letter == L'I') {
            action = L"maintenance";
        } else {
            continue;
        }
        product = argument.substr(2);
        if (product.empty() && i + 1 < msi.others.size()) {
            product = msi.others[++i];
        }
        break;
    }

    std::wstring result;
    DWORD exitCode = standin::Switch(kProgram, L"ExitCode", 0);
    if (action.empty()) {
        result = L"invalid command line";
        exitCode = kInvalidCommand;
    } else if (!aspm::EqualsNoCase(product, aspm::kPellmarProductCodeB) || !aspm::IsPellmarRegistered()) {
        result = L"unknown product";
        exitCode = kUnknownProduct;
    } else if (aspm::IsFullUi(msi.ui)) {
        result = L"cancelled";
        exitCode = kCancelled;
    } else if (action == L"maintenance") {
        result = L"maintenance";
    } else if (standin::Switch(kProgram, L"Refuse") != 0) {
        result = L"refused";
        exitCode = kFailed;
    } else {
        aspm::RemovePellmar();
        result = L"removed";
    }

    standin::Record(kProgram, {{L"command line", commandLine},
                               {L"folder", aspm::CurrentFolder()},
                               {L"action", action},
                               {L"product", product},
                               {L"ui", msi.ui},
                               {L"result", result}});
    return static_cast<int>(exitCode);
}
