#include "arguments.h"

#include <windows.h>

namespace aspm {

std::wstring ArgumentsAfterProgram(const std::wstring& commandLine) {
    size_t i = 0;
    while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t')) {
        ++i;
    }
    if (i < commandLine.size() && commandLine[i] == L'"') {
        size_t close = commandLine.find(L'"', i + 1);
        i = close == std::wstring::npos ? commandLine.size() : close + 1;
    }
    while (i < commandLine.size() && commandLine[i] != L' ' && commandLine[i] != L'\t') {
        ++i;
    }
    while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t')) {
        ++i;
    }
    return commandLine.substr(i);
}

std::vector<std::wstring> SplitArguments(const std::wstring& text) {
    std::vector<std::wstring> arguments;
    size_t i = 0;
    const size_t n = text.size();
    for (;;) {
        while (i < n && (text[i] == L' ' || text[i] == L'\t')) {
            ++i;
        }
        if (i >= n) {
            return arguments;
        }
        std::wstring argument;
        bool quoted = false;
        while (i < n && (quoted || (text[i] != L' ' && text[i] != L'\t'))) {
            if (text[i] == L'\\') {
                size_t backslashes = 0;
                while (i < n && text[i] == L'\\') {
                    ++backslashes;
                    ++i;
                }
                if (i < n && text[i] == L'"') {
                    argument.append(backslashes / 2, L'\\');
                    if (backslashes % 2 == 1) {
                        argument += L'"';
                        ++i;
                    }
                } else {
                    argument.append(backslashes, L'\\');
                }
            } else if (text[i] == L'"') {
                if (quoted && i + 1 < n && text[i + 1] == L'"') {
                    argument += L'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                argument += text[i++];
            }
        }
        arguments.push_back(argument);
    }
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool IsUiSwitch(const std::wstring& argument) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) {
        return false;
    }
    std::wstring name = argument.substr(1);
    if (EqualsNoCase(name, L"quiet") || EqualsNoCase(name, L"passive")) {
        return true;
    }
    // /q{n|b|r|f} with optional "+", "-" or "!" modifiers; "/q" alone is "/qn".
    if (name[0] != L'q' && name[0] != L'Q') {
        return false;
    }
    if (name.size() == 1) {
        return true;
    }
    if (std::wstring(L"nbrfNBRF").find(name[1]) == std::wstring::npos) {
        return false;
    }
    return name.find_first_not_of(L"+-!", 2) == std::wstring::npos;
}

bool IsFullUi(const std::wstring& uiSwitch) {
    return uiSwitch.empty() || StartsWithNoCase(uiSwitch.substr(1), L"qf");
}

std::wstring InstallerArguments::Property(const std::wstring& name) const {
    for (const auto& property : properties) {
        if (property.first == name) {
            return property.second;
        }
    }
    return std::wstring();
}

InstallerArguments ParseInstallerArguments(const std::vector<std::wstring>& arguments) {
    InstallerArguments parsed;
    for (const std::wstring& argument : arguments) {
        size_t equals = argument.find(L'=');
        if (IsUiSwitch(argument)) {
            parsed.ui = argument;
        } else if (equals != std::wstring::npos && equals > 0 && argument[0] != L'/' && argument[0] != L'-') {
            parsed.properties.emplace_back(argument.substr(0, equals), argument.substr(equals + 1));
        } else {
            parsed.others.push_back(argument);
        }
    }
    return parsed;
}

std::wstring JoinWithBlanks(const std::vector<std::wstring>& texts) {
    std::wstring joined;
    for (const std::wstring& text : texts) {
        if (!joined.empty()) {
            joined += L' ';
        }
        joined += text;
    }
    return joined;
}

}  // namespace aspm
