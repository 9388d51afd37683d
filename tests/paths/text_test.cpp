#include <gtest/gtest.h>

#include <random>
#include <string>

#include "host/text.h"

namespace {

TEST(Text, ExactCopyIsWholeOrEmpty) {
    wchar_t buffer[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_TRUE(TextCopy(buffer, 4, L"abc"));
    EXPECT_STREQ(L"abc", buffer);
    EXPECT_FALSE(TextCopy(buffer, 4, L"abcd"));
    for (wchar_t c : buffer)
        EXPECT_EQ(L'\0', c);
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

namespace {

bool Cleared(const wchar_t* buffer, size_t chars) {
    for (size_t i = 0; i < chars; ++i) {
        if (buffer[i] != L'\0')
            return false;
    }
    return true;
}

TEST(Text, TinyBuffers) {
    for (size_t chars = 1; chars <= 3; ++chars) {
        const std::string name = "size " + std::to_string(chars);
        const wchar_t* fits = chars == 1 ? L"" : (chars == 2 ? L"a" : L"ab");
        const wchar_t* tooLong = chars == 1 ? L"a" : (chars == 2 ? L"ab" : L"abc");
        wchar_t buffer[4] = {L'#', L'#', L'#', L'#'};
        EXPECT_TRUE(TextCopy(buffer, chars, fits)) << name;
        EXPECT_STREQ(fits, buffer) << name;
        EXPECT_FALSE(TextCopy(buffer, chars, tooLong)) << name;
        EXPECT_TRUE(Cleared(buffer, chars)) << name;
        EXPECT_TRUE(TextAppend(buffer, chars, fits)) << name;
        EXPECT_FALSE(TextAppend(buffer, chars, L"a")) << name;  // already full
        EXPECT_TRUE(Cleared(buffer, chars)) << name;
        EXPECT_TRUE(TextFormat(buffer, chars, L"%s", fits)) << name;
        EXPECT_STREQ(fits, buffer) << name;
        EXPECT_FALSE(TextFormat(buffer, chars, L"%s", tooLong)) << name;
        EXPECT_TRUE(Cleared(buffer, chars)) << name;
        EXPECT_EQ(chars - 1, TextFormatCut(buffer, chars, L"%s", L"abcdef")) << name;
        EXPECT_STREQ(fits, buffer) << name;
        TextCopyCut(buffer, chars, L"abcdef");
        EXPECT_STREQ(fits, buffer) << name;
        EXPECT_EQ(L'#', buffer[chars]) << name << ": wrote past the buffer";
    }
    // Absent buffers or sizes fail without touching anything.
    wchar_t one[1] = {L'#'};
    EXPECT_FALSE(TextCopy(nullptr, 4, L"a"));
    EXPECT_FALSE(TextCopy(one, 0, L""));
    EXPECT_FALSE(TextAppend(one, 0, L""));
    EXPECT_FALSE(TextFormat(one, 0, L""));
    EXPECT_EQ(0u, TextFormatCut(one, 0, L"x"));
    TextCopyCut(one, 0, L"x");
    EXPECT_EQ(L'#', one[0]);
}

TEST(Text, AppendToUnterminatedBufferFails) {
    wchar_t buffer[3] = {L'a', L'b', L'c'};
    EXPECT_FALSE(TextAppend(buffer, 3, L""));
    EXPECT_TRUE(Cleared(buffer, 3));
}

// Many generated texts and sizes: exact operations give the whole text or an empty buffer,
// truncating ones a prefix; nothing is written past the size.
TEST(Text, RandomisedBounds) {
    std::mt19937 rng(4242);
    auto below = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
    const wchar_t kChars[] = L"\\\\\\ab %.\x00e9\x4e2d\xd83d\xde00";
    const size_t kEdges[] = {0, 1, 2, 3, 258, 259, 260, 261, 511, 512, 519, 520, 521};
    const size_t kGuard = 4;
    for (int i = 0; i < 3000; ++i) {
        size_t lengths[2];
        for (size_t& length : lengths) {
            length = below(2) == 0 ? kEdges[below(13)] : below(600);
        }
        std::wstring a, b;
        for (size_t k = 0; k < lengths[0]; ++k)
            a += kChars[below(12)];
        for (size_t k = 0; k < lengths[1]; ++k)
            b += kChars[below(12)];
        size_t chars = 1 + (below(2) == 0 ? kEdges[below(13)] : below(600));
        const std::string name = "case " + std::to_string(i) + " size " + std::to_string(chars);
        std::wstring buffer(chars + kGuard, L'#');
        auto guardIntact = [&]() { return buffer.compare(chars, kGuard, std::wstring(kGuard, L'#')) == 0; };

        bool copied = TextCopy(&buffer[0], chars, a.c_str());
        ASSERT_EQ(a.size() < chars, copied) << name;
        ASSERT_TRUE(copied ? a == buffer.c_str() : Cleared(buffer.data(), chars)) << name;
        ASSERT_TRUE(guardIntact()) << name;

        bool appended = TextAppend(&buffer[0], chars, b.c_str());
        const std::wstring held = copied ? a : L"";  // a failed copy left the buffer empty
        ASSERT_EQ(held.size() + b.size() < chars, appended) << name;
        ASSERT_TRUE(appended ? held + b == buffer.c_str() : Cleared(buffer.data(), chars)) << name;
        ASSERT_TRUE(guardIntact()) << name;

        bool formatted = TextFormat(&buffer[0], chars, L"%s|%s", a.c_str(), b.c_str());
        const std::wstring joined = a + L"|" + b;
        ASSERT_EQ(joined.size() < chars, formatted) << name;
        ASSERT_TRUE(formatted ? joined == buffer.c_str() : Cleared(buffer.data(), chars)) << name;
        ASSERT_TRUE(guardIntact()) << name;

        size_t cut = TextFormatCut(&buffer[0], chars, L"%s|%s", a.c_str(), b.c_str());
        const std::wstring prefix = joined.substr(0, std::min(joined.size(), chars - 1));
        ASSERT_EQ(prefix.size(), cut) << name;
        ASSERT_TRUE(prefix == buffer.c_str()) << name;
        ASSERT_TRUE(guardIntact()) << name;

        TextCopyCut(&buffer[0], chars, b.c_str());
        ASSERT_TRUE(b.substr(0, std::min(b.size(), chars - 1)) == buffer.c_str()) << name;
        ASSERT_TRUE(guardIntact()) << name;
    }
}

}  // namespace
