#include "components/product_pm.h"

namespace {

const wchar_t* const kPMKeys[] = {L"Tarnel Suite Personal\\pm", L"Tarnel Nimbo Carapel\\Tarnel Pellmar"};

}  // namespace

ProductPM::ProductPM() : ComponentStub(137, L"pm", kPMKeys, 2) {}
