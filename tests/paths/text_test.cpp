#include <gtest/gtest.h>

#include "host/text.h"

namespace {

TEST(Text, ExactCopyIsWholeOrEmpty) {
    wchar_t buffer[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_TRUE(TextCopy(buffer, 4, L"abc"));
    EXPECT_STREQ(L"abc", buffer);
    EXPECT_FALSE(TextCopy(buffer, 4, L"abcd"));
    for (wchar_t c : buffer) EXPECT_EQ(L'\0', c);
    EXPECT_TRUE(TextCopy(buffer, 4, nullptr));
    EXPECT_STREQ(L"", buffer);
}

TEST(Text, ExactAppendAndFormat) {
    wchar_t buffer[6] = L"ab";
    EXPECT_TRUE(TextAppend(buffer, 6, L"cde"));
    EXPECT_STREQ(L"abcde", buffer);
    EXPECT_FALSE(TextAppend(buffer, 6, L"f"));
    EXPECT_STREQ(L"", buffer);
    EXPECT_TRUE(TextFormat(buffer, 6, L"%s%u", L"ab", 123u));
    EXPECT_STREQ(L"ab123", buffer);
    EXPECT_FALSE(TextFormat(buffer, 6, L"%s%u", L"ab", 1234u));
    EXPECT_STREQ(L"", buffer);
}

TEST(Text, TruncatingFormatCutsAndTerminates) {
    wchar_t buffer[5];
    EXPECT_EQ(4u, TextFormatCut(buffer, 5, L"%s", L"abcdefgh"));
    EXPECT_STREQ(L"abcd", buffer);
    EXPECT_EQ(4u, TextFormatCut(buffer, 5, L"%s", L"abcd"));
    EXPECT_STREQ(L"abcd", buffer);
    TextCopyCut(buffer, 5, L"123456");
    EXPECT_STREQ(L"1234", buffer);
}

}  // namespace
