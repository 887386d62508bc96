#include "hebrew/text_layout.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "hebrew/HebLib.h"

namespace {

using namespace hebrew;

TEST(TextLayout, HebrewLettersAndMarksOfRightToLeftTypeAreClassTwo) {
    for (int b = 0xE0; b <= 0xFA; ++b)
        EXPECT_EQ(CharacterClass(static_cast<std::uint8_t>(b)), kHebrewClass) << b;
    // Yiddish ligatures, geresh and gershayim, and the right-to-left mark.
    for (int b : {0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xFE})
        EXPECT_EQ(CharacterClass(static_cast<std::uint8_t>(b)), kHebrewClass) << b;
    // Latin letters, digits, punctuation, points, DOS letters, the LRM, holes.
    for (int b : {int{'a'}, int{'Z'}, int{'0'}, int{' '}, int{'('}, 0xC0, 0xD2, 0x80, 0x9A, 0xFD, 0xCA, 0xFF})
        EXPECT_EQ(CharacterClass(static_cast<std::uint8_t>(b)), 0) << b;
}

TEST(TextLayout, RestoreLtrRunsPutsNumbersBackInOrder) {
    // "shalom 123" reversed whole: the number comes out backwards until restored.
    EXPECT_EQ(RestoreLtrRuns("321 \xED\xE5\xEC\xF9"), " 123\xED\xE5\xEC\xF9");
    EXPECT_EQ(RestoreLtrRuns(""), "");
    std::string longText(1000, 'a');
    longText[500] = '\xE0';
    std::string restored = RestoreLtrRuns(longText);
    EXPECT_EQ(restored[500], '\xE0');
    EXPECT_EQ(restored.size(), 1000u);
}

TEST(TextLayout, ReorderToVisualReversesRightToLeftRuns) {
    EXPECT_EQ(ReorderToVisual(""), "");
    EXPECT_EQ(ReorderToVisual("abc 12"), "abc 12");
    EXPECT_EQ(ReorderToVisual("\xE0\xE1\xE2"), "\xE2\xE1\xE0");
    // Between two left-to-right words the blank stays with them.
    EXPECT_EQ(ReorderToVisual("ab \xE0\xE1 cd"), "ab \xE1\xE0 cd");
    // A number after Hebrew joins the right-to-left run but keeps its own order.
    EXPECT_EQ(ReorderToVisual("\xF9\xEC\xE5\xED 123"), "123 \xED\xE5\xEC\xF9");
    // Trailing blanks go to the paragraph level, the left.
    EXPECT_EQ(ReorderToVisual("\xE0\xE1 "), "\xE1\xE0 ");
}

TEST(TextLayout, ReorderToVisualNeitherMirrorsNorRemoves) {
    // Brackets around Hebrew are moved, never swapped for their mirror image.
    EXPECT_EQ(ReorderToVisual("\xE0(\xE1)"), ")\xE1(\xE0");
    // Points stay where the reversal puts them; marks are not dropped.
    EXPECT_EQ(ReorderToVisual("\xE0\xC8\xE1"), "\xE1\xC8\xE0");
    std::string marks = "\xFD\xE0\xFE" "a\xE1";
    std::string out = ReorderToVisual(marks);
    std::string sortedIn = marks, sortedOut = out;
    std::sort(sortedIn.begin(), sortedIn.end());
    std::sort(sortedOut.begin(), sortedOut.end());
    EXPECT_EQ(sortedOut, sortedIn);
}

TEST(TextLayout, EveryByteStringComesOutAsAPermutation) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    std::string out = ReorderToVisual(all);
    std::sort(out.begin(), out.end());
    std::string expected = all;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(out, expected);
}

}  // namespace
