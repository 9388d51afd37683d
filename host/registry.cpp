#include "host/registry.h"

#include <string.h>
#include <wchar.h>

#include "host/handles.h"
#include "host/paths.h"
#include "host/text.h"
#include "log/logger.h"

namespace {

const unsigned kMsgWriteValueFailed = 25524;
const unsigned kMsgCreateKeyFailed = 25525;

const size_t kWriteReportChars = 780;
const size_t kTreePathChars = 1024;
const int kMaxTreePasses = 16384;
const DWORD kCopyValueBytes = 512;

bool IsNotFound(LONG error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

const wchar_t* OrNull(const wchar_t* text) {
    return text != nullptr ? text : L"<NULL>";
}

// The path being deleted and the name of the sub key found last. One pair per call of
// RegDeleteKeyTree (on its stack), so concurrent calls do not share anything.
struct TreeBuffers {
    wchar_t path[kTreePathChars];
    wchar_t name[kTreePathChars];
};

// Deletes the key named by buffers.path with everything below it. Reopens the key on every pass:
// each pass removes the first sub key, so enumeration index 0 always names the next one.
LONG DeleteTreeAt(HKEY root, TreeBuffers& buffers) {
    size_t length = wcslen(buffers.path);
    for (int pass = 0; pass < kMaxTreePasses; ++pass) {
        ScopedRegKey key;
        LONG result = RegOpenKeyExW(root, buffers.path, 0, KEY_READ, key.Receive());
        if (result != ERROR_SUCCESS) {
            return result;
        }
        DWORD nameChars = kTreePathChars;
        result = RegEnumKeyExW(key.Get(), 0, buffers.name, &nameChars, nullptr, nullptr, nullptr, nullptr);
        key.Close();
        if (result == ERROR_NO_MORE_ITEMS) {
            return RegDeleteKeyW(root, buffers.path);
        }
        if (result == ERROR_MORE_DATA) {
            return ERROR_INSUFFICIENT_BUFFER;
        }
        if (result != ERROR_SUCCESS) {
            return result;
        }
        size_t separator = length > 0 ? 1 : 0;
        // The joined path and its terminator must fit.
        if (length + separator + nameChars >= kTreePathChars) {
            return ERROR_INSUFFICIENT_BUFFER;
        }
        if (separator != 0) {
            buffers.path[length] = L'\\';
        }
        memcpy(buffers.path + length + separator, buffers.name, nameChars * sizeof(wchar_t));
        buffers.path[length + separator + nameChars] = L'\0';
        result = DeleteTreeAt(root, buffers);
        buffers.path[length] = L'\0';
        if (result != ERROR_SUCCESS) {
            return result;
        }
    }
    return ERROR_INVALID_PARAMETER;
}

}  // namespace

LONG RegReadString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, void* buffer, DWORD bytes) {
    if (buffer == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    // Cleared first, so a text shorter than the buffer is always terminated.
    ZeroMemory(buffer, bytes);
    if (subKey == nullptr || subKey[0] == L'\0') {
        return ERROR_INVALID_PARAMETER;
    }
    ScopedRegKey key;
    LONG result = RegOpenKeyExW(root, subKey, 0, KEY_READ, key.Receive());
    if (result == ERROR_SUCCESS) {
        DWORD type = REG_NONE;
        DWORD size = bytes;
        result = RegQueryValueExW(key.Get(), valueName, nullptr, &type, static_cast<BYTE*>(buffer), &size);
        // A text stored without terminator that fills the buffer exactly would be read past its end
        // by every caller: treat it as not fitting.
        size_t chars = bytes / sizeof(wchar_t);
        if (result == ERROR_SUCCESS && IsTextType(type) &&
            TextLengthWithin(static_cast<wchar_t*>(buffer), chars) >= chars) {
            result = ERROR_MORE_DATA;
        }
    }
    if (result != ERROR_SUCCESS) {
        ZeroMemory(buffer, bytes);
    }
    return result;
}

LONG RegWriteValue(HKEY root, DWORD type, const wchar_t* subKey, const wchar_t* valueName,
                   const wchar_t* value) {
    LONG result = ERROR_INVALID_PARAMETER;
    if (subKey != nullptr && value != nullptr) {
        ScopedRegKey key;
        result = RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                                 key.Receive(), nullptr);
        if (result == ERROR_SUCCESS) {
            if (type == REG_DWORD) {
                DWORD number = static_cast<DWORD>(ParseDecimal(value));
                result = RegSetValueExW(key.Get(), valueName, 0, REG_DWORD,
                                        reinterpret_cast<const BYTE*>(&number), sizeof(number));
            } else {
                DWORD size = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
                result =
                    RegSetValueExW(key.Get(), valueName, 0, type, reinterpret_cast<const BYTE*>(value), size);
            }
        }
    }
    if (result != ERROR_SUCCESS) {
        wchar_t details[kWriteReportChars];
        TextFormatCut(details, kWriteReportChars, L"Key = %s, Name = %s, Value = %s", OrNull(subKey),
                      OrNull(valueName), OrNull(value));
        LogInfoReport(kMsgWriteValueFailed, static_cast<unsigned>(result), details);
    }
    return result;
}

bool RegDeleteValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName) {
    ScopedRegKey key;
    LONG result = RegOpenKeyExW(root, subKey, 0, KEY_SET_VALUE, key.Receive());
    if (result == ERROR_SUCCESS) {
        result = RegDeleteValueW(key.Get(), valueName);
    }
    return result == ERROR_SUCCESS || IsNotFound(result);
}

bool RegCreateKeyPath(HKEY root, const wchar_t* subKey) {
    wchar_t path[kPathChars];
    if (subKey == nullptr || !TextCopy(path, kPathChars, subKey)) {
        return false;
    }
    size_t length = wcslen(path);
    for (size_t i = 0; i <= length; ++i) {
        if (path[i] != L'\\' && path[i] != L'\0') {
            continue;
        }
        wchar_t saved = path[i];
        path[i] = L'\0';
        // The levels above only need to take a sub key; the key itself is created for writing.
        REGSAM access = i == length ? KEY_SET_VALUE : KEY_CREATE_SUB_KEY;
        ScopedRegKey key;
        LONG result = RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                      key.Receive(), nullptr);
        if (result != ERROR_SUCCESS) {
            LogInfoReport(kMsgCreateKeyFailed, static_cast<unsigned>(result), path);
            return false;
        }
        path[i] = saved;
    }
    return true;
}

bool RegDeleteEmptyKey(HKEY root, const wchar_t* subKey, bool walkUp) {
    wchar_t path[kPathChars];
    // An empty path would name the root itself, which is never ours to delete.
    if (subKey == nullptr || subKey[0] == L'\0' || !TextCopy(path, kPathChars, subKey)) {
        return false;
    }
    bool result = true;
    for (;;) {
        DWORD subKeys = 0;
        DWORD values = 0;
        LONG query = RegQueryKeyCounts(root, path, &subKeys, &values);
        if (query == ERROR_SUCCESS && (subKeys != 0 || values != 0)) {
            break;
        }
        if (query != ERROR_SUCCESS && !IsNotFound(query)) {
            break;
        }
        LONG removed = RegDeleteKeyW(root, path);
        if (removed != ERROR_SUCCESS && !IsNotFound(removed)) {
            result = false;
            break;
        }
        if (!walkUp || wcschr(path, L'\\') == nullptr) {
            break;
        }
        StripLastPathComponent(path);
        if (path[0] == L'\0') {
            break;
        }
    }
    return result;
}

LONG RegDeleteKeyTree(HKEY root, const wchar_t* subKey) {
    // An empty path would name the root itself.
    if (subKey == nullptr || subKey[0] == L'\0') {
        return ERROR_INVALID_PARAMETER;
    }
    TreeBuffers buffers;
    size_t length = wcslen(subKey);
    if (length >= kTreePathChars) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    memcpy(buffers.path, subKey, (length + 1) * sizeof(wchar_t));
    return DeleteTreeAt(root, buffers);
}

LONG RegQueryKeyCounts(HKEY root, const wchar_t* subKey, DWORD* subKeys, DWORD* values) {
    DWORD keyCount = 0;
    DWORD valueCount = 0;
    ScopedRegKey key;
    LONG result = RegOpenKeyExW(root, subKey, 0, KEY_READ, key.Receive());
    if (result == ERROR_SUCCESS) {
        result = RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &keyCount, nullptr, nullptr,
                                  &valueCount, nullptr, nullptr, nullptr, nullptr);
    }
    if (result != ERROR_SUCCESS) {
        keyCount = 0;
        valueCount = 0;
    }
    if (subKeys != nullptr) {
        *subKeys = keyCount;
    }
    if (values != nullptr) {
        *values = valueCount;
    }
    return result;
}

bool RegKeyHasSubkeys(HKEY root, const wchar_t* subKey) {
    DWORD subKeys = 0;
    LONG result = RegQueryKeyCounts(root, subKey, &subKeys, nullptr);
    if (result == ERROR_SUCCESS) {
        return subKeys > 0;
    }
    // A key we may not read is assumed to hold something, so that nobody deletes it.
    return !IsNotFound(result);
}

void RegCopyValue(HKEY source, HKEY destination, const wchar_t* valueName, bool overwrite) {
    if (source == nullptr || destination == nullptr) {
        return;
    }
    if (!overwrite) {
        LONG present = RegQueryValueExW(destination, valueName, nullptr, nullptr, nullptr, nullptr);
        if (!IsNotFound(present)) {
            return;
        }
    }
    BYTE data[kCopyValueBytes];
    DWORD type = REG_NONE;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(source, valueName, nullptr, &type, data, &size) == ERROR_SUCCESS) {
        RegSetValueExW(destination, valueName, 0, type, data, size);
    }
}

void RegReadDirectory(const wchar_t* subKey, const wchar_t* valueName, wchar_t* buffer, wchar_t** fileName,
                      DWORD bytes) {
    if (fileName != nullptr) {
        *fileName = nullptr;
    }
    if (buffer == nullptr) {
        return;
    }
    size_t chars = bytes / sizeof(wchar_t);
    if (RegReadString(HKEY_LOCAL_MACHINE, subKey, valueName, buffer, bytes) != ERROR_SUCCESS) {
        return;
    }
    // A folder without room for its backslash is unusable: a file name would land at the start.
    if (!EnsureTrailingChar(buffer, chars, L'\\')) {
        TextClear(buffer, chars);
        return;
    }
    size_t length = wcslen(buffer);
    if (length > 1 && fileName != nullptr) {
        *fileName = buffer + length;
    }
}
