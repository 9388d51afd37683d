// Loader the Unicode layer's import library calls (through _PfnLoadUnicows) the first time a wide
// function is used on the 9x family. Only ANSI calls may be made here.
#include "host/unicode_layer.h"

#include <string.h>

namespace {

const char kLayerLibrary[] = "unicows.dll";
const char kAntivirusInstallKey[] = "SOFTWARE\\Orvane\\Anti-Virus\\Install";

// The "ProgramPath" value of the antivirus install key, terminated, on the process heap; null when
// it cannot be read. Free with HeapFree.
char* ReadAntivirusProgramPath() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAntivirusInstallKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    char* value = nullptr;
    DWORD bytes = 0;
    if (RegQueryValueExA(key, "ProgramPath", nullptr, nullptr, nullptr, &bytes) == ERROR_SUCCESS) {
        // One spare byte: a value stored without its terminator still ends.
        value = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes + 1));
        if (value != nullptr && RegQueryValueExA(key, "ProgramPath", nullptr, nullptr,
                                                 reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS) {
            HeapFree(GetProcessHeap(), 0, value);
            value = nullptr;
        }
    }
    RegCloseKey(key);
    return value;
}

HMODULE LoadFromAntivirusFolder() {
    char* programPath = ReadAntivirusProgramPath();
    if (programPath == nullptr) {
        return nullptr;
    }
    HMODULE module = nullptr;
    char candidate[MAX_PATH];
    if (BuildUnicowsCandidate(candidate, sizeof(candidate), programPath)) {
        module = LoadLibraryA(candidate);
    }
    HeapFree(GetProcessHeap(), 0, programPath);
    return module;
}

}  // namespace

bool BuildUnicowsCandidate(char* output, size_t chars, const char* programPath) {
    if (output == nullptr || chars == 0) {
        return false;
    }
    size_t folder = programPath != nullptr ? strlen(programPath) : 0;
    size_t separator = folder > 3 ? 1 : 0;
    size_t name = sizeof(kLayerLibrary) - 1;
    if (folder + separator + name + 1 > chars) {
        memset(output, 0, chars);
        return false;
    }
    if (folder != 0) {
        memcpy(output, programPath, folder);
    }
    if (separator != 0) {
        output[folder] = '\\';
    }
    memcpy(output + folder + separator, kLayerLibrary, name + 1);
    return true;
}

extern "C" HMODULE __stdcall LoadUnicowsLayer(void) {
    HMODULE module = LoadFromAntivirusFolder();
    if (module == nullptr) {
        module = LoadLibraryA(kLayerLibrary);
    }
    if (module == nullptr) {
        MessageBoxA(nullptr, "Unicode wrapper not found: unicows.dll", "Error: Unicode layer", MB_ICONERROR);
        ExitProcess(static_cast<UINT>(-1));
    }
    return module;
}

// The hook the Unicode layer's import library looks for.
extern "C" {
FARPROC _PfnLoadUnicows = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&LoadUnicowsLayer));
}
