#pragma once
// The data items that objects keep as byte blobs: an application's extended
// data (ExtendedData::bytes, ODA §28) and an XRECORD's items
// (XRecordObject::items, ODA §20.4.104). Both are lists of a group code and
// a value whose form the code gives; their strings change form with the
// release (8-bit with a code page number before 2007, UTF-16 from 2007 on),
// so a save in another release rewrites them, and only them.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "dwg/bits/codes.h"
#include "dwg/release.h"

namespace dwg {

// How strings change on the way. `recode` takes a string in the source's
// form (Text::bytes before 2007, Text::units from 2007 on; a terminating zero
// counted by the stored length shows as Text::terminated) and gives it in the
// target's form. It may be left empty when both releases store strings the
// same way; then every string is kept as it is.
struct StringRecoding {
    Release from = Release::R2004;
    Release to = Release::R2004;
    // The DWGCODEPAGE number (30 = ANSI_1252, 34 = ANSI_1255...) written with
    // an 8-bit string made from UTF-16, or whose bytes `recode` changed; an
    // 8-bit string whose bytes stay as they were keeps its own number.
    std::uint16_t codePage = 30;
    std::function<Text(const Text&)> recode;
};

// The items in the form of `how.to`: strings through `how.recode`, every
// other value byte for byte. A string longer than the target's length field
// holds (255 bytes for an 8-bit extended data string, 65535 bytes or UTF-16
// units otherwise) is shortened at a character boundary (never inside a
// \U+XXXX or \M+NXXXX escape, nor between the bytes of a double-byte
// character or the units of a surrogate pair) and reported in `problems`.
// Throws FormatError ("extended data: ..." / "xrecord: ...") when `bytes`
// do not parse as items exactly to their end, and std::invalid_argument when
// the forms differ and `how.recode` is empty.
std::vector<std::uint8_t> recodeExtendedData(std::span<const std::uint8_t> bytes, const StringRecoding& how,
                                             std::vector<std::string>& problems);
std::vector<std::uint8_t> recodeXRecordItems(std::span<const std::uint8_t> bytes, const StringRecoding& how,
                                             std::vector<std::string>& problems);

}  // namespace dwg
