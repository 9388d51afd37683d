// The "KestraText" item: draws its window text word-wrapped in the style a dialog procedure chose
// and, once given an address, shows it as a link that opens on click or Space.
#include "standins/kestrafrm/text_item.h"

#include <shellapi.h>

#include "ui/framework_abi.h"

namespace {

bool registered;

const int kDrawChars = 2048;  // longer texts are cut when drawn; the window text stays whole
const COLORREF kLinkColor = RGB(0, 0, 204);

struct TextItem {
    HFONT baseFont;  // set by the dialog (WM_SETFONT); not ours
    HFONT drawFont;  // ours; null while the base font is drawn as it is
    LPARAM style;
    wchar_t link[kFrameworkLinkChars];
};

TextItem* ItemOf(HWND window) {
    return reinterpret_cast<TextItem*>(GetWindowLongPtrW(window, 0));
}

HFONT FontInUse(const TextItem* item) {
    if (item->drawFont != nullptr) {
        return item->drawFont;
    }
    return item->baseFont != nullptr ? item->baseFont : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// Derives the drawing font from the dialog's font: bold for the title, bold and a quarter larger
// for emphasis, underlined for a link.
void UpdateFont(TextItem* item) {
    if (item->drawFont != nullptr) {
        DeleteObject(item->drawFont);
        item->drawFont = nullptr;
    }
    bool link = item->link[0] != 0;
    if (item->style == kTextStyleNormal && !link) {
        return;
    }
    LOGFONTW font;
    if (GetObjectW(FontInUse(item), sizeof(font), &font) == 0) {
        return;
    }
    if (item->style != kTextStyleNormal) {
        font.lfWeight = FW_BOLD;
    }
    if (item->style == kTextStyleEmphasis) {
        font.lfHeight = font.lfHeight * 5 / 4;
    }
    if (link) {
        font.lfUnderline = TRUE;
    }
    item->drawFont = CreateFontIndirectW(&font);
}

void OpenLink(HWND window, const TextItem* item) {
    typedef HINSTANCE(WINAPI * ShellExecuteEntry)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
    if (item->link[0] == 0) {
        return;
    }
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    if (shell == nullptr) {
        shell = LoadLibraryW(L"shell32.dll");
    }
    FARPROC entry = shell != nullptr ? GetProcAddress(shell, "ShellExecuteW") : nullptr;
    if (entry != nullptr) {
        ShellExecuteEntry open = reinterpret_cast<ShellExecuteEntry>(reinterpret_cast<void (*)()>(entry));
        open(GetParent(window), L"open", item->link, nullptr, nullptr, SW_SHOWNORMAL);
    }
}

UINT DrawFormat(HWND window) {
    UINT format = DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL;
    switch (GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK) {
        case SS_CENTER:
            return format | DT_CENTER;
        case SS_RIGHT:
            return format | DT_RIGHT;
        default:
            return format;
    }
}

void Paint(HWND window, const TextItem* item) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc == nullptr) {
        return;
    }
    RECT client;
    GetClientRect(window, &client);
    // The dialog picks background and text colour as for its own static texts.
    HWND parent = GetParent(window);
    HBRUSH brush = nullptr;
    if (parent != nullptr) {
        brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                      reinterpret_cast<LPARAM>(window)));
    }
    if (brush == nullptr) {
        brush = GetSysColorBrush(COLOR_BTNFACE);
    }
    FillRect(dc, &client, brush);

    wchar_t text[kDrawChars];
    int length = GetWindowTextW(window, text, kDrawChars);
    bool link = item->link[0] != 0;
    SetBkMode(dc, TRANSPARENT);
    if (!IsWindowEnabled(window)) {
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else if (link) {
        SetTextColor(dc, kLinkColor);
    }
    HGDIOBJ previous = SelectObject(dc, FontInUse(item));
    UINT format = DrawFormat(window);
    DrawTextW(dc, text, length, &client, format);
    if (link && GetFocus() == window) {
        RECT bounds = client;
        DrawTextW(dc, text, length, &bounds, format | DT_CALCRECT);
        DrawFocusRect(dc, &bounds);
    }
    SelectObject(dc, previous);
    EndPaint(window, &paint);
}

LRESULT CALLBACK TextItemProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TextItem* item = ItemOf(window);
    if (item == nullptr && message != WM_NCCREATE) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
        case WM_NCCREATE:
            item = static_cast<TextItem*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(TextItem)));
            if (item == nullptr) {
                return FALSE;
            }
            item->style = kTextStyleNormal;
            SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(item));
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_NCDESTROY:
            if (item->drawFont != nullptr) {
                DeleteObject(item->drawFont);
            }
            SetWindowLongPtrW(window, 0, 0);
            HeapFree(GetProcessHeap(), 0, item);
            return DefWindowProcW(window, message, wParam, lParam);
        case kFrameworkSetTextStyle:
            if (lParam != kTextStyleTitle && lParam != kTextStyleNormal && lParam != kTextStyleEmphasis) {
                return FALSE;
            }
            item->style = lParam;
            UpdateFont(item);
            InvalidateRect(window, nullptr, TRUE);
            return TRUE;
        case kFrameworkSetLink: {
            const wchar_t* address = reinterpret_cast<const wchar_t*>(lParam);
            int length = address != nullptr ? lstrlenW(address) : 0;
            if (length >= kFrameworkLinkChars) {
                return FALSE;  // a cut address would open the wrong page
            }
            lstrcpynW(item->link, address != nullptr ? address : L"", kFrameworkLinkChars);
            SetWindowTextW(window, item->link);
            UpdateFont(item);
            InvalidateRect(window, nullptr, TRUE);
            return TRUE;
        }
        case WM_SETFONT:
            item->baseFont = reinterpret_cast<HFONT>(wParam);
            UpdateFont(item);
            if (LOWORD(lParam) != 0) {
                InvalidateRect(window, nullptr, TRUE);
            }
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(FontInUse(item));
        case WM_SETTEXT: {
            LRESULT result = DefWindowProcW(window, message, wParam, lParam);
            InvalidateRect(window, nullptr, TRUE);
            return result;
        }
        case WM_ENABLE:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // painted with the text, without flicker
        case WM_PAINT:
            Paint(window, item);
            return 0;
        case WM_GETDLGCODE:
            return item->link[0] != 0 ? 0 : DLGC_STATIC;
        case WM_SETCURSOR:
            if (item->link[0] != 0) {
                // No hand cursor before Windows 98 and 2000.
                HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
                SetCursor(hand != nullptr ? hand : LoadCursorW(nullptr, IDC_ARROW));
                return TRUE;
            }
            break;
        case WM_LBUTTONDOWN:
            if (item->link[0] != 0 && (GetWindowLongW(window, GWL_STYLE) & WS_TABSTOP) != 0) {
                SetFocus(window);
            }
            return 0;
        case WM_LBUTTONUP:
            OpenLink(window, item);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE) {
                OpenLink(window, item);
                return 0;
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void RegisterTextItemClass(HINSTANCE module) {
    if (registered) {
        return;
    }
    WNDCLASSW windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = TextItemProc;
    windowClass.cbWndExtra = sizeof(TextItem*);
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = KESTRA_TEXT_CLASS;
    registered = RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void UnregisterTextItemClass(HINSTANCE module) {
    // Fails while items exist; the class then stays until the library goes.
    if (registered && UnregisterClassW(KESTRA_TEXT_CLASS, module)) {
        registered = false;
    }
}
