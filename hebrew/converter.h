#pragma once
// The conversion of a text of one font kind into Windows-1255 for the two
// "ESRI Hebrew Setting" orders. A Converter carries the settings of the next
// conversion (CurrentKind, CurrentBackward); each worker has its own, all over
// one shared, read-only font table.

#include <string>
#include <string_view>

#include "hebrew/fntdef.h"

namespace hebrew {

class Converter {
public:
    explicit Converter(const FontTable& fonts) : m_fonts(&fonts) {}

    TFontKind CurrentKind = TFontKind::DosHebrew;
    // When set, the text is reversed before anything else is done to it.
    bool CurrentBackward = false;

    // The kind of a font file by the font table; also left in CurrentKind.
    TFontKind FontKindOf(std::string_view fontFile);

    // For "RightTo Left": Windows-1255 letters in reading order.
    std::string ConvertForRtl(std::string_view text) const;
    // For "Left To Right": Windows-1255 letters in display order.
    std::string ConvertForLtr(std::string_view text) const;

    // Whether the text holds no Hebrew letter of a code page foreign to the kind.
    static bool TextFitsKind(TFontKind kind, std::string_view text);
    // Moves letters of the foreign code page into the kind's own one.
    static std::string RepairLetters(TFontKind kind, std::string_view text);
    // Whether the text holds no Hebrew letter of the kind's own code page.
    static bool LacksKindLetters(std::string_view text, TFontKind kind);

private:
    // "%%u" removal and the backward reversal that both conversions start with.
    std::string prepare(std::string_view text) const;

    const FontTable* m_fonts;
};

}  // namespace hebrew
