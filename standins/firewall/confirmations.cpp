#include "confirmations.h"

#include "resource.h"
#include "standin.h"

#include <stdlib.h>

namespace fw {

namespace {

const DWORD kUsualTimeoutMs = 60000;
const UINT_PTR kTimer = 1;
const INT_PTR kNoAnswer = 0;

struct Question {
    std::wstring title;
    std::wstring text;
    DWORD timeoutMs;
};

std::wstring LoadText(UINT id) {
    wchar_t buffer[512] = {};
    int n = LoadStringW(GetModuleHandleW(nullptr), id, buffer, 512);
    return std::wstring(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

INT_PTR CALLBACK QuestionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const Question* question = reinterpret_cast<const Question*>(lParam);
            SetWindowTextW(dialog, question->title.c_str());
            SetDlgItemTextW(dialog, IDC_QUESTION_TEXT, question->text.c_str());
            if (question->timeoutMs != 0)
                SetTimer(dialog, kTimer, question->timeoutMs, nullptr);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDYES || LOWORD(wParam) == IDNO || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam) == IDYES ? IDYES : IDNO);
                return TRUE;
            }
            break;
        case WM_TIMER:
            if (wParam == kTimer) {
                KillTimer(dialog, kTimer);
                EndDialog(dialog, kNoAnswer);
                return TRUE;
            }
            break;
    }
    return FALSE;
}

}  // namespace

std::vector<UINT> DialogsToShow(const wchar_t* program, std::vector<UINT> usual) {
    const wchar_t kUnset[] = L"(unset)";
    std::wstring list = standin::SwitchText(program, L"Dialogs", kUnset);
    if (list == kUnset)
        return usual;
    std::vector<UINT> ids;
    for (const wchar_t* p = list.c_str(); *p != L'\0';) {
        wchar_t* end = nullptr;
        unsigned long id = wcstoul(p, &end, 10);
        if (end == p) {
            ++p;  // a separator
            continue;
        }
        ids.push_back(static_cast<UINT>(id));
        p = end;
    }
    return ids;
}

bool Confirm(const wchar_t* program, const std::vector<UINT>& ids, std::wstring* answers) {
    answers->clear();
    const DWORD timeoutMs = standin::Switch(program, L"DialogTimeout", kUsualTimeoutMs);
    for (UINT id : ids) {
        Question question = {LoadText(id), LoadText(id + IDS_QUESTION_OFFSET), timeoutMs};
        if (question.title.empty())
            continue;  // not one of the engine's dialogs
        INT_PTR answer = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_QUESTION), nullptr,
                                         QuestionProc, reinterpret_cast<LPARAM>(&question));
        if (!answers->empty())
            *answers += L", ";
        *answers += question.title + (answer == IDYES ? L": yes" : answer == IDNO ? L": no" : L": none");
        if (answer != IDYES)
            return false;
    }
    return true;
}

}  // namespace fw
