#include "support/code_pages.h"

#include <gtest/gtest.h>

namespace {

using support::CodePage;

TEST(CodePages, EveryByteSurvivesARoundTripThroughUtf16) {
    for (int number : {437, 850, 852, 855, 857, 860, 861, 862, 863, 865, 866, 869, 874, 1250, 1251, 1252, 1253, 1254,
                       1255, 1256, 1257, 1258}) {
        const CodePage* page = CodePage::byNumber(number);
        ASSERT_NE(page, nullptr) << number;
        std::string all;
        for (int b = 0; b < 256; ++b)
            all += static_cast<char>(b);
        std::u16string text = page->decode(all);
        ASSERT_EQ(text.size(), 256u);
        EXPECT_EQ(page->encode(text), all) << page->name();
        // No two bytes share a character.
        for (int b = 0; b < 256; ++b)
            EXPECT_EQ(page->fromUnicode(text[static_cast<std::size_t>(b)]), b) << page->name() << " byte " << b;
    }
}

TEST(CodePages, UnknownNumbersHaveNoPage) {
    EXPECT_EQ(CodePage::byNumber(932), nullptr);  // double-byte
    EXPECT_EQ(CodePage::byNumber(0), nullptr);
    EXPECT_EQ(CodePage::byNumber(1251)->toUnicode(0xC0), u'\u0410');  // Cyrillic A
}

TEST(CodePages, HebrewLettersSitWhereEachPageHasThem) {
    const auto& win = CodePage::windows1255();
    const auto& dos = CodePage::dos862();
    EXPECT_EQ(win.toUnicode(0xE0), u'\u05D0');  // alef
    EXPECT_EQ(win.toUnicode(0xFA), u'\u05EA');  // tav
    EXPECT_EQ(dos.toUnicode(0x80), u'\u05D0');
    EXPECT_EQ(dos.toUnicode(0x9A), u'\u05EA');
    EXPECT_EQ(win.toUnicode(0xA4), u'\u20AA');  // new sheqel sign
    EXPECT_EQ(win.toUnicode(0xFE), u'\u200F');  // right-to-left mark
    EXPECT_EQ(dos.toUnicode(0x9B), u'\u00A2');  // cent sign, as in code page 437
    EXPECT_EQ(dos.toUnicode(0xFF), u'\u00A0');
    EXPECT_EQ(CodePage::windows1252().toUnicode(0xE0), u'\u00E0');
}

TEST(CodePages, UndefinedBytesMapToControlOrPrivateUseCharacters) {
    const auto& win = CodePage::windows1255();
    // DOS letters that Windows-1255 leaves undefined become C1 controls...
    for (std::uint8_t b : {0x81, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x9A, 0x9C, 0x9D, 0x9E, 0x9F})
        EXPECT_EQ(win.toUnicode(b), static_cast<char16_t>(b));
    // ...other holes become U+F700 + byte.
    for (std::uint8_t b : {0xCA, 0xD9, 0xDF, 0xFB, 0xFC, 0xFF})
        EXPECT_EQ(win.toUnicode(b), static_cast<char16_t>(0xF700 + b));
    EXPECT_EQ(CodePage::windows1252().toUnicode(0x8D), u'\u008D');
}

TEST(CodePages, CharactersOutsideThePageAreReportedOrReplaced) {
    const auto& win = CodePage::windows1255();
    EXPECT_FALSE(win.fromUnicode(u'\u00E0').has_value());  // a grave: not Hebrew
    EXPECT_FALSE(win.canEncode(u"\u05D0\u0410"));
    EXPECT_TRUE(win.canEncode(u"\u05D0 abc"));
    EXPECT_EQ(win.encode(u"\u05D0\u0410x", '?'), "\xE0?x");
}

TEST(Utf8, ConvertsBothWaysIncludingSurrogatePairs) {
    EXPECT_EQ(support::toUtf8(u"a\u05D0\u20AA"), "a\xD7\x90\xE2\x82\xAA");
    EXPECT_EQ(support::toUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(support::fromUtf8("a\xD7\x90\xE2\x82\xAA\xF0\x9F\x98\x80"), u"a\u05D0\u20AA\U0001F600");
}

TEST(Utf8, BrokenInputBecomesReplacementCharacters) {
    EXPECT_EQ(support::toUtf8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
    EXPECT_EQ(support::fromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong
    EXPECT_EQ(support::fromUtf8("a\xE2\x82"), u"a\uFFFD\uFFFD");  // truncated
    EXPECT_EQ(support::fromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
}

}  // namespace
