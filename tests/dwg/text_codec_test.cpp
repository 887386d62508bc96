#include "dwg/drawing/text_codec.h"

#include <gtest/gtest.h>

namespace {

using dwg::codePageOf;
using dwg::decodeDrawingText;
using dwg::encodeDrawingText;

TEST(TextCodec, DrawingCodePagesByTheirNumbers) {
    EXPECT_EQ(codePageOf(30).name(), "Windows-1252");
    EXPECT_EQ(codePageOf(34).name(), "Windows-1255");
    EXPECT_EQ(codePageOf(29).name(), "Windows-1251");
    EXPECT_EQ(codePageOf(11).name(), "DOS-437");
    // Double-byte and unknown pages keep their bytes through Windows-1252.
    EXPECT_EQ(codePageOf(38).name(), "Windows-1252");
    EXPECT_EQ(codePageOf(999).name(), "Windows-1252");
}

TEST(TextCodec, EscapesAreCharacters) {
    const auto& latin = codePageOf(30);
    EXPECT_EQ(decodeDrawingText("a\\U+05D0\\U+05d1b", latin), u"a\u05D0\u05D1b");
    // Not an escape: too few digits, or no plus sign.
    EXPECT_EQ(decodeDrawingText("\\U+05D", latin), u"\\U+05D");
    EXPECT_EQ(decodeDrawingText("C:\\Users", latin), u"C:\\Users");
#if __has_include(<iconv.h>)
    // Shift-JIS 0x82A0 is HIRAGANA LETTER A.
    EXPECT_EQ(decodeDrawingText("\\M+182A0", latin), u"\u3042");
#endif
    // An unknown double-byte page leaves the escape as written.
    EXPECT_EQ(decodeDrawingText("\\M+982A0", latin), u"\\M+982A0");
}

TEST(TextCodec, EveryByteSurvivesDecodingAndEncoding) {
    for (std::uint16_t page : {30, 34}) {
        std::string all;
        for (int b = 1; b < 256; ++b)
            all += static_cast<char>(b);
        EXPECT_EQ(encodeDrawingText(decodeDrawingText(all, codePageOf(page)), codePageOf(page)), all) << page;
    }
    // DOS Hebrew letters in holes of Windows-1252 come back as the same bytes.
    EXPECT_EQ(decodeDrawingText("\x81\x8D\x8F\x90", codePageOf(30)), u"\u0081\u008D\u008F\u0090");
}

TEST(TextCodec, CharactersOutsideThePageBecomeUnicodeEscapes) {
    EXPECT_EQ(encodeDrawingText(u"\u05E9\u05DC\u05D5\u05DD 1", codePageOf(30)), "\\U+05E9\\U+05DC\\U+05D5\\U+05DD 1");
    EXPECT_EQ(encodeDrawingText(u"\u05E9\u05DC\u05D5\u05DD 1", codePageOf(34)), "\xF9\xEC\xE5\xED 1");
    EXPECT_EQ(encodeDrawingText(u"\u20AC\u0416", codePageOf(34)), "\x80\\U+0416");
}

}  // namespace
