// The roles' phases as far as the product model stands: libraries, COM, the result and the
// restart question. The products and their work join through BuildProductList.
#include "setup/roles.h"

#include <objbase.h>

#include "log/logger.h"
#include "product/product.h"
#include "ui/framework.h"

namespace {

// Loads the framework; its failure code, logged as 25006 with the code (0 when ready).
int LoadFramework() {
    int code = Framework::Get().Load();
    if (code != 0) {
        Logger::Get().Value(25006, static_cast<unsigned>(code), nullptr);
    }
    return code;
}

}  // namespace

// ---- install ---------------------------------------------------------------------------

int SetupInstall::Initialize() {
    Logger::Get().Message(25546, nullptr);
    if (result == 0) {
        int code = 0;
        comResult = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (comResult != S_OK && comResult != S_FALSE) {
            Logger::Get().Value(25003, static_cast<unsigned>(comResult), nullptr);
            code = ErrorComInit;
        }
        int frameworkCode = LoadFramework();
        if (code == 0) {
            code = frameworkCode;
        }
        BuildProductList();
        if (SelectProducts(true) == ErrorNoProductAvailable) {
            Logger::Get().Message(25005, nullptr);
            if (code == 0) {
                code = ErrorNoProductAvailable;
            }
        }
        if (code != 0) {
            ReportError(code, L"", nullptr, -1);
        }
    }
    return result;
}

int SetupInstall::AskUser() {
    return result;
}

int SetupInstall::Execute() {
    activeCount = succeededCount = failedCount = 0;
    return result;
}

int SetupInstall::Finish() {
    DeleteProducts(&products);
    if (result == 0) {
        AskRestart(24007);
    }
    Framework::Get().Unload();
    if (comResult == S_OK || comResult == S_FALSE) {
        CoUninitialize();
    }
    return result;
}

// ---- uninstall -------------------------------------------------------------------------


int SetupUninstall::Initialize() {
    Logger::Get().Message(25547, nullptr);
    if (result == 0) {
        int code = LoadFramework();
        BuildProductList();
        installedCount = 0;
        if (installedCount == 0) {
            Logger::Get().Message(25039, nullptr);
            if (code == 0) {
                code = ErrorNothingInstalled;
            }
        }
        if (code != 0) {
            ReportError(code, L"", nullptr, -1);
        }
    }
    return result;
}

int SetupUninstall::AskUser() {
    return result;
}

int SetupUninstall::Execute() {
    activeCount = succeededCount = failedCount = 0;
    return result;
}

int SetupUninstall::Finish() {
    DeleteProducts(&products);
    if (result == 0) {
        AskRestart(24008);
    }
    Framework::Get().Unload();
    return result;
}

// ---- cleanup and trust list --------------------------------------------------------------


int SetupCleanup::Initialize() {
    BuildProductList();
    return result;
}

int SetupCleanup::Execute() {
    return result;
}

int SetupCleanup::Finish() {
    DeleteProducts(&products);
    return result;
}


int SetupTrustList::Initialize() {
    BuildProductList();
    return result;
}

int SetupTrustList::Execute() {
    return result;
}

int SetupTrustList::Finish() {
    DeleteProducts(&products);
    return result;
}
