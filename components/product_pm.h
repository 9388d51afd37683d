// The anti-spyware component.
#pragma once
#include "components/component_stub.h"

class ProductPM : public ComponentStub {
  public:
    ProductPM();
};
