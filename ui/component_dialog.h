// The choice of the components a run works on.
#pragma once
#include <windows.h>

// Dialog 350 over the current role's product list (Setup::Get(); none: an empty list). Every
// product's choiceControl is reset; each available one, in list order and at most eight, gets
// the next check box 1652..1659 (its choiceControl), named with its display name, enabled only
// when the product is accepted and then ticked when it is active. OK is possible only while a
// box is ticked; it makes each boxed product active exactly when its box is enabled and ticked,
// and gives 0. Cancel, or a dialog that could not be shown (framework not ready), gives 9017
// and leaves every active flag as it was. Below display level 2 nothing is shown and the result
// is 0. The uninstall role shows its own texts (24005 above the boxes, 24004 on OK).
int ShowComponentDialog(HWND owner);
