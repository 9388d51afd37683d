#include "components/product_av.h"

namespace {

const wchar_t* const kAVKeys[] = {L"WEXAWIN32Vp5", L"Tarnel Suite Personal\\av",
                                  L"Tarnel Nimbo Carapel\\Tarnel Nimbo Antivirus"};

}  // namespace

ProductAV::ProductAV() : ComponentStub(121, L"av", kAVKeys, 3) {}
