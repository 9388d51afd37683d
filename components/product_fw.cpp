#include "components/product_fw.h"

namespace {

const wchar_t* const kFWKeys[] = {L"Tarnel Personal Firewall", L"Tarnel Suite Personal\\fw"};
const wchar_t* const kFWUKeys[] = {L"Tarnel Nimbo Carapel", L"Tarnel Suite Personal\\fw"};

}  // namespace

ProductFW::ProductFW() : ComponentStub(131, L"fw", kFWKeys, 2) {}
ProductFWU::ProductFWU() : ComponentStub(122, L"fw", kFWUKeys, 2) {}

int IsPlainZoneAlarm(wchar_t*, size_t) {
    return 0;
}
