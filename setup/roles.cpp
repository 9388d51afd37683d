// The roles' phases as far as the product model stands: libraries, COM, the result and the
// restart question. The products and their work join through BuildProductList.
#include "setup/roles.h"

#include <objbase.h>

#include "log/logger.h"
#include "product/product.h"
#include "ui/framework.h"

int LoadRoleFramework() {
    int code = Framework::Get().Load();
    if (code != 0) {
        Logger::Get().Value(25006, static_cast<unsigned>(code), nullptr);
    }
    return code;
}

// ---- uninstall -------------------------------------------------------------------------

int SetupUninstall::Initialize() {
    Logger::Get().Message(25547, nullptr);
    if (result == 0) {
        int code = LoadRoleFramework();
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
