// The destination dialog as a person meets it: the role asks on its worker thread, this thread
// finds the dialog on screen, reads it, types into the path field, browses and presses buttons.
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
// clang-format on

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "components/product_main.h"
#include "destination_fixture.h"
#include "log/logger.h"
#include "setup/destination.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "support/log_capture.h"
#include "support/test_support.h"
#include "ui/framework.h"

using destinationtest::kInstalledSuite;
using destinationtest::kSuiteName;
using destinationtest::RegisterSuite;
using ovtest::Narrow;

namespace {

const wchar_t kTitle[] = L"Choose Destination Folder";
const wchar_t kBoxTitle[] = L"Tarnel Internet Security Suite";  // the log's boxes
const int kPathItem = 1292;
const int kExplanationItem = 1293;
const int kBrowseItem = 1030;

std::wstring Text(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

BOOL CALLBACK JoinStatics(HWND child, LPARAM param) {
    wchar_t kind[32] = {};
    GetClassNameW(child, kind, 32);
    std::wstring text = Text(child);
    if (lstrcmpiW(kind, L"Static") == 0 && !text.empty()) {
        std::wstring* all = reinterpret_cast<std::wstring*>(param);
        *all += (all->empty() ? L"" : L"\n") + text;
    }
    return TRUE;
}

std::wstring StaticTexts(HWND window) {
    std::wstring all;
    EnumChildWindows(window, JoinStatics, reinterpret_cast<LPARAM>(&all));
    return all;
}

// What the person sees.
struct View {
    std::wstring path;
    std::wstring explanation;
    std::wstring okText;
    bool readOnly = false;
    bool browseEnabled = false;
};

View Look(HWND dialog) {
    View view;
    HWND path = GetDlgItem(dialog, kPathItem);
    view.path = Text(path);
    view.explanation = Text(GetDlgItem(dialog, kExplanationItem));
    view.okText = Text(GetDlgItem(dialog, IDOK));
    view.readOnly = (GetWindowLongW(path, GWL_STYLE) & ES_READONLY) != 0;
    view.browseEnabled = IsWindowEnabled(GetDlgItem(dialog, kBrowseItem)) != FALSE;
    return view;
}

void Type(HWND dialog, const std::wstring& text) {
    SetDlgItemTextW(dialog, kPathItem, text.c_str());
}

void WaitGone(HWND window) {
    for (int i = 0; i < 250 && IsWindow(window); ++i) {
        Sleep(20);
    }
}

struct Session {
    bool shown = false;
    View first;
    int result = -12345;
};

// Asks as the install role does; `act` is the person, who must end the dialog. A dialog still open
// a while after `act` is cancelled, so a fault cannot hang the run.
Session Ask(DestinationChoice& choice, const std::function<void(HWND)>& act) {
    Session session;
    std::atomic<bool> returned(false);
    std::thread role([&] {
        session.result = choice.Ask(nullptr);
        returned = true;
    });
    HWND dialog = nullptr;
    while (!returned && dialog == nullptr) {
        dialog = ovtest::WaitForWindow(kTitle, 50);
    }
    if (dialog != nullptr) {
        session.shown = true;
        session.first = Look(dialog);
        act(dialog);
        for (int i = 0; i < 500 && !returned; ++i) {
            Sleep(20);
        }
        if (!returned) {
            ADD_FAILURE() << "the dialog stayed open";
            ovtest::PressButton(dialog, IDCANCEL);
        }
    }
    role.join();
    return session;
}

class DestinationDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetupOptions::Get().Reset();
        ProductMain::Get().SetShellNeeded(1);
        ASSERT_EQ(0, Framework::Get().Load());
        Logger::Get().SetDisplayLevel(2);
    }
    void TearDown() override {
        Framework::Get().Unload();
        ProductMain::Get().SetShellNeeded(0);
        SetupOptions::Get().Reset();
        Logger::Get().SetDisplayLevel(0);
    }

    // The machine's own registry: the folder picker needs the shell's registrations.
    destinationtest::ProgramFiles programFiles_;
    ovtest::LogCapture log_;
};

// The person replaces the proposal and confirms; the OK button says "Install" when only
// components are installed, without the suite shell.
TEST_F(DestinationDialogTest, TypedFolderBecomesTheDestination) {
    struct Case {
        const char* name;
        int shellNeeded;
        const wchar_t* typed;
        const wchar_t* destination;
        const wchar_t* okText;
    } cases[] = {
        {"suite", 1, L"C:\\Tarnel Chosen", L"C:\\Tarnel Chosen", L"&Next >"},
        {"components only", 0, L"C:\\Tarnel Chosen", L"C:\\Tarnel Chosen", L"Install"},
        {"quoted, trailing backslash", 1, L"\"C:\\Tarnel Chosen\\\"  ", L"C:\\Tarnel Chosen", L"&Next >"},
        {"the proposal kept", 1, nullptr, nullptr, L"&Next >"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupOptions::Get().Reset();
        ProductMain::Get().SetShellNeeded(c.shellNeeded);
        DestinationChoice choice;
        ASSERT_EQ(0, choice.Prepare());
        Session session = Ask(choice, [&c](HWND dialog) {
            if (c.typed != nullptr) {
                Type(dialog, c.typed);
            }
            ovtest::PressButton(dialog, IDOK);
        });
        ASSERT_TRUE(session.shown);
        EXPECT_EQ(programFiles_.Proposal(), session.first.path);
        EXPECT_EQ(c.okText, session.first.okText);
        EXPECT_FALSE(session.first.readOnly);
        EXPECT_TRUE(session.first.browseEnabled);
        EXPECT_EQ(0, session.result);
        std::wstring expected = c.destination != nullptr ? c.destination : programFiles_.Proposal();
        EXPECT_EQ(expected, SetupOptions::Get().destinationText());
        EXPECT_EQ(expected, choice.chosenFolder);
    }
}

// One error box per refused folder; the dialog stays until an acceptable one is confirmed.
TEST_F(DestinationDialogTest, RefusedFolderIsExplainedAndAskedAgain) {
    DestinationChoice choice;
    ASSERT_EQ(0, choice.Prepare());
    std::wstring boxText;
    bool openAfterBox = false;
    bool secondBox = true;
    std::wstring destinationMeanwhile = L"<unread>";
    Session session = Ask(choice, [&](HWND dialog) {
        Type(dialog, L"C:\\");
        ovtest::PressButton(dialog, IDOK);
        HWND box = ovtest::WaitForWindow(kBoxTitle, 10000);
        ASSERT_NE(nullptr, box);
        for (int i = 0; i < 250 && boxText.empty(); ++i) {
            Sleep(20);
            boxText = StaticTexts(box);
        }
        ovtest::PressButton(box, IDOK);
        WaitGone(box);
        secondBox = ovtest::WaitForWindow(kBoxTitle, 500) != nullptr;
        openAfterBox = IsWindowVisible(dialog) != FALSE;
        destinationMeanwhile = SetupOptions::Get().destinationText();
        Type(dialog, L"C:\\Tarnel Second Try");
        ovtest::PressButton(dialog, IDOK);
    });
    ASSERT_TRUE(session.shown);
    EXPECT_NE(std::wstring::npos,
              boxText.find(L"This destination folder cannot be used: C:\\\r\n\r\nChoose a folder"))
        << Narrow(boxText);
    EXPECT_FALSE(secondBox);
    EXPECT_TRUE(openAfterBox);
    EXPECT_EQ(L"", destinationMeanwhile);
    EXPECT_EQ(0, session.result);
    EXPECT_EQ(L"C:\\Tarnel Second Try", std::wstring(SetupOptions::Get().destinationText()));
}

TEST_F(DestinationDialogTest, CancelEndsTheRun) {
    DestinationChoice choice;
    ASSERT_EQ(0, choice.Prepare());
    Session session = Ask(choice, [](HWND dialog) {
        Type(dialog, L"C:\\Tarnel Not Taken");
        ovtest::PressButton(dialog, IDCANCEL);
    });
    ASSERT_TRUE(session.shown);
    EXPECT_EQ(ErrorCancelled, session.result);
    EXPECT_EQ(L"", std::wstring(SetupOptions::Get().destinationText()));
    EXPECT_EQ(programFiles_.Proposal(), choice.chosenFolder);
}

// A top-level dialog of this process other than `except` (the folder picker is one).
struct OtherDialog {
    HWND except;
    HWND found;
};

BOOL CALLBACK FindOtherDialog(HWND window, LPARAM param) {
    OtherDialog* search = reinterpret_cast<OtherDialog*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t kind[32] = {};
    GetClassNameW(window, kind, 32);
    if (process == GetCurrentProcessId() && window != search->except && IsWindowVisible(window) &&
        lstrcmpW(kind, L"#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForPicker(HWND dialog) {
    for (int i = 0; i < 500; ++i) {
        OtherDialog search = {dialog, nullptr};
        EnumWindows(FindOtherDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            return search.found;
        }
        Sleep(20);
    }
    return nullptr;
}

std::wstring SelectedTreeItem(HWND picker) {
    HWND tree = FindWindowExW(picker, nullptr, WC_TREEVIEWW, nullptr);
    wchar_t text[MAX_PATH] = {};
    TVITEMW item = {};
    item.mask = TVIF_TEXT;
    item.hItem = TreeView_GetSelection(tree);
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    if (tree == nullptr || item.hItem == nullptr || !TreeView_GetItem(tree, &item)) {
        return L"";
    }
    return text;
}

// Selects `folder` in the picker's tree, as clicking it would, and waits until the tree shows it
// selected (the shell may still be filling the tree when the picker appears).
bool SelectInPicker(HWND picker, const std::wstring& folder) {
    const std::wstring name = folder.substr(folder.rfind(L'\\') + 1);
    for (int i = 0; i < 50; ++i) {
        SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
        if (lstrcmpiW(SelectedTreeItem(picker).c_str(), name.c_str()) == 0) {
            return true;
        }
        Sleep(100);
    }
    return false;
}

// The system's folder picker, titled with the question, puts the folder chosen in it into the
// field; cancelled, it leaves the field alone.
TEST_F(DestinationDialogTest, BrowseFillsTheField) {
    ovtest::ScratchDir folder;
    DestinationChoice choice;
    ASSERT_EQ(0, choice.Prepare());
    struct Seen {
        std::wstring pickerTexts;
        std::wstring afterChoice;
        std::wstring afterCancel;
    } seen;
    Session session = Ask(choice, [&](HWND dialog) {
        ovtest::PressButton(dialog, kBrowseItem);
        HWND picker = WaitForPicker(dialog);
        ASSERT_NE(nullptr, picker) << "no folder picker";
        seen.pickerTexts = StaticTexts(picker);
        EXPECT_TRUE(SelectInPicker(picker, folder.path()));
        ovtest::PressButton(picker, IDOK);
        WaitGone(picker);
        seen.afterChoice = Text(GetDlgItem(dialog, kPathItem));

        ovtest::PressButton(dialog, kBrowseItem);
        picker = WaitForPicker(dialog);
        ASSERT_NE(nullptr, picker) << "no folder picker the second time";
        Type(dialog, L"C:\\Tarnel Typed");
        ovtest::PressButton(picker, IDCANCEL);
        WaitGone(picker);
        seen.afterCancel = Text(GetDlgItem(dialog, kPathItem));
        ovtest::PressButton(dialog, IDOK);
    });
    ASSERT_TRUE(session.shown);
    EXPECT_NE(std::wstring::npos,
              seen.pickerTexts.find(L"Choose the folder in which to install the program."))
        << Narrow(seen.pickerTexts);
    EXPECT_EQ(0, lstrcmpiW(folder.path().c_str(), seen.afterChoice.c_str()))
        << Narrow(folder.path()) << " / " << Narrow(seen.afterChoice);
    EXPECT_EQ(L"C:\\Tarnel Typed", seen.afterCancel);
    EXPECT_EQ(0, session.result);
    EXPECT_EQ(L"C:\\Tarnel Typed", std::wstring(SetupOptions::Get().destinationText()));
}

// An installed suite of the package's edition is updated where it is: its folder is shown and
// cannot be changed, and a folder from the command line does not move it.
TEST_F(DestinationDialogTest, InstalledSuiteFixesTheFolder) {
    ovtest::RegistryOverride registry;
    programFiles_.CopyIntoRegistry();
    RegisterSuite(kInstalledSuite, 2);
    const std::wstring explanation =
        std::wstring(kSuiteName) +
        L" is already installed on this computer, so the new version goes into the "
        L"same folder. To choose another folder, first remove " +
        kSuiteName + L".";
    struct Case {
        const char* name;
        const wchar_t* commandLine;
        bool shown;
    } cases[] = {
        {"asked", L"", true},
        {"a folder given", L"/Path=C:\\TarnelElsewhere", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupOptions::Get().Reset();
        SetupOptions::Get().ParseWide(c.commandLine);
        DestinationChoice choice;
        ASSERT_EQ(0, choice.Prepare());
        Session session = Ask(choice, [](HWND dialog) {
            // Typing into a read-only field changes nothing a person could do; OK takes the folder.
            ovtest::PressButton(dialog, IDOK);
        });
        EXPECT_EQ(c.shown, session.shown);
        if (session.shown) {
            EXPECT_EQ(kInstalledSuite, session.first.path);
            EXPECT_TRUE(session.first.readOnly);
            EXPECT_FALSE(session.first.browseEnabled);
            EXPECT_EQ(explanation, session.first.explanation);
        }
        EXPECT_EQ(0, session.result);
        EXPECT_EQ(kInstalledSuite, std::wstring(SetupOptions::Get().destinationText()));
    }
}

// The command line settles the folder for a run nobody watches; without a folder the dialog is
// shown even to a silent run, which logs that it has none.
TEST_F(DestinationDialogTest, UnattendedRunsAskOnlyWithoutAFolder) {
    struct Case {
        const char* name;
        int displayLevel;
        const wchar_t* commandLine;
        bool prepare;
        bool shown;
        int button;
        int result;
        const wchar_t* destination;
        bool errorLogged;
    } cases[] = {
        {"level 1 with a folder", 1, L"/Path=C:\\TarnelGiven", true, false, IDOK, 0, L"C:\\TarnelGiven",
         false},
        {"level 0 with a folder", 0, L"/Path=C:\\TarnelGiven", true, false, IDOK, 0, L"C:\\TarnelGiven",
         false},
        {"level 0 without a folder", 0, L"", true, true, IDOK, 0, nullptr, false},
        {"level 0 with an invalid folder", 0, L"/Path=C:\\", false, true, IDCANCEL, ErrorCancelled, L"C:\\",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupOptions::Get().Reset();
        SetupOptions::Get().ParseWide(c.commandLine);
        Logger::Get().SetDisplayLevel(c.displayLevel);
        size_t errors = log_.Count("Error E9019: This destination folder cannot be used: \r\n");
        DestinationChoice choice;
        if (c.prepare) {
            ASSERT_EQ(0, choice.Prepare());
        }
        Session session = Ask(choice, [&c](HWND dialog) { ovtest::PressButton(dialog, c.button); });
        EXPECT_EQ(c.shown, session.shown);
        EXPECT_EQ(c.result, session.result);
        std::wstring expected = c.destination != nullptr ? c.destination : programFiles_.Proposal();
        EXPECT_EQ(expected, std::wstring(SetupOptions::Get().destinationText()));
        EXPECT_EQ(errors + (c.errorLogged ? 1 : 0),
                  log_.Count("Error E9019: This destination folder cannot be used: \r\n"));
    }
}

}  // namespace
