// The choice of components as a person makes it: the dialog is found on screen, its boxes read
// and clicked, and OK or Cancel pressed, while the role waits for the answer on its own thread.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/component_stub.h"
#include "components/components.h"
#include "log/logger.h"
#include "setup/errors.h"
#include "setup/setup.h"
#include "support/test_support.h"
#include "ui/agreement_dialog.h"
#include "ui/component_dialog.h"
#include "ui/framework.h"
#include "ui/framework_abi.h"
#include "ui/prerequisites.h"

namespace {

const wchar_t kCaption[] = L"Select Components";
const int kNote = 1651;
const int kFirstBox = 1652;
const int kBoxes = 8;

const wchar_t* const kFakeKeys[] = {L"Tarnel Dialog Test"};

// A component with the flags a role's checks would have left, and its name already known. Its
// source folder does not exist, so an unavailable one stays unavailable.
class FakeComponent : public ComponentStub {
  public:
    FakeComponent(const wchar_t* name, int available, int accepted, int active)
        : ComponentStub(999, L"no-such-component", kFakeKeys, 1) {
        TextCopy(displayName, kMessageChars, name);
        SetAvailable(available);
        SetAccepted(accepted);
        SetActive(active);
    }
};

RECT ItemRect(HWND dialog, int id) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string Show(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

RECT Raised(RECT r, int distance) {
    OffsetRect(&r, 0, -distance);
    return r;
}

// Where things are, in the dialog's client coordinates, and how tall the dialog is.
struct Layout {
    RECT box[kBoxes];
    RECT note, ok, cancel;
    LONG height;
};

Layout Measure(HWND dialog) {
    Layout layout = {};
    for (int i = 0; i < kBoxes; ++i) {
        layout.box[i] = ItemRect(dialog, kFirstBox + i);
    }
    layout.note = ItemRect(dialog, kNote);
    layout.ok = ItemRect(dialog, IDOK);
    layout.cancel = ItemRect(dialog, IDCANCEL);
    RECT frame = {};
    GetWindowRect(dialog, &frame);
    layout.height = frame.bottom - frame.top;
    return layout;
}

INT_PTR CALLBACK Untouched(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// The framework's template as it is, before anything is fitted to the boxes in use.
Layout TemplateLayout() {
    HWND dialog = Framework::Get().CreateDialog(kFrameworkSel, kDialogComponents, nullptr, Untouched, 0,
                                                kFrameworkDialogFlags);
    EXPECT_NE(nullptr, dialog);
    Layout layout = Measure(dialog);
    DestroyWindow(dialog);
    return layout;
}

std::wstring Text(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// What the person sees.
struct View {
    bool boxVisible[kBoxes];
    bool boxEnabled[kBoxes];
    bool boxTicked[kBoxes];
    std::wstring boxName[kBoxes];
    bool okEnabled;
    bool noteVisible;
    std::wstring intro;
    std::wstring okText;
    Layout layout;
};

View Look(HWND dialog) {
    View view = {};
    for (int i = 0; i < kBoxes; ++i) {
        HWND box = GetDlgItem(dialog, kFirstBox + i);
        view.boxVisible[i] = IsWindowVisible(box) != FALSE;
        view.boxEnabled[i] = IsWindowEnabled(box) != FALSE;
        view.boxTicked[i] = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
        view.boxName[i] = Text(box);
    }
    view.okEnabled = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE;
    view.noteVisible = IsWindowVisible(GetDlgItem(dialog, kNote)) != FALSE;
    view.intro = Text(GetDlgItem(dialog, 1650));
    view.okText = Text(GetDlgItem(dialog, IDOK));
    view.layout = Measure(dialog);
    return view;
}

void Click(HWND dialog, int id) {
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

struct Session {
    bool shown = false;
    View first = {};
    int result = -12345;
};

// The role asks on its worker thread; this thread is the person: it looks, lets `act` click,
// then presses `button`.
Session Choose(int button, const std::function<void(HWND)>& act = nullptr) {
    Session session;
    std::thread role([&session] { session.result = ShowComponentDialog(nullptr); });
    HWND dialog = ovtest::WaitForWindow(kCaption, 10000);
    if (dialog != nullptr) {
        session.shown = true;
        session.first = Look(dialog);
        if (act) {
            act(dialog);
        }
        ovtest::PressButton(dialog, button);
    }
    role.join();
    return session;
}

class ComponentDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Logger::Get().SetDisplayLevel(2);
        ASSERT_EQ(0, Framework::Get().Load());
    }
    void TearDown() override {
        Setup::Destroy();
        Framework::Get().Unload();
        Logger::Get().SetDisplayLevel(0);
    }

    // A fresh role object whose list holds the given products (owned by the test).
    void StartRole(int role) {
        Setup::Destroy();
        products_.clear();
        ASSERT_NE(nullptr, Setup::Create(role));
    }
    FakeComponent* Add(const wchar_t* name, int available, int accepted, int active) {
        products_.push_back(std::make_unique<FakeComponent>(name, available, accepted, active));
        EXPECT_TRUE(Setup::Get()->products.Append(products_.back().get()));
        return products_.back().get();
    }

    std::vector<std::unique_ptr<FakeComponent>> products_;
};

TEST_F(ComponentDialogTest, ShortenedToTheBoxesInUse) {
    const Layout original = TemplateLayout();
    const wchar_t* const names[] = {L"Anti-Spyware", L"Anti-Spam", L"Antivirus", L"Firewall", L"Firewall UM",
                                    L"Sixth",        L"Seventh",   L"Eighth",    L"Ninth"};
    struct Case {
        int products;
        int boxes;
    } cases[] = {{0, 0}, {1, 1}, {3, 3}, {8, 8}, {9, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.products) + " available products");
        StartRole(kRoleInstall);
        for (int i = 0; i < c.products; ++i) {
            Add(names[i], 1, 1, 1);
        }
        // With no box OK is disabled: only Cancel ends the dialog.
        Session session = Choose(c.boxes > 0 ? IDOK : IDCANCEL);
        ASSERT_TRUE(session.shown);
        const View& view = session.first;

        // The note and the buttons close up under the last box in use, the dialog with them.
        int distance = c.boxes < kBoxes ? original.box[kBoxes - 1].bottom - original.box[c.boxes].bottom : 0;
        EXPECT_EQ(Show(Raised(original.note, distance)), Show(view.layout.note));
        EXPECT_EQ(Show(Raised(original.ok, distance)), Show(view.layout.ok));
        EXPECT_EQ(Show(Raised(original.cancel, distance)), Show(view.layout.cancel));
        EXPECT_EQ(original.height - distance, view.layout.height);
        for (int i = 0; i < kBoxes; ++i) {
            EXPECT_EQ(Show(original.box[i]), Show(view.layout.box[i])) << "box " << i;
            EXPECT_EQ(i < c.boxes, view.boxVisible[i]) << "box " << i;
            if (i < c.boxes) {
                EXPECT_EQ(names[i], view.boxName[i]);
                EXPECT_TRUE(view.boxEnabled[i] && view.boxTicked[i]) << "box " << i;
            }
        }
        EXPECT_EQ(c.boxes > 0, view.okEnabled);
        EXPECT_EQ(c.boxes == 0, view.noteVisible);

        EXPECT_EQ(c.boxes > 0 ? 0 : ErrorCancelled, session.result);
        for (int i = 0; i < c.products; ++i) {
            EXPECT_EQ(i < kBoxes ? kFirstBox + i : 0, products_[i]->choiceControl) << "product " << i;
            EXPECT_EQ(1, products_[i]->active) << "product " << i;
        }
    }
}

// A box is ticked and unticked, OK follows whether anything is ticked, and OK hands the ticks to
// the products; a product that failed its checks can be neither chosen nor kept.
TEST_F(ComponentDialogTest, TicksBecomeTheRunsChoice) {
    StartRole(kRoleInstall);
    FakeComponent* spyware = Add(L"Tarnel Anti-Spyware", 1, 1, 1);
    FakeComponent* failed = Add(L"Tarnel Anti-Spam", 1, 0, 1);
    FakeComponent* absent = Add(L"Tarnel Antivirus", 0, 0, 0);
    FakeComponent* firewall = Add(L"Tarnel Firewall", 1, 1, 0);
    absent->SetChoiceControl(1659);  // left from an earlier showing

    struct Step {
        int box;
        bool okEnabled;
    } steps[] = {{kFirstBox, false}, {kFirstBox + 2, true}, {kFirstBox + 2, false}, {kFirstBox + 2, true}};
    Session session = Choose(IDOK, [&steps](HWND dialog) {
        for (const Step& step : steps) {
            Click(dialog, step.box);
            View view = Look(dialog);
            EXPECT_EQ(step.okEnabled, view.okEnabled) << "after clicking " << step.box;
            EXPECT_FALSE(view.noteVisible) << "after clicking " << step.box;
            if (!view.okEnabled) {
                // Enter and a stray OK reach the dialog even while the button is disabled.
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                Sleep(200);
                EXPECT_TRUE(IsWindowVisible(dialog)) << "OK with nothing ticked ended the dialog";
            }
        }
    });
    ASSERT_TRUE(session.shown);
    const View& view = session.first;
    const std::wstring names[] = {L"Tarnel Anti-Spyware", L"Tarnel Anti-Spam", L"Tarnel Firewall"};
    const bool enabled[] = {true, false, true};
    const bool ticked[] = {true, false, false};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(view.boxVisible[i]) << "box " << i;
        EXPECT_EQ(names[i], view.boxName[i]) << "box " << i;
        EXPECT_EQ(enabled[i], view.boxEnabled[i]) << "box " << i;
        EXPECT_EQ(ticked[i], view.boxTicked[i]) << "box " << i;
    }
    EXPECT_FALSE(view.boxVisible[3]);
    EXPECT_TRUE(view.okEnabled);
    EXPECT_FALSE(view.noteVisible);

    EXPECT_EQ(0, session.result);
    EXPECT_EQ(0, spyware->active);
    EXPECT_EQ(0, failed->active);
    EXPECT_EQ(0, absent->active);
    EXPECT_EQ(1, firewall->active);
    EXPECT_EQ(kFirstBox, spyware->choiceControl);
    EXPECT_EQ(kFirstBox + 1, failed->choiceControl);
    EXPECT_EQ(0, absent->choiceControl);
    EXPECT_EQ(kFirstBox + 2, firewall->choiceControl);
}

TEST_F(ComponentDialogTest, CancelKeepsTheFlags) {
    struct Case {
        const char* name;
        int accepted[2];
        bool noteVisible;
    } cases[] = {
        {"a choice undone", {1, 1}, false},
        {"nothing can be chosen", {0, 0}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartRole(kRoleInstall);
        FakeComponent* first = Add(L"Tarnel Anti-Spam", 1, c.accepted[0], 1);
        FakeComponent* second = Add(L"Tarnel Firewall", 1, c.accepted[1], 1);
        Session session = Choose(IDCANCEL, [](HWND dialog) {
            Click(dialog, kFirstBox);
            Click(dialog, kFirstBox + 1);
        });
        ASSERT_TRUE(session.shown);
        EXPECT_EQ(c.noteVisible, session.first.noteVisible);
        EXPECT_EQ(!c.noteVisible, session.first.okEnabled);
        EXPECT_EQ(ErrorCancelled, session.result);
        EXPECT_EQ(1, first->active);
        EXPECT_EQ(1, second->active);
    }
}

TEST_F(ComponentDialogTest, UninstallAsksInItsOwnWords) {
    struct Case {
        int role;
        const wchar_t* intro;
        const wchar_t* okText;
    } cases[] = {
        {kRoleInstall,
         L"Select the components you want to install and clear the ones you do not want. A component that "
         L"cannot be installed on this computer is shown unavailable.",
         L"&Next >"},
        {kRoleUninstall, L"Select the components you want to remove, then click Remove.", L"Remove"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.role);
        StartRole(c.role);
        FakeComponent* product = Add(L"Tarnel Antivirus", 1, 1, 1);
        Session session = Choose(IDOK);
        ASSERT_TRUE(session.shown);
        EXPECT_EQ(c.intro, session.first.intro);
        EXPECT_EQ(c.okText, session.first.okText);
        EXPECT_EQ(L"Tarnel Antivirus", session.first.boxName[0]);
        EXPECT_EQ(0, session.result);
        EXPECT_EQ(1, product->active);
    }
}

// Below display level 2 nobody is there to answer, and without the framework nothing can be
// shown: neither dialog appears, and only an unattended run counts as accepted.
TEST(Dialogs, UnattendedOrWithoutTheFrameworkNothingIsShown) {
    struct Case {
        const char* name;
        const wchar_t* caption;
        int (*show)(HWND);
        int displayLevel;
        bool framework;
        int result;
    } cases[] = {
        {"agreement at level 1", L"License Agreement", ShowAgreementDialog, 1, true, 0},
        {"agreement at level 0", L"License Agreement", ShowAgreementDialog, 0, true, 0},
        {"agreement without the framework", L"License Agreement", ShowAgreementDialog, 2, false,
         ErrorAgreementDeclined},
        {"components at level 1", kCaption, ShowComponentDialog, 1, true, 0},
        {"components without the framework", kCaption, ShowComponentDialog, 2, false, ErrorCancelled},
    };
    RichEditLibrary richEdit;
    ASSERT_EQ(0, richEdit.Load());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Framework::Get().Unload();
        if (c.framework) {
            ASSERT_EQ(0, Framework::Get().Load());
        }
        Logger::Get().SetDisplayLevel(c.displayLevel);
        ASSERT_NE(nullptr, Setup::Create(kRoleInstall));
        FakeComponent product(L"Tarnel Antivirus", 1, 1, 1);
        product.SetChoiceControl(1655);
        ASSERT_TRUE(Setup::Get()->products.Append(&product));

        // Whatever appears is cancelled; the call returns at once when nothing does.
        std::atomic<bool> returned(false);
        int result = -12345;
        std::thread role([&] {
            result = c.show(nullptr);
            returned = true;
        });
        bool appeared = false;
        while (!returned) {
            HWND dialog = ovtest::WaitForWindow(c.caption, 50);
            if (dialog != nullptr) {
                appeared = true;
                ovtest::PressButton(dialog, IDCANCEL);
                Sleep(100);
            }
        }
        role.join();
        EXPECT_FALSE(appeared);
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(1, product.active);
        EXPECT_EQ(1655, product.choiceControl);
        Setup::Destroy();
    }
    Framework::Get().Unload();
    Logger::Get().SetDisplayLevel(0);
}

}  // namespace
