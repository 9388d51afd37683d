// The framework wrapper: binds "kestrafrm.dll" by ordinal and forwards the engine's dialogs,
// message boxes and string look-ups to it.
#include "ui/framework.h"

#include "host/system.h"
#include "host/text.h"
#include "log/logger.h"
#include "setup/errors.h"
#include "ui/framework_abi.h"
#include "ui/resource_string.h"

namespace {

const unsigned kMsgFrameworkLoad = 25006;

// Strings every usable pair of resource libraries supplies; their absence means a broken package.
const unsigned kProbeStrings[] = {22000, 20160};
const int kProbeChars = 256;

// Slots of Framework::entries_, in the order the ordinals are bound.
enum EntrySlot {
    kInit,
    kUninit,
    kShowMessage,
    kShowMessageId,
    kDialogBox,
    kCreateDialog,
    kFolderPicker,
    kLoadString
};
const WORD kSlotOrdinals[] = {kFrameworkOrdinalInit,         kFrameworkOrdinalUninit,
                              kFrameworkOrdinalShowMessage,  kFrameworkOrdinalShowMessageId,
                              kFrameworkOrdinalDialogBox,    kFrameworkOrdinalCreateDialog,
                              kFrameworkOrdinalFolderPicker, kFrameworkOrdinalLoadString};

// GetProcAddress hands out one generic type; going through void(*)() keeps the compiler's
// function-cast check quiet for a conversion that is intended.
template <typename Entry>
Entry EntryAs(FARPROC entry) {
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(entry));
}

// A missing library must not bring up the system's "cannot find" box on old Windows.
HMODULE LoadQuietly(const wchar_t* path) {
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryW(path);
    DWORD error = GetLastError();
    SetErrorMode(previous);
    SetLastError(error);
    return module;
}

// Null when the directory is unknown or the path does not fit.
HMODULE LoadFromDirectory(const wchar_t* directory) {
    wchar_t path[kPathChars];
    if (TextLength(directory) == 0 ||
        !TextFormat(path, kPathChars, L"%s\\%s", directory, KESTRA_FRAMEWORK_LIBRARY)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return LoadQuietly(path);
}

int StringSource(unsigned id, wchar_t* buffer, int chars) {
    return Framework::Get().LoadString(0, id, buffer, chars);
}

int ShowMessageHook(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
    return Framework::Get().ShowMessage(owner, text, caption, style, 0);
}

// The log keeps one set of hooks; only ours is swapped, the caption hook stays as it was.
void SetShowMessageHook(bool on) {
    LoggerHooks hooks = Logger::Get().GetHooks();
    if (on) {
        hooks.frameworkShowMessage = ShowMessageHook;
    } else if (hooks.frameworkShowMessage == ShowMessageHook) {
        hooks.frameworkShowMessage = nullptr;
    } else {
        return;
    }
    Logger::Get().SetHooks(hooks);
}

}  // namespace

Framework& Framework::Get() {
    static Framework framework;
    return framework;
}

int Framework::Load() {
    if (ready_) {
        return 0;
    }
    HMODULE module = LoadFromDirectory(GetCurrentAppDir());
    if (module == nullptr) {
        // Not beside the program: the system's usual search may still know a companion library.
        module = LoadQuietly(KESTRA_FRAMEWORK_LIBRARY);
    }
    return Bind(module, GetLastError());
}

int Framework::LoadFrom(const wchar_t* directory) {
    if (ready_) {
        return 0;
    }
    HMODULE module = LoadFromDirectory(directory);
    return Bind(module, GetLastError());
}

int Framework::Bind(HMODULE module, DWORD loadError) {
    if (module == nullptr) {
        Logger::Get().Value(kMsgFrameworkLoad, loadError, nullptr);
        return ErrorFrameworkLoad;
    }
    static_assert(sizeof(kSlotOrdinals) / sizeof(kSlotOrdinals[0]) == kEntryCount,
                  "one ordinal per entry slot");
    module_ = module;
    for (int slot = 0; slot < kEntryCount; ++slot) {
        entries_[slot] = GetProcAddress(module_, MAKEINTRESOURCEA(kSlotOrdinals[slot]));
        if (entries_[slot] == nullptr) {
            DWORD error = GetLastError();
            Clear();
            Logger::Get().Value(kMsgFrameworkLoad, error, nullptr);
            return ErrorFrameworkLoad;
        }
    }

    EntryAs<FrameworkInitEntry>(entries_[kInit])(KESTRA_PRODUCT_LIBRARY, KESTRA_STRING_LIBRARY);
    FrameworkLoadStringEntry loadString = EntryAs<FrameworkLoadStringEntry>(entries_[kLoadString]);
    for (unsigned id : kProbeStrings) {
        wchar_t text[kProbeChars] = {};
        if (loadString(kFrameworkSel, id, text, kProbeChars) <= 0) {
            // Initialised but not ready: the library still wants its uninit.
            EntryAs<FrameworkUninitEntry>(entries_[kUninit])();
            Clear();
            return ErrorResourceLoad;
        }
    }

    ready_ = true;
    SetFrameworkStringSource(StringSource);
    SetShowMessageHook(true);
    return 0;
}

void Framework::Unload() {
    if (ready_) {
        SetFrameworkStringSource(nullptr);
        SetShowMessageHook(false);
        ready_ = false;
        EntryAs<FrameworkUninitEntry>(entries_[kUninit])();
    }
    Clear();
}

void Framework::Clear() {
    ready_ = false;
    for (FARPROC& entry : entries_) {
        entry = nullptr;
    }
    if (module_ != nullptr) {
        DWORD error = GetLastError();
        FreeLibrary(module_);
        SetLastError(error);
        module_ = nullptr;
    }
}

int Framework::LoadString(int sel, unsigned id, wchar_t* buffer, int chars) {
    if (buffer == nullptr || chars <= 0) {
        return 0;
    }
    buffer[0] = 0;
    if (!ready_) {
        return 0;
    }
    int length = EntryAs<FrameworkLoadStringEntry>(entries_[kLoadString])(sel, id, buffer, chars);
    if (length <= 0) {
        buffer[0] = 0;
        return 0;
    }
    return length;
}

int Framework::ShowFolderPicker(HWND owner, wchar_t* buffer, int chars, const wchar_t* title) {
    if (!ready_) {
        return -1;
    }
    return EntryAs<FrameworkFolderPickerEntry>(entries_[kFolderPicker])(owner, buffer, chars, title);
}

INT_PTR Framework::DialogBox(int sel, int dialogId, HWND owner, DLGPROC procedure, LPARAM parameter,
                             int flags) {
    if (!ready_) {
        return -1;
    }
    return EntryAs<FrameworkDialogBoxEntry>(entries_[kDialogBox])(sel, dialogId, owner, procedure, parameter,
                                                                  flags);
}

HWND Framework::CreateDialog(int sel, int dialogId, HWND owner, DLGPROC procedure, LPARAM parameter,
                             int flags) {
    if (!ready_) {
        return nullptr;
    }
    return EntryAs<FrameworkCreateDialogEntry>(entries_[kCreateDialog])(sel, dialogId, owner, procedure,
                                                                        parameter, flags);
}

int Framework::ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style,
                           int reserved) {
    if (!ready_) {
        return -1;
    }
    return EntryAs<FrameworkShowMessageEntry>(entries_[kShowMessage])(owner, text, caption, style, reserved);
}

int Framework::ShowMessageId(int sel, HWND owner, unsigned messageId, unsigned captionId, int reserved1,
                             int reserved2) {
    if (!ready_) {
        return -1;
    }
    return EntryAs<FrameworkShowMessageIdEntry>(entries_[kShowMessageId])(sel, owner, messageId, captionId,
                                                                          reserved1, reserved2);
}
