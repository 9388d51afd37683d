// Process lookup by name. The NT family publishes its processes only in the performance data
// (NT 4.0 has no Toolhelp); the 9x family only through Toolhelp. Every failure means "not found".
#include "process/process_find.h"

#include <string.h>
#include <time.h>
#include <tlhelp32.h>
#include <wchar.h>
#include <winperf.h>

#include "host/handles.h"
#include "host/paths.h"
#include "host/system.h"
#include "host/text.h"

namespace {

const DWORD kPerfBufferBytes = 0x20000;  // one query, no retry: a longer list counts as not found
const size_t kInstanceNameChars = 512;
const size_t kCandidateChars = 384;
const size_t kCitrixNameChars = 15;  // Citrix servers cut instance names to this length
const DWORD kAppearPollMs = 100;
const DWORD kStillActivePollMs = 750;

const wchar_t kPerflibEnglishKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009";

static_assert(CLOCKS_PER_SEC == 1000, "clock() counts milliseconds");

// A zeroed block from the process heap, released once.
class HeapBlock {
  public:
    explicit HeapBlock(SIZE_T bytes)
        : data_(static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes))) {}
    ~HeapBlock() {
        if (data_ != nullptr) {
            HeapFree(GetProcessHeap(), 0, data_);
        }
    }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;
    BYTE* Get() const { return data_; }

  private:
    BYTE* data_;
};

LONG QueryPerformanceData(DWORD objectIndex, BYTE* buffer, DWORD* bytes) {
    wchar_t valueName[16];
    if (!TextFormat(valueName, 16, L"%1lu", objectIndex)) {
        return ERROR_INVALID_PARAMETER;
    }
    LONG status = RegQueryValueExW(HKEY_PERFORMANCE_DATA, valueName, nullptr, nullptr, buffer, bytes);
    // Lets the system unload the counter providers it opened for the query.
    RegCloseKey(HKEY_PERFORMANCE_DATA);
    return status;
}

bool IsCitrixServer() {
    ScopedRegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Citrix", 0, KEY_READ, key.Receive()) ==
           ERROR_SUCCESS;
}

PerfDataSource g_source = {nullptr, nullptr, nullptr};  // replaced only by tests

LONG QueryPerfSource(DWORD objectIndex, BYTE* buffer, DWORD* bytes) {
    return g_source.query != nullptr ? g_source.query(objectIndex, buffer, bytes)
                                     : QueryPerformanceData(objectIndex, buffer, bytes);
}
DWORD CounterIndexSource(const wchar_t* name) {
    return g_source.counterIndex != nullptr ? g_source.counterIndex(name) : GetPerfCounterIndex(name);
}
bool CitrixSource() {
    return g_source.isCitrix != nullptr ? g_source.isCitrix() : IsCitrixServer();
}

// The performance data comes from counter providers: every offset is checked against the
// bytes the query returned before it is followed.
bool InRange(DWORD offset, DWORD size, DWORD total) {
    return offset <= total && size <= total - offset;
}

template <typename T>
bool ReadAt(const BYTE* data, DWORD total, DWORD offset, T* out) {
    if (!InRange(offset, sizeof(T), total)) {
        return false;
    }
    memcpy(out, data + offset, sizeof(T));
    return true;
}

// The instance name (NameLength bytes at NameOffset, terminator included), cut to the buffer.
void CopyInstanceName(const BYTE* data, DWORD total, DWORD nameOffset, DWORD nameBytes, wchar_t* name,
                      size_t chars) {
    size_t count = 0;
    for (DWORD at = nameOffset; count + 1 < chars && at - nameOffset + sizeof(wchar_t) <= nameBytes;
         at += sizeof(wchar_t)) {
        wchar_t ch = 0;
        if (!ReadAt(data, total, at, &ch) || ch == 0) {
            break;
        }
        name[count++] = ch;
    }
    name[count] = 0;
}

bool InstanceMatches(const wchar_t* processName, wchar_t* instanceName, bool citrix) {
    wchar_t candidate[kCandidateChars] = {};
    if (citrix) {
        // Citrix numbers the instances by session: "12 z-update".
        unsigned long session = ParseDecimal(instanceName);
        if (session != 0 && !TextFormat(candidate, kCandidateChars, L"%1lu ", session)) {
            return false;
        }
    }
    if (!TextAppend(candidate, kCandidateChars, processName)) {
        return false;
    }
    if (citrix) {
        candidate[kCitrixNameChars] = 0;
        instanceName[kCitrixNameChars] = 0;
    }
    return TextCompareNoCase(candidate, instanceName) == 0;
}

// Searches the instances of the object at objectOffset for the process.
DWORD FindInProcessObject(const BYTE* data, DWORD total, DWORD objectOffset, DWORD idCounterIndex,
                          const wchar_t* processName, bool citrix) {
    PERF_OBJECT_TYPE object;
    if (!ReadAt(data, total, objectOffset, &object) ||
        !InRange(objectOffset, object.TotalByteLength, total)) {
        return 0;
    }
    // From here on offsets are relative to the object and bounded by it.
    const BYTE* base = data + objectOffset;
    const DWORD size = object.TotalByteLength;

    bool haveCounter = false;
    DWORD counterOffset = 0;
    DWORD at = object.HeaderLength;
    for (DWORD i = 0; i < object.NumCounters && !haveCounter; ++i) {
        PERF_COUNTER_DEFINITION counter;
        if (!ReadAt(base, size, at, &counter) || counter.ByteLength < sizeof(counter)) {
            return 0;
        }
        if (counter.CounterNameTitleIndex == idCounterIndex) {
            haveCounter = true;
            counterOffset = counter.CounterOffset;
        }
        at += counter.ByteLength;
    }
    if (!haveCounter) {
        return 0;
    }

    at = object.DefinitionLength;
    for (LONG i = 0; i < object.NumInstances; ++i) {
        PERF_INSTANCE_DEFINITION instance;
        if (!ReadAt(base, size, at, &instance) || instance.ByteLength < sizeof(instance) ||
            !InRange(at, instance.ByteLength, size)) {
            return 0;
        }
        DWORD blockAt = at + instance.ByteLength;
        PERF_COUNTER_BLOCK block;
        if (!ReadAt(base, size, blockAt, &block) || block.ByteLength < sizeof(block) ||
            !InRange(blockAt, block.ByteLength, size)) {
            return 0;
        }

        wchar_t name[kInstanceNameChars];
        if (InRange(at, instance.NameOffset, size)) {
            CopyInstanceName(base, size, at + instance.NameOffset, instance.NameLength, name,
                             kInstanceNameChars);
        } else {
            name[0] = 0;
        }
        if (InstanceMatches(processName, name, citrix)) {
            DWORD id = 0;
            if (!InRange(counterOffset, sizeof(id), block.ByteLength)) {
                return 0;
            }
            ReadAt(base, size, blockAt + counterOffset, &id);
            return id;
        }
        at = blockAt + block.ByteLength;
    }
    return 0;
}

DWORD FindInPerfDataBlock(const BYTE* data, DWORD total, DWORD objectIndex, const wchar_t* processName,
                          bool citrix) {
    PERF_DATA_BLOCK header;
    if (!ReadAt(data, total, 0, &header)) {
        return 0;
    }
    DWORD idCounterIndex = CounterIndexSource(L"ID Process");
    if (idCounterIndex == 0) {
        return 0;
    }
    // A query may return neighbouring objects of the same provider: take the one asked for.
    DWORD at = header.HeaderLength;
    for (DWORD i = 0; i < header.NumObjectTypes; ++i) {
        PERF_OBJECT_TYPE object;
        if (!ReadAt(data, total, at, &object) || object.TotalByteLength == 0) {
            return 0;
        }
        if (object.ObjectNameTitleIndex == objectIndex) {
            return FindInProcessObject(data, total, at, idCounterIndex, processName, citrix);
        }
        if (!InRange(at, object.TotalByteLength, total)) {
            return 0;
        }
        at += object.TotalByteLength;
    }
    return 0;
}

// Toolhelp is bound by name: NT 4.0's KERNEL32 lacks it.
typedef HANDLE(WINAPI* CreateSnapshotProc)(DWORD flags, DWORD processId);
typedef BOOL(WINAPI* ProcessWalkProc)(HANDLE snapshot, tagPROCESSENTRY32* entry);  // ANSI entry

template <typename T>
T BindProc(HMODULE module, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, name)));
}

DWORD FindProcessIdInSnapshot(const wchar_t* executableName) {
    if (TextLength(executableName) == 0) {
        return 0;
    }
    HMODULE kernel = GetModuleHandleW(L"KERNEL32.DLL");
    if (kernel == nullptr) {
        return 0;
    }
    CreateSnapshotProc createSnapshot = BindProc<CreateSnapshotProc>(kernel, "CreateToolhelp32Snapshot");
    ProcessWalkProc first = BindProc<ProcessWalkProc>(kernel, "Process32First");
    ProcessWalkProc next = BindProc<ProcessWalkProc>(kernel, "Process32Next");
    if (createSnapshot == nullptr || first == nullptr || next == nullptr) {
        return 0;
    }
    ScopedHandle snapshot(createSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid()) {
        return 0;
    }
    tagPROCESSENTRY32 entry;
    memset(&entry, 0, sizeof(entry));
    entry.dwSize = sizeof(entry);
    for (BOOL more = first(snapshot.Get(), &entry); more; more = next(snapshot.Get(), &entry)) {
        entry.szExeFile[MAX_PATH - 1] = 0;
        wchar_t path[kPathChars];
        if (MultiByteToWideChar(CP_ACP, 0, entry.szExeFile, -1, path, static_cast<int>(kPathChars)) == 0) {
            continue;
        }
        // The 9x family gives the full path, the NT family the file name alone.
        const wchar_t* slash = wcsrchr(path, L'\\');
        const wchar_t* fileName = slash != nullptr ? slash + 1 : path;
        if (entry.th32ProcessID != 0 && TextCompareNoCase(fileName, executableName) == 0) {
            return entry.th32ProcessID;
        }
    }
    return 0;
}

DWORD ElapsedMs(clock_t start) {
    return static_cast<DWORD>(clock() - start);
}

}  // namespace

DWORD GetPerfCounterIndex(const wchar_t* name) {
    if (TextLength(name) == 0) {
        return 0;
    }
    ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPerflibEnglishKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) {
        return 0;
    }
    // Two spare terminators: a table that fills the buffer still ends in an empty string.
    HeapBlock table(kPerfBufferBytes + 2 * sizeof(wchar_t));
    if (table.Get() == nullptr) {
        return 0;
    }
    DWORD bytes = kPerfBufferBytes;
    if (RegQueryValueExW(key.Get(), L"Counter", nullptr, nullptr, table.Get(), &bytes) != ERROR_SUCCESS) {
        return 0;
    }
    // Pairs of strings: the decimal index, then the name.
    const wchar_t* text = reinterpret_cast<const wchar_t*>(table.Get());
    const wchar_t* end = text + bytes / sizeof(wchar_t);
    while (text < end && *text != 0) {
        DWORD index = ParseDecimal(text);
        text += wcslen(text) + 1;
        if (text >= end || *text == 0) {
            break;
        }
        if (TextCompareNoCase(text, name) == 0) {
            return index;
        }
        text += wcslen(text) + 1;
    }
    return 0;
}

void SetPerfDataSource(const PerfDataSource* source) {
    if (source != nullptr) {
        g_source = *source;
    } else {
        g_source = PerfDataSource{nullptr, nullptr, nullptr};
    }
}

DWORD FindProcessIdInPerfData(const wchar_t* processName) {
    if (TextLength(processName) == 0) {
        return 0;
    }
    bool citrix = CitrixSource();
    DWORD objectIndex = CounterIndexSource(L"Process");
    if (objectIndex == 0) {
        return 0;
    }
    HeapBlock buffer(kPerfBufferBytes);
    if (buffer.Get() == nullptr) {
        return 0;
    }
    DWORD bytes = kPerfBufferBytes;
    if (QueryPerfSource(objectIndex, buffer.Get(), &bytes) != ERROR_SUCCESS || bytes > kPerfBufferBytes) {
        return 0;
    }
    return FindInPerfDataBlock(buffer.Get(), bytes, objectIndex, processName, citrix);
}

DWORD FindProcessId(const wchar_t* processName, const wchar_t* executableName) {
    if (IsWindows9x()) {
        return FindProcessIdInSnapshot(executableName);
    }
    return FindProcessIdInPerfData(processName);
}

DWORD WaitForProcess(const wchar_t* processName, const wchar_t* executableName, DWORD appearTimeout) {
    if (TextLength(processName) == 0 && TextLength(executableName) == 0) {
        return 0;
    }
    const clock_t start = clock();
    DWORD id = 0;
    for (;;) {
        id = FindProcessId(processName, executableName);
        if (id != 0) {
            break;
        }
        if (ElapsedMs(start) >= appearTimeout) {
            return 0;
        }
        Sleep(kAppearPollMs);
    }

    ScopedHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id));
    if (!process.IsValid()) {
        process.Reset(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
    }
    if (!process.IsValid()) {
        return 0;
    }
    // Without synchronise access the wait fails at once and the exit code is polled instead. A wait
    // that was signalled means the process has ended, even when it chose 259 as its exit code.
    for (;;) {
        DWORD waited = WaitForSingleObject(process.Get(), INFINITE);
        DWORD code = 0;
        if (!GetExitCodeProcess(process.Get(), &code)) {
            return 0;
        }
        if (code != STILL_ACTIVE || waited == WAIT_OBJECT_0) {
            return code;
        }
        Sleep(kStillActivePollMs);
    }
}
