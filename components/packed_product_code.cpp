#include "components/packed_product_code.h"

#include "host/text.h"

namespace {

const size_t kCodeChars = 38;  // braces, 32 digits, 4 dashes
const size_t kDigits = 32;

}  // namespace

bool PackProductCode(const wchar_t* code, wchar_t* packed, size_t chars) {
    TextClear(packed, chars);
    if (code == nullptr || chars <= kDigits || TextLength(code) != kCodeChars || code[0] != L'{' ||
        code[kCodeChars - 1] != L'}') {
        return false;
    }
    wchar_t digits[kDigits];
    size_t count = 0;
    for (size_t i = 1; i < kCodeChars - 1; ++i) {
        wchar_t c = code[i];
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (c != L'-') {
                return false;
            }
            continue;
        }
        if (c >= L'a' && c <= L'f') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) {
            return false;
        }
        digits[count++] = c;
    }
    // Groups of 8, 4 and 4 digits are reversed; the remaining 16 digits are swapped in pairs.
    for (size_t i = 0; i < kDigits; ++i) {
        size_t from = i < 8 ? 7 - i : i < 12 ? 19 - i : i < 16 ? 27 - i : i ^ 1;
        packed[i] = digits[from];
    }
    return true;
}
