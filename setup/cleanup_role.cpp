// The cleanup role: run once at the next logon after an uninstall by the copy the uninstall left in
// the temporary folder (ovcu_NNN.exe). It removes the leftovers of every component that is no
// longer installed, then the copies themselves, deferring to the next restart what is in use.
#include "components/product_main.h"
#include "host/files.h"
#include "host/handles.h"
#include "host/paths.h"
#include "host/system.h"
#include "log/logger.h"
#include "product/product.h"
#include "setup/roles.h"

int SetupCleanup::Initialize() {
    Logger::Get().Message(25548, nullptr);
    BuildProductList();
    return result;
}

int SetupCleanup::Execute() {
    ProductMain& shell = ProductMain::Get();
    for (int i = 0; i < products.count(); ++i) {
        Product* product = products[i];
        if (product != &shell && product->IsInstalled(1)) {
            continue;
        }
        product->SetAvailable(1);
        product->SetActive(1);
        product->RemoveLeftoverFiles();
        product->RemoveLeftovers();
    }

    // Only a cleanup copy deletes itself and its siblings; started under any other name the
    // program is someone's installed file.
    wchar_t name[kPathChars];
    if (!TextCopy(name, kPathChars, GetCurrentAppModuleName())) {
        return result;
    }
    name[5] = L'\0';  // the first five characters; the buffer is always longer
    if (lstrcmpiW(name, L"ovcu_") != 0) {
        return result;
    }
    // Running, so it goes at the next restart.
    DeleteFileOrDefer(GetCurrentAppPath());
    wchar_t folder[kPathChars];
    if (!TextCopy(folder, kPathChars, GetCurrentAppDir()) || folder[0] == L'\0') {
        return result;
    }
    wchar_t path[kPathChars];
    if (IsWindows9x() && AppendPath(path, kPathChars, folder, L"unicows.dll")) {
        DeleteFileOrDefer(path);
    }
    wchar_t pattern[kPathChars];
    WIN32_FIND_DATAW found;
    if (!AppendPath(pattern, kPathChars, folder, L"ovcu_*.exe")) {
        return result;
    }
    ScopedFindHandle search(FindFirstFileW(pattern, &found));
    if (!search.IsValid()) {
        return result;
    }
    do {
        if (AppendPath(path, kPathChars, folder, found.cFileName)) {
            DeleteFileOrDefer(path);
        }
    } while (FindNextFileW(search.Get(), &found));
    return result;
}

int SetupCleanup::Finish() {
    DeleteProducts(&products);
    return result;
}
