#pragma once
// Building blocks of the Hebrew text conversions. Texts are byte strings:
// DOS Hebrew letters are code page 862 bytes 0x80-0x9A, Windows Hebrew letters
// the same 27 letters at Windows-1255 bytes 0xE0-0xFA (a DOS letter plus 0x60).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace hebrew {

// The character class that marks a right-to-left letter in a class array.
inline constexpr std::uint8_t kHebrewClass = 2;

std::string ReverseText(std::string_view text);

// Raises every DOS Hebrew letter (0x80-0x9A) by 0x60 to its Windows-1255 letter.
std::string DosToWinHebrew(std::string_view text);

// The DOS Hebrew letter (or punctuation) on the same key of the Israeli
// keyboard as the English-keyboard character `key`; other bytes unchanged.
std::uint8_t KeyToDosHebrew(std::uint8_t key);
void KeysToDosHebrew(std::string& text);

// Replaces the character codes "%%128" to "%%154" (also in the "$80", "x80"
// forms) by the DOS Hebrew letter of that value; other codes stay as written.
std::string DecodeCharCodes(std::string_view text);

// Swaps the opening and closing forms of (), <>, [] and {}.
std::string MirrorBrackets(std::string_view text);

// Reverses every maximal run of characters whose class is not kHebrewClass in
// place; runs of Hebrew characters keep their order. One class per character.
std::string ReverseRunsByClass(std::string_view text, std::span<const std::uint8_t> classes);

}  // namespace hebrew
