// The conflicting-program question as a person answers it: the dialog is found on screen, its
// texts read and one of its buttons pressed.
#include <gtest/gtest.h>

#include <thread>

#include "log/logger.h"
#include "setup/errors.h"
#include "support/test_support.h"
#include "ui/conflict_dialog.h"
#include "ui/framework.h"

using ovtest::BinDir;

namespace {

const wchar_t kTitle[] = L"Conflicting Program Found";

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(dialog, id, text, 1024);
    return text;
}

LOGFONTW ItemFont(HWND dialog, int id) {
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, id, WM_GETFONT, 0, 0)), sizeof(font),
               &font);
    return font;
}

LONG Height(const LOGFONTW& font) {
    return font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
}

// What the person saw and what the question returned.
struct Answer {
    bool shown = false;
    std::wstring productName;
    std::wstring explanation;
    LOGFONTW productFont = {};
    LOGFONTW explanationFont = {};
    int result = -12345;
};

// Asks on a worker thread, as the install role does, and answers from this thread with `button`.
Answer Ask(const wchar_t* otherProduct, const wchar_t* displayName, int button) {
    Answer answer;
    std::thread setup([&] { answer.result = AskConflictRemoval(nullptr, otherProduct, displayName); });
    HWND dialog = ovtest::WaitForWindow(kTitle, 10000);
    if (dialog != nullptr) {
        answer.shown = true;
        answer.productName = ItemText(dialog, 1455);
        answer.explanation = ItemText(dialog, 1091);
        answer.productFont = ItemFont(dialog, 1455);
        answer.explanationFont = ItemFont(dialog, 1091);
        ovtest::PressButton(dialog, button);
    }
    setup.join();
    return answer;
}

std::wstring Explained(const std::wstring& name) {
    return L"The program above cannot be used together with " + name +
           L" and must be removed first. Click OK to remove it now.";
}

class ConflictTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Logger::Get().SetDisplayLevel(0);
        Framework::Get().Unload();
    }
    void TearDown() override { Framework::Get().Unload(); }
};

TEST_F(ConflictTest, AnswerDecidesAndNamesAreShown) {
    ASSERT_EQ(0, Framework::Get().Load());
    const std::wstring longName(300, L'x');
    struct Case {
        const char* name;
        const wchar_t* otherProduct;
        const wchar_t* displayName;
        int button;
        int result;
        std::wstring explanation;
    } cases[] = {
        {"OK removes it", L"Old Firewall 2.1", L"Tarnel Firewall", IDOK, 0, Explained(L"Tarnel Firewall")},
        {"Cancel declines", L"Old Firewall 2.1", L"Tarnel Firewall", IDCANCEL, ErrorConflictRemovalDeclined,
         Explained(L"Tarnel Firewall")},
        {"percent signs in the name are text", L"100% Safe", L"Tarnel %s%d Antivirus", IDOK, 0,
         Explained(L"Tarnel %s%d Antivirus")},
        {"a long name is cut to the text item", L"Other", longName.c_str(), IDCANCEL,
         ErrorConflictRemovalDeclined, Explained(longName).substr(0, 255)},
        {"no names", nullptr, nullptr, IDOK, 0, Explained(L"")},
    };
    for (const Case& c : cases) {
        Answer answer = Ask(c.otherProduct, c.displayName, c.button);
        ASSERT_TRUE(answer.shown) << c.name;
        EXPECT_EQ(c.result, answer.result) << c.name;
        EXPECT_EQ(c.otherProduct != nullptr ? c.otherProduct : L"", answer.productName) << c.name;
        EXPECT_EQ(c.explanation, answer.explanation) << c.name;
        EXPECT_GE(answer.productFont.lfWeight, FW_BOLD) << c.name << ": the product name stands out";
        EXPECT_GT(Height(answer.productFont), Height(answer.explanationFont)) << c.name;
        EXPECT_LT(answer.explanationFont.lfWeight, FW_BOLD) << c.name;
    }
}

TEST_F(ConflictTest, WithoutTheFrameworkItIsDeclinedUnasked) {
    bool shown = false;
    std::thread person([&shown] {
        HWND dialog = ovtest::WaitForWindow(kTitle, 2000);
        if (dialog != nullptr) {
            shown = true;
            ovtest::PressButton(dialog, IDOK);
        }
    });
    int result = AskConflictRemoval(nullptr, L"Old Firewall 2.1", L"Tarnel Firewall");
    person.join();
    EXPECT_EQ(ErrorConflictRemovalDeclined, result);
    EXPECT_FALSE(shown);
}

// A translation whose explanation asks for more than the one name must not read arguments that
// were never given: the name is shown on its own.
TEST_F(ConflictTest, FaultyExplanationFormatShowsTheNameAlone) {
    ASSERT_EQ(0, Framework::Get().LoadFrom((BinDir() + L"\\conflict_fixture").c_str()));
    Answer answer = Ask(L"Old Firewall 2.1", L"Tarnel Firewall", IDOK);
    ASSERT_TRUE(answer.shown);
    EXPECT_EQ(0, answer.result);
    EXPECT_EQ(L"Tarnel Firewall", answer.explanation);
}

}  // namespace
