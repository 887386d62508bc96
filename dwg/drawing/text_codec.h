#pragma once
// Strings of R13-2004 drawings: bytes in the drawing's code page (the
// DWGCODEPAGE of the file header) that may hold \U+XXXX escapes for any
// character and \M+NXXXX escapes for characters of double-byte code pages.

#include <cstdint>
#include <string>
#include <string_view>

#include "support/code_pages.h"

namespace dwg {

// The single-byte code page of a DWGCODEPAGE value (30 = ANSI_1252, 34 =
// ANSI_1255...). Pages without a table of ours (the double-byte ones) fall
// back to Windows-1252, whose mapping keeps every byte all the same.
const support::CodePage& codePageOf(std::uint16_t dwgCodePage);

// Bytes to UTF-16: each byte by the code page, escapes decoded.
std::u16string decodeDrawingText(std::string_view bytes, const support::CodePage& page);
// UTF-16 to bytes: characters the code page lacks become \U+XXXX.
std::string encodeDrawingText(std::u16string_view text, const support::CodePage& page);

}  // namespace dwg
