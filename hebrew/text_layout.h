#pragma once
// Text layout of Windows-1255 text on GNU FriBidi: the character class of each
// byte and the reordering of a line from reading order into left-to-right
// display order. The results depend on nothing but the bytes (no fonts, no
// device contexts), so every conversion gives the same result everywhere.

#include <cstdint>
#include <string>
#include <string_view>

namespace hebrew {

// kHebrewClass (2) when the byte's Windows-1255 character is a right-to-left
// character (bidi type R or AL), else 0 ("other").
std::uint8_t CharacterClass(std::uint8_t byte);

// Reverses the runs of non-Hebrew characters of a text in place (see
// ReverseRunsByClass): after a whole text was reversed, this puts Latin words,
// numbers and the characters between them back into left-to-right order.
std::string RestoreLtrRuns(std::string_view text);

// The text rearranged from reading order into display order by the Unicode
// bidirectional algorithm with a left-to-right paragraph. Only the order
// changes: no bracket is mirrored and no character removed, so the result is
// a permutation of the input bytes.
std::string ReorderToVisual(std::string_view text);

}  // namespace hebrew
