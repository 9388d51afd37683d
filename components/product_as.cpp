#include "components/product_as.h"

namespace {

const wchar_t* const kASKeys[] = {L"Tarnel Suite Personal\\as", L"Tarnel Nimbo Carapel\\Tarnel Anti-Spam"};

}  // namespace

ProductAS::ProductAS() : ComponentStub(136, L"as", kASKeys, 2) {}

int IsStandaloneAntiSpam(wchar_t*, size_t) {
    return 0;
}
