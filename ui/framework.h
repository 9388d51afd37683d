// The framework library "kestrafrm.dll", through which every dialog, message box, folder
// picker and numbered text of the run passes. Bound by ordinal; loaded by the install and
// uninstall roles at their start and unloaded at their end.
#pragma once
#include <windows.h>

// The framework's entry names collide with Win32 macros of the same names.
#undef LoadString
#undef DialogBox
#undef CreateDialog

class Framework {
  public:
    static Framework& Get();

    // Loads the library, binds ordinals 18, 2, 3, 4, 6, 5, 15 and 9 and initialises it with
    // "ovavprod.dll" and "kestrares.dll". 0 when ready; 9003 when the library or an entry is
    // missing (logged as 25006 with the system error), 9004 when strings 22000 and 20160 do not
    // load. On failure nothing stays loaded (an initialised library is uninitialised first).
    // The library is taken from the program directory, else found by the system's search. While
    // ready, the framework is the first source of LoadResourceString and shows the log's boxes.
    // Already ready: 0 at once.
    int Load();
    // The same with the library taken from `directory` only (no fallback to the system's search):
    // for a package folder other than the program's own.
    int LoadFrom(const wchar_t* directory);
    // Uninitialises (when ready) and frees the library; a no-op when nothing is loaded.
    void Unload();
    bool IsReady() const { return ready_; }

    // Text length (cut to `chars`), 0 and an empty buffer for none (also before ready).
    int LoadString(int sel, unsigned id, wchar_t* buffer, int chars);
    // 0 when a folder was chosen into the buffer (260 chars); -1 before ready.
    int ShowFolderPicker(HWND owner, wchar_t* buffer, int chars, const wchar_t* title);
    // Modal dialog `dialogId`: the value the procedure ends with (<= 0: cancelled); -1 before ready.
    INT_PTR DialogBox(int sel, int dialogId, HWND owner, DLGPROC procedure, LPARAM parameter, int flags);
    // Modeless dialog; null when it failed or before ready.
    HWND CreateDialog(int sel, int dialogId, HWND owner, DLGPROC procedure, LPARAM parameter, int flags);
    // Message box with a system style: the button id pressed (IDYES = 6); -1 before ready.
    int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style, int reserved);
    // The framework's numbered question (the restart question): 1 = accepted; -1 before ready.
    int ShowMessageId(int sel, HWND owner, unsigned messageId, unsigned captionId, int reserved1,
                      int reserved2);

  private:
    Framework() = default;
    int Bind(HMODULE module, DWORD loadError);
    void Clear();

    static const int kEntryCount = 8;  // one per bound ordinal
    HMODULE module_ = nullptr;
    bool ready_ = false;
    FARPROC entries_[kEntryCount] = {};
};
