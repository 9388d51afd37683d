#include "antispam_product.h"

#include "choices.h"

namespace aspm {

const AntiSpamFile kAntiSpamFiles[3] = {
    {L"Z.dll", L"ZMAIN"},
    {L"ZAddIn.dll", L"ZADDIN"},
    {L"ZOEHook.dll", L"ZOEHOOK"},
};

std::wstring AntiSpamUninstallKey() {
    return std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") +
           kAntiSpamUninstallKeyName;
}

std::wstring AntiSpamAddInClassKey() {
    return std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + kAntiSpamAddInClassGuid;
}

std::wstring AntiSpamAddInProgIdKey() {
    return std::wstring(L"SOFTWARE\\Classes\\") + kAntiSpamAddInProgId;
}

std::wstring AntiSpamOutlookAddInKey() {
    return std::wstring(L"SOFTWARE\\Microsoft\\Office\\Outlook\\Addins\\") + kAntiSpamAddInProgId;
}

}  // namespace aspm
