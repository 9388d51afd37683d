// Which products each role lists, and which of them an install selects. Every role processes the
// components in one order: anti-spyware, anti-spam, antivirus, firewall, unified firewall.
#include "components/components.h"
#include "components/product_main.h"
#include "host/paths.h"
#include "product/product.h"
#include "setup/roles.h"
#include "ui/resource_string.h"

namespace {

// Appends a new product, or deletes it when the list is full; a product that could not be made
// (no memory) is simply not listed.
void Append(ProductList* products, Product* product) {
    if (product != nullptr && !products->Append(product)) {
        delete product;
    }
}

void AppendComponents(ProductList* products) {
    Append(products, new ProductPM);
    Append(products, new ProductAS);
    Append(products, new ProductAV);
    Append(products, new ProductFW);
    Append(products, new ProductFWU);
}

}  // namespace

void DeleteProducts(ProductList* products) {
    for (int i = 0; i < products->count(); ++i) {
        if ((*products)[i] != &ProductMain::Get()) {
            delete (*products)[i];
        }
    }
    products->Clear();
}

void SetupInstall::BuildProductList() {
    AppendComponents(&products);
}

int SetupInstall::SelectProducts(bool all) {
    availableCount = 0;
    selectedCount = 0;
    Product* last = nullptr;
    for (int i = 0; i < products.count(); ++i) {
        Product* product = products[i];
        product->active = 0;
        if (!product->IsAvailable()) {
            continue;
        }
        ++availableCount;
        if (all || product->accepted) {
            product->active = 1;
            ++selectedCount;
            last = product;
        }
    }
    ProductMain& shell = ProductMain::Get();
    if (availableCount == 1) {
        // A single component is installed on its own.
        shell.SetShellNeeded(0);
        shell.primaryComponent = last;
    } else if (availableCount > 1) {
        shell.SetShellNeeded(1);
        shell.primaryComponent = last;
        shell.TakePackageCode(shell.GetPackageProductCode());
    }
    return selectedCount == 0 ? ErrorNoProductAvailable : 0;
}

void SetupUninstall::BuildProductList() {
    AppendComponents(&products);
    wchar_t text[64];
    LoadResourceString(nullptr, 22237, text, 64);
    unsigned code = static_cast<unsigned>(ParseDecimal(text));
    if (code == 0) {
        code = 140;  // an uninstaller without a code stands for the suite
    }
    int selected = -1;  // index of the one component the code names
    switch (code) {
        case 121:
        case 128:
        case 133:
        case 134:
        case 135:
            selected = 2;
            break;
        case 122:
            selected = 4;
            break;
        case 131:
            selected = 3;
            break;
        case 136:
            selected = 1;
            break;
        case 137:
            selected = 0;
            break;
        case 123:
        case 140: {
            ProductMain& shell = ProductMain::Get();
            shell.SetShellNeeded(1);
            shell.TakePackageCode(code);
            for (int i = 0; i < products.count(); ++i) {
                Product* product = products[i];
                wchar_t version[kPathChars];
                if (product->IsInstalled(1) && product->IsComponentCode(product->GetPackageProductCode()) &&
                    product->GetInstalledVersion(version, kPathChars) &&
                    TextCompareNoCase(version, L"0") != 0) {
                    product->available = 1;
                }
            }
            break;
        }
        default:
            break;
    }
    if (selected >= 0 && selected < products.count()) {
        products[selected]->available = 1;
    }
}

void SetupCleanup::BuildProductList() {
    bool stillInstalled = false;
    // Lists `product` when it is gone, else discards it and notes that something remains.
    auto listIfGone = [&](Product* product) {
        if (product == nullptr) {
            return;
        }
        if (product->IsInstalled(1)) {
            stillInstalled = true;
            delete product;
        } else {
            Append(&products, product);
        }
    };
    listIfGone(new ProductPM);

    Product* antiSpam = new ProductAS;
    if (antiSpam != nullptr && !antiSpam->IsInstalled(1) && IsStandaloneAntiSpam(nullptr, 0)) {
        delete antiSpam;  // another edition's files: not ours to clean
    } else {
        listIfGone(antiSpam);
    }

    listIfGone(new ProductAV);

    Product* firewall = new ProductFW;
    Product* unified = new ProductFWU;
    bool firewallInstalled =
        (firewall != nullptr && firewall->IsInstalled(1)) || (unified != nullptr && unified->IsInstalled(1));
    if (firewallInstalled || IsPlainZoneAlarm(nullptr, 0)) {
        stillInstalled |= firewallInstalled;
        delete firewall;
        delete unified;
    } else {
        Append(&products, firewall);
        Append(&products, unified);
    }

    if (!stillInstalled) {
        ProductMain& shell = ProductMain::Get();
        shell.SetShellNeeded(1);
        Append(&products, &shell);
    }
}

void SetupTrustList::BuildProductList() {
    Product* candidates[] = {new ProductMain, new ProductPM, new ProductAS,
                             new ProductAV,   new ProductFW, new ProductFWU};
    for (Product* product : candidates) {
        if (product != nullptr && product->IsInstalled(1)) {
            Append(&products, product);
        } else {
            delete product;
        }
    }
}
