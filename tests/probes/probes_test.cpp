#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "host/registry.h"
#include "host/text.h"
#include "product/permissions.h"
#include "support/log_capture.h"
#include "support/test_support.h"

using ovtest::LogCapture;
using ovtest::RegistryOverride;
using ovtest::ScratchDir;

namespace {

// A key that exists but may not be read (a locked one) still counts.
bool KeyExists(HKEY root, const wchar_t* subKey) {
    HKEY key = nullptr;
    LONG error = RegOpenKeyExW(root, subKey, 0, KEY_READ, &key);
    if (error == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
    return error != ERROR_FILE_NOT_FOUND;
}

bool ValueExists(HKEY root, const wchar_t* subKey, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    LONG error = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return error == ERROR_SUCCESS;
}

// A key nobody may open for writing (an empty DACL), made writable again at destruction so the
// registry override can remove it.
class LockedKey {
  public:
    LockedKey(HKEY root, const wchar_t* subKey) {
        RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        ACL acl;
        InitializeAcl(&acl, sizeof(acl), ACL_REVISION);
        SetDacl(&acl);
    }
    ~LockedKey() {
        SetDacl(nullptr);
        RegCloseKey(key_);
    }
    bool ok() const { return ok_; }

  private:
    void SetDacl(ACL* acl) {
        SECURITY_DESCRIPTOR sd;
        InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
        ok_ = key_ != nullptr && RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
    }
    HKEY key_ = nullptr;
    bool ok_ = false;
};

class Probes : public ::testing::Test {
  protected:
    RegistryOverride override_;
    LogCapture log_;
    wchar_t created_[kPathChars] = {};
    wchar_t failure_[kPathChars] = {};

    // The redirected roots start empty; a real machine always has these.
    void SetUp() override {
        ovtest::SetRegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE", L"Marker", 1);
        ovtest::SetRegDword(HKEY_CURRENT_USER, L"SOFTWARE", L"Marker", 1);
    }

    void Probe(HKEY root, const wchar_t* subKey, int deleteIfCreated) {
        ProbeRegistryKey(root, subKey, deleteIfCreated, created_, kPathChars, failure_, kPathChars);
    }
};

TEST_F(Probes, MissingKeysAreWritableAndLeaveNothingBehind) {
    struct Case {
        const wchar_t* existing;  // made beforehand, or null
        const wchar_t* probed;
        const wchar_t* gone;  // what must not exist afterwards
        const wchar_t* kept;  // what must still exist, or null
    };
    const Case cases[] = {
        {nullptr, L"SOFTWARE\\Orvane", L"SOFTWARE\\Orvane", L"SOFTWARE"},
        // Levels made on the way to the probed key go as well, not only the last one.
        {nullptr, L"SOFTWARE\\Orvane\\Suite\\Deep", L"SOFTWARE\\Orvane", L"SOFTWARE"},
        {L"SOFTWARE\\Orvane", L"SOFTWARE\\Orvane\\Suite\\Deep", L"SOFTWARE\\Orvane\\Suite",
         L"SOFTWARE\\Orvane"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ovtest::Narrow(c.probed));
        RegDeleteKeyTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane");
        if (c.existing != nullptr) {
            ovtest::SetRegDword(HKEY_LOCAL_MACHINE, c.existing, L"Keep", 1);
        }
        ProbeRegistryKey(HKEY_LOCAL_MACHINE, c.probed, 1, created_, kPathChars, failure_, kPathChars);
        EXPECT_STREQ(L"", failure_);
        EXPECT_STREQ(L"", created_);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, c.gone));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, c.kept));
    }
    EXPECT_FALSE(log_.HasReport(25015));
}

TEST_F(Probes, CreatedKeyIsRecordedOnceForTheCaller) {
    Probe(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Suite", 0);
    EXPECT_STREQ(L"SOFTWARE\\Orvane", created_);  // the top-most level it had to make
    Probe(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Suite\\Deeper", 0);
    EXPECT_STREQ(L"SOFTWARE\\Orvane", created_);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Suite\\Deeper"));
    // Outside the recorded key nobody would delete it later: it goes at once.
    Probe(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Elsewhere", 0);
    EXPECT_STREQ(L"SOFTWARE\\Orvane", created_);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Elsewhere"));
    EXPECT_STREQ(L"", failure_);

    // A name that does not fit the text is never stored cut; the key goes at once.
    wchar_t small[8] = {};
    ProbeRegistryKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LongName", 0, small, 8, failure_, kPathChars);
    EXPECT_STREQ(L"", small);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LongName"));
}

TEST_F(Probes, CurrentUserProbeLeavesTheMachineKeyAlone) {
    ovtest::SetRegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Suite", L"Keep", 7);
    Probe(HKEY_CURRENT_USER, L"SOFTWARE\\Orvane\\Suite", 1);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\Orvane"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"SOFTWARE"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\Suite", L"Keep"));
    EXPECT_STREQ(L"", failure_);
}

TEST_F(Probes, ExistingKeyKeepsItsValues) {
    const wchar_t* key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, key, L"Other", L"x.exe");
    for (int deleteIfCreated = 0; deleteIfCreated <= 1; ++deleteIfCreated) {
        Probe(HKEY_LOCAL_MACHINE, key, deleteIfCreated);
        EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, key, L"Other"));
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, key, L"Kestra_TestValue"));
    }
    EXPECT_STREQ(L"", created_);
    EXPECT_STREQ(L"", failure_);
}

TEST_F(Probes, UnwritableKeysReportAndKeepTheFirst) {
    LockedKey first(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Locked1");
    LockedKey second(HKEY_CURRENT_USER, L"SOFTWARE\\Locked2");
    ASSERT_TRUE(first.ok() && second.ok());

    Probe(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Writable", 1);
    EXPECT_STREQ(L"", failure_);
    Probe(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Locked1", 1);
    EXPECT_STREQ(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked1", failure_);
    EXPECT_TRUE(log_.HasReport(25015));
    EXPECT_TRUE(log_.Has("HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked1"));

    Probe(HKEY_CURRENT_USER, L"SOFTWARE\\Locked2", 1);
    EXPECT_TRUE(log_.Has("HKEY_CURRENT_USER\\SOFTWARE\\Locked2"));
    ProbeDirectory(L"C:\\does\\not\\exist", failure_, kPathChars);
    EXPECT_STREQ(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked1", failure_);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Locked1"));

    // A text with little room gets the start of the name.
    wchar_t small[12] = {};
    ProbeRegistryKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Locked1", 1, nullptr, 0, small, 12);
    EXPECT_STREQ(L"HKEY_LOCAL_", small);
    EXPECT_EQ(2u, log_.Count("HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked1"));
}

TEST_F(Probes, Folders) {
    ScratchDir dir;
    std::wstring testFile = dir / L"Kestra_TestFile";
    ASSERT_TRUE(ovtest::WriteFileBytes(testFile, "old"));
    ASSERT_TRUE(SetFileAttributesW(testFile.c_str(), FILE_ATTRIBUTE_READONLY));

    // A read-only leftover of an earlier run does not make the folder look unwritable.
    ProbeDirectory(dir.path().c_str(), failure_, kPathChars);
    EXPECT_STREQ(L"", failure_);
    EXPECT_FALSE(ovtest::PathExists(testFile));
    EXPECT_FALSE(log_.HasReport(25016));

    // Too long a path for the test file: nothing is probed or recorded.
    std::wstring longFolder = dir.path() + L"\\" + std::wstring(250, L'a');
    ProbeDirectory(longFolder.c_str(), failure_, kPathChars);
    ProbeDirectory(L"", failure_, kPathChars);
    EXPECT_STREQ(L"", failure_);
    EXPECT_FALSE(log_.HasReport(25016));

    std::wstring missing = dir / L"missing";
    ProbeDirectory(missing.c_str(), failure_, kPathChars);
    EXPECT_STREQ(missing.c_str(), failure_);
    EXPECT_TRUE(log_.HasReport(25016));
    EXPECT_TRUE(log_.Has(ovtest::Narrow(missing)));
    EXPECT_FALSE(ovtest::PathExists(missing));
}

}  // namespace
