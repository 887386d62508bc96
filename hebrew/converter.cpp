#include "hebrew/converter.h"

#include <algorithm>

#include "hebrew/HebLib.h"
#include "hebrew/text_layout.h"
#include "support/FastStrings.h"

namespace hebrew {
namespace {

bool hasByteIn(std::string_view text, std::uint8_t low, std::uint8_t high) {
    return std::any_of(text.begin(), text.end(), [=](char c) {
        auto b = static_cast<std::uint8_t>(c);
        return b >= low && b <= high;
    });
}

bool hasDosLetter(std::string_view text) { return hasByteIn(text, 0x80, 0x9A); }
bool hasWindowsLetter(std::string_view text) { return hasByteIn(text, 0xE0, 0xFA); }

std::string shiftBytes(std::string_view text, std::uint8_t low, std::uint8_t high, int delta) {
    std::string out(text);
    for (char& c : out) {
        auto b = static_cast<std::uint8_t>(c);
        if (b >= low && b <= high)
            c = static_cast<char>(b + delta);
    }
    return out;
}

}  // namespace

TFontKind Converter::FontKindOf(std::string_view fontFile) {
    CurrentKind = m_fonts->FontKindOf(fontFile);
    return CurrentKind;
}

std::string Converter::prepare(std::string_view text) const {
    std::string t(text);
    // Only a lower-case "%%u" triggers the removal, which then takes both cases.
    if (support::fastPos(t, "%%u", 1, true) != 0)
        t = support::fastReplace(t, "%%u", "", false);
    if (CurrentBackward)
        t = ReverseText(t);
    return t;
}

std::string Converter::ConvertForRtl(std::string_view text) const {
    if (text.empty())
        return {};
    std::string t = prepare(text);
    std::string r;
    switch (CurrentKind) {
        case TFontKind::DosHebrew:
            t = DecodeCharCodes(t);
            r = RestoreLtrRuns(ReverseText(DosToWinHebrew(t)));
            break;
        case TFontKind::DosEnglish:
            KeysToDosHebrew(t);
            r = RestoreLtrRuns(ReverseText(DosToWinHebrew(t)));
            break;
        case TFontKind::DosEnglishR:
            KeysToDosHebrew(t);
            r = RestoreLtrRuns(DosToWinHebrew(t));
            break;
        case TFontKind::Windows:
            r = RestoreLtrRuns(ReverseText(t));
            break;
        case TFontKind::TrueType:
            return ReverseText(RestoreLtrRuns(ReorderToVisual(t)));
    }
    return MirrorBrackets(r);
}

std::string Converter::ConvertForLtr(std::string_view text) const {
    if (text.empty())
        return {};
    std::string t = prepare(text);
    std::string r;
    switch (CurrentKind) {
        case TFontKind::DosHebrew: {
            // Decided on the decoded text, so that a text whose letters are
            // all written as "%%128" codes is converted like one that holds
            // the letters themselves, not left in code page 862.
            t = DecodeCharCodes(t);
            if (LacksKindLetters(t, TFontKind::DosHebrew))
                return t;
            r = RestoreLtrRuns(ReverseText(DosToWinHebrew(t)));
            break;
        }
        case TFontKind::DosEnglish:
            KeysToDosHebrew(t);
            r = RestoreLtrRuns(ReverseText(DosToWinHebrew(t)));
            break;
        case TFontKind::DosEnglishR:
            KeysToDosHebrew(t);
            r = RestoreLtrRuns(DosToWinHebrew(t));
            break;
        case TFontKind::Windows:
            if (LacksKindLetters(t, TFontKind::Windows))
                return t;
            r = RestoreLtrRuns(ReverseText(t));
            break;
        case TFontKind::TrueType:
            return t;
    }
    std::string m = MirrorBrackets(r);
    m = RestoreLtrRuns(m);
    m = ReorderToVisual(m);
    return ReverseText(m);
}

bool Converter::TextFitsKind(TFontKind kind, std::string_view text) {
    switch (kind) {
        case TFontKind::DosHebrew: return !hasWindowsLetter(text);
        case TFontKind::Windows: return !hasDosLetter(text);
        default: return true;
    }
}

bool Converter::LacksKindLetters(std::string_view text, TFontKind kind) {
    switch (kind) {
        case TFontKind::DosHebrew: return !hasDosLetter(text);
        case TFontKind::Windows:
        case TFontKind::TrueType: return !hasWindowsLetter(text);
        default: return true;
    }
}

std::string Converter::RepairLetters(TFontKind kind, std::string_view text) {
    switch (kind) {
        case TFontKind::DosHebrew: return shiftBytes(text, 0xE0, 0xFA, -0x60);
        case TFontKind::Windows: return shiftBytes(text, 0x80, 0x9A, 0x60);
        default: return std::string(text);
    }
}

}  // namespace hebrew
