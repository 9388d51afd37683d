// Stand-in for the framework library "kestrafrm.dll": the entries the engine binds by ordinal
// (see ui/framework_abi.h), dialog templates in kestrafrm.rc and the "KestraText" item class.
// Numbered texts come from the product and string libraries beside it; it has none of its own.
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include "standins/kestrafrm/text_item.h"
#include "ui/framework_abi.h"

namespace {

HINSTANCE self;
HMODULE productLibrary;
HMODULE stringLibrary;

const int kQuestionChars = 1024;
const int kCaptionChars = 256;

template <typename Entry>
Entry EntryAs(FARPROC entry) {
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(entry));
}

void FreeLibraries() {
    if (productLibrary != nullptr) {
        FreeLibrary(productLibrary);
        productLibrary = nullptr;
    }
    if (stringLibrary != nullptr) {
        FreeLibrary(stringLibrary);
        stringLibrary = nullptr;
    }
}

// `name` in the folder of this library; null when the name is absent, not plain or too long.
HMODULE LoadBeside(const wchar_t* name) {
    if (name == nullptr || name[0] == 0) {
        return nullptr;
    }
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    int cut = static_cast<int>(length);
    while (cut > 0 && path[cut - 1] != L'\\' && path[cut - 1] != L'/') {
        --cut;
    }
    int nameLength = lstrlenW(name);
    if (cut + nameLength >= MAX_PATH) {
        return nullptr;
    }
    lstrcpyW(path + cut, name);
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    SetErrorMode(previous);
    return module;
}

int LoadText(UINT id, wchar_t* buffer, int chars) {
    if (buffer == nullptr || chars <= 0) {
        return 0;
    }
    buffer[0] = 0;
    int length = 0;
    if (productLibrary != nullptr) {
        length = LoadStringW(productLibrary, id, buffer, chars);
    }
    if (length <= 0 && stringLibrary != nullptr) {
        length = LoadStringW(stringLibrary, id, buffer, chars);
    }
    if (length <= 0) {
        buffer[0] = 0;
        return 0;
    }
    return length;
}

// Opens the picker at the folder the caller's buffer held.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    const wchar_t* start = reinterpret_cast<const wchar_t*>(data);
    if (message == BFFM_INITIALIZED && start != nullptr && start[0] != 0) {
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start));
    }
    return 0;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded while the process goes on: a class left behind would point into freed code.
        UnregisterTextItemClass(self);
        FreeLibraries();
    }
    return TRUE;
}

void WINAPI FrmInit(const wchar_t* productName, const wchar_t* stringName) {
    FreeLibraries();
    productLibrary = LoadBeside(productName);
    stringLibrary = LoadBeside(stringName);
    RegisterTextItemClass(self);
    // The progress dialog's bar; Windows 95 without Internet Explorer lacks InitCommonControlsEx.
    InitCommonControls();
}

void WINAPI FrmUninit() {
    FreeLibraries();
    UnregisterTextItemClass(self);
}

int WINAPI FrmShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style, int) {
    return MessageBoxW(owner, text, caption, style);
}

int WINAPI FrmShowMessageId(int, HWND owner, UINT messageId, UINT captionId, int, int) {
    wchar_t question[kQuestionChars];
    wchar_t caption[kCaptionChars];
    if (LoadText(messageId, question, kQuestionChars) == 0) {
        return 0;  // nothing to ask: the safe answer
    }
    LoadText(captionId, caption, kCaptionChars);
    int button = MessageBoxW(owner, question, caption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND);
    return button == IDYES ? 1 : 0;
}

HWND WINAPI FrmCreateDialog(int, int dialogId, HWND owner, DLGPROC procedure, LPARAM parameter, int) {
    RegisterTextItemClass(self);
    return CreateDialogParamW(self, MAKEINTRESOURCEW(dialogId), owner, procedure, parameter);
}

INT_PTR WINAPI FrmDialogBox(int, int dialogId, HWND owner, DLGPROC procedure, LPARAM parameter, int) {
    RegisterTextItemClass(self);
    return DialogBoxParamW(self, MAKEINTRESOURCEW(dialogId), owner, procedure, parameter);
}

int WINAPI FrmLoadString(int, UINT id, wchar_t* buffer, int chars) {
    return LoadText(id, buffer, chars);
}

int WINAPI FrmFolderPicker(HWND owner, wchar_t* buffer, int chars, const wchar_t* title) {
    typedef LPITEMIDLIST(WINAPI * BrowseEntry)(LPBROWSEINFOW);
    typedef BOOL(WINAPI * PathEntry)(LPCITEMIDLIST, LPWSTR);
    if (buffer == nullptr || chars <= 0) {
        return -1;
    }
    // Bound by name: the wide picker is missing from early 9x shells.
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    if (shell == nullptr) {
        shell = LoadLibraryW(L"shell32.dll");
    }
    BrowseEntry browse = shell ? EntryAs<BrowseEntry>(GetProcAddress(shell, "SHBrowseForFolderW")) : nullptr;
    PathEntry pathOf = shell ? EntryAs<PathEntry>(GetProcAddress(shell, "SHGetPathFromIDListW")) : nullptr;
    if (browse == nullptr || pathOf == nullptr) {
        return -1;
    }

    wchar_t start[MAX_PATH] = {};
    if (lstrlenW(buffer) < MAX_PATH) {
        lstrcpyW(start, buffer);
    }
    wchar_t display[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pszDisplayName = display;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(start);

    HRESULT com = CoInitialize(nullptr);
    int result = 1;
    LPITEMIDLIST chosen = browse(&info);
    if (chosen != nullptr) {
        wchar_t path[MAX_PATH] = {};
        if (pathOf(chosen, path)) {
            if (lstrlenW(path) < chars) {
                lstrcpyW(buffer, path);
                result = 0;
            } else {
                buffer[0] = 0;
            }
        }
        CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return result;
}

}  // extern "C"

// The entries keep the types the engine binds them with.
namespace {
template <typename Entry>
constexpr bool Matches(Entry) {
    return true;
}
static_assert(Matches<FrameworkInitEntry>(FrmInit), "ordinal 18");
static_assert(Matches<FrameworkUninitEntry>(FrmUninit), "ordinal 2");
static_assert(Matches<FrameworkShowMessageEntry>(FrmShowMessage), "ordinal 3");
static_assert(Matches<FrameworkShowMessageIdEntry>(FrmShowMessageId), "ordinal 4");
static_assert(Matches<FrameworkCreateDialogEntry>(FrmCreateDialog), "ordinal 5");
static_assert(Matches<FrameworkDialogBoxEntry>(FrmDialogBox), "ordinal 6");
static_assert(Matches<FrameworkLoadStringEntry>(FrmLoadString), "ordinal 9");
static_assert(Matches<FrameworkFolderPickerEntry>(FrmFolderPicker), "ordinal 15");
}  // namespace
