// The engine's confirmation dialogs: standard dialogs (class "#32770") titled with the engine's
// texts 24009 to 24015, each waiting for Yes (command 6) or No (command 7). The suite answers them
// from a watcher thread that looks for these titles.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace fw {

// The dialogs `program` shows: its switch "Dialogs" (text, ids separated by commas or blanks,
// empty for none) when set, else `usual`.
std::vector<UINT> DialogsToShow(const wchar_t* program, std::vector<UINT> usual);

// Shows the dialogs one after another and stops at the first one not answered Yes: No, closed, or
// left without an answer for the switch "DialogTimeout" (DWORD, ms; 60000 unless set; 0 waits
// without limit as the real dialogs do, the limit keeps a test without a watcher from hanging).
// True when every one was answered Yes. `answers` receives "<title>: yes|no|none" per dialog
// shown, joined by ", ".
bool Confirm(const wchar_t* program, const std::vector<UINT>& ids, std::wstring* answers);

}  // namespace fw
