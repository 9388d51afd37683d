// STUB: replaced by the real implementation.
#include "host/thread_object.h"
ThreadObject::~ThreadObject() {}
bool ThreadObject::StartThread() { return false; }
void ThreadObject::WaitThread() {}
bool ThreadObject::IsRunning() const { return false; }
unsigned __stdcall ThreadObject::ThreadProc(void*) { return 1; }
