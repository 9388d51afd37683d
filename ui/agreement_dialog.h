// The license agreement a person must accept before anything is installed.
#pragma once
#include <windows.h>

// Dialog 228: the agreement text of "license.txt" in the program directory (UTF-16 text) under
// the title "<product name> <agreement title>" of the product in charge (the suite shell when it
// takes part, else its primary component, else the string libraries). A missing, unreadable or
// implausibly large file shows an empty text. 0 when the person accepted; 9018 when they
// cancelled, and also when the dialog could not be shown (framework not ready, or the rich-edit
// library not loaded: the caller holds a RichEditLibrary while asking). Below display level 2
// nothing is shown and the result is 0.
int ShowAgreementDialog(HWND owner);
