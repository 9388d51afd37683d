// Notices that name the vendor's download page for a missing or outdated system library.
#pragma once
#include <windows.h>

// The framework's control messages to dialog items: a text style (8, 16 or 24) and a link address.
const UINT kFrameworkTextStyleMessage = 7036;
const UINT kFrameworkLinkMessage = 7037;

// Dialog 284: the rich-edit library is too old. The dialog's end value.
INT_PTR ShowRichEditNotice(HWND owner);
// Dialog 283: Windows Sockets 2 is missing; `libraryName` is formatted into its text.
INT_PTR ShowWinsockNotice(HWND owner, const wchar_t* libraryName);
