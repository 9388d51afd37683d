#include "packed_code.h"

namespace aspm {

namespace {

// ASCII hex digits only: the C library's classification may accept other digits.
bool IsHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

wchar_t Upper(wchar_t c) {
    return (c >= L'a' && c <= L'f') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

}  // namespace

std::wstring PackedProductCode(const std::wstring& code) {
    // Offsets of the digits in the braced text, group by group.
    static const size_t kGroupStart[] = {1, 10, 15, 20, 25};
    static const size_t kGroupLength[] = {8, 4, 4, 4, 12};
    if (code.size() != 38 || code[0] != L'{' || code[37] != L'}' || code[9] != L'-' || code[14] != L'-' ||
        code[19] != L'-' || code[24] != L'-') {
        return std::wstring();
    }
    std::wstring groups[5];
    for (int g = 0; g < 5; ++g) {
        for (size_t i = 0; i < kGroupLength[g]; ++i) {
            wchar_t c = code[kGroupStart[g] + i];
            if (!IsHexDigit(c)) {
                return std::wstring();
            }
            groups[g] += Upper(c);
        }
    }
    std::wstring packed;
    for (int g = 0; g < 3; ++g) {
        packed.append(groups[g].rbegin(), groups[g].rend());
    }
    std::wstring tail = groups[3] + groups[4];
    for (size_t i = 0; i < tail.size(); i += 2) {
        packed += tail[i + 1];
        packed += tail[i];
    }
    return packed;
}

}  // namespace aspm
