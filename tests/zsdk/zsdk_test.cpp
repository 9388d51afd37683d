// zsdk.dll as the suite's programs use it: loaded by file name, bound by export name, against
// the zember stand-ins copied into a scratch release folder. HKLM is redirected in-process, so
// "ReleasePath" is this test's own; the plug-in stand-ins keep their state in files beside them.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>

#include "support/test_support.h"
#include "zsdk/zsdk.h"

namespace {

const char kKey[] = "SOFTWARE\\Zember";
const char kVersion[] = "3.1.4.1592";  // FILEVERSION of the Z.dll stand-in

std::string Ansi(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) {
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    }
    return out;
}

std::wstring Standin(const std::wstring& relative) {
    return ovtest::BinDir() + L"\\standins\\zember\\" + relative;
}

// A folder `length` chars long (possibly beyond MAX_PATH), made of components below `base`.
std::wstring MakeFolderOfLength(const std::wstring& base, size_t length) {
    std::wstring folder = base;
    CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
    while (folder.size() < length) {
        size_t part = length - folder.size() - 1;
        if (part > 200) {
            part = 150;
        }
        folder += L"\\" + std::wstring(part, L'd');
        CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
    }
    return folder;
}

bool CopyInto(const std::wstring& folder, const std::wstring& standin, const std::wstring& name) {
    return CopyFileW(Standin(standin).c_str(), (L"\\\\?\\" + folder + L"\\" + name).c_str(), FALSE) != FALSE;
}

// Every stand-in under its release-folder name: both plug-ins registered.
void PlaceAll(const std::wstring& folder) {
    for (const wchar_t* name : {L"ZAddIn.dll", L"ZOEHook.dll", L"Z.dll", L"Z-Update.exe"}) {
        ASSERT_TRUE(CopyInto(folder, name, name)) << ovtest::Narrow(folder);
    }
    ovtest::WriteFileBytes(L"\\\\?\\" + folder + L"\\ZAddIn.dll.registered", "1");
    ovtest::WriteFileBytes(L"\\\\?\\" + folder + L"\\ZOEHook.dll.registered", "1");
}

// Leaves freed heap blocks of `size` bytes full of 'x', so that a reader which copies a value
// into a fresh block and forgets to terminate it runs into them.
void SoilHeap(size_t size) {
    void* blocks[8];
    for (void*& block : blocks) {
        block = HeapAlloc(GetProcessHeap(), 0, size);
        if (block) {
            memset(block, 'x', size);
        }
    }
    for (void* block : blocks) {
        if (block) {
            HeapFree(GetProcessHeap(), 0, block);
        }
    }
}

bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        if (ovtest::PathExists(path)) {
            return true;
        }
        Sleep(50);
    }
    return ovtest::PathExists(path);
}

class Zsdk : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibraryW((ovtest::BinDir() + L"\\zsdk.dll").c_str());
        ASSERT_NE(nullptr, module_);
        isProductInstalled = Bind<ZSDK_QueryFn>("ZSDK_IsProductInstalled");
        getCurrentVersion = Bind<ZSDK_GetCurrentVersionFn>("ZSDK_GetCurrentVersion");
        isOLPluginEnabled = Bind<ZSDK_QueryFn>("ZSDK_IsOLPluginEnabled");
        isOEPluginEnabled = Bind<ZSDK_QueryFn>("ZSDK_IsOEPluginEnabled");
        enableOLPlugin = Bind<ZSDK_EnablePluginFn>("ZSDK_EnableOLPlugin");
        enableOEPlugin = Bind<ZSDK_EnablePluginFn>("ZSDK_EnableOEPlugin");
        checkForUpdate = Bind<ZSDK_QueryFn>("ZSDK_CheckForUpdate");
    }
    void TearDown() override {
        if (module_) {
            FreeLibrary(module_);
        }
    }

    template <typename Fn>
    Fn Bind(const char* name) {
        FARPROC found = GetProcAddress(module_, name);
        EXPECT_NE(nullptr, found) << name;
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(found));
    }

    // "ReleasePath" exactly as given: type, bytes and size.
    void SetReleasePathRaw(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE,
                                                 nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, "ReleasePath", 0, type, static_cast<const BYTE*>(data), size));
        RegCloseKey(key);
    }
    void SetReleaseFolder(const std::wstring& folder) {
        std::string text = Ansi(folder);
        SetReleasePathRaw(REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
    void ClearReleasePath() { SHDeleteKeyA(HKEY_LOCAL_MACHINE, kKey); }

    std::wstring In(const std::wstring& name) const { return release_ / name; }

    ovtest::RegistryOverride registry_;
    ovtest::ScratchDir release_;
    HMODULE module_ = nullptr;

  public:  // the cases below pick them by member pointer
    ZSDK_QueryFn isProductInstalled = nullptr;
    ZSDK_GetCurrentVersionFn getCurrentVersion = nullptr;
    ZSDK_QueryFn isOLPluginEnabled = nullptr;
    ZSDK_QueryFn isOEPluginEnabled = nullptr;
    ZSDK_EnablePluginFn enableOLPlugin = nullptr;
    ZSDK_EnablePluginFn enableOEPlugin = nullptr;
    ZSDK_QueryFn checkForUpdate = nullptr;
};

TEST_F(Zsdk, ProductIsInstalledWhenReleasePathHasAnySize) {
    struct Case {
        const char* name;
        bool createValue;
        DWORD type;
        const char* data;
        DWORD size;
        BOOLEAN expected;
    } cases[] = {
        {"no key", false, 0, nullptr, 0, 0},
        {"size 0", true, REG_SZ, "", 0, 0},
        {"empty text (size 1)", true, REG_SZ, "", 1, 1},
        {"folder", true, REG_SZ, "C:\\Zember", 10, 1},
    };
    for (const Case& c : cases) {
        ClearReleasePath();
        if (c.createValue) {
            SetReleasePathRaw(c.type, c.data, c.size);
        }
        EXPECT_EQ(c.expected, isProductInstalled()) << c.name;
    }
    // The key alone is not enough.
    ClearReleasePath();
    ovtest::SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zember", L"Other", L"x");
    EXPECT_EQ(0, isProductInstalled()) << "key without the value";
}

TEST_F(Zsdk, CurrentVersionIsCopiedWithStrncpyRules) {
    ASSERT_TRUE(CopyInto(release_.path(), L"Z.dll", L"Z.dll"));
    SetReleaseFolder(release_.path());
    const int length = static_cast<int>(strlen(kVersion));
    const int sizes[] = {64, length + 1, length, 3, 1};
    for (int size : sizes) {
        char buffer[80];
        memset(buffer, 0x7f, sizeof(buffer));
        EXPECT_EQ(1, getCurrentVersion(buffer, size)) << "size " << size;
        for (int i = 0; i < static_cast<int>(sizeof(buffer)); ++i) {
            char expected = i >= size ? 0x7f : i < length ? kVersion[i] : '\0';
            ASSERT_EQ(expected, buffer[i]) << "size " << size << ", byte " << i;
        }
    }
    // Nothing can be copied into these: false, and nothing written.
    char buffer[8];
    memset(buffer, 0x7f, sizeof(buffer));
    EXPECT_EQ(0, getCurrentVersion(buffer, 0));
    EXPECT_EQ(0, getCurrentVersion(buffer, -1));
    EXPECT_EQ(0, getCurrentVersion(nullptr, 8));
    for (char b : buffer) {
        ASSERT_EQ(0x7f, b);
    }
}

TEST_F(Zsdk, CurrentVersionFailsWithoutVersionResourceAndLeavesBufferAlone) {
    struct Case {
        const char* name;
        const wchar_t* standin;  // copied as Z.dll; null: no Z.dll
    } cases[] = {
        {"no version resource", L"noversion\\Z.dll"},
        {"no Z.dll", nullptr},
    };
    SetReleaseFolder(release_.path());
    for (const Case& c : cases) {
        DeleteFileW(In(L"Z.dll").c_str());
        if (c.standin) {
            ASSERT_TRUE(CopyInto(release_.path(), c.standin, L"Z.dll"));
        }
        char buffer[32];
        memset(buffer, 0x7f, sizeof(buffer));
        EXPECT_EQ(0, getCurrentVersion(buffer, sizeof(buffer))) << c.name;
        for (char b : buffer) {
            ASSERT_EQ(0x7f, b) << c.name;
        }
    }
}

// However "ReleasePath" is stored, the folder it names is found and nothing beyond it is read.
TEST_F(Zsdk, ReleasePathIsReadWhateverItsTerminationOrType) {
    ASSERT_TRUE(CopyInto(release_.path(), L"Z.dll", L"Z.dll"));
    const std::string folder = Ansi(release_.path());
    const std::wstring wide = release_.path();
    SetEnvironmentVariableA("OV_ZSDK_RELEASE", folder.c_str());
    const std::string expandable = "%OV_ZSDK_RELEASE%";
    const std::string slashed = folder + "\\";
    struct Case {
        const char* name;
        bool wideValue;
        DWORD type;
        const void* data;
        DWORD size;
    } cases[] = {
        {"terminated", false, REG_SZ, folder.c_str(), static_cast<DWORD>(folder.size() + 1)},
        {"no terminator", false, REG_SZ, folder.data(), static_cast<DWORD>(folder.size())},
        // Wine adds the missing terminator to REG_SZ text; raw bytes come back as stored.
        {"bytes, no terminator", false, REG_BINARY, folder.data(), static_cast<DWORD>(folder.size())},
        {"trailing backslash", false, REG_SZ, slashed.c_str(), static_cast<DWORD>(slashed.size() + 1)},
        {"expandable", false, REG_EXPAND_SZ, expandable.c_str(), static_cast<DWORD>(expandable.size() + 1)},
        {"wide, odd size", true, REG_SZ, wide.c_str(), static_cast<DWORD>(wide.size() * 2 + 1)},
    };
    for (const Case& c : cases) {
        if (c.wideValue) {
            ovtest::SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zember", L"ReleasePath", L"");
            HKEY key = nullptr;
            ASSERT_EQ(ERROR_SUCCESS,
                      RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zember", 0, KEY_SET_VALUE, &key));
            RegSetValueExW(key, L"ReleasePath", 0, c.type, static_cast<const BYTE*>(c.data), c.size);
            RegCloseKey(key);
        } else {
            SetReleasePathRaw(c.type, c.data, c.size);
        }
        SoilHeap(c.size + 1);
        char buffer[32] = {};
        EXPECT_EQ(1, getCurrentVersion(buffer, sizeof(buffer))) << c.name;
        EXPECT_STREQ(kVersion, buffer) << c.name;
    }
    SetEnvironmentVariableA("OV_ZSDK_RELEASE", nullptr);
}

// The plug-ins report through "DllIsRegistered"; each query asks its own plug-in once, any
// non-zero report is true (exactly 1), and the plug-in is unloaded afterwards.
TEST_F(Zsdk, PluginReportsItsRegistration) {
    struct Plugin {
        const char* name;
        const wchar_t* file;
        const wchar_t* other;
        ZSDK_QueryFn Zsdk::*query;
    } plugins[] = {
        {"Outlook", L"ZAddIn.dll", L"ZOEHook.dll", &Zsdk::isOLPluginEnabled},
        {"Outlook Express", L"ZOEHook.dll", L"ZAddIn.dll", &Zsdk::isOEPluginEnabled},
    };
    struct State {
        const char* reported;  // null: not registered
        BOOLEAN expected;
    } states[] = {{nullptr, 0}, {"0", 0}, {"1", 1}, {"256", 1}};

    SetReleaseFolder(release_.path());
    PlaceAll(release_.path());
    for (const Plugin& p : plugins) {
        for (const State& s : states) {
            const std::wstring file = In(p.file);
            const std::wstring other = In(p.other);
            DeleteFileW((file + L".registered").c_str());
            DeleteFileW((file + L".calls").c_str());
            DeleteFileW((other + L".calls").c_str());
            if (s.reported) {
                ovtest::WriteFileBytes(file + L".registered", s.reported);
            }
            // The other plug-in says the opposite, so asking the wrong one shows.
            ovtest::WriteFileBytes(other + L".registered", s.expected ? "0" : "1");

            const std::string where =
                std::string(p.name) + ", reports " + (s.reported ? s.reported : "nothing");
            EXPECT_EQ(s.expected, (this->*p.query)()) << where;
            EXPECT_EQ("DllIsRegistered\r\n", ovtest::ReadFileBytes(file + L".calls")) << where;
            EXPECT_FALSE(ovtest::PathExists(other + L".calls")) << where;
            EXPECT_EQ(nullptr, GetModuleHandleW(file.c_str())) << where << ": still loaded";
        }
    }
}

TEST_F(Zsdk, MissingOrIncompletePluginCountsAsNotRegistered) {
    SetReleaseFolder(release_.path());
    EXPECT_EQ(0, isOLPluginEnabled()) << "no plug-in file";
    EXPECT_EQ(0, isOEPluginEnabled()) << "no plug-in file";
    EXPECT_EQ(1, enableOLPlugin(1)) << "no plug-in file";

    ASSERT_TRUE(CopyInto(release_.path(), L"noisreg\\ZAddIn.dll", L"ZAddIn.dll"));
    ovtest::WriteFileBytes(In(L"ZAddIn.dll.registered"), "1");
    EXPECT_EQ(0, isOLPluginEnabled()) << "without DllIsRegistered";
    // Never counted as registered: every enable installs, no disable uninstalls.
    EXPECT_EQ(1, enableOLPlugin(1));
    EXPECT_EQ(1, enableOLPlugin(1));
    EXPECT_EQ(1, enableOLPlugin(0));
    EXPECT_EQ("DllInstall 1 upgrade\r\nDllInstall 1 upgrade\r\n",
              ovtest::ReadFileBytes(In(L"ZAddIn.dll.calls")));
    EXPECT_EQ(nullptr, GetModuleHandleW(In(L"ZAddIn.dll").c_str())) << "still loaded";
}

TEST_F(Zsdk, EnableCallsDllInstallOnlyWhenTheStateChanges) {
    // Only the low byte of the argument counts: called through a 32-bit argument to show it.
    typedef BOOLEAN(__cdecl * EnableWideFn)(unsigned);
    struct Plugin {
        const char* name;
        const wchar_t* file;
        ZSDK_EnablePluginFn Zsdk::*enable;
    } plugins[] = {
        {"Outlook", L"ZAddIn.dll", &Zsdk::enableOLPlugin},
        {"Outlook Express", L"ZOEHook.dll", &Zsdk::enableOEPlugin},
    };
    struct Case {
        const char* name;
        const char* reported;  // before the call; null: not registered
        unsigned argument;
        const char* calls;
        bool registeredAfter;
    } cases[] = {
        {"enable unregistered", nullptr, 1, "DllIsRegistered\r\nDllInstall 1 upgrade\r\n", true},
        {"enable registered", "1", 1, "DllIsRegistered\r\n", true},
        {"disable registered", "1", 0, "DllIsRegistered\r\nDllInstall 0 upgrade\r\n", false},
        {"disable unregistered", nullptr, 0, "DllIsRegistered\r\n", false},
        {"enable, reported as 256", "256", 1, "DllIsRegistered\r\n", true},
        {"enable as 2, registered", "1", 2, "DllIsRegistered\r\n", true},
        {"0x100 is a disable", "1", 0x100, "DllIsRegistered\r\nDllInstall 0 upgrade\r\n", false},
        {"0x101 is an enable", nullptr, 0x101, "DllIsRegistered\r\nDllInstall 1 upgrade\r\n", true},
    };

    SetReleaseFolder(release_.path());
    PlaceAll(release_.path());
    for (const Plugin& p : plugins) {
        const std::wstring file = In(p.file);
        for (const Case& c : cases) {
            const std::string where = std::string(p.name) + ": " + c.name;
            DeleteFileW((file + L".registered").c_str());
            DeleteFileW((file + L".calls").c_str());
            if (c.reported) {
                ovtest::WriteFileBytes(file + L".registered", c.reported);
            }

            EnableWideFn enable = reinterpret_cast<EnableWideFn>(reinterpret_cast<void*>(this->*p.enable));
            EXPECT_EQ(1, enable(c.argument)) << where;
            EXPECT_EQ(c.calls, ovtest::ReadFileBytes(file + L".calls")) << where;
            EXPECT_EQ(c.registeredAfter, ovtest::PathExists(file + L".registered") &&
                                             ovtest::ReadFileBytes(file + L".registered") != "0")
                << where;
            EXPECT_EQ(nullptr, GetModuleHandleW(file.c_str())) << where << ": still loaded";
        }
    }
}

TEST_F(Zsdk, UpdaterStartsInReleaseFolderAndIsNotWaitedFor) {
    ASSERT_TRUE(CopyInto(release_.path(), L"Z-Update.exe", L"Z-Update.exe"));
    SetReleaseFolder(release_.path());
    // The updater stays running while this file exists.
    ASSERT_TRUE(ovtest::WriteFileBytes(In(L"Z-Update.hold"), ""));

    EXPECT_EQ(1, checkForUpdate());
    ASSERT_TRUE(WaitForFile(In(L"Z-Update.record"), 30000)) << "the updater did not start";
    const std::string record = ovtest::ReadFileBytes(In(L"Z-Update.record"));
    const std::string expected =
        "command line: Z-Update.exe /c\r\nfolder: " + Ansi(release_.path()) + "\r\nprocess: ";
    ASSERT_EQ(0, _strnicmp(expected.c_str(), record.c_str(), expected.size())) << record;

    // Still held: the call came back while the updater ran.
    DWORD pid = strtoul(record.c_str() + expected.size(), nullptr, 10);
    HANDLE updater = OpenProcess(SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(nullptr, updater) << "the updater had already ended: " << record;
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(updater, 0));
    DeleteFileW(In(L"Z-Update.hold").c_str());
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(updater, 30000));
    CloseHandle(updater);
}

// No usable release folder: every query is false and every command does nothing and is true.
// The current folder holds a full set of registered stand-ins, so a bare file name handed to
// the loader or to CreateProcess would find them.
TEST_F(Zsdk, WithoutUsableReleaseFolderNothingIsTouched) {
    ovtest::ScratchDir bait;
    PlaceAll(bait.path());
    const std::wstring tooLong = MakeFolderOfLength(release_ / L"long", 300);
    PlaceAll(tooLong);
    // Z.dll itself does not fit below this one, though the folder does.
    const std::wstring justTooLong = MakeFolderOfLength(release_ / L"edge", MAX_PATH - 1 - 5);
    PlaceAll(justTooLong);

    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(bait.path().c_str());

    struct Case {
        const char* name;
        std::string value;  // with its terminator; "-": no value
    } cases[] = {
        {"no value", "-"},
        {"empty text", std::string(1, '\0')},
        {"folder of 300 chars", Ansi(tooLong) + '\0'},
        {"folder\\Z.dll of 260 chars", Ansi(justTooLong) + '\0'},
    };
    for (const Case& c : cases) {
        ClearReleasePath();
        if (c.value != "-") {
            SetReleasePathRaw(REG_SZ, c.value.data(), static_cast<DWORD>(c.value.size()));
        }
        char buffer[32];
        memset(buffer, 0x7f, sizeof(buffer));
        EXPECT_EQ(0, getCurrentVersion(buffer, sizeof(buffer))) << c.name;
        for (char b : buffer) {
            ASSERT_EQ(0x7f, b) << c.name;
        }
        EXPECT_EQ(0, isOLPluginEnabled()) << c.name;
        EXPECT_EQ(0, isOEPluginEnabled()) << c.name;
        EXPECT_EQ(1, enableOLPlugin(0)) << c.name;
        EXPECT_EQ(1, enableOEPlugin(0)) << c.name;
        EXPECT_EQ(1, checkForUpdate()) << c.name;
    }
    SetCurrentDirectoryW(previous);

    // Give a wrongly started updater time to write its record.
    Sleep(2000);
    for (const std::wstring& folder : {bait.path(), tooLong, justTooLong}) {
        for (const wchar_t* name : {L"ZAddIn.dll.calls", L"ZOEHook.dll.calls", L"Z-Update.record"}) {
            EXPECT_FALSE(ovtest::PathExists(L"\\\\?\\" + folder + L"\\" + name))
                << ovtest::Narrow(name) << " in " << ovtest::Narrow(folder);
        }
    }
}

// The longest release folder that still fits: Z.dll below it is exactly MAX_PATH - 1 chars.
TEST_F(Zsdk, ReleaseFolderAtTheLengthLimitWorks) {
    const std::wstring folder = MakeFolderOfLength(release_.path(), MAX_PATH - 1 - 6);
    ASSERT_TRUE(CopyInto(folder, L"Z.dll", L"Z.dll"));
    SetReleaseFolder(folder);
    char buffer[32] = {};
    EXPECT_EQ(1, getCurrentVersion(buffer, sizeof(buffer)));
    EXPECT_STREQ(kVersion, buffer);
}

}  // namespace
