#include "product/product.h"

// The firewall's list of trusted programs joins with the firewall component; until then there
// is no list to update.
int Product::AddTrustedPrograms(int, int) {
    return 0;
}
