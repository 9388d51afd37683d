#include "host/shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <intshcut.h>

#include "host/handles.h"
#include "host/paths.h"
#include "host/system.h"
#include "host/text.h"

namespace {

bool IsEmpty(const wchar_t* text) {
    return text == nullptr || text[0] == L'\0';
}

// What a shortcut holds; optional texts are null.
struct LinkFields {
    const wchar_t* target;
    const wchar_t* description;
    const wchar_t* workingDirectory;
    const wchar_t* arguments;
    const wchar_t* iconFile;
    int iconIndex;
};

// The texts in the form the link interface takes. The ANSI form is a temporary that lives until
// the end of the call it is passed to.
const wchar_t* LinkText(IShellLinkW*, const wchar_t* text) {
    return text;
}
AnsiText LinkText(IShellLinkA*, const wchar_t* text) {
    return WideToMultiByte(text);
}
const wchar_t* Pass(const wchar_t* text) {
    return text;
}
const char* Pass(const AnsiText& text) {
    return text.c_str();
}

// Each field is set only when the one before it succeeded.
template <typename Link>
HRESULT SetLinkFields(Link* link, const LinkFields& fields) {
    HRESULT result = link->SetPath(Pass(LinkText(link, fields.target)));
    if (SUCCEEDED(result)) {
        result = link->SetDescription(Pass(LinkText(link, fields.description)));
    }
    if (SUCCEEDED(result)) {
        result = link->SetWorkingDirectory(Pass(LinkText(link, fields.workingDirectory)));
    }
    if (SUCCEEDED(result) && fields.arguments != nullptr) {
        result = link->SetArguments(Pass(LinkText(link, fields.arguments)));
    }
    if (SUCCEEDED(result) && fields.iconFile != nullptr) {
        result = link->SetIconLocation(Pass(LinkText(link, fields.iconFile)), fields.iconIndex);
    }
    return result;
}

// Saves a shell object under `path` through its persistence interface.
HRESULT SaveObject(IUnknown* object, const wchar_t* path) {
    ScopedComPtr<IPersistFile> persist;
    HRESULT result = object->QueryInterface(IID_IPersistFile, persist.ReceiveVoid());
    if (SUCCEEDED(result)) {
        result = persist->Save(path, TRUE);
    }
    return result;
}

template <typename Link>
bool CreateLinkFile(REFIID linkInterface, const LinkFields& fields, const wchar_t* linkPath) {
    ScopedComPtr<Link> link;
    HRESULT result =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, linkInterface, link.ReceiveVoid());
    if (SUCCEEDED(result)) {
        result = SetLinkFields(link.Get(), fields);
    }
    // A link that was not written (no such folder, no access) is a failure like any other.
    if (SUCCEEDED(result)) {
        result = SaveObject(link.Get(), linkPath);
    }
    return SUCCEEDED(result);
}

// linkDirectory\linkName followed by the extension, within one path buffer.
bool BuildLinkPath(wchar_t* output, const wchar_t* linkDirectory, const wchar_t* linkName,
                   const wchar_t* extension) {
    return AppendPath(output, kPathChars, linkDirectory, linkName) &&
           TextAppend(output, kPathChars, extension);
}

}  // namespace

bool CreateShortcut(const wchar_t* linkName, const wchar_t* linkDirectory, const wchar_t* targetDirectory,
                    const wchar_t* targetFile, const wchar_t* arguments, const wchar_t* iconFile,
                    int iconIndex) {
    if (IsEmpty(linkName) || IsEmpty(linkDirectory) || IsEmpty(targetDirectory) || IsEmpty(targetFile)) {
        return false;
    }
    wchar_t target[kPathChars];
    wchar_t linkPath[kPathChars];
    if (!AppendPath(target, kPathChars, targetDirectory, targetFile) ||
        !BuildLinkPath(linkPath, linkDirectory, linkName, L".lnk")) {
        return false;
    }
    LinkFields fields = {target, linkName, targetDirectory, arguments, iconFile, iconIndex};
    // The 9x shell has only the ANSI link interface. The NT family gets the wide one, so that names
    // outside the ANSI code page reach the link unchanged.
    if (IsWindows9x()) {
        return CreateLinkFile<IShellLinkA>(IID_IShellLinkA, fields, linkPath);
    }
    return CreateLinkFile<IShellLinkW>(IID_IShellLinkW, fields, linkPath);
}

bool CreateUrlShortcut(const wchar_t* linkName, const wchar_t* linkDirectory, const wchar_t* address) {
    if (IsEmpty(linkName) || IsEmpty(linkDirectory) || IsEmpty(address)) {
        return false;
    }
    wchar_t linkPath[kPathChars];
    if (!BuildLinkPath(linkPath, linkDirectory, linkName, L".url")) {
        return false;
    }
    ScopedComPtr<IUniformResourceLocatorW> locator;
    HRESULT result = CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IUniformResourceLocatorW, locator.ReceiveVoid());
    if (SUCCEEDED(result)) {
        result = locator->SetURL(address, IURL_SETURL_FL_USE_DEFAULT_PROTOCOL);
    }
    if (SUCCEEDED(result)) {
        result = SaveObject(locator.Get(), linkPath);
    }
    return SUCCEEDED(result);
}
