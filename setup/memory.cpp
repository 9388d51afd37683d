// The program's own allocation operators on the process heap. The C++ library's versions
// would bring its exception machinery into the binary (about 100 KB) for a program that never
// throws: here a failed allocation returns null, and callers test for it (-fcheck-new).
#include <stddef.h>
#include <windows.h>

void* operator new(size_t size) {
    return HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
}

void* operator new[](size_t size) {
    return HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
}

void operator delete(void* block) noexcept {
    if (block != nullptr) {
        HeapFree(GetProcessHeap(), 0, block);
    }
}

void operator delete[](void* block) noexcept {
    if (block != nullptr) {
        HeapFree(GetProcessHeap(), 0, block);
    }
}

void operator delete(void* block, size_t) noexcept {
    operator delete(block);
}

void operator delete[](void* block, size_t) noexcept {
    operator delete[](block);
}
