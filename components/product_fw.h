// The firewall component and its variant for the firewall engine's unified mode.
#pragma once
#include "components/component_stub.h"

class ProductFW : public ComponentStub {
  public:
    ProductFW();
};

class ProductFWU : public ComponentStub {
  public:
    ProductFWU();
};

// A stand-alone edition of the firewall engine is on the machine (not the suite's own build): the
// cleanup keeps away from its folders and registry.
int IsPlainZoneAlarm(wchar_t* buffer, size_t chars);
