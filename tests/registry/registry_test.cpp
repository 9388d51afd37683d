// Registry operations against a real (Wine) registry: HKLM is redirected to a scratch key for
// each test, so nothing here touches the machine.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host/registry.h"
#include "support/log_capture.h"

using ovtest::LogCapture;
#include "support/test_support.h"

namespace {

using ovtest::Narrow;

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void CreateKey(const std::wstring& path) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr))
        << Narrow(path);
    RegCloseKey(key);
}

void SetRaw(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes));
    RegCloseKey(key);
}

void SetText(const std::wstring& path, const wchar_t* name, const wchar_t* text, DWORD type = REG_SZ) {
    SetRaw(path, name, type, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

// A value as stored: its type and bytes; found is false when it cannot be read.
struct StoredValue {
    bool found = false;
    DWORD type = REG_NONE;
    std::string bytes;
};

StoredValue ReadStored(const std::wstring& path, const wchar_t* name) {
    StoredValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return value;
    }
    char data[2048];
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS) {
        value.found = true;
        value.bytes.assign(data, size);
    }
    RegCloseKey(key);
    return value;
}

std::string TextBytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

std::string DwordBytes(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

// Replaces the access list of an HKLM key while the object lives: `allowed` is granted to
// everyone, and 0 leaves an empty list that lets nobody open the key. The owner keeps the right
// to change the list, which is how the destructor gives full access back.
class KeyAccess {
  public:
    KeyAccess(const std::wstring& path, DWORD allowed) : path_(path) {
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
        alignas(DWORD) BYTE buffer[256];
        PACL acl = reinterpret_cast<PACL>(buffer);
        InitializeAcl(acl, sizeof(buffer), ACL_REVISION);
        if (allowed != 0) {
            AddAccessAllowedAce(acl, ACL_REVISION, allowed, everyone);
        }
        ok_ = SetDacl(acl) == ERROR_SUCCESS;
        FreeSid(everyone);
    }
    ~KeyAccess() { SetDacl(nullptr); }
    KeyAccess(const KeyAccess&) = delete;
    KeyAccess& operator=(const KeyAccess&) = delete;
    bool ok() const { return ok_; }

  private:
    LONG SetDacl(PACL acl) {
        SECURITY_DESCRIPTOR descriptor;
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
        HKEY key = nullptr;
        LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, WRITE_DAC, &key);
        if (result == ERROR_SUCCESS) {
            result = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
            RegCloseKey(key);
        }
        return result;
    }
    std::wstring path_;
    bool ok_ = false;
};

class Registry : public ::testing::Test {
  protected:
    ovtest::RegistryOverride override_;
};

TEST_F(Registry, ReadStringReadsRawAndClearsOnEveryFailure) {
    SetText(L"Read", L"Text", L"C:\\Folder");
    SetText(L"Read", L"Expand", L"%SystemRoot%\\x", REG_EXPAND_SZ);
    SetRaw(L"Read", L"Bare", REG_SZ, L"abcd", 4 * sizeof(wchar_t));  // no terminator stored
    struct Case {
        const char* name;
        const wchar_t* subKey;
        const wchar_t* value;
        DWORD bytes;
        LONG result;
        const wchar_t* text;
    } cases[] = {
        {"fits", L"Read", L"Text", 64, ERROR_SUCCESS, L"C:\\Folder"},
        {"fits with its terminator exactly", L"Read", L"Text", 20, ERROR_SUCCESS, L"C:\\Folder"},
        {"one char short", L"Read", L"Text", 18, ERROR_MORE_DATA, L""},
        {"not expanded", L"Read", L"Expand", 64, ERROR_SUCCESS, L"%SystemRoot%\\x"},
        {"unterminated text filling the buffer", L"Read", L"Bare", 8, ERROR_MORE_DATA, L""},
        {"unterminated text with room", L"Read", L"Bare", 10, ERROR_SUCCESS, L"abcd"},
        {"missing value", L"Read", L"None", 64, ERROR_FILE_NOT_FOUND, L""},
        {"missing key", L"Absent", L"Text", 64, ERROR_FILE_NOT_FOUND, L""},
        {"empty sub key", L"", L"Text", 64, ERROR_INVALID_PARAMETER, L""},
        {"null sub key", nullptr, L"Text", 64, ERROR_INVALID_PARAMETER, L""},
    };
    for (const Case& c : cases) {
        wchar_t buffer[32];
        wmemset(buffer, L'x', 32);
        EXPECT_EQ(c.result, RegReadString(HKEY_LOCAL_MACHINE, c.subKey, c.value, buffer, c.bytes)) << c.name;
        EXPECT_STREQ(c.text, buffer) << c.name;
        if (c.result != ERROR_SUCCESS) {
            for (DWORD i = 0; i < c.bytes / sizeof(wchar_t); ++i) {
                ASSERT_EQ(L'\0', buffer[i]) << c.name << " at " << i;
            }
        }
    }

    // Whatever the type, the bytes come back as stored.
    SetRaw(L"Read", L"Number", REG_DWORD, "\x07\x00\x00\x00", 4);
    DWORD number = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegReadString(HKEY_LOCAL_MACHINE, L"Read", L"Number", &number, sizeof(number)));
    EXPECT_EQ(7u, number);
}

TEST_F(Registry, WriteValueStoresTextsAndNumbers) {
    struct Case {
        const char* name;
        DWORD type;
        const wchar_t* text;
        DWORD storedType;
        std::string stored;
    } cases[] = {
        {"number", REG_DWORD, L"1", REG_DWORD, DwordBytes(1)},
        {"number before other text", REG_DWORD, L"42abc", REG_DWORD, DwordBytes(42)},
        {"text with its terminator", REG_SZ, L"text", REG_SZ, TextBytes(L"text")},
        {"empty text", REG_SZ, L"", REG_SZ, TextBytes(L"")},
        {"expandable text kept as it is", REG_EXPAND_SZ, L"%TEMP%\\x", REG_EXPAND_SZ,
         TextBytes(L"%TEMP%\\x")},
    };
    for (const Case& c : cases) {
        // The key and its parent are created on the way.
        std::wstring key = L"Write\\" + ovtest::Widen(c.name);
        ASSERT_EQ(ERROR_SUCCESS, RegWriteValue(HKEY_LOCAL_MACHINE, c.type, key.c_str(), L"Value", c.text))
            << c.name;
        StoredValue stored = ReadStored(key, L"Value");
        EXPECT_TRUE(stored.found) << c.name;
        EXPECT_EQ(c.storedType, stored.type) << c.name;
        EXPECT_EQ(c.stored, stored.bytes) << c.name;
    }
}

TEST_F(Registry, WriteValueFailuresAreLoggedWithTheirOperands) {
    LogCapture log;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegWriteValue(HKEY_LOCAL_MACHINE, REG_SZ, L"Write", L"Name", nullptr));
    EXPECT_FALSE(KeyExists(L"Write"));
    EXPECT_TRUE(log.Has("(25524)"));
    EXPECT_TRUE(log.Has("Key = Write, Name = Name, Value = <NULL>")) << log.Text();

    // A key nobody may open: the system's own error comes back.
    CreateKey(L"Locked");
    KeyAccess denied(L"Locked", 0);
    ASSERT_TRUE(denied.ok());
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegWriteValue(HKEY_LOCAL_MACHINE, REG_DWORD, L"Locked", nullptr, L"5"));
    EXPECT_TRUE(log.Has("Key = Locked, Name = <NULL>, Value = 5")) << log.Text();
}

TEST_F(Registry, DeleteValueCountsAnAbsentValueAsGone) {
    SetText(L"Del", L"Here", L"x");
    SetText(L"Del", L"Other", L"y");
    CreateKey(L"ReadOnly");
    SetText(L"ReadOnly", L"Kept", L"z");
    KeyAccess readOnly(L"ReadOnly", KEY_READ);
    ASSERT_TRUE(readOnly.ok());
    struct Case {
        const char* name;
        const wchar_t* subKey;
        const wchar_t* value;
        bool result;
    } cases[] = {
        {"present value", L"Del", L"Here", true},
        {"missing value", L"Del", L"Never", true},
        {"missing key", L"NoSuchKey", L"Here", true},
        {"key we may not write", L"ReadOnly", L"Kept", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, RegDeleteValue(HKEY_LOCAL_MACHINE, c.subKey, c.value)) << c.name;
    }
    EXPECT_FALSE(ReadStored(L"Del", L"Here").found);
    EXPECT_TRUE(ReadStored(L"Del", L"Other").found);
    EXPECT_TRUE(ReadStored(L"ReadOnly", L"Kept").found);
}

TEST_F(Registry, CreateKeyPathCreatesEveryLevelWithinAPathBuffer) {
    EXPECT_TRUE(RegCreateKeyPath(HKEY_LOCAL_MACHINE, L"Path\\A\\B\\C"));
    EXPECT_TRUE(KeyExists(L"Path\\A\\B\\C"));
    EXPECT_TRUE(RegCreateKeyPath(HKEY_LOCAL_MACHINE, L"Path\\A\\B\\C"));  // already there

    // 259 chars fit the 260-char buffer with the terminator; 260 do not, and nothing is created.
    std::wstring longest = L"Long\\" + std::wstring(200, L'a') + L"\\" + std::wstring(53, L'b');
    ASSERT_EQ(259u, longest.size());
    EXPECT_TRUE(RegCreateKeyPath(HKEY_LOCAL_MACHINE, longest.c_str()));
    EXPECT_TRUE(KeyExists(longest));
    std::wstring tooLong = L"Over\\" + std::wstring(200, L'a') + L"\\" + std::wstring(54, L'b');
    EXPECT_FALSE(RegCreateKeyPath(HKEY_LOCAL_MACHINE, tooLong.c_str()));
    EXPECT_FALSE(KeyExists(L"Over"));
}

TEST_F(Registry, CreateKeyPathLogsThePathAsFarAsItWent) {
    CreateKey(L"Locked");
    KeyAccess denied(L"Locked", 0);
    ASSERT_TRUE(denied.ok());
    LogCapture log;
    EXPECT_FALSE(RegCreateKeyPath(HKEY_LOCAL_MACHINE, L"Locked\\X\\Y"));
    EXPECT_TRUE(log.Has("(25525)")) << log.Text();
    EXPECT_TRUE(log.Has("Locked")) << log.Text();
    EXPECT_FALSE(log.Has("Locked\\X")) << log.Text();
}

TEST_F(Registry, DeleteKeyTreeRemovesEverythingBelowTheKeyOnly) {
    for (const wchar_t* child : {L"One", L"Two", L"Three"}) {
        std::wstring key = std::wstring(L"Tree\\") + child;
        SetText(key, L"Value", L"x");
        SetText(key + L"\\Deeper\\Deepest", L"Value", L"y");
        CreateKey(key + L"\\Beside");
    }
    SetText(L"TreeSibling", L"Value", L"z");

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyTree(HKEY_LOCAL_MACHINE, L"Tree"));
    EXPECT_FALSE(KeyExists(L"Tree"));
    EXPECT_TRUE(KeyExists(L"TreeSibling"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyTree(HKEY_LOCAL_MACHINE, L"Tree"));

    // An empty path would name the root: refused, and the root keeps what it holds.
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyTree(HKEY_LOCAL_MACHINE, L""));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyTree(HKEY_LOCAL_MACHINE, nullptr));
    EXPECT_TRUE(KeyExists(L"TreeSibling"));
}

// Builds top\n1\n2... with names of the given lengths; returns the length of the deepest path.
size_t CreateChain(const std::wstring& top, const std::vector<size_t>& lengths) {
    std::wstring path = top;
    for (size_t i = 0; i < lengths.size(); ++i) {
        path += L"\\" + std::wstring(lengths[i], static_cast<wchar_t>(L'a' + i));
    }
    // Level by level through open handles: no single call needs the whole path.
    HKEY parent = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, top.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &parent,
                    nullptr);
    for (size_t i = 0; i < lengths.size(); ++i) {
        HKEY child = nullptr;
        std::wstring name(lengths[i], static_cast<wchar_t>(L'a' + i));
        RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr);
        RegCloseKey(parent);
        parent = child;
    }
    RegCloseKey(parent);
    return path.size();
}

TEST_F(Registry, DeleteKeyTreeRefusesPathsOf1024CharsOrMore) {
    ASSERT_EQ(1023u, CreateChain(L"Fits", {250, 250, 250, 132, 132}));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyTree(HKEY_LOCAL_MACHINE, L"Fits"));
    EXPECT_FALSE(KeyExists(L"Fits"));

    ASSERT_EQ(1024u, CreateChain(L"Over", {250, 250, 250, 132, 133}));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, RegDeleteKeyTree(HKEY_LOCAL_MACHINE, L"Over"));
    // Nothing was deleted: keys go only once everything below them went.
    EXPECT_TRUE(KeyExists(L"Over\\" + std::wstring(250, L'a')));
}

TEST_F(Registry, DeleteEmptyKeyWalksUpWhileParentsAreLeftEmpty) {
    struct Case {
        const char* name;
        std::vector<std::wstring> keys;
        const wchar_t* withValue;  // a key that also gets a value
        const wchar_t* denied;     // a key nobody may open
        const wchar_t* target;
        bool walkUp;
        bool result;
        std::vector<std::wstring> gone;
        std::vector<std::wstring> kept;
    } cases[] = {
        {"parent with another sub key stays",
         {L"C1\\Vendor\\Product", L"C1\\Vendor\\Other"},
         nullptr,
         nullptr,
         L"C1\\Vendor\\Product",
         true,
         true,
         {L"C1\\Vendor\\Product"},
         {L"C1\\Vendor\\Other"}},
        {"empty parents go, the first holding something stays",
         {L"C2\\SOFTWARE\\Vendor\\Product", L"C2\\SOFTWARE\\Keep"},
         nullptr,
         nullptr,
         L"C2\\SOFTWARE\\Vendor\\Product",
         true,
         true,
         {L"C2\\SOFTWARE\\Vendor"},
         {L"C2\\SOFTWARE\\Keep"}},
        {"an empty first level goes too",
         {L"C3\\A\\B"},
         nullptr,
         nullptr,
         L"C3\\A\\B",
         true,
         true,
         {L"C3"},
         {}},
        {"without walk-up only the key goes",
         {L"C4\\A\\B"},
         nullptr,
         nullptr,
         L"C4\\A\\B",
         false,
         true,
         {L"C4\\A\\B"},
         {L"C4\\A"}},
        {"a key with a value stays", {L"C5\\A"}, L"C5\\A", nullptr, L"C5\\A", true, true, {}, {L"C5\\A"}},
        {"a key with a sub key stays",
         {L"C6\\A\\B"},
         nullptr,
         nullptr,
         L"C6\\A",
         true,
         true,
         {},
         {L"C6\\A\\B"}},
        {"a missing key counts as gone",
         {L"C7\\Vendor", L"C7\\Keep"},
         nullptr,
         nullptr,
         L"C7\\Vendor\\Missing",
         true,
         true,
         {L"C7\\Vendor"},
         {L"C7\\Keep"}},
        {"a key we may not read ends the walk",
         {L"C8\\A\\Leaf"},
         nullptr,
         L"C8\\A\\Leaf",
         L"C8\\A\\Leaf",
         true,
         true,
         {},
         {L"C8\\A\\Leaf"}},
    };
    for (const Case& c : cases) {
        for (const std::wstring& key : c.keys) {
            CreateKey(key);
        }
        if (c.withValue != nullptr) {
            SetText(c.withValue, L"Value", L"x");
        }
        {
            std::optional<KeyAccess> denied;
            if (c.denied != nullptr) {
                denied.emplace(c.denied, 0);
                ASSERT_TRUE(denied->ok()) << c.name;
            }
            EXPECT_EQ(c.result, RegDeleteEmptyKey(HKEY_LOCAL_MACHINE, c.target, c.walkUp)) << c.name;
        }
        for (const std::wstring& key : c.gone) {
            EXPECT_FALSE(KeyExists(key)) << c.name << ": " << Narrow(key);
        }
        for (const std::wstring& key : c.kept) {
            EXPECT_TRUE(KeyExists(key)) << c.name << ": " << Narrow(key);
        }
    }
    EXPECT_FALSE(RegDeleteEmptyKey(HKEY_LOCAL_MACHINE, L"", true));
    EXPECT_FALSE(RegDeleteEmptyKey(HKEY_LOCAL_MACHINE, nullptr, true));
}

TEST_F(Registry, QueryKeyCountsAndHasSubkeys) {
    CreateKey(L"Counts\\K1");
    CreateKey(L"Counts\\K2");
    for (const wchar_t* name : {L"V1", L"V2", L"V3"}) {
        SetText(L"Counts", name, L"x");
    }
    DWORD subKeys = 99;
    DWORD values = 99;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryKeyCounts(HKEY_LOCAL_MACHINE, L"Counts", &subKeys, &values));
    EXPECT_EQ(2u, subKeys);
    EXPECT_EQ(3u, values);
    subKeys = values = 99;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryKeyCounts(HKEY_LOCAL_MACHINE, L"NoCounts", &subKeys, &values));
    EXPECT_EQ(0u, subKeys);
    EXPECT_EQ(0u, values);

    // An unreadable key is taken to hold sub keys, even though this one holds none.
    CreateKey(L"Empty");
    SetText(L"ValuesOnly", L"Value", L"x");
    CreateKey(L"Denied");
    KeyAccess denied(L"Denied", 0);
    ASSERT_TRUE(denied.ok());
    ASSERT_FALSE(KeyExists(L"Denied"));  // the system really refuses to open it
    struct Case {
        const char* name;
        const wchar_t* subKey;
        bool result;
    } cases[] = {
        {"sub keys", L"Counts", true},
        {"values only", L"ValuesOnly", false},
        {"empty", L"Empty", false},
        {"missing", L"Missing", false},
        {"missing parent", L"Missing\\Child", false},
        {"unreadable", L"Denied", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, RegKeyHasSubkeys(HKEY_LOCAL_MACHINE, c.subKey)) << c.name;
    }
}

TEST_F(Registry, CopyValueKeepsTypeAndSizeUpTo512Bytes) {
    std::string bytes512(512, '\x5a');
    std::string bytes513(513, '\x5a');
    struct Case {
        const char* name;
        DWORD sourceType;  // REG_NONE: no source value
        std::string source;
        bool destinationHasValue;
        bool overwrite;
        bool copied;
    } cases[] = {
        {"number to an empty destination", REG_DWORD, DwordBytes(5), false, false, true},
        {"existing value kept", REG_SZ, TextBytes(L"new"), true, false, false},
        {"existing value overwritten", REG_SZ, TextBytes(L"new"), true, true, true},
        {"512 bytes", REG_BINARY, bytes512, false, false, true},
        {"more than 512 bytes", REG_BINARY, bytes513, false, true, false},
        {"no source value", REG_NONE, "", false, true, false},
    };
    int index = 0;
    for (const Case& c : cases) {
        std::wstring source = L"CopySource" + std::to_wstring(index);
        std::wstring destination = L"CopyDestination" + std::to_wstring(index);
        ++index;
        CreateKey(source);
        CreateKey(destination);
        if (c.sourceType != REG_NONE) {
            SetRaw(source, L"Value", c.sourceType, c.source.data(), static_cast<DWORD>(c.source.size()));
        }
        if (c.destinationHasValue) {
            SetText(destination, L"Value", L"old");
        }
        HKEY from = nullptr;
        HKEY to = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, source.c_str(), 0, KEY_READ, &from));
        ASSERT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExW(HKEY_LOCAL_MACHINE, destination.c_str(), 0, KEY_ALL_ACCESS, &to));
        RegCopyValue(from, to, L"Value", c.overwrite);
        RegCloseKey(from);
        RegCloseKey(to);

        StoredValue stored = ReadStored(destination, L"Value");
        if (c.copied) {
            EXPECT_EQ(c.sourceType, stored.type) << c.name;
            EXPECT_EQ(c.source, stored.bytes) << c.name;
        } else if (c.destinationHasValue) {
            EXPECT_EQ(TextBytes(L"old"), stored.bytes) << c.name;
        } else {
            EXPECT_FALSE(stored.found) << c.name;
        }
    }
}

TEST_F(Registry, ReadDirectoryPointsBehindTheBackslash) {
    struct Case {
        const char* name;
        const wchar_t* value;  // null: no value
        DWORD bytes;
        const wchar_t* text;
        int fileNameAt;  // -1: none
    } cases[] = {
        {"backslash added", L"C:\\Prog", 64, L"C:\\Prog\\", 8},
        {"backslash kept", L"C:\\Prog\\", 64, L"C:\\Prog\\", 8},
        {"empty value is only a backslash", L"", 64, L"\\", -1},
        {"missing value", nullptr, 64, L"", -1},
        {"no room for the backslash", L"C:\\Prog", 16, L"", -1},
        {"value larger than the buffer", L"C:\\Prog", 14, L"", -1},
    };
    for (const Case& c : cases) {
        RegDeleteKeyTree(HKEY_LOCAL_MACHINE, L"Product");
        if (c.value != nullptr) {
            SetText(L"Product", L"InstallDir", c.value);
        }
        wchar_t buffer[32];
        wmemset(buffer, L'x', 32);
        wchar_t* fileName = buffer;
        RegReadDirectory(L"Product", L"InstallDir", buffer, &fileName, c.bytes);
        EXPECT_STREQ(c.text, buffer) << c.name;
        if (c.fileNameAt < 0) {
            EXPECT_EQ(nullptr, fileName) << c.name;
        } else {
            EXPECT_EQ(buffer + c.fileNameAt, fileName) << c.name;
        }
    }
}

}  // namespace
