// The run role: one object per process, created for the role the options name, whose four
// phases the worker thread runs in order. It owns the products it works on and keeps the
// run's result, the first error reported, which is also the exit code.
#pragma once
#include <windows.h>

#include "setup/errors.h"
#include "setup/options.h"

class Product;

// The role's products in creation order. Owns nothing by itself: the role's Finish deletes
// the products, Setup::Destroy only forgets them.
class ProductList {
  public:
    static const int kCapacity = 16;
    bool Append(Product* product);
    int count() const { return count_; }
    Product* operator[](int i) const { return items_[i]; }
    // Forgets the entry at i (the caller deleted or kept the product).
    void Clear() { count_ = 0; }
    void RemoveAt(int i);

  private:
    Product* items_[kCapacity] = {};
    int count_ = 0;
};

class Setup {
  public:
    // Makes the object for `role` (any unknown value installs), replacing an existing one.
    static Setup* Create(int role);
    static Setup* Get();
    // Forgets the products (Finish deleted them) and deletes the object.
    static void Destroy();
    // Tests replace the role classes with their own (null restores them).
    typedef Setup* (*Factory)(int role);
    static void SetFactoryForTests(Factory factory);

    // The phases, each returning `result`. Install and uninstall do nothing in the first three
    // once `result` is set; Finish always runs.
    virtual int Initialize() = 0;
    virtual int AskUser() = 0;
    virtual int Execute() = 0;
    virtual int Finish() = 0;
    // Creates the role's products into `products`.
    virtual void BuildProductList() = 0;
    virtual ~Setup();

    // Reports a failure as numbered messages through the log and, for severity 1, makes the
    // first one the run's result. Severity: 1 error, 2 warning, 3 information (outside 0..4: 1;
    // 0 and 4: nothing). text1 is the failing item, text2 the component's name; either may be null.
    // Codes outside 9002..9043, and 9036, change nothing.
    void ReportError(int code, const wchar_t* text1, const wchar_t* text2, int severity);
    // After an error-free interactive run: asks whether to restart (24007 install, 24008
    // uninstall) and remembers a yes in `restartRequested`.
    void AskRestart(unsigned messageId);

    volatile LONG finished = 0;
    volatile LONG result = 0;
    HWND window = nullptr;
    DWORD mainThreadId = 0;
    int selectedCount = 0;
    int activeCount = 0;
    int succeededCount = 0;
    int failedCount = 0;
    ProductList products;
    int role = kRoleInstall;
    int restartRequested = 0;

  protected:
    Setup() = default;

  private:
    Setup(const Setup&) = delete;
    Setup& operator=(const Setup&) = delete;
};
