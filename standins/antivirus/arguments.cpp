#include "arguments.h"

#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

namespace av {

namespace {

const size_t kMaxArguments = 256;

bool IsOption(const std::wstring& argument) {
    return !argument.empty() && (argument[0] == L'-' || argument[0] == L'/' || argument[0] == L'\\');
}

bool IsSwitch(const std::wstring& argument, const wchar_t* name) {
    return IsOption(argument) && lstrcmpiW(argument.c_str() + 1, name) == 0;
}

// The value of "<option>name=value", or false when the argument is not that option.
bool ValueOf(const std::wstring& argument, const wchar_t* name, std::wstring* value) {
    size_t length = wcslen(name);
    if (!IsOption(argument) || argument.size() < length + 2 || argument[length + 1] != L'=' ||
        _wcsnicmp(argument.c_str() + 1, name, length) != 0) {
        return false;
    }
    *value = argument.substr(length + 2);
    return true;
}

}  // namespace

std::vector<std::wstring> SplitArguments(const std::wstring& text) {
    std::vector<std::wstring> arguments;
    size_t i = 0;
    const size_t n = text.size();
    while (arguments.size() < kMaxArguments) {
        while (i < n && (text[i] == L' ' || text[i] == L'\t'))
            ++i;
        if (i >= n)
            break;
        std::wstring argument;
        bool quoted = false;
        while (i < n) {
            wchar_t c = text[i];
            if ((c == L' ' || c == L'\t') && !quoted)
                break;
            if (c == L'"') {
                if (quoted && i + 1 < n && text[i + 1] == L'"') {
                    argument += L'"';
                    quoted = false;
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
                continue;
            }
            if (c == L'\\' && i + 1 < n && text[i + 1] == L'"') {
                argument += L'"';
                i += 2;
                continue;
            }
            argument += c;
            ++i;
        }
        if (!argument.empty())
            arguments.push_back(argument);
    }
    return arguments;
}

SetupArguments ParseSetupArguments(const std::wstring& text) {
    SetupArguments result;
    std::wstring value;
    for (const std::wstring& argument : SplitArguments(text)) {
        if (IsSwitch(argument, L"Silent")) {
            result.displayLevel = 0;
        } else if (ValueOf(argument, L"DisplayLevel", &value)) {
            result.displayLevel = _wtoi(value.c_str());
        } else if (ValueOf(argument, L"Group", &value)) {
            result.group = value;
        } else if (ValueOf(argument, L"Path", &value) || ValueOf(argument, L"ProductDest", &value)) {
            result.destination = value;
            result.destinationGiven = true;
        } else if (IsSwitch(argument, L"NoScan")) {
            result.scan = false;
        } else if (IsSwitch(argument, L"NoUpdateFromWeb")) {
            result.updateFromWeb = false;
        } else if (IsSwitch(argument, L"NoUpdateFirewall")) {
            result.updateFirewall = false;
        } else if (IsSwitch(argument, L"NoProductCheck") || IsSwitch(argument, L"IgnoreOtherAV")) {
            result.productCheck = false;
        } else if (IsSwitch(argument, L"NoUninstallInfo")) {
            result.uninstallInfo = false;
        } else if (IsSwitch(argument, L"NoProgramGroup")) {
            result.createProgramGroup = false;
        }
    }
    return result;
}

bool HasSwitch(const std::wstring& text, const wchar_t* name) {
    for (const std::wstring& argument : SplitArguments(text)) {
        if (IsSwitch(argument, name))
            return true;
    }
    return false;
}

}  // namespace av
