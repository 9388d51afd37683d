// The trust-list library loaded from the system folder and called the way the suite adds one of
// its programs: initialise (and retry), bind the entry points through tvGetProcAddress, search the
// list, create or update the entry, terminate.
#include <gtest/gtest.h>

#include <shlwapi.h>
#include <string.h>

#include "records.h"
#include "support/test_support.h"
#include "trust_list_abi.h"

namespace avfw {
namespace {

const char kProgram[] = "C:\\Program Files\\Tarnel\\Firewall\\ov.exe";

// The library's entry points, bound as the suite binds them: tvInitialize and tvGetProcAddress
// by name when loading, the others through tvGetProcAddress after the connection is made.
struct TrustList {
    HMODULE module = nullptr;
    TvInitializeFn initialize = nullptr;
    TvGetProcAddressFn getProcAddress = nullptr;
    TvGetAppListFn getAppList = nullptr;
    TvGetAppPropertiesFn getAppProperties = nullptr;
    TvFreePtrFn freePtr = nullptr;
    TvDelAppFn delApp = nullptr;
    TvNewAppFn newApp = nullptr;
    TvGetAppPermsFn getAppPerms = nullptr;
    TvSetAppPermsFn setAppPerms = nullptr;
    TvTerminateFn terminate = nullptr;

    TrustList() {
        module = LoadLibraryW((SystemFolder() + L"\\vspubapi.dll").c_str());
        if (module == nullptr)
            return;
        initialize = As<TvInitializeFn>(GetProcAddress(module, "tvInitialize"));
        getProcAddress = As<TvGetProcAddressFn>(GetProcAddress(module, "tvGetProcAddress"));
    }
    ~TrustList() {
        if (module != nullptr)
            FreeLibrary(module);
    }
    // True when every entry point is there.
    bool BindEntries() {
        if (getProcAddress == nullptr)
            return false;
        Bind(&getAppList, "tvGetAppList");
        Bind(&getAppProperties, "tvGetAppProperties");
        Bind(&freePtr, "tvFreePtr");
        Bind(&delApp, "tvDelApp");
        Bind(&newApp, "tvNewApp");
        Bind(&getAppPerms, "tvGetAppPerms");
        Bind(&setAppPerms, "tvSetAppPerms");
        Bind(&terminate, "tvTerminate");
        return initialize && getAppList && getAppProperties && freePtr && delApp && newApp && getAppPerms &&
               setAppPerms && terminate;
    }
    // Entry points come as one generic type; going through void(*)() says the cast is meant.
    template <typename Fn>
    static Fn As(FARPROC entry) {
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(entry));
    }
    template <typename Fn>
    void Bind(Fn* entry, const char* name) {
        *entry = As<Fn>(getProcAddress(module, name));
    }
    // A connection with `flags`; null when the library refused them.
    TvConnection Connect(DWORD flags) const {
        TvInitRecord record = {};
        record.field[0] = sizeof(record);
        record.field[1] = flags;
        record.field[4] = 4;
        record.field[6] = 23;
        TvConnection connection = nullptr;
        return initialize(&record, &connection) ? connection : nullptr;
    }
    std::vector<DWORD> Ids(TvConnection connection) const {
        TvAppList* list = nullptr;
        std::vector<DWORD> ids;
        if (getAppList(connection, 0, &list)) {
            ids.assign(list->ids, list->ids + list->count);
            freePtr(list);
        }
        return ids;
    }
};

class TrustListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ovtest::IsIsolated()) << "installs into the system folder";
        ASSERT_TRUE(CopyFileW((ovtest::BinDir() + L"\\standins\\firewall\\vspubapi.dll").c_str(),
                              (SystemFolder() + L"\\vspubapi.dll").c_str(), FALSE));
    }
    void TearDown() override { SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zone Labs"); }

    std::vector<std::string> Calls() const { return ValuesOf(records_.Read(L"vspubapi"), "call"); }

    RecordFolder records_;
    Switches switches_;
};

TEST_F(TrustListTest, AddsAProgramThatLaterLoadsFindAndUpdate) {
    DWORD id = 0;
    TvPermRecord permissions = {};
    {
        TrustList api;
        TvConnection connection = api.Connect(TV_INIT_FLAGS);
        ASSERT_NE(nullptr, connection);
        ASSERT_TRUE(api.BindEntries());
        TvAppList* list = nullptr;
        ASSERT_TRUE(api.getAppList(connection, 0, &list));
        EXPECT_EQ(0u, list->count);
        TvNewAppRecord app = {};
        app.size = sizeof(app);
        app.path = kProgram;
        ASSERT_TRUE(api.newApp(connection, 0, &app, &id));
        permissions.field[0] = sizeof(permissions);
        permissions.field[1] = 1;
        permissions.field[2] = 2;
        permissions.field[14] = 2;
        ASSERT_TRUE(api.setAppPerms(connection, 0, id, TV_PERMS_LEVEL, &permissions));
        EXPECT_TRUE(api.freePtr(list));
        EXPECT_TRUE(api.terminate(connection, TV_TERMINATE_MODE));
    }
    TrustList api;
    TvConnection connection = api.Connect(TV_INIT_FLAGS);
    ASSERT_NE(nullptr, connection);
    ASSERT_TRUE(api.BindEntries());
    ASSERT_EQ(std::vector<DWORD>{id}, api.Ids(connection));
    TvAppProperties* properties = nullptr;
    ASSERT_TRUE(api.getAppProperties(connection, 0, id, TV_PROPERTIES_LEVEL, &properties));
    EXPECT_STREQ(kProgram, properties->path);
    EXPECT_TRUE(api.freePtr(properties));
    TvPermRecord stored = {};
    stored.field[0] = sizeof(stored);
    ASSERT_TRUE(api.getAppPerms(connection, 0, id, TV_PERMS_LEVEL, &stored));
    EXPECT_EQ(0, memcmp(&permissions, &stored, sizeof(stored)));
    ASSERT_TRUE(api.delApp(connection, 0, id));
    EXPECT_TRUE(api.Ids(connection).empty());
    EXPECT_TRUE(api.terminate(connection, TV_TERMINATE_MODE));

    auto calls = records_.Read(L"vspubapi");
    const std::vector<std::string> first = {
        "tvInitialize",     "tvGetProcAddress", "tvGetProcAddress", "tvGetProcAddress", "tvGetProcAddress",
        "tvGetProcAddress", "tvGetProcAddress", "tvGetProcAddress", "tvGetProcAddress", "tvGetAppList",
        "tvNewApp",         "tvSetAppPerms",    "tvFreePtr",        "tvTerminate"};
    std::vector<std::string> names = ValuesOf(calls, "call");
    ASSERT_GT(names.size(), first.size());
    EXPECT_EQ(first, std::vector<std::string>(names.begin(), names.begin() + first.size()));
    EXPECT_EQ(
        "00000040 8102FFFF 00000000 00000000 00000004 00000000 00000017 00000000 00000000 00000000 "
        "00000000 00000000 00000000 00000000 00000000 00000000",
        ValueOf(calls[0], "record"));
    EXPECT_EQ("this library", ValueOf(calls[1], "module"));
    EXPECT_EQ(std::to_string(sizeof(TvNewAppRecord)), ValueOf(calls[10], "size"));
    EXPECT_EQ(kProgram, ValueOf(calls[10], "path"));
    EXPECT_EQ("00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000",
              ValueOf(calls[10], "rest"));
    EXPECT_EQ("1", ValueOf(calls[11], "level"));
    EXPECT_EQ("properties", ValueOf(calls[calls.size() - 6], "pointer"));
    EXPECT_EQ("8", ValueOf(calls.back(), "mode"));
    EXPECT_EQ("0", ValueOf(calls.back(), "outstanding"));
    for (const RecordEntry& call : calls)
        EXPECT_EQ("1", ValueOf(call, "result")) << ValueOf(call, "call");
}

TEST_F(TrustListTest, RefusedFlagsGiveWayToTheRetry) {
    switches_.Set(L"vspubapi", L"RejectFlags", 0x80000000u);
    TrustList api;
    EXPECT_EQ(nullptr, api.Connect(TV_INIT_FLAGS));
    TvConnection connection = api.Connect(TV_INIT_FLAGS_RETRY);
    ASSERT_NE(nullptr, connection);
    ASSERT_TRUE(api.BindEntries());
    EXPECT_TRUE(api.terminate(connection, TV_TERMINATE_MODE));

    auto calls = records_.Read(L"vspubapi");
    std::vector<std::string> flags, results;
    for (const RecordEntry& call : calls) {
        if (ValueOf(call, "call") == "tvInitialize") {
            flags.push_back(ValueOf(call, "record").substr(9, 8));
            results.push_back(ValueOf(call, "result"));
        }
    }
    EXPECT_EQ((std::vector<std::string>{"8102FFFF", "2502FFFF"}), flags);
    EXPECT_EQ((std::vector<std::string>{"0", "1"}), results);
}

TEST_F(TrustListTest, SwitchesMakeSingleCallsFail) {
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
        const char* entry;  // the call that fails
    } cases[] = {
        {L"FailCalls", L"tvGetAppList", "tvGetAppList"},
        {L"FailCalls", L"tvNewApp, tvTerminate", "tvNewApp"},
        {L"HideEntries", L"tvDelApp", "tvGetProcAddress"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        Switches switches;
        switches.Set(L"vspubapi", c.name, c.value);
        RecordFolder records;
        TrustList api;
        TvConnection connection = api.Connect(TV_INIT_FLAGS);
        ASSERT_NE(nullptr, connection);
        EXPECT_EQ(c.entry != std::string("tvGetProcAddress"), api.BindEntries());
        EXPECT_EQ(c.entry == std::string("tvGetProcAddress"), api.delApp == nullptr);
        TvAppList* list = nullptr;
        EXPECT_EQ(c.entry != std::string("tvGetAppList"), api.getAppList(connection, 0, &list) != FALSE);
        if (list != nullptr)
            api.freePtr(list);
        TvNewAppRecord app = {};
        app.size = sizeof(app);
        app.path = kProgram;
        DWORD id = 0;
        EXPECT_EQ(c.entry != std::string("tvNewApp"), api.newApp(connection, 0, &app, &id) != FALSE);
        api.terminate(connection, TV_TERMINATE_MODE);
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zone Labs");

        std::vector<std::string> failed;
        for (const RecordEntry& call : records.Read(L"vspubapi")) {
            if (ValueOf(call, "result") == "0" && (failed.empty() || failed.back() != ValueOf(call, "call")))
                failed.push_back(ValueOf(call, "call"));
        }
        std::vector<std::string> expected = {c.entry};
        if (std::wstring(c.value).find(L"tvTerminate") != std::wstring::npos)
            expected.push_back("tvTerminate");
        EXPECT_EQ(expected, failed);
    }
}

TEST_F(TrustListTest, RefusesRecordsAndIdsItDoesNotKnow) {
    TrustList api;
    TvConnection connection = api.Connect(TV_INIT_FLAGS);
    ASSERT_NE(nullptr, connection);
    ASSERT_TRUE(api.BindEntries());
    TvNewAppRecord app = {};
    app.size = 40 + 1;  // neither build's size
    app.path = kProgram;
    DWORD id = 0;
    EXPECT_FALSE(api.newApp(connection, 0, &app, &id));
    app.size = sizeof(app);
    ASSERT_TRUE(api.newApp(connection, 0, &app, &id));
    EXPECT_FALSE(api.newApp(connection, 0, &app, &id)) << "a second entry for the same program";

    TvPermRecord permissions = {};  // field 0 not set to 84
    EXPECT_FALSE(api.getAppPerms(connection, 0, id, TV_PERMS_LEVEL, &permissions));
    permissions.field[0] = sizeof(permissions);
    EXPECT_FALSE(api.getAppPerms(connection, 0, id + 1, TV_PERMS_LEVEL, &permissions));
    EXPECT_FALSE(api.delApp(connection, 0, id + 1));
    TvAppProperties* properties = nullptr;
    EXPECT_FALSE(api.getAppProperties(connection, 0, id + 1, TV_PROPERTIES_LEVEL, &properties));
    int local = 0;
    EXPECT_FALSE(api.freePtr(&local));
    int stranger = 0;
    EXPECT_FALSE(api.getAppList(&stranger, 0, nullptr)) << "not a connection";
    EXPECT_TRUE(api.terminate(connection, TV_TERMINATE_MODE));
    EXPECT_FALSE(api.terminate(connection, TV_TERMINATE_MODE)) << "already ended";
}

}  // namespace
}  // namespace avfw
