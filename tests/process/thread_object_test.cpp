#include <gtest/gtest.h>

#include "host/thread_object.h"

namespace {

// Run waits at a gate the test opens, and counts how often it ran and how many ran at once.
class GatedThread : public ThreadObject {
  public:
    GatedThread() : gate_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}
    ~GatedThread() override {
        Open();
        WaitThread();
        CloseHandle(gate_);
    }
    void Close() { ResetEvent(gate_); }
    void Open() { SetEvent(gate_); }
    void Run() override {
        LONG now = InterlockedIncrement(&inside_);
        if (now > maxInside_)
            maxInside_ = now;
        WaitForSingleObject(gate_, 10000);
        InterlockedIncrement(&runs_);
        InterlockedDecrement(&inside_);
    }
    HANDLE held() const { return thread_; }
    LONG runs() const { return runs_; }
    LONG maxInside() const { return maxInside_; }

  private:
    HANDLE gate_;
    volatile LONG inside_ = 0;
    volatile LONG maxInside_ = 0;
    volatile LONG runs_ = 0;
};

TEST(ThreadObject, NeverRunsTwoThreadsAtOnce) {
    GatedThread object;
    object.Close();
    ASSERT_TRUE(object.StartThread());
    HANDLE first = object.held();
    EXPECT_NE(nullptr, first);
    EXPECT_TRUE(object.StartThread()) << "a thread is running";
    EXPECT_EQ(first, object.held()) << "the second start kept the first thread";
    EXPECT_TRUE(object.IsRunning());

    object.Open();
    object.WaitThread();
    EXPECT_EQ(1, object.runs());
    EXPECT_EQ(1, object.maxInside());
    EXPECT_FALSE(object.IsRunning());
    EXPECT_EQ(nullptr, object.held()) << "the handle is released when Run returns";
}

TEST(ThreadObject, StartsAgainAfterRunReturned) {
    GatedThread object;
    ASSERT_TRUE(object.StartThread());
    object.WaitThread();
    ASSERT_EQ(nullptr, object.held());
    ASSERT_TRUE(object.StartThread());
    object.WaitThread();
    EXPECT_EQ(2, object.runs());
}

TEST(ThreadObject, WaitAfterTheThreadEndedReturnsAtOnce) {
    GatedThread object;
    object.WaitThread();  // nothing started: nothing to wait for
    ASSERT_TRUE(object.StartThread());
    for (int i = 0; i < 500 && object.IsRunning(); ++i)
        Sleep(10);
    ASSERT_FALSE(object.IsRunning());
    DWORD start = GetTickCount();
    object.WaitThread();
    EXPECT_LT(GetTickCount() - start, 500u);
}

TEST(ThreadObject, WaitLastsUntilRunReturned) {
    GatedThread object;
    object.Close();
    ASSERT_TRUE(object.StartThread());
    HANDLE opener = CreateThread(
        nullptr, 0,
        [](void* o) -> DWORD {
            Sleep(300);
            static_cast<GatedThread*>(o)->Open();
            return 0;
        },
        &object, 0, nullptr);
    object.WaitThread();
    EXPECT_EQ(1, object.runs());
    EXPECT_EQ(nullptr, object.held());
    WaitForSingleObject(opener, INFINITE);
    CloseHandle(opener);
}

// Run that asks to wait for itself must not hang.
class SelfWaitingThread : public ThreadObject {
  public:
    void Run() override {
        WaitThread();
        returned_ = true;
    }
    volatile bool returned_ = false;
};

TEST(ThreadObject, WaitFromTheThreadItselfReturns) {
    SelfWaitingThread object;
    ASSERT_TRUE(object.StartThread());
    object.WaitThread();
    EXPECT_TRUE(object.returned_);
}

// A handle value probe: handles are handed out lowest free first, so leaked ones push it up.
UINT_PTR NextHandleValue() {
    HANDLE probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(probe);
    return reinterpret_cast<UINT_PTR>(probe);
}

TEST(ThreadObject, CyclesLeaveNoHandleBehind) {
    GatedThread object;
    // Short runs race the start against the release: each cycle must still close exactly one handle.
    object.StartThread();
    object.WaitThread();
    DWORD countBefore = 0;
    bool counted = GetProcessHandleCount(GetCurrentProcess(), &countBefore) && countBefore != 0;
    UINT_PTR probeBefore = NextHandleValue();
    const int kCycles = 300;
    for (int i = 0; i < kCycles; ++i) {
        ASSERT_TRUE(object.StartThread()) << "cycle " << i;
        if (i % 2 == 0) {
            object.WaitThread();
        } else {
            while (object.IsRunning())
                Sleep(0);
        }
    }
    object.WaitThread();
    Sleep(50);  // the last thread may still be on its way out
    EXPECT_EQ(kCycles + 1, object.runs());
    UINT_PTR probeAfter = NextHandleValue();
    EXPECT_LE(probeAfter, probeBefore + 16 * sizeof(HANDLE)) << "handle values grew: leaked handles";
    if (counted) {
        DWORD countAfter = 0;
        ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &countAfter));
        EXPECT_LE(countAfter, countBefore + 2);
    }
}

}  // namespace
