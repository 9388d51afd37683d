#include "product/product.h"

// Asking the running programs to end arrives with the process-control module.
int Product::StopSuitePrograms() {
    return 0;
}

int Product::StopAntivirusPrograms() {
    return 0;
}
