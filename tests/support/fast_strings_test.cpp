#include "support/FastStrings.h"

#include <gtest/gtest.h>

namespace {

using support::fastPos;
using support::fastReplace;

TEST(FastStrings, UpperCaseTableChangesOnlyAsciiLetters) {
    const auto& upper = support::upperCaseTable();
    for (int b = 0; b < 256; ++b) {
        int expected = b >= 'a' && b <= 'z' ? b - 32 : b;
        EXPECT_EQ(upper[static_cast<std::size_t>(b)], expected) << b;
    }
}

TEST(FastStrings, FindsFirstMatchFromStartPosition) {
    EXPECT_EQ(fastPos("abc%%uxyz%%u", "%%u"), 4u);
    EXPECT_EQ(fastPos("abc%%uxyz%%u", "%%u", 5), 10u);
    EXPECT_EQ(fastPos("abc%%uxyz%%u", "%%u", 10), 10u);
    EXPECT_EQ(fastPos("abc%%uxyz%%u", "%%u", 11), 0u);
    EXPECT_EQ(fastPos("abc", "abc"), 1u);
    EXPECT_EQ(fastPos("ab", "abc"), 0u);
    EXPECT_EQ(fastPos("abc", ""), 0u);
    EXPECT_EQ(fastPos("abc", "c", 9), 0u);
}

TEST(FastStrings, SkipTableHandlesRepeatedPatternBytes) {
    // The pattern's last byte occurs earlier too: a wrong skip would jump past.
    EXPECT_EQ(fastPos("xxaabaabaaab", "aaab"), 9u);
    EXPECT_EQ(fastPos("abababababc", "ababc"), 7u);
    EXPECT_EQ(fastPos(std::string("a\xE0\xE1\xE0\xE1\xE2", 6), std::string("\xE0\xE1\xE2", 3)), 4u);
}

TEST(FastStrings, CaseInsensitiveFoldsAsciiOnly) {
    EXPECT_EQ(fastPos("ab%%Ux", "%%u", 1, false), 3u);
    EXPECT_EQ(fastPos("ab%%Ux", "%%u", 1, true), 0u);
    // Hebrew bytes are not letters of any case.
    EXPECT_EQ(fastPos("\xC0", "\xE0", 1, false), 0u);
}

TEST(FastStrings, ReplacesEveryOccurrenceLeftToRight) {
    EXPECT_EQ(fastReplace("a%%ub%%Uc%%u", "%%u", "", false), "abc");
    EXPECT_EQ(fastReplace("a%%ub%%Uc%%u", "%%u", "", true), "ab%%Uc");
    EXPECT_EQ(fastReplace("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(fastReplace("aaa", "aa", "aaa"), "aaaa");  // no re-scan of replaced text
    EXPECT_EQ(fastReplace("abc", "", "x"), "abc");
    EXPECT_EQ(fastReplace("", "a", "x"), "");
}

}  // namespace
