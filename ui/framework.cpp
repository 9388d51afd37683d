// STUB: replaced by the real implementation.
#include "ui/framework.h"
Framework& Framework::Get() { static Framework framework; return framework; }
int Framework::Load() { return 9003; }
void Framework::Unload() {}
void Framework::Clear() {}
int Framework::LoadString(int, unsigned, wchar_t* b, int c) { if (b && c > 0) b[0] = 0; return 0; }
int Framework::ShowFolderPicker(HWND, wchar_t*, int, const wchar_t*) { return -1; }
INT_PTR Framework::DialogBox(int, int, HWND, DLGPROC, LPARAM, int) { return -1; }
HWND Framework::CreateDialog(int, int, HWND, DLGPROC, LPARAM, int) { return nullptr; }
int Framework::ShowMessage(HWND, const wchar_t*, const wchar_t*, UINT, int) { return -1; }
int Framework::ShowMessageId(int, HWND, unsigned, unsigned, int, int) { return -1; }
