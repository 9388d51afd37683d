// The modeless progress dialog (framework dialog 231) shown while a role works through its
// components. It lives on a thread of its own so it keeps painting while the worker waits for a
// component's setup; the worker only sends it steps. The named event "Kestra_ProgressSync" lets
// the worker wait until the dialog exists before the first step.
#pragma once
#include <windows.h>

#include "host/thread_object.h"

class ProgressWindow : public ThreadObject {
  public:
    static ProgressWindow& Get();
    // Starts the thread and waits (at most 5 s) until the dialog exists. The bar has `steps`
    // steps. Nothing at display level 0.
    void Begin(HWND owner, int steps);
    // Advances the bar by one step and shows `text` (null: the text stays). Waits up to 2.5 s for
    // a dialog that is still being made; nothing at display level 0 or without a dialog.
    void Step(const wchar_t* text);
    // Fills the bar and ends the dialog's thread; waits about 5 s for the dialog to go (logs 25550
    // when it does not). Nothing without a dialog.
    void End();
    void Run() override;

    static const UINT kEndMessage = 0x1405;
    volatile HWND dialog = nullptr;
    HWND owner = nullptr;
    int steps = 5;

  private:
    ProgressWindow() = default;
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};
