#include "hebrew/converter.h"

#include <gtest/gtest.h>

namespace {

using hebrew::Converter;
using hebrew::FontTable;
using hebrew::TFontKind;

class Conversions : public ::testing::Test {
protected:
    std::string rtl(TFontKind kind, std::string_view text, bool backward = false) {
        m_converter.CurrentKind = kind;
        m_converter.CurrentBackward = backward;
        return m_converter.ConvertForRtl(text);
    }
    std::string ltr(TFontKind kind, std::string_view text, bool backward = false) {
        m_converter.CurrentKind = kind;
        m_converter.CurrentBackward = backward;
        return m_converter.ConvertForLtr(text);
    }
    FontTable m_fonts;
    Converter m_converter{m_fonts};
};

TEST_F(Conversions, EmptyTextStaysEmptyForEveryKindAndBothOrders) {
    for (TFontKind kind : hebrew::kAllFontKinds) {
        EXPECT_EQ(rtl(kind, ""), "");
        EXPECT_EQ(ltr(kind, "", true), "");
    }
}

TEST_F(Conversions, DosHebrewRightToLeft) {
    EXPECT_EQ(rtl(TFontKind::DosHebrew, "\x9A\x81\x99"), "\xF9\xE1\xFA");
    // Reversed to ")" alef "(", then the brackets are swapped back.
    EXPECT_EQ(rtl(TFontKind::DosHebrew, "(\x80)"), "(\xE0)");
    EXPECT_EQ(rtl(TFontKind::DosHebrew, "%%128%%129"), "\xE1\xE0");
    EXPECT_EQ(rtl(TFontKind::DosHebrew, "%%300"), "%%300");
    EXPECT_EQ(rtl(TFontKind::DosHebrew, "%%%"), "%%%");
    // The number keeps its order after the whole text is reversed.
    EXPECT_EQ(rtl(TFontKind::DosHebrew, "\x99\x8C\x85\x8D 123"), " 123\xED\xE5\xEC\xF9");
}

TEST_F(Conversions, EnglishKeyboardKindsDifferOnlyInOrder) {
    EXPECT_EQ(rtl(TFontKind::DosEnglish, "akuo"), "\xED\xE5\xEC\xF9");
    EXPECT_EQ(rtl(TFontKind::DosEnglishR, "akuo"), "\xF9\xEC\xE5\xED");
    // Capitals, digits and blanks are not keys of Hebrew letters.
    EXPECT_EQ(rtl(TFontKind::DosEnglish, "AB 12"), "AB 12");
    EXPECT_EQ(ltr(TFontKind::DosEnglish, "akuo"), "\xED\xE5\xEC\xF9");
}

TEST_F(Conversions, PercentUIsRemovedOnlyWhenTheLowerCaseFormOccurs) {
    EXPECT_EQ(rtl(TFontKind::Windows, "a%%ub%%Uc"), "abc");
    EXPECT_EQ(ltr(TFontKind::TrueType, "a%%ub%%Uc"), "abc");
    EXPECT_EQ(rtl(TFontKind::Windows, "x%%U"), "x%%U");
    EXPECT_EQ(ltr(TFontKind::TrueType, "x%%U"), "x%%U");
}

TEST_F(Conversions, BackwardWindowsTextIsReversedTwiceRightToLeft) {
    EXPECT_EQ(rtl(TFontKind::Windows, "\xE0\xE1\xE2", true), "\xE0\xE1\xE2");
    EXPECT_EQ(rtl(TFontKind::Windows, "\xE0\xE1\xE2", false), "\xE2\xE1\xE0");
}

TEST_F(Conversions, LeftToRightLeavesTextsWithoutTheirKindsLetters) {
    EXPECT_EQ(ltr(TFontKind::Windows, "abc (1) %%u"), "abc (1) ");
    EXPECT_EQ(ltr(TFontKind::Windows, "abc", true), "cba");
    EXPECT_EQ(ltr(TFontKind::TrueType, "\xE0\xE1 (x)", true), ")x( \xE1\xE0");
    // DOS letters are looked for after the codes are decoded: letters written
    // only as codes convert like the letters themselves.
    EXPECT_EQ(ltr(TFontKind::DosHebrew, "%%128%%129 (2)"), ltr(TFontKind::DosHebrew, "\x80\x81 (2)"));
    EXPECT_EQ(ltr(TFontKind::DosHebrew, "%%128"), "\xE0");
    EXPECT_EQ(ltr(TFontKind::DosHebrew, "\x80%%129"), "\xE1\xE0");
    EXPECT_EQ(ltr(TFontKind::DosHebrew, "%%300 (2)"), "%%300 (2)");
}

TEST_F(Conversions, LeftToRightGivesDisplayOrder) {
    EXPECT_EQ(ltr(TFontKind::Windows, "\xF9\xEC\xE5\xED"), "\xED\xE5\xEC\xF9");
    EXPECT_EQ(ltr(TFontKind::Windows, "\xF9\xEC\xE5\xED 123"), "\xED\xE5\xEC\xF9 123");
    EXPECT_EQ(ltr(TFontKind::DosHebrew, "\x99\x8C\x85\x8D"), "\xED\xE5\xEC\xF9");
}

TEST_F(Conversions, TrueTypeRightToLeftGoesThroughTheBidiLayout) {
    EXPECT_EQ(rtl(TFontKind::TrueType, "\xF9\xEC\xE5\xED 123"), "\xF9\xEC\xE5\xED" "123 ");
    EXPECT_EQ(rtl(TFontKind::TrueType, "abc"), "abc");
}

TEST_F(Conversions, FontKindOfLeavesItsResultInCurrentKind) {
    m_converter.CurrentKind = TFontKind::DosEnglish;
    EXPECT_EQ(m_converter.FontKindOf("arial.ttf"), TFontKind::TrueType);
    EXPECT_EQ(m_converter.CurrentKind, TFontKind::TrueType);
}

TEST(LetterTests, TextFitsKindRejectsForeignLetters) {
    for (TFontKind kind : hebrew::kAllFontKinds)
        EXPECT_TRUE(Converter::TextFitsKind(kind, ""));
    EXPECT_FALSE(Converter::TextFitsKind(TFontKind::DosHebrew, "a\xE0"));
    EXPECT_TRUE(Converter::TextFitsKind(TFontKind::DosHebrew, "a\x80\xDF\xFB"));
    EXPECT_FALSE(Converter::TextFitsKind(TFontKind::Windows, "\xE0\x9A"));
    EXPECT_TRUE(Converter::TextFitsKind(TFontKind::Windows, "\xE0\x9B\x7F"));
    EXPECT_TRUE(Converter::TextFitsKind(TFontKind::DosEnglish, "\x80\xE0"));
    EXPECT_TRUE(Converter::TextFitsKind(TFontKind::TrueType, "\x80\xE0"));
}

TEST(LetterTests, LacksKindLettersLooksForTheKindsOwnLetters) {
    for (TFontKind kind : hebrew::kAllFontKinds)
        EXPECT_TRUE(Converter::LacksKindLetters("", kind));
    EXPECT_FALSE(Converter::LacksKindLetters("x\x9A", TFontKind::DosHebrew));
    EXPECT_TRUE(Converter::LacksKindLetters("x\xE0", TFontKind::DosHebrew));
    EXPECT_FALSE(Converter::LacksKindLetters("\xFA", TFontKind::Windows));
    EXPECT_FALSE(Converter::LacksKindLetters("\xE0", TFontKind::TrueType));
    EXPECT_TRUE(Converter::LacksKindLetters("\x80", TFontKind::TrueType));
    EXPECT_TRUE(Converter::LacksKindLetters("\xE0", TFontKind::DosEnglishR));
}

TEST(LetterTests, RepairLettersMovesForeignLettersIntoTheKindsPage) {
    EXPECT_EQ(Converter::RepairLetters(TFontKind::DosHebrew, "\xE0" "A"), "\x80" "A");
    EXPECT_EQ(Converter::RepairLetters(TFontKind::DosHebrew, "\xFA\xFB\xDF"), "\x9A\xFB\xDF");
    EXPECT_EQ(Converter::RepairLetters(TFontKind::Windows, "\x80\x9A\x9B"), "\xE0\xFA\x9B");
    EXPECT_EQ(Converter::RepairLetters(TFontKind::TrueType, "\x80\xE0"), "\x80\xE0");
    EXPECT_EQ(Converter::RepairLetters(TFontKind::DosEnglish, "\x80\xE0"), "\x80\xE0");
    EXPECT_EQ(Converter::RepairLetters(TFontKind::Windows, ""), "");
}

TEST(Converters, SeveralConvertersShareOneTableWithTheirOwnSettings) {
    FontTable fonts;
    Converter first(fonts), second(fonts);
    first.CurrentKind = TFontKind::DosEnglish;
    second.CurrentKind = TFontKind::DosEnglishR;
    EXPECT_EQ(first.ConvertForRtl("akuo"), "\xED\xE5\xEC\xF9");
    EXPECT_EQ(second.ConvertForRtl("akuo"), "\xF9\xEC\xE5\xED");
}

}  // namespace
