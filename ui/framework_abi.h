// The binary interface of the framework library "kestrafrm.dll", shared by the engine's wrapper
// (ui/framework.cpp) and our own build of the library (standins/kestrafrm). Entries are exported
// by ordinal only and use the Win32 calling convention. Texts are UTF-16; "chars" counts wide
// characters with the terminator.
#pragma once
#include <windows.h>

// File names of the companion libraries, all looked for in the package folder.
#define KESTRA_FRAMEWORK_LIBRARY L"kestrafrm.dll"
#define KESTRA_PRODUCT_LIBRARY L"ovavprod.dll"
#define KESTRA_STRING_LIBRARY L"kestrares.dll"

enum FrameworkOrdinal {
    kFrameworkOrdinalUninit = 2,
    kFrameworkOrdinalShowMessage = 3,
    kFrameworkOrdinalShowMessageId = 4,
    kFrameworkOrdinalCreateDialog = 5,
    kFrameworkOrdinalDialogBox = 6,
    kFrameworkOrdinalLoadString = 9,
    kFrameworkOrdinalFolderPicker = 15,
    kFrameworkOrdinalInit = 18,
};

// The "sel" argument callers pass to 4, 5, 6 and 9, and the trailing argument of 5 and 6.
const int kFrameworkSel = 0;
const int kFrameworkDialogFlags = 10;

// Dialog templates of the framework and the control ids the engine's procedures rely on.
enum FrameworkDialogId {
    kDialogAgreement = 228,      // 1036 rich-edit text, 1288 title, 1451 accept, 2 cancel
    kDialogDestination = 230,    // 1292 path edit, 1293 explanation, 1030 browse, 1087 text, 1, 2
    kDialogProgress = 231,       // 1316 progress bar, 1144 step text
    kDialogWinsockNotice = 283,  // 1446 link, 1087 text, 2 close
    kDialogRichEditNotice = 284,
    kDialogComponents = 350,  // 1650 text, 1651 note, 1652..1659 check boxes, 1, 2
    kDialogConflict = 351,    // 1455 product name, 1087, 1088, 1089, 1091 texts, 1, 2
};

// Messages the framework's text items ("KestraText") accept from dialog procedures.
// kFrameworkSetTextStyle: wParam 0, lParam one of the styles below; TRUE when known.
// kFrameworkSetLink: wParam 0, lParam the link address (wide text); the item shows the address
// and opens it when clicked. TRUE when taken (the address fits kFrameworkLinkChars).
const UINT kFrameworkSetTextStyle = 7036;
const UINT kFrameworkSetLink = 7037;
enum FrameworkTextStyle {
    kTextStyleTitle = 8,      // bold
    kTextStyleNormal = 16,    // the dialog's font
    kTextStyleEmphasis = 24,  // bold and larger
};
const int kFrameworkLinkChars = 1024;
#define KESTRA_TEXT_CLASS L"KestraText"

// 18: loads the product and string libraries (file names) from the framework's own folder and
// keeps them for ordinal 9. Either may be missing; a later call replaces the earlier pair.
typedef void(WINAPI* FrameworkInitEntry)(const wchar_t* productLibrary, const wchar_t* stringLibrary);
// 2: frees what 18 loaded.
typedef void(WINAPI* FrameworkUninitEntry)();
// 3: a message box with a system style (MB_...); the button pressed (IDOK, IDYES, ...), 0 on failure.
typedef int(WINAPI* FrameworkShowMessageEntry)(HWND owner, const wchar_t* text, const wchar_t* caption,
                                               UINT style, int reserved);
// 4: a Yes/No question whose text is string `messageId` and caption string `captionId`: 1 for
// Yes, 0 for No or when the question text is missing.
typedef int(WINAPI* FrameworkShowMessageIdEntry)(int sel, HWND owner, UINT messageId, UINT captionId,
                                                 int reserved1, int reserved2);
// 5: modeless dialog from the framework's template; null on failure.
typedef HWND(WINAPI* FrameworkCreateDialogEntry)(int sel, int dialogId, HWND owner, DLGPROC procedure,
                                                 LPARAM parameter, int flags);
// 6: modal dialog from the framework's template; the value the procedure ends with, -1 on failure.
typedef INT_PTR(WINAPI* FrameworkDialogBoxEntry)(int sel, int dialogId, HWND owner, DLGPROC procedure,
                                                 LPARAM parameter, int flags);
// 9: string `id` from the product library, else the string library, into `buffer` (cut to
// `chars`); the length, 0 and an empty buffer when neither has it.
typedef int(WINAPI* FrameworkLoadStringEntry)(int sel, UINT id, wchar_t* buffer, int chars);
// 15: the system's folder picker titled `title`, starting at the folder the buffer holds (when
// not empty). 0 when a folder was chosen: its path is in the buffer; otherwise non-zero and the
// buffer as it was (cleared when the chosen path does not fit).
typedef int(WINAPI* FrameworkFolderPickerEntry)(HWND owner, wchar_t* buffer, int chars, const wchar_t* title);
