#include "product/permissions.h"

#include "host/handles.h"
#include "host/paths.h"
#include "host/registry.h"
#include "host/text.h"
#include "log/logger.h"

namespace {

const unsigned kMsgKeyNotWritable = 25015;
const unsigned kMsgFolderNotWritable = 25016;

const wchar_t kTestValueName[] = L"Kestra_TestValue";
const DWORD kTestValue = 3121;
const wchar_t kTestFileName[] = L"Kestra_TestFile";

// Room for a root name and a sub key of any length the registry accepts in practice.
const size_t kKeyTextChars = kMessageChars;

const wchar_t* RootName(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) {
        return L"HKEY_CLASSES_ROOT\\";
    }
    if (root == HKEY_CURRENT_USER) {
        return L"HKEY_CURRENT_USER\\";
    }
    if (root == HKEY_LOCAL_MACHINE) {
        return L"HKEY_LOCAL_MACHINE\\";
    }
    if (root == HKEY_USERS) {
        return L"HKEY_USERS\\";
    }
    if (root == HKEY_CURRENT_CONFIG) {
        return L"HKEY_CURRENT_CONFIG\\";
    }
    if (root == HKEY_DYN_DATA) {
        return L"HKEY_DYN_DATA\\";
    }
    return L".\\";
}

void NoteFirstFailure(wchar_t* failureText, size_t failureChars, const wchar_t* text) {
    if (failureText != nullptr && failureChars > 0 && failureText[0] == L'\0') {
        TextCopyCut(failureText, failureChars, text);
    }
}

// RegCreateKeyEx makes every missing level, but only tells whether the last one was new. The
// top-most missing level is what has to go for the probe to leave nothing behind, so find it
// beforehand: `topMissing` receives it, or stays empty when every parent exists (or the path is
// too long to split, in which case the sub key itself stands for what was created).
void FindTopMissingParent(HKEY root, const wchar_t* subKey, wchar_t* topMissing, size_t chars) {
    TextClear(topMissing, chars);
    if (!TextCopy(topMissing, chars, subKey)) {
        return;
    }
    for (size_t i = 0; topMissing[i] != L'\0'; ++i) {
        if (topMissing[i] != L'\\' || i == 0) {
            continue;
        }
        topMissing[i] = L'\0';
        ScopedRegKey key;
        LONG error = RegOpenKeyExW(root, topMissing, 0, KEY_QUERY_VALUE, key.Receive());
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return;  // cut here: this prefix is the first level that does not exist
        }
        topMissing[i] = L'\\';
    }
    TextClear(topMissing, chars);
}

// True when `key` is `parent` itself or lies below it (registry names ignore case).
bool IsBelow(const wchar_t* key, const wchar_t* parent) {
    size_t length = TextLength(parent);
    if (TextLength(key) < length || (key[length] != L'\0' && key[length] != L'\\')) {
        return false;
    }
    wchar_t head[kKeyTextChars];
    TextCopyCut(head, length + 1 < kKeyTextChars ? length + 1 : kKeyTextChars, key);
    return TextLength(head) == length && TextCompareNoCase(head, parent) == 0;
}

}  // namespace

void ProbeRegistryKey(HKEY root, const wchar_t* subKey, int deleteIfCreated, wchar_t* createdKey,
                      size_t createdKeyChars, wchar_t* failureText, size_t failureChars) {
    if (subKey == nullptr || subKey[0] == L'\0') {
        return;
    }
    wchar_t topMissing[kKeyTextChars];
    FindTopMissingParent(root, subKey, topMissing, kKeyTextChars);

    DWORD disposition = 0;
    ScopedRegKey key;
    LONG error = RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                                 key.Receive(), &disposition);
    bool created = error == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    if (error == ERROR_SUCCESS) {
        DWORD value = kTestValue;
        error = RegSetValueExW(key.Get(), kTestValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                               sizeof(value));
        if (error == ERROR_SUCCESS) {
            RegDeleteValueW(key.Get(), kTestValueName);
        }
    }
    key.Close();

    if (created) {
        const wchar_t* made = topMissing[0] != L'\0' ? topMissing : subKey;
        bool handedOver = false;
        if (!deleteIfCreated && createdKey != nullptr && createdKeyChars > 0) {
            if (createdKey[0] != L'\0') {
                // The caller deletes the recorded key with everything below it; anything else
                // this probe made would be left behind, so it goes now.
                handedOver = IsBelow(made, createdKey);
            } else {
                handedOver = TextCopy(createdKey, createdKeyChars, made);
            }
        }
        bool keep = !deleteIfCreated && createdKey == nullptr;
        if (!handedOver && !keep) {
            RegDeleteKeyTree(root, made);
        }
    }

    if (error != ERROR_SUCCESS) {
        wchar_t text[kKeyTextChars];
        TextFormatCut(text, kKeyTextChars, L"%s%s", RootName(root), subKey);
        LogInfoReport(kMsgKeyNotWritable, static_cast<unsigned>(error), text);
        NoteFirstFailure(failureText, failureChars, text);
    }
}

void ProbeDirectory(const wchar_t* folder, wchar_t* failureText, size_t failureChars) {
    if (folder == nullptr || folder[0] == L'\0') {
        return;
    }
    wchar_t path[kPathChars];
    if (!AppendPath(path, kPathChars, folder, kTestFileName)) {
        return;
    }
    // An earlier run may have left a read-only test file behind.
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    ScopedHandle file(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        LogInfoReport(kMsgFolderNotWritable, GetLastError(), folder);
        NoteFirstFailure(failureText, failureChars, folder);
        return;
    }
    file.Close();
    DeleteFileW(path);
}
