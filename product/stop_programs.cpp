#include "components/product_main.h"
#include "host/registry.h"
#include "process/shutdown.h"
#include "product/product.h"

int Product::StopSuitePrograms() {
    wchar_t files[kPathChars];
    ProductMain::Get().GetInstalledFilesPath(files, kPathChars, nullptr);
    return ::StopSuitePrograms(files);
}

// The antivirus component's programs in its installed files folder; the installed product id
// picks the generation of their window names.
int Product::StopAntivirusPrograms() {
    DWORD productId = 0;
    if (RegReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Anti-Virus", L"ProductId", &productId,
                      sizeof(productId)) != ERROR_SUCCESS) {
        productId = 0;
    }
    wchar_t files[kPathChars];
    GetInstalledFilesPath(files, kPathChars, nullptr);
    return ::StopAntivirusPrograms(productId, files);
}
