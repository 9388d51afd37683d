#include "ui/agreement_dialog.h"

#include <richedit.h>

#include "components/product_main.h"
#include "host/paths.h"
#include "host/text.h"
#include "host/win_file.h"
#include "log/logger.h"
#include "setup/errors.h"
#include "ui/framework.h"
#include "ui/framework_abi.h"
#include "ui/resource_string.h"

namespace {

const int kTextItem = 1036;
const int kTitleItem = 1288;
const int kAcceptButton = 1451;
const unsigned kProductNameId = 22006;
const unsigned kAgreementTitleId = 22078;
const size_t kTitlePartChars = 256;
const wchar_t kLicenseFile[] = L"license.txt";
const UINT kUtf16CodePage = 1200;
// An agreement is a few pages of text; a file far beyond that is not one and is not read.
const DWORD kMaxLicenseBytes = 4 * 1024 * 1024;

// The heap block holding the agreement text while the rich-edit item copies it.
class TextBlock {
  public:
    explicit TextBlock(DWORD bytes) : block_(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes)) {}
    ~TextBlock() {
        if (block_ != nullptr) {
            HeapFree(GetProcessHeap(), 0, block_);
        }
    }
    TextBlock(const TextBlock&) = delete;
    TextBlock& operator=(const TextBlock&) = delete;
    void* Get() const { return block_; }

  private:
    void* block_;
};

void ShowAgreementText(HWND dialog) {
    wchar_t path[kPathChars];
    WinFile file;
    DWORD size = 0;
    if (!GetAppFilePath(path, kPathChars, kLicenseFile, nullptr) || !file.Open(path, WinFile::kRead) ||
        !file.GetSize(&size) || size > kMaxLicenseBytes) {
        return;
    }
    // Four zeroed bytes behind the most that can be read end the text as UTF-16 whatever the
    // file holds, also after an odd number of bytes or a file that shrank meanwhile.
    TextBlock text(size + 4);
    DWORD bytesRead = 0;
    if (text.Get() == nullptr || !file.ReadAt(0, text.Get(), size, &bytesRead)) {
        return;
    }
    SETTEXTEX settings = {ST_DEFAULT, kUtf16CodePage};
    SendDlgItemMessageW(dialog, kTextItem, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&settings),
                        reinterpret_cast<LPARAM>(text.Get()));
}

// "<product name> <agreement title>" of the product in charge of the run.
void LoadAgreementTitle(wchar_t* title, size_t chars) {
    wchar_t name[kTitlePartChars];
    wchar_t agreement[kTitlePartChars];
    ProductMain& shell = ProductMain::Get();
    Product* source = shell.shellNeeded ? &shell : shell.primaryComponent;
    if (source != nullptr) {
        source->LoadProductString(kProductNameId, name, kTitlePartChars);
        source->LoadProductString(kAgreementTitleId, agreement, kTitlePartChars);
    } else {
        LoadResourceString(nullptr, kProductNameId, name, kTitlePartChars);
        LoadResourceString(nullptr, kAgreementTitleId, agreement, kTitlePartChars);
    }
    // A product library without its own agreement title still gets the common one.
    if (agreement[0] == L'\0') {
        LoadResourceString(nullptr, kAgreementTitleId, agreement, kTitlePartChars);
    }
    if (name[0] == L'\0') {
        TextCopy(title, chars, agreement);
    } else {
        TextFormatCut(title, chars, L"%s %s", name, agreement);
    }
}

INT_PTR CALLBACK AgreementProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        ShowAgreementText(dialog);
        wchar_t title[2 * kTitlePartChars];
        LoadAgreementTitle(title, 2 * kTitlePartChars);
        SetDlgItemTextW(dialog, kTitleItem, title);
        SendDlgItemMessageW(dialog, kTitleItem, kFrameworkSetTextStyle, 0, kTextStyleTitle);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        int id = LOWORD(wParam);
        if (id == kTextItem && HIWORD(wParam) == EN_SETFOCUS) {
            // The dialog selects an edit item's whole text when it gets the focus; the agreement
            // is read from its start with nothing selected.
            SendDlgItemMessageW(dialog, kTextItem, EM_SETSEL, 0, 0);
            return TRUE;
        }
        if (id == kAcceptButton || id == IDCANCEL) {
            EndDialog(dialog, id == kAcceptButton ? 1 : 0);
            return TRUE;
        }
    }
    return FALSE;
}

}  // namespace

int ShowAgreementDialog(HWND owner) {
    if (Logger::Get().GetDisplayLevel() < 2) {
        return 0;
    }
    INT_PTR result = Framework::Get().DialogBox(kFrameworkSel, kDialogAgreement, owner, AgreementProc, 0,
                                                kFrameworkDialogFlags);
    return result > 0 ? 0 : ErrorAgreementDeclined;
}
