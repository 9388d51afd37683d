// Windows Installer's packed form of a GUID, the name it gives a product's keys under
// SOFTWARE\Classes\Installer\Products and \Features.
#pragma once
#include <string>

namespace aspm {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces required, hex digits in either case) to the
// 32 upper-case hex digits: the first three groups each reversed, then every following pair of
// digits swapped. Anything else gives an empty text.
std::wstring PackedProductCode(const std::wstring& code);

}  // namespace aspm
