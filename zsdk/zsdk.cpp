// The anti-spam component's control library. Everything comes from the component's registry
// key and release folder on each call; the library keeps no state and does no locking.
// ANSI throughout: the callers and the component both use the system code page.
#undef UNICODE
#undef _UNICODE
#include <windows.h>
#include <shlwapi.h>
#include <stdio.h>
#include <string.h>

#include "zsdk/zsdk.h"

namespace {

const char kComponentKey[] = "SOFTWARE\\Zember";
const char kReleasePathValue[] = "ReleasePath";
const char kOutlookPlugin[] = "ZAddIn.dll";
const char kOutlookExpressPlugin[] = "ZOEHook.dll";
const char kMainLibrary[] = "Z.dll";
const char kUpdater[] = "Z-Update.exe";

const int kVersionTextSize = 128;

// The plug-ins' self-registration exports (COM server convention: stdcall).
typedef HRESULT(WINAPI* DllIsRegisteredFn)(DWORD* registered);
typedef HRESULT(WINAPI* DllInstallFn)(BOOL install, LPCWSTR commandLine);

template <typename Fn>
Fn FindExport(HMODULE module, const char* name) {
    // Through void*: a direct cast between unrelated function types draws a warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void FreeText(char* text) {
    if (text) {
        HeapFree(GetProcessHeap(), 0, text);
    }
}

// "ReleasePath" as a terminated heap text (free with FreeText), or null when the value is
// missing, has size 0, or grew between the size query and the read. The block is zero-filled
// and one byte longer than what the registry may write, so a value stored without its
// terminator, or of odd size, still ends inside the block.
char* ReadReleasePath() {
    DWORD size = 0;
    if (SHGetValueA(HKEY_LOCAL_MACHINE, kComponentKey, kReleasePathValue, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size == 0 || size == MAXDWORD) {
        return nullptr;
    }
    char* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size + 1));
    if (!text) {
        return nullptr;
    }
    DWORD read = size;
    if (SHGetValueA(HKEY_LOCAL_MACHINE, kComponentKey, kReleasePathValue, nullptr, text, &read) !=
        ERROR_SUCCESS) {
        FreeText(text);
        return nullptr;
    }
    return text;
}

// True when `folder` names a release folder that `folder\file` can be built from in a
// MAX_PATH buffer. An empty folder does not count: joined with a bare file name it would make
// the loader search its path and could pick up a stranger's copy.
bool FitsReleasePath(const char* folder, const char* file) {
    size_t length = strlen(folder);
    return length > 0 && length + 1 + strlen(file) < MAX_PATH;
}

// `path` (MAX_PATH chars) = release folder joined with `file`; false when there is no usable
// release folder.
bool BuildReleaseFilePath(char* path, const char* file) {
    char* folder = ReadReleasePath();
    if (!folder) {
        return false;
    }
    bool built = false;
    if (FitsReleasePath(folder, file)) {
        strcpy(path, folder);
        built = PathAppendA(path, file) != FALSE;
    }
    FreeText(folder);
    return built;
}

HMODULE LoadPlugin(const char* file) {
    char path[MAX_PATH];
    return BuildReleaseFilePath(path, file) ? LoadLibraryA(path) : nullptr;
}

// The value the plug-in's "DllIsRegistered" reports; 0 when it cannot be loaded or lacks it.
DWORD PluginRegistration(const char* file) {
    DWORD registered = 0;
    HMODULE plugin = LoadPlugin(file);
    if (plugin) {
        DllIsRegisteredFn isRegistered = FindExport<DllIsRegisteredFn>(plugin, "DllIsRegistered");
        if (isRegistered) {
            isRegistered(&registered);
        }
        FreeLibrary(plugin);
    }
    return registered;
}

BOOLEAN EnablePlugin(const char* file, BOOLEAN enable) {
    // Compared as truth values: any non-zero state means registered, any non-zero byte enable.
    if ((PluginRegistration(file) != 0) == (enable != 0)) {
        return TRUE;
    }
    HMODULE plugin = LoadPlugin(file);
    if (plugin) {
        DllInstallFn install = FindExport<DllInstallFn>(plugin, "DllInstall");
        if (install) {
            install(enable, L"upgrade");
        }
        FreeLibrary(plugin);
    }
    return TRUE;
}

// "a.b.c.d" from the fixed file information of the module's version resource.
bool FormatFileVersion(HMODULE module, char* text) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    if (!found) {
        return false;
    }
    DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* resource = loaded ? LockResource(loaded) : nullptr;
    // The root block's own length comes first; a resource shorter than that is damaged.
    if (!resource || size < sizeof(WORD) || *static_cast<const WORD*>(resource) > size) {
        return false;
    }

    // VerQueryValue wants a block of its own, as GetFileVersionInfo would hand it, not the
    // read-only mapped resource.
    BYTE* block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (!block) {
        return false;
    }
    memcpy(block, resource, size);
    void* value = nullptr;
    UINT length = 0;
    bool formatted = false;
    if (VerQueryValueA(block, "\\", &value, &length) && value && length >= sizeof(VS_FIXEDFILEINFO) &&
        static_cast<BYTE*>(value) >= block &&
        static_cast<BYTE*>(value) + sizeof(VS_FIXEDFILEINFO) <= block + size) {
        const VS_FIXEDFILEINFO* info = static_cast<const VS_FIXEDFILEINFO*>(value);
        _snprintf(text, kVersionTextSize, "%d.%d.%d.%d", HIWORD(info->dwFileVersionMS),
                  LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                  LOWORD(info->dwFileVersionLS));
        text[kVersionTextSize - 1] = '\0';
        formatted = true;
    }
    HeapFree(GetProcessHeap(), 0, block);
    return formatted;
}

}  // namespace

extern "C" {

BOOLEAN __cdecl ZSDK_IsProductInstalled(void) {
    char* folder = ReadReleasePath();
    BOOLEAN installed = folder ? TRUE : FALSE;
    FreeText(folder);
    return installed;
}

BOOLEAN __cdecl ZSDK_GetCurrentVersion(char* buffer, int size) {
    if (!buffer || size < 1) {
        return FALSE;
    }
    char path[MAX_PATH];
    if (!BuildReleaseFilePath(path, kMainLibrary)) {
        return FALSE;
    }
    // As data only: the component's code must not run inside the caller.
    HMODULE library = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!library) {
        return FALSE;
    }
    char text[kVersionTextSize];
    bool formatted = FormatFileVersion(library, text);
    FreeLibrary(library);
    if (!formatted) {
        return FALSE;
    }
    strncpy(buffer, text, static_cast<size_t>(size));
    return TRUE;
}

BOOLEAN __cdecl ZSDK_IsOLPluginEnabled(void) {
    return PluginRegistration(kOutlookPlugin) != 0 ? TRUE : FALSE;
}

BOOLEAN __cdecl ZSDK_IsOEPluginEnabled(void) {
    return PluginRegistration(kOutlookExpressPlugin) != 0 ? TRUE : FALSE;
}

BOOLEAN __cdecl ZSDK_EnableOLPlugin(BOOLEAN enable) {
    return EnablePlugin(kOutlookPlugin, enable);
}

BOOLEAN __cdecl ZSDK_EnableOEPlugin(BOOLEAN enable) {
    return EnablePlugin(kOutlookExpressPlugin, enable);
}

BOOLEAN __cdecl ZSDK_CheckForUpdate(void) {
    char* folder = ReadReleasePath();
    if (!folder) {
        return TRUE;
    }
    char path[MAX_PATH];
    if (FitsReleasePath(folder, kUpdater) && PathCombineA(path, folder, kUpdater)) {
        char commandLine[] = "Z-Update.exe /c";  // CreateProcess may write to it
        STARTUPINFOA startup;
        GetStartupInfoA(&startup);
        PROCESS_INFORMATION process;
        if (CreateProcessA(path, commandLine, nullptr, nullptr, FALSE,
                           CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT, nullptr, folder, &startup,
                           &process)) {
            // The updater runs on its own; nobody waits for it.
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    FreeText(folder);
    return TRUE;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}

}  // extern "C"
