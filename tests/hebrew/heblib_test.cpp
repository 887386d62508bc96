#include "hebrew/HebLib.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace hebrew;

TEST(HebLib, ReverseText) {
    EXPECT_EQ(ReverseText(""), "");
    EXPECT_EQ(ReverseText("a"), "a");
    EXPECT_EQ(ReverseText("ab\xE0"), "\xE0" "ba");
}

TEST(HebLib, DosToWinHebrewRaisesOnlyTheDosLetters) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    std::string out = DosToWinHebrew(all);
    for (int b = 0; b < 256; ++b) {
        int expected = b >= 0x80 && b <= 0x9A ? b + 0x60 : b;
        EXPECT_EQ(static_cast<std::uint8_t>(out[static_cast<std::size_t>(b)]), expected) << b;
    }
}

TEST(HebLib, KeyboardTableHasItsThirtyOneEntries) {
    const std::pair<char, std::uint8_t> table[] = {
        {'\'', 0x2C}, {',', 0x9A}, {'.', 0x95}, {'/', 0x2E}, {';', 0x93}, {'a', 0x99}, {'b', 0x90}, {'c', 0x81},
        {'d', 0x82},  {'e', 0x97}, {'f', 0x8B}, {'g', 0x92}, {'h', 0x89}, {'i', 0x8F}, {'j', 0x87}, {'k', 0x8C},
        {'l', 0x8A},  {'m', 0x96}, {'n', 0x8E}, {'o', 0x8D}, {'p', 0x94}, {'q', 0x2F}, {'r', 0x98}, {'s', 0x83},
        {'t', 0x80},  {'u', 0x85}, {'v', 0x84}, {'w', 0x27}, {'x', 0x91}, {'y', 0x88}, {'z', 0x86}};
    int changed = 0;
    for (int b = 0; b < 256; ++b)
        changed += KeyToDosHebrew(static_cast<std::uint8_t>(b)) != b;
    EXPECT_EQ(changed, 31);
    for (auto [key, letter] : table)
        EXPECT_EQ(KeyToDosHebrew(static_cast<std::uint8_t>(key)), letter) << key;
}

TEST(HebLib, KeysToDosHebrewLeavesCapitalsDigitsAndBlanks) {
    std::string text = "AKUO 19 ak\x80";
    KeysToDosHebrew(text);
    EXPECT_EQ(text, "AKUO 19 \x99\x8C\x80");
}

TEST(HebLib, DecodeCharCodesTurnsCodes128To154IntoDosLetters) {
    EXPECT_EQ(DecodeCharCodes("%%130"), "\x82");
    EXPECT_EQ(DecodeCharCodes("%%128%%129"), "\x80\x81");
    EXPECT_EQ(DecodeCharCodes("a%%154b"), "a\x9A" "b");
    EXPECT_EQ(DecodeCharCodes("%%$80%%x9a%%X81"), "\x80\x9A\x81");
    EXPECT_EQ(DecodeCharCodes("%%1300"), "\x82" "0");  // only three characters are read
}

TEST(HebLib, DecodeCharCodesKeepsEverythingElseAsWritten) {
    for (std::string text : {"%%d", "%%c", "%%p", "%%065", "%%300", "%%%", "%%", "%%15", "%%127", "%%155",
                             "%%+99", "%%12a", "%% 99", "no codes"})
        EXPECT_EQ(DecodeCharCodes(text), text);
    // A failed code does not swallow a code that follows it.
    EXPECT_EQ(DecodeCharCodes("%%%%128"), "%%\x80");
    EXPECT_EQ(DecodeCharCodes("%%%128"), "%%%128");
}

TEST(HebLib, MirrorBracketsSwapsTheFourPairs) {
    EXPECT_EQ(MirrorBrackets("(a)<b>[c]{d}"), ")a(>b<]c[}d{");
    EXPECT_EQ(MirrorBrackets("\xE0 / \\ |"), "\xE0 / \\ |");
}

TEST(HebLib, ReverseRunsByClassReversesOnlyTheOtherRuns) {
    std::vector<std::uint8_t> classes = {0, 0, 0, 2, 2, 0, 0, 2};
    EXPECT_EQ(ReverseRunsByClass("abcXYdeZ", classes), "cbaXYedZ");
    EXPECT_EQ(ReverseRunsByClass("", {}), "");
    // Any class other than 2 counts as "other".
    std::vector<std::uint8_t> mixed = {1, 3, 0, 2};
    EXPECT_EQ(ReverseRunsByClass("abcX", mixed), "cbaX");
}

}  // namespace
