#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "ui/message_ids.h"

namespace {

#define OV_LIST_ID(id) id,
const unsigned kIds[] = {OV_MESSAGE_IDS(OV_LIST_ID)};
#undef OV_LIST_ID

// How many arguments the callers fill in, for the ids that take any; every other text must hold no
// "%s", since a caller that formats it would otherwise read an argument it never passed.
const struct {
    unsigned id;
    int arguments;
} kArguments[] = {
    {24000, 1}, {24001, 1}, {24002, 2}, {24006, 2}, {24500, 1}, {24501, 1}, {24504, 1}, {24505, 1},
    {24508, 1}, {24509, 1}, {25008, 1}, {25012, 1}, {25013, 1}, {25014, 1}, {25015, 1}, {25016, 1},
    {25018, 1}, {25019, 1}, {25021, 1}, {25022, 1}, {25023, 1}, {25025, 1}, {25029, 1}, {25030, 1},
    {25031, 1}, {25032, 1}, {25033, 1}, {25034, 1}, {25035, 1}, {25036, 1}, {25038, 1}, {25041, 1},
    {25042, 1}, {25043, 1}, {25044, 1}, {25045, 1}, {25046, 1}, {25050, 1}, {25051, 1}, {25508, 1},
    {25513, 1}, {25514, 1}, {25515, 1}, {25516, 1}, {25517, 1}, {25518, 1}, {25520, 1}, {25521, 1},
    {25522, 1}, {25523, 1}, {25524, 1}, {25525, 1}, {25526, 1}, {25527, 1}, {25532, 1}, {25540, 1},
    {25560, 1},
};

// Deliberately without text: the window class, so the program keeps its own class name.
const unsigned kEmpty[] = {22001};

// Callers that load into less than the usual 256 characters (or more); chars include the terminator.
const struct {
    unsigned id;
    size_t chars;
} kLimits[] = {
    {22000, 128}, {22237, 64}, {24002, 320}, {24003, 96}, {24004, 96}, {24006, 384}, {24016, 128},
};
const size_t kDefaultLimit = 256;

// Questions shown in boxes may break lines; every other text becomes one log line or one caption.
const unsigned kMultiLine[] = {24006, 24007, 24008};

// Texts the program compares or parses.
const struct {
    unsigned id;
    const wchar_t* text;
} kExact[] = {
    {22006, L"Tarnel Internet Security Suite"},
    {22208, L"English"},  // Windows 95 passes the antivirus check only with this word
    {22237, L"140"},      // an uninstaller without a product library stands for the suite
};

template <typename T>
bool Contains(const T& table, unsigned id) {
    return std::find(std::begin(table), std::end(table), id) != std::end(table);
}

bool Listed(unsigned id) {
    return Contains(kIds, id);
}

class StringLibrary {
  public:
    StringLibrary()
        : module_(LoadLibraryExW((ovtest::BinDir() + L"\\kestrares.dll").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE)) {}
    ~StringLibrary() {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    HMODULE module() const { return module_; }
    std::wstring Text(unsigned id) const {
        wchar_t buffer[4096] = {};
        int length = LoadStringW(module_, id, buffer, 4096);
        return std::wstring(buffer, length > 0 ? length : 0);
    }

  private:
    HMODULE module_;
};

// The number of "%s" in a text; -1 when it holds any other conversion (a lone "%" included).
int CountArguments(const std::wstring& text) {
    int count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%')
            continue;
        wchar_t next = i + 1 < text.size() ? text[i + 1] : L'\0';
        if (next == L's') {
            ++count;
        } else if (next != L'%') {
            return -1;
        }
        ++i;
    }
    return count;
}

TEST(Strings, ArgumentCounting) {
    const struct {
        const wchar_t* text;
        int expected;
    } cases[] = {
        {L"plain", 0}, {L"%s", 1},     {L"a %s b %s", 2},   {L"100%% sure", 0}, {L"%%s", 0},
        {L"%d", -1},   {L"%u %s", -1}, {L"trailing %", -1}, {L"%ls", -1},       {L"%5s", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, CountArguments(c.text)) << ovtest::Narrow(c.text);
}

TEST(Strings, TablesNameListedIdsOnly) {
    std::set<unsigned> seen;
    for (unsigned id : kIds)
        EXPECT_TRUE(seen.insert(id).second) << "listed twice: " << id;
    for (const auto& a : kArguments)
        EXPECT_TRUE(Listed(a.id)) << a.id;
    for (unsigned id : kEmpty)
        EXPECT_TRUE(Listed(id)) << id;
    for (const auto& l : kLimits)
        EXPECT_TRUE(Listed(l.id)) << l.id;
    for (unsigned id : kMultiLine)
        EXPECT_TRUE(Listed(id)) << id;
    for (const auto& e : kExact)
        EXPECT_TRUE(Listed(e.id)) << e.id;
}

TEST(Strings, EveryListedIdHasAFittingText) {
    StringLibrary library;
    ASSERT_NE(nullptr, library.module()) << "bin\\kestrares.dll";
    for (unsigned id : kIds) {
        const std::wstring text = library.Text(id);
        const std::string shown = std::to_string(id) + " \"" + ovtest::Narrow(text) + "\"";
        if (Contains(kEmpty, id)) {
            EXPECT_TRUE(text.empty()) << shown;
            continue;
        }
        if (text.empty()) {
            ADD_FAILURE() << "no text: " << id;
            continue;
        }

        int arguments = 0;
        for (const auto& a : kArguments) {
            if (a.id == id)
                arguments = a.arguments;
        }
        EXPECT_EQ(arguments, CountArguments(text)) << "\"%s\" count (-1: another conversion): " << shown;

        size_t limit = kDefaultLimit;
        for (const auto& l : kLimits) {
            if (l.id == id)
                limit = l.chars;
        }
        EXPECT_LT(text.size(), limit) << shown;

        if (!Contains(kMultiLine, id)) {
            EXPECT_EQ(std::wstring::npos, text.find_first_of(L"\r\n\t")) << "line break: " << shown;
        }
        EXPECT_TRUE(text.front() != L' ' && text.back() != L' ') << "blank at an end: " << shown;
    }
    for (const auto& e : kExact)
        EXPECT_EQ(ovtest::Narrow(e.text), ovtest::Narrow(library.Text(e.id))) << e.id;
}

// A text under an id nobody asks for is a typo of one that is missing.
TEST(Strings, LibraryHoldsNoUnlistedText) {
    StringLibrary library;
    ASSERT_NE(nullptr, library.module());
    std::vector<unsigned> blocks;
    EnumResourceNamesW(
        library.module(), RT_STRING,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) -> BOOL {
            if (IS_INTRESOURCE(name)) {
                reinterpret_cast<std::vector<unsigned>*>(param)->push_back(LOWORD(name));
            }
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&blocks));
    ASSERT_FALSE(blocks.empty());
    for (unsigned block : blocks) {
        for (unsigned id = (block - 1) * 16; id < block * 16; ++id) {
            if (!library.Text(id).empty()) {
                EXPECT_TRUE(Listed(id)) << "not listed: " << id;
            }
        }
    }
}

}  // namespace
