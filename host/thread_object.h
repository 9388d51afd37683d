// Owns one thread that runs the derived class's Run. The object must outlive its thread.
#pragma once
#include <windows.h>

class ThreadObject {
public:
    ThreadObject() = default;
    virtual ~ThreadObject();
    ThreadObject(const ThreadObject&) = delete;
    ThreadObject& operator=(const ThreadObject&) = delete;

    // The thread body.
    virtual void Run() = 0;
    // Starts the thread unless one is held. False when none could be started.
    bool StartThread();
    // Waits until the thread, if any, has ended and its handle is released. Safe against the
    // thread releasing its handle meanwhile.
    void WaitThread();
    bool IsRunning() const;

protected:
    HANDLE thread_ = nullptr;  // held while the thread runs

private:
    static unsigned __stdcall ThreadProc(void* object);
};
