// The install role: checks the package's components, asks what the package needs to know, then
// installs the suite shell and the components one after another behind the progress window.
// The components do the work; this role orders them and turns their codes into the result.
#include <objbase.h>

#include "components/product_main.h"
#include "log/logger.h"
#include "product/product.h"
#include "setup/destination.h"
#include "setup/roles.h"
#include "ui/agreement_dialog.h"
#include "ui/component_dialog.h"
#include "ui/framework.h"
#include "ui/prerequisites.h"
#include "ui/progress_window.h"

namespace {

const size_t kDetailChars = 512;
const wchar_t kDefaultGroup[] = L"Tarnel Internet Security Suite";

// The start-menu group: the command line's, else the package's suggestion, else the suite's name.
void ChooseProgramGroup() {
    SetupOptions& options = SetupOptions::Get();
    if (options.groupText()[0] != L'\0') {
        return;
    }
    wchar_t group[kPathChars];
    ProductMain::Get().LoadProductString(20144, group, kPathChars);
    options.SetGroup(group[0] != L'\0' ? group : kDefaultGroup);
}

}  // namespace

int SetupInstall::Initialize() {
    Logger::Get().Message(25546, nullptr);
    if (result == 0) {
        int code = 0;
        comResult = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (comResult != S_OK && comResult != S_FALSE) {
            Logger::Get().Value(25003, static_cast<unsigned>(comResult), nullptr);
            code = ErrorComInit;
        }
        int frameworkCode = LoadRoleFramework();
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
        CheckShell(*this, code);
    }
    if (result == 0) {
        CheckActiveProducts(*this, availableCount, ErrorNoProductAccepted);
    }
    return result;
}

int SetupInstall::AskUser() {
    if (result != 0) {
        return result;
    }
    RichEditLibrary richEdit;
    int code = richEdit.Load();
    if (code == 0) {
        code = ShowAgreementDialog(window);
    }
    if (code == 0) {
        SelectProducts(false);
        DestinationChoice destination;
        code = destination.Prepare();
        ChooseProgramGroup();
        if (code == 0) {
            code = destination.Ask(window);
        }
    }
    if (code == 0 && ProductMain::Get().shellNeeded) {
        code = ShowComponentDialog(window);
    }
    if (code != 0) {
        ReportError(code, nullptr, nullptr, -1);
    }
    return result;
}

int SetupInstall::Execute() {
    activeCount = succeededCount = failedCount = 0;
    ProgressWindow& progress = ProgressWindow::Get();
    if (result == 0) {
        for (int i = 0; i < products.count(); ++i) {
            activeCount += products[i]->active != 0;
        }
        progress.Begin(window, activeCount + 5);

        // The shell runs in every install: its files and the suite key are in place before any
        // component makes its shortcuts, even when the shell itself is not registered.
        ProductMain& shell = ProductMain::Get();
        wchar_t detail[kDetailChars] = {};
        int code = shell.BeginInstall(detail, kDetailChars);
        if (code == 0) {
            code = shell.Install();
        }
        if (code != 0) {
            ReportError(code, detail, shell.GetDisplayName(), -1);
        }
        for (int i = 0; i < products.count() && result == 0; ++i) {
            Product* product = products[i];
            if (!product->active) {
                continue;
            }
            detail[0] = L'\0';
            code = product->BeginInstall(detail, kDetailChars);
            if (code == 0) {
                code = product->Install();
            }
            if (code == 0) {
                code = product->FinishInstall();
            }
            if (code == 0) {
                ++succeededCount;
            } else {
                ++failedCount;
                // Only the failure of the last component processed ends the run.
                ReportError(code, detail, product->GetDisplayName(),
                            activeCount == succeededCount + failedCount ? 1 : 2);
            }
        }
        code = shell.FinishInstall();
        if (code != 0) {
            ReportError(code, nullptr, shell.GetDisplayName(), -1);
        }
    }
    progress.End();
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
