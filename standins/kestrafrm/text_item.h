// The framework's text item, window class "KestraText": a static text that dialog procedures can
// restyle (message 7036) or turn into a link that opens its address (message 7037). It keeps the
// ordinary window text, so SetDlgItemText and GetWindowText work as on a static.
// WM_GETFONT answers the font the item draws with (bold for the title style, and so on).
#pragma once
#include <windows.h>

// Registers the class for dialogs created from `module`'s templates; repeated calls are harmless.
void RegisterTextItemClass(HINSTANCE module);
void UnregisterTextItemClass(HINSTANCE module);
