// "fwconfig.txt": how the firewall engine presents itself inside the suite. The engine's setup
// reads it after its "/M=" switch.
#include "components/product_fw.h"
#include "host/handles.h"
#include "host/paths.h"
#include "setup/errors.h"

int ProductFW::WriteInstallConfigFile(wchar_t* buffer, size_t chars) {
    if (!CheckBuffer(buffer, chars, L"ProductFW::WriteInstallConfigFile")) {
        return ErrorFirewallConfigPath;
    }
    TextClear(buffer, chars);
    wchar_t temp[kPathChars];
    DWORD length = GetTempPathW(kPathChars, temp);
    if (length == 0 || length >= kPathChars || !AppendPath(buffer, chars, temp, L"fwconfig.txt")) {
        TextClear(buffer, chars);
        return ErrorFirewallConfigPath;
    }
    ScopedHandle file(CreateFileW(buffer, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        return ErrorFirewallConfigWrite;
    }
    // Values go as they are, in the ANSI code page: no quoting, escaping or trimming.
    const wchar_t* const lines[][2] = {
        {L"OEM_APPTITLE=", GetDisplayName()}, {L"OEM_MAINDIR=", installDirectory},
        {L"OEM_EXENAME=ov.exe", nullptr},     {L"OEM_SHTCTFLDR=", programGroup},
        {L"OEM_CONAME=Orvane", nullptr},
    };
    int result = 0;
    for (const auto& line : lines) {
        wchar_t text[kMessageChars + kPathChars];
        AnsiText bytes;
        if (TextFormat(text, kMessageChars + kPathChars, L"%s%s\r\n", line[0],
                       line[1] != nullptr ? line[1] : L"")) {
            bytes = WideToMultiByte(text);
        }
        DWORD written = 0;
        if (bytes.size() == 0 ||
            !WriteFile(file.Get(), bytes.c_str(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size()) {
            result = ErrorFirewallConfigWrite;
        }
    }
    return result;
}
