// Records and entry points of the firewall engine's trust-list library "vspubapi.dll". The
// setup engine's side must declare them exactly like this: the library and its caller meet only
// through this layout.
//
// Layout: in the 32-bit build every field is 32 bits, little-endian, counted from 0, pointers
// included (a pointer sits in a 32-bit field). In the 64-bit build a pointer field takes a
// pointer's size and alignment (8 bytes), so the records keep the compiler's natural layout in
// both builds; fields without pointers are the same in both. A size field holds sizeof(record)
// of the build: 40 for TvNewAppRecord in 32 bits, 48 in 64 bits.
//
// Entry points are WINAPI (stdcall on x86), exported under their plain names. Each returns
// non-zero on success and 0 on failure, except tvGetProcAddress, which returns the entry point
// or null, as GetProcAddress does.
#pragma once
#include <windows.h>

#include <stddef.h>

// tvInitialize's flags: the first attempt, and the retry of an engine that refused them.
#define TV_INIT_FLAGS 0x8102FFFFu
#define TV_INIT_FLAGS_RETRY ((TV_INIT_FLAGS & 0x5BFFFFFFu) | 0x24000000u) /* 0x2502FFFF */

#define TV_PROPERTIES_LEVEL 9u  // detail level of tvGetAppProperties: the record with the path
#define TV_PERMS_LEVEL 1u       // detail level of tvGetAppPerms and tvSetAppPerms
#define TV_TERMINATE_MODE 8u    // tvTerminate's second argument

typedef void* TvConnection;  // made by tvInitialize, ended by tvTerminate

// 64 bytes. Field 0 = 64, field 1 = the flags, field 4 = 4, field 6 = 23, all others 0.
struct TvInitRecord {
    DWORD field[16];
};

// Returned by tvGetAppList, released with tvFreePtr. Field 0 = the record's size in bytes,
// field 1 = the number of applications n, fields 2 .. n+1 = their ids.
struct TvAppList {
    DWORD size;
    DWORD count;
    DWORD ids[1];  // `count` ids
};

// Returned by tvGetAppProperties, released with tvFreePtr. Field 1 points at the application's
// path, text in the ANSI code page, inside the same allocation.
struct TvAppProperties {
    DWORD size;
    const char* path;
    DWORD id;
    DWORD reserved;
};

// Passed to tvNewApp. Field 1 points at the program's path in the ANSI code page; all others 0.
struct TvNewAppRecord {
    DWORD size;
    const char* path;
    DWORD reserved[8];
};

// 84 bytes, passed to tvGetAppPerms (field 0 = 84 before the call) and tvSetAppPerms. The engine
// merges a program's rules into fields 1, 2, 3, 4, 11 and 14.
struct TvPermRecord {
    DWORD field[21];
};

static_assert(TV_INIT_FLAGS_RETRY == 0x2502FFFFu, "retry flags");
static_assert(sizeof(TvInitRecord) == 64, "initialisation record");
static_assert(sizeof(TvPermRecord) == 84, "permission record");
static_assert(offsetof(TvAppList, ids) == 8, "application list");
#if !defined(_WIN64)
static_assert(sizeof(TvNewAppRecord) == 40 && offsetof(TvNewAppRecord, path) == 4, "new-application record");
static_assert(offsetof(TvAppProperties, path) == 4, "application properties");
#else
static_assert(sizeof(TvNewAppRecord) == 48 && offsetof(TvNewAppRecord, path) == 8, "new-application record");
static_assert(offsetof(TvAppProperties, path) == 8, "application properties");
#endif

typedef BOOL(WINAPI* TvInitializeFn)(TvInitRecord* record, TvConnection* connection);
typedef FARPROC(WINAPI* TvGetProcAddressFn)(HMODULE module, LPCSTR name);
typedef BOOL(WINAPI* TvGetAppListFn)(TvConnection connection, DWORD reserved, TvAppList** list);
typedef BOOL(WINAPI* TvGetAppPropertiesFn)(TvConnection connection, DWORD reserved, DWORD id, DWORD level,
                                           TvAppProperties** properties);
typedef BOOL(WINAPI* TvFreePtrFn)(void* pointer);
typedef BOOL(WINAPI* TvDelAppFn)(TvConnection connection, DWORD reserved, DWORD id);
typedef BOOL(WINAPI* TvNewAppFn)(TvConnection connection, DWORD reserved, TvNewAppRecord* record, DWORD* id);
typedef BOOL(WINAPI* TvGetAppPermsFn)(TvConnection connection, DWORD reserved, DWORD id, DWORD level,
                                      TvPermRecord* record);
typedef BOOL(WINAPI* TvSetAppPermsFn)(TvConnection connection, DWORD reserved, DWORD id, DWORD level,
                                      const TvPermRecord* record);
typedef BOOL(WINAPI* TvTerminateFn)(TvConnection connection, DWORD mode);
