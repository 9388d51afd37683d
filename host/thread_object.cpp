// The handle of the running thread is written by the starting thread and released by the thread
// itself when Run returns. Both writes happen under lock_, and StartThread keeps the lock until the
// handle is stored, so the release always finds it. A waiter waits on a duplicate taken under the
// lock: the thread may close the original at any moment.
#include "host/thread_object.h"

#include <process.h>

#include "host/handles.h"

ThreadObject::ThreadObject() {
    InitializeCriticalSection(&lock_);
}

ThreadObject::~ThreadObject() {
    WaitThread();
    DeleteCriticalSection(&lock_);
}

bool ThreadObject::StartThread() {
    EnterCriticalSection(&lock_);
    bool running = thread_ != nullptr;
    if (!running) {
        unsigned id = 0;
        HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ThreadProc, this, 0, &id));
        if (thread != nullptr) {
            thread_ = thread;
            threadId_ = id;
            running = true;
        }
    }
    LeaveCriticalSection(&lock_);
    return running;
}

void ThreadObject::WaitThread() {
    ScopedHandle waitable;
    bool held = false;
    EnterCriticalSection(&lock_);
    if (thread_ != nullptr && threadId_ != GetCurrentThreadId()) {
        held = true;
        DuplicateHandle(GetCurrentProcess(), thread_, GetCurrentProcess(), waitable.Receive(), SYNCHRONIZE,
                        FALSE, 0);
    }
    LeaveCriticalSection(&lock_);
    if (!held) {
        return;
    }
    if (waitable.IsValid()) {
        // Signalled only once the thread procedure has returned, i.e. after the release.
        WaitForSingleObject(waitable.Get(), INFINITE);
        return;
    }
    // No duplicate to be had: watch for the release instead.
    while (IsRunning()) {
        Sleep(10);
    }
}

bool ThreadObject::IsRunning() const {
    EnterCriticalSection(&lock_);
    bool running = thread_ != nullptr;
    LeaveCriticalSection(&lock_);
    return running;
}

unsigned __stdcall ThreadObject::ThreadProc(void* object) {
    ThreadObject* self = static_cast<ThreadObject*>(object);
    self->Run();
    EnterCriticalSection(&self->lock_);
    HANDLE thread = self->thread_;
    self->thread_ = nullptr;
    self->threadId_ = 0;
    LeaveCriticalSection(&self->lock_);
    if (thread != nullptr) {
        CloseHandle(thread);
    }
    return 1;
}
