// Small owners for Windows handles: each closes exactly once and keeps the
// thread's last error across the close, so a caller can still read it.
#pragma once
#include <windows.h>

template <typename Traits>
class ScopedGeneric {
public:
    using Type = typename Traits::Type;
    ScopedGeneric() : value_(Traits::Invalid()) {}
    explicit ScopedGeneric(Type value) : value_(value) {}
    ~ScopedGeneric() { Close(); }
    ScopedGeneric(const ScopedGeneric&) = delete;
    ScopedGeneric& operator=(const ScopedGeneric&) = delete;

    bool IsValid() const { return Traits::IsValid(value_); }
    Type Get() const { return value_; }
    // For out-parameters: closes what is held and hands out the slot.
    Type* Receive() {
        Close();
        return &value_;
    }
    void Reset(Type value) {
        Close();
        value_ = value;
    }
    Type Release() {
        Type value = value_;
        value_ = Traits::Invalid();
        return value;
    }
    void Close() {
        if (Traits::IsValid(value_)) {
            DWORD error = GetLastError();
            Traits::Close(value_);
            SetLastError(error);
        }
        value_ = Traits::Invalid();
    }

private:
    Type value_;
};

struct HandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { FindClose(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { RegCloseKey(h); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { FreeLibrary(h); }
};

using ScopedHandle = ScopedGeneric<HandleTraits>;          // CloseHandle
using ScopedFindHandle = ScopedGeneric<FindHandleTraits>;  // FindClose
using ScopedRegKey = ScopedGeneric<RegKeyTraits>;          // RegCloseKey
using ScopedModule = ScopedGeneric<ModuleTraits>;          // FreeLibrary

// Releases a COM interface pointer once.
template <typename T>
class ScopedComPtr {
public:
    ScopedComPtr() = default;
    ~ScopedComPtr() {
        if (p_ != nullptr) {
            p_->Release();
        }
    }
    ScopedComPtr(const ScopedComPtr&) = delete;
    ScopedComPtr& operator=(const ScopedComPtr&) = delete;
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T** Receive() { return &p_; }
    void** ReceiveVoid() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};
