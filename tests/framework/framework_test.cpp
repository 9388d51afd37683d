// The framework wrapper against our framework library: binding and its failures, the calls the
// engine makes, the dialog templates the engine's procedures address, and the product library.
#include <gtest/gtest.h>

#include <initializer_list>
#include <thread>

#include "log/logger.h"
#include "support/test_support.h"
#include "ui/framework.h"
#include "ui/framework_abi.h"
#include "ui/resource_string.h"

using ovtest::BinDir;
using ovtest::Narrow;

namespace {

std::wstring FixtureDir() {
    return BinDir() + L"\\fw_fixture";
}

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[1100] = {};
    GetDlgItemTextW(dialog, id, text, 1100);
    return text;
}

std::wstring FrameworkText(unsigned id) {
    wchar_t text[256] = {};
    Framework::Get().LoadString(0, id, text, 256);
    return text;
}

INT_PTR CALLBACK IdleProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// Logs to a scratch file at level 3 and shows nothing, so failures are read back, not clicked away.
class FrameworkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        logPath_ = scratch_ / L"log.txt";
        Logger::Get().SetLogLevel(3);
        Logger::Get().SetDisplayLevel(0);
        Logger::Get().Open(logPath_.c_str(), true);
        Framework::Get().Unload();
    }
    void TearDown() override { Framework::Get().Unload(); }

    std::string LogText() const { return ovtest::ReadFileBytes(logPath_); }

    ovtest::ScratchDir scratch_;
    std::wstring logPath_;
};

bool StringLibraryHas(const std::wstring& path, std::initializer_list<unsigned> ids) {
    HMODULE library = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    bool all = library != nullptr;
    for (unsigned id : ids) {
        wchar_t text[16];
        all = all && LoadStringW(library, id, text, 16) > 0;
    }
    if (library != nullptr) {
        FreeLibrary(library);
    }
    return all;
}

TEST_F(FrameworkTest, LoadsBesideTheProgramAndServesTheSuiteTexts) {
    int result = Framework::Get().Load();
    if (!StringLibraryHas(BinDir() + L"\\kestrares.dll", {22000, 20160})) {
        // Found beside the program, refused for want of texts.
        EXPECT_EQ(9004, result) << "kestrares.dll lacks the strings 22000 and 20160";
        return;
    }
    ASSERT_EQ(0, result);
    EXPECT_TRUE(Framework::Get().IsReady());
    EXPECT_EQ(L"Tarnel Internet Security Suite", FrameworkText(22006));
    EXPECT_NE(L"", FrameworkText(22000));
    EXPECT_NE(L"", FrameworkText(20160));

    Framework::Get().Unload();
    EXPECT_FALSE(Framework::Get().IsReady());
    EXPECT_EQ(nullptr, GetModuleHandleW(L"kestrafrm.dll"));
}

TEST_F(FrameworkTest, ProductLibraryTextsComeBeforeTheStringLibrary) {
    ASSERT_EQ(0, Framework::Get().LoadFrom(FixtureDir().c_str()));
    struct Case {
        const char* name;
        unsigned id;
        int chars;
        const wchar_t* text;
    } cases[] = {
        {"in both libraries", 22006, 256, L"Fixture \"Quoted\" Product"},
        {"string library only", 22000, 256, L"Fixture string 22000"},
        {"product library only", 20144, 256, L"Fixture Group"},
        {"cut to the buffer", 22000, 8, L"Fixture"},
        {"in neither", 22013, 256, L""},
    };
    for (const Case& c : cases) {
        wchar_t buffer[256];
        wmemset(buffer, L'#', 256);
        int length = Framework::Get().LoadString(0, c.id, buffer, c.chars);
        EXPECT_EQ(std::wstring(c.text), buffer) << c.name;
        EXPECT_EQ(lstrlenW(c.text), length) << c.name;
    }
}

TEST_F(FrameworkTest, WhileReadyItIsTheStringSourceAndTheLogsMessageBox) {
    auto caption = [](wchar_t* buffer, size_t chars) {
        return lstrcpynW(buffer, L"caption", static_cast<int>(chars)) != nullptr;
    };
    LoggerHooks before = {};
    before.productCaption = caption;
    Logger::Get().SetHooks(before);

    ASSERT_EQ(0, Framework::Get().LoadFrom(FixtureDir().c_str()));
    wchar_t text[256] = {};
    LoadResourceString(nullptr, 22006, text, 256);
    EXPECT_EQ(std::wstring(L"Fixture \"Quoted\" Product"), text) << "the framework is asked first";
    EXPECT_NE(nullptr, Logger::Get().GetHooks().frameworkShowMessage);
    EXPECT_EQ(before.productCaption, Logger::Get().GetHooks().productCaption);

    Framework::Get().Unload();
    LoadResourceString(nullptr, 22006, text, 256);
    EXPECT_NE(std::wstring(L"Fixture \"Quoted\" Product"), text) << "no longer asked after Unload";
    EXPECT_EQ(nullptr, Logger::Get().GetHooks().frameworkShowMessage);
    EXPECT_EQ(before.productCaption, Logger::Get().GetHooks().productCaption);
    Logger::Get().SetHooks(LoggerHooks{});
}

TEST_F(FrameworkTest, BindingFailuresLeaveNothingLoaded) {
    ovtest::ScratchDir empty;
    ovtest::ScratchDir alone;  // the framework without product and string libraries
    ASSERT_TRUE(
        CopyFileW((BinDir() + L"\\kestrafrm.dll").c_str(), (alone / L"kestrafrm.dll").c_str(), FALSE));
    struct Case {
        const char* name;
        std::wstring directory;
        int result;
        const char* logged;  // the 25006 line's value, or null for no such line
    } cases[] = {
        {"library missing", empty.path(), 9003, "= 126"},
        {"ordinal 15 missing", BinDir() + L"\\fw_broken", 9003, "= 127"},
        {"strings missing", alone.path(), 9004, nullptr},
    };
    for (const Case& c : cases) {
        Logger::Get().Open(logPath_.c_str(), true);
        EXPECT_EQ(c.result, Framework::Get().LoadFrom(c.directory.c_str())) << c.name;
        EXPECT_FALSE(Framework::Get().IsReady()) << c.name;
        EXPECT_EQ(nullptr, GetModuleHandleW(L"kestrafrm.dll")) << c.name;
        std::string log = LogText();
        size_t line = log.find("(25006)");
        if (c.logged == nullptr) {
            EXPECT_EQ(std::string::npos, line) << c.name << "\n" << log;
        } else {
            ASSERT_NE(std::string::npos, line) << c.name << "\n" << log;
            EXPECT_NE(std::string::npos, log.find(c.logged, line)) << c.name << "\n" << log;
        }
    }
}

TEST_F(FrameworkTest, BeforeReadyEveryCallRefuses) {
    wchar_t buffer[16] = L"left over";
    EXPECT_EQ(0, Framework::Get().LoadString(0, 22006, buffer, 16));
    EXPECT_EQ(L'\0', buffer[0]);
    EXPECT_EQ(-1, Framework::Get().ShowFolderPicker(nullptr, buffer, 16, L"title"));
    EXPECT_EQ(-1, Framework::Get().DialogBox(0, 230, nullptr, IdleProc, 0, 10));
    EXPECT_EQ(nullptr, Framework::Get().CreateDialog(0, 231, nullptr, IdleProc, 0, 10));
    EXPECT_EQ(-1, Framework::Get().ShowMessage(nullptr, L"text", L"caption", MB_OK, 0));
    EXPECT_EQ(-1, Framework::Get().ShowMessageId(0, nullptr, 24007, 20058, 0, 0));
}

TEST_F(FrameworkTest, MessageBoxesReturnTheAnswer) {
    ASSERT_EQ(0, Framework::Get().LoadFrom(FixtureDir().c_str()));
    struct Case {
        const char* name;
        int press;
        bool byId;  // the restart question (ordinal 4) rather than a plain box (ordinal 3)
        unsigned messageId;
        int result;
        const wchar_t* caption;
        const wchar_t* text;
    } cases[] = {
        {"restart after install, yes", IDYES, true, 24007, 1, L"Fixture Restart",
         L"Restart after the fixture install?"},
        {"restart after uninstall, no", IDNO, true, 24008, 0, L"Fixture Restart",
         L"Restart after the fixture uninstall?"},
        {"plain box, yes/no", IDNO, false, 0, IDNO, L"Box caption", L"Box text"},
        {"plain box, ok", IDOK, false, 0, IDOK, L"Box caption", L"Box text"},
    };
    for (const Case& c : cases) {
        ovtest::DialogAnswerer answerer(c.press);
        int result = c.byId ? Framework::Get().ShowMessageId(0, nullptr, c.messageId, 20058, 0, 0)
                            : Framework::Get().ShowMessage(nullptr, c.text, c.caption,
                                                           c.press == IDOK ? MB_OK : MB_YESNO, 0);
        EXPECT_EQ(c.result, result) << c.name;
        ASSERT_EQ(1, answerer.answered()) << c.name;
        EXPECT_EQ(c.caption, answerer.captions()[0]) << c.name;
        EXPECT_NE(std::wstring::npos, answerer.texts()[0].find(c.text))
            << c.name << ": " << Narrow(answerer.texts()[0]);
    }
}

TEST_F(FrameworkTest, RestartQuestionWithoutTextIsNotAsked) {
    ASSERT_EQ(0, Framework::Get().LoadFrom(FixtureDir().c_str()));
    ovtest::DialogAnswerer answerer(IDYES);
    EXPECT_EQ(0, Framework::Get().ShowMessageId(0, nullptr, 24999, 20058, 0, 0));
    EXPECT_EQ(0, answerer.answered());
}

// The destination dialog as the engine's procedure would handle it: OK ends with 1 after reading
// the path field, Cancel with 0.
std::wstring chosenPath;
INT_PTR CALLBACK DestinationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        chosenPath = ItemText(dialog, 1292);
        EndDialog(dialog, LOWORD(wParam) == IDOK ? 1 : 0);
        return TRUE;
    }
    return FALSE;
}

TEST_F(FrameworkTest, ModalDialogReturnsWhatTheProcedureEndsWith) {
    ASSERT_EQ(0, Framework::Get().LoadFrom(FixtureDir().c_str()));
    struct Case {
        const char* name;
        int press;
        INT_PTR result;
    } cases[] = {{"OK", IDOK, 1}, {"Cancel", IDCANCEL, 0}};
    for (const Case& c : cases) {
        chosenPath.clear();
        std::thread user([&c] {
            HWND dialog = ovtest::WaitForWindow(L"Choose Destination Folder");
            if (dialog != nullptr) {
                SetDlgItemTextW(dialog, 1292, L"C:\\Chosen Folder");
                ovtest::PressButton(dialog, c.press);
            }
        });
        INT_PTR result = Framework::Get().DialogBox(0, 230, nullptr, DestinationProc, 0, 10);
        user.join();
        EXPECT_EQ(c.result, result) << c.name;
        EXPECT_EQ(L"C:\\Chosen Folder", chosenPath) << c.name;
    }
    EXPECT_EQ(-1, Framework::Get().DialogBox(0, 999, nullptr, DestinationProc, 0, 10)) << "no such template";
}

TEST_F(FrameworkTest, TemplatesHoldTheItemsTheEngineAddresses) {
    LoadLibraryW(L"riched20.dll");  // the engine loads it before showing the agreement
    ASSERT_EQ(0, Framework::Get().LoadFrom(FixtureDir().c_str()));
    const wchar_t* text = KESTRA_TEXT_CLASS;
    const wchar_t* button = L"Button";
    struct Item {
        int id;
        const wchar_t* windowClass;
    };
    struct Case {
        int dialog;
        std::vector<Item> items;
    } cases[] = {
        {228, {{1036, L"RichEdit20W"}, {1288, text}, {1451, button}, {2, button}}},
        {230, {{1292, L"Edit"}, {1293, text}, {1030, button}, {1087, text}, {1, button}, {2, button}}},
        {231, {{1316, L"msctls_progress32"}, {1144, L"Static"}}},
        {283, {{1446, text}, {1087, text}, {2, button}}},
        {284, {{1446, text}, {1087, text}, {2, button}}},
        {350,
         {{1650, text},
          {1651, text},
          {1652, button},
          {1653, button},
          {1654, button},
          {1655, button},
          {1656, button},
          {1657, button},
          {1658, button},
          {1659, button},
          {1, button},
          {2, button}}},
        {351,
         {{1455, text}, {1087, text}, {1088, text}, {1089, text}, {1091, text}, {1, button}, {2, button}}},
    };
    for (const Case& c : cases) {
        HWND dialog = Framework::Get().CreateDialog(0, c.dialog, nullptr, IdleProc, 0, 10);
        ASSERT_NE(nullptr, dialog) << "dialog " << c.dialog;
        wchar_t caption[128] = {};
        GetWindowTextW(dialog, caption, 128);
        EXPECT_NE(L'\0', caption[0]) << "dialog " << c.dialog << " has a caption";
        for (const Item& item : c.items) {
            HWND control = GetDlgItem(dialog, item.id);
            wchar_t windowClass[64] = {};
            GetClassNameW(control, windowClass, 64);
            EXPECT_EQ(0, lstrcmpiW(item.windowClass, windowClass))
                << "dialog " << c.dialog << " item " << item.id << " is " << Narrow(windowClass);
        }
        DestroyWindow(dialog);
    }
}

RECT ItemRect(HWND dialog, int id) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The component dialog is shortened below the last box in use, moving the note and the buttons up
// by the space of the unused boxes: that needs evenly stacked boxes with everything else above or
// below them.
TEST_F(FrameworkTest, ComponentBoxesAreStackedForShortening) {
    ASSERT_EQ(0, Framework::Get().LoadFrom(FixtureDir().c_str()));
    HWND dialog = Framework::Get().CreateDialog(0, 350, nullptr, IdleProc, 0, 10);
    ASSERT_NE(nullptr, dialog);
    RECT first = ItemRect(dialog, 1652);
    RECT second = ItemRect(dialog, 1653);
    int pitch = second.top - first.top;
    EXPECT_GT(pitch, first.bottom - first.top - 1) << "boxes do not overlap";
    for (int id = 1653; id <= 1659; ++id) {
        RECT box = ItemRect(dialog, id);
        EXPECT_EQ(first.left, box.left) << id;
        EXPECT_EQ(first.top + (id - 1652) * pitch, box.top) << id;
    }
    RECT text = ItemRect(dialog, 1650);
    EXPECT_LE(text.bottom, first.top);
    int last = ItemRect(dialog, 1659).bottom;
    for (int id : {1651, 1, 2}) {
        RECT below = ItemRect(dialog, id);
        EXPECT_GE(below.top, last) << id;
        // With one box in use everything moves up by seven pitches and must stay clear of it.
        EXPECT_GE(below.top - 7 * pitch, first.bottom) << id;
    }
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_GE(client.bottom, ItemRect(dialog, 1).bottom);
    DestroyWindow(dialog);
}

LONG FontWeight(HWND item, LONG* height) {
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(item, WM_GETFONT, 0, 0)), sizeof(font), &font);
    *height = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
    return font.lfWeight;
}

TEST_F(FrameworkTest, TextItemsTakeStylesAndLinks) {
    ASSERT_EQ(0, Framework::Get().LoadFrom(FixtureDir().c_str()));
    HWND dialog = Framework::Get().CreateDialog(0, 283, nullptr, IdleProc, 0, 10);
    ASSERT_NE(nullptr, dialog);
    HWND text = GetDlgItem(dialog, 1087);
    LONG normalHeight = 0;
    ASSERT_EQ(TRUE, SendMessageW(text, kFrameworkSetTextStyle, 0, kTextStyleNormal));
    EXPECT_LT(FontWeight(text, &normalHeight), FW_BOLD);
    struct Case {
        const char* name;
        LPARAM style;
        LRESULT accepted;
        bool bold;
        bool larger;
    } cases[] = {
        {"title", 8, TRUE, true, false},
        {"emphasis", 24, TRUE, true, true},
        {"unknown style keeps the last", 5, FALSE, true, true},
        {"normal", 16, TRUE, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.accepted, SendMessageW(text, kFrameworkSetTextStyle, 0, c.style)) << c.name;
        LONG height = 0;
        LONG weight = FontWeight(text, &height);
        EXPECT_EQ(c.bold, weight >= FW_BOLD) << c.name;
        EXPECT_EQ(c.larger, height > normalHeight) << c.name;
    }
    SetDlgItemTextW(dialog, 1087, L"A text set by the engine");
    EXPECT_EQ(L"A text set by the engine", ItemText(dialog, 1087));

    const wchar_t* address = L"http://download.example.com/winsock2/";
    HWND link = GetDlgItem(dialog, 1446);
    EXPECT_EQ(TRUE, SendMessageW(link, kFrameworkSetLink, 0, reinterpret_cast<LPARAM>(address)));
    EXPECT_EQ(address, ItemText(dialog, 1446)) << "the link shows its address";
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_TRUE(font.lfUnderline);
    std::wstring tooLong(kFrameworkLinkChars, L'a');
    EXPECT_EQ(FALSE, SendMessageW(link, kFrameworkSetLink, 0, reinterpret_cast<LPARAM>(tooLong.c_str())));
    EXPECT_EQ(address, ItemText(dialog, 1446)) << "a link that does not fit is refused whole";
    DestroyWindow(dialog);
}

TEST_F(FrameworkTest, FolderPickerReturnsTheChosenFolder) {
    ASSERT_EQ(0, Framework::Get().LoadFrom(FixtureDir().c_str()));
    // Wine's picker finds folders below a drive but not inside the user's profile, where the
    // temporary folder lies.
    wchar_t start[MAX_PATH];
    wsprintfW(start, L"C:\\ovtest-picker-%lu", GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(start, nullptr));
    struct Case {
        const char* name;
        int press;
        int result;
    } cases[] = {{"chosen", IDOK, 0}, {"cancelled", IDCANCEL, 1}};
    for (const Case& c : cases) {
        wchar_t buffer[MAX_PATH];
        lstrcpynW(buffer, start, MAX_PATH);
        std::thread user([&c] {
            HWND picker = ovtest::WaitForWindow(L"Browse for Folder");
            if (picker != nullptr) {
                Sleep(200);  // let it select the start folder
                ovtest::PressButton(picker, c.press);
            }
        });
        int result = Framework::Get().ShowFolderPicker(nullptr, buffer, MAX_PATH, L"Pick a folder");
        user.join();
        EXPECT_EQ(c.result, result) << c.name;
        EXPECT_EQ(0, lstrcmpiW(start, buffer)) << c.name << ": " << Narrow(buffer);
    }
    RemoveDirectoryW(start);
}

// The product resource libraries made by ov_add_product_library.
TEST(ProductLibrary, HoldsNameCodeNamesAndVersion) {
    struct Case {
        const char* name;
        std::wstring path;
        unsigned id;
        const wchar_t* text;
    } cases[] = {
        {"suite name", BinDir() + L"\\ovavprod.dll", 22006, L"Tarnel Internet Security Suite"},
        {"suite code", BinDir() + L"\\ovavprod.dll", 22237, L"140"},
        {"suite group", BinDir() + L"\\ovavprod.dll", 20144, L"Tarnel Internet Security Suite"},
        {"suite folder", BinDir() + L"\\ovavprod.dll", 22013, L"Tarnel\\Internet Security Suite"},
        {"quoted name", FixtureDir() + L"\\ovavprod.dll", 22006, L"Fixture \"Quoted\" Product"},
        {"no folder given", FixtureDir() + L"\\ovavprod.dll", 22013, L""},
    };
    for (const Case& c : cases) {
        HMODULE library = LoadLibraryExW(c.path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, library) << c.name;
        wchar_t text[256] = {};
        LoadStringW(library, c.id, text, 256);
        EXPECT_EQ(std::wstring(c.text), text) << c.name;
        FreeLibrary(library);
    }

    struct Version {
        std::wstring path;
        const wchar_t* text;
        DWORD high, low;
    } versions[] = {
        {BinDir() + L"\\ovavprod.dll", L"7.0.0.512", MAKELONG(0, 7), MAKELONG(512, 0)},
        {FixtureDir() + L"\\ovavprod.dll", L"1.2.3.4", MAKELONG(2, 1), MAKELONG(4, 3)},
    };
    for (const Version& v : versions) {
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeW(v.path.c_str(), &handle);
        ASSERT_GT(size, 0u) << Narrow(v.path);
        std::vector<char> data(size);
        ASSERT_TRUE(GetFileVersionInfoW(v.path.c_str(), 0, size, data.data()));
        wchar_t* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904b0\\ProductVersion",
                                   reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(std::wstring(v.text), value);
        VS_FIXEDFILEINFO* fixed = nullptr;
        ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(v.high, fixed->dwProductVersionMS) << Narrow(v.text);
        EXPECT_EQ(v.low, fixed->dwProductVersionLS) << Narrow(v.text);
    }
}

}  // namespace
