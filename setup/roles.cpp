// What the roles share beyond the base class.
#include "setup/roles.h"

#include "components/product_main.h"
#include "log/logger.h"
#include "product/product.h"
#include "ui/framework.h"

namespace {

const size_t kDetailChars = 512;

}  // namespace

int LoadRoleFramework() {
    int code = Framework::Get().Load();
    if (code != 0) {
        Logger::Get().Value(25006, static_cast<unsigned>(code), nullptr);
    }
    return code;
}

void CheckShell(Setup& role, int code) {
    ProductMain& shell = ProductMain::Get();
    wchar_t detail[kDetailChars] = {};
    int shellCode = shell.CheckAll(detail, kDetailChars);
    if (code == 0) {
        code = shellCode;
    } else {
        detail[0] = L'\0';
    }
    if (code != 0) {
        role.ReportError(code, detail, shell.GetDisplayName(), -1);
    }
}

void CheckActiveProducts(Setup& role, int count, int noneAccepted) {
    role.selectedCount = 0;
    for (int i = 0; i < role.products.count() && role.result == 0; ++i) {
        Product* product = role.products[i];
        if (!product->active) {
            continue;
        }
        wchar_t detail[kDetailChars];
        int code = product->CheckAll(detail, kDetailChars);
        if (code != 0) {
            // With several components one failing its checks is only a warning.
            role.ReportError(code, detail, product->GetDisplayName(), count == 1 ? 1 : 2);
        } else {
            ++role.selectedCount;
            product->accepted = 1;
        }
    }
    if (count > 1 && role.selectedCount == 0) {
        role.ReportError(noneAccepted, nullptr, nullptr, -1);
    }
}
