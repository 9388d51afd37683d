// Shows one framework dialog or box filled with the kind of content the engine puts in, so that it
// can be photographed (render-dialogs.sh). The progress window and the conflict question are the
// engine's own, shown by its code; the others are filled here as the engine fills them:
//   framework_gallery.exe <228|230|231|283|284|350|351|message|restart> <rect file> [package folder]
// The framework is loaded from the package folder when one is given, else from beside the program.
// Once the window has painted, its screen rectangle ("x y width height") is written to the rect
// file; the window closes when the file is deleted again (or after 30 s). Exit code 0 when
// something was shown.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <stdlib.h>

#include <initializer_list>

#include "product/product.h"
#include "ui/conflict_dialog.h"
#include "ui/framework.h"
#include "ui/framework_abi.h"
#include "ui/progress_window.h"

namespace {

const wchar_t* rectFile;
HWND shown;

const wchar_t kSuite[] = L"Tarnel Internet Security Suite";
const wchar_t kLicense[] =
    L"END USER LICENSE AGREEMENT\r\n\r\n"
    L"IMPORTANT: READ THIS AGREEMENT CAREFULLY BEFORE INSTALLING OR USING THE SOFTWARE. By clicking "
    L"\"I Accept\" you agree to be bound by the terms of this agreement. If you do not agree, click "
    L"\"Cancel\": the software will not be installed.\r\n\r\n"
    L"1. LICENSE. Orvane grants you a non-exclusive license to install and use one copy of the "
    L"software on one computer for the term of your subscription.\r\n\r\n"
    L"2. UPDATES. The software may download updates of its virus definitions and program files "
    L"while your subscription is active.\r\n\r\n"
    L"3. RESTRICTIONS. You may not rent, lease, sublicense, modify or reverse engineer the software, "
    L"except as the law expressly permits.\r\n\r\n"
    L"4. LIMITED WARRANTY. The software is provided \"as is\". No security product can guarantee "
    L"that your computer will be free of viruses, intrusions or unwanted mail.\r\n";

// A string of the resource libraries when they have it, otherwise the sample text.
void Sample(unsigned id, wchar_t* buffer, int chars, const wchar_t* fallback) {
    if (Framework::Get().LoadString(0, id, buffer, chars) == 0) {
        lstrcpynW(buffer, fallback, chars);
    }
}

void Style(HWND dialog, int id, LPARAM style) {
    SendDlgItemMessageW(dialog, id, kFrameworkSetTextStyle, 0, style);
}

RECT ItemRect(HWND dialog, int id) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void MoveUp(HWND dialog, int id, int distance) {
    RECT rect = ItemRect(dialog, id);
    SetWindowPos(GetDlgItem(dialog, id), nullptr, rect.left, rect.top - distance, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The component dialog with three components, the third one unavailable, laid out as the engine
// does: unused boxes hidden, the rest of the dialog moved up to close the gap.
void FillComponents(HWND dialog) {
    const wchar_t* names[] = {L"Tarnel Nimbo Antivirus", L"Tarnel Personal Firewall", L"Tarnel Anti-Spam"};
    Style(dialog, 1650, kTextStyleNormal);
    for (int id = 1652; id <= 1659; ++id) {
        ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    }
    for (int i = 0; i < 3; ++i) {
        int id = 1652 + i;
        SetDlgItemTextW(dialog, id, names[i]);
        ShowWindow(GetDlgItem(dialog, id), SW_SHOW);
        CheckDlgButton(dialog, id, i < 2 ? BST_CHECKED : BST_UNCHECKED);
        EnableWindow(GetDlgItem(dialog, id), i < 2);
    }
    int distance = ItemRect(dialog, 1659).bottom - ItemRect(dialog, 1655).bottom;
    for (int id : {1651, IDOK, IDCANCEL}) {
        MoveUp(dialog, id, distance);
    }
    ShowWindow(GetDlgItem(dialog, 1651), SW_HIDE);
    RECT frame;
    GetWindowRect(dialog, &frame);
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top - distance,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Fill(HWND dialog, int id) {
    wchar_t text[512];
    switch (id) {
        case kDialogAgreement: {
            wchar_t title[256];
            Sample(22078, title, 256, L"License Agreement");
            wchar_t line[600];
            wsprintfW(line, L"%s %s", kSuite, title);
            SetDlgItemTextW(dialog, 1288, line);
            Style(dialog, 1288, kTextStyleTitle);
            SETTEXTEX set = {0, 1200};
            SendDlgItemMessageW(dialog, 1036, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&set),
                                reinterpret_cast<LPARAM>(kLicense));
            break;
        }
        case kDialogDestination:
            Style(dialog, 1087, kTextStyleNormal);
            Style(dialog, 1293, kTextStyleNormal);
            SetDlgItemTextW(dialog, 1292, L"C:\\Program Files\\Tarnel\\Internet Security Suite");
            break;
        case kDialogWinsockNotice: {
            wchar_t format[512];
            Sample(25050, format, 512,
                   L"Setup requires Windows Sockets 2.2 or later. The version of %s on this computer is too "
                   L"old.");
            wsprintfW(text, format, L"WS2_32.DLL");
            SetDlgItemTextW(dialog, 1087, text);
            Style(dialog, 1087, kTextStyleNormal);
            SendDlgItemMessageW(dialog, 1446, kFrameworkSetLink, 0,
                                reinterpret_cast<LPARAM>(L"http://www.microsoft.com/windows95/downloads/"));
            break;
        }
        case kDialogRichEditNotice:
            Style(dialog, 1087, kTextStyleNormal);
            SendDlgItemMessageW(dialog, 1446, kFrameworkSetLink, 0,
                                reinterpret_cast<LPARAM>(L"http://www.microsoft.com/downloads/"));
            break;
        case kDialogComponents:
            FillComponents(dialog);
            break;
        default:
            break;
    }
}

INT_PTR CALLBACK GalleryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        Fill(dialog, static_cast<int>(lParam));
        return TRUE;
    }
    // As the engine does: the agreement opens with the caret at its start, nothing selected.
    if (message == WM_COMMAND && LOWORD(wParam) == 1036 && HIWORD(wParam) == EN_SETFOCUS) {
        SendDlgItemMessageW(dialog, 1036, EM_SETSEL, 0, 0);
        return TRUE;
    }
    // Only the buttons end it; edit fields report changes through WM_COMMAND too.
    bool button = message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) <= IDNO;
    if (button || message == WM_CLOSE) {
        DestroyWindow(dialog);
        return TRUE;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
    }
    return FALSE;
}

struct ProcessWindow {
    HWND found;
};

BOOL CALLBACK FindShown(HWND window, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window)) {
        reinterpret_cast<ProcessWindow*>(param)->found = window;
        return FALSE;
    }
    return TRUE;
}

// Tells the script where the window is, waits for the photograph, then closes whatever is shown.
DWORD WINAPI Photographer(LPVOID) {
    HWND window = nullptr;
    for (int i = 0; i < 600 && window == nullptr; ++i) {
        Sleep(50);
        ProcessWindow search = {nullptr};
        EnumWindows(FindShown, reinterpret_cast<LPARAM>(&search));
        window = search.found;
    }
    if (window == nullptr) {
        return 1;
    }
    Sleep(1500);  // painted
    // Without a window manager nothing ever gets the input focus; a person would see the dialog
    // active, in front of them.
    SendMessageW(window, WM_NCACTIVATE, TRUE, 0);
    Sleep(300);
    RECT rect;
    GetWindowRect(window, &rect);
    char line[64];
    int length = wsprintfA(line, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top);
    HANDLE file = CreateFileW(rectFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
        CloseHandle(file);
    }
    for (int i = 0; i < 300 && GetFileAttributesW(rectFile) != INVALID_FILE_ATTRIBUTES; ++i) {
        Sleep(100);
    }
    for (int id : {IDCANCEL, IDNO, IDOK}) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        return 2;
    }
    rectFile = argv[2];
    LoadLibraryW(L"riched20.dll");
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    int loaded = argc > 3 ? Framework::Get().LoadFrom(argv[3]) : Framework::Get().Load();
    if (loaded != 0) {
        return 3;
    }
    HANDLE photographer = CreateThread(nullptr, 0, Photographer, nullptr, 0, nullptr);
    int result = 0;
    if (lstrcmpW(argv[1], L"message") == 0) {
        Framework::Get().ShowMessage(
            nullptr,
            L"Setup cannot copy the file C:\\Program Files\\Tarnel\\Internet Security "
            L"Suite\\ovshell.exe.\r\n\r\nClose all programs and run Setup again.",
            kSuite, MB_OK | MB_ICONERROR, 0);
    } else if (lstrcmpW(argv[1], L"restart") == 0) {
        result = Framework::Get().ShowMessageId(0, nullptr, 24007, 20058, 0, 0) < 0 ? 4 : 0;
    } else if (lstrcmpW(argv[1], L"351") == 0) {
        AskConflictRemoval(nullptr, L"Other Vendor AntiVirus 2004", L"Tarnel Nimbo Antivirus");
    } else if (lstrcmpW(argv[1], L"231") == 0) {
        // A suite of three components, the suite shell done and the antivirus component begun.
        ProgressWindow& progress = ProgressWindow::Get();
        progress.Begin(nullptr, 3 + 5);
        ShowProductProgress(24000, kSuite);
        ShowProductProgress(24000, L"Tarnel Anti-Spam");
        ShowProductProgress(24000, L"Tarnel Nimbo Antivirus");
        result = progress.dialog == nullptr ? 5 : 0;
        if (photographer != nullptr) {
            WaitForSingleObject(photographer, 40000);
        }
        progress.End();
    } else {
        int id = _wtoi(argv[1]);
        shown = Framework::Get().CreateDialog(0, id, nullptr, GalleryProc, id, 10);
        if (shown == nullptr) {
            result = 5;
        } else {
            ShowWindow(shown, SW_SHOW);
            SetForegroundWindow(shown);
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                if (!IsDialogMessageW(shown, &message)) {
                    TranslateMessage(&message);
                    DispatchMessageW(&message);
                }
            }
        }
    }
    if (photographer != nullptr) {
        WaitForSingleObject(photographer, 40000);
        CloseHandle(photographer);
    }
    Framework::Get().Unload();
    return result;
}
