#include "process/session_check.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/system.h"
#include "setup/errors.h"
#include "support/log_capture.h"

namespace {

// One session the fake server reports; a null user makes the user-name query fail.
struct FakeSession {
    WTS_CONNECTSTATE_CLASS state;
    const wchar_t* user;
};

// What the fake entry points answer and what they were asked.
struct FakeServer {
    bool pidOk = true;
    bool enumOk = true;
    std::vector<FakeSession> sessions;
    std::vector<WTS_SESSION_INFOW> list;
    std::vector<std::wstring> names;  // reserved up front: pointers handed out stay valid
    std::vector<void*> outstanding;   // returned and not yet released
    int calls = 0;
    int badFrees = 0;
};
FakeServer* g_fake = nullptr;

BOOL WINAPI FakePid(DWORD processId, DWORD* sessionId) {
    ++g_fake->calls;
    EXPECT_EQ(GetCurrentProcessId(), processId);
    *sessionId = 1;
    return g_fake->pidOk;
}

BOOL WINAPI FakeEnumerate(HANDLE server, DWORD reserved, DWORD version, WTS_SESSION_INFOW** sessions,
                          DWORD* count) {
    ++g_fake->calls;
    EXPECT_EQ(WTS_CURRENT_SERVER_HANDLE, server);
    EXPECT_EQ(0u, reserved);
    EXPECT_EQ(1u, version);
    if (!g_fake->enumOk) {
        return FALSE;
    }
    g_fake->list.clear();
    g_fake->list.reserve(g_fake->sessions.size() + 1);  // a real buffer even for no sessions
    for (size_t i = 0; i < g_fake->sessions.size(); ++i) {
        WTS_SESSION_INFOW info = {};
        info.SessionId = static_cast<DWORD>(i + 1);
        info.pWinStationName = const_cast<LPWSTR>(L"Console");
        info.State = g_fake->sessions[i].state;
        g_fake->list.push_back(info);
    }
    *sessions = g_fake->list.data();
    *count = static_cast<DWORD>(g_fake->list.size());
    g_fake->outstanding.push_back(*sessions);
    return TRUE;
}

BOOL WINAPI FakeQuery(HANDLE server, DWORD sessionId, WTS_INFO_CLASS infoClass, LPWSTR* buffer,
                      DWORD* bytes) {
    ++g_fake->calls;
    EXPECT_EQ(WTS_CURRENT_SERVER_HANDLE, server);
    EXPECT_EQ(WTSUserName, infoClass);
    if (sessionId == 0 || sessionId > g_fake->sessions.size()) {
        ADD_FAILURE() << "query for unknown session " << sessionId;
        return FALSE;
    }
    const wchar_t* user = g_fake->sessions[sessionId - 1].user;
    if (user == nullptr) {
        return FALSE;
    }
    g_fake->names.push_back(user);
    *buffer = &g_fake->names.back()[0];
    *bytes = static_cast<DWORD>((g_fake->names.back().size() + 1) * sizeof(wchar_t));
    g_fake->outstanding.push_back(*buffer);
    return TRUE;
}

void WINAPI FakeFree(void* memory) {
    ++g_fake->calls;
    auto at = std::find(g_fake->outstanding.begin(), g_fake->outstanding.end(), memory);
    if (at == g_fake->outstanding.end()) {
        ++g_fake->badFrees;
    } else {
        g_fake->outstanding.erase(at);
    }
}

// Which entry points the fake set lacks.
enum Missing { kNone = 0, kPid = 1, kEnumerate = 2, kQuery = 4, kFree = 8 };

struct Case {
    const char* name;
    std::vector<FakeSession> sessions;
    int missing;
    bool pidOk;
    bool enumOk;
    int expected;
    unsigned loggedCount;  // 25507's value when expected is 9007
};

const Case kCases[] = {
    {"NoPid", {{WTSActive, L"a"}, {WTSActive, L"b"}}, kPid, true, true, 0, 0},
    {"NoEnumerate", {{WTSActive, L"a"}, {WTSActive, L"b"}}, kEnumerate, true, true, 0, 0},
    {"NoQuery", {{WTSActive, L"a"}, {WTSActive, L"b"}}, kQuery, true, true, 0, 0},
    {"PidFails", {{WTSActive, L"a"}, {WTSActive, L"b"}}, kNone, false, true, 0, 0},
    {"EnumerateFails", {{WTSActive, L"a"}, {WTSActive, L"b"}}, kNone, true, false, 0, 0},
    {"NoSessions", {}, kNone, true, true, 0, 0},
    {"OneActive", {{WTSActive, L"a"}, {WTSListen, nullptr}}, kNone, true, true, 0, 0},
    {"TwoActive", {{WTSActive, L"a"}, {WTSActive, L"b"}}, kNone, true, true, ErrorOtherSessions, 2},
    {"ActiveAndSwitchedAway",
     {{WTSActive, L"a"}, {WTSDisconnected, L"b"}},
     kNone,
     true,
     true,
     ErrorOtherSessions,
     2},
    {"DisconnectedQueryFails", {{WTSActive, L"a"}, {WTSDisconnected, nullptr}}, kNone, true, true, 0, 0},
    {"DisconnectedEmptyName", {{WTSActive, L"a"}, {WTSDisconnected, L""}}, kNone, true, true, 0, 0},
    {"OtherStates",
     {{WTSActive, L"a"},
      {WTSConnected, L"b"},
      {WTSConnectQuery, L"c"},
      {WTSShadow, L"d"},
      {WTSIdle, L"e"},
      {WTSListen, L"f"},
      {WTSReset, L"g"},
      {WTSDown, L"h"},
      {WTSInit, L"i"}},
     kNone,
     true,
     true,
     0,
     0},
    {"ThreeCounted",
     {{WTSDisconnected, L"a"}, {WTSActive, L"b"}, {WTSDown, L"c"}, {WTSActive, L"d"}},
     kNone,
     true,
     true,
     ErrorOtherSessions,
     3},
    {"NoFreeStillCounts",
     {{WTSActive, L"a"}, {WTSDisconnected, L"b"}},
     kFree,
     true,
     true,
     ErrorOtherSessions,
     2},
};

class SessionCases : public ::testing::TestWithParam<Case> {};

TEST_P(SessionCases, CountsSessionsInUse) {
    const Case& c = GetParam();
    ASSERT_TRUE(IsWindowsNT());
    FakeServer fake;
    fake.pidOk = c.pidOk;
    fake.enumOk = c.enumOk;
    fake.sessions = c.sessions;
    fake.names.reserve(c.sessions.size());
    g_fake = &fake;
    SessionApi api = {(c.missing & kPid) ? nullptr : FakePid,
                      (c.missing & kEnumerate) ? nullptr : FakeEnumerate,
                      (c.missing & kQuery) ? nullptr : FakeQuery, (c.missing & kFree) ? nullptr : FakeFree};
    SetSessionApi(&api);
    ovtest::LogCapture log;
    int result = CheckSessions();
    SetSessionApi(nullptr);
    g_fake = nullptr;

    EXPECT_EQ(c.expected, result);
    if (c.expected == ErrorOtherSessions) {
        EXPECT_TRUE(log.Has("(25507)") && log.Has("= " + std::to_string(c.loggedCount))) << log.Text();
    } else {
        EXPECT_FALSE(log.HasReport(25507)) << log.Text();
    }
    EXPECT_EQ(0, fake.badFrees);
    if (c.missing & kFree) {
        EXPECT_FALSE(fake.outstanding.empty());  // nothing else may release them
    } else {
        EXPECT_TRUE(fake.outstanding.empty()) << fake.outstanding.size() << " buffers not released";
    }
}

INSTANTIATE_TEST_SUITE_P(Fake, SessionCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

// Wine has one session: the real binding must pass, and give the library back.
TEST(SessionCheck, RealBindingPasses) {
    ASSERT_TRUE(IsWindowsNT());
    bool loadedBefore = GetModuleHandleW(L"WTSAPI32.DLL") != nullptr;
    ovtest::LogCapture log;
    EXPECT_EQ(0, CheckSessions());
    EXPECT_FALSE(log.HasReport(25507));
    if (!loadedBefore) {
        EXPECT_EQ(nullptr, GetModuleHandleW(L"WTSAPI32.DLL"));
    }
}

TEST(SessionCheckWin98, PassesWithoutCallingOrLoading) {
    ASSERT_FALSE(IsWindowsNT());
    FakeServer fake;
    fake.sessions = {{WTSActive, L"a"}, {WTSActive, L"b"}};
    g_fake = &fake;
    SessionApi api = {FakePid, FakeEnumerate, FakeQuery, FakeFree};
    SetSessionApi(&api);
    int result = CheckSessions();
    SetSessionApi(nullptr);
    g_fake = nullptr;
    EXPECT_EQ(0, result);
    EXPECT_EQ(0, fake.calls);

    EXPECT_EQ(0, CheckSessions());
    EXPECT_EQ(nullptr, GetModuleHandleW(L"WTSAPI32.DLL"));
}

}  // namespace
