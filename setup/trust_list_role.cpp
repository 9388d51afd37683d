// The trust-list role: adds the programs of every installed component to the firewall's list of
// trusted programs. It runs as "trustadd.exe" at the next logon after the firewall engine changed,
// or when started with the trust-list switch.
#include "host/files.h"
#include "host/system.h"
#include "log/logger.h"
#include "product/product.h"
#include "setup/roles.h"

int SetupTrustList::Initialize() {
    Logger::Get().Message(25546, nullptr);
    BuildProductList();
    return result;
}

int SetupTrustList::Execute() {
    for (int i = 0; i < products.count(); ++i) {
        Product* product = products[i];
        if (!product->IsInstalled(1)) {
            continue;
        }
        product->SetAvailable(1);
        product->SetActive(1);
        int code = product->AddTrustedPrograms(1, 1);
        if (code != 0) {
            ReportPart part = {25038, product->GetDisplayName(), 0};
            Logger::Get().Report(kLogInformation, kLogInformation, static_cast<unsigned>(code), 1, &part);
        }
    }
    // The copy left for the next logon goes at the restart after that; a copy started by hand
    // under another name stays.
    if (TextCompareNoCase(GetCurrentAppModuleName(), L"trustadd.exe") == 0) {
        DeleteFileOrDefer(GetCurrentAppPath());
    }
    return result;
}

int SetupTrustList::Finish() {
    DeleteProducts(&products);
    return result;
}
