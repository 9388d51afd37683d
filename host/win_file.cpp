#include "host/win_file.h"

namespace {

// Moves to `offset` from the start; false unless exactly there. The high part is passed so
// offsets from 2 GB up to 4 GB are not taken for negative ones.
bool SeekTo(HANDLE handle, DWORD offset) {
    LONG high = 0;
    SetLastError(NO_ERROR);
    DWORD reached = SetFilePointer(handle, static_cast<LONG>(offset), &high, FILE_BEGIN);
    if (reached == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        return false;
    }
    return reached == offset && high == 0;
}

}  // namespace

bool WinFile::ReadAt(DWORD offset, void* buffer, DWORD bytes, DWORD* bytesRead) {
    if (bytesRead != nullptr) {
        *bytesRead = 0;
    }
    if (handle_ == INVALID_HANDLE_VALUE || !SeekTo(handle_, offset)) {
        return false;
    }
    // The count must be given to ReadFile on every Windows; the caller's is optional.
    DWORD got = 0;
    bool ok = ReadFile(handle_, buffer, bytes, &got, nullptr) != FALSE;
    if (bytesRead != nullptr) {
        *bytesRead = got;
    }
    return ok;
}

bool WinFile::WriteAt(DWORD offset, const void* buffer, DWORD bytes) {
    if (handle_ == INVALID_HANDLE_VALUE || !SeekTo(handle_, offset)) {
        return false;
    }
    DWORD put = 0;
    return WriteFile(handle_, buffer, bytes, &put, nullptr) != FALSE && put == bytes;
}

bool WinFile::GetSize(DWORD* size) {
    if (handle_ == INVALID_HANDLE_VALUE || size == nullptr) {
        return false;
    }
    DWORD low = GetFileSize(handle_, nullptr);
    if (low == INVALID_FILE_SIZE) {
        return false;
    }
    *size = low;
    return true;
}

bool WinFile::SetSize(DWORD offset) {
    if (handle_ == INVALID_HANDLE_VALUE || !SeekTo(handle_, offset)) {
        return false;
    }
    return SetEndOfFile(handle_) != FALSE;
}

bool WinFile::Open(const wchar_t* path, int mode) {
    // A second Open must not leave the first handle behind.
    Close();
    if (path == nullptr) {
        return false;
    }
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if (mode == kWriteNew) {
        access = GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
    } else if (mode == kReadWrite) {
        access = GENERIC_READ | GENERIC_WRITE;
        disposition = OPEN_ALWAYS;
    }
    handle_ =
        CreateFileW(path, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle_ != INVALID_HANDLE_VALUE;
}

void WinFile::Close() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}
