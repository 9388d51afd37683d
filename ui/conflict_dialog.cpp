#include "ui/conflict_dialog.h"

#include "host/text.h"
#include "setup/errors.h"
#include "ui/framework.h"
#include "ui/framework_abi.h"
#include "ui/resource_string.h"

namespace {

const int kProductNameItem = 1455;
const int kExplanationItem = 1091;
const int kTextItems[] = {1087, 1088, 1089, 1091};
const size_t kTextChars = 256;

struct ConflictNames {
    const wchar_t* otherProduct;
    const wchar_t* display;
};

// The explanation comes from a translated string library: it is only used as a format when it
// takes exactly the one text it is given, so a stray "%d" or a second "%s" in a translation
// cannot read arguments that were never passed.
bool TakesOneText(const wchar_t* format) {
    int texts = 0;
    for (const wchar_t* p = format; *p != L'\0'; ++p) {
        if (*p != L'%') {
            continue;
        }
        ++p;
        if (*p == L'%') {
            continue;
        }
        if (*p != L's') {
            return false;
        }
        ++texts;
    }
    return texts == 1;
}

INT_PTR CALLBACK ConflictProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const ConflictNames* names = reinterpret_cast<const ConflictNames*>(lParam);
        SetDlgItemTextW(dialog, kProductNameItem, names->otherProduct);
        SendDlgItemMessageW(dialog, kProductNameItem, kFrameworkSetTextStyle, 0, kTextStyleEmphasis);

        wchar_t format[kTextChars];
        LoadResourceString(nullptr, 25051, format, kTextChars);
        wchar_t text[kTextChars];
        if (TakesOneText(format)) {
            TextFormatCut(text, kTextChars, format, names->display);
        } else {
            TextCopyCut(text, kTextChars, names->display);
        }
        SetDlgItemTextW(dialog, kExplanationItem, text);
        for (int item : kTextItems) {
            SendDlgItemMessageW(dialog, item, kFrameworkSetTextStyle, 0, kTextStyleNormal);
        }
        return TRUE;
    }
    if (message == WM_COMMAND) {
        int id = LOWORD(wParam);
        if (id == IDOK || id == IDCANCEL) {
            EndDialog(dialog, id == IDOK ? 1 : 0);
            return TRUE;
        }
    }
    return FALSE;
}

}  // namespace

int AskConflictRemoval(HWND owner, const wchar_t* otherProductName, const wchar_t* displayName) {
    ConflictNames names = {otherProductName != nullptr ? otherProductName : L"",
                           displayName != nullptr ? displayName : L""};
    INT_PTR result = Framework::Get().DialogBox(kFrameworkSel, kDialogConflict, owner, ConflictProc,
                                                reinterpret_cast<LPARAM>(&names), kFrameworkDialogFlags);
    return result > 0 ? 0 : ErrorConflictRemovalDeclined;
}
