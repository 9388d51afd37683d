#include "product/trust_list.h"

#include "components/product_main.h"
#include "host/files.h"
#include "host/paths.h"
#include "host/system.h"
#include "log/logger.h"
#include "setup/errors.h"
#include "setup/options.h"

namespace {

// The records the engine's library reads and fills. The library defines their layout: 32-bit
// fields counted from 0, except that a pointer takes a pointer's size and alignment, so in the
// 64-bit build the records keep the compiler's natural layout; a size field holds the record's
// size in the running build.
typedef void* TvConnection;

struct TvInitRecord {
    DWORD field[16];
};
struct TvAppList {
    DWORD size;
    DWORD count;
    DWORD ids[1];  // `count` ids
};
struct TvAppProperties {
    DWORD size;
    const char* path;  // ANSI code page
};
struct TvNewAppRecord {
    DWORD size;
    const char* path;  // ANSI code page
    DWORD reserved[8];
};
struct TvPermRecord {
    DWORD field[21];
};

static_assert(sizeof(TvInitRecord) == 64 && sizeof(TvPermRecord) == 84, "the engine's record sizes");
static_assert(sizeof(TvNewAppRecord) == (sizeof(void*) == 4 ? 40 : 48), "the engine's record size");

const DWORD kInitFlags = 0x8102FFFF;
// An engine that refuses the first flags takes these: 0x2502FFFF.
const DWORD kInitFlagsRetry = (kInitFlags & 0x5BFFFFFF) | 0x24000000;
const DWORD kPropertiesLevel = 9;
const DWORD kPermissionsLevel = 1;
const DWORD kTerminateMode = 8;

typedef BOOL(WINAPI* TvInitializeFn)(TvInitRecord*, TvConnection*);
typedef FARPROC(WINAPI* TvGetProcAddressFn)(HMODULE, LPCSTR);
typedef BOOL(WINAPI* TvGetAppListFn)(TvConnection, DWORD, TvAppList**);
typedef BOOL(WINAPI* TvGetAppPropertiesFn)(TvConnection, DWORD, DWORD, DWORD, TvAppProperties**);
typedef BOOL(WINAPI* TvFreePtrFn)(void*);
typedef BOOL(WINAPI* TvDelAppFn)(TvConnection, DWORD, DWORD);
typedef BOOL(WINAPI* TvNewAppFn)(TvConnection, DWORD, TvNewAppRecord*, DWORD*);
typedef BOOL(WINAPI* TvAppPermsFn)(TvConnection, DWORD, DWORD, DWORD, TvPermRecord*);
typedef BOOL(WINAPI* TvTerminateFn)(TvConnection, DWORD);

// The entry points bound through tvGetProcAddress, in this order.
enum Entry {
    kGetAppList,
    kGetAppProperties,
    kFreePtr,
    kDelApp,
    kNewApp,
    kGetAppPerms,
    kSetAppPerms,
    kTerminate
};
const char* const kEntryNames[] = {"tvGetAppList", "tvGetAppProperties", "tvFreePtr",     "tvDelApp",
                                   "tvNewApp",     "tvGetAppPerms",      "tvSetAppPerms", "tvTerminate"};
const int kEntryCount = sizeof(kEntryNames) / sizeof(kEntryNames[0]);

// One library load for one program update.
struct TrustListApi {
    HMODULE module;
    TvConnection connection;
    FARPROC tvInitialize;
    FARPROC tvGetProcAddress;
    FARPROC entries[kEntryCount];

    // Entry points come as one generic type; going through void(*)() says the cast is meant.
    template <typename Fn>
    Fn As(FARPROC entry) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(entry));
    }
    template <typename Fn>
    Fn Get(Entry entry) const {
        return As<Fn>(entries[entry]);
    }
};

// The row's six values go into these permission fields, in order.
const unsigned char kPermissionFields[6] = {1, 3, 2, 4, 14, 11};

// Merges the row into the record; true when a field changed.
bool MergePermissions(const TrustedProgram& row, TvPermRecord* record) {
    bool changed = false;
    for (int i = 0; i < 6; ++i) {
        DWORD& field = record->field[kPermissionFields[i]];
        DWORD before = field;
        if (row.permissions[i] == 2) {
            field = 1;
        } else if (row.permissions[i] == 3 && field == 0) {
            field = 2;
        }
        changed |= field != before;
    }
    return changed;
}

// Steps after the connection: find the program, replace or create its entry, merge its
// permissions. The list is released here.
int UpdateEntry(const TrustListApi& api, const char* path, int removeFirst, const TrustedProgram& row) {
    TvAppList* list = nullptr;
    if (!api.Get<TvGetAppListFn>(kGetAppList)(api.connection, 0, &list) || list == nullptr) {
        return kTrustListNoList;
    }
    TvFreePtrFn freePtr = api.Get<TvFreePtrFn>(kFreePtr);
    int result = kTrustListDone;
    bool found = false;
    DWORD id = 0;
    for (DWORD i = 0; i < list->count && !found; ++i) {
        TvAppProperties* properties = nullptr;
        if (!api.Get<TvGetAppPropertiesFn>(kGetAppProperties)(api.connection, 0, list->ids[i],
                                                              kPropertiesLevel, &properties) ||
            properties == nullptr) {
            result = kTrustListNoProperties;
            continue;
        }
        found = properties->path != nullptr && lstrcmpiA(properties->path, path) == 0;
        freePtr(properties);
        if (found) {
            id = list->ids[i];
        }
    }
    if (result == kTrustListDone && found && removeFirst) {
        if (api.Get<TvDelAppFn>(kDelApp)(api.connection, 0, id)) {
            found = false;
        } else {
            result = kTrustListNotDeleted;
        }
    }
    TvPermRecord permissions = {};
    permissions.field[0] = sizeof(permissions);
    if (result == kTrustListDone && !found) {
        TvNewAppRecord app = {};
        app.size = sizeof(app);
        app.path = path;
        if (!api.Get<TvNewAppFn>(kNewApp)(api.connection, 0, &app, &id)) {
            result = kTrustListNotCreated;
        }
    } else if (result == kTrustListDone &&
               !api.Get<TvAppPermsFn>(kGetAppPerms)(api.connection, 0, id, kPermissionsLevel, &permissions)) {
        result = kTrustListNoPermissions;
    }
    if (result == kTrustListDone && MergePermissions(row, &permissions) &&
        !api.Get<TvAppPermsFn>(kSetAppPerms)(api.connection, 0, id, kPermissionsLevel, &permissions)) {
        result = kTrustListPermissionsNotSet;
    }
    freePtr(list);
    return result;
}

}  // namespace

int RegisterTrustedProgram(const wchar_t* path, int removeFirst, int retryInit, const TrustedProgram& row) {
    if (!FileExists(path)) {
        return kTrustListDone;
    }
    // The engine's library lives in the system folder: never one found beside the package.
    wchar_t library[kPathChars];
    if (!GetWinSysDir(library, kPathChars) || !EnsureTrailingChar(library, kPathChars, L'\\') ||
        !TextAppend(library, kPathChars, L"vspubapi.dll")) {
        return kTrustListNoLibrary;
    }
    TrustListApi api = {};
    UINT errorMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    api.module = LoadLibraryExW(library, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    SetErrorMode(errorMode);
    if (api.module == nullptr) {
        return kTrustListNoLibrary;
    }
    int result = kTrustListDone;
    api.tvInitialize = GetProcAddress(api.module, "tvInitialize");
    if (api.tvInitialize != nullptr) {
        TvInitializeFn initialize = api.As<TvInitializeFn>(api.tvInitialize);
        TvInitRecord record = {};
        record.field[0] = sizeof(record);
        record.field[1] = kInitFlags;
        record.field[4] = 4;
        record.field[6] = 23;
        if (!initialize(&record, &api.connection)) {
            record.field[1] = kInitFlagsRetry;
            if (!retryInit || !initialize(&record, &api.connection)) {
                api.connection = nullptr;
                result = kTrustListNoConnection;
            }
        }
    }
    api.tvGetProcAddress = GetProcAddress(api.module, "tvGetProcAddress");
    TvGetProcAddressFn getProcAddress = api.As<TvGetProcAddressFn>(api.tvGetProcAddress);
    bool complete = api.tvInitialize != nullptr;
    for (int i = 0; i < kEntryCount; ++i) {
        api.entries[i] = getProcAddress != nullptr ? getProcAddress(api.module, kEntryNames[i])
                                                   : GetProcAddress(api.module, kEntryNames[i]);
        complete &= api.entries[i] != nullptr;
    }
    if (!complete) {
        result = kTrustListNoEntryPoint;
    }
    if (result == kTrustListDone) {
        AnsiText ansiPath = WideToMultiByte(path);
        result = UpdateEntry(api, ansiPath.c_str(), removeFirst, row);
        if (api.connection != nullptr) {
            api.Get<TvTerminateFn>(kTerminate)(api.connection, kTerminateMode);
        }
    }
    FreeLibrary(api.module);
    return result;
}

int Product::AddTrustedPrograms(int removeFirst, int retryInit) {
    if (this != &ProductMain::Get() && !IsInstalled(1)) {
        return 0;
    }
    if (!SetupOptions::Get().updateFirewall) {
        return 0;
    }
    Logger::Get().Message(25538, nullptr);
    wchar_t folder[kPathChars];
    if (!GetInstalledFilesPath(folder, kPathChars, nullptr) ||
        !EnsureTrailingChar(folder, kPathChars, L'\\')) {
        return ErrorTrustList;
    }
    int result = 0;
    for (int i = 0; i < trustedProgramCount; ++i) {
        const TrustedProgram& row = trustedPrograms[i];
        wchar_t path[kPathChars];
        if (row.fileName == nullptr || row.fileName[0] == L'\0' || !TextCopy(path, kPathChars, folder) ||
            !TextAppend(path, kPathChars, row.fileName)) {
            result = ErrorTrustList;
            continue;
        }
        int code = RegisterTrustedProgram(path, removeFirst, retryInit, row);
        ReportPart part = {25515, path, 0};
        Logger::Get().Report(kLogInformation, kLogInformation, static_cast<unsigned>(code), 1, &part);
    }
    return result;
}
