#include "ui/notices.h"

#include "host/system.h"
#include "host/text.h"
#include "ui/framework.h"
#include "ui/resource_string.h"

namespace {

// Vendor download pages, by platform family, and for the Windows 95 Winsock 2 update.
const wchar_t kRichEditUpdateNt[] = L"http://www.microsoft.com/downloads/richedit-update-nt";
const wchar_t kRichEditUpdate9x[] = L"http://www.microsoft.com/downloads/richedit-update-9x";
const wchar_t kWinsockUpdate95[] = L"http://www.microsoft.com/windows95/downloads/winsock2";

const int kLinkItem = 1446;
const int kTextItem = 1087;

INT_PTR CALLBACK RichEditNoticeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        const wchar_t* address = IsWindowsNT() ? kRichEditUpdateNt : kRichEditUpdate9x;
        SendDlgItemMessageW(dialog, kLinkItem, kFrameworkLinkMessage, 0, reinterpret_cast<LPARAM>(address));
        SendDlgItemMessageW(dialog, kTextItem, kFrameworkTextStyleMessage, 0, 16);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK WinsockNoticeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SendDlgItemMessageW(dialog, kLinkItem, kFrameworkLinkMessage, 0,
                            reinterpret_cast<LPARAM>(kWinsockUpdate95));
        wchar_t format[512];
        LoadResourceString(nullptr, 25050, format, 512);
        wchar_t text[256];
        TextFormatCut(text, 256, format, reinterpret_cast<const wchar_t*>(lParam));
        SetDlgItemTextW(dialog, kTextItem, text);
        SendDlgItemMessageW(dialog, kTextItem, kFrameworkTextStyleMessage, 0, 16);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR ShowRichEditNotice(HWND owner) {
    return Framework::Get().DialogBox(0, 284, owner, RichEditNoticeProc, 0, 10);
}

INT_PTR ShowWinsockNotice(HWND owner, const wchar_t* libraryName) {
    return Framework::Get().DialogBox(0, 283, owner, WinsockNoticeProc,
                                      reinterpret_cast<LPARAM>(libraryName != nullptr ? libraryName : L""),
                                      10);
}
