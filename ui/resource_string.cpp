#include "ui/resource_string.h"

#include <limits.h>

#include "host/handles.h"
#include "host/text.h"

namespace {

FrameworkStringSource volatile g_frameworkSource = nullptr;

// The libraries asked after the framework, in this order, from the program directory.
const wchar_t* const kLibraryNames[] = {L"ovavprod.dll", L"kestrares.dll"};

int Capacity(size_t chars) {
    return chars > INT_MAX ? INT_MAX : static_cast<int>(chars);
}

size_t LoadFromModule(HMODULE module, unsigned id, wchar_t* buffer, size_t chars) {
    int length = LoadStringW(module, id, buffer, Capacity(chars));
    if (length <= 0) {
        buffer[0] = L'\0';
        return 0;
    }
    return static_cast<size_t>(length);
}

// The program directory joined with `fileName`. Worked out here rather than through the host
// utilities, which report their failures through the log, whose texts come from here.
bool ProgramFilePath(wchar_t* path, size_t chars, const wchar_t* fileName) {
    DWORD length = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(chars));
    if (length == 0 || length >= chars) {
        TextClear(path, chars);
        return false;
    }
    wchar_t* slash = nullptr;
    for (wchar_t* p = path; *p != L'\0'; ++p) {
        if (*p == L'\\') {
            slash = p;
        }
    }
    if (slash == nullptr) {
        TextClear(path, chars);
        return false;
    }
    slash[1] = L'\0';
    return TextAppend(path, chars, fileName);
}

size_t LoadFromLibrary(const wchar_t* fileName, unsigned id, wchar_t* buffer, size_t chars) {
    wchar_t path[kPathChars];
    if (!ProgramFilePath(path, kPathChars, fileName) || GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) {
        return 0;
    }
    UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ScopedModule library(LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    SetErrorMode(previousMode);
    if (!library.IsValid()) {
        return 0;
    }
    return LoadFromModule(library.Get(), id, buffer, chars);
}

}  // namespace

void SetFrameworkStringSource(FrameworkStringSource source) {
    g_frameworkSource = source;
}

size_t LoadResourceString(HMODULE module, unsigned id, wchar_t* buffer, size_t chars) {
    if (buffer == nullptr || chars == 0) {
        return 0;
    }
    buffer[0] = L'\0';
    // String ids are 16-bit; a larger one would silently name another string.
    if (id > 0xFFFF) {
        return 0;
    }
    DWORD error = GetLastError();
    size_t length = 0;
    if (module != nullptr) {
        length = LoadFromModule(module, id, buffer, chars);
    } else {
        FrameworkStringSource source = g_frameworkSource;
        if (source != nullptr) {
            int found = source(id, buffer, Capacity(chars));
            buffer[chars - 1] = L'\0';
            length = found > 0 ? TextLengthWithin(buffer, chars) : 0;
            if (length == 0) {
                buffer[0] = L'\0';
            }
        }
        for (size_t i = 0; length == 0 && i < sizeof(kLibraryNames) / sizeof(kLibraryNames[0]); ++i) {
            length = LoadFromLibrary(kLibraryNames[i], id, buffer, chars);
        }
        if (length == 0) {
            length = LoadFromModule(GetModuleHandleW(nullptr), id, buffer, chars);
        }
    }
    SetLastError(error);
    return length;
}
