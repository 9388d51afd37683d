// A component of the suite as the roles see it. The full set of operations arrives with the
// product model; the roles already rely on these flags and on deleting products by base pointer.
#pragma once

class Product {
public:
    virtual ~Product() {}

    int available = 0;  // the package holds this component
    int accepted = 0;   // it passed its checks
    int active = 0;     // it takes part in this run
};
