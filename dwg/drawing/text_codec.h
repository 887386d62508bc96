#pragma once
// Strings of R13-2004 drawings: bytes in the drawing's code page (the
// DWGCODEPAGE of the file header) that may hold \U+XXXX escapes for any
// character and \M+NXXXX escapes for characters of double-byte code pages.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dwg/bits/codes.h"
#include "support/code_pages.h"

namespace dwg {

// The single-byte code page of a DWGCODEPAGE value (30 = ANSI_1252, 34 =
// ANSI_1255...). Pages without a table of ours (the double-byte ones) fall
// back to Windows-1252, whose mapping keeps every byte all the same.
const support::CodePage& codePageOf(std::uint16_t dwgCodePage);

// The name DXF gives a DWGCODEPAGE value ("ANSI_1252", "DOS850"), empty for
// a value AutoCAD does not define.
std::string_view dwgCodePageName(std::uint16_t dwgCodePage);
// The DWGCODEPAGE value of a name (any case), for the code pages a drawing's
// strings can be written in: the single-byte ones with a table of ours.
std::optional<std::uint16_t> writableDwgCodePage(std::string_view name);

// Bytes to UTF-16: each byte by the code page, escapes decoded.
std::u16string decodeDrawingText(std::string_view bytes, const support::CodePage& page);
// UTF-16 to bytes: characters the code page lacks become \U+XXXX.
std::string encodeDrawingText(std::u16string_view text, const support::CodePage& page);

// A stored string as characters: 8-bit ones through the code page, UTF-16
// ones as they are.
std::u16string decodeText(const Text& stored, const support::CodePage& page);
// A stored string changed to `value` in the form of `release` (UTF-16 from
// 2007 on, else bytes in the code page); its terminating zero is kept.
void encodeText(Text& stored, std::u16string_view value, const support::CodePage& page, Release release);

}  // namespace dwg
