#include "components/setup_dialog_watcher.h"

#include <time.h>

#include "ui/resource_string.h"

namespace {

const size_t kTitleChars = 256;
const clock_t kSearchMs = 150;
const DWORD kPollMs = 100;

static_assert(CLOCKS_PER_SEC == 1000, "clock() counts milliseconds");

// The engine's dialog with exactly this title, looked for until kSearchMs have passed.
HWND FindDialog(const wchar_t* title) {
    clock_t start = clock();
    for (;;) {
        // An empty title would match any untitled dialog: such a text is never searched.
        HWND dialog = title[0] != L'\0' ? FindWindowW(L"#32770", title) : nullptr;
        if (dialog != nullptr || clock() - start >= kSearchMs) {
            return dialog;
        }
        Sleep(kPollMs);
    }
}

}  // namespace

void SetupDialogWatcher::Start() {
    if (running) {
        return;
    }
    running = 1;
    StartThread();
}

void SetupDialogWatcher::Join() {
    running = 0;
    WaitThread();
}

void SetupDialogWatcher::Run() {
    static const unsigned short kTitleIds[] = {24009, 24010, 24011, 24012, 24014, 24013, 24015};
    const int count = sizeof(kTitleIds) / sizeof(kTitleIds[0]);
    wchar_t titles[count][kTitleChars];
    for (int i = 0; i < count; ++i) {
        LoadResourceString(nullptr, kTitleIds[i], titles[i], kTitleChars);
    }
    while (running) {
        for (int i = 0; i < count; ++i) {
            HWND dialog = FindDialog(titles[i]);
            if (dialog != nullptr) {
                SendMessageW(dialog, WM_COMMAND, IDYES, 0);
            }
            if (!running) {
                return;
            }
            if (dialog != nullptr) {
                break;  // the next dialog may be any of them
            }
        }
    }
}
