#include <gtest/gtest.h>
#include <windows.h>
#include <winperf.h>

#include <stddef.h>
#include <string.h>

#include <string>
#include <vector>

#include "host/system.h"
#include "process/process_find.h"
#include "support/test_support.h"

namespace {

using ovtest::Narrow;

const DWORD kProcessIndex = 230;
const DWORD kIdProcessIndex = 784;
const DWORD kThreadIndex = 232;
const DWORD kProcessorTimeIndex = 6;

struct FakeInstance {
    std::wstring name;
    DWORD pid;
};

void Append(std::vector<BYTE>* block, const void* data, size_t bytes) {
    const BYTE* p = static_cast<const BYTE*>(data);
    block->insert(block->end(), p, p + bytes);
}
void PadTo8(std::vector<BYTE>* block) {
    while (block->size() % 8 != 0)
        block->push_back(0);
}
template <typename T>
T* At(std::vector<BYTE>* block, size_t offset) {
    return reinterpret_cast<T*>(block->data() + offset);
}

// One object as a counter provider lays it out: the object header, its counter definitions, then
// per instance the definition, the name (UTF-16, padded to 8 bytes) and the counter block.
// "% Processor Time" (8 bytes) comes first, so "ID Process" does not sit at the block's start.
std::vector<BYTE> BuildObject(DWORD objectIndex, const std::vector<FakeInstance>& instances,
                              bool withIdCounter) {
    std::vector<BYTE> object(sizeof(PERF_OBJECT_TYPE), 0);
    struct Counter {
        DWORD index, size, offset;
    };
    std::vector<Counter> counters = {{kProcessorTimeIndex, 8, 8}};
    if (withIdCounter)
        counters.push_back({kIdProcessIndex, 4, 16});
    for (const Counter& c : counters) {
        PERF_COUNTER_DEFINITION def = {};
        def.ByteLength = sizeof(def);
        def.CounterNameTitleIndex = c.index;
        def.CounterSize = c.size;
        def.CounterOffset = c.offset;
        Append(&object, &def, sizeof(def));
    }
    DWORD definitionLength = static_cast<DWORD>(object.size());
    for (const FakeInstance& fake : instances) {
        size_t start = object.size();
        PERF_INSTANCE_DEFINITION inst = {};
        inst.UniqueID = PERF_NO_UNIQUE_ID;
        inst.NameOffset = sizeof(inst);
        inst.NameLength = static_cast<DWORD>((fake.name.size() + 1) * sizeof(wchar_t));
        Append(&object, &inst, sizeof(inst));
        Append(&object, fake.name.c_str(), inst.NameLength);
        PadTo8(&object);
        At<PERF_INSTANCE_DEFINITION>(&object, start)->ByteLength = static_cast<DWORD>(object.size() - start);
        BYTE counterBlock[24] = {};
        reinterpret_cast<PERF_COUNTER_BLOCK*>(counterBlock)->ByteLength = sizeof(counterBlock);
        memset(counterBlock + 8, 0xAB, 8);  // processor time
        memcpy(counterBlock + 16, &fake.pid, sizeof(fake.pid));
        Append(&object, counterBlock, sizeof(counterBlock));
    }
    PERF_OBJECT_TYPE* header = At<PERF_OBJECT_TYPE>(&object, 0);
    header->TotalByteLength = static_cast<DWORD>(object.size());
    header->DefinitionLength = definitionLength;
    header->HeaderLength = sizeof(PERF_OBJECT_TYPE);
    header->ObjectNameTitleIndex = objectIndex;
    header->NumCounters = static_cast<DWORD>(counters.size());
    header->NumInstances = static_cast<LONG>(instances.size());
    return object;
}

// A whole answer of HKEY_PERFORMANCE_DATA: the data block with the system name, then the objects.
std::vector<BYTE> BuildBlock(const std::vector<std::vector<BYTE>>& objects) {
    std::vector<BYTE> block(sizeof(PERF_DATA_BLOCK), 0);
    const wchar_t system[] = L"TESTBOX";
    Append(&block, system, sizeof(system));
    PadTo8(&block);
    DWORD headerLength = static_cast<DWORD>(block.size());
    for (const std::vector<BYTE>& object : objects)
        Append(&block, object.data(), object.size());
    PERF_DATA_BLOCK* header = At<PERF_DATA_BLOCK>(&block, 0);
    memcpy(header->Signature, L"PERF", 8);
    header->LittleEndian = 1;
    header->Version = PERF_DATA_VERSION;
    header->Revision = PERF_DATA_REVISION;
    header->TotalByteLength = static_cast<DWORD>(block.size());
    header->HeaderLength = headerLength;
    header->NumObjectTypes = static_cast<DWORD>(objects.size());
    header->SystemNameLength = sizeof(system);
    header->SystemNameOffset = sizeof(PERF_DATA_BLOCK);
    return block;
}

std::vector<BYTE> BuildProcessBlock(const std::vector<FakeInstance>& instances) {
    return BuildBlock({BuildObject(kProcessIndex, instances, true)});
}

// The fake performance data: what the next queries return, and how often they were made.
struct FakePerfData {
    std::vector<BYTE> block;
    std::vector<BYTE> blockFromCall;  // returned instead once `appearsAtCall` queries were made
    int appearsAtCall = 0;
    int queries = 0;
    bool citrix = false;
    bool knowsIdProcess = true;
    bool knowsProcess = true;
};
FakePerfData g_fake;

LONG FakeQuery(DWORD objectIndex, BYTE* buffer, DWORD* bytes) {
    ++g_fake.queries;
    if (objectIndex != kProcessIndex)
        return ERROR_FILE_NOT_FOUND;
    const std::vector<BYTE>& data = g_fake.appearsAtCall != 0 && g_fake.queries >= g_fake.appearsAtCall
                                        ? g_fake.blockFromCall
                                        : g_fake.block;
    if (data.size() > *bytes) {
        *bytes = static_cast<DWORD>(data.size());
        return ERROR_MORE_DATA;
    }
    memcpy(buffer, data.data(), data.size());
    *bytes = static_cast<DWORD>(data.size());
    return ERROR_SUCCESS;
}
DWORD FakeCounterIndex(const wchar_t* name) {
    if (g_fake.knowsProcess && wcscmp(name, L"Process") == 0)
        return kProcessIndex;
    if (g_fake.knowsIdProcess && wcscmp(name, L"ID Process") == 0)
        return kIdProcessIndex;
    return 0;
}
bool FakeIsCitrix() {
    return g_fake.citrix;
}

class PerfDataTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_fake = FakePerfData();
        static const PerfDataSource source = {&FakeQuery, &FakeCounterIndex, &FakeIsCitrix};
        SetPerfDataSource(&source);
    }
    void TearDown() override { SetPerfDataSource(nullptr); }
};

const std::vector<FakeInstance> kOrdinaryList = {{L"Idle", 0},        {L"System", 4},        {L"smss", 312},
                                                 {L"z-update", 1234}, {L"z-update#1", 1240}, {L"_Total", 0}};

TEST_F(PerfDataTest, FindsTheInstanceByProcessName) {
    struct Case {
        const char* what;
        std::vector<FakeInstance> instances;
        bool citrix;
        const wchar_t* processName;
        DWORD expected;
    };
    const Case cases[] = {
        {"ordinary list", kOrdinaryList, false, L"z-update", 1234},
        {"names compare without case", kOrdinaryList, false, L"Z-UPDATE", 1234},
        {"the name with extension is not the instance name", kOrdinaryList, false, L"z-update.exe", 0},
        {"absent process", kOrdinaryList, false, L"pmv5updater", 0},
        {"empty process name", kOrdinaryList, false, L"", 0},
        {"no instances", {}, false, L"z-update", 0},
        {"Citrix numbers the instance by session",
         {{L"0 smss", 8}, {L"3 z-update", 77}},
         true,
         L"z-update",
         77},
        {"Citrix instance without a number", {{L"z-update", 78}}, true, L"z-update", 78},
        // "12 averylongupdater" is 19 chars; the server shows its first 15.
        {"Citrix cuts numbered names to 15 chars", {{L"12 averylongupd", 99}}, true, L"averylongupdater", 99},
        {"Citrix cuts plain names to 15 chars", {{L"averylongupdate", 98}}, true, L"averylongupdater", 98},
        {"a numbered name needs a Citrix server", {{L"3 z-update", 77}}, false, L"z-update", 0},
        {"session 0 adds no number", {{L"0 z-update", 77}}, true, L"z-update", 0},
    };
    for (const Case& c : cases) {
        g_fake.block = BuildProcessBlock(c.instances);
        g_fake.citrix = c.citrix;
        EXPECT_EQ(c.expected, FindProcessIdInPerfData(c.processName)) << c.what;
    }
}

TEST_F(PerfDataTest, TakesTheProcessObjectAmongOthers) {
    g_fake.block = BuildBlock({BuildObject(kThreadIndex, {{L"z-update", 5}}, true),
                               BuildObject(kProcessIndex, {{L"z-update", 1234}}, true)});
    EXPECT_EQ(1234u, FindProcessIdInPerfData(L"z-update"));
}

TEST_F(PerfDataTest, MissingPiecesMeanNotFound) {
    g_fake.block = BuildBlock({BuildObject(kProcessIndex, kOrdinaryList, false)});
    EXPECT_EQ(0u, FindProcessIdInPerfData(L"z-update")) << "object without the ID Process counter";

    g_fake.block = BuildProcessBlock(kOrdinaryList);
    g_fake.knowsIdProcess = false;
    EXPECT_EQ(0u, FindProcessIdInPerfData(L"z-update")) << "counter name table without ID Process";

    g_fake.knowsIdProcess = true;
    g_fake.knowsProcess = false;
    g_fake.queries = 0;
    EXPECT_EQ(0u, FindProcessIdInPerfData(L"z-update")) << "counter name table without Process";
    EXPECT_EQ(0, g_fake.queries) << "no query without the object index";
}

TEST_F(PerfDataTest, ListLargerThanTheBufferIsNotFound) {
    // The wanted process comes first, but the whole list needs more than 128 KiB.
    std::vector<FakeInstance> many = {{L"z-update", 1234}};
    for (int i = 0; i < 3000; ++i)
        many.push_back({L"filler" + std::to_wstring(i), static_cast<DWORD>(5000 + i)});
    g_fake.block = BuildProcessBlock(many);
    ASSERT_GT(g_fake.block.size(), 0x20000u);
    EXPECT_EQ(0u, FindProcessIdInPerfData(L"z-update"));
    EXPECT_EQ(1, g_fake.queries) << "one query, no retry";
}

TEST_F(PerfDataTest, DamagedDataIsNotFollowed) {
    std::vector<BYTE> good = BuildProcessBlock({{L"z-update", 1234}});
    const size_t object = At<PERF_DATA_BLOCK>(&good, 0)->HeaderLength;
    const size_t instance = object + At<PERF_OBJECT_TYPE>(&good, object)->DefinitionLength;
    const size_t firstCounter = object + sizeof(PERF_OBJECT_TYPE);
    const size_t idCounter = firstCounter + sizeof(PERF_COUNTER_DEFINITION);
    struct Case {
        const char* what;
        size_t offset;  // of the DWORD to overwrite
        DWORD value;
        const wchar_t* processName;  // an absent name makes the walk run to the end
    };
    const Case cases[] = {
        {"data block header length past the end", offsetof(PERF_DATA_BLOCK, HeaderLength), 0x7FFFFFF0,
         L"z-update"},
        {"object length past the end", object + offsetof(PERF_OBJECT_TYPE, TotalByteLength), 0xFFFFFFF0,
         L"z-update"},
        {"object length 0", object + offsetof(PERF_OBJECT_TYPE, TotalByteLength), 0, L"z-update"},
        {"instance count far too large", object + offsetof(PERF_OBJECT_TYPE, NumInstances), 0x7FFFFFFF,
         L"absent"},
        {"ID Process beyond the counter count", object + offsetof(PERF_OBJECT_TYPE, NumCounters), 1,
         L"z-update"},
        {"counter definition length 0", firstCounter + offsetof(PERF_COUNTER_DEFINITION, ByteLength), 0,
         L"z-update"},
        {"counter offset past the counter block",
         idCounter + offsetof(PERF_COUNTER_DEFINITION, CounterOffset), 0xFFFFFFFE, L"z-update"},
        {"instance length 0", instance + offsetof(PERF_INSTANCE_DEFINITION, ByteLength), 0, L"z-update"},
        {"instance length past the end", instance + offsetof(PERF_INSTANCE_DEFINITION, ByteLength),
         0xFFFFFFF8, L"z-update"},
        {"name offset past the end", instance + offsetof(PERF_INSTANCE_DEFINITION, NameOffset), 0xFFFFFFF0,
         L"z-update"},
    };
    for (const Case& c : cases) {
        g_fake.block = good;
        memcpy(g_fake.block.data() + c.offset, &c.value, sizeof(c.value));
        EXPECT_EQ(0u, FindProcessIdInPerfData(c.processName)) << c.what;
    }
    // A block cut short anywhere never yields anything but the right id or nothing.
    for (size_t size = 0; size < good.size(); size += 4) {
        g_fake.block.assign(good.begin(), good.begin() + size);
        DWORD id = FindProcessIdInPerfData(L"z-update");
        EXPECT_TRUE(id == 0 || id == 1234) << "cut at " << size;
    }
    // A name without its terminator is read no further than its length.
    g_fake.block = good;
    memcpy(g_fake.block.data() + instance + offsetof(PERF_INSTANCE_DEFINITION, NameLength), "\x10\0\0\0", 4);
    EXPECT_EQ(1234u, FindProcessIdInPerfData(L"z-update"));
}

// The counter name table, read from the (redirected) registry.
TEST(PerfCounterIndex, WalksTheEnglishNameTable) {
    ovtest::RegistryOverride registry;
    const wchar_t key[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009";
    EXPECT_EQ(0u, GetPerfCounterIndex(L"Process")) << "no table";

    const wchar_t table[] =
        L"1\0001847\0002\0System\0004\0Memory\000230\0Process\000232\0Thread\000784\0ID Process\0";
    HKEY perflib = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             &perflib, nullptr));
    // Stored without the final empty string, as some tools leave it.
    RegSetValueExW(perflib, L"Counter", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(table),
                   sizeof(table) - 2);
    RegCloseKey(perflib);

    struct Case {
        const wchar_t* name;
        DWORD expected;
    };
    const Case cases[] = {{L"Process", 230}, {L"process", 230}, {L"ID Process", 784}, {L"Thread", 232},
                          {L"System", 2},    {L"Proc", 0},      {L"784", 0},          {L"", 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, GetPerfCounterIndex(c.name)) << Narrow(c.name);
    }
}

// Starts a program and returns its process information (both handles owned by the caller).
PROCESS_INFORMATION StartProgram(std::wstring commandLine, const wchar_t* currentDir = nullptr) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(0);
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, currentDir, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << Narrow(commandLine);
    }
    return pi;
}

void Finish(PROCESS_INFORMATION* pi) {
    if (pi->hProcess != nullptr) {
        WaitForSingleObject(pi->hProcess, 30000);
        CloseHandle(pi->hProcess);
        CloseHandle(pi->hThread);
    }
    *pi = PROCESS_INFORMATION();
}

std::wstring Sleeper(DWORD ms, DWORD code) {
    return L"\"" + ovtest::BinDir() + L"\\ovsleeper.exe\" " + std::to_wstring(ms) + L" " +
           std::to_wstring(code);
}

// WaitForProcess on the NT family, over the fake performance data.
class WaitNtTest : public PerfDataTest {
  protected:
    void SetUp() override {
        if (IsWindows9x())
            GTEST_SKIP() << "NT family only";
        PerfDataTest::SetUp();
    }
};

TEST_F(WaitNtTest, ProcessThatNeverAppears) {
    g_fake.block = BuildProcessBlock(kOrdinaryList);
    DWORD start = GetTickCount();
    EXPECT_EQ(0u, WaitForProcess(L"absent", L"absent.exe", 0));
    EXPECT_EQ(1, g_fake.queries) << "timeout 0 makes a single search";
    EXPECT_LT(GetTickCount() - start, 100u) << "and does not sleep";

    g_fake.queries = 0;
    start = GetTickCount();
    EXPECT_EQ(0u, WaitForProcess(L"absent", L"absent.exe", 350));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 340u);
    EXPECT_LT(elapsed, 3000u);
    EXPECT_GE(g_fake.queries, 2);
    EXPECT_LE(g_fake.queries, 6) << "polls every 100 ms";

    g_fake.queries = 0;
    EXPECT_EQ(0u, WaitForProcess(L"", nullptr, 1000));
    EXPECT_EQ(0, g_fake.queries) << "no names, no search";
}

TEST_F(WaitNtTest, ReturnsTheExitCodeOnceTheProcessEnds) {
    struct Case {
        const char* what;
        DWORD code;
        int appearsAtCall;  // 0: listed from the first search
    };
    const Case cases[] = {
        {"listed at once", 7, 0},
        {"listed from the third search", 9044, 3},
        {"exit code that reads as still active", STILL_ACTIVE, 0},
    };
    for (const Case& c : cases) {
        g_fake = FakePerfData();
        PROCESS_INFORMATION pi = StartProgram(Sleeper(700, c.code));
        std::vector<BYTE> listed = BuildProcessBlock({{L"System", 4}, {L"ovsleeper", pi.dwProcessId}});
        if (c.appearsAtCall != 0) {
            g_fake.block = BuildProcessBlock({{L"System", 4}});
            g_fake.blockFromCall = listed;
            g_fake.appearsAtCall = c.appearsAtCall;
        } else {
            g_fake.block = listed;
        }
        DWORD start = GetTickCount();
        EXPECT_EQ(c.code, WaitForProcess(L"ovsleeper", L"ovsleeper.exe", 5000)) << c.what;
        EXPECT_GE(GetTickCount() - start, 500u) << c.what << ": returned before the process ended";
        if (c.appearsAtCall != 0) {
            EXPECT_EQ(c.appearsAtCall, g_fake.queries) << c.what;
        }
        Finish(&pi);
    }
}

TEST_F(WaitNtTest, ProcessThatCannotBeOpened) {
    g_fake.block = BuildProcessBlock({{L"ghost", 0x7FFFFFF0}});
    EXPECT_EQ(0u, WaitForProcess(L"ghost", L"ghost.exe", 1000));
    EXPECT_EQ(1, g_fake.queries);
}

// The 9x family's Toolhelp list, for real: run with the program reporting Windows 98.
class ToolhelpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!IsWindows9x())
            GTEST_SKIP() << "9x family only (run as win98)";
        // A name of this test's own, so sleepers of parallel tests cannot be taken for ours.
        name_ = L"ovsl" + std::to_wstring(GetCurrentProcessId());
        exe_ = scratch_ / (name_ + L".exe");
        ASSERT_TRUE(CopyFileW((ovtest::BinDir() + L"\\ovsleeper.exe").c_str(), exe_.c_str(), FALSE));
    }
    std::wstring Command(DWORD ms, DWORD code) const {
        return L"\"" + exe_ + L"\" " + std::to_wstring(ms) + L" " + std::to_wstring(code);
    }
    ovtest::ScratchDir scratch_;
    std::wstring name_;
    std::wstring exe_;
};

TEST_F(ToolhelpTest, FindsTheProcessByExecutableName) {
    std::wstring file = name_ + L".exe";
    EXPECT_EQ(0u, FindProcessId(name_.c_str(), file.c_str())) << "not started yet";
    std::wstring stopName = L"OvSleeperStop" + name_;
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, stopName.c_str());
    PROCESS_INFORMATION pi = StartProgram(Command(10000, 0) + L" " + stopName);
    EXPECT_EQ(pi.dwProcessId, FindProcessId(L"unrelated", file.c_str())) << "the process name plays no part";
    std::wstring upper = file;
    CharUpperW(&upper[0]);
    EXPECT_EQ(pi.dwProcessId, FindProcessId(nullptr, upper.c_str())) << "case-insensitive";
    EXPECT_EQ(0u, FindProcessId(name_.c_str(), name_.c_str())) << "the name without extension does not match";
    SetEvent(stop);
    Finish(&pi);
    CloseHandle(stop);
}

TEST_F(ToolhelpTest, WaitsForTheProcessAndReturnsItsExitCode) {
    std::wstring file = name_ + L".exe";
    PROCESS_INFORMATION pi = StartProgram(Command(800, 7));
    DWORD start = GetTickCount();
    EXPECT_EQ(7u, WaitForProcess(name_.c_str(), file.c_str(), 5000));
    EXPECT_GE(GetTickCount() - start, 600u);
    Finish(&pi);

    // Gone by now: nothing appears within the timeout.
    start = GetTickCount();
    EXPECT_EQ(0u, WaitForProcess(name_.c_str(), file.c_str(), 300));
    EXPECT_GE(GetTickCount() - start, 290u);
    EXPECT_EQ(0u, WaitForProcess(name_.c_str(), file.c_str(), 0));
}

}  // namespace
