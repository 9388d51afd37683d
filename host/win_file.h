// A small file class over one Win32 handle (32-bit offsets and sizes).
#pragma once
#include <windows.h>

class FileObject {
  public:
    virtual ~FileObject() {}
    virtual bool ReadAt(DWORD offset, void* buffer, DWORD bytes, DWORD* bytesRead) = 0;
    virtual bool WriteAt(DWORD offset, const void* buffer, DWORD bytes) = 0;
    virtual bool GetSize(DWORD* size) = 0;
    virtual bool SetSize(DWORD offset) = 0;
    // Kept for the layout of the interface; nothing uses it.
    virtual int Reserved(int, int) { return 0; }
};

class WinFile : public FileObject {
  public:
    enum Mode { kRead = 1, kWriteNew = 2, kReadWrite = 3 };
    WinFile() = default;
    ~WinFile() override { Close(); }
    WinFile(const WinFile&) = delete;
    WinFile& operator=(const WinFile&) = delete;

    // Each operation fails without an open handle. ReadAt beyond the end succeeds with 0 bytes;
    // WriteAt succeeds only when every byte was written; GetSize fails for a size of 0xFFFFFFFF;
    // SetSize moves the end of the file to `offset`.
    bool ReadAt(DWORD offset, void* buffer, DWORD bytes, DWORD* bytesRead) override;
    bool WriteAt(DWORD offset, const void* buffer, DWORD bytes) override;
    bool GetSize(DWORD* size) override;
    bool SetSize(DWORD offset) override;
    // 1: existing file for reading; 2: create or truncate for writing; 3: open or create for
    // reading and writing; anything else acts as 1. Others may read meanwhile. A handle already
    // open is closed first. True when a handle was obtained.
    virtual bool Open(const wchar_t* path, int mode);
    virtual void Close();

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};
