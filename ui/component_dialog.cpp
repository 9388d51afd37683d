#include "ui/component_dialog.h"

#include "log/logger.h"
#include "product/product.h"
#include "setup/errors.h"
#include "setup/setup.h"
#include "ui/framework.h"
#include "ui/framework_abi.h"
#include "ui/resource_string.h"

namespace {

const int kTextItem = 1650;
const int kNoteItem = 1651;
const int kFirstBox = 1652;
const int kBoxCount = 8;
const int kLastBox = kFirstBox + kBoxCount - 1;
const unsigned kUninstallTextId = 24005;
const unsigned kUninstallButtonId = 24004;
const size_t kTextChars = 256;
const size_t kButtonChars = 96;

struct Choice {
    ProductList* products;
    int boxesUsed;
};

// An item's rectangle in the dialog's client coordinates.
RECT ItemRect(HWND dialog, int id) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void MoveItemUp(HWND dialog, int id, int distance) {
    RECT rect = ItemRect(dialog, id);
    SetWindowPos(GetDlgItem(dialog, id), nullptr, rect.left, rect.top - distance, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The template has room for eight boxes: the note and the buttons follow the last box in use
// instead of leaving the gap of the unused ones.
void FitToBoxes(HWND dialog, int boxesUsed) {
    if (boxesUsed >= kBoxCount) {
        return;
    }
    int distance = ItemRect(dialog, kLastBox).bottom - ItemRect(dialog, kFirstBox + boxesUsed).bottom;
    const int moved[] = {kNoteItem, IDOK, IDCANCEL};
    for (int id : moved) {
        MoveItemUp(dialog, id, distance);
    }
    RECT frame = {};
    GetWindowRect(dialog, &frame);
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top - distance,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// OK needs a ticked box; the note explains a list in which nothing can be chosen.
void ApplyStateRule(HWND dialog, int boxesUsed) {
    bool anyTicked = false;
    bool anyEnabled = false;
    for (int id = kFirstBox; id < kFirstBox + boxesUsed; ++id) {
        anyTicked = anyTicked || IsDlgButtonChecked(dialog, id) == BST_CHECKED;
        anyEnabled = anyEnabled || IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
    }
    EnableWindow(GetDlgItem(dialog, IDOK), anyTicked);
    ShowWindow(GetDlgItem(dialog, kNoteItem), anyEnabled ? SW_HIDE : SW_SHOW);
}

void ShowUninstallTexts(HWND dialog) {
    wchar_t text[kTextChars];
    if (LoadResourceString(nullptr, kUninstallTextId, text, kTextChars) != 0) {
        SetDlgItemTextW(dialog, kTextItem, text);
    }
    wchar_t button[kButtonChars];
    if (LoadResourceString(nullptr, kUninstallButtonId, button, kButtonChars) != 0) {
        SetDlgItemTextW(dialog, IDOK, button);
    }
}

// One box per available product, in list order; a product that failed its checks is shown
// but cannot be chosen.
int FillBoxes(HWND dialog, ProductList& products) {
    for (int id = kFirstBox; id <= kLastBox; ++id) {
        ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    }
    int used = 0;
    for (int i = 0; i < products.count(); ++i) {
        Product* product = products[i];
        product->SetChoiceControl(0);
        if (used == kBoxCount || !product->IsAvailable()) {
            continue;
        }
        int id = kFirstBox + used++;
        HWND box = GetDlgItem(dialog, id);
        SetWindowTextW(box, product->GetDisplayName());
        bool choosable = product->accepted != 0;
        CheckDlgButton(dialog, id, choosable && product->active ? BST_CHECKED : BST_UNCHECKED);
        EnableWindow(box, choosable);
        ShowWindow(box, SW_SHOW);
        product->SetChoiceControl(id);
    }
    return used;
}

void TakeChoice(HWND dialog, ProductList& products) {
    for (int i = 0; i < products.count(); ++i) {
        Product* product = products[i];
        int id = product->choiceControl;
        if (id < kFirstBox || id > kLastBox) {
            continue;
        }
        product->SetActive(IsWindowEnabled(GetDlgItem(dialog, id)) &&
                           IsDlgButtonChecked(dialog, id) == BST_CHECKED);
    }
}

INT_PTR CALLBACK ComponentProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        Choice* choice = reinterpret_cast<Choice*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SendDlgItemMessageW(dialog, kTextItem, kFrameworkSetTextStyle, 0, kTextStyleNormal);
        if (CurrentRole() == kRoleUninstall) {
            ShowUninstallTexts(dialog);
        }
        choice->boxesUsed = FillBoxes(dialog, *choice->products);
        FitToBoxes(dialog, choice->boxesUsed);
        ApplyStateRule(dialog, choice->boxesUsed);
        return TRUE;
    }
    if (message != WM_COMMAND) {
        return FALSE;
    }
    Choice* choice = reinterpret_cast<Choice*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (choice == nullptr) {
        return FALSE;
    }
    int id = LOWORD(wParam);
    if (id >= kFirstBox && id <= kLastBox && HIWORD(wParam) == BN_CLICKED) {
        ApplyStateRule(dialog, choice->boxesUsed);
        return TRUE;
    }
    if (id == IDOK) {
        // Enter reaches the dialog as OK even while the button is disabled: with nothing
        // ticked there is nothing to confirm.
        if (!IsWindowEnabled(GetDlgItem(dialog, IDOK))) {
            return TRUE;
        }
        TakeChoice(dialog, *choice->products);
        EndDialog(dialog, 1);
        return TRUE;
    }
    if (id == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int ShowComponentDialog(HWND owner) {
    if (Logger::Get().GetDisplayLevel() < 2) {
        return 0;
    }
    Setup* setup = Setup::Get();
    ProductList none;
    Choice choice = {setup != nullptr ? &setup->products : &none, 0};
    INT_PTR result = Framework::Get().DialogBox(kFrameworkSel, kDialogComponents, owner, ComponentProc,
                                                reinterpret_cast<LPARAM>(&choice), kFrameworkDialogFlags);
    return result > 0 ? 0 : ErrorCancelled;
}
