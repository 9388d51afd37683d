// The antivirus component.
#pragma once
#include "components/component_stub.h"

class ProductAV : public ComponentStub {
  public:
    ProductAV();
};
