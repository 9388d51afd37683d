// The question whether a conflicting program found on the computer may be removed.
#pragma once
#include <windows.h>

// Dialog 351: names `otherProductName` and explains that it must go before `displayName` (this
// component) can be installed. 0 when the person chose to remove it (OK); 9021 when they declined
// (Cancel), and also when the dialog could not be shown (framework not ready). Null names show
// as empty.
int AskConflictRemoval(HWND owner, const wchar_t* otherProductName, const wchar_t* displayName);
