// The uninstall role: finds which of its package's components are installed, checks them, asks
// once, removes them one after another behind the progress window and, once no component is left,
// the suite shell too. What cannot go while it runs is left to the cleanup copy at the next logon.
#include "components/product_main.h"
#include "host/text.h"
#include "log/logger.h"
#include "product/product.h"
#include "setup/roles.h"
#include "ui/component_dialog.h"
#include "ui/framework.h"
#include "ui/progress_window.h"
#include "ui/resource_string.h"

namespace {

const size_t kQuestionChars = 384;

// A product's removal steps, each only after the one before succeeded.
int Remove(Product* product) {
    int code = product->BeginUninstall();
    if (code == 0) {
        code = product->Uninstall();
    }
    if (code == 0) {
        code = product->CompleteUninstall();
    }
    return code;
}

bool VersionIsZero(Product* product) {
    wchar_t version[kPathChars];
    return product->GetInstalledVersion(version, kPathChars) && TextCompareNoCase(version, L"0") == 0;
}

}  // namespace

int SetupUninstall::Initialize() {
    Logger::Get().Message(25547, nullptr);
    if (result == 0) {
        int code = LoadRoleFramework();
        BuildProductList();
        installedCount = 0;
        for (int i = 0; i < products.count(); ++i) {
            Product* product = products[i];
            if (product->IsAvailable() && product->IsInstalled(1)) {
                ++installedCount;
                product->active = 1;
            }
        }
        // The suite's uninstaller with no component left still has the shell to remove.
        ProductMain& shell = ProductMain::Get();
        if (installedCount == 0 && !(shell.shellNeeded && shell.IsInstalled(0))) {
            Logger::Get().Message(25039, nullptr);
            if (code == 0) {
                code = ErrorNothingInstalled;
            }
        }
        CheckShell(*this, code);
    }
    if (result == 0) {
        CheckActiveProducts(*this, installedCount, ErrorNoProductRemovable);
    }
    return result;
}

int SetupUninstall::AskUser() {
    if (result != 0) {
        return result;
    }
    ProductMain& shell = ProductMain::Get();
    int code = 0;
    if (shell.shellNeeded && installedCount > 0) {
        code = ShowComponentDialog(window);
    } else {
        Product* product = shell.shellNeeded ? &shell : nullptr;
        for (int i = 0; product == nullptr && i < products.count(); ++i) {
            if (products[i]->IsAvailable() && products[i]->IsInstalled(1)) {
                product = products[i];
            }
        }
        if (product == nullptr) {
            code = ErrorNothingInstalled;
        } else if (!IsUnattended()) {
            wchar_t format[kQuestionChars];
            wchar_t question[kQuestionChars];
            const wchar_t* name = product->GetDisplayName();
            LoadResourceString(nullptr, 24006, format, kQuestionChars);
            TextFormatCut(question, kQuestionChars, format, name, name);
            if (Framework::Get().ShowMessage(window, question, name, MB_YESNO, 0) != IDYES) {
                code = ErrorCancelled;
            }
        }
    }
    if (code != 0) {
        ReportError(code, nullptr, nullptr, -1);
    }
    return result;
}

int SetupUninstall::Execute() {
    activeCount = succeededCount = failedCount = 0;
    ProgressWindow& progress = ProgressWindow::Get();
    if (result == 0) {
        for (int i = 0; i < products.count(); ++i) {
            activeCount += products[i]->active != 0;
        }
        progress.Begin(window, activeCount + 5);
        for (int i = 0; i < products.count(); ++i) {
            Product* product = products[i];
            if (!product->active) {
                // A component whose own uninstaller already ran leaves its registration with the
                // version "0": only its remains are tidied.
                if (product->IsInstalled(1) && VersionIsZero(product)) {
                    product->active = 1;
                    product->CompleteUninstall();
                }
                continue;
            }
            int code = Remove(product);
            if (code == 0) {
                ++succeededCount;
            } else {
                ++failedCount;
                // Only the failure of the last component processed ends the run.
                ReportError(code, nullptr, product->GetDisplayName(),
                            activeCount == succeededCount + failedCount ? 1 : 2);
            }
        }
        if (result == 0) {
            installedCount = 0;
            for (int i = 0; i < products.count(); ++i) {
                installedCount += products[i]->IsInstalled(1) != 0;
            }
        }
        // The shell goes last, and only once no component needs it to be removed later.
        if (result == 0 && installedCount == 0) {
            ProductMain& shell = ProductMain::Get();
            shell.SetShellNeeded(1);
            int code = Remove(&shell);
            if (code != 0) {
                ReportError(code, nullptr, shell.GetDisplayName(), -1);
            }
        }
    }
    progress.End();
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
