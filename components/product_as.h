// The anti-spam component.
#pragma once
#include "components/component_stub.h"

class ProductAS : public ComponentStub {
  public:
    ProductAS();
};

// A stand-alone edition of the anti-spam product is on the machine (not the suite's own): the
// cleanup keeps away from its folders and registry.
int IsStandaloneAntiSpam(wchar_t* buffer, size_t chars);
