// "vspubapi.dll": the firewall engine's list of trusted applications (trust_list_abi.h). Each
// application has an id, a path in the ANSI code page and an 84-byte permission record. The list
// lives in the registry among the engine's settings, so it outlives each load of the library and
// goes away with the engine's uninstall:
//   HKLM\SOFTWARE\Zone Labs\TrueVector\Applications   "NextId" (DWORD; ids start at 1001)
//     \<id, decimal>   "Path" (REG_SZ through the ANSI calls), "Permissions" (REG_BINARY, 84 bytes)
// A new application starts with a permission record of zeros but field 0 = 84.
//
// Record "vspubapi": one entry per call, "call: <entry point>" and then what the call has, in
// this order: connection (1, 2, ... per load of the library; 0 = none), reserved, id, level, mode
// (decimal), name and module ("this library" or "other") for tvGetProcAddress, size (decimal),
// path (the text), ids (the list, blank-separated), record (the DWORD fields of an initialisation
// or permission record as 8 upper-case hex digits, blank-separated; for tvGetAppPerms the fields
// handed back), rest (the 8 DWORDs after the path of a new-application record, same form),
// pointer ("list", "properties" or "unknown" for tvFreePtr), outstanding (records handed out and
// not released, at tvTerminate), and last "result: 1" or "result: 0".
//
// Switches (HKLM\SOFTWARE\OvStandins\vspubapi):
//   RejectFlags (DWORD)  tvInitialize fails when its flags share a bit with this mask; 0x80000000
//                        refuses the first attempt (0x8102FFFF) and accepts the retry (0x2502FFFF)
//   FailCalls (text)     entry point names, comma-separated, that fail (return 0, change nothing)
//   HideEntries (text)   entry point names that tvGetProcAddress does not give out
#include "trust_list_abi.h"
#include "standin.h"

#include <stdlib.h>
#include <string.h>

#include <shlwapi.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace {

const wchar_t kProgram[] = L"vspubapi";
const wchar_t kAppsKey[] = L"SOFTWARE\\Zone Labs\\TrueVector\\Applications";
const DWORD kFirstId = 1001;
const DWORD kInitRecordSize = sizeof(TvInitRecord);
const DWORD kPermRecordSize = sizeof(TvPermRecord);

struct Connection {
    DWORD serial;
};

std::set<Connection*> g_connections;
DWORD g_lastSerial = 0;
std::map<void*, const wchar_t*> g_handedOut;  // records the caller must release, by kind

HMODULE ThisLibrary() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisLibrary), &module);
    return module;
}

// --- switches -------------------------------------------------------------------------------

bool Listed(const wchar_t* switchName, const char* entry) {
    std::wstring list = standin::SwitchText(kProgram, switchName);
    std::wstring wanted(entry, entry + strlen(entry));
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(L',', start);
        if (end == std::wstring::npos)
            end = list.size();
        std::wstring name = list.substr(start, end - start);
        size_t first = name.find_first_not_of(L" \t");
        size_t last = name.find_last_not_of(L" \t");
        if (first != std::wstring::npos &&
            lstrcmpiW(name.substr(first, last - first + 1).c_str(), wanted.c_str()) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

bool Fails(const char* entry) {
    return Listed(L"FailCalls", entry);
}

// --- record texts ---------------------------------------------------------------------------

std::wstring Number(DWORD value) {
    wchar_t text[16];
    swprintf(text, 16, L"%lu", static_cast<unsigned long>(value));
    return text;
}

std::wstring Fields(const DWORD* fields, size_t count) {
    std::wstring text;
    for (size_t i = 0; i < count; ++i) {
        wchar_t field[12];
        swprintf(field, 12, L"%08lX", static_cast<unsigned long>(fields[i]));
        if (i > 0)
            text += L' ';
        text += field;
    }
    return text;
}

std::wstring Ansi(const char* text) {
    if (text == nullptr)
        return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}

std::wstring Result(BOOL ok) {
    return ok ? L"1" : L"0";
}

DWORD SerialOf(TvConnection connection) {
    Connection* c = static_cast<Connection*>(connection);
    return g_connections.count(c) ? c->serial : 0;
}

// --- the stored list ------------------------------------------------------------------------

std::wstring AppKey(DWORD id) {
    return std::wstring(kAppsKey) + L"\\" + Number(id);
}

std::vector<DWORD> ListIds() {
    std::vector<DWORD> ids;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return ids;
    wchar_t name[64];
    for (DWORD i = 0;; ++i) {
        DWORD length = 64;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DWORD id = static_cast<DWORD>(wcstoul(name, nullptr, 10));
        if (id != 0)
            ids.push_back(id);
    }
    RegCloseKey(key);
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool ReadPath(DWORD id, std::string* path) {
    std::string key;
    for (wchar_t c : AppKey(id))
        key += static_cast<char>(c);  // the key name is plain ASCII
    char buffer[1024] = {};
    DWORD bytes = sizeof(buffer) - 1;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Path", RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
        ERROR_SUCCESS) {
        return false;
    }
    *path = buffer;
    return true;
}

bool ReadPermissions(DWORD id, TvPermRecord* record) {
    DWORD bytes = kPermRecordSize;
    return RegGetValueW(HKEY_LOCAL_MACHINE, AppKey(id).c_str(), L"Permissions", RRF_RT_REG_BINARY, nullptr,
                        record, &bytes) == ERROR_SUCCESS &&
           bytes == kPermRecordSize;
}

bool WritePermissions(DWORD id, const TvPermRecord& record) {
    HKEY app = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AppKey(id).c_str(), 0, KEY_SET_VALUE, &app) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExW(app, L"Permissions", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&record),
                             kPermRecordSize);
    RegCloseKey(app);
    return rc == ERROR_SUCCESS;
}

DWORD FindByPath(const char* path) {
    for (DWORD id : ListIds()) {
        std::string stored;
        if (ReadPath(id, &stored) && lstrcmpiA(stored.c_str(), path) == 0)
            return id;
    }
    return 0;
}

// Adds an application with fresh permissions; its id, or 0 when it could not be stored.
DWORD AddApp(const char* path) {
    HKEY apps = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAppsKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &apps,
                        nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD id = kFirstId, bytes = sizeof(id);
    if (RegQueryValueExW(apps, L"NextId", nullptr, nullptr, reinterpret_cast<BYTE*>(&id), &bytes) !=
            ERROR_SUCCESS ||
        id < kFirstId) {
        id = kFirstId;
    }
    DWORD next = id + 1;
    RegSetValueExW(apps, L"NextId", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&next), sizeof(next));
    RegCloseKey(apps);

    HKEY app = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, AppKey(id).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &app,
                        nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    LONG rc = RegSetValueExA(app, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                             static_cast<DWORD>(strlen(path) + 1));
    RegCloseKey(app);
    TvPermRecord permissions = {};
    permissions.field[0] = kPermRecordSize;
    return rc == ERROR_SUCCESS && WritePermissions(id, permissions) ? id : 0;
}

void* HandOut(size_t bytes, const wchar_t* kind) {
    void* block = calloc(1, bytes);
    if (block != nullptr)
        g_handedOut[block] = kind;
    return block;
}

}  // namespace

extern "C" {

__declspec(dllexport) BOOL WINAPI tvInitialize(TvInitRecord* record, TvConnection* connection) {
    BOOL ok = record != nullptr && connection != nullptr && record->field[0] == kInitRecordSize &&
              (record->field[1] & standin::Switch(kProgram, L"RejectFlags")) == 0 && !Fails("tvInitialize");
    DWORD serial = 0;
    if (ok) {
        Connection* made = new Connection{++g_lastSerial};
        g_connections.insert(made);
        *connection = made;
        serial = made->serial;
    }
    standin::Record(kProgram, {{L"call", L"tvInitialize"},
                               {L"connection", Number(serial)},
                               {L"record", record ? Fields(record->field, 16) : L"(none)"},
                               {L"result", Result(ok)}});
    return ok;
}

__declspec(dllexport) FARPROC WINAPI tvGetProcAddress(HMODULE module, LPCSTR name) {
    FARPROC entry = nullptr;
    bool named = name != nullptr && !IS_INTRESOURCE(name);
    if (named && !Listed(L"HideEntries", name))
        entry = GetProcAddress(module, name);
    standin::Record(kProgram, {{L"call", L"tvGetProcAddress"},
                               {L"name", named ? Ansi(name) : L"(none)"},
                               {L"module", module == ThisLibrary() ? L"this library" : L"other"},
                               {L"result", Result(entry != nullptr)}});
    return entry;
}

__declspec(dllexport) BOOL WINAPI tvGetAppList(TvConnection connection, DWORD reserved, TvAppList** list) {
    std::vector<DWORD> ids = ListIds();
    BOOL ok = SerialOf(connection) != 0 && list != nullptr && !Fails("tvGetAppList");
    std::wstring idText;
    if (ok) {
        DWORD size =
            static_cast<DWORD>(offsetof(TvAppList, ids) + sizeof(DWORD) * (ids.empty() ? 1 : ids.size()));
        TvAppList* made = static_cast<TvAppList*>(HandOut(size, L"list"));
        ok = made != nullptr;
        if (ok) {
            made->size = size;
            made->count = static_cast<DWORD>(ids.size());
            for (size_t i = 0; i < ids.size(); ++i) {
                made->ids[i] = ids[i];
                idText += (i ? L" " : L"") + Number(ids[i]);
            }
            *list = made;
        }
    }
    standin::Record(kProgram, {{L"call", L"tvGetAppList"},
                               {L"connection", Number(SerialOf(connection))},
                               {L"reserved", Number(reserved)},
                               {L"ids", idText},
                               {L"result", Result(ok)}});
    return ok;
}

__declspec(dllexport) BOOL WINAPI tvGetAppProperties(TvConnection connection, DWORD reserved, DWORD id,
                                                     DWORD level, TvAppProperties** properties) {
    std::string path;
    BOOL ok = SerialOf(connection) != 0 && properties != nullptr && !Fails("tvGetAppProperties") &&
              ReadPath(id, &path);
    if (ok) {
        // The path lives in the same block, right after the record.
        TvAppProperties* made =
            static_cast<TvAppProperties*>(HandOut(sizeof(TvAppProperties) + path.size() + 1, L"properties"));
        ok = made != nullptr;
        if (ok) {
            char* text = reinterpret_cast<char*>(made + 1);
            memcpy(text, path.c_str(), path.size() + 1);
            made->size = sizeof(TvAppProperties);
            made->path = text;
            made->id = id;
            *properties = made;
        }
    }
    standin::Record(kProgram, {{L"call", L"tvGetAppProperties"},
                               {L"connection", Number(SerialOf(connection))},
                               {L"reserved", Number(reserved)},
                               {L"id", Number(id)},
                               {L"level", Number(level)},
                               {L"path", ok ? Ansi(path.c_str()) : L""},
                               {L"result", Result(ok)}});
    return ok;
}

__declspec(dllexport) BOOL WINAPI tvFreePtr(void* pointer) {
    auto found = g_handedOut.find(pointer);
    const wchar_t* kind = found == g_handedOut.end() ? L"unknown" : found->second;
    BOOL ok = found != g_handedOut.end();
    if (ok) {
        free(pointer);
        g_handedOut.erase(found);
    }
    standin::Record(kProgram, {{L"call", L"tvFreePtr"}, {L"pointer", kind}, {L"result", Result(ok)}});
    return ok;
}

__declspec(dllexport) BOOL WINAPI tvDelApp(TvConnection connection, DWORD reserved, DWORD id) {
    std::string path;
    BOOL ok = SerialOf(connection) != 0 && !Fails("tvDelApp") && ReadPath(id, &path) &&
              SHDeleteKeyW(HKEY_LOCAL_MACHINE, AppKey(id).c_str()) == ERROR_SUCCESS;
    standin::Record(kProgram, {{L"call", L"tvDelApp"},
                               {L"connection", Number(SerialOf(connection))},
                               {L"reserved", Number(reserved)},
                               {L"id", Number(id)},
                               {L"path", Ansi(path.c_str())},
                               {L"result", Result(ok)}});
    return ok;
}

__declspec(dllexport) BOOL WINAPI
    tvNewApp(TvConnection connection, DWORD reserved, TvNewAppRecord* record, DWORD* id) {
    DWORD made = 0;
    // A second entry for the same program is refused: the caller deletes or updates the first.
    BOOL ok = SerialOf(connection) != 0 && record != nullptr && id != nullptr &&
              record->size == sizeof(TvNewAppRecord) && record->path != nullptr && record->path[0] != '\0' &&
              !Fails("tvNewApp") && FindByPath(record->path) == 0;
    if (ok) {
        made = AddApp(record->path);
        ok = made != 0;
        if (ok)
            *id = made;
    }
    standin::Record(kProgram, {{L"call", L"tvNewApp"},
                               {L"connection", Number(SerialOf(connection))},
                               {L"reserved", Number(reserved)},
                               {L"id", Number(made)},
                               {L"size", record ? Number(record->size) : L"(none)"},
                               {L"path", record ? Ansi(record->path) : L""},
                               {L"rest", record ? Fields(record->reserved, 8) : L""},
                               {L"result", Result(ok)}});
    return ok;
}

__declspec(dllexport) BOOL WINAPI
    tvGetAppPerms(TvConnection connection, DWORD reserved, DWORD id, DWORD level, TvPermRecord* record) {
    TvPermRecord stored = {};
    BOOL ok = SerialOf(connection) != 0 && record != nullptr && record->field[0] == kPermRecordSize &&
              !Fails("tvGetAppPerms") && ReadPermissions(id, &stored);
    if (ok)
        *record = stored;
    standin::Record(kProgram, {{L"call", L"tvGetAppPerms"},
                               {L"connection", Number(SerialOf(connection))},
                               {L"reserved", Number(reserved)},
                               {L"id", Number(id)},
                               {L"level", Number(level)},
                               {L"record", record ? Fields(record->field, 21) : L"(none)"},
                               {L"result", Result(ok)}});
    return ok;
}

__declspec(dllexport) BOOL WINAPI tvSetAppPerms(TvConnection connection, DWORD reserved, DWORD id,
                                                DWORD level, const TvPermRecord* record) {
    std::string path;
    BOOL ok = SerialOf(connection) != 0 && record != nullptr && record->field[0] == kPermRecordSize &&
              !Fails("tvSetAppPerms") && ReadPath(id, &path) && WritePermissions(id, *record);
    standin::Record(kProgram, {{L"call", L"tvSetAppPerms"},
                               {L"connection", Number(SerialOf(connection))},
                               {L"reserved", Number(reserved)},
                               {L"id", Number(id)},
                               {L"level", Number(level)},
                               {L"record", record ? Fields(record->field, 21) : L"(none)"},
                               {L"result", Result(ok)}});
    return ok;
}

__declspec(dllexport) BOOL WINAPI tvTerminate(TvConnection connection, DWORD mode) {
    DWORD serial = SerialOf(connection);
    BOOL ok = serial != 0 && !Fails("tvTerminate");
    if (ok) {
        g_connections.erase(static_cast<Connection*>(connection));
        delete static_cast<Connection*>(connection);
    }
    standin::Record(kProgram, {{L"call", L"tvTerminate"},
                               {L"connection", Number(serial)},
                               {L"mode", Number(mode)},
                               {L"outstanding", Number(static_cast<DWORD>(g_handedOut.size()))},
                               {L"result", Result(ok)}});
    return ok;
}

}  // extern "C"

// The exports must keep the types the caller casts them to.
static_assert(std::is_same<decltype(&tvInitialize), TvInitializeFn>::value, "tvInitialize");
static_assert(std::is_same<decltype(&tvGetProcAddress), TvGetProcAddressFn>::value, "tvGetProcAddress");
static_assert(std::is_same<decltype(&tvGetAppList), TvGetAppListFn>::value, "tvGetAppList");
static_assert(std::is_same<decltype(&tvGetAppProperties), TvGetAppPropertiesFn>::value, "tvGetAppProperties");
static_assert(std::is_same<decltype(&tvFreePtr), TvFreePtrFn>::value, "tvFreePtr");
static_assert(std::is_same<decltype(&tvDelApp), TvDelAppFn>::value, "tvDelApp");
static_assert(std::is_same<decltype(&tvNewApp), TvNewAppFn>::value, "tvNewApp");
static_assert(std::is_same<decltype(&tvGetAppPerms), TvGetAppPermsFn>::value, "tvGetAppPerms");
static_assert(std::is_same<decltype(&tvSetAppPerms), TvSetAppPermsFn>::value, "tvSetAppPerms");
static_assert(std::is_same<decltype(&tvTerminate), TvTerminateFn>::value, "tvTerminate");
