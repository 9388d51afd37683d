// Owns one thread that runs the derived class's Run. The object must outlive its thread.
// The handle is stored and released under a small lock, so the starting thread, the thread itself
// and a waiter never see a half-written or already closed handle.
#pragma once
#include <windows.h>

class ThreadObject {
  public:
    ThreadObject();
    // Waits for a thread that is still running (unless called on that thread): derived classes
    // should have stopped and waited for it already, since their part is gone by now.
    virtual ~ThreadObject();
    ThreadObject(const ThreadObject&) = delete;
    ThreadObject& operator=(const ThreadObject&) = delete;

    // The thread body.
    virtual void Run() = 0;
    // Starts the thread unless one is held. True when a thread runs afterwards (the new one or
    // the one already held); false when none could be started.
    bool StartThread();
    // Waits until the thread, if any, has ended and its handle is released. Safe against the
    // thread releasing its handle meanwhile. Returns at once when called on the thread itself.
    void WaitThread();
    bool IsRunning() const;

  protected:
    HANDLE thread_ = nullptr;  // held while the thread runs; read and written under lock_

  private:
    static unsigned __stdcall ThreadProc(void* object);

    mutable CRITICAL_SECTION lock_;
    unsigned threadId_ = 0;  // of the thread held in thread_
};
